#include "core/ByteBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>

namespace {

TEST(ByteBufferTest, AppendsGrowToTheExactSizeAndKeepEarlierBytes) {
  ByteBuffer buffer;
  EXPECT_EQ(1, BufferAppend(buffer, "\x01\x02\x03", 3));
  EXPECT_EQ(1, BufferAppend(buffer, "\x04\x05", 2));
  ASSERT_EQ(5u, buffer.size);
  EXPECT_EQ(0, memcmp(buffer.data, "\x01\x02\x03\x04\x05", 5));
  BufferClear(buffer);
}

TEST(ByteBufferTest, AppendingNothingToAnEmptyBufferLeavesItWithoutData) {
  ByteBuffer buffer;
  EXPECT_EQ(1, BufferAppend(buffer, nullptr, 0));
  EXPECT_EQ(nullptr, buffer.data);
  EXPECT_EQ(0u, buffer.size);
}

TEST(ByteBufferTest, ClearFreesTheDataAndEmptiesTheBuffer) {
  ByteBuffer buffer;
  ASSERT_EQ(1, BufferAppend(buffer, "abc", 3));
  BufferClear(buffer);
  EXPECT_EQ(nullptr, buffer.data);
  EXPECT_EQ(0u, buffer.size);
  BufferClear(buffer);  // clearing an empty buffer is harmless
  EXPECT_EQ(0u, buffer.size);
}

TEST(ByteBufferTest, FailedGrowthKeepsTheOldBytesAndSize) {
  ByteBuffer buffer;
  ASSERT_EQ(1, BufferAppend(buffer, "keep", 4));
  unsigned char* before = buffer.data;
  // No heap can give this much: the block cannot grow.
  EXPECT_EQ(0, BufferAppend(buffer, "x", SIZE_MAX / 2));
  EXPECT_EQ(before, buffer.data);
  ASSERT_EQ(4u, buffer.size);
  EXPECT_EQ(0, memcmp(buffer.data, "keep", 4));
  // A size that would wrap around is refused as well.
  EXPECT_EQ(0, BufferAppend(buffer, "x", SIZE_MAX - 1));
  EXPECT_EQ(4u, buffer.size);
  BufferClear(buffer);
}

TEST(ByteBufferTest, CopyReplacesTheTargetWithAnIndependentCopy) {
  ByteBuffer source;
  ByteBuffer target;
  ASSERT_EQ(1, BufferAppend(source, "new", 3));
  ASSERT_EQ(1, BufferAppend(target, "old contents", 12));
  EXPECT_EQ(1, BufferCopy(target, source));
  ASSERT_EQ(3u, target.size);
  EXPECT_NE(source.data, target.data);
  EXPECT_EQ(0, memcmp(target.data, "new", 3));
  EXPECT_EQ(1, BufferCopy(target, target));
  EXPECT_EQ(3u, target.size);
  BufferClear(source);
  EXPECT_EQ(1, BufferCopy(target, source));  // copying an empty buffer empties the target
  EXPECT_EQ(0u, target.size);
  EXPECT_EQ(nullptr, target.data);
  BufferClear(target);
}

TEST(ByteBufferTest, MovingHandsTheBlockOverAndEmptiesTheSource) {
  ByteBuffer source;
  ASSERT_EQ(1, BufferAppend(source, "abc", 3));
  unsigned char* block = source.data;
  ByteBuffer taken(std::move(source));
  EXPECT_EQ(block, taken.data);
  EXPECT_EQ(3u, taken.size);
  EXPECT_EQ(nullptr, source.data);
  EXPECT_EQ(0u, source.size);

  ByteBuffer target;
  ASSERT_EQ(1, BufferAppend(target, "old", 3));
  target = std::move(taken);  // the old block is freed, the moved one kept
  EXPECT_EQ(block, target.data);
  EXPECT_EQ(nullptr, taken.data);
}

}  // namespace
