// A hyperlink drawn over an ordinary static control of a dialog. The label
// subclasses the static (tag 6C696E6B), takes its text, clears the control's
// own text and paints everything itself, following the user's Internet
// Explorer link settings (colours, hover colour, underlining, font face).
// The pointer is over the link only above the text, measured by the
// control's alignment. A click activates on button-up (never on button-down)
// while the pointer is still over the text; Enter and Space activate a
// focused link. Activation goes to a callback when one is set, else to the
// parent as WM_COMMAND (option 0x800), else opens the URL.
// Window thread only. The label detaches in its destructor.
#pragma once

#include <windows.h>

#include "core/ThemeAccess.h"
#include "core/WideString.h"
#include "ui/MouseLeaveTracker.h"
#include "ui/Subclass.h"

// Option and state bits.
enum LinkLabelFlags : DWORD {
  LinkLabelHoverColour = 0x1,       // the hover colour while hot
  LinkLabelOwnFont = 0x2,           // the control's font and an underlined copy
  LinkLabelHot = 0x4,               // state: pointer over the link text
  LinkLabelDisabled = 0x8,          // state
  LinkLabelTransparent = 0x10,      // no background fill
  LinkLabelFitClientHeight = 0x20,  // the font search starts at the client height
  LinkLabelFocused = 0x40,          // state
  LinkLabelNoFocusRect = 0x80,      // set for a control without WS_TABSTOP
  LinkLabelPassword = 0x100,        // one bullet per character
  LinkLabelBrowserFont = 0x200,     // the face from Internet Explorer's settings
  LinkLabelThemedBackground = 0x400,
  LinkLabelSendCommand = 0x800,     // activation sends WM_COMMAND to the parent
  LinkLabelEndEllipsis = 0x1000,
  LinkLabelPathEllipsis = 0x2000,
  LinkLabelNeverTransparent = 0x4000,
};

// How a link was activated.
enum LinkActivation {
  LinkActivatedButtonDown = 1,
  LinkActivatedEnter = 2,
  LinkActivatedSpace = 3,
  LinkActivatedButtonUp = 4,
};

enum LinkUnderline { LinkUnderlineNever = 0, LinkUnderlineHover = 1, LinkUnderlineAlways = 2 };

class LinkLabel;
typedef void (*LinkShortCallback)(int how, const wchar_t* text, const wchar_t* url);
typedef void (*LinkLongCallback)(int how, const wchar_t* text, const wchar_t* url, void* user,
                                 LinkLabel* label);
// Opens a URL; 1 on success. The default is OpenUrl.
typedef int (*LinkUrlOpener)(const wchar_t* url);

class LinkLabel {
public:
  LinkLabel();
  ~LinkLabel() { Detach(); }
  LinkLabel(const LinkLabel&) = delete;
  LinkLabel& operator=(const LinkLabel&) = delete;

  // Where the Internet Explorer settings are read (below HKEY_CURRENT_USER);
  // none: "Software\Microsoft\Internet Explorer". Takes effect at Attach.
  void SetBrowserSettingsPath(const wchar_t* path);
  // Activation callbacks (the short one wins when both are set).
  void SetCallbacks(LinkShortCallback shortCallback, LinkLongCallback longCallback, void* user);
  // Replaces OpenUrl for opening the link (none: OpenUrl again).
  void SetUrlOpener(LinkUrlOpener opener);

  // text none: the control's own text; url none: no URL; cursorId: the
  // cursor resource of the control's module shown over the link. 1, or 0
  // when the control is no window or the label is attached already.
  int Attach(HWND control, const wchar_t* text, const wchar_t* url, int cursorId, DWORD options);
  // Removes the subclass and deletes the fonts; 0 when not attached.
  int Detach();

  // The control then answers these itself; setting the text through here is
  // the same as WM_SETTEXT.
  int SetText(const wchar_t* text);
  const wchar_t* Text() const { return text_.CStr(); }
  const wchar_t* DisplayText() const { return display_.CStr(); }
  const wchar_t* Url() const { return url_.CStr(); }

  HWND Control() const { return control_; }
  DWORD Flags() const { return flags_; }
  COLORREF NormalColour() const { return normal_; }
  COLORREF HoverColour() const { return hover_; }
  COLORREF DisabledColour() const { return disabled_; }
  int UnderlineMode() const { return underline_; }
  UINT Format() const { return format_; }
  SIZE TextExtent() const { return extent_; }
  HFONT NormalFont() const { return font_; }
  HFONT UnderlinedFont() const { return underlinedFont_; }
  // 1 when a pointer at this client position is over the link text.
  int IsOverText(POINT client) const;

private:
  static int Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                    void* user);
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  void ReadBrowserSettings();
  void CreateFonts();
  void UpdateDisplayText();
  void Measure();
  void Repaint();
  void Paint();
  void SetHot(bool hot);
  void ShowCursor(bool link);
  void Activate(int how);
  bool PointerOverText() const;

  HWND control_ = nullptr;
  WideString text_;
  WideString display_;
  WideString url_;
  WideString browserPath_;
  int cursorId_ = 0;
  HFONT font_ = nullptr;
  HFONT underlinedFont_ = nullptr;
  COLORREF normal_ = 0x00CC6600;
  COLORREF hover_ = 0x000000FF;
  COLORREF disabled_ = 0;
  int underline_ = LinkUnderlineAlways;
  UINT format_ = DT_SINGLELINE;
  SIZE extent_ = {0, 0};
  DWORD flags_ = 0;
  LinkShortCallback shortCallback_ = nullptr;
  LinkLongCallback longCallback_ = nullptr;
  void* user_ = nullptr;
  LinkUrlOpener opener_ = nullptr;
  ThemeAccess theme_;
  MouseLeaveTracker leave_;
  Subclass subclass_;
};
