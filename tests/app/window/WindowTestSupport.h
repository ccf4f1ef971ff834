// Running the real main window in a test: two simulated trackers with
// known histories (TwoTrackers.h) on a manual tick, a database folder and a
// settings key of the test's own, the shared message pump that waits for a
// condition, and readers of the registry values the window keeps.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "app/window/MainWindow.h"
#include "app/simulation/SimulatedDevices.h"
#include "app/tracker/TickSource.h"
#include "tests/common/PumpUntil.h"
#include "tests/common/TempFolder.h"

namespace windowtest {

// The text of a dialog item.
std::wstring ItemText(HWND dialog, int id);

// Answers the next message box owned by owner while this thread runs
// messages (a thread timer looks for it): keeps its text and default
// button, then presses answer (0: the default, as Enter does).
struct BoxAnswer {
  explicit BoxAnswer(HWND owner, int answer = 0);
  ~BoxAnswer();
  bool Seen() const { return seen; }
  HWND owner;
  int answer;
  bool seen = false;
  std::wstring text;
  int defaultId = 0;
  std::function<void()> meanwhile;  // done while the box is shown, before the answer
  UINT_PTR timer;
};

class WindowFixture {
public:
  WindowFixture();
  ~WindowFixture();

  // Adds the two trackers, each with the extra scenario lines; 1 when both
  // were set up.
  int AddTwoTrackers(const char* extra = "");
  // A main window made modeless and shown; none when it could not be made.
  MainWindow* Open(const MainWindowSetup* setup = nullptr);
  // Closes the window as the Close button does and waits until it is gone.
  bool CloseWindow();

  MainWindowSetup Setup();
  const std::wstring& Key() const { return key_; }
  std::wstring DatabasePath() const { return folder_.File(L"Pellton.sql"); }
  SimulatedTracker* Tracker(unsigned index) { return devices_.Tracker(index); }
  ManualTickSource& Ticks() { return ticks_; }
  MainWindow* Window() { return window_.get(); }

  // Registry values under the test's key; -1 / "<missing>" when absent.
  long long ReadNumber(const wchar_t* name);
  std::wstring ReadText(const wchar_t* name);
  void WriteNumber(const wchar_t* name, DWORD value);

private:
  TempFolder folder_;
  std::wstring key_;
  ManualTickSource ticks_;
  SimulatedDevices devices_;
  std::unique_ptr<MainWindow> window_;
};

// The list's selected index; -1 when none.
int SelectedIndex(ImageCombo& combo);
// Picks an item as the user does: the list's selection changes and its
// parent hears CBN_SELCHANGE.
void ChooseItem(HWND parent, ImageCombo& combo, int index);

}  // namespace windowtest
