// A control wrapper that wants the messages its parent dialog receives on
// behalf of its window. The dialog offers WM_DRAWITEM, WM_MEASUREITEM and
// WM_NOTIFY to every control registered with Dialog::AddControl, in the order
// registered, before its own OnMessage sees them; the first control that
// answers 1 has handled the message. Pages and windows never forward these
// messages by hand.
#pragma once

#include <windows.h>

class DialogControl {
public:
  virtual ~DialogControl() = default;
  // 1 when the item was this control's and has been drawn.
  virtual int OnDrawItem(const DRAWITEMSTRUCT* /*item*/) { return 0; }
  // 1 when the item was this control's and its height has been set.
  virtual int OnMeasureItem(MEASUREITEMSTRUCT* /*item*/) { return 0; }
  // 1 when the notification was this control's; result is what the dialog
  // procedure hands back to the sender (DWLP_MSGRESULT), 0 unless set.
  virtual int OnNotify(const NMHDR* /*header*/, LRESULT* /*result*/) { return 0; }
};
