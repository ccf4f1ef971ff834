#include "app/window/WindowPicture.h"

#include <string>
#include <vector>

#include "core/KernelHandle.h"
#include "core/WideString.h"

namespace {

int WriteWholeFile(const wchar_t* path, const void* bytes, DWORD size) {
  KernelHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes, size, &written, nullptr);
  return ok && written == size;
}

// Runs the paints and whatever else waits for this thread.
void PumpWaitingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int SaveWindowPicture(HWND window, const wchar_t* path) {
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpWaitingMessages();
  GdiFlush();
  RECT rect;
  if (!GetWindowRect(window, &rect)) return 0;
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return 0;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as BMP files keep rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD imageSize = stride * static_cast<DWORD>(height);
  info.bmiHeader.biSizeImage = imageSize;

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  int ok = 0;
  if (memory && bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) ? 1 : 0;
    GdiFlush();
    SelectObject(memory, old);
  }
  if (ok) {
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    header.bfSize = header.bfOffBits + imageSize;
    std::vector<unsigned char> file(header.bfSize);
    memcpy(file.data(), &header, sizeof(header));
    memcpy(file.data() + sizeof(header), &info.bmiHeader, sizeof(BITMAPINFOHEADER));
    memcpy(file.data() + header.bfOffBits, bits, imageSize);
    ok = WriteWholeFile(path, file.data(), header.bfSize);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

int SaveDocumentText(const WideString& text, const wchar_t* path) {
  int length = static_cast<int>(text.Length());
  int bytes = length ? WideCharToMultiByte(CP_UTF8, 0, text.CStr(), length, nullptr, 0, nullptr, nullptr) : 0;
  if (length && bytes <= 0) return 0;
  std::string utf8(static_cast<size_t>(bytes), '\0');
  if (bytes) WideCharToMultiByte(CP_UTF8, 0, text.CStr(), length, &utf8[0], bytes, nullptr, nullptr);
  return WriteWholeFile(path, utf8.data(), static_cast<DWORD>(utf8.size()));
}
