// The tracker's framing and codes. Every frame, command or response, is a
// 2-byte big-endian length L (the bytes that follow it: the code and the
// payload), the code, then L - 1 payload bytes; a complete frame is L + 2
// bytes long. Responses may arrive split over several notifications.
#pragma once

#include <cstddef>
#include <cstring>

// Commands (host to tracker).
enum TrackerCommand : unsigned char {
  CMD_LIVE = 1,         // 1 byte: 1 live totals on (no answer), 0 off (RSP_ACK)
  CMD_HISTORY = 3,      // no data: RSP_WALKING, then RSP_SLEEPING
  CMD_QUERY = 10,       // 1 byte selector (QUERY_...)
  CMD_SET_TIME = 16,    // 7 bytes: year - 2000, month, day, hour, minute, second, 1
  CMD_HOST_ID = 20,     // the 6 bytes of HostId: RSP_ACK
  CMD_HOST_HELLO = 26,  // the 6 bytes of HostId: RSP_HOST_HELLO
  CMD_SETUP = 43,       // 1 byte, 1: RSP_ACK
};

// Responses (tracker to host).
enum TrackerResponse : unsigned char {
  RSP_ACK = 128,
  RSP_LIVE = 129,        // 10 bytes: steps (24 bits), calories (16), distance in 10 m (16)
  RSP_WALKING = 131,     // walking history
  RSP_SLEEPING = 132,    // sleeping history
  RSP_HOST_HELLO = 133,
  RSP_BATTERY = 139,     // 4 bytes: percent at 3
  RSP_VERSION = 140,     // 14 bytes: hardware major, minor at 3, 4; firmware text at 5..13
  RSP_TIME = 142,        // 10 bytes: year - 2000, month, day, hour, minute, second at 3..8 (UTC)
};

// CMD_LIVE's data byte.
enum TrackerLiveSwitch : unsigned char {
  LIVE_OFF = 0,
  LIVE_ON = 1,
};

// CMD_QUERY selectors.
enum TrackerQuery : unsigned char {
  QUERY_BATTERY = 2,
  QUERY_VERSIONS = 3,
  QUERY_CLOCK = 5,
};

const unsigned FRAME_HEADER_SIZE = 3;      // length field and code
const unsigned FRAME_CODE_OFFSET = 2;      // after the length field
const unsigned COMMAND_FRAME_MAX = 10;     // a command frame's largest size
const unsigned COMMAND_DATA_MAX = 7;       // data bytes a command can carry
const unsigned SET_TIME_DATA_SIZE = 7;     // the clock fields, then SET_TIME_CONSTANT
const unsigned SET_TIME_CONSTANT = 1;      // last data byte of CMD_SET_TIME
const unsigned char SETUP_VALUE = 1;       // CMD_SETUP's data byte

// The clock fields, in CMD_SET_TIME, RSP_TIME and the history headers: year
// - TRACKER_YEAR_BASE, month, day, hour, minute, second (TrackerTime).
const unsigned TRACKER_TIME_SIZE = 6;
const unsigned TRACKER_YEAR_BASE = 2000;

const unsigned LIVE_FRAME_SIZE = 10;
const unsigned BATTERY_FRAME_SIZE = 4;
const unsigned VERSION_FRAME_SIZE = 14;
const unsigned TIME_FRAME_SIZE = 10;
const unsigned FIRMWARE_TEXT_MAX = 9;

// Where the answers' fields lie in their complete frames.
const unsigned BATTERY_PERCENT_OFFSET = 3;
const unsigned VERSION_HARDWARE_OFFSET = 3;  // major, then minor
const unsigned VERSION_FIRMWARE_OFFSET = 5;  // FIRMWARE_TEXT_MAX bytes, zero-padded
const unsigned TIME_FIELDS_OFFSET = 3;       // TRACKER_TIME_SIZE clock fields
const unsigned TIME_WEEKDAY_OFFSET = 9;      // 0 Sunday; the host does not read it
const unsigned LIVE_STEPS_OFFSET = 3;        // 24 bits
const unsigned LIVE_CALORIES_OFFSET = 6;
const unsigned LIVE_DISTANCE_OFFSET = 8;

// Distances (walking records, live totals) count in units of 10 m.
const unsigned DISTANCE_UNIT_METRES = 10;

// Waiting for answers.
const unsigned long LINK_TIMEOUT_MS = 10000;   // every command, and each period of the history wait
const unsigned long long HISTORY_LIMIT = 0x100000;  // bytes after which the history wait gives up

// The largest frame the 16-bit length field can describe (the declared
// total L + 2 is taken modulo 65536).
const unsigned FRAME_SIZE_MAX = 0xFFFF;

// History frames: a header with the start time at 7..12, a stream, and a
// 4-byte trailer. The stream's size at 3..6 (32 bits), the minutes each of
// its elements covers at 13 and the trailer's checksum are what a tracker
// sends there; the host does not read them.
const unsigned HISTORY_STREAM_SIZE_OFFSET = 3;
const unsigned HISTORY_START_OFFSET = 7;
const unsigned HISTORY_SLOT_MINUTES_OFFSET = 13;
const unsigned WALKING_STREAM_OFFSET = 20;
const unsigned SLEEPING_STREAM_OFFSET = 14;
const unsigned HISTORY_TRAILER_SIZE = 4;
const unsigned WALKING_RECORD_SIZE = 6;        // steps, calories, distance (16 bits each)
const unsigned WALKING_STEPS_OFFSET = 0;       // in a record
const unsigned WALKING_CALORIES_OFFSET = 2;
const unsigned WALKING_DISTANCE_OFFSET = 4;
const unsigned WALKING_SLOT_SECONDS = 900;     // a record per quarter hour
const unsigned SLEEPING_SLOT_SECONDS = 240;    // a byte per 4 minutes, 2 bits per minute
const unsigned char SLEEP_FULLY_ACTIVE = 0xAA;
const unsigned SLEEP_MINUTES_PER_BYTE = 4;
// The level of minute 0-3 of a sleeping byte, the first in bits 7-6:
// 0 awake, 1 asleep, 2 active, 3 undefined.
inline unsigned SleepLevel(unsigned char period, unsigned minute) {
  return (period >> (2 * (SLEEP_MINUTES_PER_BYTE - 1 - minute))) & 3u;
}

// A marker in either history stream starts a block that takes no time:
// 21 bytes in the walking stream, 14 in the sleeping stream.
const unsigned char HISTORY_MARKER[8] = {0x7F, 0x7F, 0x7F, 0x7F, 0x6D, 0x6D, 0x6D, 0x6D};
const unsigned WALKING_MARKER_BLOCK = 21;
const unsigned SLEEPING_MARKER_BLOCK = 14;
// A marker block of blockSize bytes starts at `at`, with `remaining` bytes
// of the stream from there: a block without room for its whole size is none.
inline bool IsMarkerBlock(const unsigned char* at, unsigned long long remaining, unsigned blockSize) {
  return remaining >= blockSize && remaining >= sizeof HISTORY_MARKER &&
         memcmp(at, HISTORY_MARKER, sizeof HISTORY_MARKER) == 0;
}

// The identification this host gives the tracker with CMD_HOST_HELLO and
// CMD_HOST_ID: the same 6 bytes for both commands and every tracker.
const unsigned HOST_ID_SIZE = 6;
void GetHostId(unsigned char id[HOST_ID_SIZE]);

inline unsigned ReadBig16(const unsigned char* p) { return (p[0] << 8) | p[1]; }
inline unsigned ReadBig24(const unsigned char* p) { return (p[0] << 16) | (p[1] << 8) | p[2]; }
inline void WriteBig16(unsigned char* p, unsigned value) {
  p[0] = static_cast<unsigned char>(value >> 8);
  p[1] = static_cast<unsigned char>(value);
}
inline void WriteBig24(unsigned char* p, unsigned value) {
  p[0] = static_cast<unsigned char>(value >> 16);
  WriteBig16(p + 1, value);
}

inline unsigned char FrameCode(const unsigned char* frame) { return frame[FRAME_CODE_OFFSET]; }
// The length field and code of a frame of frameSize bytes (the length
// field holds frameSize - 2, modulo 65536).
inline void PutFrameHeader(unsigned char* frame, unsigned char code, unsigned long long frameSize) {
  WriteBig16(frame, static_cast<unsigned>((frameSize - 2) & 0xFFFF));
  frame[FRAME_CODE_OFFSET] = code;
}

// The complete size a frame announces in its first two bytes, as a receiver
// computes it: (L + 2) modulo 65536.
inline unsigned DeclaredFrameSize(const unsigned char* p) { return (ReadBig16(p) + 2) & 0xFFFF; }

// A whole frame of that code: its size is what its length field declares.
inline bool IsWholeFrame(const unsigned char* frame, unsigned long long size, unsigned char code) {
  return frame && size >= FRAME_HEADER_SIZE && FrameCode(frame) == code && size == DeclaredFrameSize(frame);
}
