// An activity database the store finds damaged, foreign, in use or of a
// newer make: what it does with the file, what it keeps, what it says.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <utility>

#include "app/store/ActivityStore.h"
#include "core/Database.h"
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

std::wstring Join(const wchar_t* folder, const wchar_t* name) { return std::wstring(folder) + L"\\" + name; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A store file holding kRuns walking runs and kRuns / 4 sleeping runs.
Runs MakeStore(const wchar_t* folder) {
  Runs runs;
  ActivityStore store;
  EXPECT_EQ(1, store.Open(folder));
  ByteBuffer pattern;
  store.BeginRuns();
  for (unsigned n = 0; n < kRuns; ++n) {
    int table = n % 5 == 4 ? SleepingTable : WalkingTable;
    std::string bytes = PatternOf(n);
    BufferClear(pattern);
    BufferAppend(pattern, bytes.data(), bytes.size());
    EXPECT_EQ(1, store.InsertRun(table, kTracker, kFirstStart + n * 3600, pattern));
    runs[{table, kFirstStart + n * 3600}] = bytes;
  }
  EXPECT_EQ(0u, store.EndRuns());
  BufferClear(pattern);
  store.Close();
  return runs;
}

// Every run the store holds, by table and start.
Runs ReadRuns(ActivityStore& store) {
  Runs runs;
  for (int table : {WalkingTable, SleepingTable}) {
    std::vector<StoredRun> listed;
    EXPECT_EQ(1, store.ListRunsOf(kTracker, table, listed));
    for (const StoredRun& run : listed) {
      ByteBuffer pattern;
      EXPECT_EQ(1, store.ReadPattern(table, kTracker, run.start, pattern));
      runs[{table, run.start}] = std::string(reinterpret_cast<const char*>(pattern.data), pattern.size);
      BufferClear(pattern);
    }
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
  ByteBuffer pattern;
  std::string bytes = PatternOf(9999);
  BufferAppend(pattern, bytes.data(), bytes.size());
  EXPECT_EQ(1, store.InsertRun(WalkingTable, kTracker, 2000000000u, pattern));
  BufferClear(pattern);
  EXPECT_EQ(1, store.ReadPattern(WalkingTable, kTracker, 2000000000u, pattern));
  EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(pattern.data), pattern.size));
  BufferClear(pattern);
}

// An open on a file the store should move aside: the file and its journal
// are where the store says, unchanged; the new file is sound and takes runs.
struct MovedAside {
  Runs runs;
  std::wstring notice;
  std::wstring aside;
};

MovedAside OpenAndExpectMovedAside(const wchar_t* folder, const std::string& walBytes) {
  MovedAside result;
  const std::wstring path = Join(folder, L"Pellton.sql");
  const std::string before = ReadFileText(path);
  if (!walBytes.empty()) {
    EXPECT_TRUE(WriteFileText(path + L"-wal", walBytes));
  }
  ActivityStore store;
  EXPECT_EQ(1, store.Open(folder));
  const StoreOpening& opening = store.Opening();
  EXPECT_TRUE(opening.movedAside);
  EXPECT_TRUE(StoreFileGoesAside(opening.state));
  result.aside = opening.asidePath.CStr();
  result.notice = opening.notice.CStr();
  EXPECT_EQ(0u, result.aside.find(Join(folder, L"Pellton-set-aside-"))) << result.aside;
  EXPECT_EQ(before, ReadFileText(result.aside)) << "the moved file was changed";
  if (!walBytes.empty()) {
    EXPECT_EQ(walBytes, ReadFileText(result.aside + L"-wal")) << "its journal did not go with it";
  }
  EXPECT_NE(std::wstring::npos, result.notice.find(result.aside)) << result.notice;
  EXPECT_NE(std::wstring::npos, result.notice.find(path)) << result.notice;
  WideString integrity;
  EXPECT_EQ(1, store.QueryText(L"PRAGMA integrity_check;", integrity));
  EXPECT_STREQ(L"ok", integrity.CStr());
  result.runs = ReadRuns(store);
  EXPECT_EQ(result.runs.size(), opening.rescued.copied);
  ExpectStoring(store);
  return result;
}

// The file offset of a run's pattern, to damage the page that holds it.
size_t OffsetOf(const std::string& file, unsigned n) {
  return file.find(PatternOf(n).substr(0, 64));
}

}  // namespace

TEST(StoreFileTest, RandomBytesAndAStrayJournalAreMovedAsideAndAnEmptyStoreBegins) {
  TempFolder folder;
  std::string junk(20000, '\0');
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 2654435761u) >> 13);
  ASSERT_TRUE(WriteFileText(Join(folder.Path().c_str(), L"Pellton.sql"), junk));
  MovedAside moved = OpenAndExpectMovedAside(folder.Path().c_str(), std::string(5000, 'w'));
  EXPECT_TRUE(moved.runs.empty());
  EXPECT_NE(std::wstring::npos, moved.notice.find(L"is not an activity database")) << moved.notice;
  EXPECT_NE(std::wstring::npos, moved.notice.find(L"new, empty")) << moved.notice;

  // A second start finds the new file sound and says nothing.
  ActivityStore again;
  ASSERT_EQ(1, again.Open(folder.Path().c_str()));
  EXPECT_EQ(StoreFileUsable, again.Opening().state);
  EXPECT_TRUE(again.Opening().notice.IsEmpty());
  EXPECT_EQ(1u, ReadRuns(again).size());
}

TEST(StoreFileTest, ADamagedPageCostsOnlyTheRunsOnItAndATruncatedFileKeepsItsFirstPart) {
  for (int kind = 0; kind < 2; ++kind) {
    SCOPED_TRACE(kind == 0 ? "one damaged page" : "cut in half");
    TempFolder folder;
    const Runs stored = MakeStore(folder.Path().c_str());
    const std::wstring path = Join(folder.Path().c_str(), L"Pellton.sql");
    std::string file = ReadFileText(path);
    ASSERT_GT(file.size(), 100000u);
    if (kind == 0) {
      size_t at = OffsetOf(file, kRuns / 2);
      ASSERT_NE(std::string::npos, at);
      size_t page = at / 4096 * 4096;
      for (size_t i = page; i < page + 4096; ++i) file[i] = static_cast<char>(0xA5 ^ (i & 0xFF));
    } else {
      file.resize(file.size() / 2);
    }
    ASSERT_TRUE(WriteFileText(path, file));

    MovedAside moved = OpenAndExpectMovedAside(folder.Path().c_str(), "");
    ExpectOnlyTrueRuns(moved.runs, stored);
    EXPECT_LT(moved.runs.size(), stored.size());
    if (kind == 0) {
      // A page holds six of these runs: reading goes on past it.
      EXPECT_GE(moved.runs.size(), stored.size() - 12);
      EXPECT_TRUE(moved.runs.count({WalkingTable, kFirstStart + (kRuns - 2) * 3600}));
    } else {
      EXPECT_GT(moved.runs.size(), 0u);
    }
    EXPECT_NE(std::wstring::npos, moved.notice.find(L"could still be read")) << moved.notice;
  }
}

TEST(StoreFileTest, AForeignTableIsMovedAsideButOtherTablesAndExtraColumnsAreUsedAsTheyAre) {
  {
    // A newer make: an extra column with a default, an extra table, runs.
    TempFolder folder;
    const std::wstring path = Join(folder.Path().c_str(), L"Pellton.sql");
    Database database;
    ASSERT_EQ(1, database.Open(path.c_str(), 1, 0, 0));
    ASSERT_EQ(1, database.Execute(L"CREATE TABLE walking (id INTEGER PRIMARY KEY AUTOINCREMENT, mac varchar(20) NOT "
                                  L"NULL, start INTEGER, pattern BLOB NOT NULL, steps INTEGER NOT NULL DEFAULT 0);"));
    ASSERT_EQ(1, database.Execute(L"CREATE UNIQUE INDEX walking_start ON walking (mac, start);"));
    ASSERT_EQ(1, database.Execute(L"CREATE TABLE goals (day INTEGER, steps INTEGER);"));
    ASSERT_EQ(1, database.Execute(L"INSERT INTO goals VALUES (1, 10000);"));
    ASSERT_EQ(1, database.Execute(L"INSERT INTO walking (mac, start, pattern, steps) VALUES "
                                  L"('02:50:4C:54:4E:01', 1401580800, x'000100020003', 1);"));
    database.Close();

    ActivityStore store;
    ASSERT_EQ(1, store.Open(folder.Path().c_str()));
    EXPECT_EQ(StoreFileUsable, store.Opening().state);
    EXPECT_TRUE(store.Opening().notice.IsEmpty()) << store.Opening().notice.CStr();
    EXPECT_FALSE(store.Opening().movedAside);
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
    TempFolder folder;
    const Runs stored = MakeStore(folder.Path().c_str());
    const std::wstring path = Join(folder.Path().c_str(), L"Pellton.sql");
    Database database;
    ASSERT_EQ(1, database.Open(path.c_str(), 1, 0, 0));
    ASSERT_EQ(1, database.Execute(index ? L"DROP INDEX walking_start;" : L"DROP TABLE walking;"));
    ASSERT_EQ(1, database.Execute(index ? L"CREATE INDEX walking_start ON walking (start);"
                                        : L"CREATE TABLE walking (mac TEXT, start INTEGER, steps INTEGER);"));
    database.Close();

    MovedAside moved = OpenAndExpectMovedAside(folder.Path().c_str(), "");
    EXPECT_NE(std::wstring::npos, moved.notice.find(index ? L"refuses new runs" : L"without the column \"pattern\""))
        << moved.notice;
    EXPECT_EQ(index ? kRuns : kRuns / 5, moved.runs.size());
    ExpectOnlyTrueRuns(moved.runs, stored);
  }
}

TEST(StoreFileTest, AFileInUseOrThatCannotBeMovedIsLeftAsItIsAndNothingIsStored) {
  TempFolder folder;
  const std::wstring path = Join(folder.Path().c_str(), L"Pellton.sql");
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
    EXPECT_NE(std::wstring::npos, std::wstring(store.Opening().notice.CStr()).find(L"in use by another program"));
    ByteBuffer pattern;
    BufferAppend(pattern, "\x00\x01\x00\x00\x00\x00", 6);
    EXPECT_EQ(0, store.InsertRun(WalkingTable, kTracker, kFirstStart, pattern));
    BufferClear(pattern);
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
    EXPECT_NE(std::wstring::npos, std::wstring(store.Opening().notice.CStr()).find(L"could not be moved aside"))
        << store.Opening().notice.CStr();
    EXPECT_EQ(wal, ReadFileText(path + L"-wal"));
  }
  EXPECT_EQ(junk, ReadFileText(path));
  // Nothing was set aside.
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(Join(folder.Path().c_str(), L"Pellton-set-aside-*").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, search);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);

  // A folder where the file should be is reported, not touched.
  TempFolder other;
  ASSERT_TRUE(CreateDirectoryW(Join(other.Path().c_str(), L"Pellton.sql").c_str(), nullptr));
  ActivityStore store;
  EXPECT_EQ(0, store.Open(other.Path().c_str()));
  EXPECT_EQ(StoreFileUnreadable, store.Opening().state);
  EXPECT_NE(std::wstring::npos, std::wstring(store.Opening().notice.CStr()).find(L"is a folder"));
  EXPECT_TRUE(Exists(Join(other.Path().c_str(), L"Pellton.sql")));
}

namespace {

bool CopyInto(const wchar_t* from, const wchar_t* to, const wchar_t* name) {
  return CopyFileW(Join(from, name).c_str(), Join(to, name).c_str(), FALSE) != 0;
}

// The store in folder as a program ended in the middle of a transaction in
// rollback mode leaves it, copied to crashed: the file holds part of the
// transaction (every walking pattern zeroed), its journal the pages as they
// were. The store in folder is left as it was.
bool CopyMidTransaction(const wchar_t* folder, const wchar_t* crashed) {
  const std::wstring path = Join(folder, L"Pellton.sql");
  Database writer;
  bool ok = writer.Open(path.c_str(), 1, 0, 0) && writer.Execute(L"PRAGMA journal_mode=DELETE;") &&
            writer.Execute(L"PRAGMA cache_size=10;") && writer.Execute(L"BEGIN;") &&
            writer.Execute(L"UPDATE walking SET pattern = zeroblob(600);") &&
            CopyInto(folder, crashed, L"Pellton.sql") && CopyInto(folder, crashed, L"Pellton.sql-journal");
  writer.Execute(L"ROLLBACK;");
  writer.Close();
  return ok;
}

}  // namespace

TEST(StoreFileTest, ASoundFileWhoseJournalIsHotIsRolledBackAndUsedAsItIs) {
  // A program ended in the middle of a transaction on the file in rollback
  // mode: the file holds part of the transaction, its journal the pages as
  // they were.
  TempFolder folder, crashed;
  const Runs stored = MakeStore(folder.Path().c_str());
  ASSERT_TRUE(CopyMidTransaction(folder.Path().c_str(), crashed.Path().c_str()));

  ActivityStore store;
  ASSERT_EQ(1, store.Open(crashed.Path().c_str()));
  EXPECT_EQ(StoreFileUsable, store.Opening().state);
  EXPECT_TRUE(store.Opening().notice.IsEmpty()) << store.Opening().notice.CStr();
  EXPECT_FALSE(store.Opening().movedAside);
  EXPECT_TRUE(ReadRuns(store) == stored) << "the transaction was not rolled back";
  ExpectStoring(store);
}

TEST(StoreFileTest, DamageToATablesFirstAndMiddlePagesCostsOnlyTheRunsOnThem) {
  TempFolder folder;
  const Runs stored = MakeStore(folder.Path().c_str());
  const std::wstring path = Join(folder.Path().c_str(), L"Pellton.sql");
  std::string file = ReadFileText(path);
  for (unsigned n : {0u, kRuns / 2}) {
    // The table's first rows are also left over in its first page, which
    // became the top of its tree: the page that holds run 0 is the last.
    size_t at = file.rfind(PatternOf(n).substr(0, 64));
    ASSERT_NE(std::string::npos, at);
    size_t page = at / 4096 * 4096;
    for (size_t i = page; i < page + 4096; ++i) file[i] = static_cast<char>(0xA5 ^ (i & 0xFF));
  }
  ASSERT_TRUE(WriteFileText(path, file));

  MovedAside moved = OpenAndExpectMovedAside(folder.Path().c_str(), "");
  ExpectOnlyTrueRuns(moved.runs, stored);
  // Two pages of six runs each.
  EXPECT_GE(moved.runs.size(), stored.size() - 12);
  EXPECT_LT(moved.runs.size(), stored.size());
}

TEST(StoreFileTest, AnEmptyFileIsUsedAsANewStore) {
  TempFolder folder;
  ASSERT_TRUE(WriteFileText(Join(folder.Path().c_str(), L"Pellton.sql"), ""));
  ActivityStore store;
  ASSERT_EQ(1, store.Open(folder.Path().c_str()));
  EXPECT_EQ(StoreFileUsable, store.Opening().state);
  EXPECT_TRUE(store.Opening().notice.IsEmpty()) << store.Opening().notice.CStr();
  ExpectStoring(store);
}

TEST(StoreFileTest, AFileLeftByAKilledProgramWithItsJournalKeepsEveryRun) {
  TempFolder folder, killed;
  Runs stored = MakeStore(folder.Path().c_str());
  {
    ActivityStore store;
    ASSERT_EQ(1, store.Open(folder.Path().c_str()));
    ByteBuffer pattern;
    std::string bytes = PatternOf(7777);
    BufferAppend(pattern, bytes.data(), bytes.size());
    ASSERT_EQ(1, store.InsertRun(SleepingTable, kTracker, 1900000000u, pattern));
    BufferClear(pattern);
    stored[{SleepingTable, 1900000000u}] = bytes;
    ASSERT_TRUE(CopyInto(folder.Path().c_str(), killed.Path().c_str(), L"Pellton.sql"));
    ASSERT_TRUE(CopyInto(folder.Path().c_str(), killed.Path().c_str(), L"Pellton.sql-wal"));
  }
  ActivityStore store;
  ASSERT_EQ(1, store.Open(killed.Path().c_str()));
  EXPECT_EQ(StoreFileUsable, store.Opening().state);
  EXPECT_TRUE(store.Opening().notice.IsEmpty()) << store.Opening().notice.CStr();
  EXPECT_TRUE(ReadRuns(store) == stored);
  store.Close();
  EXPECT_FALSE(Exists(Join(killed.Path().c_str(), L"Pellton.sql-wal")));
  EXPECT_FALSE(Exists(Join(killed.Path().c_str(), L"Pellton.sql-shm")));
}

TEST(StoreFileTest, WhenNoWorkingCopyCanBeMadeTheNoticeSaysTheRunsWereNotCopiedNotThatNoneCouldBeRead) {
  TempFolder folder;
  const Runs stored = MakeStore(folder.Path().c_str());
  const std::wstring path = Join(folder.Path().c_str(), L"Pellton.sql");
  std::string file = ReadFileText(path);
  size_t at = OffsetOf(file, kRuns / 2);
  ASSERT_NE(std::string::npos, at);
  for (size_t i = at / 4096 * 4096; i < at / 4096 * 4096 + 4096; ++i) file[i] = static_cast<char>(0x5A ^ (i & 0xFF));
  ASSERT_TRUE(WriteFileText(path, file));

  // The temporary folder is gone.
  wchar_t tmp[MAX_PATH] = {}, temp[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
  GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
  const std::wstring gone = Join(folder.Path().c_str(), L"no-such-folder");
  SetEnvironmentVariableW(L"TMP", gone.c_str());
  SetEnvironmentVariableW(L"TEMP", gone.c_str());
  ActivityStore store;
  int opened = store.Open(folder.Path().c_str());
  SetEnvironmentVariableW(L"TMP", *tmp ? tmp : nullptr);
  SetEnvironmentVariableW(L"TEMP", *temp ? temp : nullptr);

  ASSERT_EQ(1, opened);
  EXPECT_TRUE(store.Opening().movedAside);
  const std::wstring notice = store.Opening().notice.CStr();
  EXPECT_EQ(std::wstring::npos, notice.find(L"no run could be read")) << notice;
  EXPECT_NE(std::wstring::npos, notice.find(L"could not be copied")) << notice;
  EXPECT_NE(std::wstring::npos, notice.find(store.Opening().asidePath.CStr())) << notice;
  EXPECT_EQ(file, ReadFileText(store.Opening().asidePath.CStr()));
}

TEST(StoreFileTest, ADamagedFileWhoseJournalIsHotGoesAsideWithItAndItsRunsAreReadAsTheyWereBeforeTheCutTransaction) {
  TempFolder folder, crashed;
  const Runs stored = MakeStore(folder.Path().c_str());
  ASSERT_TRUE(CopyMidTransaction(folder.Path().c_str(), crashed.Path().c_str()));

  // A page of sleeping runs, which the transaction did not touch, is bitten.
  const std::wstring crashedPath = Join(crashed.Path().c_str(), L"Pellton.sql");
  std::string file = ReadFileText(crashedPath);
  size_t at = OffsetOf(file, kRuns / 2 + 4);
  ASSERT_NE(std::string::npos, at);
  for (size_t i = at / 4096 * 4096; i < at / 4096 * 4096 + 4096; ++i) file[i] = static_cast<char>(0xC3 ^ (i & 0xFF));
  ASSERT_TRUE(WriteFileText(crashedPath, file));
  const std::string journal = ReadFileText(crashedPath + L"-journal");

  MovedAside moved = OpenAndExpectMovedAside(crashed.Path().c_str(), "");
  EXPECT_EQ(journal, ReadFileText(moved.aside + L"-journal")) << "its journal did not go with it";
  EXPECT_FALSE(Exists(crashedPath + L"-journal"));
  // Every walking run as it was before the cut transaction, not half
  // overwritten by it; the sleeping runs of the bitten page are lost.
  ExpectOnlyTrueRuns(moved.runs, stored);
  EXPECT_GE(moved.runs.size(), stored.size() - 6);
  EXPECT_LT(moved.runs.size(), stored.size());
}

TEST(StoreFileTest, ATableWhoseKeyIsAnotherColumnThatMustBeGivenAValueGoesAsideWithItsRunsCopied) {
  // A newer make keying its rows by a text of its own: an insert naming only
  // the address, start and pattern is refused.
  TempFolder folder;
  const std::wstring path = Join(folder.Path().c_str(), L"Pellton.sql");
  Database database;
  ASSERT_EQ(1, database.Open(path.c_str(), 1, 0, 0));
  ASSERT_EQ(1, database.Execute(L"CREATE TABLE walking (uuid TEXT NOT NULL PRIMARY KEY, mac varchar(20) NOT NULL, "
                                L"start INTEGER, pattern BLOB NOT NULL);"));
  ASSERT_EQ(1, database.Execute(L"INSERT INTO walking VALUES ('a-1', '02:50:4C:54:4E:01', 1401580800, "
                                L"x'000100020003');"));
  database.Close();

  MovedAside moved = OpenAndExpectMovedAside(folder.Path().c_str(), "");
  EXPECT_NE(std::wstring::npos, moved.notice.find(L"column \"uuid\" needs a value")) << moved.notice;
  ASSERT_EQ(1u, moved.runs.size());
  EXPECT_EQ(std::string("\x00\x01\x00\x02\x00\x03", 6), (moved.runs[{WalkingTable, kFirstStart}]));
}

TEST(StoreFileTest, AFileThatRefusesNewRunsGoesAsideExactlyAsItWasFoundWithItsJournal) {
  // Bitten in its schema text, the file passes the integrity check, yet
  // every insert fails when the AUTOINCREMENT counter is written. The bite
  // was committed into the write-ahead journal, and then the program was
  // killed.
  TempFolder folder, killed;
  const Runs stored = MakeStore(folder.Path().c_str());
  const std::wstring path = Join(folder.Path().c_str(), L"Pellton.sql");
  Database writer;
  ASSERT_EQ(1, writer.Open(path.c_str(), 1, 0, 0));
  ASSERT_EQ(1, writer.Execute(L"PRAGMA writable_schema = ON;"));
  ASSERT_EQ(1, writer.Execute(L"UPDATE sqlite_master SET sql = 'CREATE TABLE sqlite_sequenCe(name,seq)' "
                              L"WHERE name = 'sqlite_sequence';"));
  ASSERT_TRUE(CopyInto(folder.Path().c_str(), killed.Path().c_str(), L"Pellton.sql"));
  ASSERT_TRUE(CopyInto(folder.Path().c_str(), killed.Path().c_str(), L"Pellton.sql-wal"));
  writer.Close();
  const std::string wal = ReadFileText(Join(killed.Path().c_str(), L"Pellton.sql-wal"));
  ASSERT_GT(wal.size(), 0u);

  MovedAside moved = OpenAndExpectMovedAside(killed.Path().c_str(), "");
  EXPECT_EQ(wal, ReadFileText(moved.aside + L"-wal")) << "its journal was written into it or did not go with it";
  EXPECT_NE(std::wstring::npos, moved.notice.find(L"refuses new runs")) << moved.notice;
  EXPECT_TRUE(moved.runs == stored);
}
