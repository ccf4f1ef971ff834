// What a simulated tracker is and does: its identity and state, its history
// (generated or given byte for byte), how it delivers notifications, and
// the faults it shows. Read from a plain text file, one setting a line (the
// format is described in README.md).
#pragma once

#include <map>
#include <vector>

#include "app/simulation/TrackerHistoryGenerator.h"
#include "app/tracker/TrackerProtocol.h"
#include "core/WideString.h"

struct ScenarioFault {
  enum Kind { Drop, Lie, Wrong };
  Kind kind = Drop;
  unsigned char code = 0;  // Drop, Wrong: the command; Lie: the response code
  int value = 0;           // Lie: added to the length field; Wrong: the response code sent
  int count = -1;          // how many times it happens; -1 every time
};

// Exact notifications answering a command; a selector narrows the match to
// commands whose first data byte equals it.
struct ScenarioReply {
  unsigned char command = 0;
  int selector = -1;
  std::vector<Bytes> notifications;
};

class TrackerScenario {
public:
  static const unsigned MaxNotificationSize = 512;
  static const unsigned MaxDelayMs = 600000;
  static const unsigned MaxFileSize = 16u << 20;

  TrackerScenario();

  // Replaces the settings with the defaults, then applies every line. On a
  // bad line the result is 0 and error says where and why; the settings are
  // then unspecified.
  int Parse(const char* text, size_t length, WideString& error);
  int LoadFile(const wchar_t* path, WideString& error);

  WideString name;
  unsigned char address[6];
  unsigned battery;
  unsigned hardwareMajor;
  unsigned hardwareMinor;
  char firmware[FIRMWARE_TEXT_MAX + 1];
  bool hasClock;      // without: the PC's UTC time when the tracker takes the scenario
  long long clock;    // Unix seconds, UTC
  unsigned days;      // of generated history
  unsigned seed;
  bool hasWalking;    // exact frames replace the generated ones
  Bytes walking;
  bool hasSleeping;
  Bytes sleeping;
  bool hasLive;       // without: today's walking so far
  HistoryTotals live;
  unsigned notificationSize;
  unsigned delayMs;                          // before every answer
  std::map<unsigned char, unsigned> commandDelayMs;  // per command, instead
  std::vector<ScenarioReply> replies;
  std::vector<ScenarioFault> faults;
  int silentAfter;    // commands answered before it goes silent; -1 never
  unsigned liveInside;  // live totals (when on) also inside frames, after every this many pieces; 0 never
  std::vector<unsigned char> hangs;  // commands whose write never returns (a platform call that hangs)

private:
  void Reset();
  int ParseLine(char* line, unsigned number, WideString& error);
};
