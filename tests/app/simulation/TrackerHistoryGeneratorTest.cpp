// The generated history: frame layout, markers, and runs as the host cuts
// them (walks end after five quiet quarter hours, nights after sixteen
// fully active 4-minute periods).
#include <gtest/gtest.h>

#include <cstring>

#include "app/simulation/TrackerHistoryGenerator.h"
#include "app/tracker/TrackerProtocol.h"
#include "app/tracker/TrackerTime.h"

namespace {

const long long kJune1 = 1401580800LL;  // 2014-06-01 00:00:00 UTC

long long StartOf(const Bytes& frame) {
  return TrackerTimeToSeconds(GetTrackerTime(frame.data() + HISTORY_START_OFFSET));
}

bool MarkerAt(const Bytes& frame, size_t at) {
  return at + sizeof HISTORY_MARKER <= frame.size() &&
         memcmp(frame.data() + at, HISTORY_MARKER, sizeof HISTORY_MARKER) == 0;
}

// Start times of the runs the host cuts from a history frame: a walk starts
// at a busy quarter hour after five or more quiet ones (or the start); a
// night starts at the fully active period before a byte that is not, after
// sixteen or more such periods (or at the start). Markers are counted and
// skipped; `inside` tells of a fully active period within a night.
std::vector<long long> RunStarts(const Bytes& frame, bool walking, size_t& markers, bool& inside) {
  const size_t idle = ~size_t(0), end = frame.size() - HISTORY_TRAILER_SIZE;
  size_t element = walking ? WALKING_RECORD_SIZE : 1, quietEnds = walking ? 5 : 16;
  size_t block = walking ? WALKING_MARKER_BLOCK : SLEEPING_MARKER_BLOCK;
  long long slot = walking ? WALKING_SLOT_SECONDS : SLEEPING_SLOT_SECONDS, t = StartOf(frame);
  std::vector<long long> starts;
  size_t quiet = idle;
  for (size_t i = walking ? WALKING_STREAM_OFFSET : SLEEPING_STREAM_OFFSET; i + element <= end;) {
    if (end - i >= block && MarkerAt(frame, i)) {
      ++markers;
      i += block;
      continue;
    }
    bool busy = walking ? ReadBig16(&frame[i]) != 0 : frame[i] != SLEEP_FULLY_ACTIVE;
    if (busy) {
      if (quiet >= quietEnds) starts.push_back(walking || quiet == idle ? t : t - slot);
      else if (!walking && quiet > 0) inside = true;
      quiet = 0;
    } else if (quiet != idle) {
      ++quiet;
    } else if (!walking) {
      quiet = quietEnds;  // a fully active period before anything else
    }
    t += slot;
    i += element;
  }
  return starts;
}

}  // namespace

TEST(TrackerHistoryGeneratorTest, TheSameSeedGivesTheSameHistory) {
  Bytes w1, s1, w2, s2, w3, s3;
  TrackerHistoryGenerator(7).Generate(kJune1 + 50000, 5, w1, s1);
  TrackerHistoryGenerator(7).Generate(kJune1 + 50000, 5, w2, s2);
  TrackerHistoryGenerator(8).Generate(kJune1 + 50000, 5, w3, s3);
  EXPECT_EQ(w1, w2);
  EXPECT_EQ(s1, s2);
  EXPECT_NE(w1, w3);
  EXPECT_NE(s1, s3);
}

TEST(TrackerHistoryGeneratorTest, FramesHaveTheDocumentedLayout) {
  Bytes walking, sleeping;
  long long now = kJune1 + 6 * 86400 + 86340;  // 2014-06-07 23:59:00
  ASSERT_TRUE(TrackerHistoryGenerator(1).Generate(now, 7, walking, sleeping));
  // One record per whole quarter hour and a sleeping byte per 4 minutes
  // since 2014-06-01, and a charge on the 3rd and 6th day.
  EXPECT_EQ(24u + 671 * 6 + 2 * 21, walking.size());
  EXPECT_EQ(18u + 2519 + 2 * 14, sleeping.size());
  EXPECT_EQ(walking.size() - 2, ReadBig16(walking.data()));
  EXPECT_EQ(sleeping.size() - 2, ReadBig16(sleeping.data()));
  EXPECT_EQ(RSP_WALKING, walking[2]);
  EXPECT_EQ(RSP_SLEEPING, sleeping[2]);
  EXPECT_EQ(kJune1, StartOf(walking));
  EXPECT_EQ(kJune1, StartOf(sleeping));
}

TEST(TrackerHistoryGeneratorTest, DecodingGivesSeveralWalksADayAndOneRunANight) {
  Bytes walking, sleeping;
  long long now = kJune1 + 6 * 86400 + 86340;
  for (unsigned seed = 1; seed <= 5; ++seed) {
    ASSERT_TRUE(TrackerHistoryGenerator(seed).Generate(now, 7, walking, sleeping));
    size_t walkingMarkers = 0, sleepingMarkers = 0;
    bool inside = false;
    std::vector<long long> walks = RunStarts(walking, true, walkingMarkers, inside);
    std::vector<long long> nights = RunStarts(sleeping, false, sleepingMarkers, inside);
    int perDay[7] = {};
    for (long long walk : walks) {
      ASSERT_GE(walk, kJune1);
      ++perDay[(walk - kJune1) / 86400];
    }
    for (int day = 0; day < 7; ++day) {
      EXPECT_GE(perDay[day], 3) << "seed " << seed << " day " << day;
      EXPECT_LE(perDay[day], 4) << "seed " << seed << " day " << day;
    }
    // The night before June 1 is under way at the start, the last one at the end.
    ASSERT_EQ(8u, nights.size()) << "seed " << seed;
    EXPECT_EQ(kJune1, nights[0]);
    for (size_t i = 1; i < nights.size(); ++i) {
      long long clock = nights[i] % 86400;
      EXPECT_TRUE(clock >= 22 * 3600 && clock < 24 * 3600) << "seed " << seed;
    }
    EXPECT_FALSE(inside) << "a fully active period inside a night";
    EXPECT_EQ(2u, walkingMarkers);
    EXPECT_EQ(2u, sleepingMarkers);
  }
}

TEST(TrackerHistoryGeneratorTest, TheLongestHistoryStillFitsTheLengthField) {
  Bytes walking, sleeping;
  long long now = kJune1 + 86399;
  ASSERT_TRUE(TrackerHistoryGenerator(1).Generate(now, TrackerHistoryGenerator::MaxDays, walking, sleeping));
  EXPECT_LE(walking.size(), FRAME_SIZE_MAX);
  EXPECT_EQ(walking.size(), DeclaredFrameSize(walking.data()));
  EXPECT_EQ(sleeping.size(), DeclaredFrameSize(sleeping.data()));
  EXPECT_EQ(0, TrackerHistoryGenerator(1).Generate(now, TrackerHistoryGenerator::MaxDays + 1, walking, sleeping));
  EXPECT_EQ(0, TrackerHistoryGenerator(1).Generate(86400, 1, walking, sleeping));  // 1970
}
