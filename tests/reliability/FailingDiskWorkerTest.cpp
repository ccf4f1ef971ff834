// A history download by the real tracker worker, from a simulated tracker
// over the simulated GATT backend, into a real Pellton.sql on a failing
// disk, seen in every text the worker gives the status line of the main
// window's template.
//
// The user first downloads and then sets the clock (which writes the runs
// through to the file and empties the tracker), the tracker records a new
// history, and the disk starts failing at the Nth write or sync while that
// history is downloaded, or stored first by another clock setting. When
// the commit fails the status line must say that the runs could not be
// stored, with their number, and never that they were; when only copying
// the journal into the file fails, a download's runs are stored and the
// line says so, while a clock setting is refused. Either way the earlier
// runs stay exactly as they were, the file is whole, and a refused clock
// setting leaves the tracker's history alone. Once the disk recovers the
// same operation stores every run and says so, and a program closing on a
// failing disk still leaves every run for the next start.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/tracker/HistoryDecoder.h"
#include "app/simulation/SimulatedTracker.h"
#include "app/simulation/TrackerHistoryGenerator.h"
#include "app/simulation/TrackerScenario.h"
#include "app/tracker/TrackerUpdate.h"
#include "ble/SimulatedGattBackend.h"
#include "core/CriticalSection.h"
#include "tests/app/worker/WorkerTestRig.h"
#include "tests/reliability/FailingDiskVfs.h"

namespace {

const char kAddressText[] = "00:1A:7D:DA:71:13";
const wchar_t kAddress[] = L"00:1A:7D:DA:71:13";
const long long kFirstHeader = 1401580800LL;               // 2014-06-01 00:00:00 UTC
const long long kSecondHeader = kFirstHeader + 9 * 86400;  // nine days on

// Every text the worker gives the status line, in order.
class RecordingView : public CountingView {
public:
  using CountingView::CountingView;
  void OperationBegan(const wchar_t* status) override {
    Note(status);
    CountingView::OperationBegan(status);
  }
  void OperationEnded(const wchar_t* outcome) override {
    Note(outcome);
    CountingView::OperationEnded(outcome);
  }
  void Note(const wchar_t* text) {
    SectionLock hold(lock_);
    texts_.push_back(text ? text : L"");
  }
  std::vector<std::wstring> TakeTexts() {
    SectionLock hold(lock_);
    std::vector<std::wstring> taken;
    taken.swap(texts_);
    return taken;
  }

private:
  CriticalSection lock_;
  std::vector<std::wstring> texts_;
};

Bytes WalkingRecord(unsigned steps) {
  return {static_cast<unsigned char>(steps >> 8), static_cast<unsigned char>(steps),
          static_cast<unsigned char>(steps / 20 >> 8), static_cast<unsigned char>(steps / 20),
          static_cast<unsigned char>(steps / 13 >> 8), static_cast<unsigned char>(steps / 13)};
}

// A history of `walks` walks (busy quarter hours of varying length, each
// ended by five empty ones) and `sleeps` nights (light sleep, each ended by
// sixteen fully active periods).
void MakeHistory(long long header, unsigned walks, unsigned sleeps, unsigned seed, Bytes& walking, Bytes& sleeping) {
  Bytes stream;
  for (unsigned w = 0; w < walks; ++w) {
    unsigned length = 1 + (w * 37 + seed) % 60;
    for (unsigned q = 0; q < length; ++q) {
      Bytes record = WalkingRecord(100 + (w * 131 + q * 17 + seed) % 2000);
      stream.insert(stream.end(), record.begin(), record.end());
    }
    for (unsigned q = 0; q < 5; ++q) stream.insert(stream.end(), 6, 0);
  }
  TrackerHistoryGenerator::MakeWalkingFrame(header, stream, walking);
  stream.clear();
  for (unsigned s = 0; s < sleeps; ++s) {
    unsigned length = 10 + (s * 23 + seed) % 90;
    for (unsigned p = 0; p < length; ++p) stream.push_back(static_cast<unsigned char>(0x15 + (p + s) % 3 * 0x10));
    stream.insert(stream.end(), 16, 0xAA);
  }
  TrackerHistoryGenerator::MakeSleepingFrame(header, stream, sleeping);
}

std::string HexOf(const unsigned char* bytes, size_t size) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    text.push_back(digits[bytes[i] >> 4]);
    text.push_back(digits[bytes[i] & 15]);
  }
  return text;
}

std::string Scenario(const Bytes& walking, const Bytes& sleeping) {
  return std::string("name EI-AN900\nclock 2014-06-20 10:00:00\naddress ") + kAddressText + "\nwalking " +
         HexOf(walking.data(), walking.size()) + "\nsleeping " + HexOf(sleeping.data(), sleeping.size()) + "\n";
}

// The rows a download of the frames must leave, as "table start HEX".
class ExpectedRows : public HistoryRunSink {
public:
  int StoreWalkingRun(int, unsigned start, const ByteBuffer& pattern) override { return Add("walking", start, pattern); }
  int StoreSleepingRun(int, unsigned start, const ByteBuffer& pattern) override { return Add("sleeping", start, pattern); }
  std::vector<std::string> rows;

private:
  int Add(const char* table, unsigned start, const ByteBuffer& pattern) {
    char head[40];
    snprintf(head, sizeof head, "%s %u ", table, start);
    rows.push_back(head + HexOf(pattern.data, static_cast<size_t>(pattern.size)));
    return 1;
  }
};

std::vector<std::string> RowsOf(const Bytes& walking, const Bytes& sleeping) {
  ExpectedRows expected;
  ByteBuffer frame;
  BufferAppend(frame, walking.data(), walking.size());
  DecodeWalkingHistory(0, frame, expected);
  BufferClear(frame);
  BufferAppend(frame, sleeping.data(), sleeping.size());
  DecodeSleepingHistory(0, frame, expected);
  BufferClear(frame);
  std::sort(expected.rows.begin(), expected.rows.end());
  return expected.rows;
}

// The tracker's rows in the store, as "table start HEX", sorted.
std::vector<std::string> StoredRows(ActivityStore& store) {
  std::vector<std::string> rows;
  for (const wchar_t* table : {L"walking", L"sleeping"}) {
    WideString sql, all;
    sql.Format(L"SELECT group_concat(r, ' ') FROM (SELECT '%s,' || start || ',' || hex(pattern) AS r FROM %s "
               L"WHERE mac = '%s' ORDER BY start);",
               table, table, kAddress);
    if (!store.QueryText(sql.CStr(), all)) continue;  // no rows: a NULL
    std::string text;
    for (const wchar_t* c = all.CStr(); *c; ++c) text.push_back(static_cast<char>(*c));
    size_t from = 0;
    while (from < text.size()) {
      size_t end = text.find(' ', from);
      if (end == std::string::npos) end = text.size();
      std::string row = text.substr(from, end - from);
      std::replace(row.begin(), row.end(), ',', ' ');
      rows.push_back(row);
      from = end + 1;
    }
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::wstring IntegrityOf(ActivityStore& store) {
  WideString check;
  if (!store.QueryText(L"PRAGMA integrity_check;", check)) return L"<not checked>";
  return check.CStr();
}

std::vector<std::string> Union(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  std::sort(a.begin(), a.end());
  return a;
}

const std::wstring kName = L"EI-AN900 [00:1A:7D:DA:71:13]: ";  // begins every text about its work
std::wstring Stored(size_t runs) {
  wchar_t text[80];
  swprintf(text, 80, L"%u runs stored", static_cast<unsigned>(runs));
  return text;
}

std::wstring NotStored(size_t runs) {
  wchar_t text[80];
  swprintf(text, 80, L"0 runs stored, %u could not be stored", static_cast<unsigned>(runs));
  return text;
}

enum FailingOperation { DownloadHistory, SetClock };

// What becomes of the second history.
enum FaultOutcome {
  Lost,          // its commit failed: nothing of it is kept
  StoredAnyway,  // committed; copying the journal into the file after it failed
  NotSecured,    // committed, but it could not be written through before the clock is set
};

struct DiskFault {
  FailingOperation operation;
  FailingDiskCall kind;
  unsigned nth;
  bool copyAfterCommit;  // the journal is copied into the file after every few pages
  FaultOutcome outcome;
};

void PrintTo(const DiskFault& fault, std::ostream* out) {
  *out << (fault.operation == DownloadHistory ? "download" : "clock setting") << ", "
       << (fault.kind == FailWrites ? "write " : "sync ") << fault.nth
       << (fault.copyAfterCommit ? ", journal copied after the commit" : "");
}

class FailingDiskWorkerTest : public ::testing::TestWithParam<DiskFault> {
protected:
  void SetUp() override {
    ASSERT_EQ(1, FailingDisk::Install());
    view_ = new RecordingView(host_.main, &host_.devices);
    host_.view.reset(view_);
    view_->SetDeviceInfoShower(host_.InfoShower());
  }
  void TearDown() override {
    FailingDisk::Recover();
    host_.Stop();
  }
  // Gives the tracker the history; 1/0.
  int Hold(const Bytes& walking, const Bytes& sleeping) {
    TrackerScenario scenario;
    WideString error;
    std::string text = Scenario(walking, sleeping);
    return scenario.Parse(text.data(), text.size(), error) && tracker_.Configure(scenario);
  }
  // Queues the operation and waits until it has finished (it is the
  // count-th since the start).
  void Run(FailingOperation operation, LONG count) {
    ASSERT_EQ(1, operation == DownloadHistory ? host_.worker.QueueHistory(0) : host_.worker.QueueSetTime(0));
    ASSERT_EQ(1, host_.WaitForOperations(count));
  }
  bool TrackerHolds(const Bytes& walking, const Bytes& sleeping) {
    Bytes heldWalking, heldSleeping;
    tracker_.GetHeldHistory(heldWalking, heldSleeping);
    return heldWalking == walking && heldSleeping == sleeping;
  }

  SimulatedTracker tracker_;
  SimulatedGattBackend backend_;  // goes before the tracker
  WorkerHost host_;               // goes before both
  RecordingView* view_ = nullptr;
};

std::string Name(const ::testing::TestParamInfo<DiskFault>& info) {
  char name[64];
  snprintf(name, sizeof name, "%s_%s%u%s", info.param.operation == DownloadHistory ? "Download" : "SetClock",
           info.param.kind == FailWrites ? "Write" : "Sync", info.param.nth,
           info.param.copyAfterCommit ? "_CopyAfterCommit" : "");
  return name;
}

// What storing the second history costs on this SQLite, the first commit
// after the clock setting emptied the journal: the journal header is
// written and synced, then every page goes in as a frame header and the
// page (19 writes in all). Copying the journal into the file syncs the
// journal, writes the pages into the file and syncs it (10 writes).
const unsigned kCommitWrites = 19;
const unsigned kCopyWrites = 10;

std::vector<DiskFault> Faults() {
  std::vector<DiskFault> faults;
  for (unsigned n = 1; n <= kCommitWrites; ++n) {
    faults.push_back({DownloadHistory, FailWrites, n, false, Lost});
    faults.push_back({SetClock, FailWrites, n, false, Lost});
  }
  for (unsigned n = kCommitWrites + 1; n <= kCommitWrites + kCopyWrites; ++n) {
    faults.push_back({DownloadHistory, FailWrites, n, true, StoredAnyway});
    faults.push_back({SetClock, FailWrites, n, false, NotSecured});
  }
  faults.push_back({DownloadHistory, FailSyncs, 1, false, Lost});
  faults.push_back({SetClock, FailSyncs, 1, false, Lost});
  for (unsigned n = 2; n <= 3; ++n) {
    faults.push_back({DownloadHistory, FailSyncs, n, true, StoredAnyway});
    faults.push_back({SetClock, FailSyncs, n, false, NotSecured});
  }
  return faults;
}

}  // namespace

TEST_P(FailingDiskWorkerTest, TheStatusLineTellsWhatWasStoredEarlierRunsStayAndRecoveryStoresEveryRun) {
  const DiskFault fault = GetParam();
  Bytes walkingA, sleepingA, walkingB, sleepingB;
  MakeHistory(kFirstHeader, 12, 3, 0, walkingA, sleepingA);
  MakeHistory(kSecondHeader, 30, 6, 5, walkingB, sleepingB);
  const std::vector<std::string> rowsA = RowsOf(walkingA, sleepingA);
  const std::vector<std::string> rowsB = RowsOf(walkingB, sleepingB);
  ASSERT_EQ(12u + 3u, rowsA.size());
  ASSERT_EQ(30u + 6u, rowsB.size());
  const std::vector<std::string> rowsAB = Union(rowsA, rowsB);
  const std::wstring operationText =
      kName + (fault.operation == DownloadHistory ? L"Getting your performance..." : L"Setting Date && Time...");

  // The first history is downloaded at the start, then the clock is set:
  // the runs are written through to the file and the tracker begins anew.
  ASSERT_EQ(1, Hold(walkingA, sleepingA));
  ASSERT_EQ(1, backend_.AddDevice(&tracker_));
  ASSERT_EQ(1, host_.Start(&backend_));
  ASSERT_EQ(1, host_.WaitForOperations(2));
  EXPECT_EQ(kName + Stored(rowsA.size()), host_.StatusText());
  Run(SetClock, 3);
  ASSERT_FALSE(TrackerHolds(walkingA, sleepingA));  // it records anew
  ASSERT_EQ(rowsA, StoredRows(host_.store));
  view_->TakeTexts();
  host_.TakeUpdates();
  if (fault.copyAfterCommit) {
    // As in a long run of the program: the journal has grown past the
    // point where a commit is followed by copying it into the file.
    WideString pages;
    ASSERT_EQ(1, host_.store.QueryText(L"PRAGMA wal_autocheckpoint = 4;", pages));
  }

  // The tracker has recorded more; the disk fails while it is stored.
  ASSERT_EQ(1, Hold(walkingB, sleepingB));
  FailingDisk::Arm(fault.kind, fault.nth);
  Run(fault.operation, 4);
  const unsigned failures = FailingDisk::Failures();
  FailingDisk::Recover();
  ASSERT_GT(failures, 0u) << "the disk never failed";

  const std::vector<std::wstring> texts = view_->TakeTexts();
  const std::vector<unsigned> updates = host_.TakeUpdates();
  const std::vector<std::string> rows = StoredRows(host_.store);
  EXPECT_EQ(L"ok", IntegrityOf(host_.store));
  const std::wstring notStoredFirst =
      kName + L"The date and time were not set: the history could not be stored first (" + NotStored(rowsB.size()) + L")";
  const std::wstring notSecured =
      kName + L"The date and time were not set: the history could not be written to the disk";
  if (fault.operation == DownloadHistory) {
    const std::wstring told = kName + (fault.outcome == Lost ? NotStored(rowsB.size()) : Stored(rowsB.size()));
    EXPECT_EQ((std::vector<std::wstring>{operationText, told}), texts);
    EXPECT_EQ((std::vector<unsigned>{UpdateWalking | UpdateSleeping}), updates);
  } else {
    // The clock stays as it is, so the tracker keeps its history.
    EXPECT_EQ((std::vector<std::wstring>{operationText, fault.outcome == Lost ? notStoredFirst : notSecured}), texts);
    EXPECT_TRUE(updates.empty());
    EXPECT_TRUE(TrackerHolds(walkingB, sleepingB));
  }
  EXPECT_EQ(fault.outcome == Lost ? rowsA : rowsAB, rows);
  EXPECT_EQ(texts.empty() ? L"<none>" : texts.back(), host_.StatusText());  // what the window shows

  // The disk works again: the same operation stores every run and says so.
  Run(fault.operation, 5);
  if (fault.operation == DownloadHistory) {
    EXPECT_EQ((std::vector<std::wstring>{operationText, kName + Stored(rowsB.size())}), view_->TakeTexts());
    EXPECT_EQ((std::vector<unsigned>{UpdateWalking | UpdateSleeping}), host_.TakeUpdates());
    EXPECT_TRUE(TrackerHolds(walkingB, sleepingB));
  } else {
    const std::wstring set = kName + L"The date and time were set; the history was stored first (";
    EXPECT_EQ((std::vector<std::wstring>{operationText, set + Stored(rowsB.size()) + L")"}), view_->TakeTexts());
    EXPECT_EQ((std::vector<unsigned>{UpdateWalking | UpdateSleeping, UpdateDeviceInfo}), host_.TakeUpdates());
    EXPECT_FALSE(TrackerHolds(walkingB, sleepingB));  // the clock was set
  }
  EXPECT_EQ(rowsAB, StoredRows(host_.store));
  EXPECT_EQ(L"ok", IntegrityOf(host_.store));

  // After a plain download the journal holds runs the file does not: the
  // program closes on a failing disk (the journal cannot be copied into the
  // file), and the next start still finds every run.
  const std::wstring folder = host_.folder.Path();
  const bool journalAhead = fault.operation == DownloadHistory && !fault.copyAfterCommit;
  if (journalAhead) FailingDisk::Arm(fault.kind, 1);
  host_.Stop();
  const unsigned closeFailures = FailingDisk::Failures();
  FailingDisk::Recover();
  if (journalAhead) {
    EXPECT_GT(closeFailures, 0u);
  }
  ActivityStore reopened;
  ASSERT_EQ(1, reopened.Open(folder.c_str()));
  EXPECT_EQ(rowsAB, StoredRows(reopened));
  EXPECT_EQ(L"ok", IntegrityOf(reopened));
}

INSTANTIATE_TEST_SUITE_P(NthCall, FailingDiskWorkerTest, ::testing::ValuesIn(Faults()), Name);
