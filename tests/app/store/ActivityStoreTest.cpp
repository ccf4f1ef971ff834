// The activity store on real files in a folder of the test's own: the
// schema and connection settings, inserts that replace, separate trackers,
// run lists with their labels, pattern reads, refused input, and the
// connection shared by two threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/store/RunLabel.h"
#include "app/tracker/TrackerList.h"
#include "core/Database.h"
#include "tests/app/tracker/LinkTestSupport.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"

namespace {

const wchar_t kFirst[] = L"00:1A:7D:DA:71:13";
const wchar_t kSecond[] = L"C4:4F:33:0A:1B:2C";

ByteBuffer Buffer(const Bytes& bytes) {
  ByteBuffer buffer;
  BufferAppend(buffer, bytes.data(), bytes.size());
  return buffer;
}

Bytes Pattern(ActivityStore& store, int table, const wchar_t* address, unsigned start) {
  ByteBuffer read;
  Bytes bytes;
  if (store.ReadPattern(table, address, start, read)) bytes = ToBytes(read);
  BufferClear(read);
  return bytes;
}

std::vector<unsigned> Starts(ActivityStore& store, const wchar_t* address, int table) {
  std::vector<StoredRun> runs;
  std::vector<unsigned> starts;
  EXPECT_EQ(1, store.ListRunsOf(address, table, runs));
  for (const StoredRun& run : runs) starts.push_back(run.start);
  return starts;
}

struct StoreFixture : ::testing::Test {
  void SetUp() override { ASSERT_EQ(1, store.Open(folder.Path().c_str())); }
  int Insert(int table, const wchar_t* address, unsigned start, const Bytes& bytes) {
    ByteBuffer buffer = Buffer(bytes);
    int result = store.InsertRun(table, address, start, buffer);
    BufferClear(buffer);
    return result;
  }

  TempFolder folder;
  ActivityStore store;
};

}  // namespace

TEST_F(StoreFixture, AFreshFileGetsBothTablesAndIndexesOnce) {
  WideString path;
  path.Format(L"%s\\Pellton.sql", folder.Path().c_str());
  EXPECT_STREQ(path.CStr(), store.Path().CStr());
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.CStr()));
  WideString names;
  ASSERT_EQ(1, store.QueryText(L"SELECT group_concat(name, ' ') FROM (SELECT name FROM sqlite_master "
                               L"WHERE type IN ('table','index') ORDER BY name);",
                               names));
  EXPECT_STREQ(L"sleeping sleeping_start sqlite_sequence walking walking_start", names.CStr());

  ASSERT_EQ(1, Insert(WalkingTable, kFirst, 1401580800u, Hex("0001 0002 0003")));
  store.Close();
  ASSERT_EQ(1, store.Open(folder.Path().c_str()));  // finds both tables: nothing is created again
  EXPECT_EQ(Hex("0001 0002 0003"), Pattern(store, WalkingTable, kFirst, 1401580800u));
  WideString again;
  ASSERT_EQ(1, store.QueryText(L"SELECT count(*) FROM sqlite_master;", again));
  EXPECT_STREQ(L"5", again.CStr());
}

TEST_F(StoreFixture, TablesLeftWithoutTheirIndexesLoseTheirDuplicatesAndGetTheIndexesBack) {
  // A first start cut before the indexes, downloads that duplicated runs.
  const wchar_t* schema = L"SELECT group_concat(type || name || sql) FROM (SELECT * FROM sqlite_master ORDER BY name);";
  WideString fresh, healed;
  ASSERT_EQ(1, store.QueryText(schema, fresh));
  store.Close();
  Database older;
  ASSERT_EQ(1, older.Open(store.Path().CStr(), 1, 0, 0));
  ASSERT_TRUE(older.Execute(L"DROP INDEX walking_start;") && older.Execute(L"DROP INDEX sleeping_start;"));
  ASSERT_EQ(1, older.Execute(L"INSERT INTO walking (mac, start, pattern) VALUES ('00:1A:7D:DA:71:13', 1, x'01'), "
                             L"('00:1A:7D:DA:71:13', 1, x'0304'), ('C4:4F:33:0A:1B:2C', 1, x'05'), "
                             L"('00:1A:7D:DA:71:13', 1, x'02');"));
  ASSERT_EQ(1, older.Execute(L"INSERT INTO sleeping (mac, start, pattern) VALUES ('00:1A:7D:DA:71:13', 1, x'AA55'), "
                             L"('00:1A:7D:DA:71:13', 1, x'AA15');"));
  older.Close();
  ASSERT_EQ(1, store.Open(folder.Path().c_str()));
  ASSERT_EQ(1, store.QueryText(schema, healed));
  EXPECT_STREQ(fresh.CStr(), healed.CStr());
  EXPECT_EQ(std::vector<unsigned>{1u}, Starts(store, kFirst, WalkingTable));
  EXPECT_EQ(Hex("03 04"), Pattern(store, WalkingTable, kFirst, 1u));
  EXPECT_EQ(Hex("05"), Pattern(store, WalkingTable, kSecond, 1u));
  EXPECT_EQ(Hex("AA 15"), Pattern(store, SleepingTable, kFirst, 1u));
}

TEST_F(StoreFixture, TheConnectionKeepsAJournalAndTheLock) {
  WideString value;
  ASSERT_EQ(1, store.QueryText(L"PRAGMA journal_mode;", value));
  EXPECT_STREQ(L"wal", value.CStr());
  ASSERT_EQ(1, store.QueryText(L"PRAGMA synchronous;", value));
  EXPECT_STREQ(L"1", value.CStr());  // NORMAL
  ASSERT_EQ(1, store.QueryText(L"PRAGMA locking_mode;", value));
  EXPECT_STREQ(L"exclusive", value.CStr());

  // Another connection cannot use the file meanwhile.
  ASSERT_EQ(1, Insert(SleepingTable, kFirst, 1401580800u, Hex("AA 55")));
  // It finds the file in use and leaves it alone.
  ActivityStore other;
  EXPECT_EQ(0, other.Open(folder.Path().c_str()));
  EXPECT_EQ(StoreFileInUse, other.Opening().state);
  EXPECT_FALSE(other.Opening().movedAside);
  std::vector<StoredRun> runs;
  EXPECT_EQ(0, other.ListRunsOf(kFirst, SleepingTable, runs));
  EXPECT_EQ(0, other.InsertRun(SleepingTable, kFirst, 1401667200u, Buffer(Hex("AA 15"))));
  EXPECT_EQ((std::vector<unsigned>{1401580800u}), Starts(store, kFirst, SleepingTable));
}

TEST_F(StoreFixture, TheSameRunTwiceKeepsOneRowWithTheNewerPattern) {
  ASSERT_EQ(1, Insert(WalkingTable, kFirst, 1401580800u, Hex("0005 0000 0001")));
  ASSERT_EQ(1, Insert(WalkingTable, kFirst, 1401580800u, Hex("0005 0000 0001 0007 0000 0002")));
  EXPECT_EQ(std::vector<unsigned>{1401580800u}, Starts(store, kFirst, WalkingTable));
  EXPECT_EQ(Hex("0005 0000 0001 0007 0000 0002"), Pattern(store, WalkingTable, kFirst, 1401580800u));
  EXPECT_EQ(2u, store.RunsStored());
  EXPECT_EQ(0u, store.RunsFailed());
}

TEST_F(StoreFixture, TwoTrackersKeepSeparateRowsAtTheSameStart) {
  ASSERT_EQ(1, Insert(SleepingTable, kFirst, 1401580800u, Hex("AA 55")));
  ASSERT_EQ(1, Insert(SleepingTable, kSecond, 1401580800u, Hex("AA 15 15")));
  ASSERT_EQ(1, Insert(WalkingTable, kFirst, 1401580800u, Hex("0001 0000 0000")));
  EXPECT_EQ(Hex("AA 55"), Pattern(store, SleepingTable, kFirst, 1401580800u));
  EXPECT_EQ(Hex("AA 15 15"), Pattern(store, SleepingTable, kSecond, 1401580800u));
  EXPECT_TRUE(Pattern(store, WalkingTable, kSecond, 1401580800u).empty());  // other table, other tracker
  EXPECT_EQ(std::vector<unsigned>{1401580800u}, Starts(store, kSecond, SleepingTable));
}

TEST_F(StoreFixture, RunsAreListedOldestFirstWithLocalLabelsGroupedByDay) {
  for (unsigned start : {1401667200u, 1401580800u, 1401600000u}) {
    ASSERT_EQ(1, Insert(WalkingTable, kFirst, start, Hex("0001 0000 0000")));
  }
  std::vector<StoredRun> runs;
  ASSERT_EQ(1, store.ListRunsOf(kFirst, WalkingTable, runs));
  ASSERT_EQ(3u, runs.size());
  EXPECT_EQ(1401580800u, runs[0].start);
  EXPECT_EQ(1401600000u, runs[1].start);
  EXPECT_EQ(1401667200u, runs[2].start);
  EXPECT_EQ(1401580800u + 900u, runs[0].end);  // one quarter hour

  // 2014-06-01 00:00:00 UTC in local time (02:00 in Europe/Berlin), a
  // quarter hour long, the first of the two runs of that day: the long date
  // with the weekday abbreviated, its place in the day, start–end.
  const SYSTEMTIME local = {2014, 6, 0, 1, 2, 0, 0, 0};
  const SYSTEMTIME localEnd = {2014, 6, 0, 1, 2, 15, 0, 0};
  wchar_t longDate[100], shortDay[20], longDay[40], from[40], to[40];
  ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, longDate, 100), 0);
  ASSERT_GT(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &local, L"ddd", shortDay, 20), 0);
  ASSERT_GT(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &local, L"dddd", longDay, 40), 0);
  ASSERT_GT(GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &local, nullptr, from, 40), 0);
  ASSERT_GT(GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &localEnd, nullptr, to, 40), 0);
  const std::wstring label = runs[0].label.CStr();
  EXPECT_NE(std::wstring::npos, label.find(L"2014")) << label;
  const std::wstring tail = std::wstring(L" \x00B7 1 of 2 \x00B7 ") + from + L"\x2013" + to;
  ASSERT_GT(label.size(), tail.size());
  EXPECT_EQ(tail, label.substr(label.size() - tail.size())) << label;
  EXPECT_NE(std::wstring::npos, std::wstring(runs[1].label.CStr()).find(L" \x00B7 2 of 2 \x00B7 "));
  // Alone on its day: no place.
  EXPECT_EQ(std::wstring::npos, std::wstring(runs[2].label.CStr()).find(L" of ")) << runs[2].label.CStr();
  if (wcsstr(longDate, L"dddd")) {
    EXPECT_NE(std::wstring::npos, label.find(shortDay)) << label;
    if (wcscmp(shortDay, longDay) != 0) {
      EXPECT_EQ(std::wstring::npos, label.find(longDay)) << label;
    }
  }
}

TEST_F(StoreFixture, RefusedInputIsCountedAndWritesNothing) {
  EXPECT_EQ(0, Insert(WalkingTable, L"00:1A:7D:DA:71:13' OR '1'='1", 1u, Hex("0001 0000 0000")));
  EXPECT_EQ(0, Insert(WalkingTable, L"00:1a:7d:da:71:13", 1u, Hex("0001 0000 0000")));
  EXPECT_EQ(0, Insert(2, kFirst, 1u, Hex("0001 0000 0000")));
  EXPECT_EQ(0, Insert(WalkingTable, kFirst, 1u, Bytes()));  // an empty pattern is NULL: refused
  ByteBuffer none;
  EXPECT_EQ(0, store.InsertRun(WalkingTable, nullptr, 1u, none));  // no tracker
  EXPECT_EQ(0u, store.RunsStored());
  EXPECT_EQ(5u, store.RunsFailed());
  EXPECT_TRUE(Starts(store, kFirst, WalkingTable).empty());
  std::vector<StoredRun> runs;
  EXPECT_EQ(0, store.ListRunsOf(L"x", WalkingTable, runs));
  ByteBuffer pattern;
  EXPECT_EQ(0, store.ReadPattern(WalkingTable, L"00:1A:7D:DA:71:13' --", 1u, pattern));
  EXPECT_EQ(0u, pattern.size);
}

TEST_F(StoreFixture, AStoreThatCouldNotOpenFailsEveryInsert) {
  store.Close();
  ActivityStore closed;
  EXPECT_EQ(0, closed.InsertRun(WalkingTable, kFirst, 1u, Buffer(Hex("0001 0000 0000"))));
  EXPECT_EQ(1u, closed.RunsFailed());
  WideString missing;
  missing.Format(L"%s\\no\\such\\folder", folder.Path().c_str());
  EXPECT_EQ(0, closed.Open(missing.CStr()));
  EXPECT_EQ(0, closed.InsertRun(WalkingTable, kFirst, 1u, Buffer(Hex("0001 0000 0000"))));
  EXPECT_EQ(1u, closed.RunsFailed());  // counted since the Open
}

TEST_F(StoreFixture, ADownloadsRunsGoInTogetherUnderTheirTrackersAddress) {
  ByteBuffer walk = Buffer(Hex("0009 0001 0002"));
  ByteBuffer night = Buffer(Hex("AA 55 55"));
  store.BeginRuns();
  EXPECT_EQ(1, store.InsertRun(WalkingTable, kSecond, 1401580800u, walk));
  EXPECT_EQ(1, store.InsertRun(SleepingTable, kFirst, 1401580800u, night));
  EXPECT_EQ(0, store.InsertRun(SleepingTable, L"", 1401580800u, night));  // no tracker
  EXPECT_EQ(0, store.InsertRun(SleepingTable, L"C4:4F:33:0A:1B", 1401580800u, night));
  EXPECT_EQ(0u, store.EndRuns());
  EXPECT_EQ(Hex("0009 0001 0002"), Pattern(store, WalkingTable, kSecond, 1401580800u));
  EXPECT_EQ(Hex("AA 55 55"), Pattern(store, SleepingTable, kFirst, 1401580800u));
  ByteBuffer read;
  BufferAppend(read, "xy", 2);
  ASSERT_EQ(1, store.ReadPattern(SleepingTable, kFirst, 1401580800u, read));
  EXPECT_EQ(Hex("78 79 AA 55 55"), ToBytes(read));  // appended
  std::vector<StoredRun> runs;
  EXPECT_EQ(1, store.ListRunsOf(kSecond, WalkingTable, runs));
  EXPECT_EQ(1u, runs.size());
  EXPECT_EQ(0, store.ListRunsOf(L"", WalkingTable, runs));
  EXPECT_EQ(2u, store.RunsStored());
  EXPECT_EQ(2u, store.RunsFailed());
  BufferClear(walk);
  BufferClear(night);
  BufferClear(read);
}

namespace {

struct Inserting {
  ActivityStore* store;
  int failures = 0;
  static DWORD WINAPI Main(void* context) {
    Inserting* self = static_cast<Inserting*>(context);
    ByteBuffer pattern;
    BufferAppend(pattern, "\xAA\x55\x55\x15", 4);
    for (unsigned i = 0; i < 300; ++i) {
      if (!self->store->InsertRun(SleepingTable, kSecond, 1400000000u + i * 60, pattern)) ++self->failures;
    }
    BufferClear(pattern);
    return 0;
  }
};

}  // namespace

TEST_F(StoreFixture, TheWorkerAndTheWindowThreadShareTheConnection) {
  // One thread inserts while this one lists and reads: every statement
  // succeeds and every list is a prefix of the final one.
  Inserting job{&store};
  HANDLE thread = CreateThread(nullptr, 0, &Inserting::Main, &job, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  size_t seen = 0;
  while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
    std::vector<unsigned> starts = Starts(store, kSecond, SleepingTable);
    ASSERT_GE(starts.size(), seen);
    for (size_t i = 0; i < starts.size(); ++i) ASSERT_EQ(1400000000u + i * 60, starts[i]);
    if (!starts.empty()) {
      EXPECT_EQ(Hex("AA 55 55 15"), Pattern(store, SleepingTable, kSecond, starts.back()));
    }
    seen = starts.size();
  }
  CloseHandle(thread);
  EXPECT_EQ(0, job.failures);
  EXPECT_EQ(300u, Starts(store, kSecond, SleepingTable).size());
}

TEST_F(StoreFixture, ADownloadsRunsAreCommittedTogether) {
  store.BeginRuns();
  ASSERT_EQ(1, Insert(WalkingTable, kFirst, 1401580800u, Hex("0001 0000 0000")));
  ASSERT_EQ(1, Insert(SleepingTable, kFirst, 1401580800u, Hex("AA 55")));
  EXPECT_EQ(0, Insert(WalkingTable, kFirst, 1401581700u, Bytes()));  // refused: the others stay
  EXPECT_EQ(0u, store.EndRuns());
  EXPECT_EQ(2u, store.RunsStored());
  EXPECT_EQ(1u, store.RunsFailed());
  store.Close();
  ASSERT_EQ(1, store.Open(folder.Path().c_str()));
  EXPECT_EQ(std::vector<unsigned>{1401580800u}, Starts(store, kFirst, WalkingTable));
  EXPECT_EQ(Hex("AA 55"), Pattern(store, SleepingTable, kFirst, 1401580800u));
}

TEST_F(StoreFixture, ALostCommitCountsTheDownloadsRunsAsFailed) {
  store.BeginRuns();
  ASSERT_EQ(1, Insert(WalkingTable, kFirst, 1401580800u, Hex("0001 0000 0000")));
  ASSERT_EQ(1, Insert(WalkingTable, kFirst, 1401581700u, Hex("0002 0000 0000")));
  // A transaction ended behind the store's back makes its COMMIT fail.
  WideString ignored;
  store.QueryText(L"ROLLBACK;", ignored);
  EXPECT_EQ(2u, store.EndRuns());
  EXPECT_EQ(0u, store.RunsStored());
  EXPECT_EQ(2u, store.RunsFailed());
  EXPECT_TRUE(Starts(store, kFirst, WalkingTable).empty());
}

namespace {

// Whether the bytes are in Pellton.sql itself (not only in its journal).
bool InFile(const WideString& path, const char* text) {
  return ReadFileText(path.CStr()).find(text) != std::string::npos;
}

}  // namespace

TEST_F(StoreFixture, SecuredRunsAreInTheFileItself) {
  ASSERT_EQ(1, Insert(WalkingTable, kSecond, 1401580800u, Hex("0001 0000 0000")));
  EXPECT_FALSE(InFile(store.Path(), "C4:4F:33:0A:1B:2C"));  // committed into the journal only
  EXPECT_EQ(1, store.SecureRuns());
  EXPECT_TRUE(InFile(store.Path(), "C4:4F:33:0A:1B:2C"));
  EXPECT_EQ(Hex("0001 0000 0000"), Pattern(store, WalkingTable, kSecond, 1401580800u));
  store.Close();
  EXPECT_EQ(0, store.SecureRuns());  // nothing open: nothing can be promised
}

TEST_F(StoreFixture, LabelsShowLocalTimesOnBothSidesOfTheClockChanges) {
  // Half-hour runs every 4 h 45 min for two weeks around each of Berlin's
  // changes in 2014 (30 March and 26 October, 01:00 UTC), and one across each.
  std::vector<unsigned> starts = {1396140300u, 1414284300u};
  for (unsigned k = 0; k < 80; ++k) starts.insert(starts.end(), {1395532800u + k * 17100, 1413676800u + k * 17100});
  for (unsigned start : starts) ASSERT_EQ(1, Insert(WalkingTable, kFirst, start, Bytes(12, 0)));
  std::vector<StoredRun> runs;
  ASSERT_EQ(1, store.ListRunsOf(kFirst, WalkingTable, runs));
  ASSERT_EQ(starts.size(), runs.size());
  for (const StoredRun& run : runs) {
    std::wstring tail = L" \x00B7 ";
    for (unsigned long long at : {run.start + 0ull, run.start + 1800ull}) {
      const unsigned long long local = at + (at >= 1396141200u && at < 1414285200u ? 7200 : 3600);
      SYSTEMTIME clock = {1970, 1, 4, 1, static_cast<WORD>(local / 3600 % 24), static_cast<WORD>(local / 60 % 60), 0, 0};
      wchar_t text[40] = {};
      GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &clock, nullptr, text, 40);
      tail += (at == run.start ? L"" : L"\x2013") + std::wstring(text);
    }
    const std::wstring label = run.label.CStr();
    EXPECT_EQ(tail, label.substr(label.size() - std::min(label.size(), tail.size()))) << run.start;
  }
}
