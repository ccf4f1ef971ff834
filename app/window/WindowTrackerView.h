// The tracker view over the real windows: turns the worker's facts into
// controls. The status line (IDC_MAIN_STATUS) shows each operation's text
// and the search button (IDC_MAIN_SEARCH) is off while it runs; a search
// empties the device list (IDC_MAIN_DEVICES) down to "Searching for Samsung
// EI-AN900 devices" and ends with the trackers found, each item's value its
// tracker index (or "No Samsung EI-AN900 found", value -1); device
// information goes to whoever shows it (the main window's pages).
//
// Made on the window thread; every call from another thread is carried to
// the window thread by a message sent to a message-only window of its own,
// so the controls and their wrappers are only ever used on their thread.
// The window thread must keep answering sent messages while the worker runs
// (its message loop does, and so does Worker::Stop).
#pragma once

#include <windows.h>

#include <functional>

#include "app/worker/TrackerView.h"

class ImageCombo;

// Where device information goes, on the window thread.
typedef std::function<void(const DeviceInfo& info)> DeviceInfoShower;

class WindowTrackerView : public TrackerView {
public:
  static const wchar_t SearchingText[];  // "Searching for Samsung EI-AN900 devices"
  static const wchar_t NoneFoundText[];  // "No Samsung EI-AN900 found"

  // mainWindow holds the status line and the search button and receives
  // WM_TRACKER_UPDATE; devices is the wrapper attached to its device list,
  // not owned.
  WindowTrackerView(HWND mainWindow, ImageCombo* devices);
  ~WindowTrackerView() override;
  WindowTrackerView(const WindowTrackerView&) = delete;
  WindowTrackerView& operator=(const WindowTrackerView&) = delete;

  // Who shows device information; none: it is dropped. Window thread.
  void SetDeviceInfoShower(DeviceInfoShower shower);

  void OperationBegan(const wchar_t* status) override;
  void OperationEnded(const wchar_t* outcome) override;
  void SearchBegan() override;
  void SearchEnded(const std::vector<WideString>& names) override;
  void ShowDeviceInfo(const DeviceInfo& info) override;
  void PostUpdate(unsigned flags) override;
  void PostRunsStored(int tracker, bool added) override;
  HWND UpdateWindow() override { return main_; }

private:
  struct Call;
  static LRESULT CALLBACK CarrierProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Runs the call on the window thread (at once when already there).
  void OnWindowThread(Call& call);
  void Run(Call& call);
  void SetStatus(const wchar_t* text, bool searchEnabled);
  void FillDevices(const std::vector<WideString>* names);

  HWND main_;
  ImageCombo* devices_;
  DeviceInfoShower shower_;
  DWORD windowThread_;
  HWND carrier_ = nullptr;
};
