#include "app/tracker/HistoryDecoder.h"

#include <cstring>

#include "app/tracker/TrackerProtocol.h"
#include "app/tracker/TrackerTime.h"

namespace {

const unsigned kWalkingFrameMin = WALKING_STREAM_OFFSET + HISTORY_TRAILER_SIZE;    // 24
const unsigned kSleepingFrameMin = SLEEPING_STREAM_OFFSET + HISTORY_TRAILER_SIZE;  // 18
const unsigned kWalkingEmptyLimit = 4;   // a fifth empty quarter hour ends a run
const unsigned kSleepingActiveLimit = 15;  // a sixteenth active period ends a run
const long long kLastStoredStart = 0xFFFFFFFFLL;

bool IsMarker(const unsigned char* at) { return memcmp(at, HISTORY_MARKER, sizeof HISTORY_MARKER) == 0; }

// The start time in the frame header; false when the fields are no date.
bool HeaderTime(const ByteBuffer& frame, long long& seconds) {
  TrackerTime time = GetTrackerTime(frame.data + HISTORY_START_OFFSET);
  if (!IsValidTrackerTime(time)) return false;
  seconds = TrackerTimeToSeconds(time);
  return true;
}

// Stores one run through the sink, keeping the tally.
class RunWriter {
public:
  RunWriter(int trackerIndex, bool timed, bool walking, HistoryRunSink& sink, HistoryTally* tally)
      : trackerIndex_(trackerIndex), timed_(timed), walking_(walking), sink_(sink), tally_(tally) {}

  void Store(long long start, const ByteBuffer& pattern, bool complete) {
    if (!timed_ || start < 0 || start > kLastStoredStart) {
      if (tally_) ++tally_->untimed;
      return;
    }
    int stored = 0;
    if (complete) {
      unsigned at = static_cast<unsigned>(start);
      stored = walking_ ? sink_.StoreWalkingRun(trackerIndex_, at, pattern)
                        : sink_.StoreSleepingRun(trackerIndex_, at, pattern);
    }
    if (!tally_) return;
    if (stored) {
      ++tally_->stored;
    } else {
      ++tally_->failed;
    }
  }

private:
  int trackerIndex_;
  bool timed_;
  bool walking_;
  HistoryRunSink& sink_;
  HistoryTally* tally_;
};

// Drops the last count bytes when the buffer holds that many.
void Shorten(ByteBuffer& buffer, unsigned long long count) {
  if (buffer.size >= count) buffer.size -= count;
  if (buffer.size == 0) BufferClear(buffer);
}

}  // namespace

void DecodeWalkingHistory(int trackerIndex, const ByteBuffer& frame, HistoryRunSink& sink,
                          HistoryTally* tally) {
  if (!frame.data || frame.size <= kWalkingFrameMin) return;
  const unsigned long long n = frame.size - kWalkingFrameMin;
  if (n <= 5) return;
  const unsigned char* stream = frame.data + WALKING_STREAM_OFFSET;

  long long t = 0;
  bool timed = HeaderTime(frame, t);
  RunWriter writer(trackerIndex, timed, true, sink, tally);
  bool recording = false;
  bool complete = true;  // false once an append failed: the run is lost, not stored cut short
  long long runStart = 0;
  unsigned empty = 0;
  ByteBuffer run;

  for (unsigned long long i = 0; i + 5 < n;) {
    if (n - i >= WALKING_MARKER_BLOCK && IsMarker(stream + i)) {
      i += WALKING_MARKER_BLOCK;
      continue;
    }
    const unsigned char* record = stream + i;
    unsigned steps = ReadBig16(record);
    if (!recording) {
      if (steps == 0) {
        t += WALKING_SLOT_SECONDS;
        i += WALKING_RECORD_SIZE;
        continue;
      }
      recording = true;
      runStart = t;
    }
    if (!BufferAppend(run, record, WALKING_RECORD_SIZE)) complete = false;
    if (steps != 0) {
      empty = 0;
    } else if (++empty > kWalkingEmptyLimit) {
      Shorten(run, static_cast<unsigned long long>(WALKING_RECORD_SIZE) * empty);
      writer.Store(runStart, run, complete);
      BufferClear(run);
      recording = false;
      complete = true;
      runStart = 0;
      empty = 0;
    }
    t += WALKING_SLOT_SECONDS;
    i += WALKING_RECORD_SIZE;
  }
  if (recording) {
    Shorten(run, static_cast<unsigned long long>(WALKING_RECORD_SIZE) * empty);
    writer.Store(runStart, run, complete);
  }
}

void DecodeSleepingHistory(int trackerIndex, const ByteBuffer& frame, HistoryRunSink& sink,
                           HistoryTally* tally) {
  if (!frame.data || frame.size <= kSleepingFrameMin) return;
  const unsigned long long n = frame.size - kSleepingFrameMin;
  const unsigned char* stream = frame.data + SLEEPING_STREAM_OFFSET;

  long long t = 0;
  bool timed = HeaderTime(frame, t);
  RunWriter writer(trackerIndex, timed, false, sink, tally);
  bool recording = false;
  bool complete = true;
  bool started = false;  // the run start has been set (it follows the latest 0xAA while idle)
  long long runStart = 0;
  unsigned active = 0;
  ByteBuffer run;

  // k trailing active bytes: k - 1 go when k > 2 (one 0xAA stays), else all k.
  auto trailing = [](unsigned k) { return k > 2 ? k - 1 : k; };

  for (unsigned long long i = 0; i < n;) {
    unsigned char b = stream[i];
    if (b == HISTORY_MARKER[0] && n - i >= SLEEPING_MARKER_BLOCK && IsMarker(stream + i)) {
      i += SLEEPING_MARKER_BLOCK;
      continue;
    }
    if (!recording) {
      if (b == SLEEP_FULLY_ACTIVE) {
        if (run.size == 0 && !BufferAppend(run, &b, 1)) complete = false;
        runStart = t;
        started = true;
        t += SLEEPING_SLOT_SECONDS;
        i += 1;
        continue;
      }
      if (!started) {
        runStart = t;
        started = true;
      }
      recording = true;
    }
    if (!BufferAppend(run, &b, 1)) complete = false;
    if (b != SLEEP_FULLY_ACTIVE) {
      active = 0;
    } else if (++active > kSleepingActiveLimit) {
      Shorten(run, trailing(active));
      writer.Store(runStart, run, complete);
      BufferClear(run);
      recording = false;
      complete = true;
      started = false;
      runStart = 0;
      active = 0;
    }
    t += SLEEPING_SLOT_SECONDS;
    i += 1;
  }
  if (recording) {
    Shorten(run, trailing(active));
    writer.Store(runStart, run, complete);
  }
}
