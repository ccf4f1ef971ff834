#include "app/simulation/SimulatedTracker.h"

#include <algorithm>
#include <cstring>

#include "app/tracker/TrackerAnswers.h"
#include "app/tracker/TrackerTime.h"
#include "core/DateTime.h"

namespace {

long long PcUtcSeconds() {
  SYSTEMTIME now;
  Now(now, 1);
  return ToUnixTime(now);
}

Bytes Frame(unsigned char code, const unsigned char* payload, unsigned payloadLength) {
  Bytes frame(FRAME_HEADER_SIZE + payloadLength);
  PutFrameHeader(frame.data(), code, frame.size());
  if (payloadLength) memcpy(frame.data() + FRAME_HEADER_SIZE, payload, payloadLength);
  return frame;
}

}  // namespace

SimulatedTracker::SimulatedTracker() : ticks_(&systemTicks_) {
  wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  idle_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  released_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Configure(scenario_);
}

SimulatedTracker::~SimulatedTracker() {
  {
    SectionLock hold(stateLock_);
    stopping_ = true;
    if (wake_) SetEvent(wake_);
    if (released_) SetEvent(released_);
  }
  if (thread_) WaitForSingleObject(thread_, INFINITE);
}

int SimulatedTracker::Configure(const TrackerScenario& scenario) {
  SectionLock hold(stateLock_);
  if (&scenario != &scenario_) scenario_ = scenario;
  tickBase_ = Ticks();
  clockBase_ = scenario_.hasClock ? scenario_.clock : PcUtcSeconds();

  HistoryTotals today;
  TrackerHistoryGenerator generator(scenario_.seed);
  if (!generator.Generate(clockBase_, scenario_.days, walking_, sleeping_, &today)) {
    // a clock outside the tracker's years: nothing recorded
    TrackerHistoryGenerator::MakeWalkingFrame(clockBase_, Bytes(), walking_);
    TrackerHistoryGenerator::MakeSleepingFrame(clockBase_, Bytes(), sleeping_);
  }
  if (scenario_.hasWalking) walking_ = scenario_.walking;
  if (scenario_.hasSleeping) sleeping_ = scenario_.sleeping;
  live_ = scenario_.hasLive ? scenario_.live : today;
  liveAdded_ = 0;
  liveRandom_ = scenario_.seed * 2246822519u + 0x165667B1u;
  if (liveRandom_ == 0) liveRandom_ = 1;
  liveOn_ = false;
  commandsReceived_ = 0;
  notificationsSent_ = 0;
  queue_.clear();
  unitPieces_ = 0;
  liveInsideSent_ = false;
  if (wake_) SetEvent(wake_);
  return 1;
}

void SimulatedTracker::SetTickSource(TickSource* ticks) {
  SectionLock hold(stateLock_);
  long long clock = GetClock();
  unsigned long long old = Ticks();
  ticks_ = ticks ? ticks : &systemTicks_;
  unsigned long long now = Ticks();
  // Keep what is already planned at the same distance from now.
  for (Outgoing& item : queue_) item.due = item.due > old ? now + (item.due - old) : now;
  liveDue_ = liveDue_ > old ? now + (liveDue_ - old) : now;
  clockBase_ = clock;
  tickBase_ = now;
  if (idle_) ResetEvent(idle_);
  if (wake_) SetEvent(wake_);
}

void SimulatedTracker::Wake() {
  SectionLock hold(stateLock_);
  if (idle_) ResetEvent(idle_);
  if (wake_) SetEvent(wake_);
}

int SimulatedTracker::WaitUntilIdle(DWORD timeoutMs) {
  {
    SectionLock hold(stateLock_);
    if (!thread_) return 1;  // nobody listens: nothing is ever sent
  }
  return WaitForSingleObject(idle_, timeoutMs) == WAIT_OBJECT_0;
}

unsigned long long SimulatedTracker::Ticks() const { return ticks_->Milliseconds(); }

void SimulatedTracker::GetHeldHistory(Bytes& walking, Bytes& sleeping) const {
  SectionLock hold(stateLock_);
  walking = walking_;
  sleeping = sleeping_;
}

long long SimulatedTracker::GetClock() const {
  SectionLock hold(stateLock_);
  unsigned long long now = Ticks();
  return clockBase_ + static_cast<long long>((now - tickBase_) / 1000);
}

bool SimulatedTracker::IsLiveOn() const {
  SectionLock hold(stateLock_);
  return liveOn_;
}

unsigned SimulatedTracker::CommandsReceived() const {
  SectionLock hold(stateLock_);
  return commandsReceived_;
}

std::vector<Bytes> SimulatedTracker::ReceivedCommands() const {
  SectionLock hold(stateLock_);
  return std::vector<Bytes>(received_.begin(), received_.end());
}

unsigned long long SimulatedTracker::NotificationsSent() const {
  SectionLock hold(stateLock_);
  return notificationsSent_;
}

int SimulatedTracker::GetDeviceAddress(unsigned char address[6]) const {
  SectionLock hold(stateLock_);
  memcpy(address, scenario_.address, sizeof scenario_.address);
  return 1;
}

void SimulatedTracker::GetName(WideString& name) const {
  SectionLock hold(stateLock_);
  name.Assign(scenario_.name);
}

int SimulatedTracker::SetValueHandler(ChannelHandler handler, void* context) {
  {
    // Waits for a notification being delivered, so that afterwards the old
    // handler is not running and is never called again.
    SectionLock delivering(deliveryLock_);
    handler_ = handler;
    context_ = handler ? context : nullptr;
  }
  if (!handler) return 1;
  SectionLock hold(stateLock_);
  return StartThread();
}

int SimulatedTracker::StartThread() {
  if (thread_) return 1;
  if (!wake_ || !idle_) return 0;
  ResetEvent(idle_);
  thread_ = CreateThread(nullptr, 0, &SimulatedTracker::ThreadMain, this, 0, nullptr);
  return thread_ != nullptr;
}

// A write is one command frame. What the tracker does with it happens at
// once; its answer leaves after the scenario's delay, from the delivery
// thread.
int SimulatedTracker::WriteValue(const unsigned char* bytes, unsigned length) {
  if (!bytes || length == 0 || length > TrackerScenario::MaxNotificationSize) return 0;
  bool hangs;
  {
    SectionLock hold(stateLock_);
    hangs = length >= FRAME_HEADER_SIZE &&
            std::find(scenario_.hangs.begin(), scenario_.hangs.end(), FrameCode(bytes)) != scenario_.hangs.end();
  }
  if (hangs) {
    // The write never reaches the tracker and returns only when the
    // tracker goes.
    if (released_) WaitForSingleObject(released_, INFINITE);
    return 0;
  }
  SectionLock hold(stateLock_);
  ++commandsReceived_;
  received_.emplace_back(bytes, bytes + length);
  if (received_.size() > MaxKeptCommands) received_.pop_front();
  if (scenario_.silentAfter >= 0 && commandsReceived_ > static_cast<unsigned>(scenario_.silentAfter)) {
    liveOn_ = false;  // silent: it hears the write and does nothing
    return 1;
  }
  // A frame whose length field does not match what was written is ignored.
  if (length < FRAME_HEADER_SIZE || DeclaredFrameSize(bytes) != length) return 1;
  HandleCommand(FrameCode(bytes), bytes + FRAME_HEADER_SIZE, length - FRAME_HEADER_SIZE);
  // Live totals may have been switched on: the delivery thread looks again.
  if (idle_) ResetEvent(idle_);
  if (wake_) SetEvent(wake_);
  return 1;
}

void SimulatedTracker::HandleCommand(unsigned char command, const unsigned char* data,
                                     unsigned dataLength) {
  std::map<unsigned char, unsigned>::const_iterator delay = scenario_.commandDelayMs.find(command);
  unsigned long long due = Ticks() + (delay != scenario_.commandDelayMs.end() ? delay->second
                                                                               : scenario_.delayMs);
  std::vector<Bytes> frames;
  bool understood = BuildAnswer(command, data, dataLength, frames);

  if (TakeFault(ScenarioFault::Drop, command, nullptr)) return;
  // Exact notifications replace the answer, even to a command the tracker
  // does not know.
  if (const ScenarioReply* reply = FindReply(command, data, dataLength)) {
    Enqueue(reply->notifications, due, true);
    return;
  }
  if (!understood) return;  // unknown commands and bad data get no answer
  int wrongCode;
  if (TakeFault(ScenarioFault::Wrong, command, &wrongCode)) {
    frames.clear();
    BuildFrame(static_cast<unsigned char>(wrongCode), command, frames);
  }
  for (Bytes& frame : frames) {
    int delta;
    if (frame.size() >= FRAME_HEADER_SIZE && TakeFault(ScenarioFault::Lie, FrameCode(frame.data()), &delta)) {
      WriteBig16(frame.data(), (ReadBig16(frame.data()) + delta) & 0xFFFF);
    }
    // Each frame goes out in pieces of the notification size.
    std::vector<Bytes> pieces;
    for (size_t at = 0; at < frame.size(); at += scenario_.notificationSize) {
      size_t n = std::min<size_t>(scenario_.notificationSize, frame.size() - at);
      pieces.emplace_back(frame.begin() + at, frame.begin() + at + n);
    }
    Enqueue(pieces, due, true);
  }
}

// Carries out the command and lists the frames that answer it; false when
// the tracker does not understand it.
bool SimulatedTracker::BuildAnswer(unsigned char command, const unsigned char* data,
                                   unsigned dataLength, std::vector<Bytes>& frames) {
  switch (command) {
    case CMD_LIVE:
      if (dataLength != 1 || (data[0] != LIVE_ON && data[0] != LIVE_OFF)) return false;
      if (data[0] == LIVE_ON) {
        if (!liveOn_) liveDue_ = Ticks();  // the first totals go out at once
        liveOn_ = true;
        return true;  // no answer
      }
      liveOn_ = false;
      return BuildFrame(RSP_ACK, command, frames);
    case CMD_HISTORY:
      if (dataLength != 0 || introduction_ < 3) return false;  // not before the host's introduction
      BuildFrame(RSP_WALKING, command, frames);
      return BuildFrame(RSP_SLEEPING, command, frames);
    case CMD_QUERY:
      if (dataLength != 1) return false;
      if (data[0] == QUERY_BATTERY) return BuildFrame(RSP_BATTERY, command, frames);
      if (data[0] == QUERY_VERSIONS) return BuildFrame(RSP_VERSION, command, frames);
      if (data[0] == QUERY_CLOCK) return BuildFrame(RSP_TIME, command, frames);
      return false;
    case CMD_SET_TIME: {
      TrackerTime time;
      if (!ParseSetTimeCommand(data, dataLength, time)) return false;
      clockBase_ = TrackerTimeToSeconds(time);
      tickBase_ = Ticks();
      ClearHistory();
      return BuildFrame(RSP_ACK, command, frames);
    }
    case CMD_HOST_ID:
      if (dataLength != HOST_ID_SIZE) return false;
      introduction_ = introduction_ == 1 && memcmp(data, hostId_, HOST_ID_SIZE) == 0 ? 2 : 0;
      return BuildFrame(RSP_ACK, command, frames);
    case CMD_HOST_HELLO:
      if (dataLength != HOST_ID_SIZE) return false;
      introduction_ = 1;
      memcpy(hostId_, data, HOST_ID_SIZE);
      frames.push_back(Frame(RSP_HOST_HELLO, data, HOST_ID_SIZE));
      return true;
    case CMD_SETUP:
      if (dataLength != 1 || data[0] != SETUP_VALUE) return false;
      introduction_ = introduction_ == 2 ? 3 : 0;
      return BuildFrame(RSP_ACK, command, frames);
    default:
      return false;
  }
}

bool SimulatedTracker::BuildFrame(unsigned char code, unsigned char command, std::vector<Bytes>& frames) {
  unsigned char payload[HOST_ID_SIZE] = {};
  switch (code) {
    case RSP_ACK:
      payload[0] = command;  // the acknowledged command
      frames.push_back(Frame(code, payload, 1));
      return true;
    case RSP_HOST_HELLO:
      GetHostId(payload);
      frames.push_back(Frame(code, payload, HOST_ID_SIZE));
      return true;
    case RSP_LIVE:
      frames.emplace_back();
      MakeLiveFrame(frames.back());
      return true;
    case RSP_WALKING:
      frames.push_back(walking_);
      return true;
    case RSP_SLEEPING:
      frames.push_back(sleeping_);
      return true;
    case RSP_BATTERY:
      frames.emplace_back(BATTERY_FRAME_SIZE);
      PutBatteryAnswer(scenario_.battery, frames.back().data());
      return true;
    case RSP_VERSION: {
      TrackerVersions versions;
      versions.hardwareMajor = scenario_.hardwareMajor;
      versions.hardwareMinor = scenario_.hardwareMinor;
      memcpy(versions.firmware, scenario_.firmware, sizeof versions.firmware);
      frames.emplace_back(VERSION_FRAME_SIZE);
      PutVersionAnswer(versions, frames.back().data());
      return true;
    }
    case RSP_TIME: {
      TrackerTime now;
      if (!TrackerTimeFromSeconds(GetClock(), now)) return false;
      frames.emplace_back(TIME_FRAME_SIZE);
      PutTimeAnswer(now, frames.back().data());
      return true;
    }
    default:
      return false;
  }
}

bool SimulatedTracker::TakeFault(ScenarioFault::Kind kind, unsigned char code, int* value) {
  for (ScenarioFault& fault : scenario_.faults) {
    if (fault.kind != kind || fault.code != code || fault.count == 0) continue;
    if (fault.count > 0) --fault.count;
    if (value) *value = fault.value;
    return true;
  }
  return false;
}

const ScenarioReply* SimulatedTracker::FindReply(unsigned char command, const unsigned char* data,
                                                 unsigned dataLength) const {
  const ScenarioReply* any = nullptr;
  for (const ScenarioReply& reply : scenario_.replies) {
    if (reply.command != command) continue;
    if (reply.selector < 0) {
      if (!any) any = &reply;
    } else if (dataLength > 0 && data[0] == reply.selector) {
      return &reply;
    }
  }
  return any;
}

void SimulatedTracker::Enqueue(const std::vector<Bytes>& notifications, unsigned long long due,
                               bool asOneUnit) {
  for (size_t i = 0; i < notifications.size(); ++i) {
    Outgoing item;
    item.bytes = notifications[i];
    item.due = due;
    item.continuesUnit = asOneUnit && i > 0;
    queue_.push_back(item);
  }
  if (idle_) ResetEvent(idle_);
  if (wake_) SetEvent(wake_);
}

// Today's totals so far plus a step or two for every second of live totals.
void SimulatedTracker::MakeLiveFrame(Bytes& frame) {
  unsigned x = liveRandom_;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  liveRandom_ = x;
  liveAdded_ += x % 4;
  LiveTotals totals;  // the fields keep the bits their width holds
  totals.steps = live_.steps + liveAdded_;
  totals.calories = live_.calories + liveAdded_ * 40 / 1000;
  totals.distance = live_.distance + liveAdded_ * 75 / 1000;
  frame.assign(LIVE_FRAME_SIZE, 0);
  PutLiveAnswer(totals, frame.data());
}

// Setting the clock starts a new recording: both streams are empty and
// begin at the new time.
void SimulatedTracker::ClearHistory() {
  TrackerHistoryGenerator::MakeWalkingFrame(clockBase_, Bytes(), walking_);
  TrackerHistoryGenerator::MakeSleepingFrame(clockBase_, Bytes(), sleeping_);
}

DWORD WINAPI SimulatedTracker::ThreadMain(void* self) {
  static_cast<SimulatedTracker*>(self)->Run();
  return 0;
}

// Sends what is due, one notification at a time. Live totals go out
// between units, not inside a frame that is being sent in pieces, unless
// the scenario sends them inside frames as well (after every liveInside
// pieces).
void SimulatedTracker::Run() {
  for (;;) {
    Outgoing next;
    DWORD wait = INFINITE;
    bool haveNext = false;
    {
      SectionLock hold(stateLock_);
      if (stopping_) return;
      unsigned long long now = Ticks();
      bool silent = scenario_.silentAfter >= 0 &&
                    commandsReceived_ > static_cast<unsigned>(scenario_.silentAfter);
      bool betweenUnits = queue_.empty() || !queue_.front().continuesUnit;
      bool insideDue = !betweenUnits && scenario_.liveInside > 0 && !liveInsideSent_ &&
                       unitPieces_ % scenario_.liveInside == 0 && queue_.front().due <= now;
      if (liveOn_ && !silent && ((betweenUnits && liveDue_ <= now) || insideDue)) {
        MakeLiveFrame(next.bytes);
        if (insideDue) {
          liveInsideSent_ = true;
        } else {
          liveDue_ = now + LiveIntervalMs;
        }
        haveNext = true;
      } else if (!queue_.empty() && queue_.front().due <= now) {
        next = std::move(queue_.front());
        unitPieces_ = next.continuesUnit ? unitPieces_ + 1 : 1;
        liveInsideSent_ = false;
        queue_.pop_front();
        haveNext = true;
      }
      if (haveNext) {
        ++notificationsSent_;
      } else {
        unsigned long long earliest = ~0ULL;
        if (!queue_.empty()) earliest = queue_.front().due;
        if (liveOn_ && !silent) earliest = std::min(earliest, liveDue_);
        if (earliest != ~0ULL && ticks_->MovesByItself()) {
          wait = static_cast<DWORD>(std::min<unsigned long long>(earliest - now, 0x7FFFFFFF));
        }
        SetEvent(idle_);
      }
    }
    if (!haveNext) {
      WaitForSingleObject(wake_, wait);
      continue;
    }
    SectionLock delivering(deliveryLock_);
    if (handler_) handler_(static_cast<unsigned>(next.bytes.size()), next.bytes.data(), context_);
  }
}
