// The GATT tree built over the simulated backend: enumeration, ownership,
// values read while enumerating, and lookups.
#include <gtest/gtest.h>

#include <string>

#include "ble/GattAdapter.h"
#include "ble/GattCharacteristic.h"
#include "ble/GattDescriptor.h"
#include "ble/GattDevice.h"
#include "ble/GattEnumerator.h"
#include "ble/GattNames.h"
#include "ble/GattService.h"
#include "ble/SimulatedGattBackend.h"
#include "core/WideString.h"
#include "tests/ble/GattTestSupport.h"
#include "tools/fakes/ScriptedDevice.h"

namespace {

const unsigned char kFirstAddress[6] = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};
const unsigned char kSecondAddress[6] = {0x02, 0x50, 0x4C, 0x54, 0x4E, 0x01};

std::wstring TextOf(const BTH_LE_UUID& uuid) {
  WideString text;
  GattUuidTextOrName(uuid, text, 1);
  return text.CStr();
}

// Remembers the flags of characteristic reads.
class ReadFlagBackend : public SimulatedGattBackend {
public:
  std::vector<ULONG> readFlags;
  HRESULT GetCharacteristicValue(HANDLE device, BTH_LE_GATT_CHARACTERISTIC* characteristic, ULONG size,
                                 BTH_LE_GATT_CHARACTERISTIC_VALUE* value, USHORT* sizeRequired,
                                 ULONG flags) override {
    readFlags.push_back(flags);
    return SimulatedGattBackend::GetCharacteristicValue(device, characteristic, size, value, sizeRequired, flags);
  }
};

// Answers the sizing call for descriptors without more-data.
class NoDescriptorSizingBackend : public SimulatedGattBackend {
public:
  HRESULT answer = S_OK;
  HRESULT GetDescriptors(HANDLE device, BTH_LE_GATT_CHARACTERISTIC* characteristic, USHORT count,
                         BTH_LE_GATT_DESCRIPTOR* descriptors, USHORT* actual, ULONG flags) override {
    if (count == 0) {
      if (actual) *actual = 1;
      return answer;
    }
    return SimulatedGattBackend::GetDescriptors(device, characteristic, count, descriptors, actual, flags);
  }
};

class GattTreeTest : public ::testing::Test {
protected:
  void AddBoth() {
    ASSERT_EQ(1, backend.AddDevice(&first));
    ASSERT_EQ(1, backend.AddDevice(&second));
  }
  GattDevice* Device(unsigned index) {
    GattAdapter* adapter = static_cast<GattAdapter*>(enumerator.adapters.First());
    return adapter ? adapter->DeviceAt(index) : nullptr;
  }

  ScriptedDevice first{L"EI-AN900", kFirstAddress};
  ScriptedDevice second{L"EI-AN900 (desk) \u00C4", kSecondAddress};
  SimulatedGattBackend backend;
  GattEnumerator enumerator{&backend};
};

}  // namespace

TEST_F(GattTreeTest, NoDevicesMeansNoAdapter) {
  EXPECT_EQ(1, enumerator.Enumerate(0));
  EXPECT_EQ(nullptr, enumerator.adapters.First());
}

TEST_F(GattTreeTest, DevicesAreListedInOneAdapter) {
  AddBoth();
  ASSERT_EQ(1, enumerator.Enumerate(0));
  GattAdapter* adapter = static_cast<GattAdapter*>(enumerator.adapters.First());
  ASSERT_NE(nullptr, adapter);
  EXPECT_EQ(nullptr, enumerator.adapters.Next(adapter));
  EXPECT_STREQ(L"Simulated", adapter->name.CStr());
  EXPECT_EQ(0, memcmp(adapter->address, "\0\0\0\0\0\0", 6));
  EXPECT_EQ(adapter, Device(0)->parent);

  EXPECT_STREQ(L"EI-AN900", Device(0)->name.CStr());
  EXPECT_EQ(0, memcmp(kFirstAddress, Device(0)->address, 6));
  EXPECT_STREQ(backend.DeviceInstance(0), Device(0)->instance.CStr());
  EXPECT_STREQ(L"EI-AN900 (desk) \u00C4", Device(1)->name.CStr());
  EXPECT_EQ(0, memcmp(kSecondAddress, Device(1)->address, 6));
  EXPECT_EQ(nullptr, Device(2));

  WideString text;
  ASSERT_EQ(1, Device(0)->GetAddressText(text));
  EXPECT_STREQ(L"00:1A:7D:DA:71:13", text.CStr());
}

TEST_F(GattTreeTest, ServicesCharacteristicsAndDescriptorsComeInPlatformOrder) {
  AddBoth();
  ASSERT_EQ(1, enumerator.Enumerate(0));
  GattDevice* device = Device(0);
  std::vector<std::wstring> services;
  for (ListItem* item = device->services.First(); item; item = device->services.Next(item)) {
    GattService* service = static_cast<GattService*>(item);
    EXPECT_EQ(device, service->parent);
    services.push_back(TextOf(service->record.ServiceUuid));
  }
  ASSERT_EQ(3u, services.size());
  EXPECT_EQ(L"{00001800-0000-1000-8000-00805F9B34FB}", services[0]);
  EXPECT_EQ(L"{0000180F-0000-1000-8000-00805F9B34FB}", services[1]);
  EXPECT_EQ(kVendorServiceText, services[2]);

  GattService* vendor = device->FindService(kVendorServiceText);
  ASSERT_NE(nullptr, vendor);
  GattCharacteristic* channel = static_cast<GattCharacteristic*>(vendor->characteristics.First());
  ASSERT_NE(nullptr, channel);
  EXPECT_EQ(nullptr, vendor->characteristics.Next(channel));
  EXPECT_EQ(vendor, channel->parent);
  EXPECT_EQ(kVendorCharacteristicText, TextOf(channel->record.CharacteristicUuid));
  EXPECT_EQ(vendor->record.AttributeHandle, channel->record.ServiceHandle);
  EXPECT_TRUE(channel->record.IsWritable);
  EXPECT_TRUE(channel->record.IsNotifiable);
  EXPECT_FALSE(channel->record.IsReadable);
  GattDescriptor* configuration = static_cast<GattDescriptor*>(channel->descriptors.First());
  ASSERT_NE(nullptr, configuration);
  EXPECT_EQ(channel, configuration->parent);
  EXPECT_EQ(ClientCharacteristicConfiguration, configuration->record.DescriptorType);
  EXPECT_EQ(channel->record.AttributeHandle, configuration->record.CharacteristicHandle);
}

TEST_F(GattTreeTest, ValuesAreReadOnceWhileEnumerating) {
  AddBoth();
  ASSERT_EQ(1, enumerator.Enumerate(0));
  GattService* access = Device(1)->FindService(L"org.bluetooth.service.generic_access");
  ASSERT_NE(nullptr, access);
  GattCharacteristic* name = access->FindCharacteristic(L"org.bluetooth.characteristic.gap.device_name");
  ASSERT_NE(nullptr, name);
  // The device name in UTF-8, as it goes over the air.
  std::string expected = "EI-AN900 (desk) \xC3\x84";
  ASSERT_EQ(expected.size(), name->ValueSize());
  EXPECT_EQ(0, memcmp(expected.data(), name->ValueBytes(), expected.size()));

  GattCharacteristic* level = Device(1)->FindService(L"org.bluetooth.service.battery_service")
                                  ->FindCharacteristic(L"org.bluetooth.characteristic.battery_level");
  ASSERT_NE(nullptr, level);
  ASSERT_EQ(1u, level->ValueSize());
  EXPECT_EQ(SimulatedGattBackend::BatteryLevel, level->ValueBytes()[0]);

  // The vendor characteristic cannot be read: its value stays absent.
  GattCharacteristic* channel = Device(1)->FindService(kVendorServiceText)->FindCharacteristic(kVendorCharacteristicText);
  EXPECT_EQ(nullptr, channel->value);
  EXPECT_EQ(0u, channel->ValueSize());

  GattDescriptor* configuration = channel->FindDescriptor(kConfigurationName);
  ASSERT_NE(nullptr, configuration);
  ASSERT_NE(nullptr, configuration->value);
  EXPECT_EQ(ClientCharacteristicConfiguration, configuration->value->DescriptorType);
  EXPECT_FALSE(configuration->value->ClientCharacteristicConfiguration.IsSubscribeToNotification);
}

TEST_F(GattTreeTest, DevicesOnlyFlagSkipsServiceDiscovery) {
  AddBoth();
  ASSERT_EQ(1, enumerator.Enumerate(GattEnumerator::DevicesOnly));
  ASSERT_NE(nullptr, Device(1));
  EXPECT_EQ(0, memcmp(kSecondAddress, Device(1)->address, 6));
  EXPECT_EQ(nullptr, Device(0)->services.First());
  EXPECT_EQ(nullptr, Device(1)->services.First());
}

TEST(GattTreeFlagsTest, ReadFromDeviceFlagForcesEveryRead) {
  ScriptedDevice device(L"one", kFirstAddress);
  ReadFlagBackend backend;
  ASSERT_EQ(1, backend.AddDevice(&device));
  GattEnumerator enumerator(&backend);

  ASSERT_EQ(1, enumerator.Enumerate(0));
  ASSERT_FALSE(backend.readFlags.empty());
  for (ULONG flags : backend.readFlags) EXPECT_EQ(0u, flags);

  backend.readFlags.clear();
  ASSERT_EQ(1, enumerator.Enumerate(GattEnumerator::ReadFromDevice));
  // Device name, appearance and battery level: a sizing call and a read each.
  ASSERT_EQ(6u, backend.readFlags.size());
  for (ULONG flags : backend.readFlags) EXPECT_EQ(BLUETOOTH_GATT_FLAG_FORCE_READ_FROM_DEVICE, flags);
}

TEST(GattTreeFlagsTest, SizingCallWithoutMoreDataEndsTheLevel) {
  ScriptedDevice device(L"one", kFirstAddress);
  NoDescriptorSizingBackend backend;
  ASSERT_EQ(1, backend.AddDevice(&device));
  GattEnumerator enumerator(&backend);
  for (HRESULT answer : {S_OK, E_FAIL}) {
    backend.answer = answer;
    ASSERT_EQ(1, enumerator.Enumerate(0));
    GattDevice* found = static_cast<GattAdapter*>(enumerator.adapters.First())->DeviceAt(0);
    GattCharacteristic* channel = found->FindService(kVendorServiceText)->FindCharacteristic(kVendorCharacteristicText);
    ASSERT_NE(nullptr, channel);
    EXPECT_EQ(nullptr, channel->descriptors.First());
  }
}

TEST_F(GattTreeTest, LookupsTakeUuidTextOrNameInAnyLetterCase) {
  AddBoth();
  ASSERT_EQ(1, enumerator.Enumerate(0));
  GattDevice* device = Device(0);
  GattService* vendor = device->FindService(L"{fc1cff01-71f1-887f-c5fa-a19b3dca3230}");
  ASSERT_NE(nullptr, vendor);
  EXPECT_EQ(vendor, device->FindService(kVendorServiceText));
  GattCharacteristic* channel = vendor->FindCharacteristic(L"{FC1CFF08-71f1-887F-c5fa-A19B3DCA3230}");
  ASSERT_NE(nullptr, channel);

  GattDescriptor* byName = channel->FindDescriptor(kConfigurationName);
  ASSERT_NE(nullptr, byName);
  EXPECT_EQ(channel, byName->parent);  // not the battery level's descriptor
  EXPECT_EQ(byName, channel->FindDescriptor(L"ORG.BLUETOOTH.DESCRIPTOR.GATT.CLIENT_CHARACTERISTIC_CONFIGURATION"));
  EXPECT_EQ(byName, channel->FindDescriptor(L"{00002902-0000-1000-8000-00805F9B34FB}"));
  EXPECT_EQ(byName, channel->FindDescriptor(L"{00002902-0000-1000-8000-00805f9b34fb}"));

  GattService* battery = device->FindService(L"{0000180f-0000-1000-8000-00805f9b34fb}");
  ASSERT_NE(nullptr, battery);
  EXPECT_EQ(battery, device->FindService(L"Org.Bluetooth.Service.Battery_Service"));
  EXPECT_NE(battery, vendor);

  EXPECT_EQ(nullptr, device->FindService(L"org.bluetooth.service.heart_rate"));
  EXPECT_EQ(nullptr, device->FindService(L"org.bluetooth.service"));
  EXPECT_EQ(nullptr, device->FindService(nullptr));
  EXPECT_EQ(nullptr, vendor->FindCharacteristic(L"org.bluetooth.characteristic.battery_level"));
  EXPECT_EQ(nullptr, channel->FindDescriptor(L"org.bluetooth.descriptor.report_reference"));
}

TEST_F(GattTreeTest, EnumeratingAgainReplacesTheTree) {
  AddBoth();
  ASSERT_EQ(1, enumerator.Enumerate(0));
  GattCharacteristic* channel = Device(0)->FindService(kVendorServiceText)->FindCharacteristic(kVendorCharacteristicText);
  ValueRecorder recorder;
  ASSERT_EQ(1, channel->RegisterValueChanged(&ValueRecorder::OnValue, &recorder));
  EXPECT_EQ(1u, backend.RegistrationCount());

  ASSERT_EQ(1, enumerator.Enumerate(0));
  // The old tree is gone, its registration with it.
  EXPECT_EQ(0u, backend.RegistrationCount());
  GattAdapter* adapter = static_cast<GattAdapter*>(enumerator.adapters.First());
  EXPECT_EQ(nullptr, enumerator.adapters.Next(adapter));
  EXPECT_NE(nullptr, Device(1));
  EXPECT_EQ(nullptr, Device(2));
}

TEST_F(GattTreeTest, EveryHandleIsClosedAgain) {
  AddBoth();
  ASSERT_EQ(1, enumerator.Enumerate(GattEnumerator::ReadFromDevice));
  GattCharacteristic* channel = Device(0)->FindService(kVendorServiceText)->FindCharacteristic(kVendorCharacteristicText);
  const unsigned char command[] = {0x00, 0x01, 0x03};
  EXPECT_EQ(1, channel->Write(command, sizeof command));
  BTH_LE_GATT_DESCRIPTOR_VALUE subscription = GattDescriptor::NotificationSubscription();
  EXPECT_EQ(1, channel->FindDescriptor(kConfigurationName)->Write(&subscription));
  EXPECT_EQ(0u, backend.OpenHandleCount());
}
