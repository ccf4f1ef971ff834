#include "app/worker/TrackerWorker.h"

#include <cstddef>
#include <new>

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

const wchar_t TRACKER_SERVICE_UUID[] = L"{FC1CFF01-71F1-887F-C5FA-A19B3DCA3230}";
const wchar_t TRACKER_CHARACTERISTIC_UUID[] = L"{FC1CFF08-71F1-887F-C5FA-A19B3DCA3230}";

namespace {

const wchar_t kConfigurationDescriptor[] = L"org.bluetooth.descriptor.gatt.client_characteristic_configuration";

const int kInfoTime = 1012;
const int kInfoFirmware = 1013;
const int kInfoHardware = 1015;

const wchar_t* const kStatusTexts[] = {
    L"Searching for devices...",       L"Getting device information...", L"Getting your performance...", L"",
    L"Setting Date && Time...",
};

bool IsCompleteFrame(const ByteBuffer& frame, unsigned char code) {
  return frame.size >= FRAME_HEADER_SIZE && frame.data[2] == code && frame.size == DeclaredFrameSize(frame.data);
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
  int argument;  // the tracker index for operations 1 to 4
  int flag;      // operation 3: 1 on, 0 off
};

TrackerWorker::TrackerWorker() { stopping_.Create(Event::ManualReset, Event::StartsUnsignalled); }

TrackerWorker::~TrackerWorker() { Stop(); }

int TrackerWorker::Start(GattBackend* backend, TrackerView* view, HistoryRunSink* runs) {
  if (!backend || !view || enumerator_) return 0;
  enumerator_ = new (std::nothrow) GattEnumerator(backend);
  if (!enumerator_) return 0;
  view_ = view;
  runs_ = runs;
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

int TrackerWorker::Queue(int operation, int first, int second) {
  WorkItem* item = new (std::nothrow) WorkItem(operation, first, second);
  if (!item) return 0;
  const bool download = (operation == OperationHistory || operation == OperationSetTime) && first >= 0;
  if (download) InterlockedIncrement(&downloadsPending_);
  if (worker_.Post(item)) return 1;
  if (download) InterlockedDecrement(&downloadsPending_);
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

int TrackerWorker::QueueSearch() { return Queue(OperationSearch, 0, 0); }
int TrackerWorker::QueueDeviceInfo(int trackerIndex) { return Queue(OperationDeviceInfo, trackerIndex, 0); }
int TrackerWorker::QueueDeviceInfoNext(int trackerIndex) {
  WorkItem* item = new (std::nothrow) WorkItem(OperationDeviceInfo, trackerIndex, 0);
  if (!item) return 0;
  if (worker_.PostFirst(item)) return 1;
  delete item;
  return 0;
}
int TrackerWorker::QueueHistory(int trackerIndex) {
  if (trackerIndex < 0) return Queue(OperationHistory, trackerIndex, 0);
  InterlockedIncrement(&downloadsQueued_);  // before it can run
  if (Queue(OperationHistory, trackerIndex, 0)) return 1;
  InterlockedDecrement(&downloadsQueued_);
  return 0;
}
int TrackerWorker::QueueLiveTotals(int trackerIndex, int on) { return Queue(OperationLiveTotals, trackerIndex, on); }
int TrackerWorker::QueueSetTime(int trackerIndex) { return Queue(OperationSetTime, trackerIndex, 0); }

int TrackerWorker::Pause(DWORD milliseconds) { return milliseconds == 0 || !stopping_.Wait(milliseconds); }

// An operation code no operation has: it only makes the handler run.
const int kLookAgain = -1;

int TrackerWorker::Wake() { return Queue(kLookAgain, -1, 0); }

unsigned long long TrackerWorker::Ticks() { return (ticks ? ticks : &systemTicks_)->Milliseconds(); }

bool TrackerWorker::Resting(TrackerLink& link) { return link.restUntil > Ticks(); }

bool TrackerWorker::MustWait(int operation, int argument, size_t earlier) {
  if (operation == OperationSearch) {
    if (earlier > 0) return true;
    int index = 0;
    for (TrackerLink* link = trackers_.FindTracker(0); link; link = trackers_.FindTracker(++index)) {
      if (Resting(*link)) return true;
    }
    return false;
  }
  TrackerLink* link = trackers_.FindTracker(argument);
  if (!link) return earlier > 0;  // for no tracker: after everything queued before it
  if (Resting(*link)) return true;
  for (size_t i = 0; i < earlier; ++i) {
    const Waiting& before = waiting_[i];
    if (before.operation == OperationSearch || before.argument == argument ||
        !trackers_.FindTracker(before.argument)) {
      return true;
    }
  }
  return false;
}

void TrackerWorker::RunWaiting() {
  for (size_t i = 0; i < waiting_.size() && !stopping_.Wait(0);) {
    if (MustWait(waiting_[i].operation, waiting_[i].argument, i)) {
      ++i;
      continue;
    }
    Waiting ready = waiting_[i];
    waiting_.erase(waiting_.begin() + static_cast<std::ptrdiff_t>(i));
    Run(ready.operation, ready.argument, ready.flag);
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
  // Any other operation code (the look again included) is skipped.
  if (work.operation >= OperationSearch && work.operation <= OperationSetTime) {
    if (worker.MustWait(work.operation, work.argument, worker.waiting_.size())) {
      worker.waiting_.push_back({work.operation, work.argument, work.flag});
    } else {
      worker.Run(work.operation, work.argument, work.flag);
    }
  }
  worker.RunWaiting();
  return 1;
}

void TrackerWorker::Run(int operation, int argument, int flag) {
  // With several trackers the line must say whose work it shows.
  TrackerLink* link = operation == OperationSearch || operation == OperationLiveTotals
                          ? nullptr
                          : trackers_.FindTracker(argument);
  WideString text, counted;
  if (operation == OperationHistory && argument >= 0) {
    LONG left = InterlockedDecrement(&downloadsQueued_);
    unsigned number = ++downloadsBegun_;
    unsigned total = number + static_cast<unsigned>(left > 0 ? left : 0);
    if (total > 1) counted.Format(L" (tracker %u of %u)", number, total);
  }
  if (link) {
    text.Format(L"%s: %s%s", link->displayText.CStr(), kStatusTexts[operation], counted.CStr());
  } else {
    text.Assign(kStatusTexts[operation]);
  }
  TrackerView& view = *view_;
  view.EnableSearch(0);
  view.SetStatus(text.CStr());
  WideString after;
  switch (operation) {
    case OperationSearch:
      Search(after);
      break;
    case OperationDeviceInfo:
      DeviceInfo(argument);
      break;
    case OperationHistory:
      if (argument >= 0) InterlockedExchange(&downloadRunning_, argument);
      History(argument, after);
      DownloadEnded(argument);
      break;
    case OperationLiveTotals:
      LiveTotals(argument, flag);
      break;
    case OperationSetTime:
      if (argument >= 0) InterlockedExchange(&downloadRunning_, argument);
      SetTime(argument, after);
      DownloadEnded(argument);
      break;
  }
  if (link && !after.IsEmpty()) {
    text.Format(L"%s: %s", link->displayText.CStr(), after.CStr());
    after.Assign(text);
  }
  // With no download queued, the next one begins a new count.
  if (InterlockedCompareExchange(&downloadsQueued_, 0, 0) <= 0) downloadsBegun_ = 0;
  view.EnableSearch(1);
  view.SetStatus(after.CStr());
}

// ------------------------------------------------------------ operation 0

void TrackerWorker::Search(WideString&) {
  TrackerView& view = *view_;
  view.EnableDeviceList(0);
  SwitchLiveTotalsOff();
  trackers_.Clear();
  enumerator_->Enumerate(0);
  view.ClearDeviceList();
  view.AddDevice(L"Searching for Samsung EI-AN900 devices", -1, TrackerIcon);
  view.SelectDevice(0);

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

  view.RemoveDevice(0);
  int index = 0;
  for (TrackerLink* link = trackers_.FindTracker(0); link; link = trackers_.FindTracker(++index)) {
    view.AddDevice(link->displayText.CStr(), index, TrackerIcon);
    QueueHistory(index);
  }
  if (index == 0) view.AddDevice(L"No Samsung EI-AN900 found", -1, TrackerIcon);
  {
    SectionLock hold(summaryLock_);
    outcomes_.assign(static_cast<size_t>(index), WideString());
    downloaded_.assign(static_cast<size_t>(index), false);
    for (int i = 0; i < index; ++i) {
      outcomes_[i].Format(L"%s: the history was not downloaded", trackers_.FindTracker(i)->displayText.CStr());
    }
  }
  view.SelectDevice(0);
  view.EnableDeviceList(1);
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
  view.SetBattery(0);
  view.SetInfoText(kInfoTime, L"");
  view.SetInfoText(kInfoFirmware, L"");
  view.SetInfoText(kInfoHardware, L"");
  TrackerLink* link = trackers_.FindTracker(trackerIndex);
  if (!link || !Pause(timings.beforeQueriesMs)) return;

  ByteBuffer response;
  unsigned char selector = QUERY_BATTERY;
  if (link->SendCommand(CMD_QUERY, &selector, 1, RSP_BATTERY, response, timings.commandTimeoutMs) &&
      response.size == BATTERY_FRAME_SIZE) {
    view.SetBattery(response.data[3]);
  }

  selector = QUERY_CLOCK;
  if (link->SendCommand(CMD_QUERY, &selector, 1, RSP_TIME, response, timings.commandTimeoutMs) &&
      response.size == TIME_FRAME_SIZE) {
    SYSTEMTIME utc = {};
    utc.wYear = static_cast<WORD>(response.data[3] + 2000);
    utc.wMonth = response.data[4];
    utc.wDay = response.data[5];
    utc.wHour = response.data[6];
    utc.wMinute = response.data[7];
    utc.wSecond = response.data[8];
    SYSTEMTIME local;
    WideString date, time, text;
    // A clock that is no valid time leaves the field empty.
    if (CopyTime(local, &utc, 1) && FormatDate(date, DATE_SHORTDATE, &local, 0) && FormatTime(time, 0, &local, 0) &&
        text.Format(L"%s %s", date.CStr(), time.CStr())) {
      view.SetInfoText(kInfoTime, text.CStr());
    }
  }

  selector = QUERY_VERSIONS;
  if (link->SendCommand(CMD_QUERY, &selector, 1, RSP_VERSION, response, timings.commandTimeoutMs) &&
      response.size == VERSION_FRAME_SIZE) {
    WideString firmware;
    for (unsigned i = 0; i < FIRMWARE_TEXT_MAX && response.data[5 + i] != 0; ++i) firmware.AppendByte(response.data[5 + i]);
    WideString hardware;
    hardware.Format(L"%u.%u", response.data[3], response.data[4]);
    view.SetInfoText(kInfoFirmware, firmware.CStr());
    view.SetInfoText(kInfoHardware, hardware.CStr());
  }
}

// ------------------------------------------------------------ operations 2 and 4

int TrackerWorker::DownloadHistory(TrackerLink& link, int trackerIndex, HistoryTally& tally, int& complete) {
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
  if (runs_) {
    runs_->BeginRuns();
    DecodeWalkingHistory(trackerIndex, walking, *runs_, &tally);
    DecodeSleepingHistory(trackerIndex, sleeping, *runs_, &tally);
    unsigned lost = runs_->EndRuns();
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
    view_->PostUpdate(UpdateWalking | UpdateSleeping);
    return;
  }
  HistoryTally tally;
  int complete = 0;
  const int stored = DownloadHistory(*link, trackerIndex, tally, complete);
  DescribeTally(tally, complete, after);
  {
    SectionLock hold(summaryLock_);
    if (static_cast<size_t>(trackerIndex) < outcomes_.size()) {
      downloaded_[trackerIndex] = stored != 0;
      outcomes_[trackerIndex].Format(L"%s: %s", link->displayText.CStr(), after.CStr());
    }
  }
  DownloadEnded(trackerIndex);  // before the window hears of it
  view_->PostUpdate(UpdateWalking | UpdateSleeping);
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
  if (tally.stored > 0 && runs_ && !runs_->SecureRuns()) {
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
