#include "ui/ToolTips.h"

#include <commctrl.h>

namespace {

TTTOOLINFOW ToolOf(HWND owner, HWND control) {
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = owner;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  return tool;
}

}  // namespace

int ToolTips::Create(HWND owner) {
  Destroy();
  if (!owner) return 0;
  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                         reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)), nullptr);
  owner_ = tip_ ? owner : nullptr;
  return tip_ != nullptr;
}

void ToolTips::Destroy() {
  if (tip_ && IsWindow(tip_)) DestroyWindow(tip_);
  tip_ = nullptr;
  owner_ = nullptr;
}

int ToolTips::Set(HWND control, const wchar_t* text) {
  if (!tip_ || !control) return 0;
  TTTOOLINFOW tool = ToolOf(owner_, control);
  tool.lpszText = const_cast<wchar_t*>(text ? text : L"");
  WideString shown;
  if (Text(control, shown)) {
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    return 1;
  }
  return SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
}

int ToolTips::Text(HWND control, WideString& text) const {
  text.Assign(L"");
  if (!tip_ || !control) return 0;
  TTTOOLINFOW tool = ToolOf(owner_, control);
  if (!SendMessageW(tip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool))) return 0;
  // Tooltip texts are at most 80 characters unless a buffer says otherwise.
  wchar_t buffer[512] = {};
  tool.lpszText = buffer;
  SendMessageW(tip_, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
  return text.Assign(buffer) && !text.IsEmpty();
}
