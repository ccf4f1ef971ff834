#include "app/simulation/TrackerHistoryGenerator.h"

#include <algorithm>
#include <cstring>

#include "app/tracker/TrackerProtocol.h"
#include "app/tracker/TrackerTime.h"
#include "app/tracker/WalkingRecords.h"

namespace {

const long long DAY_SECONDS = 86400;
const unsigned QUARTERS_PER_DAY = 96;
const long long FIRST_SECOND = 946684800LL;  // 2000-01-01, the tracker's first day

struct Night {
  long long asleep;
  long long awake;
};

void PutBig32(unsigned char* p, unsigned long long value) {
  p[0] = static_cast<unsigned char>(value >> 24);
  p[1] = static_cast<unsigned char>(value >> 16);
  p[2] = static_cast<unsigned char>(value >> 8);
  p[3] = static_cast<unsigned char>(value);
}

void PutRecord(Bytes& stream, const WalkingRecord& record) {
  unsigned char bytes[WALKING_RECORD_SIZE];
  PutWalkingRecord(record, bytes);
  stream.insert(stream.end(), bytes, bytes + WALKING_RECORD_SIZE);
}

// Header: length, code, the stream's size (not examined by the host), the
// start time, the minutes each element covers; then the stream and a
// checksum trailer (neither examined by the host).
int MakeFrame(unsigned char code, unsigned headerSize, unsigned minutesPerElement, long long start,
              const Bytes& stream, Bytes& frame) {
  size_t total = headerSize + stream.size() + HISTORY_TRAILER_SIZE;
  frame.assign(total, 0);
  PutFrameHeader(frame.data(), code, total);
  PutBig32(frame.data() + HISTORY_STREAM_SIZE_OFFSET, stream.size());
  TrackerTime when;
  if (TrackerTimeFromSeconds(start, when)) PutTrackerTime(when, frame.data() + HISTORY_START_OFFSET);
  frame[HISTORY_SLOT_MINUTES_OFFSET] = static_cast<unsigned char>(minutesPerElement);
  if (!stream.empty()) memcpy(frame.data() + headerSize, stream.data(), stream.size());
  unsigned long long sum = 0;
  for (unsigned char b : stream) sum += b;
  PutBig32(frame.data() + total - HISTORY_TRAILER_SIZE, sum);
  return total <= FRAME_SIZE_MAX;
}

}  // namespace

TrackerHistoryGenerator::TrackerHistoryGenerator(unsigned seed)
    : state_((seed * 2654435761u) ^ 0x9E3779B9u) {
  if (state_ == 0) state_ = 0x6D2B79F5u;
  Next();
  Next();
}

unsigned TrackerHistoryGenerator::Next() {
  unsigned x = state_;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  state_ = x;
  return x;
}

unsigned TrackerHistoryGenerator::Range(unsigned low, unsigned high) {
  return low + Next() % (high - low + 1);
}

bool TrackerHistoryGenerator::Chance(unsigned percent) { return Range(0, 99) < percent; }

int TrackerHistoryGenerator::MakeWalkingFrame(long long start, const Bytes& stream, Bytes& frame) {
  return MakeFrame(RSP_WALKING, WALKING_STREAM_OFFSET, WALKING_SLOT_SECONDS / 60, start, stream,
                   frame);
}

int TrackerHistoryGenerator::MakeSleepingFrame(long long start, const Bytes& stream, Bytes& frame) {
  return MakeFrame(RSP_SLEEPING, SLEEPING_STREAM_OFFSET, SLEEPING_SLOT_SECONDS / 60, start, stream,
                   frame);
}

void TrackerHistoryGenerator::AppendMarkerBlock(Bytes& stream, unsigned blockSize, long long when) {
  size_t at = stream.size();
  stream.resize(at + blockSize, 0);
  memcpy(stream.data() + at, HISTORY_MARKER, sizeof HISTORY_MARKER);
  TrackerTime time;
  if (blockSize >= sizeof HISTORY_MARKER + TRACKER_TIME_SIZE && TrackerTimeFromSeconds(when, time)) {
    PutTrackerTime(time, stream.data() + at + sizeof HISTORY_MARKER);
  }
}

// Three or four walks: morning, midday, afternoon and sometimes a late one.
// Each walk is one run: its quarter hours are busy, with at most a single
// quiet quarter inside; walks are at least five quiet quarters apart.
void TrackerHistoryGenerator::PlanDay(std::vector<unsigned>& steps) {
  struct Window {
    unsigned earliest, latest, shortest, longest, percent;
  };
  static const Window windows[] = {
      {26, 30, 3, 8, 100},   // 06:30-07:30
      {46, 52, 2, 6, 100},   // 11:30-13:00
      {66, 74, 4, 10, 100},  // 16:30-18:30
      {83, 86, 2, 4, 50},    // 20:45-21:30, every other day or so
  };
  steps.assign(QUARTERS_PER_DAY, 0);
  unsigned firstFree = 0;
  for (const Window& window : windows) {
    if (!Chance(window.percent)) continue;
    unsigned begin = std::max(Range(window.earliest, window.latest), firstFree);
    unsigned length = Range(window.shortest, window.longest);
    if (begin + length > 92) continue;  // not after 23:00
    unsigned pace = Range(400, 1300);
    for (unsigned i = 0; i < length; ++i) {
      bool pause = i > 0 && i + 1 < length && steps[begin + i - 1] != 0 && Chance(12);
      steps[begin + i] = pause ? 0 : pace * Range(70, 130) / 100;
    }
    firstFree = begin + length + 5 + Range(0, 3);
  }
}

// Levels per minute, most significant pair first: 1 asleep, 0 awake,
// 2 active, 3 undefined. Never 0xAA inside a night.
unsigned char TrackerHistoryGenerator::SleepByte(unsigned minuteIntoSleep, unsigned minutesLeft) {
  for (;;) {
    unsigned asleep, awake;  // weights in percent; the rest is "active"
    unsigned roll = Range(0, 99);
    if (minuteIntoSleep < 16) {
      asleep = 40, awake = 60;  // falling asleep
    } else if (minutesLeft <= 8) {
      asleep = 30, awake = 50;  // waking up
    } else if (roll < 70) {
      return 0x55;  // sound sleep
    } else if (roll < 85) {
      asleep = 70, awake = 30;  // light sleep
    } else if (roll < 99) {
      asleep = 50, awake = 20;  // restless
    } else {
      return 0xFF;  // the sensor could not tell
    }
    unsigned char value = 0;
    for (int minute = 0; minute < 4; ++minute) {
      unsigned pick = Range(0, 99);
      unsigned level = pick < asleep ? 1 : pick < asleep + awake ? 0 : 2;
      value = static_cast<unsigned char>((value << 2) | level);
    }
    if (value != SLEEP_FULLY_ACTIVE) return value;
  }
}

int TrackerHistoryGenerator::Generate(long long now, unsigned days, Bytes& walking, Bytes& sleeping,
                                      HistoryTotals* today) {
  TrackerTime check;
  if (!TrackerTimeFromSeconds(now, check) || days > MaxDays) return 0;
  long long lastMidnight = now - now % DAY_SECONDS;
  long long start = days ? lastMidnight - (days - 1) * DAY_SECONDS : now;
  if (start < FIRST_SECOND) return 0;

  // Plan every day: walks, the night that ends on it, and a charge on every
  // third day.
  std::vector<std::vector<unsigned>> daySteps(days);
  std::vector<unsigned> dayStride(days), dayEnergy(days);
  std::vector<Night> nights;
  std::vector<long long> charges;
  for (unsigned d = 0; d <= days; ++d) {
    // night d falls asleep on the evening before day d
    long long evening = start + (static_cast<long long>(d) - 1) * DAY_SECONDS;
    Night night;
    night.asleep = evening + (22 * 60 + 28 + 4 * Range(0, 18)) * 60LL;
    night.awake = evening + DAY_SECONDS + (6 * 60 + 4 * Range(0, 20)) * 60LL;
    nights.push_back(night);
    if (d == days) break;
    PlanDay(daySteps[d]);
    dayStride[d] = Range(65, 80);  // centimetres
    dayEnergy[d] = Range(35, 45);  // calories per 1000 steps
    if (d % 3 == 2) charges.push_back(start + d * DAY_SECONDS + Range(9, 20) * 3600LL);
  }

  Bytes stream;
  size_t nextCharge = 0;
  long long quarters = days ? (now - start) / WALKING_SLOT_SECONDS : 0;
  HistoryTotals totals;
  for (long long q = 0; q < quarters; ++q) {
    long long t = start + q * WALKING_SLOT_SECONDS;
    if (nextCharge < charges.size() && charges[nextCharge] == t) {
      AppendMarkerBlock(stream, WALKING_MARKER_BLOCK, t);
      ++nextCharge;
    }
    size_t d = static_cast<size_t>(q / QUARTERS_PER_DAY);
    WalkingRecord record;
    record.steps = daySteps[d][q % QUARTERS_PER_DAY];
    record.calories = record.steps * dayEnergy[d] / 1000;
    record.distance = record.steps * dayStride[d] / 1000;
    PutRecord(stream, record);
    if (t >= lastMidnight) {
      totals.steps += record.steps;
      totals.calories += record.calories;
      totals.distance += record.distance;
    }
  }
  MakeWalkingFrame(start, stream, walking);

  stream.clear();
  nextCharge = 0;
  long long periods = days ? (now - start) / SLEEPING_SLOT_SECONDS : 0;
  size_t night = 0;
  for (long long p = 0; p < periods; ++p) {
    long long t = start + p * SLEEPING_SLOT_SECONDS;
    if (nextCharge < charges.size() && charges[nextCharge] == t) {
      AppendMarkerBlock(stream, SLEEPING_MARKER_BLOCK, t);
      ++nextCharge;
    }
    while (night < nights.size() && nights[night].awake <= t) ++night;
    if (night < nights.size() && t >= nights[night].asleep) {
      unsigned into = static_cast<unsigned>((t - nights[night].asleep) / 60);
      unsigned left = static_cast<unsigned>((nights[night].awake - t) / 60);
      stream.push_back(SleepByte(into, left));
    } else {
      stream.push_back(SLEEP_FULLY_ACTIVE);
    }
  }
  MakeSleepingFrame(start, stream, sleeping);

  if (today) *today = totals;
  return 1;
}
