// The real main window on a failing disk: a history download whose storing
// fails shows so in the window's own status line, the runs of the earlier
// downloads stay, and once the disk recovers the next download is stored
// and the line says so.
#include <gtest/gtest.h>

#include <string>

#include "app/window/MainWindow.h"
#include "resources/ResourceIds.h"
#include "tests/app/TwoTrackers.h"
#include "tests/app/window/WindowTestSupport.h"
#include "tests/reliability/FailingDiskVfs.h"

using windowtest::ItemText;

namespace {

std::wstring Integrity(ActivityStore& store) {
  WideString check;
  if (!store.QueryText(L"PRAGMA integrity_check;", check)) return L"<not checked>";
  return check.CStr();
}

}  // namespace

TEST(FailingDiskWindowTest, TheStatusLineSaysTheDownloadWasNotStoredAndTheNextOneIsOnceTheDiskRecovers) {
  ASSERT_EQ(1, FailingDisk::Install());
  windowtest::WindowFixture fixture;
  ASSERT_EQ(1, fixture.AddTwoTrackers());
  MainWindow* opened = fixture.Open();
  ASSERT_NE(nullptr, opened);
  ASSERT_TRUE(PumpUntil([&] { return opened->Idle(); })) << "the search and the downloads did not finish";
  MainWindow& window = *opened;
  HWND main = window.Window();
  auto status = [&] { return ItemText(main, IDC_MAIN_STATUS); };

  // The left tracker holds two walks and a night; the disk is full at the
  // first write of their download.
  FailingDisk::Arm(FailWrites, 1);
  ASSERT_EQ(1, window.Worker().QueueHistory(0));
  const std::wstring notStored = std::wstring(twotrackers::LeftText) + L": 0 runs stored, 3 could not be stored";
  bool shown = PumpUntil([&] { return status() == notStored; });
  const unsigned failures = FailingDisk::Failures();
  FailingDisk::Recover();
  ASSERT_TRUE(shown) << "the status line shows \"" << std::string(status().begin(), status().end()) << "\"";
  EXPECT_GT(failures, 0u);
  EXPECT_EQ(L"ok", Integrity(window.Store()));

  // Working again: the same download is stored, and the line says so.
  ASSERT_EQ(1, window.Worker().QueueHistory(0));
  EXPECT_TRUE(PumpUntil([&] { return status() == std::wstring(twotrackers::LeftText) + L": 3 runs stored"; }))
      << std::string(status().begin(), status().end());
  ASSERT_TRUE(fixture.CloseWindow());
  EXPECT_EQ(twotrackers::ExpectedWalkingRows(), twotrackers::StoredRows(fixture.DatabasePath().c_str(), L"walking"));
  EXPECT_EQ(twotrackers::ExpectedSleepingRows(),
            twotrackers::StoredRows(fixture.DatabasePath().c_str(), L"sleeping"));
}
