// The Windows backend end to end: against the stand-in platform library
// (SetupAPI and bluetoothapis over simulated devices), without any library,
// and against what Wine itself offers.
#include <gtest/gtest.h>

#include <cstring>

#include "ble/GattAdapter.h"
#include "ble/GattCharacteristic.h"
#include "ble/GattDescriptor.h"
#include "ble/GattDevice.h"
#include "ble/GattEnumerator.h"
#include "ble/GattNames.h"
#include "ble/GattService.h"
#include "ble/WindowsGattBackend.h"
#include "core/SystemApi.h"
#include "tests/ble/GattTestSupport.h"
#include "tools/fakes/FakeBluetooth.h"

namespace {

const unsigned char kFirstAddress[6] = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};
const unsigned char kSecondAddress[6] = {0x02, 0x50, 0x4C, 0x54, 0x4E, 0x01};

class FakePlatformTest : public ::testing::Test {
protected:
  void SetUp() override {
    module_ = LoadLibraryW(FAKE_BLE_LIBRARY);
    ASSERT_NE(nullptr, module_);
    reset = Get<FakeBleResetFn>("FakeBleReset");
    addScripted = Get<FakeBleAddScriptedFn>("FakeBleAddScripted");
    notify = Get<FakeBleNotifyFn>("FakeBleNotify");
    failDescriptorWrites = Get<FakeBleFailDescriptorWritesFn>("FakeBleFailDescriptorWrites");
    getCounts = Get<FakeBleGetCountsFn>("FakeBleGetCounts");
    waitIdle = Get<FakeBleWaitIdleFn>("FakeBleWaitIdle");
    ASSERT_TRUE(reset && addScripted && notify && failDescriptorWrites && getCounts && waitIdle);
    reset();
    backend = new WindowsGattBackend(FAKE_BLE_LIBRARY, FAKE_BLE_LIBRARY);
    enumerator = new GattEnumerator(backend);
    enumerator->SetRetryWait(&WaitRecorder::Wait, &waits);
  }
  void TearDown() override {
    delete enumerator;
    delete backend;
    if (reset) reset();
    if (module_) FreeLibrary(module_);
  }
  template <class Fn>
  Fn Get(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }
  FakeBleCounts Counts() {
    FakeBleCounts counts;
    getCounts(&counts);
    return counts;
  }
  GattDevice* Device(unsigned index) {
    GattAdapter* adapter = static_cast<GattAdapter*>(enumerator->adapters.First());
    return adapter ? adapter->DeviceAt(index) : nullptr;
  }
  GattCharacteristic* Channel(unsigned index) { return VendorCharacteristic(Device(index)); }
  int Subscribe(GattCharacteristic* characteristic) { return SubscribeToNotifications(characteristic); }

  FakeBleResetFn reset = nullptr;
  FakeBleAddScriptedFn addScripted = nullptr;
  FakeBleNotifyFn notify = nullptr;
  FakeBleFailDescriptorWritesFn failDescriptorWrites = nullptr;
  FakeBleGetCountsFn getCounts = nullptr;
  FakeBleWaitIdleFn waitIdle = nullptr;
  WindowsGattBackend* backend = nullptr;
  GattEnumerator* enumerator = nullptr;
  WaitRecorder waits;

private:
  HMODULE module_ = nullptr;
};

}  // namespace

TEST_F(FakePlatformTest, NoDevicesMeansNoAdapter) {
  ASSERT_EQ(1, backend->HasSetupApi());
  EXPECT_EQ(1, enumerator->Enumerate(0));
  EXPECT_EQ(nullptr, enumerator->adapters.First());
  EXPECT_EQ(0u, Counts().openSets);
}

TEST_F(FakePlatformTest, EnumerationFindsTheDevicesAndTheirServices) {
  ASSERT_EQ(0, addScripted(L"EI-AN900", kFirstAddress, 0));
  ASSERT_EQ(1, addScripted(L"Other", kSecondAddress, 0));
  ASSERT_EQ(1, enumerator->Enumerate(0));
  GattAdapter* adapter = static_cast<GattAdapter*>(enumerator->adapters.First());
  ASSERT_NE(nullptr, adapter);
  EXPECT_STREQ(L"Windows API", adapter->name.CStr());
  EXPECT_EQ(0, memcmp(adapter->address, "\0\0\0\0\0\0", 6));
  ASSERT_NE(nullptr, Device(1));
  EXPECT_EQ(nullptr, Device(2));
  EXPECT_STREQ(L"EI-AN900", Device(0)->name.CStr());
  EXPECT_STREQ(L"Other", Device(1)->name.CStr());
  EXPECT_EQ(0, memcmp(kFirstAddress, Device(0)->address, 6));
  EXPECT_EQ(0, memcmp(kSecondAddress, Device(1)->address, 6));
  EXPECT_FALSE(Device(0)->instance.IsEmpty());
  EXPECT_NE(0, Device(0)->instance.CompareNoCase(Device(1)->instance.CStr()));

  GattDevice* device = Device(0);
  GattService* battery = device->FindService(L"org.bluetooth.service.battery_service");
  ASSERT_NE(nullptr, battery);
  GattCharacteristic* level = battery->FindCharacteristic(L"{00002a19-0000-1000-8000-00805f9b34fb}");
  ASSERT_NE(nullptr, level);
  ASSERT_EQ(1u, level->ValueSize());
  EXPECT_EQ(100, level->ValueBytes()[0]);
  GattCharacteristic* name = device->FindService(L"{00001800-0000-1000-8000-00805F9B34FB}")
                                 ->FindCharacteristic(L"org.bluetooth.characteristic.gap.device_name");
  ASSERT_NE(nullptr, name);
  ASSERT_EQ(8u, name->ValueSize());
  EXPECT_EQ(0, memcmp("EI-AN900", name->ValueBytes(), 8));
  GattCharacteristic* channel = Channel(0);
  ASSERT_NE(nullptr, channel);
  EXPECT_TRUE(channel->record.IsNotifiable);
  EXPECT_NE(nullptr, channel->FindDescriptor(L"{00002902-0000-1000-8000-00805F9B34FB}"));
  // Every device information set was given back.
  EXPECT_EQ(0u, Counts().openSets);
}

TEST_F(FakePlatformTest, AddressPropertyInEveryForm) {
  ASSERT_EQ(0, addScripted(L"dashed", kFirstAddress, FakeBleAddressDashed));
  ASSERT_EQ(1, addScripted(L"plain", kFirstAddress, 0));
  ASSERT_EQ(2, addScripted(L"colons", kFirstAddress, FakeBleAddressColons));
  ASSERT_EQ(3, addScripted(L"none", kFirstAddress, FakeBleNoAddress));
  ASSERT_EQ(1, enumerator->Enumerate(GattEnumerator::DevicesOnly));
  for (unsigned i = 0; i < 3; ++i) {
    ASSERT_NE(nullptr, Device(i));
    WideString text;
    Device(i)->GetAddressText(text);
    EXPECT_STREQ(L"00:1A:7D:DA:71:13", text.CStr()) << Device(i)->name.CStr();
    EXPECT_EQ(nullptr, Device(i)->services.First());
  }
  EXPECT_EQ(0, memcmp(Device(3)->address, "\0\0\0\0\0\0", 6));
}

TEST_F(FakePlatformTest, DeviceThatCannotBeOpenedIsSkipped) {
  ASSERT_EQ(0, addScripted(L"gone", kFirstAddress, FakeBleUnopenable));
  ASSERT_EQ(1, addScripted(L"here", kSecondAddress, 0));
  ASSERT_EQ(1, enumerator->Enumerate(0));
  ASSERT_NE(nullptr, enumerator->adapters.First());
  ASSERT_NE(nullptr, Device(0));
  EXPECT_STREQ(L"here", Device(0)->name.CStr());
  EXPECT_EQ(nullptr, Device(1));
}

TEST_F(FakePlatformTest, WriteSubscribeAndReceiveOnThePlatformThread) {
  ASSERT_EQ(0, addScripted(L"EI-AN900", kFirstAddress, 0));
  ASSERT_EQ(1, enumerator->Enumerate(0));
  GattCharacteristic* channel = Channel(0);
  ASSERT_NE(nullptr, channel);
  ASSERT_EQ(1, Subscribe(channel));
  ValueRecorder recorder;
  ASSERT_EQ(1, channel->RegisterValueChanged(&ValueRecorder::OnValue, &recorder));
  EXPECT_EQ(1u, Counts().registrations);

  // The device echoes what is written.
  const unsigned char command[] = {0x00, 0x02, 0x0A, 0x02};
  ASSERT_EQ(1, channel->Write(command, sizeof command));
  ASSERT_EQ(1, notify(0, reinterpret_cast<const unsigned char*>("\x00\x02\x8B\x50"), 4));
  ASSERT_EQ(1, recorder.WaitFor(2));
  std::vector<Bytes> values = recorder.Values();
  EXPECT_EQ(Bytes(command, command + sizeof command), values[0]);
  EXPECT_EQ((Bytes{0x00, 0x02, 0x8B, 0x50}), values[1]);
  FakeBleCounts counts = Counts();
  EXPECT_EQ(1u, counts.characteristicWrites);
  EXPECT_EQ(BLUETOOTH_GATT_FLAG_NONE, counts.lastWriteFlags);
  EXPECT_EQ(2u, counts.callbacks);
  ASSERT_NE(0u, counts.callbackThread);
  for (DWORD thread : recorder.Threads()) {
    EXPECT_EQ(counts.callbackThread, thread);
    EXPECT_NE(GetCurrentThreadId(), thread);
  }
  for (GattCharacteristic* source : recorder.Sources()) EXPECT_EQ(channel, source);

  ASSERT_EQ(1, channel->RegisterValueChanged(nullptr, nullptr));
  EXPECT_EQ(0u, Counts().registrations);
  ASSERT_EQ(1, channel->Write(command, sizeof command));
  ASSERT_EQ(1, waitIdle(0, 10000));
  EXPECT_EQ(2u, recorder.Count());
}

TEST_F(FakePlatformTest, ChannelOfALinkWorksThroughThePlatform) {
  ASSERT_EQ(0, addScripted(L"EI-AN900", kFirstAddress, 0));
  ASSERT_EQ(1, enumerator->Enumerate(0));
  CharacteristicChannel* link = Channel(0);
  ASSERT_NE(nullptr, link);
  ASSERT_EQ(1, Subscribe(Channel(0)));
  ValueRecorder recorder;
  ASSERT_EQ(1, link->SetValueHandler(&ValueRecorder::OnChannelValue, &recorder));
  const unsigned char command[] = {0x00, 0x01, 0x03};
  ASSERT_EQ(1, link->WriteValue(command, sizeof command));
  ASSERT_EQ(1, recorder.WaitFor(1));
  EXPECT_EQ(Bytes(command, command + sizeof command), recorder.Values()[0]);
  unsigned char address[6] = {};
  ASSERT_EQ(1, link->GetDeviceAddress(address));
  EXPECT_EQ(0, memcmp(kFirstAddress, address, 6));
  // Destroying the tree takes the registration back.
  enumerator->Clear();
  EXPECT_EQ(0u, Counts().registrations);
}

TEST_F(FakePlatformTest, NotificationsNeedTheSubscription) {
  ASSERT_EQ(0, addScripted(L"EI-AN900", kFirstAddress, 0));
  ASSERT_EQ(1, enumerator->Enumerate(0));
  ASSERT_NE(nullptr, Channel(0));
  ValueRecorder recorder;
  ASSERT_EQ(1, Channel(0)->RegisterValueChanged(&ValueRecorder::OnValue, &recorder));
  ASSERT_EQ(1, notify(0, reinterpret_cast<const unsigned char*>("\x01"), 1));
  ASSERT_EQ(1, waitIdle(0, 10000));
  EXPECT_EQ(0u, recorder.Count());
}

TEST_F(FakePlatformTest, CharacteristicThatCannotNotifyRefusesRegistration) {
  ASSERT_EQ(0, addScripted(L"EI-AN900", kFirstAddress, FakeBleNotNotifiable));
  ASSERT_EQ(1, enumerator->Enumerate(0));
  GattCharacteristic* channel = Channel(0);
  ASSERT_NE(nullptr, channel);
  EXPECT_FALSE(channel->record.IsNotifiable);
  ValueRecorder recorder;
  EXPECT_EQ(0, channel->RegisterValueChanged(&ValueRecorder::OnValue, &recorder));
  EXPECT_EQ(0u, Counts().registrations);
}

TEST_F(FakePlatformTest, DescriptorWriteRetriesWhileTheDeviceIsNotConnected) {
  ASSERT_EQ(0, addScripted(L"EI-AN900", kFirstAddress, 0));
  ASSERT_EQ(1, enumerator->Enumerate(0));
  GattCharacteristic* channel = Channel(0);
  ASSERT_NE(nullptr, channel);

  failDescriptorWrites(100, GATT_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(0, Subscribe(channel));
  EXPECT_EQ(4u, Counts().descriptorWrites);
  EXPECT_EQ((std::vector<DWORD>{500, 500, 500, 500}), waits.waits);

  waits.waits.clear();
  failDescriptorWrites(2, GATT_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(1, Subscribe(channel));
  EXPECT_EQ(7u, Counts().descriptorWrites);
  EXPECT_EQ((std::vector<DWORD>{500, 500}), waits.waits);
}

TEST(WindowsGattBackendTest, MissingLibrariesTurnTheBackendOff) {
  UINT previous = SetErrorMode(0);
  WindowsGattBackend backend(L"pellton-no-such-setupapi.dll", L"pellton-no-such-bluetoothapis.dll");
  EXPECT_EQ(0, backend.HasSetupApi());
  GattEnumerator enumerator(&backend);
  EXPECT_EQ(0, enumerator.Enumerate(0));
  EXPECT_EQ(nullptr, enumerator.adapters.First());
  std::vector<GattServiceInterface> services;
  EXPECT_EQ(0, backend.ListServiceInterfaces(GattShortUuid(0x180F), services));
  EXPECT_EQ(0, backend.OffersDeviceInterface(L"BTHLE\\DEV_001A7DDA7113\\1"));

  // Every GATT call answers 87.
  USHORT actual = 0;
  BTH_LE_GATT_SERVICE service = {};
  BTH_LE_GATT_CHARACTERISTIC characteristic = {};
  BTH_LE_GATT_DESCRIPTOR descriptor = {};
  BTH_LE_GATT_CHARACTERISTIC_VALUE value = {};
  BTH_LE_GATT_DESCRIPTOR_VALUE descriptorValue = {};
  BLUETOOTH_GATT_EVENT_HANDLE event = nullptr;
  EXPECT_EQ(SystemApi::GattUnavailable, backend.GetServices(nullptr, 0, nullptr, &actual, 0));
  EXPECT_EQ(SystemApi::GattUnavailable, backend.GetCharacteristics(nullptr, &service, 0, nullptr, &actual, 0));
  EXPECT_EQ(SystemApi::GattUnavailable, backend.GetDescriptors(nullptr, &characteristic, 0, nullptr, &actual, 0));
  EXPECT_EQ(SystemApi::GattUnavailable, backend.GetCharacteristicValue(nullptr, &characteristic, 0, nullptr, &actual, 0));
  EXPECT_EQ(SystemApi::GattUnavailable, backend.GetDescriptorValue(nullptr, &descriptor, 0, nullptr, &actual, 0));
  EXPECT_EQ(SystemApi::GattUnavailable, backend.SetCharacteristicValue(nullptr, &characteristic, &value, 0, 0));
  EXPECT_EQ(SystemApi::GattUnavailable, backend.SetDescriptorValue(nullptr, &descriptor, &descriptorValue, 0));
  EXPECT_EQ(SystemApi::GattUnavailable,
            backend.RegisterEvent(nullptr, CharacteristicValueChangedEvent, nullptr, nullptr, nullptr, &event, 0));
  EXPECT_EQ(SystemApi::GattUnavailable, backend.UnregisterEvent(nullptr, 0));
  // No system message box was asked for on the way.
  EXPECT_EQ(0u, SetErrorMode(previous));
}

// Wine's bluetoothapis.dll exports the GATT functions as stubs that end the
// process when called, and its SetupAPI lists no LE device: the backend
// must find nothing and never reach those stubs.
TEST(WindowsGattBackendTest, WinesOwnPlatformFindsNothingAndFailsQuietly) {
  WindowsGattBackend backend;
  ASSERT_EQ(1, backend.HasSetupApi());
  GattEnumerator enumerator(&backend);
  for (unsigned flags : {0u, GattEnumerator::ReadFromDevice, GattEnumerator::DevicesOnly}) {
    EXPECT_EQ(1, enumerator.Enumerate(flags));
    EXPECT_EQ(nullptr, enumerator.adapters.First());
  }
  std::vector<GattDeviceInterface> devices;
  EXPECT_EQ(1, backend.ListDeviceInterfaces(devices));
  EXPECT_TRUE(devices.empty());
  std::vector<GattServiceInterface> services;
  EXPECT_EQ(1, backend.ListServiceInterfaces(GattShortUuid(0x180F), services));
  EXPECT_TRUE(services.empty());
  EXPECT_EQ(1, backend.ListServiceInterfaces(GattLongUuid(GattUuidToGuid(GattShortUuid(0x1800))), services));
  EXPECT_TRUE(services.empty());
  EXPECT_EQ(0, backend.OffersDeviceInterface(L"BTHLE\\DEV_001A7DDA7113\\1"));
  EXPECT_EQ(nullptr, backend.OpenPath(L"\\\\?\\BTHLE#Dev_001a7dda7113#1#{781aee18-7733-4ce4-add0-91f41c67b592}"));
}
