// The anchor arithmetic on its own: each code bit, the combinations the
// program uses, the precedence of the bits and truncation toward zero.
#include <gtest/gtest.h>

#include "ui/AnchorMath.h"

namespace {

const RECT reference = {0, 0, 400, 300};
const RECT control = {30, 40, 130, 90};  // 100 x 50 at (30, 40)

void ExpectPlacement(const AnchorPlacement& p, int x, int y, int width, int height) {
  EXPECT_EQ(x, p.x);
  EXPECT_EQ(y, p.y);
  EXPECT_EQ(width, p.width);
  EXPECT_EQ(height, p.height);
}

TEST(AnchorMathTest, WithoutBitsTheControlKeepsPositionAndSize) {
  ExpectPlacement(ComputeAnchor(0, control, reference, 500, 350), 30, 40, 100, 50);
}

TEST(AnchorMathTest, Code12GrowsInBothDirectionsFromAFixedCorner) {
  ExpectPlacement(ComputeAnchor(AnchorGrow, control, reference, 500, 350), 30, 40, 200, 100);
}

TEST(AnchorMathTest, Code3FollowsTheBottomRightCornerWithItsSize) {
  ExpectPlacement(ComputeAnchor(AnchorBottomRight, control, reference, 500, 350), 130, 90, 100,
                  50);
}

TEST(AnchorMathTest, Code2FollowsTheBottomAndCode4GrowsInWidthOnly) {
  ExpectPlacement(ComputeAnchor(2, control, reference, 500, 350), 30, 90, 100, 50);
  ExpectPlacement(ComputeAnchor(4, control, reference, 500, 350), 30, 40, 200, 50);
}

TEST(AnchorMathTest, ShrinkingMovesAndNarrowsTheSameWay) {
  ExpectPlacement(ComputeAnchor(AnchorGrow | AnchorMoveX, control, reference, 350, 280), -20, 40,
                  50, 30);
}

TEST(AnchorMathTest, ProportionalEdgesScaleWithTheParent) {
  // 30 / 400 * 500 = 37.5 -> 37; 40 / 300 * 350 = 46.67 -> 46
  ExpectPlacement(ComputeAnchor(0x10 | 0x20, control, reference, 500, 350), 37, 46, 100, 50);
}

TEST(AnchorMathTest, MovingEdgesWinOverProportionalAndCentred) {
  ExpectPlacement(ComputeAnchor(0x1 | 0x10 | 0x80, control, reference, 500, 300), 130, 40, 100, 50);
  ExpectPlacement(ComputeAnchor(0x2 | 0x20, control, reference, 400, 360), 30, 100, 100, 50);
  ExpectPlacement(ComputeAnchor(0x10 | 0x80, control, reference, 800, 300), 60, 40, 100, 50);
}

TEST(AnchorMathTest, CentringMovesByHalfTheChangeTruncatedTowardZero) {
  ExpectPlacement(ComputeAnchor(0x80, control, reference, 501, 300), 80, 40, 100, 50);
  // 30 + (-61 * 0.5) = -0.5 -> 0, not -1
  ExpectPlacement(ComputeAnchor(0x80, control, reference, 339, 300), 0, 40, 100, 50);
}

TEST(AnchorMathTest, HalfWidthGrowthIsTruncatedAsAWhole) {
  ExpectPlacement(ComputeAnchor(0x40, control, reference, 503, 300), 30, 40, 151, 50);
  // 100 + (-215 * 0.5) = -7.5 -> -7
  ExpectPlacement(ComputeAnchor(0x40, control, reference, 185, 300), 30, 40, -7, 50);
  // full growth wins over half growth
  ExpectPlacement(ComputeAnchor(0x4 | 0x40, control, reference, 500, 300), 30, 40, 200, 50);
}

TEST(AnchorMathTest, AReferenceOfNoWidthKeepsTheProportionalEdge) {
  const RECT empty = {0, 0, 0, 0};
  ExpectPlacement(ComputeAnchor(0x30, control, empty, 500, 350), 30, 40, 100, 50);
}

TEST(AnchorMathTest, AReferenceNotAtTheOriginUsesItsSize) {
  const RECT offset = {10, 10, 410, 310};
  ExpectPlacement(ComputeAnchor(AnchorBottomRight, control, offset, 500, 350), 130, 90, 100, 50);
}

}  // namespace
