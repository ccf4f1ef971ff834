// A progress control with a marquee mode that also mirrors itself on the
// taskbar button of its window (ITaskbarList3). Where the control has no
// marquee (PBM_SETMARQUEE answers 0) a 20 ms timer steps a 0-40 range
// instead, and the bar wraps by itself. Without the taskbar interface the
// bar works without the mirror. Window thread only; the destructor detaches.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include "core/ComApartment.h"
#include "core/ComRef.h"

enum ProgressBarFlags : unsigned {
  ProgressBarNoTaskbar = 0x1,  // do not mirror on the taskbar
};

class ProgressBar {
public:
  ProgressBar() = default;
  ~ProgressBar() { Detach(); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // Unless ProgressBarNoTaskbar, creates the taskbar interface (COM is
  // initialised for the thread first). 1 when the control exists.
  int Attach(HWND control, unsigned options);
  // Stops the marquee and releases the taskbar interface.
  void Detach();

  // PBM_SETRANGE (16-bit low and high), PBM_SETRANGE32 and PBM_SETSTEP. 1/0.
  int SetRange(int low, int high, int step);
  // PBM_SETPOS; the taskbar shows value - low of high - low. 1/0.
  int SetPosition(int value);
  // Non-zero: the marquee moving every interval ms (or its emulation);
  // zero: stops it. The taskbar shows "indeterminate" or "no progress".
  int SetMarquee(UINT interval);

  HWND Control() const { return control_; }
  bool Emulating() const { return timerRunning_; }
  bool HasTaskbar() const { return static_cast<bool>(taskbar_); }
  int Low() const { return low_; }
  int High() const { return high_; }
  int Step() const { return step_; }

  static const UINT EmulationInterval = 20;  // ms
  static const int EmulationHigh = 40;

private:
  static void CALLBACK OnTimer(HWND window, UINT message, UINT_PTR id, DWORD time);
  void Tick();
  void SetTaskbarState(TBPFLAG state);
  void SetTaskbarValue(int position);
  HWND TaskbarWindow() const;

  HWND control_ = nullptr;
  unsigned options_ = 0;
  int low_ = 0;
  int high_ = 100;
  int step_ = 10;
  bool marquee_ = false;
  bool timerRunning_ = false;
  int taskbarPosition_ = 0;  // where the emulation last put the taskbar value
  ComApartment apartment_;
  ComRef<ITaskbarList3> taskbar_;
  int taskbarState_ = -1;  // the last state set; -1: none yet
};
