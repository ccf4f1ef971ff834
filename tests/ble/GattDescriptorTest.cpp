// Descriptor writes: the subscription value, and the retries while the
// device is not connected.
#include <gtest/gtest.h>

#include <cstring>

#include "ble/GattAdapter.h"
#include "ble/GattCharacteristic.h"
#include "ble/GattDescriptor.h"
#include "ble/GattDevice.h"
#include "ble/GattEnumerator.h"
#include "ble/GattService.h"
#include "ble/SimulatedGattBackend.h"
#include "tests/ble/GattTestSupport.h"
#include "tools/fakes/ScriptedDevice.h"

namespace {

const unsigned char kAddress[6] = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};

class GattDescriptorTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(1, backend.AddDevice(&device));
    enumerator.SetRetryWait(&WaitRecorder::Wait, &waits);
    ASSERT_EQ(1, enumerator.Enumerate(0));
    channel = static_cast<GattAdapter*>(enumerator.adapters.First())
                  ->DeviceAt(0)
                  ->FindService(kVendorServiceText)
                  ->FindCharacteristic(kVendorCharacteristicText);
    ASSERT_NE(nullptr, channel);
    configuration = channel->FindDescriptor(kConfigurationName);
    ASSERT_NE(nullptr, configuration);
  }
  bool Subscribed() {
    return configuration->Read() == 1 && configuration->value->ClientCharacteristicConfiguration.IsSubscribeToNotification;
  }

  ScriptedDevice device{L"EI-AN900", kAddress};
  SimulatedGattBackend backend;
  GattEnumerator enumerator{&backend};
  WaitRecorder waits;
  GattCharacteristic* channel = nullptr;
  GattDescriptor* configuration = nullptr;
};

}  // namespace

TEST(GattDescriptorValueTest, SubscriptionTurnsNotificationsOnAndNothingElse) {
  BTH_LE_GATT_DESCRIPTOR_VALUE value = GattDescriptor::NotificationSubscription();
  EXPECT_EQ(ClientCharacteristicConfiguration, value.DescriptorType);
  EXPECT_EQ(2, static_cast<int>(value.DescriptorType));
  EXPECT_EQ(1, value.ClientCharacteristicConfiguration.IsSubscribeToNotification);
  EXPECT_EQ(0, value.ClientCharacteristicConfiguration.IsSubscribeToIndication);
  BTH_LE_GATT_DESCRIPTOR_VALUE expected;
  memset(&expected, 0, sizeof expected);
  expected.DescriptorType = ClientCharacteristicConfiguration;
  expected.ClientCharacteristicConfiguration.IsSubscribeToNotification = 1;
  EXPECT_EQ(0, memcmp(&expected, &value, sizeof value));
}

TEST_F(GattDescriptorTest, WriteSubscribes) {
  EXPECT_FALSE(Subscribed());
  BTH_LE_GATT_DESCRIPTOR_VALUE subscription = GattDescriptor::NotificationSubscription();
  ASSERT_EQ(1, configuration->Write(&subscription));
  EXPECT_TRUE(Subscribed());
  EXPECT_EQ(1u, backend.DescriptorWriteCount());
  EXPECT_TRUE(waits.waits.empty());
  EXPECT_EQ(0, configuration->Write(nullptr));
}

TEST_F(GattDescriptorTest, DeviceNeverConnectedFailsAfterFourAttempts) {
  backend.FailDescriptorWrites(100, GATT_DEVICE_NOT_CONNECTED);
  BTH_LE_GATT_DESCRIPTOR_VALUE subscription = GattDescriptor::NotificationSubscription();
  EXPECT_EQ(0, configuration->Write(&subscription));
  EXPECT_EQ(4u, backend.DescriptorWriteCount());
  EXPECT_EQ((std::vector<DWORD>{500, 500, 500, 500}), waits.waits);
  backend.FailDescriptorWrites(0, S_OK);
  EXPECT_FALSE(Subscribed());
}

TEST_F(GattDescriptorTest, DeviceConnectingInTimeSucceedsOnTheThirdAttempt) {
  backend.FailDescriptorWrites(2, GATT_DEVICE_NOT_CONNECTED);
  BTH_LE_GATT_DESCRIPTOR_VALUE subscription = GattDescriptor::NotificationSubscription();
  EXPECT_EQ(1, configuration->Write(&subscription));
  EXPECT_EQ(3u, backend.DescriptorWriteCount());
  EXPECT_EQ((std::vector<DWORD>{500, 500}), waits.waits);
  EXPECT_TRUE(Subscribed());
}

TEST_F(GattDescriptorTest, OtherFailuresEndAtOnce) {
  backend.FailDescriptorWrites(1, E_ACCESSDENIED);
  BTH_LE_GATT_DESCRIPTOR_VALUE subscription = GattDescriptor::NotificationSubscription();
  EXPECT_EQ(0, configuration->Write(&subscription));
  EXPECT_EQ(1u, backend.DescriptorWriteCount());
  EXPECT_TRUE(waits.waits.empty());
  // The next write goes through.
  EXPECT_EQ(1, configuration->Write(&subscription));
}

TEST_F(GattDescriptorTest, ReadKeepsTheLatestValueOnly) {
  ASSERT_EQ(1, configuration->Read());
  EXPECT_EQ(2u, configuration->value->DataSize);
  EXPECT_EQ(0, configuration->value->Data[0]);
  BTH_LE_GATT_DESCRIPTOR_VALUE subscription = GattDescriptor::NotificationSubscription();
  ASSERT_EQ(1, configuration->Write(&subscription));
  ASSERT_EQ(1, configuration->Read());
  EXPECT_EQ(1, configuration->value->Data[0]);
}
