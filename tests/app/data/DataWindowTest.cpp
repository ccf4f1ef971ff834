// The window's side: the fourth icon button's dialog exporting the selected
// tracker's days through the Save As step, and the automatic backup after
// the first download of a day, pruning only the files it named.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/data/DatabaseCopy.h"
#include "resources/ResourceIds.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"
#include "tests/app/TwoTrackers.h"
#include "tests/app/window/WindowTestSupport.h"
#include "tests/ui/WindowCapture.h"

using windowtest::ItemText;

namespace {

std::wstring chosenFile;
int ChooseTestFile(HWND, DataPathKind, WideString& path) { return path.Assign(chosenFile.c_str()); }

// Drives the modal dialog from a timer, as a user would: days, the
// selected tracker, Export, and Close once the status line tells the end.
struct DialogDriver {
  static DialogDriver* current;
  int step = 0;
  std::wstring status;
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindWindowW(L"#32770", L"Export and backup");
    if (!current || !dialog) return;
    if (current->step == 0) {
      current->step = 1;  // the capture below runs messages, this one's ticks too
      SendMessageW(GetDlgItem(dialog, IDC_DATA_KIND), CB_SETCURSEL, 2, 0);
      testcapture::SaveScreenshot(testcapture::CaptureWindow(dialog), L"data-dialog", 4);
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DATA_EXPORT, BN_CLICKED), 0);
    } else if (current->step == 1 && !ItemText(dialog, IDC_DATA_STATUS).empty()) {
      current->status = ItemText(dialog, IDC_DATA_STATUS);
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      current->step = 2;
    }
  }
};
DialogDriver* DialogDriver::current = nullptr;

std::vector<std::wstring> Names(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*.sql").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(DataWindowTest, TheFourthButtonsDialogExportsTheSelectedTrackersDays) {
  windowtest::WindowFixture fixture;
  ASSERT_EQ(1, fixture.AddTwoTrackers());
  TempFolder out(L"dialog");
  chosenFile = out.File(L"days.csv");
  MainWindowSetup setup = fixture.Setup();
  setup.choosePath = ChooseTestFile;
  MainWindow window(setup);
  ASSERT_NE(nullptr, window.CreateModeless(nullptr, IDD_MAIN, 0, nullptr));
  ASSERT_TRUE(PumpUntil([&] { return window.Idle(); }));
  testcapture::SaveScreenshot(testcapture::CaptureWindow(window.Window()), L"data-main-window", 4);
  DialogDriver driver;
  DialogDriver::current = &driver;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, DialogDriver::Tick);
  PostMessageW(window.Window(), WM_COMMAND, MAKEWPARAM(IDC_MAIN_EXPORT, BN_CLICKED), 0);
  bool closed = PumpUntil([&] { return driver.step == 2 && !FindWindowW(L"#32770", L"Export and backup"); });
  KillTimer(nullptr, timer);
  DialogDriver::current = nullptr;
  ASSERT_TRUE(closed) << "the dialog did not finish";
  EXPECT_EQ(L"1 rows were written to " + chosenFile + L".", driver.status);
  EXPECT_EQ("tracker,date,steps,calories,distance_m\r\n00:11:22:33:44:01,2014-06-01,20,6,150\r\n",
            ReadFileText(chosenFile));
  DestroyWindow(window.Window());
}

TEST(DataWindowTest, TheFirstDownloadOfADayIsBackedUpAndOnlyTheOldestOwnBackupsGo) {
  windowtest::WindowFixture fixture;
  ASSERT_EQ(1, fixture.AddTwoTrackers());
  TempFolder backups(L"backups");
  for (const wchar_t* name : {L"Pellton-20130101-000000.sql", L"Pellton-20130102-000000.sql",
                              L"Pellton-20130102-000000-2.sql", L"Pellton-notes.sql", L"mine.sql"}) {
    ASSERT_TRUE(backups.Write(name, "old"));
  }
  const std::wstring& folder = backups.Path();
  RegSetKeyValueW(HKEY_CURRENT_USER, fixture.Key().c_str(), L"BackupFolder", REG_SZ, folder.c_str(),
                  static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
  fixture.WriteNumber(L"BackupAuto", 1);
  fixture.WriteNumber(L"BackupKeep", 2);
  fixture.WriteNumber(L"LastBackup", 20000101);
  MainWindowSetup setup = fixture.Setup();
  setup.quitWhenIdle = true;
  MainWindow window(setup);
  EXPECT_EQ(0, window.RunModal(nullptr, IDD_MAIN, 0, nullptr));
  std::vector<std::wstring> names = Names(folder);
  ASSERT_EQ(4u, names.size());
  EXPECT_EQ(L"Pellton-20130102-000000-2.sql", names[0]);
  EXPECT_EQ(L"Pellton-notes.sql", names[2]);
  EXPECT_EQ(L"mine.sql", names[3]);
  ASSERT_TRUE(IsBackupName(names[1].c_str())) << names[1];
  const std::wstring copy = folder + L"\\" + names[1];
  // Made after the first tracker's download, the day's first.
  std::vector<std::wstring> first = twotrackers::ExpectedWalkingRows();
  first.pop_back();
  // Each tracker rests on its own, so the second tracker's runs may be stored before the window makes the copy.
  const std::vector<std::wstring> copied = twotrackers::StoredRows(copy.c_str(), L"walking");
  ASSERT_GE(copied.size(), first.size());
  EXPECT_EQ(first, std::vector<std::wstring>(copied.begin(), copied.begin() + first.size()));
  EXPECT_NE(20000101, fixture.ReadNumber(L"LastBackup"));
}
