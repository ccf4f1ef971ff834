#include "core/Stopwatch.h"
#include "core/TickCount.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/core/FakeApiLibrary.h"

namespace {

// Stops the watch once its raw count has moved (the clock is the thing
// measured here, not a stand-in for synchronisation).
unsigned long long RunUntilElapsed(Stopwatch& watch) {
  watch.Start();
  while (watch.Stop() == 0) {
  }
  return watch.Elapsed();
}

TEST(StopwatchTest, WithoutTheHighResolutionCounterMillisecondsAreTheRawCount) {
  Stopwatch watch;
  ASSERT_EQ(1, watch.SetHighResolution(0));
  EXPECT_EQ(0u, watch.Flags() & Stopwatch::HighResolution);
  unsigned long long raw = RunUntilElapsed(watch);
  EXPECT_EQ(raw, watch.ElapsedMilliseconds());
  EXPECT_EQ(raw * 1000, watch.ElapsedMicroseconds());
}

TEST(StopwatchTest, WithTheHighResolutionCounterCountsAreScaledByTheFrequency) {
  Stopwatch watch;
  ASSERT_EQ(1, watch.SetHighResolution(1));
  LARGE_INTEGER frequency;
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(static_cast<unsigned long long>(frequency.QuadPart), watch.Frequency());
  unsigned long long raw = RunUntilElapsed(watch);
  unsigned long long f = watch.Frequency();
  EXPECT_EQ(raw * 1000 / f, watch.ElapsedMilliseconds());
  EXPECT_EQ(raw * 1000000 / f, watch.ElapsedMicroseconds());
}

TEST(StopwatchTest, StopReturnsTheLowHalfOfTheElapsedCount) {
  Stopwatch watch;
  unsigned long long start = watch.Start();
  unsigned low = watch.Stop();
  EXPECT_EQ(static_cast<unsigned>(watch.Elapsed()), low);
  EXPECT_NE(0u, start);
}

TEST(StopwatchTest, ANewWatchPrefersTheHighResolutionCounter) {
  Stopwatch watch;
  EXPECT_EQ(Stopwatch::HighResolution, watch.Flags());
  EXPECT_NE(0u, watch.Frequency());
}

TEST(TickCountTest, FollowsTheSystemTick) {
  unsigned long long before = GetTickCount64();
  unsigned long long tick = TickCount64();
  unsigned long long after = GetTickCount64();
  EXPECT_LE(before, tick);
  EXPECT_LE(tick, after);
}

TEST(TickCountTest, CallsTheFunctionItLooksUp) {
  EXPECT_EQ(0x123456789ABull, TickCount64From(FakeApiPath().c_str(), "GetTickCount64"));
}

TEST(TickCountTest, FallsBackToTheThirtyTwoBitTickWhenTheFunctionIsMissing) {
  std::wstring fake = FakeApiPath();
  for (const wchar_t* library : {fake.c_str(), L"pellton-no-such-library.dll"}) {
    DWORD before = GetTickCount();
    unsigned long long tick = TickCount64From(library, "GetTickCount64Missing");
    DWORD after = GetTickCount();
    EXPECT_LT(tick, 0x100000000ull);
    if (after >= before) {  // unless the 32-bit tick wrapped in between
      EXPECT_LE(before, tick);
      EXPECT_LE(tick, after);
    }
  }
}

}  // namespace
