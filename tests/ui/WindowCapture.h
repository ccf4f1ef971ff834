// Test helpers that look at what a window really shows: the pixels of a
// window as they are on the screen (after its pending paints have run), and
// a PNG writer for keeping them as screenshots in the build folder. The PNG
// is written with stored (uncompressed) deflate blocks, so no library is
// needed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/common/PumpUntil.h"

namespace testcapture {

// Top-down pixels, 0x00RRGGBB.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  COLORREF At(int x, int y) const {
    uint32_t p = pixels[static_cast<size_t>(y) * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  // How many pixels inside (x0, y0)-(x1, y1) satisfy the test.
  template <class Test>
  int Count(RECT area, Test test) const {
    int n = 0;
    for (int y = area.top; y < area.bottom && y < height; ++y)
      for (int x = area.left; x < area.right && x < width; ++x)
        if (test(At(x, y))) ++n;
    return n;
  }
};

// Brings the window to the top, lets it and its children paint, then copies
// its client area. (Under Xvfb there is no window manager to
// draw captions, so the client area is what the program itself shows.)
inline Picture CaptureWindow(HWND window) {
  // Other test programs may show windows on the same screen at the same
  // time: the window's top-level ancestor stays above them while it is read.
  HWND root = GetAncestor(window, GA_ROOT);
  const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(root, HWND_TOPMOST, 0, 0, 0, 0, keep | SWP_SHOWWINDOW);
  if (root != window) SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, keep | SWP_SHOWWINDOW);
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpWaiting();
  GdiFlush();
  RECT rect;
  GetClientRect(window, &rect);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  Picture picture;
  picture.width = rect.right - rect.left;
  picture.height = rect.bottom - rect.top;
  picture.pixels.assign(static_cast<size_t>(picture.width) * picture.height, 0);

  // Read through the window's own DC rather than the screen's: under Wine
  // the screen is read back from the X server, which a busy machine may not
  // have sent the window's latest pixels to yet (the picture then comes back
  // black); the window's DC reads what the window has drawn.
  HDC screen = GetDC(window);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = source[i] & 0xFFFFFF;
    SelectObject(memory, old);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, screen);
  SetWindowPos(root, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
  return picture;
}

// The part of a captured window's client area that one of its descendants
// covers.
inline RECT ChildArea(HWND window, HWND child) {
  RECT inner;
  GetWindowRect(child, &inner);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&inner), 2);
  return inner;
}

inline uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

inline void PutChunk(std::vector<uint8_t>& out, const char* kind, const std::vector<uint8_t>& data) {
  PutBigEndian(out, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(kind, kind + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  PutBigEndian(out, Crc32(body.data(), body.size()));
}

// An RGB PNG of the picture.
inline std::vector<uint8_t> EncodePng(const Picture& picture) {
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(picture.height) * (1 + 3 * picture.width));
  for (int y = 0; y < picture.height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < picture.width; ++x) {
      uint32_t p = picture.pixels[static_cast<size_t>(y) * picture.width + x];
      raw.push_back(static_cast<uint8_t>(p >> 16));
      raw.push_back(static_cast<uint8_t>(p >> 8));
      raw.push_back(static_cast<uint8_t>(p));
    }
  }
  std::vector<uint8_t> zlib = {0x78, 0x01};
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  size_t done = 0;
  do {
    size_t block = raw.size() - done < 65535 ? raw.size() - done : 65535;
    bool last = done + block == raw.size();
    zlib.push_back(last ? 1 : 0);
    zlib.push_back(static_cast<uint8_t>(block));
    zlib.push_back(static_cast<uint8_t>(block >> 8));
    zlib.push_back(static_cast<uint8_t>(~block));
    zlib.push_back(static_cast<uint8_t>(~block >> 8));
    zlib.insert(zlib.end(), raw.begin() + done, raw.begin() + done + block);
    done += block;
  } while (done < raw.size());
  PutBigEndian(zlib, (b << 16) | a);

  std::vector<uint8_t> header;
  PutBigEndian(header, static_cast<uint32_t>(picture.width));
  PutBigEndian(header, static_cast<uint32_t>(picture.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", zlib);
  PutChunk(png, "IEND", {});
  return png;
}

// The build's "screenshots" folder: the test program lives in
// <build>/tests/<area>/ (levels 3; one folder deeper: 4), the folder is
// <build>/screenshots.
inline std::wstring ScreenshotFolder(int levels = 3) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  for (int up = 0; up < levels; ++up) {
    size_t slash = folder.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return L".";
    folder.erase(slash);
  }
  folder += L"\\screenshots";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

// Writes <build>/screenshots/<name>.png; answers the path written, or "".
inline std::wstring SaveScreenshot(const Picture& picture, const wchar_t* name, int levels = 3) {
  std::wstring path = ScreenshotFolder(levels) + L"\\" + name + L".png";
  std::vector<uint8_t> png = EncodePng(picture);
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return L"";
  size_t written = fwrite(png.data(), 1, png.size(), file);
  fclose(file);
  return written == png.size() ? path : L"";
}

}  // namespace testcapture
