#include "app/window/WindowTrackerView.h"

#include "app/tracker/TrackerUpdate.h"
#include "core/WideString.h"
#include "resources/ResourceIds.h"
#include "ui/ImageCombo.h"

const wchar_t WindowTrackerView::SearchingText[] = L"Searching for Samsung EI-AN900 devices";
const wchar_t WindowTrackerView::NoneFoundText[] = L"No Samsung EI-AN900 found";

namespace {

const wchar_t kCarrierClass[] = L"PelltonTrackerViewCarrier";
const UINT kRunCall = WM_APP + 0x40;

}  // namespace

struct WindowTrackerView::Call {
  enum Kind { Began, Ended, Searching, Found, Info };
  Kind kind;
  const wchar_t* text = nullptr;
  const std::vector<WideString>* names = nullptr;
  const DeviceInfo* info = nullptr;
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

void WindowTrackerView::SetDeviceInfoShower(DeviceInfoShower shower) { shower_ = std::move(shower); }

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
    case Call::Began:
      SetStatus(call.text, false);
      break;
    case Call::Ended:
      SetStatus(call.text, true);
      break;
    case Call::Searching:
      FillDevices(nullptr);
      break;
    case Call::Found:
      FillDevices(call.names);
      break;
    case Call::Info:
      if (shower_) shower_(*call.info);
      break;
  }
}

void WindowTrackerView::SetStatus(const wchar_t* text, bool searchEnabled) {
  if (!main_) return;
  EnableWindow(GetDlgItem(main_, IDC_MAIN_SEARCH), searchEnabled ? TRUE : FALSE);
  SetDlgItemTextW(main_, IDC_MAIN_STATUS, text);
}

// While a search runs the list is disabled and holds only the searching
// item; the trackers it found replace that item.
void WindowTrackerView::FillDevices(const std::vector<WideString>* names) {
  if (!devices_) return;
  HWND control = devices_->Control();
  if (!names && control) EnableWindow(control, FALSE);
  while (devices_->Count() > 0) {
    if (!devices_->Delete(0)) break;
  }
  if (!names) {
    devices_->AddItem(SearchingText, -1, IDI_TRACKER, nullptr);
  } else if (names->empty()) {
    devices_->AddItem(NoneFoundText, -1, IDI_TRACKER, nullptr);
  } else {
    for (size_t i = 0; i < names->size(); ++i) {
      devices_->AddItem((*names)[i].CStr(), static_cast<int>(i), IDI_TRACKER, nullptr);
    }
  }
  devices_->Select(0);
  if (names && control) EnableWindow(control, TRUE);
}

void WindowTrackerView::OperationBegan(const wchar_t* status) {
  Call call{Call::Began};
  call.text = status ? status : L"";
  OnWindowThread(call);
}

void WindowTrackerView::OperationEnded(const wchar_t* outcome) {
  Call call{Call::Ended};
  call.text = outcome ? outcome : L"";
  OnWindowThread(call);
}

void WindowTrackerView::SearchBegan() {
  Call call{Call::Searching};
  OnWindowThread(call);
}

void WindowTrackerView::SearchEnded(const std::vector<WideString>& names) {
  Call call{Call::Found};
  call.names = &names;
  OnWindowThread(call);
}

void WindowTrackerView::ShowDeviceInfo(const DeviceInfo& info) {
  Call call{Call::Info};
  call.info = &info;
  OnWindowThread(call);
}

void WindowTrackerView::PostUpdate(unsigned flags) {
  if (main_) PostMessageW(main_, WM_TRACKER_UPDATE, flags, 0);
}

void WindowTrackerView::PostRunsStored(int tracker, bool added) {
  StoredRuns stored;
  stored.tracker = tracker;
  stored.added = added;
  if (main_) PostMessageW(main_, WM_TRACKER_UPDATE, UpdateWalking | UpdateSleeping, StoredRunsParam(stored));
}
