// A TrackerLink carried by a GATT characteristic of each backend: found and
// subscribed as the tracker search does it, then the three set-up commands
// and a history download.
#include <gtest/gtest.h>

#include <cstring>

#include "app/simulation/SimulatedTracker.h"
#include "app/tracker/TrackerLink.h"
#include "app/tracker/TrackerProtocol.h"
#include "app/simulation/TrackerScenario.h"
#include "ble/GattAdapter.h"
#include "ble/GattCharacteristic.h"
#include "ble/GattDescriptor.h"
#include "ble/GattDevice.h"
#include "ble/GattEnumerator.h"
#include "ble/GattService.h"
#include "ble/SimulatedGattBackend.h"
#include "ble/WindowsGattBackend.h"
#include "tests/app/tracker/LinkTestSupport.h"
#include "tools/fakes/FakeBluetooth.h"

namespace {

const wchar_t kTrackerService[] = L"{FC1CFF01-71F1-887F-C5FA-A19B3DCA3230}";
const wchar_t kTrackerCharacteristic[] = L"{FC1CFF08-71F1-887F-C5FA-A19B3DCA3230}";
const wchar_t kConfiguration[] = L"org.bluetooth.descriptor.gatt.client_characteristic_configuration";
const char kScenario[] =
    "name EI-AN900\n"
    "address 00:1A:7D:DA:71:13\n"
    "clock 2014-06-01 10:00:00\n"
    "days 3\n"
    "seed 7\n";
const unsigned char kAddress[6] = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};

void Configure(SimulatedTracker& tracker, const char* text) {
  TrackerScenario scenario;
  WideString error;
  ASSERT_TRUE(scenario.Parse(text, strlen(text), error)) << error.ToNarrow();
  ASSERT_TRUE(tracker.Configure(scenario));
}

// Steps 1-3 of the search for one device: the tracker characteristic, which
// must notify, subscribed through its client configuration descriptor.
GattCharacteristic* Connect(GattDevice* device) {
  GattService* service = device ? device->FindService(kTrackerService) : nullptr;
  GattCharacteristic* characteristic = service ? service->FindCharacteristic(kTrackerCharacteristic) : nullptr;
  GattDescriptor* configuration = characteristic ? characteristic->FindDescriptor(kConfiguration) : nullptr;
  if (!configuration || !characteristic->record.IsNotifiable) return nullptr;
  BTH_LE_GATT_DESCRIPTOR_VALUE subscription = GattDescriptor::NotificationSubscription();
  return configuration->Write(&subscription) ? characteristic : nullptr;
}

GattDevice* FirstDevice(GattEnumerator& enumerator) {
  GattAdapter* adapter = static_cast<GattAdapter*>(enumerator.adapters.First());
  return adapter ? adapter->DeviceAt(0) : nullptr;
}

// Step 4 on: a link on the characteristic, the set-up commands with the
// codes they await, and the history, which must be the one the tracker holds.
void RunLink(GattCharacteristic* characteristic, const Bytes& walking, const Bytes& sleeping) {
  TrackerLink link;
  ASSERT_EQ(1, link.Attach(characteristic));
  ByteBuffer response;
  unsigned char id[HOST_ID_SIZE];
  GetHostId(id);

  ASSERT_EQ(1, link.SendCommand(CMD_HOST_HELLO, id, HOST_ID_SIZE, RSP_HOST_HELLO, response, LINK_TIMEOUT_MS));
  EXPECT_EQ(Hex("00 07 85 50 45 4C 4C 54 4E"), ToBytes(response));
  ASSERT_EQ(1, link.SendCommand(CMD_HOST_ID, id, HOST_ID_SIZE, RSP_ACK, response, LINK_TIMEOUT_MS));
  EXPECT_EQ(Hex("00 02 80 14"), ToBytes(response));
  const unsigned char one = 1;
  ASSERT_EQ(1, link.SendCommand(CMD_SETUP, &one, 1, RSP_ACK, response, LINK_TIMEOUT_MS));
  EXPECT_EQ(Hex("00 02 80 2B"), ToBytes(response));

  ASSERT_EQ(1, link.SendCommand(CMD_HISTORY, nullptr, 0, RSP_SLEEPING, response, LINK_TIMEOUT_MS));
  ASSERT_GT(walking.size(), 24u);  // a generated history of three days
  EXPECT_EQ(walking, ToBytes(link.walkingFrame));
  EXPECT_EQ(sleeping, ToBytes(link.sleepingFrame));
  EXPECT_EQ(sleeping, ToBytes(response));

  unsigned char address[6] = {};
  ASSERT_EQ(1, link.characteristic->GetDeviceAddress(address));
  EXPECT_EQ(0, memcmp(kAddress, address, 6));
  link.Detach();
  EXPECT_FALSE(characteristic->IsRegistered());
  BufferClear(response);
}

}  // namespace

TEST(GattLinkTest, SimulatedBackendCarriesALink) {
  SimulatedTracker tracker;
  Configure(tracker, kScenario);
  SimulatedGattBackend backend;
  ASSERT_EQ(1, backend.AddDevice(&tracker));
  GattEnumerator enumerator(&backend);
  ASSERT_EQ(1, enumerator.Enumerate(0));
  GattDevice* device = FirstDevice(enumerator);
  ASSERT_NE(nullptr, device);
  EXPECT_STREQ(L"EI-AN900", device->name.CStr());
  GattCharacteristic* characteristic = Connect(device);
  ASSERT_NE(nullptr, characteristic);

  Bytes walking, sleeping;
  tracker.GetHeldHistory(walking, sleeping);
  RunLink(characteristic, walking, sleeping);
  EXPECT_EQ(4u, tracker.CommandsReceived());
}

TEST(GattLinkTest, SearchSkipsATrackerWhoseCharacteristicCannotNotify) {
  SimulatedTracker tracker;
  Configure(tracker, kScenario);
  SimulatedGattBackend backend;
  ASSERT_EQ(1, backend.AddDevice(&tracker, SimulatedGattBackend::NotNotifiable));
  GattEnumerator enumerator(&backend);
  ASSERT_EQ(1, enumerator.Enumerate(0));
  ASSERT_NE(nullptr, FirstDevice(enumerator));
  EXPECT_EQ(nullptr, Connect(FirstDevice(enumerator)));
  // A link attached anyway hears nothing: its registration is refused.
  GattCharacteristic* characteristic =
      FirstDevice(enumerator)->FindService(kTrackerService)->FindCharacteristic(kTrackerCharacteristic);
  TrackerLink link;
  EXPECT_EQ(0, link.Attach(characteristic));
}

TEST(GattLinkTest, WindowsBackendCarriesALinkThroughThePlatformLibrary) {
  HMODULE platform = LoadLibraryW(FAKE_BLE_LIBRARY);
  ASSERT_NE(nullptr, platform);
  FakeBleResetFn reset =
      reinterpret_cast<FakeBleResetFn>(reinterpret_cast<void*>(GetProcAddress(platform, "FakeBleReset")));
  FakeBleAddTrackerFn addTracker =
      reinterpret_cast<FakeBleAddTrackerFn>(reinterpret_cast<void*>(GetProcAddress(platform, "FakeBleAddTracker")));
  FakeBleGetCountsFn getCounts =
      reinterpret_cast<FakeBleGetCountsFn>(reinterpret_cast<void*>(GetProcAddress(platform, "FakeBleGetCounts")));
  ASSERT_TRUE(reset && addTracker && getCounts);
  reset();
  ASSERT_EQ(0, addTracker(kScenario, FakeBleAddressDashed));

  // The same scenario in this process: the history the tracker in the
  // platform library holds.
  SimulatedTracker twin;
  Configure(twin, kScenario);
  Bytes walking, sleeping;
  twin.GetHeldHistory(walking, sleeping);

  {
    WindowsGattBackend backend(FAKE_BLE_LIBRARY, FAKE_BLE_LIBRARY);
    GattEnumerator enumerator(&backend);
    ASSERT_EQ(1, enumerator.Enumerate(0));
    GattDevice* device = FirstDevice(enumerator);
    ASSERT_NE(nullptr, device);
    EXPECT_STREQ(L"Windows API", device->parent->name.CStr());
    GattCharacteristic* characteristic = Connect(device);
    ASSERT_NE(nullptr, characteristic);
    RunLink(characteristic, walking, sleeping);

    FakeBleCounts counts;
    getCounts(&counts);
    EXPECT_EQ(4u, counts.characteristicWrites);
    EXPECT_GT(counts.callbacks, 4u);  // the history comes in pieces of 20 bytes
    EXPECT_EQ(0u, counts.registrations);
  }
  reset();
  FreeLibrary(platform);
}
