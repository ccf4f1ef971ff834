// The tracker's answers read into typed values, and written the same way by
// the simulated tracker, so that each layout of TrackerProtocol is read and
// written in one place. A parser takes the complete frame's bytes (length
// field and code included) and answers 1 with the fields, or 0 when the
// bytes are not that answer: another size, another code, or fields that
// cannot hold (a clock that is no date). It reads nothing past the given
// size and leaves its output alone when it refuses. Whether a frame's
// length field fits its size is the link's business (TrackerLink only hands
// on whole frames); live totals, which come unasked, are taken by their size
// and code alone.
#pragma once

#include "app/tracker/TrackerProtocol.h"
#include "app/tracker/TrackerTime.h"

struct TrackerVersions {
  unsigned hardwareMajor = 0;
  unsigned hardwareMinor = 0;
  char firmware[FIRMWARE_TEXT_MAX + 1] = {};  // single-byte text, ended by a zero
};

struct LiveTotals {
  unsigned steps = 0;  // 24 bits
  unsigned calories = 0;
  unsigned distance = 0;  // in units of DISTANCE_UNIT_METRES
};

// RSP_BATTERY: the level as sent (0-100 from a sound tracker).
int ParseBatteryAnswer(const unsigned char* frame, unsigned long long size, unsigned& percent);
// RSP_VERSION: the firmware text ends at its first zero byte or after
// FIRMWARE_TEXT_MAX characters.
int ParseVersionAnswer(const unsigned char* frame, unsigned long long size, TrackerVersions& versions);
// RSP_TIME: the tracker's clock (UTC); refused when the fields are no valid
// time. The weekday is not read.
int ParseTimeAnswer(const unsigned char* frame, unsigned long long size, TrackerTime& clock);
// RSP_LIVE.
int ParseLiveAnswer(const unsigned char* frame, unsigned long long size, LiveTotals& totals);
// CMD_SET_TIME's data bytes (after the frame header): the new clock; refused
// unless they are SET_TIME_DATA_SIZE bytes ending in SET_TIME_CONSTANT with a
// valid time.
int ParseSetTimeCommand(const unsigned char* data, unsigned long long size, TrackerTime& clock);

// The complete answer frames, each of its *_FRAME_SIZE bytes. Fields keep
// the bits their width holds; a firmware text is cut at FIRMWARE_TEXT_MAX.
void PutBatteryAnswer(unsigned percent, unsigned char* frame);
void PutVersionAnswer(const TrackerVersions& versions, unsigned char* frame);
void PutTimeAnswer(const TrackerTime& clock, unsigned char* frame);  // with its weekday
void PutLiveAnswer(const LiveTotals& totals, unsigned char* frame);

// The parts of a history frame the host reads: the stream between the
// header and the trailer, and the header's start time.
struct HistoryFrame {
  const unsigned char* stream = nullptr;
  unsigned long long streamSize = 0;
  bool timed = false;   // the header's start fields form a valid time
  long long start = 0;  // Unix seconds of the stream's first element (UTC), when timed
};
// 1 when the frame is longer than its header and trailer (walking: 24
// bytes, sleeping: 18), whatever its code; 0 for a shorter one.
int ParseWalkingFrame(const unsigned char* frame, unsigned long long size, HistoryFrame& history);
int ParseSleepingFrame(const unsigned char* frame, unsigned long long size, HistoryFrame& history);
