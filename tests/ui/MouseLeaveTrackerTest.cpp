// The pointer-leave tracker apart from the pointer itself (that part runs
// with the visible windows): which way it tracks, and that its stand-in
// timer ends with Stop and with the tracker.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/ui/ControlTestSupport.h"
#include "ui/MouseLeaveTracker.h"

namespace {

TEST(MouseLeaveTrackerTest, TheSystemsTrackingIsUsedWhenItExists) {
  controltest::HostDialog dialog;
  ASSERT_TRUE(dialog.Create(50, 50, false) != nullptr);
  MouseLeaveTracker tracker;
  EXPECT_EQ(1, tracker.Track(dialog.Window()));
  EXPECT_FALSE(tracker.TimerRunning());
  EXPECT_EQ(0, tracker.Track(nullptr));
  dialog.Close(0);
}

TEST(MouseLeaveTrackerTest, TheStandInTimerEndsWithStopAndWithTheTracker) {
  controltest::HostDialog dialog;
  ASSERT_TRUE(dialog.Create(50, 50, false) != nullptr);
  UINT_PTR id = 0;
  {
    MouseLeaveTracker tracker;
    ASSERT_EQ(1, tracker.SetLibraryName(L"kernel32.dll"));  // no TrackMouseEvent there
    ASSERT_EQ(1, tracker.Track(dialog.Window()));
    EXPECT_TRUE(tracker.TimerRunning());
    tracker.Stop();
    EXPECT_FALSE(tracker.TimerRunning());
    EXPECT_FALSE(KillTimer(dialog.Window(), reinterpret_cast<UINT_PTR>(&tracker)));
    ASSERT_EQ(1, tracker.Track(dialog.Window()));
    id = reinterpret_cast<UINT_PTR>(&tracker);
  }
  // The tracker's timer (its id is the tracker) is gone with it.
  EXPECT_FALSE(KillTimer(dialog.Window(), id));
  dialog.Close(0);
}

}  // namespace
