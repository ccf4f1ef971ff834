// The program's switches: simulated trackers, scenario files, the idle
// exit and the settings key; everything wrong on the line is reported, and
// the idle switch is known even then.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/program/CommandLine.h"
#include "tests/common/TempFolder.h"

namespace {

int Parse(CommandLine& line, std::initializer_list<const wchar_t*> arguments, std::wstring* error) {
  std::vector<const wchar_t*> list(arguments);
  WideString message;
  int ok = line.Parse(static_cast<int>(list.size()), list.data(), message);
  if (error) *error = message.CStr();
  return ok;
}

}  // namespace

TEST(CommandLineTest, NoSwitchesMeanTheRealStackAndTheProgramsSettingsKey) {
  CommandLine line;
  std::wstring error = L"unchanged";
  ASSERT_EQ(1, Parse(line, {}, &error));
  EXPECT_EQ(L"", error);
  EXPECT_FALSE(line.Simulated());
  EXPECT_FALSE(line.quitWhenIdle);
  EXPECT_STREQ(L"Software\\Vantrel\\Pellton", line.settingsKey.CStr());
}

TEST(CommandLineTest, SimulateGivesOneTrackerAndSimulateNGivesN) {
  CommandLine one;
  ASSERT_EQ(1, Parse(one, {L"--simulate"}, nullptr));
  EXPECT_EQ(1u, one.simulatedCount);
  EXPECT_TRUE(one.Simulated());

  CommandLine three;
  ASSERT_EQ(1, Parse(three, {L"--simulate=3", L"--quit-when-idle"}, nullptr));
  EXPECT_EQ(3u, three.simulatedCount);
  EXPECT_TRUE(three.quitWhenIdle);
}

TEST(CommandLineTest, SimulateCountsOutsideOneToSixteenAreRefused) {
  for (const wchar_t* bad : {L"--simulate=0", L"--simulate=17", L"--simulate=", L"--simulate=2x",
                             L"--simulate=-1", L"--simulate=+2"}) {
    CommandLine line;
    std::wstring error;
    EXPECT_EQ(0, Parse(line, {bad}, &error)) << bad;
    EXPECT_NE(std::wstring::npos, error.find(L"from 1 to 16")) << bad;
    EXPECT_EQ(0u, line.simulatedCount) << bad;
  }
  CommandLine sixteen;
  EXPECT_EQ(1, Parse(sixteen, {L"--simulate=16"}, nullptr));
  EXPECT_EQ(16u, sixteen.simulatedCount);
}

TEST(CommandLineTest, ScenarioFilesAreLoadedInTheOrderGivenInBothSpellings) {
  TempFolder folder(L"cmdline");
  ASSERT_TRUE(folder.Write(L"a.scenario", "name Left\naddress 00:11:22:33:44:55\nbattery 12\n"));
  ASSERT_TRUE(folder.Write(L"b.scenario", "# second\nname Right\nbattery 99\n"));
  std::wstring a = folder.File(L"a.scenario");
  std::wstring b = L"--scenario=" + folder.File(L"b.scenario");
  CommandLine line;
  std::wstring error;
  ASSERT_EQ(1, Parse(line, {L"--scenario", a.c_str(), b.c_str(), L"--simulate=2"}, &error)) << error.c_str();
  ASSERT_EQ(2u, line.scenarios.size());
  EXPECT_STREQ(L"Left", line.scenarios[0].name.CStr());
  EXPECT_EQ(12u, line.scenarios[0].battery);
  EXPECT_EQ(0x55, line.scenarios[0].address[5]);
  EXPECT_STREQ(L"Right", line.scenarios[1].name.CStr());
  EXPECT_EQ(99u, line.scenarios[1].battery);
  EXPECT_EQ(2u, line.simulatedCount);
}

TEST(CommandLineTest, AMissingAScenarioWithABadLineAndAnUnknownSwitchAreAllReported) {
  TempFolder folder(L"cmdline");
  ASSERT_TRUE(folder.Write(L"bad.scenario", "name X\nbattery 140\n"));
  std::wstring missing = folder.File(L"missing.scenario");
  std::wstring bad = folder.File(L"bad.scenario");
  CommandLine line;
  std::wstring error;
  ASSERT_EQ(0, Parse(line, {L"--scenario", missing.c_str(), L"--frobnicate", L"--scenario", bad.c_str(),
                            L"--quit-when-idle"},
                     &error));
  // One line per problem, in the order of the arguments.
  size_t first = error.find(L"missing.scenario: cannot open the scenario file");
  size_t second = error.find(L"unknown argument \"--frobnicate\"");
  size_t third = error.find(L"bad.scenario: line 2: battery");
  ASSERT_NE(std::wstring::npos, first) << error.c_str();
  ASSERT_NE(std::wstring::npos, second) << error.c_str();
  ASSERT_NE(std::wstring::npos, third) << error.c_str();
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);
  EXPECT_EQ(2, std::count(error.begin(), error.end(), L'\n'));
  EXPECT_TRUE(line.scenarios.empty());
  // Known although the line is wrong, so the problem goes to standard error.
  EXPECT_TRUE(line.quitWhenIdle);
}

TEST(CommandLineTest, SwitchesWithoutTheirValueAndValuesOnFlagsAreRefused) {
  std::wstring error;
  CommandLine noFile;
  EXPECT_EQ(0, Parse(noFile, {L"--scenario"}, &error));
  EXPECT_EQ(L"--scenario needs a value", error);
  CommandLine emptyFile;
  EXPECT_EQ(0, Parse(emptyFile, {L"--scenario="}, &error));
  EXPECT_EQ(L"--scenario needs a file name", error);
  CommandLine flagValue;
  EXPECT_EQ(0, Parse(flagValue, {L"--quit-when-idle=yes"}, &error));
  EXPECT_EQ(L"unknown argument \"--quit-when-idle=yes\"", error);
  EXPECT_FALSE(flagValue.quitWhenIdle);
  CommandLine plain;
  EXPECT_EQ(0, Parse(plain, {L"simulate"}, &error));
  EXPECT_EQ(L"unknown argument \"simulate\"", error);
}

TEST(CommandLineTest, TheSettingsKeyCanBeMovedButNotToTheRoot) {
  CommandLine moved;
  ASSERT_EQ(1, Parse(moved, {L"--settings-key", L"Software\\Vantrel\\PelltonTest"}, nullptr));
  EXPECT_STREQ(L"Software\\Vantrel\\PelltonTest", moved.settingsKey.CStr());
  for (const wchar_t* bad : {L"--settings-key=", L"--settings-key=\\Software"}) {
    CommandLine line;
    std::wstring error;
    EXPECT_EQ(0, Parse(line, {bad}, &error)) << bad;
    EXPECT_STREQ(L"Software\\Vantrel\\Pellton", line.settingsKey.CStr());
  }
}

TEST(CommandLineTest, AWholeCommandLineIsSplitAsTheRuntimeSplitsItAndTheProgramSkipped) {
  TempFolder folder(L"cmdline spaced");
  ASSERT_TRUE(folder.Write(L"my tracker.scenario", "name Spaced\n"));
  std::wstring text = L"\"C:\\Program Files\\Pellton\\Pellton.exe\" --scenario \"" +
                      folder.File(L"my tracker.scenario") + L"\" --quit-when-idle";
  CommandLine line;
  WideString error;
  ASSERT_EQ(1, line.ParseCommandLine(text.c_str(), error)) << error.ToNarrow();
  ASSERT_EQ(1u, line.scenarios.size());
  EXPECT_STREQ(L"Spaced", line.scenarios[0].name.CStr());
  EXPECT_TRUE(line.quitWhenIdle);
}

TEST(CommandLineTest, ScreenshotsNeedAnExistingFolder) {
  TempFolder folder(L"cmdline shots");
  std::wstring withSlash = folder.Path() + L"\\";
  CommandLine line;
  std::wstring error;
  ASSERT_EQ(1, Parse(line, {L"--screenshots", withSlash.c_str()}, &error)) << error.c_str();
  EXPECT_EQ(folder.Path(), line.screenshotFolder.CStr());

  std::wstring missing = folder.File(L"not-there");
  CommandLine bad;
  EXPECT_EQ(0, Parse(bad, {L"--screenshots", missing.c_str()}, &error));
  EXPECT_NE(std::wstring::npos, error.find(L"--screenshots needs an existing folder")) << error.c_str();
  EXPECT_TRUE(bad.screenshotFolder.IsEmpty());
}

TEST(CommandLineTest, ScreenshotsMakeTheRunUnattendedEvenWhenTheLineIsWrong) {
  // tools/run.sh adds --screenshots to the user's own switches: a wrong
  // switch or folder must be reported on standard error, not in a box that
  // waits for a click on a screen nobody sees.
  TempFolder folder(L"cmdline shots unattended");
  std::wstring error;
  CommandLine good;
  ASSERT_EQ(1, Parse(good, {L"--screenshots", folder.Path().c_str()}, &error)) << error.c_str();
  EXPECT_TRUE(good.quitWhenIdle);

  CommandLine wrongSwitch;
  EXPECT_EQ(0, Parse(wrongSwitch, {L"--bogus", L"--screenshots", folder.Path().c_str()}, &error));
  EXPECT_EQ(L"unknown argument \"--bogus\"", error);
  EXPECT_TRUE(wrongSwitch.quitWhenIdle);

  std::wstring missing = folder.File(L"not-there");
  CommandLine wrongFolder;
  EXPECT_EQ(0, Parse(wrongFolder, {L"--screenshots", missing.c_str()}, &error));
  EXPECT_TRUE(wrongFolder.quitWhenIdle);
}
