#include "ui/LinkLabel.h"

#include <versionhelpers.h>

#include <cwchar>

#include "core/Registry.h"
#include "core/ShellOpen.h"
#include "ui/ColourScheme.h"
#include "ui/GdiGuard.h"
#include "ui/LabelFont.h"
#include "ui/TemplateFont.h"

namespace {

const wchar_t kBrowserPath[] = L"Software\\Microsoft\\Internet Explorer";
const wchar_t kBullet = 0x2022;
// The toolbar button part, whose transparency decides whether the parent's
// themed background shows through.
const int kToolbarButton = 1;
const int kToolbarNormal = 1;

// "r,g,b" as three decimal numbers; 0 for anything else.
int ParseColour(const WideString& text, COLORREF* colour) {
  unsigned red = 0, green = 0, blue = 0;
  if (swscanf(text.CStr(), L"%u,%u,%u", &red, &green, &blue) != 3) return 0;
  *colour = RGB(red & 0xFF, green & 0xFF, blue & 0xFF);
  return 1;
}

bool HasSystemBrush(int index) { return GetSysColorBrush(index) != nullptr; }

struct FitRequest {
  HDC dc;
  const wchar_t* text;
  SIZE client;
};

// The underlined font fits while the text is narrower than the client area
// and lower than it.
int LinkTextFits(HFONT font, void* user) {
  FitRequest* request = static_cast<FitRequest*>(user);
  HGDIOBJ old = SelectObject(request->dc, font);
  SIZE size = {};
  BOOL measured = GetTextExtentPoint32W(request->dc, request->text, lstrlenW(request->text), &size);
  SelectObject(request->dc, old);
  if (!measured) return -1;
  return size.cx > request->client.cx || size.cy >= request->client.cy ? 0 : 1;
}

// The device context's pitch and family as a font request. The family bits
// mean the same in both records; the pitch bit does not: in TEXTMETRIC a set
// TMPF_FIXED_PITCH means a variable-pitch font, while the same bit asks for
// FIXED_PITCH in LOGFONT.
BYTE PitchAndFamilyOf(const TEXTMETRICW& metrics) {
  BYTE family = metrics.tmPitchAndFamily & 0xF0;
  BYTE pitch = (metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) ? VARIABLE_PITCH : FIXED_PITCH;
  return static_cast<BYTE>(family | pitch);
}

}  // namespace

LinkLabel::LinkLabel() : subclass_(SubclassTagLinkLabel) {}

void LinkLabel::SetBrowserSettingsPath(const wchar_t* path) {
  if (path && *path)
    browserPath_.Assign(path);
  else
    browserPath_.Reset(0);
}

void LinkLabel::SetCallbacks(LinkShortCallback shortCallback, LinkLongCallback longCallback, void* user) {
  shortCallback_ = shortCallback;
  longCallback_ = longCallback;
  user_ = user;
}

void LinkLabel::SetUrlOpener(LinkUrlOpener opener) { opener_ = opener; }

int LinkLabel::Attach(HWND control, const wchar_t* text, const wchar_t* url, int cursorId, DWORD options) {
  if (!control || !IsWindow(control) || control_) return 0;
  control_ = control;
  flags_ = options | LinkLabelHoverColour;
  cursorId_ = cursorId;
  url_.Assign(url ? url : L"");
  if (url_.Length() > MAX_PATH - 1) url_.Left(MAX_PATH - 1);
  theme_.Open(control, L"TOOLBAR");
  LONG style = GetWindowLongW(control, GWL_STYLE);
  if (!(style & WS_TABSTOP)) flags_ |= LinkLabelNoFocusRect;
  if (!IsWindowEnabled(control)) flags_ |= LinkLabelDisabled;
  if (text) {
    text_.Assign(text);
  } else {
    int length = GetWindowTextLengthW(control);
    text_.Reset(static_cast<unsigned>(length) + 1);
    GetWindowTextW(control, text_.Buffer(), length + 1);
    text_.UpdateLength();
  }
  SetWindowLongW(control, GWL_STYLE, style | SS_NOTIFY);
  SetWindowTextW(control, L"");
  if (!(flags_ & LinkLabelNeverTransparent) && (GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_TRANSPARENT))
    flags_ |= LinkLabelTransparent;

  normal_ = 0x00CC6600;
  disabled_ = GetSysColor(COLOR_GRAYTEXT);
  hover_ = HasSystemBrush(COLOR_HOTLIGHT) ? GetSysColor(COLOR_HOTLIGHT) : 0x000000FF;
  underline_ = LinkUnderlineAlways;
  ReadBrowserSettings();
  CreateFonts();

  format_ = DT_SINGLELINE;
  DWORD kind = static_cast<DWORD>(style) & SS_TYPEMASK;
  if (kind == SS_CENTER) format_ |= DT_CENTER;
  if (kind == SS_RIGHT) format_ |= DT_RIGHT;
  if (style & SS_CENTERIMAGE) format_ |= DT_VCENTER;
  if (flags_ & LinkLabelEndEllipsis) format_ |= DT_END_ELLIPSIS;
  if (flags_ & LinkLabelPathEllipsis) format_ |= DT_PATH_ELLIPSIS;

  UpdateDisplayText();
  subclass_.AttachSubclass(control, &LinkLabel::Handle, this);
  Measure();
  Repaint();
  return 1;
}

int LinkLabel::Detach() {
  if (!control_) return 0;
  // A window that is already gone has let go of its subclass by itself.
  subclass_.DetachSubclass();
  leave_.Stop();
  theme_.Close();
  if (font_) DeleteObject(font_);
  if (underlinedFont_) DeleteObject(underlinedFont_);
  font_ = underlinedFont_ = nullptr;
  control_ = nullptr;
  return 1;
}

void LinkLabel::ReadBrowserSettings() {
  const wchar_t* base = browserPath_.IsEmpty() ? kBrowserPath : browserPath_.CStr();
  WideString path, value;

  path.Format(L"%s\\Settings", base);
  if (RegReadString(HKEY_CURRENT_USER, path.CStr(), L"Use Anchor Hover Color", value)) {
    if (value.CompareNoCase(L"yes") == 0)
      flags_ |= LinkLabelHoverColour;
    else
      flags_ &= ~static_cast<DWORD>(LinkLabelHoverColour);
  }
  if (RegReadString(HKEY_CURRENT_USER, path.CStr(), L"Anchor Color", value)) ParseColour(value, &normal_);
  if (RegReadString(HKEY_CURRENT_USER, path.CStr(), L"Anchor Color Hover", value)) ParseColour(value, &hover_);

  path.Format(L"%s\\Main", base);
  if (RegReadString(HKEY_CURRENT_USER, path.CStr(), L"Anchor Underline", value)) {
    if (value.CompareNoCase(L"no") == 0)
      underline_ = LinkUnderlineNever;
    else if (value.CompareNoCase(L"hover") == 0)
      underline_ = LinkUnderlineHover;
    else
      underline_ = LinkUnderlineAlways;
  }
  if (RegReadString(HKEY_CURRENT_USER, path.CStr(), L"Use_DlgBox_Colors", value) &&
      value.CompareNoCase(L"yes") == 0) {
    normal_ = IsWindowsVistaOrGreater() ? GetSysColor(COLOR_HOTLIGHT) : 0x00CC6600;
    hover_ = GetSysColor(COLOR_HIGHLIGHT);
  }
}

void LinkLabel::CreateFonts() {
  if (font_) DeleteObject(font_);
  if (underlinedFont_) DeleteObject(underlinedFont_);
  font_ = underlinedFont_ = nullptr;
  if (flags_ & LinkLabelOwnFont) {
    font_ = CopyControlFont(control_, false);
    underlinedFont_ = CopyControlFont(control_, true);
    return;
  }

  WideString face;
  if (flags_ & LinkLabelBrowserFont) {
    const wchar_t* base = browserPath_.IsEmpty() ? kBrowserPath : browserPath_.CStr();
    WideString path, sub;
    path.Format(L"%s\\International", base);
    DWORD codePage = RegReadDword(HKEY_CURRENT_USER, path.CStr(), L"Default_CodePage", 0);
    if (codePage) {
      sub.Format(L"%s\\International\\%u", base, codePage);
      RegReadString(HKEY_CURRENT_USER, sub.CStr(), L"IEPropFontName", face);
    }
    if (face.IsEmpty()) {
      path.Format(L"%s\\International\\Scripts", base);
      DWORD script = RegReadDword(HKEY_CURRENT_USER, path.CStr(), L"Default_Script", 3);
      sub.Format(L"%s\\International\\Scripts\\%u", base, script);
      RegReadString(HKEY_CURRENT_USER, sub.CStr(), L"IEPropFontName", face);
    }
    if (face.IsEmpty()) {
      path.Format(L"%s\\Styles", base);
      RegReadString(HKEY_CURRENT_USER, path.CStr(), L"IEPropFontName", face);
    }
  }
  if (face.IsEmpty()) ChooseInstalledFace(L"Segoe UI;Verdana", L"Arial", face);

  WindowDc dc(control_);
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  RECT client = {};
  GetClientRect(control_, &client);
  int start = (flags_ & LinkLabelFitClientHeight) ? client.bottom : metrics.tmHeight;
  LabelFontStyle style = {face.CStr(), FW_NORMAL, false, true, PitchAndFamilyOf(metrics)};
  FitRequest request = {dc, text_.CStr(), {client.right, client.bottom}};
  int height = 0;
  underlinedFont_ = FitLabelFont(style, start, LinkTextFits, &request, &height);
  style.underline = false;
  if (underlinedFont_) font_ = CreateLabelFont(style, height);
}

void LinkLabel::UpdateDisplayText() {
  if (!(flags_ & LinkLabelPassword)) {
    display_.Assign(text_);
    return;
  }
  wchar_t mask = L'*';
  LOGFONTW description = {};
  if (font_ && GetObjectW(font_, sizeof(description), &description) &&
      lstrcmpiW(description.lfFaceName, L"Verdana") == 0)
    mask = kBullet;
  display_.Reset(text_.Length() + 1);
  for (unsigned i = 0; i < text_.Length(); ++i) display_.AppendChar(mask);
}

void LinkLabel::Measure() {
  extent_.cx = extent_.cy = 0;
  if (!control_ || !underlinedFont_) return;
  WindowDc dc(control_);
  SelectedObject selected(dc, underlinedFont_);
  // Measured as it is drawn, so that "&&" counts as one ampersand.
  RECT rect = {0, 0, 0, 0};
  UINT measure = (format_ & ~static_cast<UINT>(DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_CENTER | DT_RIGHT |
                                               DT_VCENTER)) | DT_CALCRECT;
  if (DrawTextW(dc, display_.CStr(), -1, &rect, measure)) {
    extent_.cx = rect.right - rect.left;
    extent_.cy = rect.bottom - rect.top;
  }
  if (display_.IsEmpty()) extent_.cx = 0;
}

int LinkLabel::SetText(const wchar_t* text) {
  if (!text_.Assign(text ? text : L"")) return 0;
  UpdateDisplayText();
  Measure();
  Repaint();
  return 1;
}

void LinkLabel::Repaint() {
  if (!control_) return;
  if (flags_ & LinkLabelTransparent) {
    HWND parent = GetParent(control_);
    RECT area;
    GetWindowRect(control_, &area);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    InvalidateRect(parent, &area, TRUE);
  }
  InvalidateRect(control_, nullptr, TRUE);
}

int LinkLabel::IsOverText(POINT point) const {
  if (extent_.cy == 0) return 1;
  RECT client;
  GetClientRect(control_, &client);
  if (!PtInRect(&client, point)) return 0;
  LONG width = client.right;
  if (format_ & DT_RIGHT) return point.x > width - extent_.cx;
  if (format_ & DT_CENTER) {
    LONG margin = (width - extent_.cx) / 2;
    return point.x > margin && point.x < width - margin;
  }
  return point.x < extent_.cx;
}

bool LinkLabel::PointerOverText() const {
  POINT point;
  if (!GetCursorPos(&point)) return true;
  ScreenToClient(control_, &point);
  return IsOverText(point) != 0;
}

void LinkLabel::ShowCursor(bool link) {
  HCURSOR cursor = nullptr;
  if (link) {
    HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(control_, GWLP_HINSTANCE));
    cursor = LoadCursorW(module, MAKEINTRESOURCEW(cursorId_));
    if (!cursor) cursor = LoadCursorW(nullptr, IDC_HAND);
  }
  if (!cursor) cursor = LoadCursorW(nullptr, IDC_ARROW);
  SetCursor(cursor);
}

void LinkLabel::SetHot(bool hot) {
  bool was = (flags_ & LinkLabelHot) != 0;
  if (hot == was) return;
  if (hot)
    flags_ |= LinkLabelHot;
  else
    flags_ &= ~static_cast<DWORD>(LinkLabelHot);
  Repaint();
}

void LinkLabel::Activate(int how) {
  if (shortCallback_) {
    shortCallback_(how, text_.CStr(), url_.CStr());
    return;
  }
  if (longCallback_) {
    longCallback_(how, text_.CStr(), url_.CStr(), user_, this);
    return;
  }
  if (how == LinkActivatedButtonDown) return;
  if (flags_ & LinkLabelSendCommand) {
    SendMessageW(GetParent(control_), WM_COMMAND, static_cast<WPARAM>(GetDlgCtrlID(control_)),
                 reinterpret_cast<LPARAM>(control_));
    return;
  }
  if (!url_.IsEmpty()) (opener_ ? opener_ : OpenUrl)(url_.CStr());
}

void LinkLabel::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(control_, &paint);
  if (!dc) return;
  RECT client;
  GetClientRect(control_, &client);
  bool hot = (flags_ & LinkLabelHot) != 0;
  HFONT font = underline_ == LinkUnderlineAlways || (underline_ == LinkUnderlineHover && hot)
                   ? underlinedFont_
                   : font_;
  {
    SelectedObject selected(dc, font);
    SetBkMode(dc, TRANSPARENT);
    if (!(flags_ & LinkLabelTransparent)) {
      HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(control_), WM_CTLCOLORSTATIC,
                                                           reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(control_)));
      FillRect(dc, &client, brush ? brush : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    if ((flags_ & LinkLabelThemedBackground) && theme_.Theme() &&
        theme_.IsBackgroundPartiallyTransparent(kToolbarButton, kToolbarNormal))
      theme_.DrawParentBackground(dc, &client);
    bool disabled = (flags_ & LinkLabelDisabled) != 0;
    COLORREF colour = disabled ? disabled_ : (hot && (flags_ & LinkLabelHoverColour)) ? hover_ : normal_;
    SetTextColor(dc, SchemeTextColour(colour, !disabled));
    RECT text = client;
    DrawTextW(dc, display_.CStr(), -1, &text, format_);

    if (!disabled && (flags_ & LinkLabelFocused) && !(flags_ & LinkLabelNoFocusRect)) {
      RECT focus;
      focus.left = (format_ & DT_RIGHT)    ? client.right - extent_.cx
                   : (format_ & DT_CENTER) ? (client.right - extent_.cx) / 2
                                           : 0;
      focus.top = (format_ & DT_VCENTER) ? (client.bottom - extent_.cy) / 2 : 0;
      focus.right = focus.left + extent_.cx;
      focus.bottom = focus.top + extent_.cy;
      DrawFocusRect(dc, &focus);
    }
  }
  EndPaint(control_, &paint);
}

int LinkLabel::Handle(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, void* user) {
  return static_cast<LinkLabel*>(user)->OnMessage(message, wParam, lParam, result);
}

int LinkLabel::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  *result = 0;
  switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (message == WM_SETFOCUS)
        flags_ |= LinkLabelFocused;
      else
        flags_ &= ~static_cast<DWORD>(LinkLabelFocused);
      Repaint();
      return 1;
    case WM_ENABLE:
      if (wParam) {
        flags_ &= ~static_cast<DWORD>(LinkLabelDisabled);
        if (PointerOverText()) {
          flags_ |= LinkLabelHot;
          ShowCursor(true);
        }
      } else {
        flags_ |= LinkLabelDisabled;
      }
      Repaint();
      return 1;
    case WM_PAINT:
      Paint();
      return 1;
    case WM_MOUSEMOVE: {
      POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      bool over = IsOverText(point) != 0;
      if (over && !(flags_ & LinkLabelHot)) {
        SetHot(true);
        leave_.Track(control_);
        ShowCursor(true);
      } else if (!over && (flags_ & LinkLabelHot)) {
        SetHot(false);
        ShowCursor(false);
      }
      return 1;
    }
    case WM_MOUSELEAVE:
    case WM_CANCELMODE:
      SetHot(false);
      return 1;
    case WM_SETCURSOR:
      ShowCursor((flags_ & LinkLabelHot) != 0);
      *result = TRUE;
      return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (flags_ & LinkLabelHot) Activate(LinkActivatedButtonDown);
      return 1;
    case WM_LBUTTONUP:
      if (flags_ & LinkLabelHot) Activate(LinkActivatedButtonUp);
      return 1;
    case WM_KEYUP:
      if (wParam == VK_RETURN) Activate(LinkActivatedEnter);
      if (wParam == VK_SPACE) Activate(LinkActivatedSpace);
      return 1;
    case WM_GETDLGCODE: {
      // Enter belongs to a focused link, not to the dialog's default button.
      *result = subclass_.CallPrevious(control_, message, wParam, lParam);
      const MSG* key = reinterpret_cast<const MSG*>(lParam);
      if (key && (key->message == WM_KEYDOWN || key->message == WM_KEYUP) && key->wParam == VK_RETURN)
        *result |= DLGC_WANTMESSAGE;
      return 1;
    }
    case WM_SETTEXT:
      *result = SetText(reinterpret_cast<const wchar_t*>(lParam)) ? TRUE : FALSE;
      return 1;
    case WM_GETTEXT: {
      wchar_t* buffer = reinterpret_cast<wchar_t*>(lParam);
      if (!buffer || wParam == 0) return 1;
      unsigned count = text_.Length() < wParam - 1 ? text_.Length() : static_cast<unsigned>(wParam - 1);
      CopyMemory(buffer, text_.CStr(), count * sizeof(wchar_t));
      buffer[count] = 0;
      *result = count;
      return 1;
    }
    case WM_GETTEXTLENGTH:
      *result = text_.Length();
      return 1;
    case WM_NCDESTROY:
      leave_.Stop();
      return 0;
    default:
      return 0;
  }
}
