// A real dialog for the label tests: the main window template with a fresh
// page template as its child, shown on the (Xvfb) screen, both recording the
// WM_COMMAND messages they receive. Extra statics with any style can be
// added to the page.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "resources/ResourceIds.h"
#include "tests/ui/WindowCapture.h"

namespace labeltest {

struct Command {
  HWND dialog;
  int id;
  LPARAM control;
};

inline std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}

inline INT_PTR CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND) {
    Commands().push_back({window, LOWORD(wParam), lParam});
    return TRUE;
  }
  return FALSE;
}

// The main window is made once per test program and kept: under Xvfb, Wine
// waits two seconds for a window manager whenever a top-level window goes.
// Each host makes a fresh page in it.
inline HWND SharedMainWindow() {
  static HWND main = nullptr;
  if (main && IsWindow(main)) return main;
  main = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                            RecordingProcedure, 0);
  if (main) SetWindowPos(main, HWND_TOP, 280, 560, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  return main;
}

class LabelHost {
public:
  explicit LabelHost(int pageTemplate) {
    main_ = SharedMainWindow();
    if (!main_) return;
    page_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(pageTemplate), main_,
                               RecordingProcedure, 0);
    if (!page_) return;
    RECT area;
    GetWindowRect(GetDlgItem(main_, IDC_MAIN_TABS), &area);
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&area), 2);
    InflateRect(&area, -4, -4);
    area.top += 24;
    SetWindowPos(page_, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_SHOWWINDOW);
    SetForegroundWindow(main_);
    PumpWaiting();
    Commands().clear();
  }
  ~LabelHost() {
    if (page_) DestroyWindow(page_);
    PumpWaiting();
  }
  LabelHost(const LabelHost&) = delete;
  LabelHost& operator=(const LabelHost&) = delete;

  bool Ready() const { return main_ && page_; }
  HWND Main() const { return main_; }
  HWND Page() const { return page_; }
  HWND Item(int id) const { return GetDlgItem(page_, id); }

  // A static on the page in pixels, with the page's font.
  HWND AddStatic(int id, const wchar_t* text, DWORD style, DWORD exStyle, int x, int y, int width, int height) {
    HWND control = CreateWindowExW(exStyle, L"STATIC", text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                   page_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, SendMessageW(page_, WM_GETFONT, 0, 0), FALSE);
    return control;
  }

private:
  HWND main_ = nullptr;
  HWND page_ = nullptr;
};

// Mouse messages as the system would send them to the control.
inline void MouseMove(HWND control, int x, int y, WPARAM keys = 0) {
  SendMessageW(control, WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
}
inline void ButtonDown(HWND control, int x, int y) {
  SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}
inline void ButtonUp(HWND control, int x, int y) { SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

}  // namespace labeltest
