#include "ui/ProgressBar.h"

#include <commctrl.h>

namespace {

// {56FDF344-FD6D-11D0-958A-006097C9A090}
const CLSID kClsidTaskbarList = {
    0x56FDF344, 0xFD6D, 0x11D0, {0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90}};
// {EA1AFB91-9E28-4B86-90E9-9E9F8A5EEFAF}
const IID kIidTaskbarList3 = {
    0xEA1AFB91, 0x9E28, 0x4B86, {0x90, 0xE9, 0x9E, 0x9F, 0x8A, 0x5E, 0xEF, 0xAF}};

}  // namespace

int ProgressBar::Attach(HWND control, unsigned options) {
  Detach();
  if (!control || !IsWindow(control)) return 0;
  control_ = control;
  options_ = options;
  low_ = 0;
  high_ = 100;
  step_ = 10;
  taskbarState_ = -1;
  if (!(options & ProgressBarNoTaskbar) &&
      apartment_.Init(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {
    if (SUCCEEDED(CoCreateInstance(kClsidTaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                   kIidTaskbarList3, taskbar_.OutVoid())) &&
        taskbar_) {
      if (FAILED(taskbar_->HrInit())) taskbar_.Reset();
    }
  }
  return 1;
}

void ProgressBar::Detach() {
  if (control_ && (marquee_ || timerRunning_)) SetMarquee(0);
  taskbar_.Reset();
  apartment_.End();
  control_ = nullptr;
  options_ = 0;
  taskbarState_ = -1;
}

int ProgressBar::SetRange(int low, int high, int step) {
  if (!control_) return 0;
  low_ = low;
  high_ = high;
  step_ = step;
  SendMessageW(control_, PBM_SETRANGE, 0, MAKELPARAM(low, high));
  SendMessageW(control_, PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
  SendMessageW(control_, PBM_SETSTEP, static_cast<WPARAM>(step), 0);
  return 1;
}

int ProgressBar::SetPosition(int value) {
  if (!control_) return 0;
  SendMessageW(control_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
  SetTaskbarValue(value);
  return 1;
}

int ProgressBar::SetMarquee(UINT interval) {
  if (!control_) return 0;
  LONG style = GetWindowLongW(control_, GWL_STYLE);
  if (interval) {
    SetWindowLongW(control_, GWL_STYLE, style | PBS_MARQUEE);
    marquee_ = true;
    if (!SendMessageW(control_, PBM_SETMARQUEE, TRUE, static_cast<LPARAM>(interval)) &&
        !timerRunning_) {
      // No marquee in this control: step a short range round and round.
      SetRange(0, EmulationHigh, 1);
      taskbarPosition_ = low_;
      if (SetTimer(control_, reinterpret_cast<UINT_PTR>(this), EmulationInterval, OnTimer)) {
        timerRunning_ = true;
      }
    }
    SetTaskbarState(TBPF_INDETERMINATE);
  } else {
    SendMessageW(control_, PBM_SETMARQUEE, FALSE, 0);
    SetWindowLongW(control_, GWL_STYLE, style & ~PBS_MARQUEE);
    if (timerRunning_) KillTimer(control_, reinterpret_cast<UINT_PTR>(this));
    timerRunning_ = false;
    marquee_ = false;
    SetTaskbarState(TBPF_NOPROGRESS);
  }
  return 1;
}

void CALLBACK ProgressBar::OnTimer(HWND window, UINT, UINT_PTR id, DWORD) {
  ProgressBar* bar = reinterpret_cast<ProgressBar*>(id);
  if (!bar || bar->control_ != window || !bar->timerRunning_) return;
  bar->Tick();
}

void ProgressBar::Tick() {
  SendMessageW(control_, PBM_STEPIT, 0, 0);  // the control wraps by itself
  int position = taskbarPosition_ + step_;
  if (position > high_) position = (high_ ? position % high_ : 0) + low_;
  taskbarPosition_ = position;
  SetTaskbarValue(position);
}

HWND ProgressBar::TaskbarWindow() const {
  // The taskbar knows top-level windows only; a bar on a page reports to
  // the window that owns the button.
  return control_ ? GetAncestor(control_, GA_ROOT) : nullptr;
}

void ProgressBar::SetTaskbarState(TBPFLAG state) {
  if (!taskbar_ || (options_ & ProgressBarNoTaskbar)) return;
  if (taskbarState_ == static_cast<int>(state)) return;
  taskbarState_ = static_cast<int>(state);
  taskbar_->SetProgressState(TaskbarWindow(), state);
}

void ProgressBar::SetTaskbarValue(int position) {
  if (!taskbar_ || (options_ & ProgressBarNoTaskbar) || high_ <= low_) return;
  if (position < low_) position = low_;
  if (position > high_) position = high_;
  taskbar_->SetProgressValue(TaskbarWindow(), static_cast<ULONGLONG>(position - low_),
                             static_cast<ULONGLONG>(high_ - low_));
}
