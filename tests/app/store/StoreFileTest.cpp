// An activity database the store finds damaged, foreign, in use or of a
// newer make: what it does with the file, what it keeps, what it says.
#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>
#include <utility>

#include "app/store/ActivityStore.h"
#include "core/Database.h"
#include "core/SettingsStore.h"
#include "core/SystemErrorText.h"
#include "tests/app/store/StoreNotices.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"

namespace {

const wchar_t kTracker[] = L"02:50:4C:54:4E:01";
const unsigned kFirstStart = 1401580800;
const unsigned kRuns = 400;
const size_t kPatternSize = 600;  // several runs a page, none across pages

using Runs = std::map<std::pair<int, unsigned>, std::string>;

// Run n's pattern: bytes no other run has at its start.
std::string PatternOf(unsigned n) {
  std::string bytes(kPatternSize, '\0');
  unsigned state = 0x9E3779B9u ^ (n * 2654435761u);
  for (size_t i = 0; i < bytes.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

std::wstring Join(const std::wstring& folder, const wchar_t* name) { return folder + L"\\" + name; }

// Whether the store's notice says part; the notice when it does not.
::testing::AssertionResult Says(const std::wstring& notice, const wchar_t* part) {
  if (notice.find(part) != std::wstring::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the notice is: " << notice;
}

// The page of the store file that holds run n's pattern (its last copy
// when last) is overwritten with bytes of mask; false when it is not found.
bool BiteRun(const std::wstring& path, unsigned n, unsigned mask, bool last = false) {
  std::string file = ReadFileText(path);
  const std::string start = PatternOf(n).substr(0, 64);
  const size_t at = last ? file.rfind(start) : file.find(start);
  if (at == std::string::npos) return false;
  for (size_t i = at / 4096 * 4096; i < at / 4096 * 4096 + 4096; ++i) file[i] = static_cast<char>(mask ^ (i & 0xFF));
  return WriteFileText(path, file);
}

// Runs the statements on the database file; false at the first refused.
bool Execute(const std::wstring& file, std::initializer_list<const wchar_t*> statements) {
  Database database;
  bool ok = database.Open(file.c_str(), 1, 0, 0) == 1;
  for (const wchar_t* sql : statements) ok = ok && database.Execute(sql) == 1;
  database.Close();
  return ok;
}

// Whether the store opened the file in the folder as it found it and the
// user is told nothing.
::testing::AssertionResult OpensAsItIs(ActivityStore& store, const std::wstring& folder) {
  const int opened = store.Open(folder.c_str());
  const StoreOpening& opening = store.Opening();
  const std::wstring notice = NoticeOf(store);
  if (opened == 1 && opening.state == StoreFileUsable && opening.outcome == StoreOpenedAsFound && notice.empty() &&
      !opening.movedAside) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "opened " << opened << ", state " << opening.state << ", outcome "
                                       << opening.outcome << (opening.movedAside ? ", moved aside: " : ": ") << notice;
}

// Stores a run of the tracker with these bytes; the store's answer.
int Insert(ActivityStore& store, int table, unsigned start, const std::string& bytes) {
  ByteBuffer pattern;
  BufferAppend(pattern, bytes.data(), bytes.size());
  const int stored = store.InsertRun(table, kTracker, start, pattern);
  BufferClear(pattern);
  return stored;
}

// The bytes of a run of the tracker the store holds.
std::string Pattern(ActivityStore& store, int table, unsigned start) {
  ByteBuffer pattern;
  EXPECT_EQ(1, store.ReadPattern(table, kTracker, start, pattern));
  const std::string bytes(reinterpret_cast<const char*>(pattern.data), pattern.size);
  BufferClear(pattern);
  return bytes;
}

// A store file holding kRuns walking runs and kRuns / 4 sleeping runs.
Runs MakeStore(const std::wstring& folder) {
  Runs runs;
  ActivityStore store;
  EXPECT_EQ(1, store.Open(folder.c_str()));
  store.BeginRuns();
  for (unsigned n = 0; n < kRuns; ++n) {
    int table = n % 5 == 4 ? SleepingTable : WalkingTable;
    EXPECT_EQ(1, Insert(store, table, kFirstStart + n * 3600, PatternOf(n)));
    runs[{table, kFirstStart + n * 3600}] = PatternOf(n);
  }
  EXPECT_EQ(0u, store.EndRuns());
  store.Close();
  return runs;
}

// Every run the store holds, by table and start.
Runs ReadRuns(ActivityStore& store) {
  Runs runs;
  for (int table : {WalkingTable, SleepingTable}) {
    std::vector<StoredRun> listed;
    EXPECT_EQ(1, store.ListRunsOf(kTracker, table, listed));
    for (const StoredRun& run : listed) runs[{table, run.start}] = Pattern(store, table, run.start);
  }
  return runs;
}

// Every run read back is one that was stored, byte for byte.
void ExpectOnlyTrueRuns(const Runs& read, const Runs& stored) {
  for (const auto& run : read) {
    auto original = stored.find(run.first);
    ASSERT_NE(stored.end(), original) << "a run that was never stored: " << run.first.second;
    EXPECT_EQ(original->second, run.second) << "run at " << run.first.second << " changed";
  }
}

// The store takes a new run and gives it back.
void ExpectStoring(ActivityStore& store) {
  EXPECT_EQ(1, Insert(store, WalkingTable, 2000000000u, PatternOf(9999)));
  EXPECT_EQ(PatternOf(9999), Pattern(store, WalkingTable, 2000000000u));
}

// An open on a file the store should move aside: the file and its journal
// are where the store says, unchanged; the new file is sound and takes runs.
struct MovedAside {
  Runs runs;
  std::wstring notice;
  std::wstring aside;
};

MovedAside OpenAndExpectMovedAside(const std::wstring& folder, const std::string& walBytes) {
  MovedAside result;
  const std::wstring path = Join(folder, L"Pellton.sql");
  const std::string before = ReadFileText(path);
  if (!walBytes.empty()) {
    EXPECT_TRUE(WriteFileText(path + L"-wal", walBytes));
  }
  ActivityStore store;
  EXPECT_EQ(1, store.Open(folder.c_str()));
  const StoreOpening& opening = store.Opening();
  EXPECT_TRUE(opening.movedAside);
  EXPECT_TRUE(StoreFileGoesAside(opening.state));
  result.aside = opening.asidePath.CStr();
  result.notice = NoticeOf(store);
  EXPECT_EQ(0u, result.aside.find(Join(folder, L"Pellton-set-aside-"))) << result.aside;
  EXPECT_EQ(before, ReadFileText(result.aside)) << "the moved file was changed";
  if (!walBytes.empty()) {
    EXPECT_EQ(walBytes, ReadFileText(result.aside + L"-wal")) << "its journal did not go with it";
  }
  EXPECT_TRUE(Says(result.notice, result.aside.c_str()));
  EXPECT_TRUE(Says(result.notice, path.c_str()));
  WideString integrity;
  EXPECT_EQ(1, store.QueryText(L"PRAGMA integrity_check;", integrity));
  EXPECT_STREQ(L"ok", integrity.CStr());
  result.runs = ReadRuns(store);
  EXPECT_EQ(result.runs.size(), opening.rescued.copied);
  ExpectStoring(store);
  return result;
}

bool CopyInto(const std::wstring& from, const std::wstring& to, const wchar_t* name) {
  return CopyFileW(Join(from, name).c_str(), Join(to, name).c_str(), FALSE) != 0;
}

// A store file in a folder of the test's own; a second folder where the
// file is copied as a program that ended in the middle of its work left it.
class StoreFileTest : public ::testing::Test {
protected:
  // The store with a transaction in rollback mode cut short, copied to
  // crashed: the file holds part of it (every walking pattern zeroed), its
  // journal the pages as they were. The store itself is left as it was.
  bool CopyMidTransaction() {
    Database writer;
    bool ok = writer.Open(path.c_str(), 1, 0, 0) && writer.Execute(L"PRAGMA journal_mode=DELETE;") &&
              writer.Execute(L"PRAGMA cache_size=10;") && writer.Execute(L"BEGIN;") &&
              writer.Execute(L"UPDATE walking SET pattern = zeroblob(600);") &&
              CopyInto(folder.Path(), crashed.Path(), L"Pellton.sql") &&
              CopyInto(folder.Path(), crashed.Path(), L"Pellton.sql-journal");
    writer.Execute(L"ROLLBACK;");
    writer.Close();
    return ok;
  }
  // The file and its write-ahead journal copied to crashed.
  bool CopyWithJournal() {
    return CopyInto(folder.Path(), crashed.Path(), L"Pellton.sql") &&
           CopyInto(folder.Path(), crashed.Path(), L"Pellton.sql-wal");
  }
  TempFolder folder{L"store"}, crashed{L"store-crashed"};
  const std::wstring path = folder.File(L"Pellton.sql");
};

}  // namespace

TEST_F(StoreFileTest, RandomBytesAndAStrayJournalAreMovedAsideAndAnEmptyStoreBegins) {
  std::string junk(20000, '\0');
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 2654435761u) >> 13);
  ASSERT_TRUE(WriteFileText(path, junk));
  MovedAside moved = OpenAndExpectMovedAside(folder.Path(), std::string(5000, 'w'));
  EXPECT_TRUE(moved.runs.empty());
  EXPECT_TRUE(Says(moved.notice, L"is not an activity database"));
  EXPECT_TRUE(Says(moved.notice, L"new, empty"));

  // A second start finds the new file sound and says nothing.
  ActivityStore again;
  ASSERT_TRUE(OpensAsItIs(again, folder.Path()));
  EXPECT_EQ(1u, ReadRuns(again).size());
}

TEST_F(StoreFileTest, ADamagedPageCostsOnlyTheRunsOnItAndATruncatedFileKeepsItsFirstPart) {
  for (int kind = 0; kind < 2; ++kind) {
    SCOPED_TRACE(kind == 0 ? "one damaged page" : "cut in half");
    TempFolder each(L"store");
    const Runs stored = MakeStore(each.Path());
    const std::string file = ReadFileText(each.File(L"Pellton.sql"));
    ASSERT_GT(file.size(), 100000u);
    ASSERT_TRUE(kind == 0 ? BiteRun(each.File(L"Pellton.sql"), kRuns / 2, 0xA5)
                          : WriteFileText(each.File(L"Pellton.sql"), file.substr(0, file.size() / 2)));

    MovedAside moved = OpenAndExpectMovedAside(each.Path(), "");
    ExpectOnlyTrueRuns(moved.runs, stored);
    EXPECT_LT(moved.runs.size(), stored.size());
    if (kind == 0) {
      // A page holds six of these runs: reading goes on past it.
      EXPECT_GE(moved.runs.size(), stored.size() - 12);
      EXPECT_TRUE(moved.runs.count({WalkingTable, kFirstStart + (kRuns - 2) * 3600}));
    } else {
      EXPECT_GT(moved.runs.size(), 0u);
    }
    EXPECT_TRUE(Says(moved.notice, L"could still be read"));
  }
}

TEST_F(StoreFileTest, AForeignTableIsMovedAsideButOtherTablesAndExtraColumnsAreUsedAsTheyAre) {
  {
    // A newer make: an extra column with a default, an extra table, runs.
    ASSERT_TRUE(Execute(path, {L"CREATE TABLE walking (id INTEGER PRIMARY KEY AUTOINCREMENT, mac varchar(20) NOT NULL, "
                               L"start INTEGER, pattern BLOB NOT NULL, steps INTEGER NOT NULL DEFAULT 0);",
                               L"CREATE UNIQUE INDEX walking_start ON walking (mac, start);",
                               L"CREATE TABLE goals (day INTEGER, steps INTEGER);", L"INSERT INTO goals VALUES (1, 10000);",
                               L"INSERT INTO walking (mac, start, pattern, steps) VALUES "
                               L"('02:50:4C:54:4E:01', 1401580800, x'000100020003', 1);"}));
    ActivityStore store;
    ASSERT_TRUE(OpensAsItIs(store, folder.Path()));
    Runs runs = ReadRuns(store);
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(std::string("\x00\x01\x00\x02\x00\x03", 6), (runs[{WalkingTable, kFirstStart}]));
    ExpectStoring(store);
    WideString goal;
    EXPECT_EQ(1, store.QueryText(L"SELECT steps FROM goals;", goal));
    EXPECT_STREQ(L"10000", goal.CStr());
  }
  for (int index = 0; index < 2; ++index) {
    // Another program's "walking" table without patterns (the sleeping runs
    // are copied over), or its index under the store's index name, which
    // keeps no runs apart: the file itself is kept aside.
    TempFolder each(L"store");
    const Runs stored = MakeStore(each.Path());
    ASSERT_TRUE(Execute(each.File(L"Pellton.sql"),
                        {index ? L"DROP INDEX walking_start;" : L"DROP TABLE walking;",
                         index ? L"CREATE INDEX walking_start ON walking (start);"
                               : L"CREATE TABLE walking (mac TEXT, start INTEGER, steps INTEGER);"}));

    MovedAside moved = OpenAndExpectMovedAside(each.Path(), "");
    EXPECT_TRUE(Says(moved.notice, index ? L"refuses new runs" : L"without the column \"pattern\""));
    EXPECT_EQ(index ? kRuns : kRuns / 5, moved.runs.size());
    ExpectOnlyTrueRuns(moved.runs, stored);
  }
}

TEST_F(StoreFileTest, AFileInUseOrThatCannotBeMovedIsLeftAsItIsAndNothingIsStored) {
  const std::string junk(9000, 'x');
  ASSERT_TRUE(WriteFileText(path, junk));
  {
    // Another program holds the file open without sharing it.
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ActivityStore store;
    EXPECT_EQ(0, store.Open(folder.Path().c_str()));
    CloseHandle(held);
    EXPECT_EQ(StoreFileInUse, store.Opening().state);
    EXPECT_FALSE(store.Opening().movedAside);
    EXPECT_TRUE(Says(NoticeOf(store), L"in use by another program"));
    EXPECT_EQ(0, Insert(store, WalkingTable, kFirstStart, std::string("\x00\x01\x00\x00\x00\x00", 6)));
  }
  {
    // Its rollback journal is held: moving the set fails, and the
    // write-ahead journal already moved comes back.
    const std::string wal(3000, 'w');
    ASSERT_TRUE(WriteFileText(path + L"-wal", wal));
    HANDLE held = CreateFileW((path + L"-journal").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ActivityStore store;
    EXPECT_EQ(0, store.Open(folder.Path().c_str()));
    CloseHandle(held);
    EXPECT_FALSE(store.Opening().movedAside);
    EXPECT_TRUE(Says(NoticeOf(store), L"could not be moved aside"));
    EXPECT_EQ(wal, ReadFileText(path + L"-wal"));
  }
  EXPECT_EQ(junk, ReadFileText(path));
  // Nothing was set aside.
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(folder.File(L"Pellton-set-aside-*").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, search);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);

  // A folder where the file should be is reported, not touched.
  TempFolder other(L"store");
  ASSERT_TRUE(CreateDirectoryW(other.File(L"Pellton.sql").c_str(), nullptr));
  ActivityStore store;
  EXPECT_EQ(0, store.Open(other.Path().c_str()));
  EXPECT_EQ(StoreFileUnreadable, store.Opening().state);
  EXPECT_TRUE(Says(NoticeOf(store), L"is a folder"));
  EXPECT_TRUE(PathExists(other.File(L"Pellton.sql")));
}

TEST_F(StoreFileTest, ASoundFileWhoseJournalIsHotIsRolledBackAndUsedAsItIs) {
  const Runs stored = MakeStore(folder.Path());
  ASSERT_TRUE(CopyMidTransaction());

  ActivityStore store;
  ASSERT_TRUE(OpensAsItIs(store, crashed.Path()));
  EXPECT_TRUE(ReadRuns(store) == stored) << "the transaction was not rolled back";
  ExpectStoring(store);
}

TEST_F(StoreFileTest, DamageToATablesFirstAndMiddlePagesCostsOnlyTheRunsOnThem) {
  const Runs stored = MakeStore(folder.Path());
  // The table's first rows are also left over in its first page, which
  // became the top of its tree: the page that holds run 0 is the last.
  for (unsigned n : {0u, kRuns / 2}) ASSERT_TRUE(BiteRun(path, n, 0xA5, true));

  MovedAside moved = OpenAndExpectMovedAside(folder.Path(), "");
  ExpectOnlyTrueRuns(moved.runs, stored);
  // Two pages of six runs each.
  EXPECT_GE(moved.runs.size(), stored.size() - 12);
  EXPECT_LT(moved.runs.size(), stored.size());
}

TEST_F(StoreFileTest, AnEmptyFileIsUsedAsANewStore) {
  ASSERT_TRUE(WriteFileText(path, ""));
  ActivityStore store;
  ASSERT_TRUE(OpensAsItIs(store, folder.Path()));
  ExpectStoring(store);
}

TEST_F(StoreFileTest, AFileLeftByAKilledProgramWithItsJournalKeepsEveryRun) {
  Runs stored = MakeStore(folder.Path());
  {
    ActivityStore store;
    ASSERT_EQ(1, store.Open(folder.Path().c_str()));
    ASSERT_EQ(1, Insert(store, SleepingTable, 1900000000u, PatternOf(7777)));
    stored[{SleepingTable, 1900000000u}] = PatternOf(7777);
    ASSERT_TRUE(CopyWithJournal());
  }
  ActivityStore store;
  ASSERT_TRUE(OpensAsItIs(store, crashed.Path()));
  EXPECT_TRUE(ReadRuns(store) == stored);
  store.Close();
  EXPECT_FALSE(PathExists(crashed.File(L"Pellton.sql-wal")));
  EXPECT_FALSE(PathExists(crashed.File(L"Pellton.sql-shm")));
}

// No file could be named (none given here; in use, a program folder too long for the store's paths): the
// opening says nothing was opened, where and why, instead of passing for a file used as it was found.
TEST_F(StoreFileTest, AStoreThatCannotNameItsFileSaysSo) {
  ActivityStore store;
  EXPECT_EQ(0, store.OpenFile(L""));
  EXPECT_TRUE(store.Opening().outcome == StoreNotOpened && !store.Opening().opened);
  EXPECT_EQ(0u, NoticeOf(store).find(L"Pellton.sql could not be opened (")) << NoticeOf(store);
  StoreOpening tooLong;
  tooLong.outcome = StoreNotOpened;
  tooLong.systemError = ERROR_FILENAME_EXCED_RANGE;
  WideString text, reason;
  ASSERT_EQ(1, DescribeStoreOpening(L"C:\\deep\\Pellton.sql", tooLong, text));
  SystemErrorText(ERROR_FILENAME_EXCED_RANGE, reason);
  EXPECT_EQ(L"Pellton.sql could not be opened in C:\\deep (" + std::wstring(reason.CStr()) + L"). Downloaded runs "
            L"cannot be stored. To store them, move the program into a folder with a shorter path.", text.CStr());
}

TEST_F(StoreFileTest, WhenNoWorkingCopyCanBeMadeTheNoticeSaysTheRunsWereNotCopiedNotThatNoneCouldBeRead) {
  MakeStore(folder.Path());
  ASSERT_TRUE(BiteRun(path, kRuns / 2, 0x5A));
  const std::string file = ReadFileText(path);

  // The temporary folder is gone.
  wchar_t tmp[MAX_PATH] = {}, temp[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
  GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
  const std::wstring gone = folder.File(L"no-such-folder");
  SetEnvironmentVariableW(L"TMP", gone.c_str());
  SetEnvironmentVariableW(L"TEMP", gone.c_str());
  ActivityStore store;
  int opened = store.Open(folder.Path().c_str());
  SetEnvironmentVariableW(L"TMP", *tmp ? tmp : nullptr);
  SetEnvironmentVariableW(L"TEMP", *temp ? temp : nullptr);

  ASSERT_EQ(1, opened);
  EXPECT_TRUE(store.Opening().movedAside);
  const std::wstring notice = NoticeOf(store);
  EXPECT_EQ(std::wstring::npos, notice.find(L"no run could be read")) << notice;
  EXPECT_TRUE(Says(notice, L"could not be copied"));
  EXPECT_TRUE(Says(notice, store.Opening().asidePath.CStr()));
  EXPECT_EQ(file, ReadFileText(store.Opening().asidePath.CStr()));
}

TEST_F(StoreFileTest, ADamagedFileWhoseJournalIsHotGoesAsideWithItAndItsRunsAreReadAsTheyWereBeforeTheCutTransaction) {
  const Runs stored = MakeStore(folder.Path());
  ASSERT_TRUE(CopyMidTransaction());

  // A page of sleeping runs, which the transaction did not touch, is bitten.
  const std::wstring crashedPath = crashed.File(L"Pellton.sql");
  ASSERT_TRUE(BiteRun(crashedPath, kRuns / 2 + 4, 0xC3));
  const std::string journal = ReadFileText(crashedPath + L"-journal");

  MovedAside moved = OpenAndExpectMovedAside(crashed.Path(), "");
  EXPECT_EQ(journal, ReadFileText(moved.aside + L"-journal")) << "its journal did not go with it";
  EXPECT_FALSE(PathExists(crashedPath + L"-journal"));
  // Every walking run as it was before the cut transaction, not half
  // overwritten by it; the sleeping runs of the bitten page are lost.
  ExpectOnlyTrueRuns(moved.runs, stored);
  EXPECT_GE(moved.runs.size(), stored.size() - 6);
  EXPECT_LT(moved.runs.size(), stored.size());
}

TEST_F(StoreFileTest, ATableWhoseKeyIsAnotherColumnThatMustBeGivenAValueGoesAsideWithItsRunsCopied) {
  // A newer make keying its rows by a text of its own: an insert naming only
  // the address, start and pattern is refused.
  ASSERT_TRUE(Execute(path, {L"CREATE TABLE walking (uuid TEXT NOT NULL PRIMARY KEY, mac varchar(20) NOT NULL, "
                             L"start INTEGER, pattern BLOB NOT NULL);",
                             L"INSERT INTO walking VALUES ('a-1', '02:50:4C:54:4E:01', 1401580800, x'000100020003');"}));

  MovedAside moved = OpenAndExpectMovedAside(folder.Path(), "");
  EXPECT_TRUE(Says(moved.notice, L"column \"uuid\" needs a value"));
  ASSERT_EQ(1u, moved.runs.size());
  EXPECT_EQ(std::string("\x00\x01\x00\x02\x00\x03", 6), (moved.runs[{WalkingTable, kFirstStart}]));
}

TEST_F(StoreFileTest, AFileThatRefusesNewRunsGoesAsideExactlyAsItWasFoundWithItsJournal) {
  // Bitten in its schema text, the file passes the integrity check, yet
  // every insert fails when the AUTOINCREMENT counter is written. The bite
  // was committed into the write-ahead journal, and then the program was
  // killed.
  const Runs stored = MakeStore(folder.Path());
  Database writer;
  ASSERT_EQ(1, writer.Open(path.c_str(), 1, 0, 0));
  ASSERT_EQ(1, writer.Execute(L"PRAGMA writable_schema = ON;"));
  ASSERT_EQ(1, writer.Execute(L"UPDATE sqlite_master SET sql = 'CREATE TABLE sqlite_sequenCe(name,seq)' "
                              L"WHERE name = 'sqlite_sequence';"));
  ASSERT_TRUE(CopyWithJournal());
  writer.Close();
  const std::string wal = ReadFileText(crashed.File(L"Pellton.sql-wal"));
  ASSERT_GT(wal.size(), 0u);

  MovedAside moved = OpenAndExpectMovedAside(crashed.Path(), "");
  EXPECT_EQ(wal, ReadFileText(moved.aside + L"-wal")) << "its journal was written into it or did not go with it";
  EXPECT_TRUE(Says(moved.notice, L"refuses new runs"));
  EXPECT_TRUE(moved.runs == stored);
}

TEST_F(StoreFileTest, AFileClosedCleanlyIsReadThroughAgainOnlyWhenItsFingerprintChanged) {
  SettingsStore settings;
  ASSERT_EQ(1, settings.Open(SettingsIni, nullptr, nullptr, folder.File(L"settings.ini").c_str()));
  for (bool counted : {true, false}) {
    TempFolder each(L"store");
    const std::wstring file = each.File(L"Pellton.sql");
    MakeStore(each.Path());
    WideString record;
    {  // the store's own opening and clean close
      ActivityStore store;
      store.KeepCheckIn(&settings);
      ASSERT_TRUE(OpensAsItIs(store, each.Path()));
      EXPECT_TRUE(!settings.ReadText(L"StoreChecked", record) || record.IsEmpty()) << "kept while open";
    }
    ASSERT_EQ(1, settings.ReadText(L"StoreChecked", record));
    // A page damaged behind the store's back, its size and last-write time
    // kept, SQLite's change counter raised as another writer would.
    WIN32_FILE_ATTRIBUTE_DATA before;
    ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &before) && BiteRun(file, kRuns / 2, 0x5A));
    std::string bytes = ReadFileText(file);
    bytes[27] = static_cast<char>(bytes[27] + (counted ? 1 : 0));
    HANDLE handle = WriteFileText(file, bytes) ? CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                                            OPEN_EXISTING, 0, nullptr) : INVALID_HANDLE_VALUE;
    ASSERT_TRUE(handle != INVALID_HANDLE_VALUE && SetFileTime(handle, nullptr, nullptr, &before.ftLastWriteTime));
    CloseHandle(handle);
    ActivityStore again;
    again.KeepCheckIn(&settings);
    // Without the counter nothing shows the change: the file is taken as it was closed.
    EXPECT_TRUE(counted ? again.Open(each.Path().c_str()) && again.Opening().state == StoreFileDamaged
                        : OpensAsItIs(again, each.Path()));
  }
}
