// What the tracker worker tests run against: the real main window template
// (102) hosted in a dialog of the test's own with the real Info page over a
// stand-in page context, the device list wrapper, the window view, an
// activity store in a folder of its own, and simulated trackers reached
// either through the simulated GATT backend or through the Windows backend
// bound to the stand-in platform library.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/simulation/SimulatedTracker.h"
#include "app/worker/TrackerWorker.h"
#include "app/window/InfoPage.h"
#include "app/window/WindowTrackerView.h"
#include "ble/GattBackend.h"
#include "tests/app/window/StandInContext.h"
#include "tests/common/TempFolder.h"
#include "ui/ImageCombo.h"

// Where the simulated trackers live.
class TrackerRig {
public:
  enum Kind { Simulated, Windows };
  virtual ~TrackerRig() {}
  // Adds a tracker set up by the scenario text; 1/0.
  virtual int AddTracker(const std::string& scenario, bool notNotifiable = false) = 0;
  virtual GattBackend* Backend() = 0;
  // The next count subscriptions to notifications fail: a search misses those trackers.
  virtual void FailSubscriptions(unsigned count) = 0;
  virtual SimulatedTracker* Tracker(unsigned) { return nullptr; }  // one of this process
  static std::unique_ptr<TrackerRig> Make(Kind kind);
};

// A view over the hosted windows that also counts finished operations: an
// operation counts once its closing status line is in the window.
class CountingView : public WindowTrackerView {
public:
  CountingView(HWND main, ImageCombo* devices);
  ~CountingView() override;
  void OperationEnded(const wchar_t* outcome) override;
  LONG Finished() const { return finished_; }
  std::vector<std::wstring> Outcomes() { SectionLock hold(lock_); return outcomes_; }

private:
  volatile LONG finished_ = 0;
  CriticalSection lock_;
  std::vector<std::wstring> outcomes_;
};

class WorkerHost {
public:
  WorkerHost();
  ~WorkerHost();  // stops the worker first
  WorkerHost(const WorkerHost&) = delete;
  WorkerHost& operator=(const WorkerHost&) = delete;

  // Opens the store in the folder and starts the worker on the backend with
  // short waits (no pause after a download unless given, history periods of
  // a second unless given); 1/0.
  int Start(GattBackend* backend, DWORD afterHistoryMs = 0, DWORD historyPeriodMs = 1000);
  // Dispatches this thread's messages until a WM_TRACKER_UPDATE with the
  // flags has arrived; 1 when it has.
  int WaitForUpdate(unsigned flags, DWORD timeoutMs = 60000);
  void Stop();

  // Dispatches this thread's messages until count operations have finished
  // (the time-out only guards against a hang); 1 when they have.
  int WaitForOperations(LONG count, DWORD timeoutMs = 60000);

  // What the windows show.
  std::vector<std::wstring> DeviceTexts();
  std::vector<int> DeviceValues();
  int SelectedDevice();
  bool DeviceListEnabled();
  bool SearchEnabled();
  std::wstring StatusText();
  std::wstring InfoText(int id);
  int BatteryPosition();
  // WM_TRACKER_UPDATE wParams received so far, in order; Take empties.
  std::vector<unsigned> TakeUpdates();
  // Where a view's device information goes: the Info page.
  DeviceInfoShower InfoShower();

  TempFolder folder;
  ActivityStore store;
  TrackerWorker worker;
  HWND main = nullptr;
  StandInContext context;
  InfoPage infoPage{context};
  HWND info = nullptr;
  ImageCombo devices;
  std::unique_ptr<CountingView> view;

private:
  static INT_PTR CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  std::vector<unsigned> updates_;
};
