// The tracker worker end to end, through both GATT backends: search,
// connect, download, decode and store against simulated trackers given
// exact history frames, then Pellton.sql read back; two trackers with runs
// at the same start, a repeated download, setting the clock (only after the
// history is stored, refused when the download fails), a device that
// cannot notify, and the Info page's fields.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/simulation/TrackerHistoryGenerator.h"
#include "app/tracker/TrackerProtocol.h"
#include "app/tracker/TrackerUpdate.h"
#include "core/DateTime.h"
#include "resources/ResourceIds.h"
#include "tests/app/tracker/LinkTestSupport.h"
#include "tests/app/worker/WorkerTestRig.h"
#include "tests/common/FileText.h"
#include "tests/common/PumpUntil.h"

namespace {

const long long kHeader = 1401580800LL;  // 2014-06-01 00:00:00 UTC, both frames' start
const wchar_t kFirst[] = L"00:1A:7D:DA:71:13";
const wchar_t kSecond[] = L"C4:4F:33:0A:1B:2C";
const std::wstring kFirstName = L"EI-AN900 [00:1A:7D:DA:71:13]: ";  // begins every text about its work

Bytes Record(unsigned steps) {
  Bytes record(6);
  WriteBig16(record.data(), steps);
  WriteBig16(record.data() + 2, steps / 20);
  WriteBig16(record.data() + 4, steps / 13);
  return record;
}

Bytes Records(std::vector<unsigned> steps) {
  Bytes stream;
  for (unsigned s : steps) {
    Bytes r = Record(s);
    stream.insert(stream.end(), r.begin(), r.end());
  }
  return stream;
}

Bytes SleepStream() {
  Bytes stream = Hex("AA AA 55 55");
  stream.insert(stream.end(), 16, 0xAA);
  stream.push_back(0x15);
  stream.push_back(0xAA);
  return stream;
}

std::string HexLine(const char* key, const Bytes& bytes) {
  std::string line = key;
  char two[4];
  for (unsigned char b : bytes) {
    snprintf(two, sizeof two, " %02X", b);
    line += two;
  }
  return line + "\n";
}

// A tracker holding exactly the frames above.
std::string Scenario(const char* address, const char* extra = "") {
  Bytes walking, sleeping;
  TrackerHistoryGenerator::MakeWalkingFrame(kHeader, Records({0, 5, 0, 0, 0, 0, 0, 7}), walking);
  TrackerHistoryGenerator::MakeSleepingFrame(kHeader, SleepStream(), sleeping);
  std::string text = "name EI-AN900\nclock 2014-06-01 10:00:00\nfirmware 1.2.3\nbattery 64\n";
  text += std::string("address ") + address + "\n";
  text += HexLine("walking", walking) + HexLine("sleeping", sleeping) + extra;
  return text;
}

struct ExpectedRun {
  unsigned start;
  Bytes pattern;
};

// What the frames imply: walking 0,5,0,0,0,0,0,7 gives the single records
// 5 (one quarter hour in) and 7 (seven in); sleeping AA AA 55 55, sixteen
// AA, 15 AA gives AA 55 55 AA from the second period (the sixteenth AA cut
// it, one AA stays) and 15 from the twentieth (its lone trailing AA goes).
const std::vector<ExpectedRun> kWalkingRuns = {{unsigned(kHeader + 900), Record(5)},
                                               {unsigned(kHeader + 7 * 900), Record(7)}};
const std::vector<ExpectedRun> kSleepingRuns = {{unsigned(kHeader + 240), Hex("AA 55 55 AA")},
                                                {unsigned(kHeader + 20 * 240), Hex("15")}};

void ExpectRuns(ActivityStore& store, const wchar_t* address, int table, const std::vector<ExpectedRun>& expected) {
  std::vector<StoredRun> runs;
  ASSERT_EQ(1, store.ListRunsOf(address, table, runs));
  ASSERT_EQ(expected.size(), runs.size()) << "table " << table;
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i].start, runs[i].start);
    ByteBuffer pattern;
    ASSERT_EQ(1, store.ReadPattern(table, address, runs[i].start, pattern));
    EXPECT_EQ(expected[i].pattern, ToBytes(pattern)) << "run " << i << " of table " << table;
    BufferClear(pattern);
  }
}

size_t RowCount(ActivityStore& store, const wchar_t* table) {
  WideString sql, count;
  sql.Format(L"SELECT count(*) FROM %s;", table);
  if (!store.QueryText(sql.CStr(), count)) return 0;
  return static_cast<size_t>(_wtoi(count.CStr()));
}

class TrackerWorkerTest : public ::testing::TestWithParam<TrackerRig::Kind> {
protected:
  void SetUp() override { rig = TrackerRig::Make(GetParam()); }
  void StartWorker() { ASSERT_EQ(1, host.Start(rig->Backend())); }

  std::unique_ptr<TrackerRig> rig;
  WorkerHost host;
};

std::string Name(const ::testing::TestParamInfo<TrackerRig::Kind>& info) {
  return info.param == TrackerRig::Simulated ? "SimulatedBackend" : "WindowsBackend";
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Backends, TrackerWorkerTest, ::testing::Values(TrackerRig::Simulated, TrackerRig::Windows),
                         Name);

TEST_P(TrackerWorkerTest, SearchConnectsTrackersAndStoresTheirHistories) {
  ASSERT_EQ(1, rig->AddTracker(Scenario("00:1A:7D:DA:71:13")));
  ASSERT_EQ(1, rig->AddTracker(Scenario("02:50:4C:54:4E:09"), true));  // cannot notify: not listed
  ASSERT_EQ(1, rig->AddTracker(Scenario("C4:4F:33:0A:1B:2C")));
  StartWorker();
  ASSERT_EQ(1, host.WaitForOperations(3));  // the search and the two downloads it queued

  std::vector<std::wstring> texts = {L"EI-AN900 [00:1A:7D:DA:71:13]", L"EI-AN900 [C4:4F:33:0A:1B:2C]"};
  EXPECT_EQ(texts, host.DeviceTexts());
  EXPECT_EQ((std::vector<int>{0, 1}), host.DeviceValues());
  EXPECT_EQ(0, host.SelectedDevice());
  EXPECT_TRUE(host.DeviceListEnabled());
  EXPECT_TRUE(host.SearchEnabled());
  EXPECT_EQ((std::vector<unsigned>{15, 12, 12}), host.TakeUpdates());
  EXPECT_EQ(L"EI-AN900 [C4:4F:33:0A:1B:2C]: 4 runs stored", host.StatusText());

  // Both trackers keep their own rows at the same start times.
  ExpectRuns(host.store, kFirst, WalkingTable, kWalkingRuns);
  ExpectRuns(host.store, kSecond, WalkingTable, kWalkingRuns);
  ExpectRuns(host.store, kFirst, SleepingTable, kSleepingRuns);
  ExpectRuns(host.store, kSecond, SleepingTable, kSleepingRuns);

  // A second download replaces the rows.
  ASSERT_EQ(1, host.worker.QueueHistory(1));
  ASSERT_EQ(1, host.WaitForOperations(4));
  EXPECT_EQ((std::vector<unsigned>{12}), host.TakeUpdates());
  EXPECT_EQ(4u, RowCount(host.store, L"walking"));
  EXPECT_EQ(4u, RowCount(host.store, L"sleeping"));

  // What the file holds once the program has closed it.
  host.Stop();
  ActivityStore reopened;
  ASSERT_EQ(1, reopened.Open(host.folder.Path().c_str()));
  ExpectRuns(reopened, kFirst, WalkingTable, kWalkingRuns);
  ExpectRuns(reopened, kSecond, SleepingTable, kSleepingRuns);
  EXPECT_EQ(4u, RowCount(reopened, L"walking"));
}

TEST_P(TrackerWorkerTest, WithoutANotifiableTrackerTheListSaysNoneWasFound) {
  ASSERT_EQ(1, rig->AddTracker(Scenario("00:1A:7D:DA:71:13"), true));
  StartWorker();
  ASSERT_EQ(1, host.WaitForOperations(1));
  EXPECT_EQ(std::vector<std::wstring>{L"No Samsung EI-AN900 found"}, host.DeviceTexts());
  EXPECT_EQ(std::vector<int>{-1}, host.DeviceValues());
  EXPECT_EQ((std::vector<unsigned>{15}), host.TakeUpdates());
  EXPECT_EQ(0u, RowCount(host.store, L"walking"));

  // Operations on index -1 find nothing; a download still posts 12.
  ASSERT_EQ(1, host.worker.QueueHistory(-1));
  ASSERT_EQ(1, host.worker.QueueSetTime(-1));
  ASSERT_EQ(1, host.WaitForOperations(3));
  EXPECT_EQ((std::vector<unsigned>{12}), host.TakeUpdates());
  EXPECT_EQ(L"", host.StatusText());
}

TEST_P(TrackerWorkerTest, SettingTheClockStoresTheHistoryFirst) {
  // The search's own download is lost, so only the set-time operation can
  // have stored the runs.
  ASSERT_EQ(1, rig->AddTracker(Scenario("00:1A:7D:DA:71:13", "drop CMD_HISTORY 1\n")));
  StartWorker();
  ASSERT_EQ(1, host.WaitForOperations(2));
  EXPECT_EQ((std::vector<unsigned>{15, 12}), host.TakeUpdates());
  EXPECT_EQ(kFirstName + L"The history download did not complete (0 runs stored)", host.StatusText());
  EXPECT_EQ(0u, RowCount(host.store, L"walking"));

  ASSERT_EQ(1, host.worker.QueueSetTime(0));
  ASSERT_EQ(1, host.WaitForOperations(3));
  EXPECT_EQ((std::vector<unsigned>{12, UpdateDeviceInfo}), host.TakeUpdates());
  ExpectRuns(host.store, kFirst, WalkingTable, kWalkingRuns);
  ExpectRuns(host.store, kFirst, SleepingTable, kSleepingRuns);
  if (SimulatedTracker* tracker = rig->Tracker(0)) {
    // The exact bytes: the set-up in order (with HostId), two downloads, the clock.
    std::vector<Bytes> got = tracker->ReceivedCommands();
    ASSERT_EQ(6u, got.size());
    EXPECT_EQ((std::vector<Bytes>{Hex("00 07 1A 50 45 4C 4C 54 4E"), Hex("00 07 14 50 45 4C 4C 54 4E"),
                                  Hex("00 02 2B 01"), Hex("00 01 03"), Hex("00 01 03")}),
              std::vector<Bytes>(got.begin(), got.begin() + 5));
    EXPECT_EQ(Hex("00 08 10"), Bytes(got[5].begin(), got[5].begin() + 3));
    EXPECT_EQ(Bytes(1, SET_TIME_CONSTANT), Bytes(got[5].begin() + 9, got[5].end()));  // ten bytes, the last 1
  }

  // The tracker has forgotten its history; the stored runs stay.
  ASSERT_EQ(1, host.worker.QueueHistory(0));
  ASSERT_EQ(1, host.WaitForOperations(4));
  EXPECT_EQ(kFirstName + L"0 runs stored", host.StatusText());
  ExpectRuns(host.store, kFirst, WalkingTable, kWalkingRuns);

  // Its clock now runs on the PC's UTC time.
  ASSERT_EQ(1, host.worker.QueueDeviceInfo(0));
  ASSERT_EQ(1, host.WaitForOperations(5));
  SYSTEMTIME now;
  Now(now, 0);
  WideString year;
  year.Format(L"%u", now.wYear);
  EXPECT_NE(std::wstring::npos, host.InfoText(IDC_INFO_TIME).find(year.CStr())) << host.InfoText(IDC_INFO_TIME);
}

// Whether the text is in the database file itself (not only in the
// write-ahead journal beside it, which a power cut may lose).
static bool InDatabaseFile(const std::wstring& folder, const char* text) {
  return ReadFileText(folder + L"\\Pellton.sql").find(text) != std::string::npos;
}

TEST_P(TrackerWorkerTest, TheHistoryIsOnDiskBeforeTheClockIsSet) {
  // The search's download is lost, and so is the answer to the set-time
  // command: whatever reached the file did so before the command went out.
  ASSERT_EQ(1, rig->AddTracker(Scenario("00:1A:7D:DA:71:13", "drop CMD_HISTORY 1\ndrop CMD_SET_TIME\n")));
  StartWorker();
  ASSERT_EQ(1, host.WaitForOperations(2));
  host.TakeUpdates();
  EXPECT_FALSE(InDatabaseFile(host.folder.Path(), "00:1A:7D:DA:71:13"));

  host.worker.timings.commandTimeoutMs = 500;  // the lost answer
  ASSERT_EQ(1, host.worker.QueueSetTime(0));
  ASSERT_EQ(1, host.WaitForOperations(3));
  EXPECT_EQ((std::vector<unsigned>{12}), host.TakeUpdates());  // the set failed: no 1
  EXPECT_EQ(kFirstName + L"The tracker did not confirm the date and time; the history was stored first (4 runs stored)",
            host.StatusText());
  ExpectRuns(host.store, kFirst, WalkingTable, kWalkingRuns);
  // A committed transaction may still lie only in the journal; the clock
  // erases the tracker's copy, so the runs must be in the file itself.
  EXPECT_TRUE(InDatabaseFile(host.folder.Path(), "00:1A:7D:DA:71:13"));
}

TEST_P(TrackerWorkerTest, SettingTheClockIsRefusedWhenTheDownloadFails) {
  // The first two downloads are lost: the search's and the set-time's.
  ASSERT_EQ(1, rig->AddTracker(Scenario("00:1A:7D:DA:71:13", "drop CMD_HISTORY 2\n")));
  StartWorker();
  ASSERT_EQ(1, host.WaitForOperations(2));
  host.TakeUpdates();

  ASSERT_EQ(1, host.worker.QueueSetTime(0));
  ASSERT_EQ(1, host.WaitForOperations(3));
  EXPECT_TRUE(host.TakeUpdates().empty());  // nothing posted
  EXPECT_EQ(kFirstName + L"The date and time were not set: the history could not be stored first "
                         L"(The history download did not complete (0 runs stored))",
            host.StatusText());

  // The clock was left alone, so the tracker still holds its history.
  ASSERT_EQ(1, host.worker.QueueHistory(0));
  ASSERT_EQ(1, host.WaitForOperations(4));
  EXPECT_EQ(kFirstName + L"4 runs stored", host.StatusText());
  ExpectRuns(host.store, kFirst, SleepingTable, kSleepingRuns);
}

TEST_P(TrackerWorkerTest, RunsThatCannotBeTimedAreReportedButDoNotKeepTheClockUnset) {
  // A tracker whose clock went wrong heads its walking frame with month 13:
  // no download can ever time those walks, and only setting the clock
  // mends it, so they must not stand in its way.
  Bytes walking, sleeping;
  ASSERT_TRUE(TrackerHistoryGenerator::MakeWalkingFrame(kHeader, Records({0, 5, 0, 0, 0, 0, 0, 7}), walking));
  ASSERT_TRUE(TrackerHistoryGenerator::MakeSleepingFrame(kHeader, SleepStream(), sleeping));
  walking[HISTORY_START_OFFSET + 1] = 13;
  std::string text = "name EI-AN900\nclock 2014-06-01 10:00:00\naddress 00:1A:7D:DA:71:13\n";
  text += HexLine("walking", walking) + HexLine("sleeping", sleeping);
  ASSERT_EQ(1, rig->AddTracker(text));
  StartWorker();
  ASSERT_EQ(1, host.WaitForOperations(2));
  EXPECT_EQ(kFirstName + L"2 runs stored, 2 without a valid start time (not stored)", host.StatusText());
  host.TakeUpdates();

  ASSERT_EQ(1, host.worker.QueueSetTime(0));
  ASSERT_EQ(1, host.WaitForOperations(3));
  EXPECT_EQ((std::vector<unsigned>{12, UpdateDeviceInfo}), host.TakeUpdates());  // the clock was set
  EXPECT_EQ(kFirstName + L"The date and time were set; the history was stored first (2 runs stored; 2 without a "
                         L"valid start time were erased)", host.StatusText());
  ExpectRuns(host.store, kFirst, SleepingTable, kSleepingRuns);
  EXPECT_EQ(0u, RowCount(host.store, L"walking"));
}

TEST_P(TrackerWorkerTest, InfoPageShowsBatteryClockInLocalTimeAndVersions) {
  ASSERT_EQ(1, rig->AddTracker(Scenario("00:1A:7D:DA:71:13",
                                        "hardware 1.2\n"
                                        "reply CMD_QUERY:5 00 08 8E 0E 05 1F\n"
                                        "reply CMD_QUERY:5 17 3B 3A 00\n")));
  StartWorker();
  ASSERT_EQ(1, host.WaitForOperations(2));
  EXPECT_EQ((std::vector<unsigned>{15, 12}), host.TakeUpdates());
  ASSERT_EQ(1, host.worker.QueueDeviceInfo(0));
  ASSERT_EQ(1, host.WaitForOperations(3));

  // 2014-05-31 23:59:58 UTC, shown in local time (Europe/Berlin, summer time).
  const SYSTEMTIME local = {2014, 6, 0, 1, 1, 59, 58, 0};
  WideString date, time;
  ASSERT_EQ(1, FormatDate(date, DATE_SHORTDATE, &local, 0));
  ASSERT_EQ(1, FormatTime(time, 0, &local, 0));
  std::wstring expected = std::wstring(date.CStr()) + L" " + time.CStr();
  EXPECT_EQ(expected, host.InfoText(IDC_INFO_TIME));
  EXPECT_EQ(L"1.2.3", host.InfoText(IDC_INFO_FIRMWARE));
  EXPECT_EQ(L"1.2", host.InfoText(IDC_INFO_HARDWARE));
  EXPECT_EQ(64, host.BatteryPosition());
  EXPECT_TRUE(host.TakeUpdates().empty());  // device information posts nothing

  // A tracker that is not there clears the fields.
  ASSERT_EQ(1, host.worker.QueueDeviceInfo(5));
  ASSERT_EQ(1, host.WaitForOperations(4));
  EXPECT_EQ(L"", host.InfoText(IDC_INFO_TIME));
  EXPECT_EQ(L"", host.InfoText(IDC_INFO_FIRMWARE));
  EXPECT_EQ(L"", host.InfoText(IDC_INFO_HARDWARE));
  EXPECT_EQ(0, host.BatteryPosition());
}

TEST_P(TrackerWorkerTest, LiveTotalsReachTheWindowUntilSwitchedOff) {
  ASSERT_EQ(1, rig->AddTracker(Scenario("00:1A:7D:DA:71:13", "live 12345 42 123\n")));
  StartWorker();
  ASSERT_EQ(1, host.WaitForOperations(2));
  host.TakeUpdates();
  ASSERT_EQ(1, host.worker.QueueLiveTotals(0, 1));
  ASSERT_EQ(1, host.WaitForOperations(3));
  // The first totals go out at once; wait for their post.
  unsigned steps = 0, calories = 0, metres = 0;
  bool posted = false;
  ASSERT_TRUE(PumpUntil(
      [&] {
        for (unsigned flags : host.TakeUpdates()) posted = posted || flags == UpdateLiveTotals;
        return posted;
      },
      20000, host.main));
  ASSERT_EQ(1, host.worker.GetLiveTotals(0, steps, calories, metres));
  EXPECT_GE(steps, 12345u);
  EXPECT_GE(metres, 1230u);
  ASSERT_EQ(1, host.worker.QueueLiveTotals(0, 0));
  ASSERT_EQ(1, host.WaitForOperations(4));
  EXPECT_EQ(L"", host.StatusText());
}

TEST_P(TrackerWorkerTest, LiveTotalsInsideHistoryFramesChangeNoStoredRunAndANewSearchSwitchesThemOff) {
  // Walking goes as 31, 31 and 10 bytes, sleeping as 31 and 9, live totals after each piece.
  ASSERT_EQ(1, rig->AddTracker(Scenario("00:1A:7D:DA:71:13", "notification-size 31\nlive-inside 1\n")));
  StartWorker();
  ASSERT_EQ(1, host.WaitForOperations(2));
  ASSERT_EQ(1, host.worker.QueueLiveTotals(0, 1));
  ASSERT_EQ(1, host.worker.QueueHistory(0));
  ASSERT_EQ(1, host.WaitForOperations(4));
  ExpectRuns(host.store, kFirst, WalkingTable, kWalkingRuns);
  // A search drops the link: the totals must not stream into its download.
  ASSERT_EQ(1, host.worker.QueueSearch());
  ASSERT_EQ(1, host.WaitForOperations(6));
  EXPECT_FALSE(rig->Tracker(0) && rig->Tracker(0)->IsLiveOn());
}

TEST_P(TrackerWorkerTest, RunsThatCannotBeStoredAreReportedAndKeepTheClockUnset) {
  ASSERT_EQ(1, rig->AddTracker(Scenario("00:1A:7D:DA:71:13")));
  StartWorker();
  ASSERT_EQ(1, host.WaitForOperations(2));
  host.TakeUpdates();

  host.store.Close();  // every insert fails from now on
  ASSERT_EQ(1, host.worker.QueueHistory(0));
  ASSERT_EQ(1, host.WaitForOperations(3));
  EXPECT_EQ((std::vector<unsigned>{12}), host.TakeUpdates());
  EXPECT_EQ(kFirstName + L"0 runs stored, 4 could not be stored", host.StatusText());

  ASSERT_EQ(1, host.worker.QueueSetTime(0));
  ASSERT_EQ(1, host.WaitForOperations(4));
  EXPECT_TRUE(host.TakeUpdates().empty());
  EXPECT_EQ(kFirstName + L"The date and time were not set: the history could not be stored first "
                         L"(0 runs stored, 4 could not be stored)",
            host.StatusText());

  // The tracker still holds everything.
  ASSERT_EQ(1, host.store.Open(host.folder.Path().c_str()));
  ASSERT_EQ(1, host.worker.QueueHistory(0));
  ASSERT_EQ(1, host.WaitForOperations(5));
  EXPECT_EQ(kFirstName + L"4 runs stored", host.StatusText());
  ExpectRuns(host.store, kFirst, WalkingTable, kWalkingRuns);
}

TEST_P(TrackerWorkerTest, ATrackerRestsAfterItsDownloadWhileWorkForOthersGoesOn) {
  ASSERT_EQ(1, rig->AddTracker(Scenario("00:1A:7D:DA:71:13")));
  ASSERT_EQ(1, rig->AddTracker(Scenario("C4:4F:33:0A:1B:2C")));
  ManualTickSource ticks;
  host.worker.ticks = &ticks;
  ASSERT_EQ(1, host.Start(rig->Backend(), 600000));  // a rest no test would sit out
  ASSERT_EQ(1, host.WaitForOperations(3));  // the second download did not wait for the first's rest
  EXPECT_EQ((std::vector<unsigned>{15, 12, 12}), host.TakeUpdates());
  // The first tracker downloads and rests anew: its next command waits, and
  // so does the mark that all before it has run; the second's goes on.
  ticks.Advance(600000);
  ASSERT_EQ(1, host.worker.QueueHistory(0));
  ASSERT_EQ(1, host.worker.QueueDeviceInfo(0));
  ASSERT_EQ(1, host.worker.QueueDeviceInfo(1));
  ASSERT_EQ(1, host.worker.QueueHistory(-1));
  ASSERT_EQ(1, host.WaitForOperations(5));
  EXPECT_EQ((std::vector<unsigned>{12}), host.TakeUpdates());  // the download's, not the mark's
  // The rest is over: the first tracker's query, then the mark.
  ticks.Advance(600000);
  ASSERT_EQ(1, host.worker.Wake());
  ASSERT_EQ(1, host.WaitForOperations(7));
  EXPECT_EQ((std::vector<unsigned>{12}), host.TakeUpdates());

  // The clock command does not wait for the rest its download begins.
  ASSERT_EQ(1, host.worker.QueueSetTime(1));
  ASSERT_EQ(1, host.WaitForOperations(8));
  EXPECT_EQ((std::vector<unsigned>{12, UpdateDeviceInfo}), host.TakeUpdates());
}

TEST_P(TrackerWorkerTest, StopCutsTheWaitForALostAnswerShort) {
  // The history answer never comes and a period lasts two minutes: closing
  // the window must not wait for it (the process would keep the database
  // locked against the next start meanwhile).
  ASSERT_EQ(1, rig->AddTracker(Scenario("00:1A:7D:DA:71:13", "drop CMD_HISTORY\n")));
  ASSERT_EQ(1, host.Start(rig->Backend(), 0, 120000));
  ASSERT_EQ(1, host.WaitForOperations(1));  // the search; its download is now waiting
  DWORD before = GetTickCount();
  host.Stop();
  EXPECT_LT(GetTickCount() - before, 60000u);
  EXPECT_EQ(2, host.view->Finished());  // the download still ran to its end
  EXPECT_EQ(0u, RowCount(host.store, L"walking"));
}

TEST_P(TrackerWorkerTest, AnOperationWithoutARowIsRefusedAndTheWorkGoesOn) {
  StartWorker();
  EXPECT_EQ(0, host.worker.Queue(static_cast<TrackerOperation>(OperationSetTime + 1), 0));
  EXPECT_EQ(1, host.worker.Queue(OperationHistory, -1));  // for no tracker: only posts its flags
  ASSERT_EQ(1, host.WaitForOperations(2));                // the search and that one
  EXPECT_EQ((std::vector<unsigned>{15, 12}), host.TakeUpdates());
}

// Work asked for while a search waits for a rest runs after it; the search misses the first tracker and
// renumbers the others: device information is not read from another tracker, a clock set on its own or none.
TEST_P(TrackerWorkerTest, WorkAskedForBeforeASearchRenumbersTheTrackersReachesItsOwnTrackerOrNone) {
  for (const char* at : {"00:1A:7D:DA:71:13", "C4:4F:33:0A:1B:2C", "02:50:4C:54:4E:09"}) rig->AddTracker(Scenario(at));
  ManualTickSource ticks;
  host.worker.ticks = &ticks;
  ASSERT_EQ(1, host.Start(rig->Backend(), 600000));
  ASSERT_EQ(1, host.WaitForOperations(4));  // the search and three downloads: every tracker rests
  rig->FailSubscriptions(1);
  ASSERT_TRUE(host.worker.QueueSearch() && host.worker.QueueDeviceInfo(0, kFirst) &&
              host.worker.QueueSetTime(1, kSecond) && host.worker.QueueSetTime(0, kFirst));
  ticks.Advance(600000);
  ASSERT_EQ(1, host.worker.Wake());
  ASSERT_EQ(1, host.WaitForOperations(7));  // the search and both clocks
  std::vector<std::wstring> outcomes = host.view->Outcomes();
  EXPECT_EQ((std::vector<std::wstring>{L"", L"EI-AN900 [C4:4F:33:0A:1B:2C]: The date and time were set; the history "
                                            L"was stored first (4 runs stored)",
                                       L"00:1A:7D:DA:71:13: The date and time were not set: the search did not find "
                                       L"this tracker again"}),
            std::vector<std::wstring>(outcomes.begin() + 4, outcomes.begin() + 7));
  EXPECT_EQ(L"", host.InfoText(IDC_INFO_FIRMWARE));
  host.Stop();  // before the clock of the rests goes
}
