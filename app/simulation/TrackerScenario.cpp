#include "app/simulation/TrackerScenario.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/tracker/TrackerTime.h"
#include "core/KernelHandle.h"

namespace {

struct CodeName {
  const char* name;
  unsigned char code;
};

const CodeName CODE_NAMES[] = {
    {"CMD_LIVE", CMD_LIVE},         {"CMD_HISTORY", CMD_HISTORY},
    {"CMD_QUERY", CMD_QUERY},       {"CMD_SET_TIME", CMD_SET_TIME},
    {"CMD_HOST_ID", CMD_HOST_ID},   {"CMD_HOST_HELLO", CMD_HOST_HELLO},
    {"CMD_SETUP", CMD_SETUP},       {"RSP_ACK", RSP_ACK},
    {"RSP_LIVE", RSP_LIVE},         {"RSP_WALKING", RSP_WALKING},
    {"RSP_SLEEPING", RSP_SLEEPING}, {"RSP_HOST_HELLO", RSP_HOST_HELLO},
    {"RSP_BATTERY", RSP_BATTERY},   {"RSP_VERSION", RSP_VERSION},
    {"RSP_TIME", RSP_TIME},
};

// The response codes a tracker can build an answer for.
bool IsBuildableResponse(unsigned code) {
  switch (code) {
    case RSP_ACK: case RSP_LIVE: case RSP_WALKING: case RSP_SLEEPING:
    case RSP_HOST_HELLO: case RSP_BATTERY: case RSP_VERSION: case RSP_TIME:
      return true;
    default:
      return false;
  }
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Splits at blanks; the words point into the line, which gets NULs.
std::vector<char*> SplitWords(char* line) {
  std::vector<char*> words;
  char* p = line;
  for (;;) {
    while (IsSpace(*p)) ++p;
    if (!*p) break;
    words.push_back(p);
    while (*p && !IsSpace(*p)) ++p;
    if (!*p) break;
    *p++ = '\0';
  }
  return words;
}

// A decimal or 0x-hexadecimal number, optionally signed, within the bounds.
bool ParseNumber(const char* text, long long low, long long high, long long& out) {
  const char* p = text;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  }
  if (!*p) return false;
  long long value = 0;
  for (; *p; ++p) {
    int digit;
    if (*p >= '0' && *p <= '9') digit = *p - '0';
    else if (base == 16 && *p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
    else if (base == 16 && *p >= 'A' && *p <= 'F') digit = *p - 'A' + 10;
    else return false;
    value = value * base + digit;
    if (value > 0xFFFFFFFFLL) return false;
  }
  if (negative) value = -value;
  if (value < low || value > high) return false;
  out = value;
  return true;
}

bool ParseCode(const char* text, unsigned char& code) {
  for (const CodeName& entry : CODE_NAMES) {
    if (_stricmp(text, entry.name) == 0) {
      code = entry.code;
      return true;
    }
  }
  long long value;
  if (!ParseNumber(text, 0, 255, value)) return false;
  code = static_cast<unsigned char>(value);
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hex bytes: pairs of digits, in words of any even length.
bool ParseHex(const std::vector<char*>& words, size_t first, Bytes& out) {
  for (size_t w = first; w < words.size(); ++w) {
    const char* p = words[w];
    size_t n = strlen(p);
    if (n % 2 != 0) return false;
    for (size_t i = 0; i < n; i += 2) {
      int high = HexDigit(p[i]), low = HexDigit(p[i + 1]);
      if (high < 0 || low < 0) return false;
      out.push_back(static_cast<unsigned char>(high * 16 + low));
    }
  }
  return true;
}

bool ParseAddress(const char* text, unsigned char address[6]) {
  // 00:1A:7D:DA:71:13 or 00-1A-7D-DA-71-13
  if (strlen(text) != 17) return false;
  for (int i = 0; i < 6; ++i) {
    const char* p = text + i * 3;
    int high = HexDigit(p[0]), low = HexDigit(p[1]);
    if (high < 0 || low < 0) return false;
    if (i < 5 && p[2] != ':' && p[2] != '-') return false;
    address[i] = static_cast<unsigned char>(high * 16 + low);
  }
  return true;
}

// YYYY-MM-DD HH:MM:SS
bool ParseClock(const char* date, const char* time, long long& seconds) {
  TrackerTime t;
  char extra;
  if (sscanf(date, "%4u-%2u-%2u%c", &t.year, &t.month, &t.day, &extra) != 3) return false;
  if (sscanf(time, "%2u:%2u:%2u%c", &t.hour, &t.minute, &t.second, &extra) != 3) return false;
  if (!IsValidTrackerTime(t)) return false;
  seconds = TrackerTimeToSeconds(t);
  return true;
}

}  // namespace

TrackerScenario::TrackerScenario() { Reset(); }

void TrackerScenario::Reset() {
  name = L"EI-AN900";
  static const unsigned char defaultAddress[6] = {0x02, 0x50, 0x4C, 0x54, 0x4E, 0x01};
  memcpy(address, defaultAddress, sizeof address);
  battery = 80;
  hardwareMajor = 1;
  hardwareMinor = 0;
  strcpy(firmware, "1.2.3");
  hasClock = false;
  clock = 0;
  days = 7;
  seed = 1;
  hasWalking = false;
  walking.clear();
  hasSleeping = false;
  sleeping.clear();
  hasLive = false;
  live = HistoryTotals();
  notificationSize = 20;
  delayMs = 0;
  commandDelayMs.clear();
  replies.clear();
  faults.clear();
  silentAfter = -1;
  liveInside = 0;
  hangs.clear();
}

int TrackerScenario::LoadFile(const wchar_t* path, WideString& error) {
  KernelHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file == INVALID_HANDLE_VALUE) {
    error.Format(L"%s: cannot open the scenario file (error %lu)", path, GetLastError());
    return 0;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart > MaxFileSize) {
    error.Format(L"%s: the scenario file is larger than %u bytes", path, MaxFileSize);
    return 0;
  }
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  BOOL ok = text.empty() || ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
  if (!ok || read != text.size()) {
    error.Format(L"%s: cannot read the scenario file", path);
    return 0;
  }
  WideString lineError;
  if (!Parse(text.data(), text.size(), lineError)) {
    error.Format(L"%s: %s", path, lineError.CStr());
    return 0;
  }
  return 1;
}

int TrackerScenario::Parse(const char* text, size_t length, WideString& error) {
  Reset();
  if (!text) length = 0;
  if (length >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
    text += 3;
    length -= 3;
  }
  std::string line;
  unsigned number = 0;
  size_t at = 0;
  while (at < length) {
    size_t end = at;
    while (end < length && text[end] != '\n') ++end;
    line.assign(text + at, end - at);
    at = end + 1;
    ++number;
    if (line.find('\0') != std::string::npos) {
      error.Format(L"line %u: the line holds a NUL byte; a scenario is plain text", number);
      return 0;
    }
    if (!ParseLine(&line[0], number, error)) return 0;
  }
  return 1;
}

int TrackerScenario::ParseLine(char* line, unsigned number, WideString& error) {
  if (char* comment = strchr(line, '#')) *comment = '\0';
  std::vector<char*> words = SplitWords(line);
  if (words.empty()) return 1;
  // SplitWords cut the line; the rest of a name is rebuilt below.
  const char* key = words[0];
  size_t count = words.size();
  long long a, b;

  auto fail = [&](const wchar_t* why) {
    // A long first word is quoted by its beginning only, so that the text
    // always forms: every refusal names its line.
    const size_t kQuoted = 40;
    size_t keyLength = strlen(key);
    WideString word;
    word.AssignCodePage(key, static_cast<unsigned>(keyLength < kQuoted ? keyLength : kQuoted), 0,
                        CP_UTF8);
    if (keyLength > kQuoted) word.Append(L"...");
    if (!error.Format(L"line %u: %s: %s", number, word.CStr(), why))
      error.Format(L"line %u: %s", number, why);
    return 0;
  };

  if (_stricmp(key, "name") == 0) {
    if (count < 2) return fail(L"give the device name");
    std::string text = words[1];
    for (size_t i = 2; i < count; ++i) text.append(" ").append(words[i]);
    if (text.size() > 248) return fail(L"a device name has at most 248 bytes");
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                            static_cast<int>(text.size()), nullptr, 0) <= 0) {
      return fail(L"the name is not UTF-8 text");
    }
    name.AssignCodePage(text.data(), static_cast<unsigned>(text.size()), 0, CP_UTF8);
  } else if (_stricmp(key, "address") == 0) {
    if (count != 2 || !ParseAddress(words[1], address)) {
      return fail(L"expected six hexadecimal bytes such as 00:1A:7D:DA:71:13");
    }
  } else if (_stricmp(key, "battery") == 0) {
    if (count != 2 || !ParseNumber(words[1], 0, 100, a)) return fail(L"expected a percentage from 0 to 100");
    battery = static_cast<unsigned>(a);
  } else if (_stricmp(key, "hardware") == 0) {
    unsigned major, minor;
    char extra;
    if (count != 2 || sscanf(words[1], "%3u.%3u%c", &major, &minor, &extra) != 2 || major > 255 ||
        minor > 255) {
      return fail(L"expected major.minor, each from 0 to 255");
    }
    hardwareMajor = major;
    hardwareMinor = minor;
  } else if (_stricmp(key, "firmware") == 0) {
    if (count != 2 || strlen(words[1]) > FIRMWARE_TEXT_MAX) {
      return fail(L"expected one word of at most 9 characters");
    }
    for (const char* p = words[1]; *p; ++p) {
      if (static_cast<unsigned char>(*p) < 0x21 || static_cast<unsigned char>(*p) > 0x7E) {
        return fail(L"the version text must be printable ASCII");
      }
    }
    strcpy(firmware, words[1]);
  } else if (_stricmp(key, "clock") == 0) {
    if (count != 3 || !ParseClock(words[1], words[2], clock)) {
      return fail(L"expected a UTC time YYYY-MM-DD HH:MM:SS between the years 2000 and 2255");
    }
    hasClock = true;
  } else if (_stricmp(key, "days") == 0) {
    if (count != 2 || !ParseNumber(words[1], 0, TrackerHistoryGenerator::MaxDays, a)) {
      return fail(L"expected a number of days from 0 to 90");
    }
    days = static_cast<unsigned>(a);
  } else if (_stricmp(key, "seed") == 0) {
    if (count != 2 || !ParseNumber(words[1], 0, 0xFFFFFFFFLL, a)) return fail(L"expected a number");
    seed = static_cast<unsigned>(a);
  } else if (_stricmp(key, "walking") == 0 || _stricmp(key, "sleeping") == 0) {
    bool isWalking = _stricmp(key, "walking") == 0;
    Bytes& frame = isWalking ? walking : sleeping;
    if (count < 2 || !ParseHex(words, 1, frame)) {
      return fail(L"expected hexadecimal bytes (pairs of digits)");
    }
    if (frame.size() > MaxFileSize / 2) return fail(L"the frame is too long");
    (isWalking ? hasWalking : hasSleeping) = true;
  } else if (_stricmp(key, "live") == 0) {
    long long c;
    if (count != 4 || !ParseNumber(words[1], 0, 0xFFFFFF, a) || !ParseNumber(words[2], 0, 0xFFFF, b) ||
        !ParseNumber(words[3], 0, 0xFFFF, c)) {
      return fail(L"expected steps (below 16777216), calories and distance (below 65536)");
    }
    live.steps = static_cast<unsigned>(a);
    live.calories = static_cast<unsigned>(b);
    live.distance = static_cast<unsigned>(c);
    hasLive = true;
  } else if (_stricmp(key, "notification-size") == 0) {
    if (count != 2 || !ParseNumber(words[1], 1, MaxNotificationSize, a)) {
      return fail(L"expected a number of bytes from 1 to 512");
    }
    notificationSize = static_cast<unsigned>(a);
  } else if (_stricmp(key, "delay") == 0) {
    unsigned char command;
    if (count == 2 && ParseNumber(words[1], 0, MaxDelayMs, a)) {
      delayMs = static_cast<unsigned>(a);
    } else if (count == 3 && ParseCode(words[1], command) && ParseNumber(words[2], 0, MaxDelayMs, a)) {
      commandDelayMs[command] = static_cast<unsigned>(a);
    } else {
      return fail(L"expected milliseconds (up to 600000), or a command and milliseconds");
    }
  } else if (_stricmp(key, "reply") == 0) {
    // reply <command>[:<selector>] <hex>: one notification
    if (count < 3) return fail(L"expected a command and the notification's bytes in hex");
    ScenarioReply reply;
    char* colon = strchr(words[1], ':');
    if (colon) {
      *colon = '\0';
      if (!ParseNumber(colon + 1, 0, 255, a)) return fail(L"the selector after ':' must be 0-255");
      reply.selector = static_cast<int>(a);
    }
    if (!ParseCode(words[1], reply.command)) return fail(L"unknown command");
    Bytes bytes;
    if (!ParseHex(words, 2, bytes) || bytes.empty()) return fail(L"expected hexadecimal bytes");
    if (bytes.size() > MaxNotificationSize) return fail(L"a notification has at most 512 bytes");
    for (ScenarioReply& existing : replies) {
      if (existing.command == reply.command && existing.selector == reply.selector) {
        existing.notifications.push_back(bytes);
        return 1;
      }
    }
    reply.notifications.push_back(bytes);
    replies.push_back(reply);
  } else if (_stricmp(key, "drop") == 0 || _stricmp(key, "lie") == 0 || _stricmp(key, "wrong") == 0) {
    ScenarioFault fault;
    size_t countWord;
    if (_stricmp(key, "drop") == 0) {
      fault.kind = ScenarioFault::Drop;
      if (count < 2 || count > 3 || !ParseCode(words[1], fault.code)) {
        return fail(L"expected a command and an optional number of times");
      }
      countWord = 2;
    } else if (_stricmp(key, "lie") == 0) {
      fault.kind = ScenarioFault::Lie;
      if (count < 3 || count > 4 || !ParseCode(words[1], fault.code) ||
          !ParseNumber(words[2], -65535, 65535, a) || a == 0) {
        return fail(L"expected a response code, a non-zero change of the length field and an optional number of times");
      }
      fault.value = static_cast<int>(a);
      countWord = 3;
    } else {
      fault.kind = ScenarioFault::Wrong;
      unsigned char response;
      if (count < 3 || count > 4 || !ParseCode(words[1], fault.code) || !ParseCode(words[2], response)) {
        return fail(L"expected a command, the response code sent instead and an optional number of times");
      }
      if (!IsBuildableResponse(response)) return fail(L"the tracker cannot build that response code");
      fault.value = response;
      countWord = 3;
    }
    if (count > countWord) {
      if (!ParseNumber(words[countWord], 1, 0x7FFFFFFF, a)) return fail(L"the number of times must be 1 or more");
      fault.count = static_cast<int>(a);
    }
    faults.push_back(fault);
  } else if (_stricmp(key, "silent") == 0) {
    if (count != 2 || !ParseNumber(words[1], 0, 0x7FFFFFFF, a)) {
      return fail(L"expected the number of commands answered before the tracker goes silent");
    }
    silentAfter = static_cast<int>(a);
  } else if (_stricmp(key, "hang") == 0) {
    unsigned char command;
    if (count != 2 || !ParseCode(words[1], command)) return fail(L"expected a command");
    hangs.push_back(command);
  } else if (_stricmp(key, "live-inside") == 0) {
    if (count != 2 || !ParseNumber(words[1], 1, 0xFFFF, a)) {
      return fail(L"expected the number of notifications of a frame after which live totals go out, from 1 to 65535");
    }
    liveInside = static_cast<unsigned>(a);
  } else {
    return fail(L"unknown setting");
  }
  return 1;
}
