// The protocol's readers at their edges: answers of another size or code or
// with impossible fields are refused, walking records stop at a short tail,
// and only streams skip marker blocks (only whole ones).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/tracker/TrackerAnswers.h"
#include "app/tracker/WalkingRecords.h"
#include "tests/app/tracker/LinkTestSupport.h"

namespace {

// What each parser makes of the bytes: "" when every one refuses them.
std::string Read(const Bytes& frame) {
  const unsigned char* p = frame.empty() ? nullptr : frame.data();
  unsigned percent = 0;
  TrackerVersions versions;
  TrackerTime clock;
  LiveTotals live;
  char text[64] = "";
  int accepted = 0;
  if (ParseBatteryAnswer(p, frame.size(), percent) && ++accepted) snprintf(text, sizeof text, "battery %u", percent);
  if (ParseVersionAnswer(p, frame.size(), versions) && ++accepted)
    snprintf(text, sizeof text, "%u.%u %s", versions.hardwareMajor, versions.hardwareMinor, versions.firmware);
  if (ParseTimeAnswer(p, frame.size(), clock) && ++accepted)
    snprintf(text, sizeof text, "%u-%u-%u %u:%u:%u", clock.year, clock.month, clock.day, clock.hour, clock.minute,
             clock.second);
  if (ParseLiveAnswer(p, frame.size(), live) && ++accepted)
    snprintf(text, sizeof text, "live %u %u %u", live.steps, live.calories, live.distance);
  return accepted > 1 ? "several" : text;
}

std::string Records(const Bytes& bytes, WalkingBytes kind) {
  std::string out;
  for (WalkingRecordReader records(bytes.data(), bytes.size(), kind); records.Next();) {
    const WalkingRecord& r = records.Record();
    out += std::to_string(r.steps) + "/" + std::to_string(r.calories) + "/" + std::to_string(r.distance) + " ";
  }
  return out;
}

const char kMarkerBlock[] = "7F 7F 7F 7F 6D 6D 6D 6D 00 00 00 00 00 00 00 00 00 00 00 00 00 ";

}  // namespace

TEST(TrackerAnswers, OnlyWholeAnswersOfTheirCodeWithPossibleFieldsAreRead) {
  const struct { const char* frame; const char* read; } cases[] = {
      {"00 02 8B 57", "battery 87"},
      {"00 02 8B", ""},                // cut short
      {"00 02 8B 57 00", ""},          // one byte too many
      {"00 02 8C 57", ""},             // another code
      {"", ""},
      {"00 0C 8C 02 05 31 2E 32 2E 33 00 00 00 00", "2.5 1.2.3"},
      {"00 0C 8C 02 05 31 32 33 34 35 36 37 38 39", "2.5 123456789"},  // no zero: nine characters
      {"00 0C 8C 02 05 31 2E 32 2E 33 00 00 00", ""},
      {"00 08 8E 0E 05 1F 17 3B 3A 06", "2014-5-31 23:59:58"},
      {"00 08 8E 0E 02 1E 17 3B 3A 06", ""},  // 30 February
      {"00 08 8E 0E 05 1F 18 00 00 06", ""},  // hour 24
      {"00 08 8E 0E 05 1F 17 3B 3A", ""},
      {"00 08 81 01 01 02 00 2A 00 7B", "live 65794 42 123"},
      {"00 08 81 01 01 02 00 2A 00", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.read, Read(Hex(c.frame))) << c.frame;

  TrackerTime clock;
  EXPECT_EQ(1, ParseSetTimeCommand(Hex("0F 01 02 03 04 05 01").data(), 7, clock));
  EXPECT_EQ(2015u, clock.year);
  EXPECT_EQ(0, ParseSetTimeCommand(Hex("0F 01 02 03 04 05").data(), 6, clock));
  EXPECT_EQ(0, ParseSetTimeCommand(Hex("0F 01 02 03 04 05 01 01").data(), 8, clock));
  EXPECT_EQ(0, ParseSetTimeCommand(nullptr, 7, clock));
}

TEST(TrackerAnswers, WalkingRecordsStopAtAShortTailAndStreamsSkipWholeMarkerBlocks) {
  const std::string marker = kMarkerBlock;
  const struct { std::string bytes; WalkingBytes kind; const char* records; } cases[] = {
      {"", WalkingBytes::Pattern, ""},
      {"00 05 00 2D 00 3F FF FF FF FF FF", WalkingBytes::Pattern, "5/45/63 "},
      {marker + "00 05 00 2D 00 3F", WalkingBytes::Stream, "5/45/63 "},
      {marker + marker + "00 05 00 2D 00 3F", WalkingBytes::Stream, "5/45/63 "},
      {"00 05 00 2D 00 3F " + marker, WalkingBytes::Stream, "5/45/63 "},  // nothing after the block
      {marker.substr(0, 36), WalkingBytes::Pattern, "32639/32639/28013 28013/0/0 "},  // patterns have no markers
      // A marker with no room for its block (20 bytes) is read as records.
      {marker.substr(0, 60), WalkingBytes::Stream, "32639/32639/28013 28013/0/0 0/0/0 "},
  };
  for (const auto& c : cases) EXPECT_EQ(c.records, Records(Hex(c.bytes.c_str()), c.kind)) << c.bytes;
  EXPECT_EQ("", Records(Bytes(), WalkingBytes::Stream));
}
