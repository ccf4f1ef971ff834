// Marks the main window for a second start of the program, which brings the
// marked window forward instead of opening another. The program's
// single-instance claim implements it; the window only calls it.
#pragma once

#include <windows.h>

class WindowMarker {
public:
  // 1 when the window was marked.
  virtual int MarkWindow(HWND window) = 0;
  virtual void UnmarkWindow(HWND window) = 0;

protected:
  ~WindowMarker() = default;
};
