// Scenario files: the documented example, and bad input refused with the
// line and the reason.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/simulation/SimulatedTracker.h"
#include "app/simulation/TrackerScenario.h"
#include "tests/app/tracker/LinkTestSupport.h"
#include "tests/common/TempFolder.h"

namespace {

// The example of README.md.
const char kExample[] =
    "# A tracker whose battery query is lost once and whose clock is about to\n"
    "# pass midnight.\n"
    "name      EI-AN900 (desk)\n"
    "address   00:1A:7D:DA:71:13\n"
    "battery   64\n"
    "hardware  1.2\n"
    "firmware  1.2.3\n"
    "clock     2014-05-31 23:59:58\n"
    "days      3\n"
    "seed      42\n"
    "notification-size 20\n"
    "delay     CMD_HISTORY 250\n"
    "drop      CMD_QUERY 1\n"
    "lie       RSP_VERSION +2 1\n"
    "reply     CMD_QUERY:5 00 08 8E 0E 05 1F\n"
    "reply     CMD_QUERY:5 17 3B 3A 00\n";

int Parse(TrackerScenario& scenario, const std::string& text, std::string* error = nullptr) {
  WideString message;
  int ok = scenario.Parse(text.data(), text.size(), message);
  if (error) *error = message.ToNarrow();
  return ok;
}

}  // namespace

TEST(TrackerScenarioTest, TheDocumentedExampleSetsUpATracker) {
  TrackerScenario scenario;
  std::string error;
  ASSERT_EQ(1, Parse(scenario, kExample, &error)) << error;
  EXPECT_EQ(64u, scenario.battery);
  EXPECT_EQ(2u, scenario.hardwareMinor);
  EXPECT_STREQ("1.2.3", scenario.firmware);
  EXPECT_EQ(1401580798LL, scenario.clock);
  EXPECT_EQ(42u, scenario.seed);
  EXPECT_EQ(250u, scenario.commandDelayMs[CMD_HISTORY]);
  ASSERT_EQ(2u, scenario.faults.size());
  EXPECT_EQ(ScenarioFault::Drop, scenario.faults[0].kind);
  EXPECT_EQ(1, scenario.faults[0].count);
  EXPECT_EQ(ScenarioFault::Lie, scenario.faults[1].kind);
  EXPECT_EQ(2, scenario.faults[1].value);
  ASSERT_EQ(1u, scenario.replies.size());
  EXPECT_EQ(5, scenario.replies[0].selector);
  ASSERT_EQ(2u, scenario.replies[0].notifications.size());
  EXPECT_EQ(Hex("17 3B 3A 00"), scenario.replies[0].notifications[1]);

  SimulatedTracker tracker;
  tracker.Configure(scenario);
  WideString name;
  tracker.GetName(name);
  EXPECT_STREQ(L"EI-AN900 (desk)", name.CStr());
  unsigned char address[6];
  ASSERT_TRUE(tracker.GetDeviceAddress(address));
  EXPECT_EQ(Hex("00 1A 7D DA 71 13"), Bytes(address, address + 6));
}

TEST(TrackerScenarioTest, BadLinesAreRefusedWithTheLineAndTheReason) {
  struct Case {
    std::string text;
    const char* says;
  } cases[] = {
      {"battery 101", "line 1: battery"},
      {"\nbattery -1", "line 2: battery"},
      {"batery 50", "unknown setting"},
      {"address 00:1A:7D:DA:71", "line 1: address"},
      {"clock 2014-02-30 00:00:00", "line 1: clock"},
      {"clock 1999-12-31 23:59:59", "line 1: clock"},
      {"firmware 1.2.3.4.5.6", "line 1: firmware"},
      {"days 91", "line 1: days"},
      {"walking 00 1", "line 1: walking"},
      {"notification-size 0", "line 1: notification-size"},
      {"delay CMD_NOTHING 5", "line 1: delay"},
      {"reply 10:300 00 02 8B 50", "line 1: reply"},
      {"lie RSP_BATTERY 0", "line 1: lie"},
      {"wrong CMD_QUERY 7", "cannot build"},
      {"silent many", "line 1: silent"},
      {"live 16777216 0 0", "line 1: live"},
      {"name", "line 1: name"},
      {"name \xC3\x28", "UTF-8"},
      {std::string("battery 5\nna\0me x\n", 18), "line 2: the line holds a NUL"},
      {"walking 00 1A 83\r\nwalking 0", "line 2: walking"},
  };
  for (const Case& c : cases) {
    TrackerScenario scenario;
    std::string error;
    EXPECT_EQ(0, Parse(scenario, c.text, &error)) << c.text;
    EXPECT_NE(std::string::npos, error.find(c.says)) << c.text << " -> " << error;
  }
}

TEST(TrackerScenarioTest, AFirstWordOfMillionsOfCharactersIsRefusedByItsLine) {
  std::string text = "battery 5\n" + std::string(3000000, 'x') + " 1\n";
  TrackerScenario scenario;
  std::string error;
  EXPECT_EQ(0, Parse(scenario, text, &error));
  EXPECT_EQ(0u, error.find("line 2: xxxx")) << error.substr(0, 200);
  EXPECT_NE(std::string::npos, error.find("unknown setting")) << error.substr(0, 200);
  EXPECT_LT(error.size(), 300u);
}

TEST(TrackerScenarioTest, FilesLoadAndAMissingFileIsReported) {
  TempFolder folder(L"scenario");
  ASSERT_TRUE(folder.Write(L"a.scenario", "\xEF\xBB\xBF" "battery 33\r\nname Caf\xC3\xA9\r\n"));
  const std::wstring path = folder.File(L"a.scenario");

  TrackerScenario scenario;
  WideString error;
  EXPECT_EQ(1, scenario.LoadFile(path.c_str(), error)) << error.ToNarrow();
  EXPECT_EQ(33u, scenario.battery);
  EXPECT_STREQ(L"Caf\u00E9", scenario.name.CStr());
  DeleteFileW(path.c_str());

  EXPECT_EQ(0, scenario.LoadFile(path.c_str(), error));
  EXPECT_NE(nullptr, error.Find(L"cannot open"));
}
