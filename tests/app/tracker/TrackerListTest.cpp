// The tracker list's lookups by index.
#include <gtest/gtest.h>

#include <cstring>

#include "app/tracker/TrackerList.h"
#include "tests/app/tracker/LinkTestSupport.h"

namespace {

struct ListFixture : ::testing::Test {
  ListFixture() {
    const unsigned char second[6] = {0xC4, 0x4F, 0x33, 0x0A, 0x1B, 0x2C};
    memcpy(channels[1].address, second, 6);
    for (ScriptedCharacteristic& channel : channels) {
      TrackerLink* link = new TrackerLink;
      link->Attach(&channel);
      list.Append(link);
    }
  }
  ~ListFixture() override { list.Clear(); }  // before the channels go

  ScriptedCharacteristic channels[2];
  TrackerList list;
};

}  // namespace

TEST_F(ListFixture, IndicesFindTheLinksInOrder) {
  ASSERT_EQ(2u, list.Count());
  EXPECT_EQ(&channels[0], list.FindTracker(0)->characteristic);
  EXPECT_EQ(&channels[1], list.FindTracker(1)->characteristic);
}

TEST_F(ListFixture, MinusOneAndPastTheEndFindNone) {
  EXPECT_EQ(nullptr, list.FindTracker(-1));
  EXPECT_EQ(nullptr, list.FindTracker(2));
  WideString text(L"unchanged");
  EXPECT_EQ(0, list.GetTrackerAddress(-1, text));
  EXPECT_EQ(0, list.GetTrackerAddress(2, text));
  EXPECT_STREQ(L"unchanged", text.CStr());
  unsigned steps = 7, calories = 8, metres = 9;
  EXPECT_EQ(0, list.GetLiveTotals(-1, steps, calories, metres));
  EXPECT_EQ(0, list.GetLiveTotals(2, steps, calories, metres));
  EXPECT_EQ(7u, steps);
  EXPECT_EQ(8u, calories);
  EXPECT_EQ(9u, metres);
}

TEST_F(ListFixture, AddressIsSeventeenUpperCaseCharacters) {
  WideString text;
  ASSERT_EQ(1, list.GetTrackerAddress(1, text));
  EXPECT_STREQ(L"C4:4F:33:0A:1B:2C", text.CStr());
  EXPECT_EQ(17u, text.Length());
  ASSERT_EQ(1, list.GetTrackerAddress(0, text));
  EXPECT_STREQ(L"00:1A:7D:DA:71:13", text.CStr());
}

TEST_F(ListFixture, UnknownAddressLeavesTheTextAlone) {
  channels[0].addressKnown = 0;
  WideString text(L"unchanged");
  EXPECT_EQ(0, list.GetTrackerAddress(0, text));
  EXPECT_STREQ(L"unchanged", text.CStr());
}

TEST_F(ListFixture, LiveDistanceIsReportedInMetres) {
  channels[1].Notify({Hex("00 08 81 00 30 39 00 2A 00 7B")});
  unsigned steps = 0, calories = 0, metres = 0;
  ASSERT_EQ(1, list.GetLiveTotals(1, steps, calories, metres));
  EXPECT_EQ(12345u, steps);
  EXPECT_EQ(42u, calories);
  EXPECT_EQ(1230u, metres);
}

TEST_F(ListFixture, ClearDestroysTheLinksAndTheirRegistrations) {
  list.Clear();
  EXPECT_EQ(0u, list.Count());
  EXPECT_EQ(nullptr, list.FindTracker(0));
  EXPECT_EQ(1, channels[0].unregistrations);
  EXPECT_EQ(1, channels[1].unregistrations);
}

TEST_F(ListFixture, ARefusedAppendLeavesTheLinkWithTheCaller) {
  // A link that is already in a list cannot be appended again: the list
  // neither takes it nor frees it, and the caller learns so.
  TrackerLink* first = list.FindTracker(0);
  EXPECT_EQ(0, list.Append(first));
  EXPECT_EQ(0, list.Append(nullptr));
  EXPECT_EQ(2u, list.Count());
  EXPECT_EQ(first, list.FindTracker(0));

  // A link of another list.
  TrackerList other;
  ScriptedCharacteristic channel;
  TrackerLink* head = new TrackerLink;
  TrackerLink* stray = new TrackerLink;
  stray->Attach(&channel);
  ASSERT_EQ(1, other.Append(head));
  ASSERT_EQ(1, other.Append(stray));
  EXPECT_EQ(0, list.Append(stray));
  EXPECT_EQ(2u, list.Count());
  EXPECT_EQ(2u, other.Count());
  other.Clear();  // the owner frees it once
  EXPECT_EQ(1, channel.unregistrations);
}
