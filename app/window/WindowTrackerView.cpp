#include "app/window/WindowTrackerView.h"

#include <commctrl.h>

#include "app/tracker/TrackerUpdate.h"
#include "core/WideString.h"
#include "ui/ImageCombo.h"

namespace {

const wchar_t kCarrierClass[] = L"PelltonTrackerViewCarrier";
const UINT kRunCall = WM_APP + 0x40;

const int kStatusId = 1020;
const int kSearchId = 1014;
const int kBatteryId = 1011;

}  // namespace

struct WindowTrackerView::Call {
  enum Kind { Status, Search, DeviceListEnable, DeviceListClear, DeviceAdd, DeviceRemove, DeviceSelect, Battery, InfoText };
  Kind kind;
  int number = 0;
  int value = 0;
  int icon = 0;
  const wchar_t* text = nullptr;
};

WindowTrackerView::WindowTrackerView(HWND mainWindow, ImageCombo* devices)
    : main_(mainWindow), devices_(devices), windowThread_(GetCurrentThreadId()) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &WindowTrackerView::CarrierProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kCarrierClass;
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  carrier_ = CreateWindowExW(0, kCarrierClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                             nullptr);
  if (carrier_) SetWindowLongPtrW(carrier_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

WindowTrackerView::~WindowTrackerView() {
  if (carrier_) DestroyWindow(carrier_);
}

void WindowTrackerView::SetInfoPage(HWND page) { infoPage_ = page; }

LRESULT CALLBACK WindowTrackerView::CarrierProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunCall) {
    WindowTrackerView* self = reinterpret_cast<WindowTrackerView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self) self->Run(*reinterpret_cast<Call*>(lParam));
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void WindowTrackerView::OnWindowThread(Call& call) {
  if (GetCurrentThreadId() == windowThread_) {
    Run(call);
  } else if (carrier_) {
    // A sent message: the caller waits until the window thread has run it.
    SendMessageW(carrier_, kRunCall, 0, reinterpret_cast<LPARAM>(&call));
  }
}

void WindowTrackerView::Run(Call& call) {
  switch (call.kind) {
    case Call::Status:
      if (main_) SetDlgItemTextW(main_, kStatusId, call.text);
      break;
    case Call::Search:
      if (main_) EnableWindow(GetDlgItem(main_, kSearchId), call.value ? TRUE : FALSE);
      break;
    case Call::DeviceListEnable:
      if (devices_ && devices_->Control()) EnableWindow(devices_->Control(), call.value ? TRUE : FALSE);
      break;
    case Call::DeviceListClear:
      if (devices_) {
        while (devices_->Count() > 0) {
          if (!devices_->Delete(0)) break;
        }
      }
      break;
    case Call::DeviceAdd:
      if (devices_) devices_->AddItem(call.text, call.value, call.icon, nullptr);
      break;
    case Call::DeviceRemove:
      if (devices_) devices_->Delete(call.number);
      break;
    case Call::DeviceSelect:
      if (devices_) devices_->Select(call.number);
      break;
    case Call::Battery:
      if (infoPage_) SendDlgItemMessageW(infoPage_, kBatteryId, PBM_SETPOS, static_cast<WPARAM>(call.value), 0);
      break;
    case Call::InfoText:
      if (infoPage_) SetDlgItemTextW(infoPage_, call.number, call.text);
      break;
  }
}

void WindowTrackerView::SetStatus(const wchar_t* text) {
  Call call{Call::Status};
  call.text = text ? text : L"";
  OnWindowThread(call);
}

void WindowTrackerView::EnableSearch(int enable) {
  Call call{Call::Search};
  call.value = enable;
  OnWindowThread(call);
}

void WindowTrackerView::EnableDeviceList(int enable) {
  Call call{Call::DeviceListEnable};
  call.value = enable;
  OnWindowThread(call);
}

void WindowTrackerView::ClearDeviceList() {
  Call call{Call::DeviceListClear};
  OnWindowThread(call);
}

void WindowTrackerView::AddDevice(const wchar_t* text, int value, int iconId) {
  Call call{Call::DeviceAdd};
  call.text = text ? text : L"";
  call.value = value;
  call.icon = iconId;
  OnWindowThread(call);
}

void WindowTrackerView::RemoveDevice(int index) {
  Call call{Call::DeviceRemove};
  call.number = index;
  OnWindowThread(call);
}

void WindowTrackerView::SelectDevice(int index) {
  Call call{Call::DeviceSelect};
  call.number = index;
  OnWindowThread(call);
}

void WindowTrackerView::SetBattery(int percent) {
  Call call{Call::Battery};
  call.value = percent;
  OnWindowThread(call);
}

void WindowTrackerView::SetInfoText(int controlId, const wchar_t* text) {
  Call call{Call::InfoText};
  call.number = controlId;
  call.text = text ? text : L"";
  OnWindowThread(call);
}

void WindowTrackerView::PostUpdate(unsigned flags) {
  if (main_) PostMessageW(main_, WM_TRACKER_UPDATE, flags, 0);
}
