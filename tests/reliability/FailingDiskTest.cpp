// Storing on a failing disk: the Nth write or sync fails as a full disk
// does. Storing a download then fails cleanly (the store reports the runs
// lost), every run stored before stays readable and the file stays whole,
// and once the disk recovers the same download is stored.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

#include "app/store/ActivityStore.h"
#include "tests/app/store/StoreNotices.h"
#include "tests/common/TempFolder.h"
#include "tests/reliability/FailingDiskVfs.h"
#include "tests/reliability/StoreRunPattern.h"

namespace {

bool HoldsRun(ActivityStore& store, unsigned n) {
  ByteBuffer pattern;
  int found = store.ReadPattern(WalkingTable, kReliabilityAddress, RunStart(n), pattern);
  std::string expected = RunPattern(n);
  bool same = found && pattern.size == expected.size() && memcmp(pattern.data, expected.data(), expected.size()) == 0;
  BufferClear(pattern);
  return same;
}

// Stores runs [from, to) as one download; the runs reported lost.
unsigned StoreDownload(ActivityStore& store, unsigned from, unsigned to, unsigned* refused) {
  ByteBuffer pattern;
  unsigned stored = 0;
  store.BeginRuns();
  for (unsigned n = from; n < to; ++n) {
    FillBuffer(pattern, RunPattern(n));
    stored += store.InsertRun(WalkingTable, kReliabilityAddress, RunStart(n), pattern);
  }
  unsigned lost = store.EndRuns();
  BufferClear(pattern);
  *refused = (to - from) - stored;
  return lost;
}

class FailingDiskTest : public ::testing::TestWithParam<int> {
protected:
  void SetUp() override { ASSERT_EQ(1, FailingDisk::Install()); }
  void TearDown() override { FailingDisk::Recover(); }
};

}  // namespace

TEST_P(FailingDiskTest, AFailedWriteOrSyncLosesOnlyTheDownloadInHandAndStoringWorksAgain) {
  const FailingDiskCall kind = GetParam() % 2 ? FailSyncs : FailWrites;
  // A checkpoint makes two syncs (the journal, then the file).
  const unsigned nth = kind == FailSyncs ? 1 + (GetParam() / 2) % 2 : 1 + GetParam() / 2;
  TempFolder folder;
  {
    ActivityStore store;
    ASSERT_EQ(1, store.Open(folder.Path().c_str()));
    unsigned refused = 0;
    ASSERT_EQ(0u, StoreDownload(store, 0, 60, &refused));
    ASSERT_EQ(0u, refused);

    unsigned callsBefore = FailingDisk::Calls(kind);
    FailingDisk::Arm(kind, nth);
    unsigned lost = 0;
    if (kind == FailWrites) {
      lost = StoreDownload(store, 60, 120, &refused);
    } else {
      // With the write-ahead journal a commit writes without syncing; the
      // syncs come with a checkpoint, as at Close.
      ASSERT_EQ(0u, StoreDownload(store, 60, 120, &refused));
      WideString answer;
      store.QueryText(L"PRAGMA wal_checkpoint(TRUNCATE);", answer);
    }
    unsigned failures = FailingDisk::Failures();
    FailingDisk::Recover();
    ASSERT_GT(failures, 0u) << "the disk never failed; calls " << FailingDisk::Calls(kind) - callsBefore;
    if (kind == FailWrites) {
      // The store says so: runs refused or lost, and counted as failed.
      EXPECT_GT(lost + refused, 0u) << "a failed write went unreported";
      EXPECT_GT(store.RunsFailed(), 0u);
    }
    for (unsigned n = 0; n < 60; ++n) ASSERT_TRUE(HoldsRun(store, n)) << "run " << n;
    WideString check;
    ASSERT_EQ(1, store.QueryText(L"PRAGMA integrity_check;", check));
    EXPECT_STREQ(L"ok", check.CStr());

    // The disk works again: so does storing, on the same connection.
    ASSERT_EQ(0u, StoreDownload(store, 60, 120, &refused));
    EXPECT_EQ(0u, refused);
    for (unsigned n = 0; n < 120; ++n) ASSERT_TRUE(HoldsRun(store, n)) << "run " << n;
    store.Close();
  }
  ActivityStore reopened;
  ASSERT_EQ(1, reopened.Open(folder.Path().c_str()));
  for (unsigned n = 0; n < 120; ++n) ASSERT_TRUE(HoldsRun(reopened, n)) << "run " << n;
  WideString check;
  ASSERT_EQ(1, reopened.QueryText(L"PRAGMA integrity_check;", check));
  EXPECT_STREQ(L"ok", check.CStr());
}

// Even: the Nth write fails (N from 1 to 8); odd: the first or second sync.
INSTANTIATE_TEST_SUITE_P(NthCall, FailingDiskTest, ::testing::Range(0, 16));

// A write that fails in the middle of a download's transaction (its pages
// spill from a small cache): SQLite takes the whole transaction back, and
// the runs after it are written on their own. What the store reports as
// stored must be what the file holds.
TEST_F(FailingDiskTest, AWriteFailingInsideADownloadIsCountedAsWhatTheFileHolds) {
  TempFolder folder;
  ActivityStore store;
  ASSERT_EQ(1, store.Open(folder.Path().c_str()));
  WideString answer;
  store.QueryText(L"PRAGMA cache_size = 2;", answer);
  ByteBuffer pattern;
  unsigned said = 0;
  bool failed = false;
  store.BeginRuns();
  FailingDisk::Arm(FailWrites, 1);
  for (unsigned n = 0; n < 120; ++n) {
    FillBuffer(pattern, RunPattern(n));
    said += store.InsertRun(WalkingTable, kReliabilityAddress, RunStart(n), pattern);
    if (!failed && FailingDisk::Failures() > 0) {
      failed = true;
      FailingDisk::Recover();  // one write failed; the disk works again
    }
  }
  unsigned lost = store.EndRuns();
  BufferClear(pattern);
  FailingDisk::Recover();
  ASSERT_TRUE(failed) << "no write failed inside the transaction";
  unsigned held = 0;
  for (unsigned n = 0; n < 120; ++n) held += HoldsRun(store, n) ? 1 : 0;
  EXPECT_LT(held, 120u);
  EXPECT_EQ(held, said - lost) << "said " << said << ", lost " << lost;
  EXPECT_EQ(held, store.RunsStored());
  EXPECT_EQ(120u - held, store.RunsFailed());
}

TEST_F(FailingDiskTest, AFirstStartCutAtAnyWriteLeavesNoTableWithoutItsIndex) {
  unsigned n = 1;
  for (unsigned failures = 1; failures > 0; ++n) {
    TempFolder folder;
    FailingDisk::Arm(FailWrites, n);
    ActivityStore().Open(folder.Path().c_str());
    failures = FailingDisk::Failures();
    FailingDisk::Recover();
    ActivityStore store;
    ASSERT_EQ(1, store.Open(folder.Path().c_str())) << n << NoticeOf(store);
    unsigned refused = 0;
    for (int twice = 0; twice < 2; ++twice) ASSERT_EQ(0u, StoreDownload(store, 0, 10, &refused));
    WideString rows;
    store.QueryText(L"SELECT (SELECT count(*) FROM walking) || ' ' || count(*) FROM sqlite_master WHERE sql LIKE "
                    L"'CREATE UNIQUE INDEX %';", rows);
    EXPECT_STREQ(L"10 2", rows.CStr()) << "a download stored twice after a first start cut at write " << n;
  }
  EXPECT_GT(n, 10u);
}

namespace {

// A sound store of 100 runs whose header lets SQLite only read it, so that
// the next start moves it aside and copies every run into a new file.
void MakeReadOnlyFormatStore(const wchar_t* folder, ActivityStore& store) {
  ASSERT_EQ(1, store.Open(folder));
  unsigned refused = 0;
  ASSERT_EQ(0u, StoreDownload(store, 0, 100, &refused));
  store.Close();
  WideString path;
  path.Format(L"%s\\Pellton.sql", folder);
  HANDLE file = CreateFileW(path.CStr(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  const unsigned char version = 3;  // the write version, byte 18
  SetFilePointer(file, 18, nullptr, FILE_BEGIN);
  DWORD written = 0;
  WriteFile(file, &version, 1, &written, nullptr);
  CloseHandle(file);
}

}  // namespace

// The disk fills while the runs of a file set aside are copied into the new
// one: the notice must not send the user away from the old file, which
// still holds them.
TEST_F(FailingDiskTest, RunsThatCouldNotBeCopiedIntoTheNewFileAreSaidToBeInTheOldOne) {
  TempFolder measured, failing;
  unsigned writes = 0;
  {
    ActivityStore store;
    MakeReadOnlyFormatStore(measured.Path().c_str(), store);
    unsigned before = FailingDisk::Calls(FailWrites);
    ASSERT_EQ(1, store.Open(measured.Path().c_str()));
    writes = FailingDisk::Calls(FailWrites) - before;
    ASSERT_TRUE(store.Opening().movedAside);
    ASSERT_EQ(100u, store.Opening().rescued.copied);
  }
  ActivityStore store;
  MakeReadOnlyFormatStore(failing.Path().c_str(), store);
  // The copied runs' commit is the last thing the opening writes.
  FailingDisk::Arm(FailWrites, writes - 2);
  store.Open(failing.Path().c_str());
  FailingDisk::Recover();
  const StoreOpening& opening = store.Opening();
  ASSERT_TRUE(opening.movedAside);
  EXPECT_LT(opening.rescued.copied, 100u);
  const std::wstring notice = NoticeOf(store);
  EXPECT_EQ(std::wstring::npos, notice.find(L"no run could be read")) << notice;
  EXPECT_NE(std::wstring::npos, notice.find(L"still in the old file")) << notice;
  EXPECT_NE(std::wstring::npos, notice.find(opening.asidePath.CStr())) << notice;
}

// The disk is full when a file left without its index gets it back: nothing can be stored, but the file
// stays open, its runs are shown, and so says the opening.
TEST_F(FailingDiskTest, AFileWhoseIndexCannotBeMadeIsStillOpenToBeRead) {
  TempFolder folder;
  ActivityStore store;
  ASSERT_EQ(1, store.Open(folder.Path().c_str()));
  unsigned refused = 0;
  ASSERT_EQ(0u, StoreDownload(store, 0, 10, &refused));
  ASSERT_EQ(1, store.WithConnection([](Database& db, void*) { return db.Execute(L"DROP INDEX walking_start;"); }, 0));
  FailingDisk::Arm(FailWrites, 1);
  EXPECT_EQ(0, store.Open(folder.Path().c_str()));
  FailingDisk::Recover();
  EXPECT_TRUE(store.Opening().outcome == StoreNotReady && store.Opening().opened && !store.Opening().writable);
  EXPECT_TRUE(HoldsRun(store, 9));
  EXPECT_NE(std::wstring::npos, NoticeOf(store).find(L"The runs it holds are shown, but")) << NoticeOf(store);
}
