// Characteristic writes, reads and value-changed registrations over the
// simulated backend, and the characteristic as a tracker link's channel.
#include <gtest/gtest.h>

#include "ble/GattAdapter.h"
#include "ble/GattCharacteristic.h"
#include "ble/GattDescriptor.h"
#include "ble/GattDevice.h"
#include "ble/GattEnumerator.h"
#include "ble/GattService.h"
#include "ble/SimulatedGattBackend.h"
#include "core/SystemApi.h"
#include "tests/ble/GattTestSupport.h"
#include "tools/fakes/ScriptedDevice.h"

namespace {

const unsigned char kAddress[6] = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};
const unsigned char kOtherAddress[6] = {0x02, 0x50, 0x4C, 0x54, 0x4E, 0x01};

// Offers the vendor characteristic as writable without response and signed.
class WriteKindBackend : public SimulatedGattBackend {
public:
  HRESULT GetCharacteristics(HANDLE device, BTH_LE_GATT_SERVICE* service, USHORT count,
                             BTH_LE_GATT_CHARACTERISTIC* characteristics, USHORT* actual, ULONG flags) override {
    HRESULT status = SimulatedGattBackend::GetCharacteristics(device, service, count, characteristics, actual, flags);
    if (status == S_OK) {
      for (USHORT i = 0; i < *actual; ++i) {
        if (characteristics[i].IsWritable) {
          characteristics[i].IsWritableWithoutResponse = TRUE;
          characteristics[i].IsSignedWritable = TRUE;
        }
      }
    }
    return status;
  }
};

class GattCharacteristicTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(1, backend.AddDevice(&device));
    ASSERT_EQ(1, backend.AddDevice(&mute, SimulatedGattBackend::NotNotifiable));
    ASSERT_EQ(1, enumerator.Enumerate(0));
    channel = Channel(0);
    ASSERT_NE(nullptr, channel);
  }
  GattCharacteristic* Channel(unsigned index) {
    return VendorCharacteristic(static_cast<GattAdapter*>(enumerator.adapters.First())->DeviceAt(index));
  }
  int Subscribe(GattCharacteristic* characteristic) { return SubscribeToNotifications(characteristic); }

  ScriptedDevice device{L"EI-AN900", kAddress};
  ScriptedDevice mute{L"EI-AN900 mute", kOtherAddress};
  SimulatedGattBackend backend;
  GattEnumerator enumerator{&backend};
  GattCharacteristic* channel = nullptr;
  ValueRecorder recorder;
};

}  // namespace

TEST_F(GattCharacteristicTest, WriteReachesTheModel) {
  const unsigned char command[] = {0x00, 0x02, 0x0A, 0x02};
  ASSERT_EQ(1, channel->Write(command, sizeof command));
  std::vector<Bytes> writes = device.Writes();
  ASSERT_EQ(1u, writes.size());
  EXPECT_EQ(Bytes(command, command + sizeof command), writes[0]);
  EXPECT_EQ(BLUETOOTH_GATT_FLAG_NONE, backend.LastWriteFlags());
  EXPECT_TRUE(mute.Writes().empty());
}

TEST_F(GattCharacteristicTest, WriteFailsWhenTheModelRefuses) {
  device.SetWriteResult(0);
  const unsigned char command[] = {0x00, 0x01, 0x03};
  EXPECT_EQ(0, channel->Write(command, sizeof command));
}

TEST_F(GattCharacteristicTest, WriteFailsUnlessWritable) {
  GattCharacteristic* name = static_cast<GattAdapter*>(enumerator.adapters.First())
                                 ->DeviceAt(0)
                                 ->FindService(L"org.bluetooth.service.generic_access")
                                 ->FindCharacteristic(L"org.bluetooth.characteristic.gap.device_name");
  ASSERT_NE(nullptr, name);
  const unsigned char text[] = {'x'};
  EXPECT_EQ(0, name->Write(text, 1));
  EXPECT_EQ(0u, backend.CharacteristicWriteCount());  // refused before asking the platform
  EXPECT_EQ(0, channel->Write(nullptr, 3));
  EXPECT_EQ(0u, backend.CharacteristicWriteCount());
}

TEST(GattCharacteristicFlagsTest, WriteKindSetsThePlatformFlags) {
  ScriptedDevice device(L"EI-AN900", kAddress);
  WriteKindBackend backend;
  ASSERT_EQ(1, backend.AddDevice(&device));
  GattEnumerator enumerator(&backend);
  ASSERT_EQ(1, enumerator.Enumerate(0));
  GattCharacteristic* channel = static_cast<GattAdapter*>(enumerator.adapters.First())
                                    ->DeviceAt(0)
                                    ->FindService(kVendorServiceText)
                                    ->FindCharacteristic(kVendorCharacteristicText);
  const unsigned char command[] = {0x00, 0x01, 0x03};
  ASSERT_EQ(1, channel->Write(command, sizeof command));
  EXPECT_EQ(BLUETOOTH_GATT_FLAG_WRITE_WITHOUT_RESPONSE | BLUETOOTH_GATT_FLAG_SIGNED_WRITE, backend.LastWriteFlags());
}

namespace {

// A platform whose library lacks the write and registration functions: the
// Windows backend answers 87 for each, which is not a negative status.
class UnboundWritesBackend : public SimulatedGattBackend {
public:
  HRESULT SetCharacteristicValue(HANDLE, BTH_LE_GATT_CHARACTERISTIC*, BTH_LE_GATT_CHARACTERISTIC_VALUE*, ULONGLONG,
                                 ULONG) override {
    return SystemApi::GattUnavailable;
  }
  HRESULT SetDescriptorValue(HANDLE, BTH_LE_GATT_DESCRIPTOR*, BTH_LE_GATT_DESCRIPTOR_VALUE*, ULONG) override {
    return SystemApi::GattUnavailable;
  }
  HRESULT RegisterEvent(HANDLE, BTH_LE_GATT_EVENT_TYPE, void*, PFNBLUETOOTH_GATT_EVENT_CALLBACK, void*,
                        BLUETOOTH_GATT_EVENT_HANDLE* event, ULONG) override {
    if (event) *event = nullptr;
    return SystemApi::GattUnavailable;
  }
};

}  // namespace

TEST(GattCharacteristicUnboundTest, MissingPlatformFunctionsFailInsteadOfSucceeding) {
  ScriptedDevice device(L"EI-AN900", kAddress);
  UnboundWritesBackend backend;
  ASSERT_EQ(1, backend.AddDevice(&device));
  GattEnumerator enumerator(&backend);
  WaitRecorder waits;
  enumerator.SetRetryWait(&WaitRecorder::Wait, &waits);
  ASSERT_EQ(1, enumerator.Enumerate(0));
  GattCharacteristic* channel = static_cast<GattAdapter*>(enumerator.adapters.First())
                                    ->DeviceAt(0)
                                    ->FindService(kVendorServiceText)
                                    ->FindCharacteristic(kVendorCharacteristicText);
  ASSERT_NE(nullptr, channel);
  const unsigned char command[] = {0x00, 0x01, 0x03};
  EXPECT_EQ(0, channel->Write(command, sizeof command));
  EXPECT_TRUE(device.Writes().empty());

  GattDescriptor* configuration = channel->FindDescriptor(kConfigurationName);
  ASSERT_NE(nullptr, configuration);
  BTH_LE_GATT_DESCRIPTOR_VALUE subscription = GattDescriptor::NotificationSubscription();
  EXPECT_EQ(0, configuration->Write(&subscription));
  EXPECT_TRUE(waits.waits.empty());  // not a device that is away: no retry

  ValueRecorder recorder;
  EXPECT_EQ(0, channel->RegisterValueChanged(&ValueRecorder::OnValue, &recorder));
  EXPECT_FALSE(channel->IsRegistered());
  EXPECT_EQ(0, channel->SetValueHandler(&ValueRecorder::OnChannelValue, &recorder));
}

TEST_F(GattCharacteristicTest, ReadFailsUnlessReadable) {
  EXPECT_EQ(0, channel->Read(1));
  EXPECT_EQ(nullptr, channel->value);
}

TEST_F(GattCharacteristicTest, NotificationsArriveOnTheModelsThreadOnceSubscribed) {
  ASSERT_EQ(1, channel->RegisterValueChanged(&ValueRecorder::OnValue, &recorder));
  EXPECT_TRUE(channel->IsRegistered());

  // Notifications are off in the client configuration: nothing is sent.
  device.Notify(Bytes{0x01});
  ASSERT_EQ(1, device.WaitUntilIdle(10000));
  EXPECT_EQ(0u, recorder.Count());

  ASSERT_EQ(1, Subscribe(channel));
  device.Notify(Bytes{0x00, 0x02, 0x8B, 0x50});
  device.Notify(Bytes{});
  ASSERT_EQ(1, recorder.WaitFor(2));
  std::vector<Bytes> values = recorder.Values();
  EXPECT_EQ((Bytes{0x00, 0x02, 0x8B, 0x50}), values[0]);
  EXPECT_TRUE(values[1].empty());
  for (DWORD thread : recorder.Threads()) EXPECT_EQ(device.DeliveryThreadId(), thread);
  for (GattCharacteristic* source : recorder.Sources()) EXPECT_EQ(channel, source);
}

TEST_F(GattCharacteristicTest, RegisteringFailsUnlessNotifiable) {
  GattCharacteristic* silent = Channel(1);
  ASSERT_NE(nullptr, silent);
  EXPECT_FALSE(silent->record.IsNotifiable);
  EXPECT_EQ(0, silent->RegisterValueChanged(&ValueRecorder::OnValue, &recorder));
  EXPECT_FALSE(silent->IsRegistered());
  EXPECT_EQ(nullptr, silent->handler);
  EXPECT_EQ(0u, backend.RegistrationCount());
  // Its configuration descriptor is there, but no value ever comes.
  EXPECT_EQ(1, Subscribe(silent));
  mute.Notify(Bytes{0x01});
  ASSERT_EQ(1, mute.WaitUntilIdle(10000));
  EXPECT_EQ(0u, recorder.Count());
}

TEST_F(GattCharacteristicTest, UnregisteringStopsTheValues) {
  ASSERT_EQ(1, Subscribe(channel));
  ASSERT_EQ(1, channel->RegisterValueChanged(&ValueRecorder::OnValue, &recorder));
  device.Notify(Bytes{0x01});
  ASSERT_EQ(1, recorder.WaitFor(1));

  EXPECT_EQ(1, channel->RegisterValueChanged(nullptr, nullptr));
  EXPECT_FALSE(channel->IsRegistered());
  EXPECT_EQ(0u, backend.RegistrationCount());
  device.Notify(Bytes{0x02});
  ASSERT_EQ(1, device.WaitUntilIdle(10000));
  EXPECT_EQ(1u, recorder.Count());
  // Unregistering with nothing registered is harmless.
  EXPECT_EQ(1, channel->RegisterValueChanged(nullptr, nullptr));
}

TEST_F(GattCharacteristicTest, RegisteringAgainReplacesTheHandler) {
  ASSERT_EQ(1, Subscribe(channel));
  ValueRecorder earlier;
  ASSERT_EQ(1, channel->RegisterValueChanged(&ValueRecorder::OnValue, &earlier));
  ASSERT_EQ(1, channel->RegisterValueChanged(&ValueRecorder::OnValue, &recorder));
  EXPECT_EQ(1u, backend.RegistrationCount());
  device.Notify(Bytes{0x07});
  ASSERT_EQ(1, recorder.WaitFor(1));
  ASSERT_EQ(1, device.WaitUntilIdle(10000));
  EXPECT_EQ(0u, earlier.Count());
  EXPECT_EQ(1u, recorder.Count());
}

TEST_F(GattCharacteristicTest, DestroyingTheTreeUnregisters) {
  ASSERT_EQ(1, channel->RegisterValueChanged(&ValueRecorder::OnValue, &recorder));
  EXPECT_EQ(1u, backend.RegistrationCount());
  enumerator.Clear();
  EXPECT_EQ(0u, backend.RegistrationCount());
  EXPECT_EQ(0u, backend.OpenHandleCount());
}

TEST_F(GattCharacteristicTest, ServesAsALinksChannel) {
  CharacteristicChannel* link = channel;
  ASSERT_EQ(1, Subscribe(channel));
  device.SetEcho(true);
  ASSERT_EQ(1, link->SetValueHandler(&ValueRecorder::OnChannelValue, &recorder));
  const unsigned char command[] = {0x00, 0x02, 0x0A, 0x05};
  ASSERT_EQ(1, link->WriteValue(command, sizeof command));
  ASSERT_EQ(1, recorder.WaitFor(1));
  EXPECT_EQ(Bytes(command, command + sizeof command), recorder.Values()[0]);
  EXPECT_EQ(device.DeliveryThreadId(), recorder.Threads()[0]);

  unsigned char address[6] = {};
  ASSERT_EQ(1, link->GetDeviceAddress(address));
  EXPECT_EQ(0, memcmp(kAddress, address, 6));

  ASSERT_EQ(1, link->SetValueHandler(nullptr, nullptr));
  EXPECT_EQ(0u, backend.RegistrationCount());
  ASSERT_EQ(1, link->WriteValue(command, sizeof command));
  ASSERT_EQ(1, device.WaitUntilIdle(10000));
  EXPECT_EQ(1u, recorder.Count());
}

TEST_F(GattCharacteristicTest, ChannelRegistrationFailsOnACharacteristicThatCannotNotify) {
  CharacteristicChannel* link = Channel(1);
  ASSERT_NE(nullptr, link);
  EXPECT_EQ(0, link->SetValueHandler(&ValueRecorder::OnChannelValue, &recorder));
  EXPECT_EQ(0u, backend.RegistrationCount());
}

namespace {

// A handler that stays inside until released, and notes whether it is
// running.
struct SlowHandler {
  HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  volatile LONG running = 0;
  volatile LONG calls = 0;
  ~SlowHandler() {
    CloseHandle(entered);
    CloseHandle(release);
  }
  static void OnValue(unsigned, const unsigned char*, void* context) {
    SlowHandler* self = static_cast<SlowHandler*>(context);
    InterlockedIncrement(&self->calls);
    InterlockedExchange(&self->running, 1);
    SetEvent(self->entered);
    WaitForSingleObject(self->release, 10000);
    InterlockedExchange(&self->running, 0);
  }
};

struct Unregistering {
  CharacteristicChannel* channel;
  SlowHandler* handler;
  LONG runningWhenDone = -1;
  static DWORD WINAPI Main(void* context) {
    Unregistering* self = static_cast<Unregistering*>(context);
    self->channel->SetValueHandler(nullptr, nullptr);
    self->runningWhenDone = self->handler->running;
    return 0;
  }
};

}  // namespace

TEST_F(GattCharacteristicTest, UnregisteringWaitsForAHandlerThatIsRunning) {
  ASSERT_EQ(1, Subscribe(channel));
  SlowHandler slow;
  ASSERT_EQ(1, channel->SetValueHandler(&SlowHandler::OnValue, &slow));
  device.Notify(Bytes{0x01});
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(slow.entered, 10000));

  Unregistering job{channel, &slow};
  HANDLE thread = CreateThread(nullptr, 0, &Unregistering::Main, &job, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  // While the handler runs, the unregister cannot be over.
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(thread, 200));
  SetEvent(slow.release);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
  CloseHandle(thread);
  EXPECT_EQ(0, job.runningWhenDone);

  device.Notify(Bytes{0x02});
  ASSERT_EQ(1, device.WaitUntilIdle(10000));
  EXPECT_EQ(1, slow.calls);
}
