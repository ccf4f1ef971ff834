#include "app/tracker/TrackerAnswers.h"

#include <cstring>

namespace {

bool IsAnswer(const unsigned char* frame, unsigned long long size, unsigned char code, unsigned frameSize) {
  return frame && size == frameSize && FrameCode(frame) == code;
}

int ParseHistoryFrame(const unsigned char* frame, unsigned long long size, unsigned streamOffset,
                      HistoryFrame& history) {
  const unsigned long long frameMin = streamOffset + HISTORY_TRAILER_SIZE;
  if (!frame || size <= frameMin) return 0;
  HistoryFrame read;
  read.stream = frame + streamOffset;
  read.streamSize = size - frameMin;
  TrackerTime start = GetTrackerTime(frame + HISTORY_START_OFFSET);
  read.timed = IsValidTrackerTime(start) != 0;
  if (read.timed) read.start = TrackerTimeToSeconds(start);
  history = read;
  return 1;
}

}  // namespace

int ParseBatteryAnswer(const unsigned char* frame, unsigned long long size, unsigned& percent) {
  if (!IsAnswer(frame, size, RSP_BATTERY, BATTERY_FRAME_SIZE)) return 0;
  percent = frame[BATTERY_PERCENT_OFFSET];
  return 1;
}

int ParseVersionAnswer(const unsigned char* frame, unsigned long long size, TrackerVersions& versions) {
  if (!IsAnswer(frame, size, RSP_VERSION, VERSION_FRAME_SIZE)) return 0;
  TrackerVersions read;
  read.hardwareMajor = frame[VERSION_HARDWARE_OFFSET];
  read.hardwareMinor = frame[VERSION_HARDWARE_OFFSET + 1];
  const unsigned char* text = frame + VERSION_FIRMWARE_OFFSET;
  for (unsigned i = 0; i < FIRMWARE_TEXT_MAX && text[i] != 0; ++i) read.firmware[i] = static_cast<char>(text[i]);
  versions = read;
  return 1;
}

int ParseTimeAnswer(const unsigned char* frame, unsigned long long size, TrackerTime& clock) {
  if (!IsAnswer(frame, size, RSP_TIME, TIME_FRAME_SIZE)) return 0;
  TrackerTime read = GetTrackerTime(frame + TIME_FIELDS_OFFSET);
  if (!IsValidTrackerTime(read)) return 0;
  clock = read;
  return 1;
}

int ParseLiveAnswer(const unsigned char* frame, unsigned long long size, LiveTotals& totals) {
  if (!IsAnswer(frame, size, RSP_LIVE, LIVE_FRAME_SIZE)) return 0;
  totals.steps = ReadBig24(frame + LIVE_STEPS_OFFSET);
  totals.calories = ReadBig16(frame + LIVE_CALORIES_OFFSET);
  totals.distance = ReadBig16(frame + LIVE_DISTANCE_OFFSET);
  return 1;
}

int ParseSetTimeCommand(const unsigned char* data, unsigned long long size, TrackerTime& clock) {
  if (!data || size != SET_TIME_DATA_SIZE || data[TRACKER_TIME_SIZE] != SET_TIME_CONSTANT) return 0;
  TrackerTime read = GetTrackerTime(data);
  if (!IsValidTrackerTime(read)) return 0;
  clock = read;
  return 1;
}

void PutBatteryAnswer(unsigned percent, unsigned char* frame) {
  memset(frame, 0, BATTERY_FRAME_SIZE);
  PutFrameHeader(frame, RSP_BATTERY, BATTERY_FRAME_SIZE);
  frame[BATTERY_PERCENT_OFFSET] = static_cast<unsigned char>(percent);
}

void PutVersionAnswer(const TrackerVersions& versions, unsigned char* frame) {
  memset(frame, 0, VERSION_FRAME_SIZE);
  PutFrameHeader(frame, RSP_VERSION, VERSION_FRAME_SIZE);
  frame[VERSION_HARDWARE_OFFSET] = static_cast<unsigned char>(versions.hardwareMajor);
  frame[VERSION_HARDWARE_OFFSET + 1] = static_cast<unsigned char>(versions.hardwareMinor);
  size_t length = strnlen(versions.firmware, FIRMWARE_TEXT_MAX);
  memcpy(frame + VERSION_FIRMWARE_OFFSET, versions.firmware, length);  // zero-padded
}

void PutTimeAnswer(const TrackerTime& clock, unsigned char* frame) {
  memset(frame, 0, TIME_FRAME_SIZE);
  PutFrameHeader(frame, RSP_TIME, TIME_FRAME_SIZE);
  PutTrackerTime(clock, frame + TIME_FIELDS_OFFSET);
  frame[TIME_WEEKDAY_OFFSET] = static_cast<unsigned char>(clock.weekday);
}

void PutLiveAnswer(const LiveTotals& totals, unsigned char* frame) {
  PutFrameHeader(frame, RSP_LIVE, LIVE_FRAME_SIZE);
  WriteBig24(frame + LIVE_STEPS_OFFSET, totals.steps);
  WriteBig16(frame + LIVE_CALORIES_OFFSET, totals.calories);
  WriteBig16(frame + LIVE_DISTANCE_OFFSET, totals.distance);
}

int ParseWalkingFrame(const unsigned char* frame, unsigned long long size, HistoryFrame& history) {
  return ParseHistoryFrame(frame, size, WALKING_STREAM_OFFSET, history);
}

int ParseSleepingFrame(const unsigned char* frame, unsigned long long size, HistoryFrame& history) {
  return ParseHistoryFrame(frame, size, SLEEPING_STREAM_OFFSET, history);
}
