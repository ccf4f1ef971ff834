#include "ui/StyledLabel.h"

#include "ui/ColourScheme.h"
#include "ui/GdiGuard.h"
#include "ui/LabelFont.h"

namespace {

const wchar_t kDefaultFaces[] = L"Segoe UI;Verdana;MS Sans Serif";
const DWORD kFrameBits = StyledLabelFrame | StyledLabelEdgeBump | StyledLabelEdgeEtched |
                         StyledLabelEdgeRaised | StyledLabelEdgeSunken | StyledLabelTripleFrame;
const int kFrameInset = 3;

struct FitRequest {
  HDC dc;
  const wchar_t* text;
  RECT area;
  UINT format;
};

// The text fits when DrawTextW lays it out narrower and lower than the area.
int StyledTextFits(HFONT font, void* user) {
  FitRequest* request = static_cast<FitRequest*>(user);
  HGDIOBJ old = SelectObject(request->dc, font);
  RECT rect = request->area;
  int height = DrawTextW(request->dc, request->text, -1, &rect,
                         (request->format & ~static_cast<UINT>(DT_END_ELLIPSIS | DT_VCENTER)) | DT_CALCRECT);
  SelectObject(request->dc, old);
  if (!height) return request->text[0] ? -1 : 1;
  LONG width = request->area.right - request->area.left;
  LONG tall = request->area.bottom - request->area.top;
  return rect.right - rect.left < width && rect.bottom - rect.top < tall ? 1 : 0;
}

}  // namespace

StyledLabel::StyledLabel() : subclass_(SubclassTagStyledLabel) {}

int StyledLabel::Attach(HWND control, const wchar_t* faces, int height, COLORREF normal, COLORREF hover,
                        DWORD options, int cursorId, StyledLabelCallback callback, void* user) {
  if (!control || !IsWindow(control) || control_) return 0;
  control_ = control;
  height_ = height;
  normal_ = normal;
  hover_ = hover;
  disabled_ = GetSysColor(COLOR_GRAYTEXT);
  flags_ = options & ~static_cast<DWORD>(StyledLabelHot);
  callback_ = callback;
  cursorId_ = cursorId;
  user_ = user;
  LONG style = GetWindowLongW(control, GWL_STYLE);
  if (!(style & WS_TABSTOP)) flags_ |= StyledLabelNoTabStop;
  if (!IsWindowEnabled(control)) flags_ |= StyledLabelDisabled;
  ChooseInstalledFace(faces && *faces ? faces : kDefaultFaces, L"Verdana", face_);
  controlFont_ = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));

  {
    SectionLock hold(lock_);
    int length = GetWindowTextLengthW(control);
    text_.Reset(static_cast<unsigned>(length) + 1);
    GetWindowTextW(control, text_.Buffer(), length + 1);
    text_.UpdateLength();
  }
  SetWindowTextW(control, L"");
  if ((GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_TRANSPARENT) && !(flags_ & StyledLabelNeverTransparent))
    flags_ |= StyledLabelTransparent;
  if (flags_ & StyledLabelTrackPointer) SetWindowLongW(control, GWL_STYLE, style | SS_NOTIFY);

  format_ = (flags_ & StyledLabelMultiLine) ? DT_WORDBREAK : DT_SINGLELINE;
  if (flags_ & StyledLabelEndEllipsis) format_ |= DT_END_ELLIPSIS;
  DWORD kind = static_cast<DWORD>(style) & SS_TYPEMASK;
  if (kind == SS_CENTER) format_ |= DT_CENTER;
  if (kind == SS_RIGHT) format_ |= DT_RIGHT;
  if (style & SS_CENTERIMAGE) format_ |= DT_VCENTER;
  if (style & SS_NOPREFIX) format_ |= DT_NOPREFIX;
  if (flags_ & StyledLabelCentreVertically) format_ |= DT_VCENTER;

  {
    SectionLock hold(lock_);
    MakeFont();
  }
  subclass_.AttachSubclass(control, &StyledLabel::Handle, this);
  Repaint();
  return 1;
}

int StyledLabel::Detach() {
  if (!control_) return 0;
  subclass_.DetachSubclass();
  leave_.Stop();
  SectionLock hold(lock_);
  if (font_) DeleteObject(font_);
  font_ = nullptr;
  for (HBITMAP& bitmap : bitmaps_) {
    if (bitmap) DeleteObject(bitmap);
    bitmap = nullptr;
  }
  control_ = nullptr;
  controlFont_ = nullptr;
  return 1;
}

int StyledLabel::SetFace(const wchar_t* faces, bool repaint) {
  {
    SectionLock hold(lock_);
    ChooseInstalledFace(faces && *faces ? faces : kDefaultFaces, L"Verdana", face_);
    if (control_) MakeFont();
  }
  if (repaint) Repaint();
  return 1;
}

int StyledLabel::SetText(const wchar_t* text) {
  {
    SectionLock hold(lock_);
    if (!text_.Assign(text ? text : L"")) return 0;
    if (control_ && (flags_ & StyledLabelRefitOnText)) MakeFont();
  }
  Repaint();
  return 1;
}

void StyledLabel::CopyText(WideString& out) {
  SectionLock hold(lock_);
  out.Assign(text_);
}

void StyledLabel::SetBitmaps(HBITMAP background, HBITMAP hover, HBITMAP pressed, double stretch) {
  HBITMAP given[3] = {background, hover, pressed};
  for (int i = 0; i < 3; ++i) {
    if (bitmaps_[i] && bitmaps_[i] != given[i]) DeleteObject(bitmaps_[i]);
    bitmaps_[i] = given[i];
  }
  stretch_ = stretch > 0 ? stretch : 1.0;
  Repaint();
}

RECT StyledLabel::TextArea() const {
  RECT area = {};
  GetClientRect(control_, &area);
  if (flags_ & kFrameBits) InflateRect(&area, -kFrameInset, -kFrameInset);
  return area;
}

void StyledLabel::MakeFont() {
  if (font_) DeleteObject(font_);
  font_ = nullptr;
  fontHeight_ = 0;
  if (flags_ & StyledLabelOwnFont) {
    font_ = CopyFont(controlFont_, false);
    LOGFONTW description = {};
    if (font_ && GetObjectW(font_, sizeof(description), &description)) fontHeight_ = description.lfHeight;
    return;
  }
  LabelFontStyle style = {face_.CStr(), (flags_ & StyledLabelBold) ? FW_BOLD : FW_NORMAL,
                          (flags_ & StyledLabelItalic) != 0, (flags_ & StyledLabelUnderline) != 0, 0};
  if (height_ != 0 && !(flags_ & StyledLabelFit)) {
    font_ = CreateLabelFont(style, height_);
    fontHeight_ = font_ ? height_ : 0;
    return;
  }
  RECT area = TextArea();
  int start = height_ != 0 ? height_ : area.bottom - area.top;
  WindowDc dc(control_);
  FitRequest request = {dc, text_.CStr(), area, format_};
  font_ = FitLabelFont(style, start, StyledTextFits, &request, &fontHeight_);
}

void StyledLabel::Repaint() {
  HWND control = control_;
  if (!control) return;
  if (flags_ & StyledLabelTransparent) {
    HWND parent = GetParent(control);
    RECT area;
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    InvalidateRect(parent, &area, TRUE);
  }
  InvalidateRect(control, nullptr, TRUE);
}

// The text's extent placed by the alignment, or the whole client area.
RECT StyledLabel::HotArea() {
  RECT client = {};
  GetClientRect(control_, &client);
  if (flags_ & StyledLabelWholeClient) return client;
  RECT area = TextArea();
  SectionLock hold(lock_);
  WindowDc dc(control_);
  SelectedObject selected(dc, font_);
  RECT text = area;
  DrawTextW(dc, text_.CStr(), -1, &text, (format_ & ~static_cast<UINT>(DT_VCENTER)) | DT_CALCRECT);
  LONG width = text.right - text.left, height = text.bottom - text.top;
  if (width > area.right - area.left) width = area.right - area.left;
  RECT hot;
  hot.left = (format_ & DT_RIGHT)    ? area.right - width
             : (format_ & DT_CENTER) ? area.left + (area.right - area.left - width) / 2
                                     : area.left;
  hot.top = (format_ & DT_VCENTER) ? area.top + (area.bottom - area.top - height) / 2 : area.top;
  hot.right = hot.left + width;
  hot.bottom = hot.top + height;
  return hot;
}

void StyledLabel::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(control_, &paint);
  if (!dc) return;
  RECT client;
  GetClientRect(control_, &client);
  RECT focus = (flags_ & (StyledLabelFocused | StyledLabelNoTabStop)) == StyledLabelFocused ? HotArea() : RECT{};
  {
    SectionLock hold(lock_);
    SelectedObject selected(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    if (!(flags_ & StyledLabelTransparent)) {
      HBRUSH brush = nullptr;
      if (!(flags_ & StyledLabelWhiteBackground))
        brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(control_), WM_CTLCOLORSTATIC,
                                                      reinterpret_cast<WPARAM>(dc),
                                                      reinterpret_cast<LPARAM>(control_)));
      FillRect(dc, &client, brush ? brush : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }

    bool hot = (flags_ & (StyledLabelTrackPointer | StyledLabelHot)) ==
               (StyledLabelTrackPointer | StyledLabelHot);
    HBITMAP bitmap = (flags_ & StyledLabelButtonDown) && bitmaps_[2] ? bitmaps_[2]
                     : hot && bitmaps_[1]                             ? bitmaps_[1]
                                                                      : bitmaps_[0];
    if (bitmap) {
      BITMAP info = {};
      GetObjectW(bitmap, sizeof(info), &info);
      MemoryDc memory(dc);
      SelectedObject picture(memory, bitmap);
      if (stretch_ == 1.0) {
        BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
      } else {
        if (!SetStretchBltMode(dc, HALFTONE)) SetStretchBltMode(dc, COLORONCOLOR);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, 0, 0, static_cast<int>(info.bmWidth * stretch_), static_cast<int>(info.bmHeight * stretch_),
                   memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
      }
    }

    if (flags_ & StyledLabelDisabled)
      SetTextColor(dc, disabled_);
    else if (hot)
      SetTextColor(dc, SchemeTextColour(hover_));
    else if (!(flags_ & StyledLabelDeviceTextColour))
      SetTextColor(dc, SchemeTextColour(normal_));
    RECT text = TextArea();
    DrawTextW(dc, text_.CStr(), -1, &text, format_);
  }

  if (flags_ & (StyledLabelFrame | StyledLabelTripleFrame)) {
    GdiBrush brush(CreateSolidBrush(frame_));
    RECT frame = client;
    int count = (flags_ & StyledLabelTripleFrame) ? 3 : 1;
    for (int i = 0; i < count; ++i) {
      FrameRect(dc, &frame, brush);
      InflateRect(&frame, -1, -1);
    }
  }
  static const struct { DWORD bit; UINT edge; } edges[] = {
      {StyledLabelEdgeBump, EDGE_BUMP}, {StyledLabelEdgeEtched, EDGE_ETCHED},
      {StyledLabelEdgeRaised, EDGE_RAISED}, {StyledLabelEdgeSunken, EDGE_SUNKEN}};
  for (const auto& edge : edges) {
    if (flags_ & edge.bit) {
      RECT frame = client;
      DrawEdge(dc, &frame, edge.edge, BF_RECT);
    }
  }
  if ((flags_ & (StyledLabelFocused | StyledLabelNoTabStop)) == StyledLabelFocused) DrawFocusRect(dc, &focus);
  EndPaint(control_, &paint);
}

void StyledLabel::SetState(DWORD bit, bool on) {
  DWORD before = flags_;
  if (on)
    flags_ |= bit;
  else
    flags_ &= ~bit;
  if (flags_ != before) Repaint();
}

void StyledLabel::ShowCursor(bool hover) {
  HCURSOR cursor = nullptr;
  if (hover && cursorId_) {
    HINSTANCE module = (flags_ & StyledLabelSystemCursor)
                           ? nullptr
                           : reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(control_, GWLP_HINSTANCE));
    cursor = LoadCursorW(module, MAKEINTRESOURCEW(cursorId_));
  }
  SetCursor(cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW));
}

void StyledLabel::Notify(int event, bool command) {
  if (callback_) callback_(event, 0, user_, this);
  if (command && (flags_ & StyledLabelSendCommand) && control_)
    SendMessageW(GetParent(control_), WM_COMMAND, static_cast<WPARAM>(GetDlgCtrlID(control_)),
                 reinterpret_cast<LPARAM>(control_));
}

int StyledLabel::Handle(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, void* user) {
  return static_cast<StyledLabel*>(user)->OnMessage(message, wParam, lParam, result);
}

int StyledLabel::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  *result = 0;
  bool pointer = (flags_ & StyledLabelTrackPointer) != 0;
  bool tabStop = !(flags_ & StyledLabelNoTabStop);
  switch (message) {
    case WM_PAINT:
      Paint();
      return 1;
    case WM_SETTEXT:
      *result = SetText(reinterpret_cast<const wchar_t*>(lParam)) ? TRUE : FALSE;
      return 1;
    case WM_GETTEXT: {
      wchar_t* buffer = reinterpret_cast<wchar_t*>(lParam);
      if (!buffer || wParam == 0) return 1;
      SectionLock hold(lock_);
      unsigned count = text_.Length() < wParam - 1 ? text_.Length() : static_cast<unsigned>(wParam - 1);
      CopyMemory(buffer, text_.CStr(), count * sizeof(wchar_t));
      buffer[count] = 0;
      *result = count;
      return 1;
    }
    case WM_GETTEXTLENGTH: {
      SectionLock hold(lock_);
      *result = text_.Length();
      return 1;
    }
    case WM_ENABLE:
      SetState(StyledLabelDisabled, wParam == 0);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      SetState(StyledLabelFocused, message == WM_SETFOCUS);
      return 0;
    case WM_GETDLGCODE: {
      if (!tabStop) return 0;
      const MSG* key = reinterpret_cast<const MSG*>(lParam);
      *result = DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      if (key && key->message == WM_KEYDOWN && (key->wParam == VK_RETURN || key->wParam == VK_SPACE))
        *result |= DLGC_WANTMESSAGE;
      return 1;
    }
    case WM_SETFONT:
      // Kept for fonts made on other threads; the control takes it too.
      controlFont_ = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_NCDESTROY:
      leave_.Stop();
      return 0;
    case WM_KEYDOWN:
      if (!tabStop || (wParam != VK_RETURN && wParam != VK_SPACE)) return 0;
      Notify(wParam == VK_RETURN ? StyledLabelEnter : StyledLabelSpace, true);
      return 1;
    default:
      break;
  }
  if (!pointer) return 0;
  switch (message) {
    case WM_NCHITTEST:
      *result = HTCLIENT;
      return 1;
    case WM_MOUSEMOVE: {
      POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      RECT hot = HotArea();
      if (PtInRect(&hot, point)) {
        if (!(flags_ & StyledLabelHot)) {
          leave_.Track(control_);
          if (wParam & MK_LBUTTON) flags_ |= StyledLabelButtonDown;
          SetState(StyledLabelHot, true);
        }
        ShowCursor(true);
      } else if (flags_ & StyledLabelHot) {
        SetState(StyledLabelHot, false);
        if (cursorId_) ShowCursor(false);
      }
      return 1;
    }
    case WM_MOUSELEAVE:
      flags_ &= ~static_cast<DWORD>(StyledLabelButtonDown);
      SetState(StyledLabelHot, false);
      Repaint();
      return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetState(StyledLabelButtonDown, true);
      Notify(StyledLabelPressed, false);
      return 1;
    case WM_LBUTTONUP: {
      SetState(StyledLabelButtonDown, false);
      if (flags_ & StyledLabelHot) Notify(StyledLabelClicked, true);
      return 1;
    }
    case WM_SETCURSOR:
      ShowCursor((flags_ & StyledLabelHot) != 0);
      *result = TRUE;
      return 1;
    default:
      return 0;
  }
}
