// Scenario files into the scenario parser: lines made of its own settings
// with good and bad values, and lines of any bytes. The parser either takes
// the whole file or names the line it refused, and says the same again
// for the same text.
#include <cstdio>
#include <cstring>

#include "app/simulation/TrackerScenario.h"
#include "tests/fuzz/FuzzDriver.h"

namespace {

const char* const kKeys[] = {"name", "address", "battery", "hardware", "firmware", "clock",
                             "days", "seed", "walking", "sleeping", "live", "notification-size",
                             "delay", "reply", "drop", "lie", "wrong", "silent", "live-inside", "hang", "#", "Battery"};
const char* const kWords[] = {"0", "1", "100", "101", "-1", "65536", "4294967296", "1.2", "255.255",
                              "00:1A:7D:DA:71:13", "00-1a", "2014-05-31", "23:59:58", "2255-12-31",
                              "CMD_QUERY", "CMD_QUERY:5", "CMD_HISTORY", "RSP_VERSION", "+2", "-3",
                              "00", "08", "8E", "0E", "FF", "7F", "x", "\xC3\x28", "\xEF\xBB\xBF", "#"};

void AddWord(FuzzRandom& random, std::string& line) {
  if (random.OneIn(25)) {
    // A word of any bytes, now and then a very long one.
    unsigned length = random.OneIn(10) ? 1000 + random.Below(200000) : 1 + random.Below(12);
    for (unsigned i = 0; i < length; ++i) {
      char c = static_cast<char>(random.Byte());
      line.push_back(c == '\n' || c == '\0' ? 'x' : c);
    }
    return;
  }
  line += kWords[random.Below(sizeof kWords / sizeof kWords[0])];
}

}  // namespace

void GenerateScenario(FuzzRandom& random, std::string& input) {
  unsigned lines = random.Below(14);
  for (unsigned l = 0; l < lines; ++l) {
    std::string line;
    if (random.OneIn(12)) {
      AddWord(random, line);
    } else {
      line = kKeys[random.Below(sizeof kKeys / sizeof kKeys[0])];
    }
    unsigned words = random.Below(8);
    for (unsigned w = 0; w < words; ++w) {
      line += random.OneIn(6) ? "\t" : " ";
      AddWord(random, line);
    }
    if (random.OneIn(10)) line += "\r";
    if (random.OneIn(60)) line.push_back('\0');
    input += line;
    if (l + 1 < lines || random.OneIn(2)) input += "\n";
  }
}

int CheckScenario(const std::string& input, std::string& finding) {
  unsigned lines = 1;
  for (char c : input) lines += c == '\n';
  TrackerScenario scenario;
  WideString error;
  int parsed = scenario.Parse(input.data(), input.size(), error);
  WideString again;
  TrackerScenario second;
  if (second.Parse(input.data(), input.size(), again) != parsed || !(again == error.CStr())) {
    finding = "the same text parsed twice gives another answer";
    return 0;
  }
  if (parsed) return 1;
  unsigned line = 0;
  int used = 0;
  if (swscanf(error.CStr(), L"line %u: %n", &line, &used) != 1 || used == 0 || line < 1 || line > lines) {
    const char* text = error.ToNarrow();
    finding = std::string("a refusal that names no line of the text: \"") +
              std::string(text ? text : "").substr(0, 120) + "\"";
    return 0;
  }
  if (error.Length() > 1000) {
    finding = "a refusal text of more than 1000 characters";
    return 0;
  }
  return 1;
}
