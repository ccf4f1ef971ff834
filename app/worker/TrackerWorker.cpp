#include "app/worker/TrackerWorker.h"

#include <cstddef>
#include <new>

#include "app/store/ActivityStore.h"
#include "app/tracker/TrackerAnswers.h"
#include "app/tracker/TrackerProtocol.h"
#include "app/tracker/TrackerUpdate.h"
#include "app/worker/TrackerView.h"
#include "ble/GattAdapter.h"
#include "ble/GattCharacteristic.h"
#include "ble/GattDescriptor.h"
#include "ble/GattDevice.h"
#include "ble/GattEnumerator.h"
#include "ble/GattService.h"
#include "core/DateTime.h"
#include "core/StandardError.h"

const wchar_t TRACKER_SERVICE_UUID[] = L"{FC1CFF01-71F1-887F-C5FA-A19B3DCA3230}";
const wchar_t TRACKER_CHARACTERISTIC_UUID[] = L"{FC1CFF08-71F1-887F-C5FA-A19B3DCA3230}";

namespace {

const wchar_t kConfigurationDescriptor[] = L"org.bluetooth.descriptor.gatt.client_characteristic_configuration";

// What kind of work an operation is.
enum OperationTraits : unsigned {
  // Talks to every tracker and renumbers them: waits for every rest and
  // for everything kept aside before it, and holds back what follows.
  ForEveryTracker = 0x1,
  NamesTracker = 0x2,     // the status line begins with the tracker's name
  StoresHistory = 0x4,    // downloads and stores the history: pending until stored (DownloadsPending)
  CountedDownload = 0x8,  // numbered among the downloads queued together: "(tracker 2 of 3)"
  // Queued with the tracker's address: runs for that tracker at whatever
  // index a search since has given it (otherwise an index that now names
  // another tracker drops it).
  FollowsTracker = 0x10,
};

// An operation code that has no row: it only makes the handler run.
const int kLookAgain = -1;

// A code without a row is an operation added to the enumeration but not to
// the table: said where its developer looks, and never run.
void ReportUnknownOperation(int operation) {
  WideString text;
  text.Format(L"Pellton: the tracker worker has no operation %d\n", operation);
  OutputDebugStringW(text.CStr());
  WriteStandardError(text.CStr());
}

// A download's runs into the store under the address of the tracker they
// came from (the decoders name it by its index, which the store does not
// know). Without an address the store refuses each run.
class TrackerRuns : public HistoryRunSink {
public:
  TrackerRuns(ActivityStore& store, const wchar_t* address) : store_(store), address_(address) {}
  int StoreWalkingRun(int, unsigned start, const ByteBuffer& pattern) override {
    return Store(WalkingTable, start, pattern);
  }
  int StoreSleepingRun(int, unsigned start, const ByteBuffer& pattern) override {
    return Store(SleepingTable, start, pattern);
  }
  void BeginRuns() override { store_.BeginRuns(); }
  unsigned EndRuns() override { return store_.EndRuns(); }
  // A run was new or had grown: the tracker's date lists change.
  bool Added() const { return added_; }

private:
  int Store(int table, unsigned start, const ByteBuffer& pattern) {
    bool changed = false;
    const int stored = store_.InsertRun(table, address_, start, pattern, &changed);
    if (stored && changed) added_ = true;
    return stored;
  }

  ActivityStore& store_;
  const wchar_t* address_;
  bool added_ = false;
};

bool IsCompleteFrame(const ByteBuffer& frame, unsigned char code) {
  return IsWholeFrame(frame.data, frame.size, code);
}

// "N runs stored", with the failures and the untimed runs when there were
// any.
void DescribeTally(const HistoryTally& tally, int complete, WideString& text) {
  WideString runs;
  if (tally.failed) {
    runs.Format(L"%u runs stored, %u could not be stored", tally.stored, tally.failed);
  } else {
    runs.Format(L"%u runs stored", tally.stored);
  }
  if (tally.untimed) {
    WideString untimed;
    untimed.Format(L"%s, %u without a valid start time (not stored)", runs.CStr(), tally.untimed);
    runs.Assign(untimed);
  }
  if (complete) {
    text.Assign(runs);
  } else {
    text.Format(L"The history download did not complete (%s)", runs.CStr());
  }
}

}  // namespace

class TrackerWorker::WorkItem : public ListItem {
public:
  WorkItem(int code, int first, int second) : operation(code), argument(first), flag(second) {}
  int operation;
  int argument;        // the tracker index (the search has none)
  int flag;            // live totals: 1 on, 0 off
  WideString address;  // the tracker's address when queued; empty: the index alone
};

struct TrackerWorker::OperationRow {
  TrackerOperation operation;
  const wchar_t* status;  // the status line while it runs
  unsigned traits;        // OperationTraits
  // The status line when the search did not find its tracker again,
  // after the tracker's address (none: nothing is said).
  const wchar_t* gone;
  // Runs it; after: the status line's text for after it (usually empty).
  void (*run)(TrackerWorker& worker, int trackerIndex, int flag, WideString& after);
};

const TrackerWorker::OperationRow TrackerWorker::kOperations[] = {
    {OperationSearch, L"Searching for devices...", ForEveryTracker, nullptr,
     [](TrackerWorker& worker, int, int, WideString& after) { worker.Search(after); }},
    {OperationDeviceInfo, L"Getting device information...", NamesTracker, nullptr,
     [](TrackerWorker& worker, int tracker, int, WideString&) { worker.DeviceInfo(tracker); }},
    {OperationHistory, L"Getting your performance...", NamesTracker | StoresHistory | CountedDownload, nullptr,
     [](TrackerWorker& worker, int tracker, int, WideString& after) { worker.History(tracker, after); }},
    {OperationLiveTotals, L"", 0, nullptr,
     [](TrackerWorker& worker, int tracker, int on, WideString&) { worker.LiveTotals(tracker, on); }},
    {OperationSetTime, L"Setting Date && Time...", NamesTracker | StoresHistory | FollowsTracker,
     L"The date and time were not set: the search did not find this tracker again",
     [](TrackerWorker& worker, int tracker, int, WideString& after) { worker.SetTime(tracker, after); }},
};

const TrackerWorker::OperationRow* TrackerWorker::FindOperation(int operation) {
  for (const OperationRow& row : kOperations) {
    if (row.operation == operation) return &row;
  }
  return nullptr;
}

TrackerWorker::TrackerWorker() { stopping_.Create(Event::ManualReset, Event::StartsUnsignalled); }

TrackerWorker::~TrackerWorker() { Stop(); }

int TrackerWorker::Start(GattBackend* backend, TrackerView* view, ActivityStore* store) {
  if (!backend || !view || enumerator_) return 0;
  enumerator_ = new (std::nothrow) GattEnumerator(backend);
  if (!enumerator_) return 0;
  view_ = view;
  store_ = store;
  stopping_.Reset();
  if (!worker_.Start(&TrackerWorker::Handle, this)) {
    delete enumerator_;
    enumerator_ = nullptr;
    return 0;
  }
  QueueSearch();
  return 1;
}

int TrackerWorker::Stop() {
  stopping_.Set();
  const int stopped = worker_.Stop(timings.stopLimitMs);
  InterlockedExchange(&downloadsPending_, 0);  // the queued ones were dropped
  InterlockedExchange(&downloadRunning_, -1);
  if (!stopped) {
    // Held in a platform call that does not return: the thread may still
    // go on with its links and their characteristics, so they stay.
    abandoned_ = true;
    return 0;
  }
  abandoned_ = false;
  // The links first: each unregisters from a characteristic of the
  // enumeration, which must still be there.
  trackers_.Clear();
  delete enumerator_;
  enumerator_ = nullptr;
  return 1;
}

int TrackerWorker::Queue(TrackerOperation operation, int trackerIndex, int flag, const wchar_t* address) {
  const OperationRow* row = FindOperation(operation);
  if (!row) {
    ReportUnknownOperation(operation);
    return 0;
  }
  return Post(*row, trackerIndex, flag, address, false);
}

int TrackerWorker::Post(const OperationRow& row, int trackerIndex, int flag, const wchar_t* address, bool first) {
  WorkItem* item = new (std::nothrow) WorkItem(row.operation, trackerIndex, flag);
  if (!item) return 0;
  if (address && *address && !item->address.Assign(address)) {
    delete item;
    return 0;
  }
  const bool download = (row.traits & StoresHistory) && trackerIndex >= 0;
  const bool counted = (row.traits & CountedDownload) && trackerIndex >= 0;
  if (download) InterlockedIncrement(&downloadsPending_);
  if (counted) InterlockedIncrement(&downloadsQueued_);  // before it can run
  if (first ? worker_.PostFirst(item) : worker_.Post(item)) return 1;
  if (download) InterlockedDecrement(&downloadsPending_);
  if (counted) InterlockedDecrement(&downloadsQueued_);
  delete item;
  return 0;
}

int TrackerWorker::DownloadsPending(int* runningTracker) const {
  if (runningTracker) *runningTracker = downloadRunning_;
  return downloadsPending_;
}

void TrackerWorker::DownloadEnded(int trackerIndex) {
  if (trackerIndex < 0 || downloadRunning_ < 0) return;
  InterlockedExchange(&downloadRunning_, -1);
  InterlockedDecrement(&downloadsPending_);
}

int TrackerWorker::QueueSearch() { return Queue(OperationSearch, 0); }
int TrackerWorker::QueueDeviceInfo(int trackerIndex, const wchar_t* address) {
  return Queue(OperationDeviceInfo, trackerIndex, 0, address);
}
int TrackerWorker::QueueDeviceInfoNext(int trackerIndex, const wchar_t* address) {
  return Post(*FindOperation(OperationDeviceInfo), trackerIndex, 0, address, true);
}
int TrackerWorker::QueueHistory(int trackerIndex) { return Queue(OperationHistory, trackerIndex); }
int TrackerWorker::QueueLiveTotals(int trackerIndex, int on, const wchar_t* address) {
  return Queue(OperationLiveTotals, trackerIndex, on, address);
}
int TrackerWorker::QueueSetTime(int trackerIndex, const wchar_t* address) {
  return Queue(OperationSetTime, trackerIndex, 0, address);
}

int TrackerWorker::Pause(DWORD milliseconds) { return milliseconds == 0 || !stopping_.Wait(milliseconds); }

int TrackerWorker::Wake() {
  WorkItem* item = new (std::nothrow) WorkItem(kLookAgain, -1, 0);
  if (!item) return 0;
  if (worker_.Post(item)) return 1;
  delete item;
  return 0;
}

unsigned long long TrackerWorker::Ticks() { return (ticks ? ticks : &systemTicks_)->Milliseconds(); }

bool TrackerWorker::Resting(TrackerLink& link) { return link.restUntil > Ticks(); }

int TrackerWorker::TrackerFor(const Waiting& work) {
  if (work.address.IsEmpty()) return work.argument;
  WideString address;
  if (trackers_.GetTrackerAddress(work.argument, address) && address == work.address.CStr()) return work.argument;
  if (!(work.row->traits & FollowsTracker)) return kTrackerGone;
  int index = 0;
  for (TrackerLink* link = trackers_.FindTracker(0); link; link = trackers_.FindTracker(++index)) {
    if (trackers_.GetTrackerAddress(index, address) && address == work.address.CStr()) return index;
  }
  return kTrackerGone;
}

void TrackerWorker::Drop(const Waiting& work) {
  const OperationRow& row = *work.row;
  // Post counted it by the index it was queued with.
  if ((row.traits & StoresHistory) && work.argument >= 0) InterlockedDecrement(&downloadsPending_);
  if ((row.traits & CountedDownload) && work.argument >= 0) InterlockedDecrement(&downloadsQueued_);
  if (!row.gone) return;
  WideString text;
  text.Format(L"%s: %s", work.address.CStr(), row.status);
  view_->OperationBegan(text.CStr());
  text.Format(L"%s: %s", work.address.CStr(), row.gone);
  view_->OperationEnded(text.CStr());
}

bool TrackerWorker::MustWait(const Waiting& work, size_t earlier) {
  const OperationRow& row = *work.row;
  const int argument = TrackerFor(work);
  if (row.traits & ForEveryTracker) {
    if (earlier > 0) return true;
    int index = 0;
    for (TrackerLink* link = trackers_.FindTracker(0); link; link = trackers_.FindTracker(++index)) {
      if (Resting(*link)) return true;
    }
    return false;
  }
  // For no tracker, or one that is gone: after everything queued before it.
  TrackerLink* link = trackers_.FindTracker(argument);
  if (!link) return earlier > 0;
  if (Resting(*link)) return true;
  for (size_t i = 0; i < earlier; ++i) {
    const Waiting& before = waiting_[i];
    const int theirs = TrackerFor(before);
    if ((before.row->traits & ForEveryTracker) || theirs == argument || !trackers_.FindTracker(theirs)) {
      return true;
    }
  }
  return false;
}

void TrackerWorker::RunWaiting() {
  for (size_t i = 0; i < waiting_.size() && !stopping_.Wait(0);) {
    if (MustWait(waiting_[i], i)) {
      ++i;
      continue;
    }
    Waiting ready = waiting_[i];
    waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(i));
    Run(ready);
    i = 0;  // what it did (a download begins a rest) may hold back the others
  }
  TickSource& clock = ticks ? *ticks : systemTicks_;
  if (waiting_.empty() || !clock.MovesByItself()) return;
  unsigned long long now = clock.Milliseconds(), next = ~0ULL;
  int index = 0;
  for (TrackerLink* link = trackers_.FindTracker(0); link; link = trackers_.FindTracker(++index)) {
    if (link->restUntil > now && link->restUntil < next) next = link->restUntil;
  }
  if (next != ~0ULL) worker_.WakeAfter(static_cast<DWORD>(next - now < 0x7FFFFFFF ? next - now : 0x7FFFFFFF));
}

DWORD TrackerWorker::Handle(int phase, ListItem* item, void* self) {
  TrackerWorker& worker = *static_cast<TrackerWorker*>(self);
  if (phase == PhaseEnd) {
    worker.SwitchLiveTotalsOff();
    worker.waiting_.clear();  // dropped unrun, as the queued ones are
    return 1;
  }
  // Operations kept aside go first: they were queued before this one.
  worker.RunWaiting();
  if (phase != PhaseItem || !item) return 1;
  WorkItem& work = *static_cast<WorkItem*>(item);
  // A look again has no row: it only made the handler run. Queue lets no
  // other code without a row through.
  if (work.operation != kLookAgain) {
    const OperationRow* row = FindOperation(work.operation);
    if (!row) {
      ReportUnknownOperation(work.operation);
    } else {
      Waiting taken{row, work.argument, work.flag, work.address};
      if (worker.MustWait(taken, worker.waiting_.size())) {
        worker.waiting_.push_back(taken);
      } else {
        worker.Run(taken);
      }
    }
  }
  worker.RunWaiting();
  return 1;
}

void TrackerWorker::Run(const Waiting& work) {
  const OperationRow& row = *work.row;
  const int argument = TrackerFor(work);
  if (argument == kTrackerGone) {
    Drop(work);
    return;
  }
  // With several trackers the line must say whose work it shows.
  TrackerLink* link = (row.traits & NamesTracker) ? trackers_.FindTracker(argument) : nullptr;
  WideString text, counted;
  if ((row.traits & CountedDownload) && argument >= 0) {
    LONG left = InterlockedDecrement(&downloadsQueued_);
    unsigned number = ++downloadsBegun_;
    unsigned total = number + static_cast<unsigned>(left > 0 ? left : 0);
    if (total > 1) counted.Format(L" (tracker %u of %u)", number, total);
  }
  if (link) {
    text.Format(L"%s: %s%s", link->displayText.CStr(), row.status, counted.CStr());
  } else {
    text.Assign(row.status);
  }
  TrackerView& view = *view_;
  view.OperationBegan(text.CStr());
  WideString after;
  const bool download = (row.traits & StoresHistory) && argument >= 0;
  if (download) InterlockedExchange(&downloadRunning_, argument);
  row.run(*this, argument, work.flag, after);
  if (download) DownloadEnded(argument);
  if (link && !after.IsEmpty()) {
    text.Format(L"%s: %s", link->displayText.CStr(), after.CStr());
    after.Assign(text);
  }
  // With no download queued, the next one begins a new count.
  if (InterlockedCompareExchange(&downloadsQueued_, 0, 0) <= 0) downloadsBegun_ = 0;
  view.OperationEnded(after.CStr());
}

// ------------------------------------------------------------ operation 0

void TrackerWorker::Search(WideString&) {
  TrackerView& view = *view_;
  view.SearchBegan();
  SwitchLiveTotalsOff();
  trackers_.Clear();
  enumerator_->Enumerate(0);

  for (ListItem* a = enumerator_->adapters.First(); a; a = enumerator_->adapters.Next(a)) {
    GattAdapter* adapter = static_cast<GattAdapter*>(a);
    for (ListItem* d = adapter->devices.First(); d; d = adapter->devices.Next(d)) {
      GattDevice* device = static_cast<GattDevice*>(d);
      GattService* service = device->FindService(TRACKER_SERVICE_UUID);
      GattCharacteristic* characteristic = service ? service->FindCharacteristic(TRACKER_CHARACTERISTIC_UUID) : nullptr;
      GattDescriptor* configuration = characteristic ? characteristic->FindDescriptor(kConfigurationDescriptor) : nullptr;
      if (!configuration || !characteristic->record.IsNotifiable) continue;
      BTH_LE_GATT_DESCRIPTOR_VALUE subscription = GattDescriptor::NotificationSubscription();
      if (!configuration->Write(&subscription)) continue;

      TrackerLink* link = new (std::nothrow) TrackerLink;
      if (!link) continue;
      // Settled before the handler is registered: a notification may
      // arrive on its thread at once.
      link->ownerWindow = view.UpdateWindow();
      link->historyPeriodMs = timings.historyPeriodMs;
      link->cancelEvent = stopping_.Handle();  // Stop ends waits for answers
      link->Attach(characteristic);  // its result is not judged: the commands show whether it hears
      WideString address;
      device->GetAddressText(address);
      link->displayText.Format(L"%s [%s]", device->name.CStr(), address.CStr());

      link->SendSetUp(timings.commandTimeoutMs);  // the results are not judged
      if (!trackers_.Append(link)) delete link;
    }
  }

  std::vector<WideString> names;
  int index = 0;
  for (TrackerLink* link = trackers_.FindTracker(0); link; link = trackers_.FindTracker(++index)) {
    names.push_back(link->displayText);
    QueueHistory(index);
  }
  {
    SectionLock hold(summaryLock_);
    outcomes_.assign(static_cast<size_t>(index), WideString());
    downloaded_.assign(static_cast<size_t>(index), false);
    for (int i = 0; i < index; ++i) {
      outcomes_[i].Format(L"%s: the history was not downloaded", trackers_.FindTracker(i)->displayText.CStr());
    }
  }
  view.SearchEnded(names);
  view.PostUpdate(UpdateDeviceInfo | UpdateLiveTotals | UpdateWalking | UpdateSleeping);
}

void TrackerWorker::Summary(TrackerRunSummary& out) {
  SectionLock hold(summaryLock_);
  out = TrackerRunSummary();
  out.found = static_cast<unsigned>(outcomes_.size());
  for (size_t i = 0; i < outcomes_.size(); ++i) {
    if (downloaded_[i]) {
      ++out.downloaded;
    } else {
      out.problems.Append(outcomes_[i]);
      out.problems.Append(L"\n");
    }
  }
}

// ------------------------------------------------------------ operation 1

void TrackerWorker::DeviceInfo(int trackerIndex) {
  TrackerView& view = *view_;
  struct DeviceInfo info;  // the facts (this operation has the same name)
  view.ShowDeviceInfo(info);  // nothing known yet
  TrackerLink* link = trackers_.FindTracker(trackerIndex);
  if (!link || !Pause(timings.beforeQueriesMs)) return;

  ByteBuffer response;
  unsigned char selector = QUERY_BATTERY;
  unsigned battery;
  if (link->SendCommand(CMD_QUERY, &selector, 1, RSP_BATTERY, response, timings.commandTimeoutMs) &&
      ParseBatteryAnswer(response.data, response.size, battery)) {
    info.battery = static_cast<int>(battery);
    view.ShowDeviceInfo(info);
  }

  selector = QUERY_CLOCK;
  TrackerTime clock;
  if (link->SendCommand(CMD_QUERY, &selector, 1, RSP_TIME, response, timings.commandTimeoutMs) &&
      ParseTimeAnswer(response.data, response.size, clock)) {
    SYSTEMTIME utc = {};
    utc.wYear = static_cast<WORD>(clock.year);
    utc.wMonth = static_cast<WORD>(clock.month);
    utc.wDay = static_cast<WORD>(clock.day);
    utc.wHour = static_cast<WORD>(clock.hour);
    utc.wMinute = static_cast<WORD>(clock.minute);
    utc.wSecond = static_cast<WORD>(clock.second);
    info.clock = utc;
    info.clockKnown = true;
    view.ShowDeviceInfo(info);
  }

  selector = QUERY_VERSIONS;
  TrackerVersions versions;
  if (link->SendCommand(CMD_QUERY, &selector, 1, RSP_VERSION, response, timings.commandTimeoutMs) &&
      ParseVersionAnswer(response.data, response.size, versions)) {
    WideString firmware;
    for (const char* c = versions.firmware; *c; ++c) firmware.AppendByte(static_cast<unsigned char>(*c));
    info.firmware = firmware;
    info.hardwareMajor = versions.hardwareMajor;
    info.hardwareMinor = versions.hardwareMinor;
    info.hardwareKnown = true;
    view.ShowDeviceInfo(info);
  }
}

// ------------------------------------------------------------ operations 2 and 4

int TrackerWorker::DownloadHistory(TrackerLink& link, int trackerIndex, HistoryTally& tally, int& complete,
                                   bool* added) {
  if (added) *added = false;
  {
    // Only frames of this download count (and are decoded).
    SectionLock hold(link.lock);
    BufferClear(link.walkingFrame);
    BufferClear(link.sleepingFrame);
  }
  ByteBuffer response;
  int sent = link.SendCommand(CMD_HISTORY, nullptr, 0, RSP_SLEEPING, response, timings.commandTimeoutMs);
  complete = 0;
  if (!sent) return 0;
  ByteBuffer walking, sleeping;
  {
    SectionLock hold(link.lock);
    BufferCopy(walking, link.walkingFrame);
    BufferCopy(sleeping, link.sleepingFrame);
  }
  complete = IsCompleteFrame(walking, RSP_WALKING) && IsCompleteFrame(sleeping, RSP_SLEEPING);
  if (store_) {
    WideString address;
    trackers_.GetTrackerAddress(trackerIndex, address);
    TrackerRuns runs(*store_, address.CStr());
    runs.BeginRuns();
    DecodeWalkingHistory(trackerIndex, walking, runs, &tally);
    DecodeSleepingHistory(trackerIndex, sleeping, runs, &tally);
    unsigned lost = runs.EndRuns();
    // Runs taken back may still have changed what is stored before them.
    if (added) *added = runs.Added();
    lost = lost < tally.stored ? lost : tally.stored;
    tally.stored -= lost;
    tally.failed += lost;
  } else if (walking.size || sleeping.size) {
    ++tally.failed;  // nowhere to store them
  }
  return complete && tally.failed == 0;
}

void TrackerWorker::History(int trackerIndex, WideString& after) {
  TrackerLink* link = trackers_.FindTracker(trackerIndex);
  if (!link) {
    DownloadEnded(trackerIndex);
    view_->PostRunsStored(trackerIndex, false);
    return;
  }
  HistoryTally tally;
  int complete = 0;
  bool added = false;
  const int stored = DownloadHistory(*link, trackerIndex, tally, complete, &added);
  DescribeTally(tally, complete, after);
  {
    SectionLock hold(summaryLock_);
    if (static_cast<size_t>(trackerIndex) < outcomes_.size()) {
      downloaded_[trackerIndex] = stored != 0;
      outcomes_[trackerIndex].Format(L"%s: %s", link->displayText.CStr(), after.CStr());
    }
  }
  DownloadEnded(trackerIndex);  // before the window hears of it
  view_->PostRunsStored(trackerIndex, added);
  // The tracker's next command waits for its rest; others need not.
  link->restUntil = Ticks() + timings.afterHistoryMs;
}

void TrackerWorker::SetTime(int trackerIndex, WideString& after) {
  TrackerLink* link = trackers_.FindTracker(trackerIndex);
  if (!link) return;
  // The tracker forgets its history when its clock is set: store it first.
  HistoryTally tally;
  int complete = 0;
  int downloaded = DownloadHistory(*link, trackerIndex, tally, complete);
  // The tracker rests after the download, but the clock command cannot
  // wait: whatever the tracker records until it arrives is erased unsaved.
  link->restUntil = Ticks() + timings.afterHistoryMs;
  WideString runs;
  if (!downloaded) {
    DescribeTally(tally, complete, runs);
    after.Format(L"The date and time were not set: the history could not be stored first (%s)", runs.CStr());
    return;
  }
  // Committed is not yet on the disk: a power cut after the clock is set
  // would lose the runs in both places.
  if (tally.stored > 0 && store_ && !store_->SecureRuns()) {
    after.Assign(L"The date and time were not set: the history could not be written to the disk");
    return;
  }
  view_->PostUpdate(UpdateWalking | UpdateSleeping);

  SYSTEMTIME now;
  Now(now, 1);
  unsigned char data[7] = {static_cast<unsigned char>(now.wYear - 2000), static_cast<unsigned char>(now.wMonth),
                           static_cast<unsigned char>(now.wDay),          static_cast<unsigned char>(now.wHour),
                           static_cast<unsigned char>(now.wMinute),       static_cast<unsigned char>(now.wSecond),
                           SET_TIME_CONSTANT};
  ByteBuffer response;
  int set = link->SendCommand(CMD_SET_TIME, data, sizeof data, RSP_ACK, response, timings.commandTimeoutMs);
  if (set) view_->PostUpdate(UpdateDeviceInfo);

  // Runs without a valid start time could not be stored; when the clock
  // was set they went with the tracker's history.
  runs.Format(L"%u runs stored", tally.stored);
  if (tally.untimed) {
    WideString untimed;
    untimed.Format(set ? L"%s; %u without a valid start time were erased"
                       : L"%s; %u without a valid start time (not stored)",
                   runs.CStr(), tally.untimed);
    runs.Assign(untimed);
  }
  after.Format(set ? L"The date and time were set; the history was stored first (%s)"
                   : L"The tracker did not confirm the date and time; the history was stored first (%s)",
               runs.CStr());
}

// ------------------------------------------------------------ operation 3

void TrackerWorker::LiveTotals(int trackerIndex, int on) {
  TrackerLink* link = trackers_.FindTracker(trackerIndex);
  if (!link) return;
  unsigned char flag = on == 1 ? 1 : 0;
  ByteBuffer response;
  int sent = link->SendCommand(CMD_LIVE, &flag, 1, flag ? 0 : RSP_ACK, response, timings.commandTimeoutMs);
  // An "off" left unanswered may not have been heard: it is sent again
  // before the link goes.
  if (sent) link->liveTotalsOn = flag != 0;
}

void TrackerWorker::SwitchLiveTotalsOff() {
  int index = 0;
  for (TrackerLink* link = trackers_.FindTracker(0); link; link = trackers_.FindTracker(++index)) {
    if (link->liveTotalsOn) LiveTotals(index, 0);
  }
}
