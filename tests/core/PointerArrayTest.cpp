#include "core/PointerArray.h"

#include <gtest/gtest.h>

namespace {

void* P(unsigned long long value) { return reinterpret_cast<void*>(value); }

TEST(PointerArrayTest, GrowingSetExtendsByTheStepBeyondTheIndexWithNullSlots) {
  PointerArray array;
  ASSERT_EQ(1, array.Init(nullptr, 4, 8, PointerArray::Growable));
  for (unsigned i = 0; i < 4; ++i) ASSERT_EQ(1, array.Set(i, P(0x100 + i)));
  ASSERT_EQ(1, array.Set(10, P(0xA0A0A0A0A0ull)));
  EXPECT_EQ(18u, array.Capacity());
  EXPECT_EQ(11u, array.Count());
  void* slot = P(1);
  for (unsigned i = 0; i < 4; ++i) {
    ASSERT_EQ(1, array.Get(i, &slot));
    EXPECT_EQ(P(0x100 + i), slot);  // kept across the reallocation
  }
  for (unsigned i = 4; i < 10; ++i) {
    ASSERT_EQ(1, array.Get(i, &slot));
    EXPECT_EQ(nullptr, slot) << i;
  }
  ASSERT_EQ(1, array.Get(10, &slot));
  EXPECT_EQ(P(0xA0A0A0A0A0ull), slot);  // a full pointer, not its low half
  // Slots 11 to 17 exist (no further growth) and are null.
  EXPECT_EQ(0, array.Get(11, &slot));
  for (unsigned i = 11; i < 18; ++i) ASSERT_EQ(1, array.Set(i, nullptr));
  EXPECT_EQ(18u, array.Capacity());
  EXPECT_EQ(18u, array.Count());
}

TEST(PointerArrayTest, WithoutTheGrowableFlagSetBeyondCapacityIsRefused) {
  void* storage[3] = {P(7), P(7), P(7)};
  PointerArray array;
  ASSERT_EQ(1, array.Init(storage, 3, 8, 0));
  EXPECT_EQ(0u, array.Flags() & PointerArray::OwnsStorage);
  EXPECT_EQ(1, array.Set(2, P(0x22)));
  EXPECT_EQ(P(0x22), storage[2]);  // the caller's storage is used
  EXPECT_EQ(0, array.Set(3, P(0x33)));
  EXPECT_EQ(3u, array.Capacity());
  EXPECT_EQ(3u, array.Count());
}

TEST(PointerArrayTest, CountIsTheHighestIndexSetPlusOneAndGetStopsThere) {
  PointerArray array;
  ASSERT_EQ(1, array.Init(nullptr, 8, 4, 0));
  EXPECT_EQ(PointerArray::OwnsStorage, array.Flags() & PointerArray::OwnsStorage);
  EXPECT_EQ(0u, array.Count());
  void* slot = nullptr;
  EXPECT_EQ(0, array.Get(0, &slot));
  ASSERT_EQ(1, array.Set(5, P(0x55)));
  EXPECT_EQ(6u, array.Count());
  ASSERT_EQ(1, array.Set(2, P(0x22)));
  EXPECT_EQ(6u, array.Count());
  EXPECT_EQ(1, array.Get(5, &slot));
  EXPECT_EQ(P(0x55), slot);
  EXPECT_EQ(0, array.Get(6, &slot));
}

TEST(PointerArrayTest, FillNullsMakesEverySlotReadable) {
  void* storage[4] = {P(1), P(2), P(3), P(4)};
  PointerArray array;
  ASSERT_EQ(1, array.Init(storage, 4, 0, PointerArray::FillNulls | PointerArray::NoLocking));
  EXPECT_EQ(4u, array.Count());
  void* slot = P(9);
  for (unsigned i = 0; i < 4; ++i) {
    ASSERT_EQ(1, array.Get(i, &slot));
    EXPECT_EQ(nullptr, slot);
  }
}

TEST(PointerArrayTest, GrowthStepZeroStillMakesRoomForTheIndex) {
  PointerArray array;
  ASSERT_EQ(1, array.Init(nullptr, 2, 0, PointerArray::Growable));
  ASSERT_EQ(1, array.Set(5, P(0x55)));
  EXPECT_EQ(6u, array.Capacity());
  void* slot = nullptr;
  ASSERT_EQ(1, array.Get(5, &slot));
  EXPECT_EQ(P(0x55), slot);
}

TEST(PointerArrayTest, GrowthBeyondTheLargestArrayIsRefusedAndChangesNothing) {
  PointerArray array;
  ASSERT_EQ(1, array.Init(nullptr, 4, 0x100, PointerArray::Growable));
  ASSERT_EQ(1, array.Set(1, P(0x11)));
  // Index plus growth step does not fit a 32-bit count.
  EXPECT_EQ(0, array.Set(0xFFFFFFF0u, P(0x99)));
  EXPECT_EQ(4u, array.Capacity());
  EXPECT_EQ(2u, array.Count());
  void* slot = nullptr;
  ASSERT_EQ(1, array.Get(1, &slot));
  EXPECT_EQ(P(0x11), slot);
  EXPECT_EQ(1, array.Set(3, P(0x33)));
}

TEST(PointerArrayTest, InitAgainStartsOverWithNewStorage) {
  PointerArray array;
  ASSERT_EQ(1, array.Init(nullptr, 4, 4, PointerArray::Growable));
  ASSERT_EQ(1, array.Set(3, P(3)));
  void* storage[2] = {};
  ASSERT_EQ(1, array.Init(storage, 2, 0, 0));
  EXPECT_EQ(0u, array.Count());
  EXPECT_EQ(2u, array.Capacity());
  EXPECT_EQ(0u, array.Flags() & PointerArray::OwnsStorage);
  EXPECT_EQ(1, array.Set(1, P(0x77)));
  EXPECT_EQ(P(0x77), storage[1]);
}

TEST(PointerArrayTest, AnArrayNeverInitialisedRefusesEverything) {
  PointerArray array;
  void* slot = nullptr;
  EXPECT_EQ(0, array.Set(0, P(1)));
  EXPECT_EQ(0, array.Get(0, &slot));
  EXPECT_EQ(0u, array.Count());
}

}  // namespace
