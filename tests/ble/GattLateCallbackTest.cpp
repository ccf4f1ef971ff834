// A platform that delivers a value after its unregistration has returned
// (the value was already on its way). The callback's context must not lead
// to the characteristic: not to a handler registered since, and not to a
// characteristic that has been freed. A callback running on another thread
// keeps the characteristic's unregistration waiting until it has left.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ble/GattAdapter.h"
#include "ble/GattCallbackRegistry.h"
#include "ble/GattCharacteristic.h"
#include "ble/GattDevice.h"
#include "ble/GattEnumerator.h"
#include "ble/GattService.h"
#include "ble/SimulatedGattBackend.h"
#include "tests/ble/GattTestSupport.h"
#include "tools/fakes/ScriptedDevice.h"

namespace {

const unsigned char kAddress[6] = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};

// Remembers every callback and context the client registered, so that the
// test can play the platform delivering late.
class RecordingBackend : public SimulatedGattBackend {
public:
  struct Registered {
    PFNBLUETOOTH_GATT_EVENT_CALLBACK callback;
    void* context;
  };
  HRESULT RegisterEvent(HANDLE service, BTH_LE_GATT_EVENT_TYPE type, void* parameter,
                        PFNBLUETOOTH_GATT_EVENT_CALLBACK callback, void* context,
                        BLUETOOTH_GATT_EVENT_HANDLE* event, ULONG flags) override {
    registered.push_back({callback, context});
    return SimulatedGattBackend::RegisterEvent(service, type, parameter, callback, context, event, flags);
  }
  std::vector<Registered> registered;
};

// Delivers one value through a remembered registration, as the platform does.
void DeliverLate(const RecordingBackend::Registered& late, unsigned char byte) {
  unsigned char block[sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE) + 4] = {};
  BTH_LE_GATT_CHARACTERISTIC_VALUE* value = reinterpret_cast<BTH_LE_GATT_CHARACTERISTIC_VALUE*>(block);
  value->DataSize = 1;
  value->Data[0] = byte;
  BLUETOOTH_GATT_VALUE_CHANGED_EVENT event;
  memset(&event, 0, sizeof event);
  event.CharacteristicValueDataSize = sizeof block;
  event.CharacteristicValue = value;
  late.callback(CharacteristicValueChangedEvent, &event, late.context);
}

struct LateFixture : ::testing::Test {
  void SetUp() override {
    ASSERT_EQ(1, backend.AddDevice(&device));
    ASSERT_EQ(1, enumerator.Enumerate(0));
    channel = VendorCharacteristic(static_cast<GattAdapter*>(enumerator.adapters.First())->DeviceAt(0));
    ASSERT_NE(nullptr, channel);
  }

  ScriptedDevice device{L"EI-AN900", kAddress};
  RecordingBackend backend;
  GattEnumerator enumerator{&backend};
  GattCharacteristic* channel = nullptr;
};

// Blocks inside the handler until released.
struct HeldHandler {
  HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~HeldHandler() {
    CloseHandle(entered);
    CloseHandle(release);
  }
  static void OnValue(GattCharacteristic*, unsigned, const unsigned char*, void* context) {
    HeldHandler* self = static_cast<HeldHandler*>(context);
    SetEvent(self->entered);
    WaitForSingleObject(self->release, 10000);
  }
};

struct LateDelivery {
  RecordingBackend::Registered late;
  static DWORD WINAPI Main(void* context) {
    DeliverLate(static_cast<LateDelivery*>(context)->late, 0x42);
    return 0;
  }
};

}  // namespace

TEST_F(LateFixture, ALateValueOfAnEndedRegistrationReachesNobody) {
  ValueRecorder earlier, later;
  ASSERT_EQ(1, channel->RegisterValueChanged(&ValueRecorder::OnValue, &earlier));
  ASSERT_EQ(1, channel->RegisterValueChanged(&ValueRecorder::OnValue, &later));
  ASSERT_EQ(2u, backend.registered.size());

  // The first registration has ended; a value it still had on its way must
  // not turn up at the handler registered since.
  DeliverLate(backend.registered[0], 0x01);
  EXPECT_EQ(0u, earlier.Count());
  EXPECT_EQ(0u, later.Count());

  DeliverLate(backend.registered[1], 0x02);  // the current one does
  ASSERT_EQ(1u, later.Count());
  EXPECT_EQ(Bytes{0x02}, later.Values()[0]);
}

TEST_F(LateFixture, ALateValueAfterTheTreeIsGoneDoesNothing) {
  size_t before = GattCallbackRegistry::Instance().Count();
  ValueRecorder recorder;
  ASSERT_EQ(1, channel->RegisterValueChanged(&ValueRecorder::OnValue, &recorder));
  EXPECT_EQ(before + 1, GattCallbackRegistry::Instance().Count());
  enumerator.Clear();  // the characteristic is freed
  EXPECT_EQ(before, GattCallbackRegistry::Instance().Count());
  DeliverLate(backend.registered.at(0), 0x03);
  EXPECT_EQ(0u, recorder.Count());
}

TEST_F(LateFixture, AFailedRegistrationLeavesNoNumberBehind) {
  size_t before = GattCallbackRegistry::Instance().Count();
  GattCharacteristic* name = static_cast<GattAdapter*>(enumerator.adapters.First())
                                 ->DeviceAt(0)
                                 ->FindService(L"org.bluetooth.service.generic_access")
                                 ->FindCharacteristic(L"org.bluetooth.characteristic.gap.device_name");
  ASSERT_NE(nullptr, name);
  ValueRecorder recorder;
  EXPECT_EQ(0, name->RegisterValueChanged(&ValueRecorder::OnValue, &recorder));  // cannot notify
  EXPECT_EQ(before, GattCallbackRegistry::Instance().Count());
}

TEST_F(LateFixture, UnregisteringWaitsForACallbackInFlightOnAnotherThread) {
  HeldHandler held;
  ASSERT_EQ(1, channel->RegisterValueChanged(&HeldHandler::OnValue, &held));
  LateDelivery delivery{backend.registered.at(0)};
  HANDLE thread = CreateThread(nullptr, 0, &LateDelivery::Main, &delivery, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held.entered, 10000));

  // The platform's unregistration would return at once; the characteristic's
  // must not, while its callback is still running.
  struct Ending {
    GattEnumerator* enumerator;
    static DWORD WINAPI Main(void* context) {
      static_cast<Ending*>(context)->enumerator->Clear();
      return 0;
    }
  } ending{&enumerator};
  HANDLE clearing = CreateThread(nullptr, 0, &Ending::Main, &ending, 0, nullptr);
  ASSERT_NE(nullptr, clearing);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(clearing, 200));
  SetEvent(held.release);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(clearing, 10000));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
  CloseHandle(clearing);
  CloseHandle(thread);
}
