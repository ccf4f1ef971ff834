// The tracker's framing and codes. Every frame, command or response, is a
// 2-byte big-endian length L (the bytes that follow it: the code and the
// payload), the code, then L - 1 payload bytes; a complete frame is L + 2
// bytes long. Responses may arrive split over several notifications.
#pragma once

#include <cstddef>

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

// CMD_QUERY selectors.
enum TrackerQuery : unsigned char {
  QUERY_BATTERY = 2,
  QUERY_VERSIONS = 3,
  QUERY_CLOCK = 5,
};

const unsigned FRAME_HEADER_SIZE = 3;      // length field and code
const unsigned COMMAND_FRAME_MAX = 10;     // a command frame's largest size
const unsigned COMMAND_DATA_MAX = 7;       // data bytes a command can carry
const unsigned SET_TIME_CONSTANT = 1;      // last data byte of CMD_SET_TIME

const unsigned LIVE_FRAME_SIZE = 10;
const unsigned BATTERY_FRAME_SIZE = 4;
const unsigned VERSION_FRAME_SIZE = 14;
const unsigned TIME_FRAME_SIZE = 10;
const unsigned FIRMWARE_TEXT_MAX = 9;

// Waiting for answers.
const unsigned long LINK_TIMEOUT_MS = 10000;   // every command, and each period of the history wait
const unsigned long long HISTORY_LIMIT = 0x100000;  // bytes after which the history wait gives up

// The largest frame the 16-bit length field can describe (the declared
// total L + 2 is taken modulo 65536).
const unsigned FRAME_SIZE_MAX = 0xFFFF;

// History frames: a header with the start time at 7..12, a stream, and a
// 4-byte trailer.
const unsigned HISTORY_START_OFFSET = 7;
const unsigned WALKING_STREAM_OFFSET = 20;
const unsigned SLEEPING_STREAM_OFFSET = 14;
const unsigned HISTORY_TRAILER_SIZE = 4;
const unsigned WALKING_RECORD_SIZE = 6;        // steps, calories, distance (16 bits each)
const unsigned WALKING_SLOT_SECONDS = 900;     // a record per quarter hour
const unsigned SLEEPING_SLOT_SECONDS = 240;    // a byte per 4 minutes, 2 bits per minute
const unsigned char SLEEP_FULLY_ACTIVE = 0xAA;

// A marker in either history stream starts a block that takes no time:
// 21 bytes in the walking stream, 14 in the sleeping stream.
const unsigned char HISTORY_MARKER[8] = {0x7F, 0x7F, 0x7F, 0x7F, 0x6D, 0x6D, 0x6D, 0x6D};
const unsigned WALKING_MARKER_BLOCK = 21;
const unsigned SLEEPING_MARKER_BLOCK = 14;

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

// The complete size a frame announces in its first two bytes, as a receiver
// computes it: (L + 2) modulo 65536.
inline unsigned DeclaredFrameSize(const unsigned char* p) { return (ReadBig16(p) + 2) & 0xFFFF; }
