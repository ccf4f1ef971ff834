// One tooltip window for the controls of a dialog: each control added gets
// its text when the mouse rests on it (and, for screen readers and checks,
// the text can be read back). The tooltip goes with its owner window or
// with Destroy. Window thread only.
#pragma once

#include <windows.h>

#include "core/WideString.h"

class ToolTips {
public:
  ToolTips() = default;
  ~ToolTips() { Destroy(); }
  ToolTips(const ToolTips&) = delete;
  ToolTips& operator=(const ToolTips&) = delete;

  // Makes the tooltip window for owner's controls; 1/0.
  int Create(HWND owner);
  void Destroy();
  // Adds control (a child of the owner) with its text, or replaces its
  // text; 1/0.
  int Set(HWND control, const wchar_t* text);
  // The text the control shows; 1 when it has one.
  int Text(HWND control, WideString& text) const;

  HWND Window() const { return tip_; }

private:
  HWND owner_ = nullptr;
  HWND tip_ = nullptr;
};
