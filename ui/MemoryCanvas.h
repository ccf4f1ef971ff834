// A device context to draw into: a memory device context compatible with
// the screen that holds a compatible bitmap or a DIB section it creates, or
// a window's device context, or a foreign one it only wraps. Whatever the
// canvas created it releases or deletes (Release, or the destructor);
// a foreign device context is left alone. Window thread only.
#pragma once

#include <windows.h>

#include "ui/GdiGuard.h"

class MemoryCanvas {
public:
  MemoryCanvas() = default;
  ~MemoryCanvas() { Release(); }
  MemoryCanvas(const MemoryCanvas&) = delete;
  MemoryCanvas& operator=(const MemoryCanvas&) = delete;

  // A bitmap compatible with the screen of width × height. 1/0.
  int CreateBitmap(int width, int height);
  // A DIB section; a negative height (top-down rows) is kept as given. The
  // colour-table bytes (at most 256 entries) follow the header. 1/0.
  int CreateDib(int width, int height, int bitCount, const void* colourTable = nullptr,
                unsigned colourTableBytes = 0);
  // The device context of the window's client area (GetDC), released later.
  int WrapWindow(HWND window);
  // Someone else's device context: drawn into, never released here.
  int WrapDc(HDC dc);
  void Release();

  // Fills the rectangle (none: the whole bitmap or window client area) with
  // a solid brush of the colour. 1/0.
  int Fill(COLORREF colour, const RECT* rect = nullptr);

  HDC Dc() const { return dc_; }
  HBITMAP Bitmap() const { return bitmap_.Get(); }
  void* Bits() const { return bits_; }  // DIB sections only
  int Width() const { return width_; }
  int Height() const { return height_; }  // as given (negative: top-down DIB)

private:
  enum Kind { None, Memory, Window, Foreign };
  int CreateMemory(HBITMAP bitmap, int width, int height);

  Kind kind_ = None;
  HDC dc_ = nullptr;
  HWND window_ = nullptr;
  GdiBitmap bitmap_;
  HGDIOBJ previous_ = nullptr;
  void* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};
