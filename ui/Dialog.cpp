#include "ui/Dialog.h"

#include <commctrl.h>

#include <algorithm>

#include "core/ResourceData.h"
#include "core/RuntimeCalls.h"
#include "ui/ColourScheme.h"
#include "ui/DialogControl.h"
#include "ui/TemplateFont.h"
#include "ui/WindowPlacement.h"

Dialog::Dialog() = default;

Dialog::~Dialog() {
  if (window_ && IsWindow(window_)) {
    // The object goes first: its window must not call into it any more.
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    if (flags_ & DialogModeless) DestroyWindow(window_);
  }
  window_ = nullptr;
  DestroyIcons();
}

int Dialog::OnInitDialog() { return 1; }

int Dialog::CanClose(INT_PTR) { return 1; }

int Dialog::OnCommand(int id, WPARAM, LPARAM) {
  if (id == IDCANCEL || id == IDCLOSE) {
    Close(0);
    return 1;
  }
  return 0;
}

int Dialog::OnClose() {
  Close(0);
  return 1;
}

int Dialog::OnMessage(UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_WINDOWPOSCHANGING && lParam) {
    WINDOWPOS* position = reinterpret_cast<WINDOWPOS*>(lParam);
    if ((flags_ & DialogStartHidden) && (position->flags & SWP_SHOWWINDOW)) {
      flags_ &= ~static_cast<DWORD>(DialogStartHidden);
      position->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
    }
    if (!(position->flags & SWP_NOSIZE)) {
      if (minimumWidth_ != -1 && position->cx < minimumWidth_) position->cx = minimumWidth_;
      if (minimumHeight_ != -1 && position->cy < minimumHeight_) position->cy = minimumHeight_;
    }
    return 1;
  }
  if (message == WM_GETMINMAXINFO && lParam) {
    // The same minimum for the sizing drag, so that a border dragged past
    // it stops instead of pushing the opposite edge.
    MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
    if (minimumWidth_ != -1 && info->ptMinTrackSize.x < minimumWidth_) {
      info->ptMinTrackSize.x = minimumWidth_;
    }
    if (minimumHeight_ != -1 && info->ptMinTrackSize.y < minimumHeight_) {
      info->ptMinTrackSize.y = minimumHeight_;
    }
    return 0;
  }
  return 0;
}

int Dialog::OnDestroy() { return OnMessage(WM_DESTROY, 0, 0); }

// Callers make no window while the object has one: a second window would
// carry the same object, the first to go would cut the object off from the
// other, and the destructor could take only one of them along.
void Dialog::Prepare(HINSTANCE module, DWORD flags) {
  flags_ = flags;
  module_ = module ? module : GetModuleHandleW(nullptr);
  ending_ = false;
  SetProcessDpiAwareAtRunTime();  // absent is no error
  InitCommonControlsOnce();
}

void Dialog::InitCommonControlsOnce() {
  typedef BOOL(WINAPI * InitFn)(const INITCOMMONCONTROLSEX*);
  if (!comctl32_.IsLoaded()) comctl32_.Load(L"comctl32.dll");
  InitFn initEx = comctl32_.ResolveAs<InitFn>("InitCommonControlsEx");
  INITCOMMONCONTROLSEX init = {8, 0x7FFF};
  if (!initEx || !initEx(&init)) InitCommonControls();
}

// The template of that id with its dated font replaced; false when it cannot
// be loaded or keeps its font (the caller then creates it by id).
bool Dialog::SubstitutedTemplate(int templateId, DWORD flags, std::vector<BYTE>& out) const {
  const void* data = nullptr;
  DWORD size = 0;
  return LoadResourceData(module_, RT_DIALOG, MAKEINTRESOURCEW(templateId), 0, &data, &size) &&
         SubstituteTemplateFont(static_cast<const BYTE*>(data), size,
                                (flags & DialogPreferShellDlg2) != 0, out);
}

INT_PTR Dialog::RunModal(HINSTANCE module, int templateId, DWORD flags, HWND parent) {
  if (window_) return -1;  // one window per object: see Prepare
  Prepare(module, flags);
  HINSTANCE instance = module_;
  std::vector<BYTE> substituted;
  if (SubstitutedTemplate(templateId, flags, substituted)) {
    // With DialogDeleteOnClose this object may be gone when the call
    // returns: nothing below touches it.
    return DialogBoxIndirectParamW(instance,
                                   reinterpret_cast<const DLGTEMPLATE*>(substituted.data()),
                                   parent, Procedure, reinterpret_cast<LPARAM>(this));
  }
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), parent, Procedure,
                         reinterpret_cast<LPARAM>(this));
}

HWND Dialog::CreateModeless(HINSTANCE module, int templateId, DWORD flags, HWND parent) {
  if (window_) return nullptr;
  Prepare(module, flags | DialogModeless);
  HINSTANCE instance = module_;
  std::vector<BYTE> substituted;
  if (SubstitutedTemplate(templateId, flags, substituted)) {
    return CreateDialogIndirectParamW(instance,
                                      reinterpret_cast<const DLGTEMPLATE*>(substituted.data()),
                                      parent, Procedure, reinterpret_cast<LPARAM>(this));
  }
  return CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), parent, Procedure,
                            reinterpret_cast<LPARAM>(this));
}

INT_PTR Dialog::RunModalTemplate(HINSTANCE module, const void* dialogTemplate, size_t size,
                                 DWORD flags, HWND parent) {
  if (!dialogTemplate || window_) return -1;
  Prepare(module, flags);
  HINSTANCE instance = module_;
  std::vector<BYTE> substituted;
  const void* used = dialogTemplate;
  if (SubstituteTemplateFont(static_cast<const BYTE*>(dialogTemplate), size,
                             (flags & DialogPreferShellDlg2) != 0, substituted)) {
    used = substituted.data();
  }
  return DialogBoxIndirectParamW(instance, static_cast<const DLGTEMPLATE*>(used), parent,
                                 Procedure, reinterpret_cast<LPARAM>(this));
}

HWND Dialog::CreateModelessTemplate(HINSTANCE module, const void* dialogTemplate, size_t size,
                                    DWORD flags, HWND parent) {
  if (!dialogTemplate || window_) return nullptr;
  Prepare(module, flags | DialogModeless);
  HINSTANCE instance = module_;
  std::vector<BYTE> substituted;
  const void* used = dialogTemplate;
  if (SubstituteTemplateFont(static_cast<const BYTE*>(dialogTemplate), size,
                             (flags & DialogPreferShellDlg2) != 0, substituted)) {
    used = substituted.data();
  }
  return CreateDialogIndirectParamW(instance, static_cast<const DLGTEMPLATE*>(used), parent,
                                    Procedure, reinterpret_cast<LPARAM>(this));
}

void Dialog::Close(INT_PTR result) {
  if (!window_ || ending_) return;
  if (!CanClose(result)) return;
  if (flags_ & DialogModeless) {
    // WM_NCDESTROY forgets the window (and deletes the object with
    // DialogDeleteOnClose): nothing here touches the object afterwards.
    DestroyWindow(window_);
    return;
  }
  ending_ = true;
  EndDialog(window_, result);
}

void Dialog::WindowGone() {
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  window_ = nullptr;
  ending_ = false;
  anchors_.clear();  // their controls are gone with the window
  if (flags_ & DialogDeleteOnClose) delete this;
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    Dialog* dialog = reinterpret_cast<Dialog*>(lParam);
    if (!dialog) return FALSE;
    SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
    dialog->window_ = window;
    int answer = dialog->OnInitDialog();
    if (answer == 0) {
      dialog->Close(-1);
      return FALSE;
    }
    return answer == 2 ? FALSE : TRUE;
  }
  Dialog* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!dialog) return FALSE;
  switch (message) {
    case WM_DESTROY:
      return dialog->OnDestroy();
    case WM_NCDESTROY: {
      INT_PTR answer = dialog->OnMessage(message, wParam, lParam);
      dialog->WindowGone();
      return answer;
    }
    case WM_CLOSE:
      return dialog->OnClose();
    case WM_COMMAND:
      return dialog->OnCommand(LOWORD(wParam), wParam, lParam);
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      // The dark scheme's colours; a brush is the dialog procedure's whole answer.
      if (HBRUSH brush = SchemeControlColours(message, reinterpret_cast<HDC>(wParam))) {
        return reinterpret_cast<INT_PTR>(brush);
      }
      break;
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (dialog->Reflect(message, wParam, lParam, &result)) {
        SetWindowLongPtrW(window, DWLP_MSGRESULT, message == WM_NOTIFY ? result : TRUE);
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  return dialog->OnMessage(message, wParam, lParam);
}

int Dialog::Reflect(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
  if (!lParam) return 0;
  // A control may remove itself while handling: walk a copy.
  std::vector<DialogControl*> controls = controls_;
  for (DialogControl* control : controls) {
    int answer = 0;
    if (message == WM_DRAWITEM) {
      answer = control->OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    } else if (message == WM_MEASUREITEM) {
      answer = control->OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    } else {
      *result = 0;
      answer = control->OnNotify(reinterpret_cast<const NMHDR*>(lParam), result);
    }
    if (answer) return 1;
  }
  return 0;
}

int Dialog::AddControl(DialogControl* control) {
  if (!control || std::find(controls_.begin(), controls_.end(), control) != controls_.end()) {
    return 0;
  }
  controls_.push_back(control);
  return 1;
}

int Dialog::RemoveControl(DialogControl* control) {
  auto found = std::find(controls_.begin(), controls_.end(), control);
  if (found == controls_.end()) return 0;
  controls_.erase(found);
  return 1;
}

void Dialog::DestroyIcons() {
  if (smallIcon_) DestroyIcon(smallIcon_);
  if (bigIcon_) DestroyIcon(bigIcon_);
  smallIcon_ = nullptr;
  bigIcon_ = nullptr;
}

int Dialog::SetIcon(int iconId) {
  typedef HRESULT(WINAPI * LoadIconMetricFn)(HINSTANCE, PCWSTR, int, HICON*);
  if (!window_) return 0;
  if (!comctl32_.IsLoaded()) comctl32_.Load(L"comctl32.dll");
  LoadIconMetricFn loadIconMetric = comctl32_.ResolveAs<LoadIconMetricFn>("LoadIconMetric");
  struct Size {
    int metric;  // LIM_SMALL, LIM_LARGE
    int cx, cy;
    WPARAM kind;
    HICON* slot;
  } sizes[] = {{0, SM_CXSMICON, SM_CYSMICON, ICON_SMALL, &smallIcon_},
               {1, SM_CXICON, SM_CYICON, ICON_BIG, &bigIcon_}};
  int set = 0;
  for (const Size& size : sizes) {
    HICON icon = nullptr;
    if (!loadIconMetric ||
        FAILED(loadIconMetric(module_, MAKEINTRESOURCEW(iconId), size.metric, &icon))) {
      icon = nullptr;
    }
    if (!icon) {
      icon = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                           GetSystemMetrics(size.cx), GetSystemMetrics(size.cy),
                                           LR_DEFAULTCOLOR));
    }
    // The window lets go of the previous icon before it is destroyed.
    SendMessageW(window_, WM_SETICON, size.kind, reinterpret_cast<LPARAM>(icon));
    if (*size.slot) DestroyIcon(*size.slot);
    *size.slot = icon;
    if (icon) ++set;
  }
  return set == 2 ? 1 : 0;
}

int Dialog::SetMinimumSize(int width, int height, int dialogUnits) {
  if (dialogUnits != 1) {
    minimumWidth_ = width;
    minimumHeight_ = height;
    return 1;
  }
  if (!window_) return 0;
  RECT rect = {0, 0, width < 0 ? 0 : width, height < 0 ? 0 : height};
  if (!MapDialogRect(window_, &rect)) return 0;
  DWORD style = static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE));
  DWORD exStyle = static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE));
  if (!AdjustWindowRectEx(&rect, style, FALSE, exStyle)) return 0;
  minimumWidth_ = width < 0 ? -1 : static_cast<int>(rect.right - rect.left);
  minimumHeight_ = height < 0 ? -1 : static_cast<int>(rect.bottom - rect.top);
  return 1;
}

int Dialog::DialogUnitsToPixelsX(int n) const {
  RECT rect = {0, 0, n, 0};
  if (!window_ || !MapDialogRect(window_, &rect)) return 0;
  return rect.right;
}

int Dialog::DialogUnitsToPixelsY(int n) const {
  RECT rect = {0, 0, 0, n};
  if (!window_ || !MapDialogRect(window_, &rect)) return 0;
  return rect.bottom;
}

int Dialog::SetTitle(const wchar_t* text) { return SetWindowTextW(window_, text) ? 1 : 0; }

int Dialog::SetItemText(int id, const wchar_t* text) {
  return SetDlgItemTextW(window_, id, text) ? 1 : 0;
}

int Dialog::SetItemNumber(int id, int value) {
  return SetDlgItemInt(window_, id, static_cast<UINT>(value), TRUE) ? 1 : 0;
}

HWND Dialog::Item(int id) const { return window_ ? GetDlgItem(window_, id) : nullptr; }

int Dialog::EnableItem(int id, bool enable) {
  HWND item = Item(id);
  if (!item) return 0;
  EnableWindow(item, enable ? TRUE : FALSE);
  return 1;
}

int Dialog::CheckButton(int id, int check) {
  return CheckDlgButton(window_, id, check == 1 ? BST_CHECKED : BST_UNCHECKED) ? 1 : 0;
}

bool Dialog::IsButtonChecked(int id) const {
  return window_ && IsDlgButtonChecked(window_, id) == BST_CHECKED;
}

int Dialog::Show(int showCommand) { return ShowWindow(window_, showCommand) ? 1 : 0; }

void Dialog::SetResult(LRESULT result) {
  if (window_) SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
}

int Dialog::AddAnchor(HWND control, DWORD code, int referenceWidth, int referenceHeight) {
  Anchor anchor;
  if (!anchor.Attach(control, code, referenceWidth, referenceHeight, window_)) return 0;
  anchors_.push_back(anchor);
  return 1;
}

int Dialog::AddAnchorItem(int id, DWORD code, int referenceWidth, int referenceHeight) {
  return AddAnchor(Item(id), code, referenceWidth, referenceHeight);
}

int Dialog::AddAnchors(const AnchorEntry* table, unsigned count) {
  int added = 0;
  for (unsigned i = 0; table && i < count; ++i) added += AddAnchorItem(table[i].id, table[i].code);
  return added;
}

void Dialog::ApplyAnchors(WPARAM wParam, LPARAM lParam) {
  for (const Anchor& anchor : anchors_) anchor.ApplyAnchor(wParam, lParam);
}

int Dialog::SavePlacement(HKEY root, const wchar_t* path, const wchar_t* name, const RECT* rect,
                          DWORD flags, SettingsStore* store) {
  return SaveWindowPlacement(window_, root, path, name, rect, flags, store);
}

int Dialog::RestorePlacement(HKEY root, const wchar_t* path, const wchar_t* name, DWORD flags,
                             SettingsStore* store) {
  return RestoreWindowPlacement(window_, root, path, name, flags, store);
}

int Dialog::InitComApartment() {
  return apartment_.Init(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

void Dialog::EndComApartment() { apartment_.End(); }
