// The question for a tracker's name (dialog 125): the device list's text of
// the tracker above, the name the user gives it (at most MaxName
// characters, control characters made blanks, blanks at both ends dropped;
// empty: its own name again).
#pragma once

#include "core/WideString.h"
#include "ui/Dialog.h"

class RenameDialog : public Dialog {
public:
  static const unsigned MaxName = 40;

  WideString tracker;  // in: what the device list shows
  WideString name;     // in: the name given before; out with IDOK: the new one

  int OnInitDialog() override;
  int OnCommand(int id, WPARAM wParam, LPARAM lParam) override;
};
