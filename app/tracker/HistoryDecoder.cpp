#include "app/tracker/HistoryDecoder.h"

#include "app/tracker/TrackerAnswers.h"
#include "app/tracker/WalkingRecords.h"

namespace {

const unsigned kWalkingEmptyLimit = 4;   // a fifth empty quarter hour ends a run
const unsigned kSleepingActiveLimit = 15;  // a sixteenth active period ends a run
const long long kLastStoredStart = 0xFFFFFFFFLL;

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
  HistoryFrame history;
  if (!ParseWalkingFrame(frame.data, frame.size, history)) return;

  long long t = history.start;
  RunWriter writer(trackerIndex, history.timed, true, sink, tally);
  bool recording = false;
  bool complete = true;  // false once an append failed: the run is lost, not stored cut short
  long long runStart = 0;
  unsigned empty = 0;
  ByteBuffer run;

  for (WalkingRecordReader records(history.stream, history.streamSize, WalkingBytes::Stream); records.Next();) {
    const bool active = records.Record().steps != 0;
    if (!recording) {
      if (!active) {
        t += WALKING_SLOT_SECONDS;
        continue;
      }
      recording = true;
      runStart = t;
    }
    if (!BufferAppend(run, records.Bytes(), WALKING_RECORD_SIZE)) complete = false;
    if (active) {
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
  }
  if (recording) {
    Shorten(run, static_cast<unsigned long long>(WALKING_RECORD_SIZE) * empty);
    writer.Store(runStart, run, complete);
  }
}

void DecodeSleepingHistory(int trackerIndex, const ByteBuffer& frame, HistoryRunSink& sink,
                           HistoryTally* tally) {
  HistoryFrame history;
  if (!ParseSleepingFrame(frame.data, frame.size, history)) return;
  const unsigned long long n = history.streamSize;
  const unsigned char* stream = history.stream;

  long long t = history.start;
  RunWriter writer(trackerIndex, history.timed, false, sink, tally);
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
    if (IsMarkerBlock(stream + i, n - i, SLEEPING_MARKER_BLOCK)) {
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
