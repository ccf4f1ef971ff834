// A label drawn over an ordinary static control with its own font (a face
// chosen from a list of faces, a fixed height or the largest height at which
// the text fits), colours, frames and edges, optional bitmaps and optional
// click behaviour. The label subclasses the static (tag 73746178), takes its
// text, clears the control's own text and paints everything itself.
// The text (and the font fitted to it) is guarded by a lock, so SetText may
// be called from any thread while the window thread paints; everything else
// runs on the window thread. Nothing is sent to the window thread while the
// lock is held (the window thread may be waiting for it in WM_PAINT): the
// control's font is the one it was last given, kept from WM_SETFONT. The
// label detaches in its destructor.
#pragma once

#include <windows.h>

#include "core/CriticalSection.h"
#include "core/WideString.h"
#include "ui/MouseLeaveTracker.h"
#include "ui/Subclass.h"

// Option and state bits.
enum StyledLabelFlags : DWORD {
  StyledLabelTrackPointer = 0x1,
  StyledLabelBold = 0x2,
  StyledLabelUnderline = 0x4,
  StyledLabelItalic = 0x8,
  StyledLabelHot = 0x10,               // state
  StyledLabelWhiteBackground = 0x20,
  StyledLabelMultiLine = 0x40,
  StyledLabelRefitOnText = 0x80,
  StyledLabelTransparent = 0x100,
  StyledLabelFrame = 0x200,
  StyledLabelEdgeBump = 0x400,         // DrawEdge 9
  StyledLabelEdgeEtched = 0x800,       // DrawEdge 6
  StyledLabelEdgeRaised = 0x1000,      // DrawEdge 5
  StyledLabelEdgeSunken = 0x2000,      // DrawEdge 10
  StyledLabelTripleFrame = 0x4000,
  StyledLabelOwnFont = 0x8000,
  StyledLabelNeverTransparent = 0x10000,
  StyledLabelWholeClient = 0x20000,
  StyledLabelEndEllipsis = 0x40000,
  StyledLabelFocused = 0x80000,        // state
  StyledLabelNoTabStop = 0x100000,     // state
  StyledLabelDisabled = 0x200000,      // state
  StyledLabelSystemCursor = 0x400000,
  StyledLabelCentreVertically = 0x800000,
  StyledLabelSendCommand = 0x1000000,
  StyledLabelButtonDown = 0x2000000,   // state
  StyledLabelFit = 0x4000000,
  StyledLabelDeviceTextColour = 0x8000000,
};

// Events passed to the callback.
enum StyledLabelEvent {
  StyledLabelPressed = 1,    // left button down (or double click)
  StyledLabelClicked = 2,    // left button up over the label
  StyledLabelSpace = 3,
  StyledLabelEnter = 4,
};

class StyledLabel;
typedef void (*StyledLabelCallback)(int event, int zero, void* user, StyledLabel* label);

class StyledLabel {
public:
  StyledLabel();
  ~StyledLabel() { Detach(); }
  StyledLabel(const StyledLabel&) = delete;
  StyledLabel& operator=(const StyledLabel&) = delete;

  // faces: a list separated by "," or ";" (none or empty: "Segoe UI;
  // Verdana;MS Sans Serif"); height in pixels (0: the largest that fits);
  // cursorId: shown while hot (0: none; a system cursor with 0x400000).
  // 1, or 0 when the control is no window or the label is attached already.
  int Attach(HWND control, const wchar_t* faces, int height, COLORREF normal, COLORREF hover,
             DWORD options, int cursorId, StyledLabelCallback callback, void* user);
  // Restores the control's procedure, deletes the font and the bitmaps.
  int Detach();

  // Chooses the first installed face of the list ("Verdana" when none is)
  // and makes the font again.
  int SetFace(const wchar_t* faces, bool repaint);
  // Any thread. With 0x80 the font is fitted to the new text.
  int SetText(const wchar_t* text);
  // A copy of the text, taken under the lock.
  void CopyText(WideString& out);
  // Background, hover and pressed bitmaps (each may be none), owned by the
  // label from now on; stretch 1.0 draws them 1:1.
  void SetBitmaps(HBITMAP background, HBITMAP hover, HBITMAP pressed, double stretch);
  void SetFrameColour(COLORREF colour) { frame_ = colour; }

  HWND Control() const { return control_; }
  DWORD Flags() const { return flags_; }
  const wchar_t* Face() const { return face_.CStr(); }
  int FontHeight() const { return fontHeight_; }
  HFONT Font() const { return font_; }
  UINT Format() const { return format_; }
  COLORREF NormalColour() const { return normal_; }
  COLORREF HoverColour() const { return hover_; }

private:
  static int Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                    void* user);
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  void MakeFont();  // under the lock
  RECT TextArea() const;
  RECT HotArea();
  void Repaint();
  void Paint();
  void SetState(DWORD bit, bool on);
  void ShowCursor(bool hover);
  void Notify(int event, bool command);

  HWND control_ = nullptr;
  CriticalSection lock_;
  WideString text_;
  WideString face_;
  int height_ = 0;
  int fontHeight_ = 0;
  HFONT font_ = nullptr;
  HFONT controlFont_ = nullptr;  // the control's own font (WM_GETFONT at attach, then WM_SETFONT)
  COLORREF normal_ = 0x00FF0000;
  COLORREF hover_ = 0x00FF80FF;
  COLORREF frame_ = 0;
  COLORREF disabled_ = 0;
  HBITMAP bitmaps_[3] = {};
  double stretch_ = 1.0;
  int cursorId_ = 0;
  StyledLabelCallback callback_ = nullptr;
  void* user_ = nullptr;
  DWORD flags_ = 0;
  UINT format_ = DT_SINGLELINE;
  MouseLeaveTracker leave_;
  Subclass subclass_;
};
