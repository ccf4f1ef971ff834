#include "ui/DialogKeyFilter.h"

namespace {

thread_local DialogKeyFilter* tFilter = nullptr;

}  // namespace

int DialogKeyFilter::Start(HWND dialog, Handler handler) {
  if (tFilter || !dialog) return 0;
  hook_ = SetWindowsHookExW(WH_MSGFILTER, Filter, nullptr, GetCurrentThreadId());
  if (!hook_) return 0;
  dialog_ = dialog;
  handler_ = std::move(handler);
  tFilter = this;
  return 1;
}

void DialogKeyFilter::Stop() {
  if (hook_) UnhookWindowsHookEx(hook_);
  hook_ = nullptr;
  if (tFilter == this) tFilter = nullptr;
  dialog_ = nullptr;
  handler_ = nullptr;
}

LRESULT CALLBACK DialogKeyFilter::Filter(int code, WPARAM wParam, LPARAM lParam) {
  DialogKeyFilter* filter = tFilter;
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == MSGF_DIALOGBOX && filter && message && filter->handler_ &&
      (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN || message->message == WM_SYSCHAR) &&
      (message->hwnd == filter->dialog_ || IsChild(filter->dialog_, message->hwnd))) {
    // A copy: the handler may stop the filter.
    Handler handler = filter->handler_;
    if (handler(*message)) return 1;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
