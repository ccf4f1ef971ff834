// The tracker view over the real windows: the main window with its device
// list wrapper, and the Info page (which may come later, when its tab is
// first shown). Made on the window thread; every call from another thread
// is carried to the window thread by a message sent to a message-only
// window of its own, so the controls and their wrappers are only ever used
// on their thread. The window thread must keep answering sent messages
// while the worker runs (its message loop does, and so does Worker::Stop).
#pragma once

#include <windows.h>

#include "app/worker/TrackerView.h"

class ImageCombo;

class WindowTrackerView : public TrackerView {
public:
  // mainWindow holds the status line (1020), the search button (1014) and
  // receives WM_TRACKER_UPDATE; devices is the wrapper attached to its
  // device list (1010), not owned.
  WindowTrackerView(HWND mainWindow, ImageCombo* devices);
  ~WindowTrackerView() override;
  WindowTrackerView(const WindowTrackerView&) = delete;
  WindowTrackerView& operator=(const WindowTrackerView&) = delete;

  // The Info page (battery 1011, texts 1012, 1013, 1015); none: their
  // updates are dropped. Window thread.
  void SetInfoPage(HWND page);

  void SetStatus(const wchar_t* text) override;
  void EnableSearch(int enable) override;
  void EnableDeviceList(int enable) override;
  void ClearDeviceList() override;
  void AddDevice(const wchar_t* text, int value, int iconId) override;
  void RemoveDevice(int index) override;
  void SelectDevice(int index) override;
  void SetBattery(int percent) override;
  void SetInfoText(int controlId, const wchar_t* text) override;
  void PostUpdate(unsigned flags) override;
  HWND UpdateWindow() override { return main_; }

private:
  struct Call;
  static LRESULT CALLBACK CarrierProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Runs the call on the window thread (at once when already there).
  void OnWindowThread(Call& call);
  void Run(Call& call);

  HWND main_;
  ImageCombo* devices_;
  HWND infoPage_ = nullptr;
  DWORD windowThread_;
  HWND carrier_ = nullptr;
};
