// The data commands through Pellton.exe as a script runs it: each CSV kind
// byte for byte for a hand-made history in the Europe/Berlin zone, wrong
// use refused with code 2 and one line (leaving no file), merging another
// database by its rules, a backup made by a running Pellton while it
// downloads, and the exit codes of an unattended sync.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>

#include "app/store/ActivityStore.h"
#include "app/program/SingleInstance.h"
#include "app/data/DatabaseCopy.h"
#include "tests/common/FileText.h"
#include "tests/common/PumpUntil.h"
#include "tests/common/TempFolder.h"
#include "tests/app/TwoTrackers.h"
#include "tests/app/data/DataTestSupport.h"

using namespace datatest;

namespace {

// Lines of a CSV file, each ended with CR LF.
std::string Csv(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text.append(line).append("\r\n");
  return text;
}

std::string Export(TempFolder& folder, const std::wstring& switches, Result* run = nullptr) {
  Result done = Start(folder.Path(), L"--database history.sql --export out.csv " + switches);
  if (run) *run = done;
  std::string bytes = ReadFileText(folder.File(L"out.csv"));
  DeleteFileW(folder.File(L"out.csv").c_str());
  return done.code == 0 ? bytes : "exit " + std::to_string(done.code) + ": " + done.err;
}

bool InBerlin() {
  DYNAMIC_TIME_ZONE_INFORMATION zone;
  GetDynamicTimeZoneInformation(&zone);
  return zone.Bias == -60 && zone.DaylightBias == -60;
}

}  // namespace

TEST(DataCommandTest, EachKindIsWrittenExactlyForAHandMadeHistory) {
  ASSERT_TRUE(InBerlin()) << "the expected times are those of Europe/Berlin (TZ=Europe/Berlin)";
  TempFolder folder(L"data");
  ASSERT_EQ(1, StoreHistory(folder.File(L"history.sql").c_str()));
  Result run;
  EXPECT_EQ(Csv({"tracker,utc,local,steps,calories,distance_m",
                 "02:50:4C:54:4E:01,2014-03-29T22:30:00Z,2014-03-29 23:30,100,5,70",
                 "02:50:4C:54:4E:01,2014-03-29T22:45:00Z,2014-03-29 23:45,0,0,0",
                 "02:50:4C:54:4E:01,2014-03-29T23:00:00Z,2014-03-30 00:00,30,2,30",
                 "02:50:4C:54:4E:01,2014-03-29T23:15:00Z,2014-03-30 00:15,40,3,40",
                 "02:50:4C:54:4E:01,2014-03-30T00:45:00Z,2014-03-30 01:45,10,1,10",
                 "02:50:4C:54:4E:01,2014-03-30T01:00:00Z,2014-03-30 03:00,99,9,90",
                 "02:50:4C:54:4E:01,2014-03-30T01:15:00Z,2014-03-30 03:15,88,8,80",
                 "02:50:4C:54:4E:01,2014-03-30T01:30:00Z,2014-03-30 03:30,40,4,40",
                 "02:50:4C:54:4E:02,2014-10-26T00:30:00Z,2014-10-26 02:30,5,1,10",
                 "02:50:4C:54:4E:02,2014-10-26T00:45:00Z,2014-10-26 02:45,6,1,20",
                 "02:50:4C:54:4E:02,2014-10-26T01:00:00Z,2014-10-26 02:00,7,1,30",
                 "02:50:4C:54:4E:02,2014-10-26T01:15:00Z,2014-10-26 02:15,8,1,40"}),
            Export(folder, L"--kind walking", &run));
  EXPECT_EQ("12 rows written to " + Narrow(folder.File(L"out.csv")) + "\n", run.out);
  EXPECT_EQ("", run.err);
  EXPECT_EQ(Csv({"tracker,utc,local,state",
                 "02:50:4C:54:4E:01,2014-03-29T21:56:00Z,2014-03-29 22:56,active",
                 "02:50:4C:54:4E:01,2014-03-29T21:57:00Z,2014-03-29 22:57,active",
                 "02:50:4C:54:4E:01,2014-03-29T21:58:00Z,2014-03-29 22:58,active",
                 "02:50:4C:54:4E:01,2014-03-29T21:59:00Z,2014-03-29 22:59,active",
                 "02:50:4C:54:4E:01,2014-03-29T22:00:00Z,2014-03-29 23:00,asleep",
                 "02:50:4C:54:4E:01,2014-03-29T22:01:00Z,2014-03-29 23:01,asleep",
                 "02:50:4C:54:4E:01,2014-03-29T22:02:00Z,2014-03-29 23:02,asleep",
                 "02:50:4C:54:4E:01,2014-03-29T22:03:00Z,2014-03-29 23:03,asleep",
                 "02:50:4C:54:4E:01,2014-03-29T22:04:00Z,2014-03-29 23:04,awake",
                 "02:50:4C:54:4E:01,2014-03-29T22:05:00Z,2014-03-29 23:05,asleep",
                 "02:50:4C:54:4E:01,2014-03-29T22:06:00Z,2014-03-29 23:06,asleep",
                 "02:50:4C:54:4E:01,2014-03-29T22:07:00Z,2014-03-29 23:07,asleep",
                 "02:50:4C:54:4E:01,2014-03-30T00:52:00Z,2014-03-30 01:52,asleep",
                 "02:50:4C:54:4E:01,2014-03-30T00:53:00Z,2014-03-30 01:53,asleep",
                 "02:50:4C:54:4E:01,2014-03-30T00:54:00Z,2014-03-30 01:54,awake",
                 "02:50:4C:54:4E:01,2014-03-30T00:55:00Z,2014-03-30 01:55,asleep",
                 "02:50:4C:54:4E:01,2014-03-30T00:56:00Z,2014-03-30 01:56,awake",
                 "02:50:4C:54:4E:01,2014-03-30T00:57:00Z,2014-03-30 01:57,awake",
                 "02:50:4C:54:4E:01,2014-03-30T00:58:00Z,2014-03-30 01:58,unknown",
                 "02:50:4C:54:4E:01,2014-03-30T00:59:00Z,2014-03-30 01:59,unknown",
                 "02:50:4C:54:4E:01,2014-03-30T01:00:00Z,2014-03-30 03:00,active",
                 "02:50:4C:54:4E:01,2014-03-30T01:01:00Z,2014-03-30 03:01,asleep",
                 "02:50:4C:54:4E:01,2014-03-30T01:02:00Z,2014-03-30 03:02,active",
                 "02:50:4C:54:4E:01,2014-03-30T01:03:00Z,2014-03-30 03:03,active",
                 "02:50:4C:54:4E:02,2014-10-25T22:58:00Z,2014-10-26 00:58,asleep",
                 "02:50:4C:54:4E:02,2014-10-25T22:59:00Z,2014-10-26 00:59,asleep",
                 "02:50:4C:54:4E:02,2014-10-25T23:00:00Z,2014-10-26 01:00,asleep",
                 "02:50:4C:54:4E:02,2014-10-25T23:01:00Z,2014-10-26 01:01,asleep",
                 "02:50:4C:54:4E:02,2014-10-26T12:00:00Z,2014-10-26 13:00,awake",
                 "02:50:4C:54:4E:02,2014-10-26T12:01:00Z,2014-10-26 13:01,awake",
                 "02:50:4C:54:4E:02,2014-10-26T12:02:00Z,2014-10-26 13:02,active",
                 "02:50:4C:54:4E:02,2014-10-26T12:03:00Z,2014-10-26 13:03,awake"}),
            Export(folder, L"--kind sleeping"));
  EXPECT_EQ(Csv({"tracker,date,steps,calories,distance_m", "02:50:4C:54:4E:01,2014-03-29,100,5,70",
                 "02:50:4C:54:4E:01,2014-03-30,307,27,290", "02:50:4C:54:4E:02,2014-10-26,26,4,100"}),
            Export(folder, L"--kind days"));
  EXPECT_EQ(Csv({"tracker,night,bedtime,wake,asleep_minutes,awake_minutes",
                 "02:50:4C:54:4E:01,2014-03-29,2014-03-29 23:00,2014-03-30 03:02,11,4",
                 "02:50:4C:54:4E:02,2014-10-25,2014-10-26 00:58,2014-10-26 01:02,4,0"}),
            Export(folder, L"--kind nights"));
  // One tracker (written as the user may write it) and local dates.
  EXPECT_EQ(Csv({"tracker,date,steps,calories,distance_m", "02:50:4C:54:4E:01,2014-03-30,307,27,290"}),
            Export(folder, L"--kind days --tracker 02-50-4c-54-4e-01 --from 2014-03-30 --to 2014-10-26"));
  EXPECT_EQ(Csv({"tracker,night,bedtime,wake,asleep_minutes,awake_minutes",
                 "02:50:4C:54:4E:02,2014-10-25,2014-10-26 00:58,2014-10-26 01:02,4,0"}),
            Export(folder, L"--kind=nights --from=2014-10-25"));
  // Reading left nothing beside the database.
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.File(L"history.sql-wal").c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.File(L"history.sql-shm").c_str()));
}

TEST(DataCommandTest, WrongUseEndsWithTwoAndOneLineAndLeavesNoFile) {
  TempFolder folder(L"data");
  ASSERT_EQ(1, StoreHistory(folder.File(L"history.sql").c_str()));
  ASSERT_TRUE(WriteFileText(folder.File(L"locked.csv"), "keep"));
  SetFileAttributesW(folder.File(L"locked.csv").c_str(), FILE_ATTRIBUTE_READONLY);
  const struct {
    const wchar_t* arguments;
    const char* line;
  } cases[] = {
      {L"--export a.csv --kind steps", "Pellton: --kind needs walking, sleeping, days or nights, not \"steps\"\n"},
      {L"--export a.csv --kind days --from 2014-02-30", "Pellton: --from needs a date as YYYY-MM-DD, not \"2014-02-30\"\n"},
      {L"--export a.csv --kind days --from 2014-03-02 --to 2014-03-01", "Pellton: --from is after --to\n"},
      {L"--export a.csv", "Pellton: --export needs --kind walking, sleeping, days or nights\n"},
      {L"--export nowhere\\a.csv --kind days", "cannot be written: its folder does not exist\n"},
      {L"--export locked.csv --kind days", "locked.csv cannot be written: the file is read-only\n"},
      {L"--backup nowhere", "nowhere is no existing folder\n"},
      {L"--import missing.sql", "missing.sql does not exist\n"},
      {L"--import history.sql --database nowhere\\Pellton.sql", "--database needs a file in an existing folder"},
      {L"--export a.csv --kind days --database other.sql", "there is no database"},
      {L"--export history.sql --kind days", "Pellton: the file history.sql is the database itself\n"},
      {L"--trends-page t.html", "Pellton: --trends-page needs --tracker ADDRESS\n"},
      {L"--trends-page t.html --tracker 02:50:4C:54:4E:01 --period decade", "--period needs week, month, year or all"},
      {L"--export a.csv --kind days --today 2014-03-01", "Pellton: --period and --today go with --trends-page only\n"},
      {L"--trends-page history.sql --tracker 02:50:4C:54:4E:01", "the file history.sql is the database itself\n"},
  };
  for (const auto& c : cases) {
    Result run = Start(folder.Path(), std::wstring(c.arguments) + (wcsstr(c.arguments, L"--database") ? L"" : L" --database history.sql"));
    EXPECT_EQ(2, run.code) << Narrow(c.arguments);
    EXPECT_NE(std::string::npos, run.err.find(c.line)) << run.err;
    EXPECT_EQ(0u, run.err.find("Pellton: ")) << run.err;
    EXPECT_EQ(run.err.size() - 1, run.err.find('\n')) << "one line: " << run.err;
    EXPECT_EQ("", run.out);
  }
  // Nothing was made: no export, no temporary file, no second database.
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(folder.File(L"*").c_str(), &found);
  std::vector<std::wstring> names;
  do {
    names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::wstring>{L".", L"..", L"history.sql", L"locked.csv"}), names);
  EXPECT_EQ("keep", ReadFileText(folder.File(L"locked.csv")));
  // The database itself was not written over.
  EXPECT_EQ(4u, twotrackers::StoredRows(folder.File(L"history.sql").c_str(), L"walking").size());
  SetFileAttributesW(folder.File(L"locked.csv").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(DataCommandTest, ImportAddsMissingRunsReplacesShorterOnesAndRefusesAForeignFile) {
  TempFolder folder(L"data");
  {
    ActivityStore ours, theirs;
    ASSERT_EQ(1, ours.OpenFile(folder.File(L"ours.sql").c_str()));
    ASSERT_EQ(1, theirs.OpenFile(folder.File(L"theirs.sql").c_str()));
    ASSERT_EQ(1, Store(ours, 0, A, 1000, Walk({{1, 1, 1}})));           // theirs longer: replaced
    ASSERT_EQ(1, Store(theirs, 0, A, 1000, Walk({{1, 1, 1}, {2, 2, 2}})));
    ASSERT_EQ(1, Store(ours, 0, A, 5000, Walk({{3, 3, 3}, {4, 4, 4}})));  // theirs shorter: kept
    ASSERT_EQ(1, Store(theirs, 0, A, 5000, Walk({{9, 9, 9}})));
    ASSERT_EQ(1, Store(ours, 1, B, 7000, {0x55}));                       // same length, other bytes: kept
    ASSERT_EQ(1, Store(theirs, 1, B, 7000, {0x11}));
    ASSERT_EQ(1, Store(theirs, 1, A, 7000, {0x15, 0x55}));               // missing: added
  }
  ASSERT_TRUE(WriteFileText(folder.File(L"foreign.sql"), std::string(9000, 'x')));
  const std::string before = ReadFileText(folder.File(L"ours.sql"));
  Result refused = Start(folder.Path(), L"--database ours.sql --import foreign.sql");
  EXPECT_EQ(2, refused.code);
  EXPECT_EQ("Pellton: the file foreign.sql is not an activity database\n", refused.err);
  EXPECT_EQ(before, ReadFileText(folder.File(L"ours.sql")));
  // An empty file and another program's SQLite database hold no runs.
  ASSERT_TRUE(WriteFileText(folder.File(L"empty.sql"), ""));
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(Narrow(folder.File(L"other.sql")).c_str(), &other));
  EXPECT_EQ(SQLITE_OK, sqlite3_exec(other, "CREATE TABLE notes(text);", nullptr, nullptr, nullptr));
  sqlite3_close(other);
  for (const wchar_t* name : {L"empty.sql", L"other.sql"}) {
    refused = Start(folder.Path(), L"--database ours.sql --import " + std::wstring(name));
    EXPECT_EQ(2, refused.code);
    EXPECT_EQ("Pellton: the file " + Narrow(name) + " is not a Pellton database\n", refused.err);
  }
  EXPECT_EQ(before, ReadFileText(folder.File(L"ours.sql")));
  // A database that cannot be written (its journal's name is taken by a
  // folder) is read from a copy: the merge is refused, not lost with it.
  ASSERT_TRUE(CreateDirectoryW(folder.File(L"ours.sql-wal").c_str(), nullptr));
  refused = Start(folder.Path(), L"--database ours.sql --import theirs.sql");
  EXPECT_EQ(1, refused.code);
  EXPECT_NE(std::string::npos, refused.err.find("nothing was imported: our database cannot be written\n")) << refused.err;
  EXPECT_EQ("", refused.out);
  ASSERT_TRUE(RemoveDirectoryW(folder.File(L"ours.sql-wal").c_str()));

  Result run = Start(folder.Path(), L"--database ours.sql --import theirs.sql");
  EXPECT_EQ(0, run.code) << run.err;
  EXPECT_EQ("1 added, 1 replaced, 2 unchanged\n", run.out);
  const std::wstring ours = folder.File(L"ours.sql");
  EXPECT_EQ((std::vector<std::wstring>{L"02:50:4C:54:4E:01 1000 000100010001000200020002",
                                       L"02:50:4C:54:4E:01 5000 000300030003000400040004"}),
            twotrackers::StoredRows(ours.c_str(), L"walking"));
  EXPECT_EQ((std::vector<std::wstring>{L"02:50:4C:54:4E:01 7000 1555", L"02:50:4C:54:4E:02 7000 55"}),
            twotrackers::StoredRows(ours.c_str(), L"sleeping"));
  // Merged again, nothing changes.
  EXPECT_EQ("0 added, 0 replaced, 4 unchanged\n", Start(folder.Path(), L"--database ours.sql --import theirs.sql").out);
}

TEST(DataCommandTest, ABackupWhileAnotherPelltonDownloadsIsMadeByItAndChecked) {
  TempFolder folder(L"data");
  ASSERT_TRUE(CreateDirectoryW(folder.File(L"backups").c_str(), nullptr));
  ASSERT_TRUE(folder.Write(L"a.scenario", twotrackers::LeftScenario() + "delay CMD_HISTORY 3000\n"));
  const std::wstring key = L"Software\\Vantrel\\PelltonTests-data-" + std::to_wstring(GetCurrentProcessId());
  DWORD flags = 1;  // no update check
  RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Flags", REG_DWORD, &flags, sizeof(flags));
  Program window(folder.Path(), L"--database pellton.sql --scenario a.scenario --settings-key " + key);
  // Its download is under way once its window shows; the tracker answers
  // three seconds later.
  HWND shown = nullptr;
  PumpUntil(
      [&] {
        SingleInstance look;
        if (look.Claim(folder.Path().c_str()) == SingleInstance::RunningElsewhere) shown = look.ShownRunningWindow();
        return shown != nullptr;
      },
      60000);
  ASSERT_NE(nullptr, shown);
  Result run = Start(folder.Path(), L"--database pellton.sql --backup backups");
  EXPECT_EQ(0, run.code) << run.err;
  ASSERT_EQ(0u, run.out.find(Narrow(folder.File(L"backups\\Pellton-")))) << run.out;
  EXPECT_EQ(".sql\n", run.out.substr(run.out.size() - 5));
  EXPECT_TRUE(IsBackupName(std::wstring(run.out.begin() + run.out.rfind('\\') + 1, run.out.end() - 1).c_str()));
  std::wstring copy(run.out.begin(), run.out.end() - 1);
  WideString problem;
  EXPECT_EQ(1, CheckDatabaseFile(copy.c_str(), problem)) << problem.CStr();
  // The copy holds the download whole or not at all.
  std::vector<std::wstring> walking = twotrackers::StoredRows(copy.c_str(), L"walking");
  if (!walking.empty()) {
    EXPECT_EQ(twotrackers::ExpectedWalkingRows()[0], walking[0]);
  }
  EXPECT_TRUE(walking.empty() || walking.size() == 2u);
  // Another database of the folder is not the window's: it is read itself.
  ASSERT_EQ(1, StoreHistory(folder.File(L"other.sql").c_str()));
  run = Start(folder.Path(), L"--database other.sql --backup backups");
  ASSERT_EQ(0, run.code) << run.err;
  EXPECT_EQ(twotrackers::StoredRows(folder.File(L"other.sql").c_str(), L"walking"),
            twotrackers::StoredRows(std::wstring(run.out.begin(), run.out.end() - 1).c_str(), L"walking"));
  PostMessageW(shown, WM_CLOSE, 0, 0);
  // While its download runs the window asks first: No, close now.
  PumpUntil(
      [&] {
        HWND question = FindWindowExW(nullptr, nullptr, L"#32770", L"Pellton");
        if (question && GetWindow(question, GW_OWNER) == shown) PostMessageW(question, WM_COMMAND, IDNO, 0);
        return !IsWindow(shown);
      },
      60000);
  EXPECT_EQ(0, window.Finish().code);
  RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}

TEST(DataCommandTest, AnUnattendedSyncThatStoresNothingOrFindsNoTrackerEndsWithOneOrFive) {
  // (One that stores every tracker found ends with 0: ProgramTest.)
  TempFolder folder(L"data");
  ASSERT_TRUE(folder.Write(L"a.scenario", twotrackers::LeftScenario()));
  ASSERT_TRUE(CreateDirectoryW(folder.File(L"folder.sql").c_str(), nullptr));
  const std::wstring key = L"Software\\Vantrel\\PelltonTests-sync-" + std::to_wstring(GetCurrentProcessId());
  Result lost = Start(folder.Path(), L"--database folder.sql --scenario a.scenario --quit-when-idle --settings-key " + key);
  EXPECT_EQ(1, lost.code);
  EXPECT_NE(std::string::npos, lost.err.find("Pellton: 1 of 1 trackers were not downloaded and stored:\nEI-AN900 "
                                             "(left) [00:11:22:33:44:01]: 0 runs stored, 3 could not be stored\n"))
      << lost.err;
  // Under Wine the platform's Bluetooth stack lists no tracker.
  Result none = Start(folder.Path(), L"--database c.sql --quit-when-idle --settings-key " + key);
  EXPECT_EQ(5, none.code);
  EXPECT_EQ("Pellton: no Samsung EI-AN900 was found\n", none.err);
  RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}
