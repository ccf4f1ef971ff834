#include "tests/app/worker/WorkerTestRig.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "app/simulation/TrackerScenario.h"
#include "app/tracker/TrackerUpdate.h"
#include "ble/SimulatedGattBackend.h"
#include "ble/WindowsGattBackend.h"
#include "resources/ResourceIds.h"
#include "tests/common/PumpUntil.h"
#include "tools/fakes/FakeBluetooth.h"

namespace {

class SimulatedRig : public TrackerRig {
public:
  ~SimulatedRig() override {
    backend_.reset();  // takes the handlers back before the trackers go
    trackers_.clear();
  }
  int AddTracker(const std::string& text, bool notNotifiable) override {
    TrackerScenario scenario;
    WideString error;
    if (!scenario.Parse(text.data(), text.size(), error)) return 0;
    std::unique_ptr<SimulatedTracker> tracker(new SimulatedTracker);
    if (!tracker->Configure(scenario)) return 0;
    if (!backend_->AddDevice(tracker.get(), notNotifiable ? SimulatedGattBackend::NotNotifiable : 0)) return 0;
    trackers_.push_back(std::move(tracker));
    return 1;
  }
  GattBackend* Backend() override { return backend_.get(); }
  void FailSubscriptions(unsigned count) override { backend_->FailDescriptorWrites(count, E_ACCESSDENIED); }
  SimulatedTracker* Tracker(unsigned n) override { return n < trackers_.size() ? trackers_[n].get() : nullptr; }

private:
  std::vector<std::unique_ptr<SimulatedTracker>> trackers_;
  std::unique_ptr<SimulatedGattBackend> backend_{new SimulatedGattBackend};
};

// The platform library keeps its devices until reset; it stays loaded.
class WindowsRig : public TrackerRig {
public:
  WindowsRig() {
    library_ = LoadLibraryW(FAKE_BLE_LIBRARY);
    if (!library_) return;
    reset_ = reinterpret_cast<FakeBleResetFn>(reinterpret_cast<void*>(GetProcAddress(library_, "FakeBleReset")));
    add_ = reinterpret_cast<FakeBleAddTrackerFn>(reinterpret_cast<void*>(GetProcAddress(library_, "FakeBleAddTracker")));
    fail_ = reinterpret_cast<FakeBleFailDescriptorWritesFn>(
        reinterpret_cast<void*>(GetProcAddress(library_, "FakeBleFailDescriptorWrites")));
    if (reset_) reset_();
    backend_.reset(new WindowsGattBackend(FAKE_BLE_LIBRARY, FAKE_BLE_LIBRARY));
  }
  ~WindowsRig() override {
    backend_.reset();
    if (reset_) reset_();
    if (library_) FreeLibrary(library_);
  }
  int AddTracker(const std::string& text, bool notNotifiable) override {
    return add_ && add_(text.c_str(), static_cast<unsigned>(FakeBleAddressDashed) | (notNotifiable ? static_cast<unsigned>(FakeBleNotNotifiable) : 0u)) >= 0;
  }
  GattBackend* Backend() override { return backend_.get(); }
  void FailSubscriptions(unsigned count) override { if (fail_) fail_(count, E_ACCESSDENIED); }

private:
  HMODULE library_ = nullptr;
  FakeBleFailDescriptorWritesFn fail_ = nullptr;
  FakeBleResetFn reset_ = nullptr;
  FakeBleAddTrackerFn add_ = nullptr;
  std::unique_ptr<WindowsGattBackend> backend_;
};

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

}  // namespace

std::unique_ptr<TrackerRig> TrackerRig::Make(Kind kind) {
  if (kind == Simulated) return std::unique_ptr<TrackerRig>(new SimulatedRig);
  return std::unique_ptr<TrackerRig>(new WindowsRig);
}

CountingView::CountingView(HWND main, ImageCombo* devices) : WindowTrackerView(main, devices) {}

CountingView::~CountingView() {}

void CountingView::OperationEnded(const wchar_t* outcome) {
  WindowTrackerView::OperationEnded(outcome);  // in the window when this returns
  SectionLock hold(lock_);
  outcomes_.push_back(outcome ? outcome : L"");
  InterlockedIncrement(&finished_);
}

INT_PTR CALLBACK WorkerHost::MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    return TRUE;
  }
  WorkerHost* self = reinterpret_cast<WorkerHost*>(GetWindowLongPtrW(window, DWLP_USER));
  if (message == WM_TRACKER_UPDATE && self) {
    self->updates_.push_back(static_cast<unsigned>(wParam));
    return TRUE;
  }
  if (message == WM_DRAWITEM && self && wParam == IDC_MAIN_DEVICES) {
    self->devices.OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    return TRUE;
  }
  return FALSE;
}

WorkerHost::WorkerHost() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  HINSTANCE module = GetModuleHandleW(nullptr);
  main = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_MAIN), nullptr, &WorkerHost::MainProc,
                            reinterpret_cast<LPARAM>(this));
  if (main) info = infoPage.CreateModeless(module, IDD_PAGE_INFO, 0, main);
  if (main) devices.Attach(GetDlgItem(main, IDC_MAIN_DEVICES), module, ImageComboComboBox, 0, 0);
  view.reset(new CountingView(main, &devices));
  view->SetDeviceInfoShower(InfoShower());
}

WorkerHost::~WorkerHost() {
  Stop();
  view.reset();
  devices.Detach();
  if (main) DestroyWindow(main);  // the page with it
}

int WorkerHost::Start(GattBackend* backend, DWORD afterHistoryMs, DWORD historyPeriodMs) {
  if (!main || !info || !store.Open(folder.Path().c_str())) return 0;
  worker.timings.commandTimeoutMs = 10000;  // answers come at once; only lost ones wait
  worker.timings.historyPeriodMs = historyPeriodMs;
  worker.timings.beforeQueriesMs = 0;
  worker.timings.afterHistoryMs = afterHistoryMs;
  return worker.Start(backend, view.get(), &store);
}

void WorkerHost::Stop() {
  worker.Stop();
  store.Close();
}

int WorkerHost::WaitForOperations(LONG count, DWORD timeoutMs) {
  if (!PumpUntil([&] { return view->Finished() >= count; }, timeoutMs, main)) return 0;
  // The operation's last posts are queued before its end is counted.
  PumpWaiting(main);
  return 1;
}

int WorkerHost::WaitForUpdate(unsigned flags, DWORD timeoutMs) {
  return PumpUntil([&] { return std::find(updates_.begin(), updates_.end(), flags) != updates_.end(); }, timeoutMs)
             ? 1
             : 0;
}

std::vector<std::wstring> WorkerHost::DeviceTexts() {
  std::vector<std::wstring> texts;
  for (int i = 0; i < devices.Count(); ++i) {
    WideString text;
    devices.Item(i, &text, nullptr);
    texts.push_back(text.CStr());
  }
  return texts;
}

std::vector<int> WorkerHost::DeviceValues() {
  std::vector<int> values;
  for (int i = 0; i < devices.Count(); ++i) {
    int value = -2;
    devices.Item(i, nullptr, &value);
    values.push_back(value);
  }
  return values;
}

int WorkerHost::SelectedDevice() {
  int index = -1;
  return devices.Selection(&index, nullptr, nullptr) ? index : -1;
}

bool WorkerHost::DeviceListEnabled() { return IsWindowEnabled(GetDlgItem(main, IDC_MAIN_DEVICES)) != 0; }
bool WorkerHost::SearchEnabled() { return IsWindowEnabled(GetDlgItem(main, IDC_MAIN_SEARCH)) != 0; }
std::wstring WorkerHost::StatusText() { return TextOf(GetDlgItem(main, IDC_MAIN_STATUS)); }
std::wstring WorkerHost::InfoText(int id) { return TextOf(GetDlgItem(info, id)); }
int WorkerHost::BatteryPosition() {
  return static_cast<int>(SendDlgItemMessageW(info, IDC_INFO_BATTERY, PBM_GETPOS, 0, 0));
}

DeviceInfoShower WorkerHost::InfoShower() {
  return [this](const DeviceInfo& shown) { infoPage.ShowDeviceInfo(shown); };
}

std::vector<unsigned> WorkerHost::TakeUpdates() {
  std::vector<unsigned> taken;
  taken.swap(updates_);
  return taken;
}
