// The stored window placement text "%d,%i,%i,%i,%i".
#include <gtest/gtest.h>

#include "ui/PlacementText.h"

TEST(PlacementText, FiveNumbersGiveShowStateAndRectangle) {
  PlacementValue value = {};
  ASSERT_EQ(1, ParsePlacementText(L"3,10,10,500,400", &value));
  EXPECT_EQ(SW_SHOWMAXIMIZED, value.showState);
  EXPECT_EQ(10, value.normal.left);
  EXPECT_EQ(10, value.normal.top);
  EXPECT_EQ(500, value.normal.right);
  EXPECT_EQ(400, value.normal.bottom);
}

TEST(PlacementText, AnythingButFiveNumbersIsAbsent) {
  const PlacementValue before = {1, {1, 2, 3, 4}};
  for (const wchar_t* text : {L"3,10,10,500", L"", L"x,10,10,500,400", L"3 10 10 500 400",
                              L"3,10,10,,400", L"3;10;10;500;400"}) {
    PlacementValue value = before;
    EXPECT_EQ(0, ParsePlacementText(text, &value)) << text;
    EXPECT_EQ(1, value.showState) << text;
    EXPECT_EQ(4, value.normal.bottom) << text;
  }
  PlacementValue value = before;
  EXPECT_EQ(0, ParsePlacementText(nullptr, &value));
}

TEST(PlacementText, CoordinatesAcceptHexadecimalOctalAndSigns) {
  PlacementValue value = {};
  ASSERT_EQ(1, ParsePlacementText(L"1,0x10,010,-20,0X1F4", &value));
  EXPECT_EQ(1, value.showState);
  EXPECT_EQ(16, value.normal.left);
  EXPECT_EQ(8, value.normal.top);
  EXPECT_EQ(-20, value.normal.right);
  EXPECT_EQ(500, value.normal.bottom);
  // The show state is decimal only: "010" is ten there.
  ASSERT_EQ(1, ParsePlacementText(L"010,0,0,1,1", &value));
  EXPECT_EQ(10, value.showState);
}

TEST(PlacementText, FormatsDecimalThatReadsBack) {
  PlacementValue value = {1, {120, 80, 760, 560}};
  WideString text;
  ASSERT_EQ(1, FormatPlacementText(value, text));
  EXPECT_STREQ(L"1,120,80,760,560", text.CStr());
  value = {7, {-1920, -8, 0x7FFFFFFF, 16}};
  ASSERT_EQ(1, FormatPlacementText(value, text));
  EXPECT_STREQ(L"7,-1920,-8,2147483647,16", text.CStr());
  PlacementValue back = {};
  ASSERT_EQ(1, ParsePlacementText(text.CStr(), &back));
  EXPECT_EQ(-1920, back.normal.left);
  EXPECT_EQ(0x7FFFFFFF, back.normal.right);
}
