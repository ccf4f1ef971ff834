// Device addresses: the text form and the three forms the platform may
// report.
#include <gtest/gtest.h>

#include <cstring>

#include "ble/GattDevice.h"
#include "core/WideString.h"

namespace {

const unsigned char kExpected[6] = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};

std::wstring Parsed(const wchar_t* text, int expectedResult = 1) {
  unsigned char address[6];
  memset(address, 0xEE, sizeof address);
  EXPECT_EQ(expectedResult, GattDevice::ParseAddress(text, address)) << (text ? text : L"(none)");
  GattDevice device(nullptr, L"", L"");
  memcpy(device.address, address, 6);
  WideString out;
  device.GetAddressText(out);
  return out.CStr();
}

}  // namespace

TEST(GattAddressTest, TheThreeReportedFormsGiveTheSameBytes) {
  for (const wchar_t* text : {L"00-1A-7D-DA-71-13", L"001A7DDA7113", L"00:1A:7D:DA:71:13", L"001a7dda7113",
                              L"0-1a-7d-da-71-13"}) {
    unsigned char address[6] = {};
    ASSERT_EQ(1, GattDevice::ParseAddress(text, address)) << text;
    EXPECT_EQ(0, memcmp(kExpected, address, 6)) << text;
  }
}

TEST(GattAddressTest, TextIsUpperCaseWithColons) {
  EXPECT_EQ(L"00:1A:7D:DA:71:13", Parsed(L"00-1A-7D-DA-71-13"));
  EXPECT_EQ(L"00:1A:7D:DA:71:13", Parsed(L"001A7DDA7113"));
  EXPECT_EQ(L"02:50:4C:54:4E:01", Parsed(L"2:50:4c:54:4e:1"));
}

TEST(GattAddressTest, UnreadableTextLeavesTheAddressZero) {
  EXPECT_EQ(L"00:00:00:00:00:00", Parsed(L"", 0));
  EXPECT_EQ(L"00:00:00:00:00:00", Parsed(nullptr, 0));
  EXPECT_EQ(L"00:00:00:00:00:00", Parsed(L"00-1A-7D-DA-71", 0));    // five numbers
  EXPECT_EQ(L"00:00:00:00:00:00", Parsed(L"001A7DDA71", 0));        // ten digits
  EXPECT_EQ(L"00:00:00:00:00:00", Parsed(L"00-1A:7D-DA:71-13", 0));  // mixed separators
  EXPECT_EQ(L"00:00:00:00:00:00", Parsed(L"Bluetooth", 0));
}

TEST(GattAddressTest, NumbersAreReadAsScanfReadsThem) {
  // Each number keeps its low byte.
  EXPECT_EQ(L"00:1A:7D:DA:71:13", Parsed(L"100-11A-7D-DA-71-13"));
  // White space before a number is skipped; anything after the sixth is ignored.
  EXPECT_EQ(L"00:1A:7D:DA:71:13", Parsed(L" 00- 1A-7D-DA-71-13 trailing"));
  // The plain form takes two digits a number.
  EXPECT_EQ(L"00:1A:7D:DA:71:13", Parsed(L"001A7DDA7113FF"));
}

TEST(GattAddressTest, SignsAndPrefixesAreNoPartOfAnAddress) {
  // scanf would read "-1" as a number of two characters and turn this cut
  // off address into 00:FF:0A:F9:0D:F3.
  EXPECT_EQ(L"00:00:00:00:00:00", Parsed(L"00-1A-7D-DA-71", 0));
  EXPECT_EQ(L"00:00:00:00:00:00", Parsed(L"00--1A-7D-DA-71-13", 0));
  EXPECT_EQ(L"00:00:00:00:00:00", Parsed(L"+0:1A:7D:DA:71:13", 0));
  EXPECT_EQ(L"00:00:00:00:00:00", Parsed(L"0x00:0x1A:7D:DA:71:13", 0));
}
