// Cutting history frames into runs: the edge cases of both streams, markers,
// frames too short to hold anything, a header that is no date, and a sink
// that refuses runs.
#include <gtest/gtest.h>

#include <vector>

#include "app/tracker/HistoryDecoder.h"
#include "app/simulation/TrackerHistoryGenerator.h"
#include "app/tracker/TrackerProtocol.h"
#include "app/tracker/TrackerTime.h"
#include "tests/app/tracker/LinkTestSupport.h"

namespace {

const long long kHeader = 1401580800LL;  // 2014-06-01 00:00:00 UTC

struct DecodedRun {
  int tracker;
  unsigned start;
  Bytes pattern;
  bool operator==(const DecodedRun& other) const {
    return tracker == other.tracker && start == other.start && pattern == other.pattern;
  }
};

std::ostream& operator<<(std::ostream& out, const DecodedRun& run) {
  out << "{tracker " << run.tracker << ", start " << run.start << ", " << run.pattern.size() << " bytes:";
  for (unsigned char b : run.pattern) out << ' ' << std::hex << static_cast<unsigned>(b) << std::dec;
  return out << '}';
}

class MemorySink : public HistoryRunSink {
public:
  int StoreWalkingRun(int tracker, unsigned start, const ByteBuffer& pattern) override {
    walking.push_back({tracker, start, ToBytes(pattern)});
    return accept;
  }
  int StoreSleepingRun(int tracker, unsigned start, const ByteBuffer& pattern) override {
    sleeping.push_back({tracker, start, ToBytes(pattern)});
    return accept;
  }
  std::vector<DecodedRun> walking, sleeping;
  int accept = 1;
};

Bytes Record(unsigned steps) {
  // calories and distance derived from the steps, so records differ
  Bytes record(6);
  WriteBig16(record.data(), steps);
  WriteBig16(record.data() + 2, steps * 4 / 100);
  WriteBig16(record.data() + 4, steps * 7 / 100);
  return record;
}

Bytes Records(std::vector<unsigned> steps) {
  Bytes stream;
  for (unsigned s : steps) {
    Bytes r = Record(s);
    stream.insert(stream.end(), r.begin(), r.end());
  }
  return stream;
}

struct DecoderTest : ::testing::Test {
  ~DecoderTest() override { BufferClear(frame); }
  void Walking(const Bytes& stream, long long start = kHeader) {
    Bytes bytes;
    ASSERT_TRUE(TrackerHistoryGenerator::MakeWalkingFrame(start, stream, bytes));
    Decode(bytes, true);
  }
  void Sleeping(const Bytes& stream, long long start = kHeader) {
    Bytes bytes;
    ASSERT_TRUE(TrackerHistoryGenerator::MakeSleepingFrame(start, stream, bytes));
    Decode(bytes, false);
  }
  void Decode(const Bytes& bytes, bool walking) {
    BufferClear(frame);
    BufferAppend(frame, bytes.data(), bytes.size());
    if (walking) {
      DecodeWalkingHistory(3, frame, sink, &tally);
    } else {
      DecodeSleepingHistory(3, frame, sink, &tally);
    }
  }

  MemorySink sink;
  HistoryTally tally;
  ByteBuffer frame;
};

unsigned At(long long seconds) { return static_cast<unsigned>(seconds); }

}  // namespace

// --- walking ------------------------------------------------------------------

TEST_F(DecoderTest, WalkingFiveEmptyQuarterHoursEndARun) {
  Walking(Records({0, 5, 0, 0, 0, 0, 0, 7}));
  std::vector<DecodedRun> expected = {{3, At(kHeader + 900), Record(5)}, {3, At(kHeader + 7 * 900), Record(7)}};
  EXPECT_EQ(expected, sink.walking);
  EXPECT_EQ(2u, tally.stored);
  EXPECT_EQ(0u, tally.failed);
  EXPECT_TRUE(sink.sleeping.empty());
}

TEST_F(DecoderTest, WalkingShortPausesStayInsideTheRun) {
  Walking(Records({3, 0, 0, 4}));
  std::vector<DecodedRun> expected = {{3, At(kHeader), Records({3, 0, 0, 4})}};
  EXPECT_EQ(expected, sink.walking);
}

TEST_F(DecoderTest, WalkingFourEmptyQuarterHoursDoNotEndARun) {
  Walking(Records({3, 0, 0, 0, 0, 4, 0, 0}));
  // Four pauses stay inside; the two at the end are trimmed.
  std::vector<DecodedRun> expected = {{3, At(kHeader), Records({3, 0, 0, 0, 0, 4})}};
  EXPECT_EQ(expected, sink.walking);
}

TEST_F(DecoderTest, WalkingMarkerBlockTakesNoTime) {
  Bytes stream = Records({0, 3});
  TrackerHistoryGenerator::AppendMarkerBlock(stream, WALKING_MARKER_BLOCK, kHeader);
  Bytes tail = Records({4, 0, 0, 0, 0, 0, 9});
  stream.insert(stream.end(), tail.begin(), tail.end());
  Walking(stream);
  // 3 and 4 are neighbours in time: the marker block is skipped whole.
  std::vector<DecodedRun> expected = {{3, At(kHeader + 900), Records({3, 4})},
                               {3, At(kHeader + 8 * 900), Record(9)}};
  EXPECT_EQ(expected, sink.walking);
}

TEST_F(DecoderTest, WalkingMarkerAtTheStartAndPartialRecordsAtTheEnd) {
  Bytes stream;
  TrackerHistoryGenerator::AppendMarkerBlock(stream, WALKING_MARKER_BLOCK, kHeader);
  Bytes records = Records({0, 0, 6});
  stream.insert(stream.end(), records.begin(), records.end());
  stream.insert(stream.end(), {0x00, 0x09, 0x00, 0x01, 0x00});  // five bytes: no record
  Walking(stream);
  std::vector<DecodedRun> expected = {{3, At(kHeader + 2 * 900), Record(6)}};
  EXPECT_EQ(expected, sink.walking);
}

TEST_F(DecoderTest, WalkingWithoutStepsStoresNothing) {
  Walking(Records({0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(sink.walking.empty());
  EXPECT_EQ(0u, tally.stored + tally.failed);
}

TEST_F(DecoderTest, WalkingFramesTooShortForARecordStoreNothing) {
  Bytes frame24(24, 0), frame29(29, 0);
  frame24[2] = frame29[2] = RSP_WALKING;
  frame29[20] = 0x01;  // steps in a record that does not fit
  Decode(frame24, true);
  Decode(frame29, true);
  Decode(Bytes(), true);
  EXPECT_TRUE(sink.walking.empty());
  Walking(Records({7}));  // exactly one record: 30 bytes
  EXPECT_EQ(1u, sink.walking.size());
}

// --- sleeping -------------------------------------------------------------------

TEST_F(DecoderTest, SleepingRunStartsWithTheLastActivePeriodBeforeIt) {
  Sleeping(Hex("AA AA 55 55 AA"));
  std::vector<DecodedRun> expected = {{3, At(kHeader + 240), Hex("AA 55 55")}};
  EXPECT_EQ(expected, sink.sleeping);
}

TEST_F(DecoderTest, SleepingSixteenActivePeriodsEndARunKeepingOne) {
  Bytes stream = Hex("55");
  stream.insert(stream.end(), 17, 0xAA);
  Sleeping(stream);
  std::vector<DecodedRun> expected = {{3, At(kHeader), Hex("55 AA")}};
  EXPECT_EQ(expected, sink.sleeping);
  EXPECT_EQ(1u, tally.stored);
}

TEST_F(DecoderTest, SleepingAfterACutTheNextRunStartsAfresh) {
  Bytes stream = Hex("55");
  stream.insert(stream.end(), 17, 0xAA);
  Bytes second = Hex("15 AA AA");
  stream.insert(stream.end(), second.begin(), second.end());
  Sleeping(stream);
  // The seventeenth AA opens the second run, which loses both trailing AA.
  std::vector<DecodedRun> expected = {{3, At(kHeader), Hex("55 AA")}, {3, At(kHeader + 17 * 240), Hex("AA 15")}};
  EXPECT_EQ(expected, sink.sleeping);
}

TEST_F(DecoderTest, SleepingOnlyActivePeriodsStoreNothing) {
  Sleeping(Bytes(40, 0xAA));
  EXPECT_TRUE(sink.sleeping.empty());
  EXPECT_EQ(0u, tally.stored + tally.failed);
}

TEST_F(DecoderTest, SleepingStreamStartingAsleepStartsAtTheHeader) {
  Sleeping(Hex("55 15 AA AA AA"));
  // k = 3 trailing active bytes: two go, one stays.
  std::vector<DecodedRun> expected = {{3, At(kHeader), Hex("55 15 AA")}};
  EXPECT_EQ(expected, sink.sleeping);
}

TEST_F(DecoderTest, SleepingMarkerBlockTakesNoTime) {
  Bytes stream = Hex("AA 55");
  TrackerHistoryGenerator::AppendMarkerBlock(stream, SLEEPING_MARKER_BLOCK, kHeader);
  Bytes tail = Hex("54 7F AA");  // a lone 7F is a sleep byte, not a marker
  stream.insert(stream.end(), tail.begin(), tail.end());
  Sleeping(stream);
  std::vector<DecodedRun> expected = {{3, At(kHeader), Hex("AA 55 54 7F")}};
  EXPECT_EQ(expected, sink.sleeping);
}

TEST_F(DecoderTest, SleepingFramesTooShortStoreNothing) {
  Bytes frame18(18, 0);
  frame18[2] = RSP_SLEEPING;
  Decode(frame18, false);
  EXPECT_TRUE(sink.sleeping.empty());
  Sleeping(Hex("55"));  // 19 bytes: one byte of stream
  std::vector<DecodedRun> expected = {{3, At(kHeader), Hex("55")}};
  EXPECT_EQ(expected, sink.sleeping);
}

// --- failures -----------------------------------------------------------------------

TEST_F(DecoderTest, AHeaderThatIsNoDateStoresNothingAndCountsTheRunsAsUntimed) {
  Bytes walking, sleeping;
  ASSERT_TRUE(TrackerHistoryGenerator::MakeWalkingFrame(kHeader, Records({5, 0, 0, 0, 0, 0, 6}), walking));
  ASSERT_TRUE(TrackerHistoryGenerator::MakeSleepingFrame(kHeader, Hex("AA 55 AA"), sleeping));
  walking[HISTORY_START_OFFSET + 1] = 13;  // month 13
  sleeping[HISTORY_START_OFFSET + 2] = 31;  // 2014-06-31
  Decode(walking, true);
  Decode(sleeping, false);
  EXPECT_TRUE(sink.walking.empty());
  EXPECT_TRUE(sink.sleeping.empty());
  EXPECT_EQ(0u, tally.stored);
  EXPECT_EQ(3u, tally.untimed);  // two walks and a night could not be timed
  EXPECT_EQ(0u, tally.failed);   // no store refused anything
}

TEST_F(DecoderTest, AHeaderThatIsNoDateWithNothingToStoreIsNoFailure) {
  Bytes walking;
  ASSERT_TRUE(TrackerHistoryGenerator::MakeWalkingFrame(kHeader, Records({0, 0}), walking));
  walking[HISTORY_START_OFFSET + 3] = 24;  // hour 24
  Decode(walking, true);
  EXPECT_EQ(0u, tally.failed);
  EXPECT_EQ(0u, tally.untimed);
}

TEST_F(DecoderTest, RunsStartingBeyondTheStoredRangeAreUntimedNotWrapped) {
  // 2106-02-07 06:15 is the last second an unsigned 32-bit start holds.
  const long long late = 0xFFFFFFFFLL - 900;
  Walking(Records({5, 0, 0, 0, 0, 0, 6}), late);
  ASSERT_EQ(1u, sink.walking.size());
  EXPECT_EQ(At(late), sink.walking[0].start);
  EXPECT_EQ(1u, tally.untimed);
  EXPECT_EQ(0u, tally.failed);
}

TEST_F(DecoderTest, RefusedRunsAreCounted) {
  sink.accept = 0;
  Walking(Records({0, 5, 0, 0, 0, 0, 0, 7}));
  EXPECT_EQ(2u, sink.walking.size());
  EXPECT_EQ(0u, tally.stored);
  EXPECT_EQ(2u, tally.failed);
}

TEST_F(DecoderTest, TheSameFrameGivesTheSameRunsAgain) {
  Bytes walking, sleeping;
  ASSERT_TRUE(TrackerHistoryGenerator(4).Generate(kHeader + 5 * 86400, 5, walking, sleeping));
  Decode(walking, true);
  Decode(sleeping, false);
  std::vector<DecodedRun> firstWalking = sink.walking, firstSleeping = sink.sleeping;
  sink.walking.clear();
  sink.sleeping.clear();
  Decode(walking, true);
  Decode(sleeping, false);
  EXPECT_EQ(firstWalking, sink.walking);
  EXPECT_EQ(firstSleeping, sink.sleeping);
  // Five days: three or four walks a day and a night each.
  EXPECT_GE(sink.walking.size(), 15u);
  EXPECT_GE(sink.sleeping.size(), 4u);
  for (const DecodedRun& run : sink.walking) {
    ASSERT_EQ(0u, run.pattern.size() % 6);
    EXPECT_NE(0u, ReadBig16(run.pattern.data()));                        // starts active
    EXPECT_NE(0u, ReadBig16(run.pattern.data() + run.pattern.size() - 6));  // ends active
  }
  // A night begins with its fully active period, unless the stream itself
  // begins asleep.
  for (const DecodedRun& run : sink.sleeping) {
    if (run.start != At(TrackerTimeToSeconds(GetTrackerTime(sleeping.data() + HISTORY_START_OFFSET)))) {
      EXPECT_EQ(0xAA, run.pattern[0]);
    }
  }
}
