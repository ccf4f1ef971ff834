#include "ui/MemoryCanvas.h"

#include <cstring>

int MemoryCanvas::CreateBitmap(int width, int height) {
  Release();
  if (width <= 0 || height <= 0) return 0;
  WindowDc screen(nullptr);
  if (!screen.Get()) return 0;
  return CreateMemory(CreateCompatibleBitmap(screen, width, height), width, height);
}

int MemoryCanvas::CreateDib(int width, int height, int bitCount, const void* colourTable,
                            unsigned colourTableBytes) {
  Release();
  if (width <= 0 || height == 0) return 0;
  if (colourTableBytes > 256 * sizeof(RGBQUAD) || (colourTableBytes && !colourTable)) return 0;
  // The header followed by the colour table, as one block.
  unsigned char info[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)] = {};
  BITMAPINFOHEADER* header = reinterpret_cast<BITMAPINFOHEADER*>(info);
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(bitCount);
  header->biCompression = BI_RGB;
  header->biClrUsed = colourTableBytes / sizeof(RGBQUAD);
  if (colourTableBytes) memcpy(info + sizeof(BITMAPINFOHEADER), colourTable, colourTableBytes);
  WindowDc screen(nullptr);
  if (!screen.Get()) return 0;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  if (!CreateMemory(bitmap, width, height)) return 0;
  bits_ = bits;
  return 1;
}

int MemoryCanvas::CreateMemory(HBITMAP bitmap, int width, int height) {
  bitmap_.Reset(bitmap);
  if (!bitmap_) return 0;
  dc_ = CreateCompatibleDC(nullptr);
  if (!dc_) {
    bitmap_.Reset();
    return 0;
  }
  previous_ = SelectObject(dc_, bitmap_.Get());
  kind_ = Memory;
  width_ = width;
  height_ = height;
  return 1;
}

int MemoryCanvas::WrapWindow(HWND window) {
  Release();
  if (!window) return 0;
  dc_ = GetDC(window);
  if (!dc_) return 0;
  kind_ = Window;
  window_ = window;
  RECT client = {};
  GetClientRect(window, &client);
  width_ = client.right - client.left;
  height_ = client.bottom - client.top;
  return 1;
}

int MemoryCanvas::WrapDc(HDC dc) {
  Release();
  if (!dc) return 0;
  dc_ = dc;
  kind_ = Foreign;
  return 1;
}

void MemoryCanvas::Release() {
  switch (kind_) {
    case Memory:
      // The bitmap must leave the device context before either goes.
      if (previous_) SelectObject(dc_, previous_);
      DeleteDC(dc_);
      break;
    case Window:
      ReleaseDC(window_, dc_);
      break;
    case Foreign:
    case None:
      break;
  }
  bitmap_.Reset();
  kind_ = None;
  dc_ = nullptr;
  window_ = nullptr;
  previous_ = nullptr;
  bits_ = nullptr;
  width_ = 0;
  height_ = 0;
}

int MemoryCanvas::Fill(COLORREF colour, const RECT* rect) {
  if (!dc_) return 0;
  RECT whole = {0, 0, width_, height_ < 0 ? -height_ : height_};
  if (!rect) {
    if (kind_ == Foreign) return 0;  // its size is unknown here
    rect = &whole;
  }
  GdiBrush brush(CreateSolidBrush(colour));
  if (!brush) return 0;
  return FillRect(dc_, rect, brush) ? 1 : 0;
}
