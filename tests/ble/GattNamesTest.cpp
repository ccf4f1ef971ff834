// UUID texts and the name table.
#include <gtest/gtest.h>

#include "ble/GattNames.h"
#include "core/WideString.h"

namespace {

GUID Guid(unsigned long d1, unsigned short d2, unsigned short d3, const unsigned char (&d4)[8]) {
  GUID g;
  g.Data1 = d1;
  g.Data2 = d2;
  g.Data3 = d3;
  for (int i = 0; i < 8; ++i) g.Data4[i] = d4[i];
  return g;
}

std::wstring Text(const BTH_LE_UUID& uuid, int textOnly) {
  WideString out;
  EXPECT_EQ(1, GattUuidTextOrName(uuid, out, textOnly));
  return out.CStr();
}

const unsigned char kTiTail[8] = {0xB0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const unsigned char kMsaTail[8] = {0x8F, 0xBD, 0x00, 0x02, 0xA5, 0xD5, 0xC5, 0x1B};
const unsigned char kBaseTail[8] = {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};
const unsigned char kVendorTail[8] = {0xC5, 0xFA, 0xA1, 0x9B, 0x3D, 0xCA, 0x32, 0x30};

BTH_LE_UUID Ti(unsigned long first) { return GattLongUuid(Guid(first, 0x0451, 0x4000, kTiTail)); }
BTH_LE_UUID Msa(unsigned long first) { return GattLongUuid(Guid(first, 0x8B85, 0x11E4, kMsaTail)); }

}  // namespace

TEST(GattNamesTest, ShortUuidTextLiesOnTheBaseUuid) {
  EXPECT_EQ(L"{00002902-0000-1000-8000-00805F9B34FB}", Text(GattShortUuid(0x2902), 1));
  EXPECT_EQ(L"{0000FFE1-0000-1000-8000-00805F9B34FB}", Text(GattShortUuid(0xFFE1), 1));
  EXPECT_EQ(L"{00000000-0000-1000-8000-00805F9B34FB}", Text(GattShortUuid(0x0000), 1));
}

TEST(GattNamesTest, ShortUuidWithARowGivesItsName) {
  EXPECT_EQ(L"org.bluetooth.descriptor.gatt.client_characteristic_configuration",
            Text(GattShortUuid(0x2902), 0));
  EXPECT_EQ(L"org.bluetooth.service.generic_access", Text(GattShortUuid(0x1800), 0));
  EXPECT_EQ(L"org.bluetooth.service.battery_service", Text(GattShortUuid(0x180F), 0));
  EXPECT_EQ(L"org.bluetooth.characteristic.battery_level", Text(GattShortUuid(0x2A19), 0));
  EXPECT_EQ(L"org.bluetooth.attribute.gatt.characteristic_declaration", Text(GattShortUuid(0x2803), 0));
  EXPECT_EQ(L"org.bluetooth.descriptor.valid_range", Text(GattShortUuid(0x2906), 0));
  EXPECT_EQ(L"org.bluetooth.characteristic.ieee_11073-20601_regulatory_certification_data_list",
            Text(GattShortUuid(0x2A2A), 0));
  EXPECT_EQ(L"org.bluetooth.characteristic.ln_feature", Text(GattShortUuid(0x2A6A), 0));
  EXPECT_EQ(L"TI Accelerometer Data", Text(GattShortUuid(0xFFAF), 0));
  EXPECT_EQ(L"TI Push Buttons Notification", Text(GattShortUuid(0xFFE1), 0));
}

TEST(GattNamesTest, NamesWithoutTheUsualPrefixAreKeptAsTheyAre) {
  EXPECT_EQ(L"org.blueeooth.cycling_power_measurement", Text(GattShortUuid(0x2A63), 0));
  EXPECT_EQ(L"org.bluteooth.characteristic.cycling_power_feature", Text(GattShortUuid(0x2A65), 0));
  EXPECT_EQ(L"org.bluetooth.location_and_speed", Text(GattShortUuid(0x2A67), 0));
  EXPECT_EQ(L"org.bluetooth.position_quality", Text(GattShortUuid(0x2A69), 0));
  EXPECT_EQ(L"org.bluetooth.ln_control_point", Text(GattShortUuid(0x2A6B), 0));
}

TEST(GattNamesTest, ShortUuidWithoutARowKeepsItsTextInBothModes) {
  EXPECT_EQ(L"{0000180B-0000-1000-8000-00805F9B34FB}", Text(GattShortUuid(0x180B), 0));
  EXPECT_EQ(L"{0000180B-0000-1000-8000-00805F9B34FB}", Text(GattShortUuid(0x180B), 1));
  // Gaps between rows.
  EXPECT_EQ(L"{00002A0B-0000-1000-8000-00805F9B34FB}", Text(GattShortUuid(0x2A0B), 0));
  EXPECT_EQ(L"{00001815-0000-1000-8000-00805F9B34FB}", Text(GattShortUuid(0x1815), 0));
}

TEST(GattNamesTest, EveryShortRowHasAKnownPrefix) {
  unsigned named = 0;
  for (unsigned value = 0; value <= 0xFFFF; ++value) {
    BTH_LE_UUID uuid = GattShortUuid(static_cast<USHORT>(value));
    std::wstring text = Text(uuid, 1);
    std::wstring name = Text(uuid, 0);
    if (name == text) continue;
    ++named;
    EXPECT_TRUE(name.compare(0, 7, L"org.blu") == 0 || name.compare(0, 3, L"TI ") == 0)
        << std::hex << value;
  }
  EXPECT_EQ(125u, named);
}

TEST(GattNamesTest, LongUuidTextIsUpperCaseInBraces) {
  BTH_LE_UUID vendor = GattLongUuid(Guid(0xFC1CFF01, 0x71F1, 0x887F, kVendorTail));
  EXPECT_EQ(L"{FC1CFF01-71F1-887F-C5FA-A19B3DCA3230}", Text(vendor, 1));
  // The tracker's vendor service has no row: its name is its text.
  EXPECT_EQ(L"{FC1CFF01-71F1-887F-C5FA-A19B3DCA3230}", Text(vendor, 0));
}

TEST(GattNamesTest, LongUuidsOfTheTwoProfilesHaveNames) {
  EXPECT_EQ(L"{F000AA01-0451-4000-B000-000000000000}", Text(Ti(0xF000AA01), 1));
  EXPECT_EQ(L"TI IR Sensor Temperature Data", Text(Ti(0xF000AA01), 0));
  EXPECT_EQ(L"TI IR Sensor turn on/off", Text(Ti(0xF000AA02), 0));
  EXPECT_EQ(L"TI Barometer Calibration Data", Text(Ti(0xF000AA43), 0));
  EXPECT_EQ(L"TI OAD Image Block Request", Text(Ti(0xF000FFC2), 0));
  EXPECT_EQ(L"msa.service.Tunnel", Text(Msa(0x24545000), 0));
  EXPECT_EQ(L"msa.unit.millirems/hour", Text(Msa(0x24546004), 0));
  EXPECT_EQ(L"msa.unit.\u00B5mol/mol/m", Text(Msa(0x2454600A), 0));
  EXPECT_EQ(L"msa.descriptor.RangeandStep", Text(Msa(0x24546400), 0));
  EXPECT_EQ(L"msa.characteristic.SensorIndex", Text(Msa(0x2454680B), 0));
}

TEST(GattNamesTest, LongTableHasEveryRowOfBothProfiles) {
  unsigned ti = 0;
  unsigned msa = 0;
  for (unsigned low = 0; low <= 0xFFFF; ++low) {
    BTH_LE_UUID a = Ti(0xF0000000u | low);
    if (Text(a, 0) != Text(a, 1)) ++ti;
    BTH_LE_UUID b = Msa(0x24540000u | low);
    if (Text(b, 0) != Text(b, 1)) ++msa;
  }
  EXPECT_EQ(27u, ti);
  EXPECT_EQ(26u, msa);
}

TEST(GattNamesTest, LongUuidOnTheBaseUuidIsNotLookedUpInTheShortTable) {
  BTH_LE_UUID longConfig = GattLongUuid(Guid(0x00002902, 0x0000, 0x1000, kBaseTail));
  EXPECT_EQ(L"{00002902-0000-1000-8000-00805F9B34FB}", Text(longConfig, 0));
  BTH_LE_UUID longAccess = GattLongUuid(Guid(0x00001800, 0x0000, 0x1000, kBaseTail));
  EXPECT_EQ(L"{00001800-0000-1000-8000-00805F9B34FB}", Text(longAccess, 0));
}

TEST(GattNamesTest, ShortUuidMatchingALongKeyIsNotLookedUpInTheLongTable) {
  // The short table is consulted for 16-bit UUIDs only, and the long table
  // for 128-bit ones: 0xAA01 is no TI sensor.
  EXPECT_EQ(L"{0000AA01-0000-1000-8000-00805F9B34FB}", Text(GattShortUuid(0xAA01), 0));
}

TEST(GattNamesTest, MatchingComparesTextThenNameIgnoringCase) {
  BTH_LE_UUID config = GattShortUuid(0x2902);
  EXPECT_TRUE(GattUuidMatches(config, L"{00002902-0000-1000-8000-00805F9B34FB}"));
  EXPECT_TRUE(GattUuidMatches(config, L"{00002902-0000-1000-8000-00805f9b34fb}"));
  EXPECT_TRUE(GattUuidMatches(config, L"org.bluetooth.descriptor.gatt.client_characteristic_configuration"));
  EXPECT_TRUE(GattUuidMatches(config, L"ORG.BLUETOOTH.DESCRIPTOR.GATT.CLIENT_CHARACTERISTIC_CONFIGURATION"));
  EXPECT_FALSE(GattUuidMatches(config, L"org.bluetooth.descriptor.gatt.client_characteristic"));
  EXPECT_FALSE(GattUuidMatches(config, L"00002902-0000-1000-8000-00805F9B34FB"));  // no braces
  EXPECT_FALSE(GattUuidMatches(config, L""));
  EXPECT_FALSE(GattUuidMatches(config, nullptr));
  BTH_LE_UUID sensor = Ti(0xF000AA01);
  EXPECT_TRUE(GattUuidMatches(sensor, L"ti ir sensor temperature data"));
  EXPECT_TRUE(GattUuidMatches(sensor, L"{f000aa01-0451-4000-b000-000000000000}"));
}

TEST(GattNamesTest, ShortUuidsExpandOnTheBaseUuid) {
  GUID expanded = GattUuidToGuid(GattShortUuid(0x180F));
  GUID expected = Guid(0x0000180F, 0x0000, 0x1000, kBaseTail);
  EXPECT_TRUE(IsEqualGUID(expected, expanded));
  GUID vendor = Guid(0xFC1CFF08, 0x71F1, 0x887F, kVendorTail);
  EXPECT_TRUE(IsEqualGUID(vendor, GattUuidToGuid(GattLongUuid(vendor))));
}

TEST(GattNamesTest, UuidRecordsCompareByKindAndValue) {
  EXPECT_TRUE(GattUuidEquals(GattShortUuid(0x2902), GattShortUuid(0x2902)));
  EXPECT_FALSE(GattUuidEquals(GattShortUuid(0x2902), GattShortUuid(0x2903)));
  GUID longForm = Guid(0x00002902, 0x0000, 0x1000, kBaseTail);
  EXPECT_FALSE(GattUuidEquals(GattShortUuid(0x2902), GattLongUuid(longForm)));
  EXPECT_TRUE(GattUuidEquals(GattLongUuid(longForm), GattLongUuid(longForm)));
}
