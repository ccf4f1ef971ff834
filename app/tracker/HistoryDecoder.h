// Cuts the tracker's history frames into runs and hands each run to a sink
// (the activity store). A walking run is a sequence of 6-byte quarter-hour
// records from the first active quarter hour until five empty ones in a row;
// a sleeping run is a sequence of 4-minute bytes between fully active
// (0xAA) periods, cut after sixteen of them in a row (64 minutes). Marker
// blocks take no time and are skipped. Runs are keyed by their start time in
// Unix seconds of the tracker's clock (UTC), so decoding the same history
// again gives the same rows.
//
// A frame whose header does not hold a real date cannot time its runs: they
// are counted as untimed and nothing is stored, rather than stored under a
// made-up time. The same goes for a run starting after what the store's
// 32-bit start column can hold. No later download can store such runs
// either (only setting the tracker's clock mends its header), so they are
// no failure to store.
#pragma once

#include "core/ByteBuffer.h"

// Where decoded runs go. 1 when the run was stored.
class HistoryRunSink {
public:
  virtual ~HistoryRunSink() {}
  virtual int StoreWalkingRun(int trackerIndex, unsigned start, const ByteBuffer& pattern) = 0;
  virtual int StoreSleepingRun(int trackerIndex, unsigned start, const ByteBuffer& pattern) = 0;
  // A download's runs come between BeginRuns and EndRuns, so that a sink
  // may keep them together. EndRuns answers how many runs it had reported
  // stored that were lost after all.
  virtual void BeginRuns() {}
  virtual unsigned EndRuns() { return 0; }
  // Makes the runs stored so far survive a power cut or a crash of the
  // system; 1 when they will. Called before the tracker's own copy is
  // erased.
  virtual int SecureRuns() { return 1; }
};

// What a decoding did; the counts add up over several calls.
struct HistoryTally {
  unsigned stored = 0;   // runs the sink took
  unsigned failed = 0;   // runs that could not be stored (refused, no memory)
  unsigned untimed = 0;  // runs without a start time the store can hold: never stored
};

void DecodeWalkingHistory(int trackerIndex, const ByteBuffer& frame, HistoryRunSink& sink,
                          HistoryTally* tally = nullptr);
void DecodeSleepingHistory(int trackerIndex, const ByteBuffer& frame, HistoryRunSink& sink,
                           HistoryTally* tally = nullptr);
