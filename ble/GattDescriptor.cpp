#include "ble/GattDescriptor.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "ble/GattAdapter.h"
#include "ble/GattBackend.h"
#include "ble/GattCharacteristic.h"
#include "ble/GattDevice.h"
#include "ble/GattEnumerator.h"
#include "ble/GattService.h"

namespace {

const size_t kValueHeader = offsetof(BTH_LE_GATT_DESCRIPTOR_VALUE, Data);

GattEnumerator* EnumeratorOf(const GattCharacteristic* characteristic) {
  if (!characteristic || !characteristic->parent || !characteristic->parent->parent ||
      !characteristic->parent->parent->parent) {
    return nullptr;
  }
  return characteristic->parent->parent->parent->Enumerator();
}

}  // namespace

GattDescriptor::GattDescriptor(GattCharacteristic* owner, const BTH_LE_GATT_DESCRIPTOR& descriptorRecord)
    : parent(owner), record(descriptorRecord) {}

GattDescriptor::~GattDescriptor() { free(value); }

GattBackend* GattDescriptor::Backend() const { return parent ? parent->Backend() : nullptr; }

BTH_LE_GATT_DESCRIPTOR_VALUE GattDescriptor::NotificationSubscription() {
  BTH_LE_GATT_DESCRIPTOR_VALUE subscription;
  memset(&subscription, 0, sizeof subscription);
  subscription.DescriptorType = ClientCharacteristicConfiguration;
  subscription.ClientCharacteristicConfiguration.IsSubscribeToNotification = TRUE;
  subscription.ClientCharacteristicConfiguration.IsSubscribeToIndication = FALSE;
  return subscription;
}

int GattDescriptor::Read() {
  free(value);
  value = nullptr;
  GattBackend* backend = Backend();
  if (!backend || !parent->parent) return 0;
  HANDLE handle = parent->parent->OpenCallHandle(0);
  if (!handle) return 0;

  int result = 0;
  USHORT required = 0;
  if (backend->GetDescriptorValue(handle, &record, 0, nullptr, &required, BLUETOOTH_GATT_FLAG_NONE) ==
          GATT_MORE_DATA &&
      required >= kValueHeader) {
    size_t size = required < sizeof(BTH_LE_GATT_DESCRIPTOR_VALUE) ? sizeof(BTH_LE_GATT_DESCRIPTOR_VALUE)
                                                                  : required;
    BTH_LE_GATT_DESCRIPTOR_VALUE* block = static_cast<BTH_LE_GATT_DESCRIPTOR_VALUE*>(calloc(1, size));
    USHORT again = 0;
    if (block &&
        GattSucceeded(backend->GetDescriptorValue(handle, &record, required, block, &again,
                                              BLUETOOTH_GATT_FLAG_NONE)) &&
        block->DataSize <= size - kValueHeader) {
      value = block;
      result = 1;
    } else {
      free(block);
    }
  }
  parent->parent->CloseCallHandle(handle);
  return result;
}

int GattDescriptor::Write(const BTH_LE_GATT_DESCRIPTOR_VALUE* newValue) {
  GattBackend* backend = Backend();
  if (!backend || !newValue || !parent->parent) return 0;
  GattEnumerator* enumerator = EnumeratorOf(parent);
  for (unsigned attempt = 0; attempt < WriteAttempts; ++attempt) {
    HANDLE handle = parent->parent->OpenCallHandle(1);
    if (!handle) return 0;
    HRESULT status = backend->SetDescriptorValue(handle, &record,
                                                 const_cast<BTH_LE_GATT_DESCRIPTOR_VALUE*>(newValue),
                                                 BLUETOOTH_GATT_FLAG_NONE);
    parent->parent->CloseCallHandle(handle);
    if (GattSucceeded(status)) return 1;
    if (status != GATT_DEVICE_NOT_CONNECTED) return 0;
    if (enumerator) {
      enumerator->RetryWait(RetryDelayMs);
    } else {
      Sleep(RetryDelayMs);
    }
  }
  return 0;
}
