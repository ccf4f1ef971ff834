#include "ble/GattCharacteristic.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "ble/GattBackend.h"
#include "ble/GattCallbackRegistry.h"
#include "ble/GattDescriptor.h"
#include "ble/GattDevice.h"
#include "ble/GattNames.h"
#include "ble/GattService.h"

namespace {

const size_t kValueHeader = offsetof(BTH_LE_GATT_CHARACTERISTIC_VALUE, Data);

}  // namespace

GattCharacteristic::GattCharacteristic(GattService* owner,
                                       const BTH_LE_GATT_CHARACTERISTIC& characteristicRecord)
    : parent(owner), record(characteristicRecord) {
  descriptors.Init();
}

GattCharacteristic::~GattCharacteristic() {
  Unregister();
  descriptors.Clear();
  descriptors.Destroy();
  free(value);
}

GattBackend* GattCharacteristic::Backend() const { return parent ? parent->Backend() : nullptr; }

GattDescriptor* GattCharacteristic::FindDescriptor(const wchar_t* uuidOrName) const {
  for (ListItem* item = descriptors.First(); item; item = descriptors.Next(item)) {
    GattDescriptor* descriptor = static_cast<GattDescriptor*>(item);
    if (GattUuidMatches(descriptor->record.DescriptorUuid, uuidOrName)) return descriptor;
  }
  return nullptr;
}

int GattCharacteristic::Read(int forceFromDevice) {
  if (!record.IsReadable) return 0;
  free(value);
  value = nullptr;
  GattBackend* backend = Backend();
  if (!backend) return 0;
  HANDLE handle = parent->OpenCallHandle(0);
  if (!handle) return 0;

  ULONG flags = forceFromDevice ? BLUETOOTH_GATT_FLAG_FORCE_READ_FROM_DEVICE : BLUETOOTH_GATT_FLAG_NONE;
  int result = 0;
  USHORT required = 0;
  if (backend->GetCharacteristicValue(handle, &record, 0, nullptr, &required, flags) == GATT_MORE_DATA &&
      required >= kValueHeader) {
    size_t size = required < sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE)
                      ? sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE)
                      : required;
    BTH_LE_GATT_CHARACTERISTIC_VALUE* block =
        static_cast<BTH_LE_GATT_CHARACTERISTIC_VALUE*>(calloc(1, size));
    USHORT again = 0;
    // A value claiming more bytes than the block holds is not taken.
    if (block && GattSucceeded(backend->GetCharacteristicValue(handle, &record, required, block, &again, flags)) &&
        block->DataSize <= size - kValueHeader) {
      value = block;
      result = 1;
    } else {
      free(block);
    }
  }
  parent->CloseCallHandle(handle);
  return result;
}

int GattCharacteristic::Write(const unsigned char* bytes, unsigned length) {
  if (!record.IsWritable && !record.IsWritableWithoutResponse && !record.IsSignedWritable) return 0;
  if ((length != 0 && !bytes) || length > MaxWriteLength) return 0;
  GattBackend* backend = Backend();
  if (!backend) return 0;

  size_t size = kValueHeader + length;
  if (size < sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE)) size = sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE);
  BTH_LE_GATT_CHARACTERISTIC_VALUE* block =
      static_cast<BTH_LE_GATT_CHARACTERISTIC_VALUE*>(calloc(1, size));
  if (!block) return 0;
  block->DataSize = length;
  if (length != 0) memcpy(block->Data, bytes, length);

  ULONG flags = BLUETOOTH_GATT_FLAG_NONE;
  if (record.IsWritableWithoutResponse) flags |= BLUETOOTH_GATT_FLAG_WRITE_WITHOUT_RESPONSE;
  if (record.IsSignedWritable) flags |= BLUETOOTH_GATT_FLAG_SIGNED_WRITE;

  int result = 0;
  HANDLE handle = parent->OpenCallHandle(1);
  if (handle) {
    result = GattSucceeded(backend->SetCharacteristicValue(handle, &record, block, 0, flags)) ? 1 : 0;
    parent->CloseCallHandle(handle);
  }
  free(block);
  return result;
}

void GattCharacteristic::Unregister() {
  {
    // Waits for a handler that is running now; afterwards none is called.
    SectionLock hold(handlerLock_);
    handler = nullptr;
    handlerContext = nullptr;
  }
  if (registration) {
    GattBackend* backend = Backend();
    if (backend) backend->UnregisterEvent(registration, BLUETOOTH_GATT_FLAG_NONE);
    registration = nullptr;
  }
  // The platform may still deliver a value it had on its way: once the
  // number is forgotten such a callback finds nobody, and one that is
  // running now has left when Remove returns.
  if (callbackNumber_) {
    GattCallbackRegistry::Instance().Remove(callbackNumber_);
    callbackNumber_ = nullptr;
  }
}

int GattCharacteristic::RegisterValueChanged(ValueChangedHandler newHandler, void* context) {
  Unregister();
  if (!newHandler) return 1;
  if (!record.IsNotifiable && !record.IsIndicatable) return 0;
  GattBackend* backend = Backend();
  if (!backend) return 0;
  {
    SectionLock hold(handlerLock_);
    handler = newHandler;
    handlerContext = context;
  }

  BLUETOOTH_GATT_VALUE_CHANGED_EVENT_REGISTRATION parameter;
  memset(&parameter, 0, sizeof parameter);
  parameter.NumCharacteristics = 1;
  parameter.Characteristics[0] = record;

  // The platform gets a number standing for this characteristic, not its
  // address (see GattCallbackRegistry).
  callbackNumber_ = GattCallbackRegistry::Instance().Add(this);
  HRESULT status = E_FAIL;
  BLUETOOTH_GATT_EVENT_HANDLE event = nullptr;
  HANDLE handle = parent->OpenCallHandle(0);
  if (handle) {
    status = backend->RegisterEvent(handle, CharacteristicValueChangedEvent, &parameter,
                                    &GattCharacteristic::OnPlatformEvent, callbackNumber_, &event,
                                    BLUETOOTH_GATT_FLAG_NONE);
    parent->CloseCallHandle(handle);
  }
  if (GattFailed(status)) {
    Unregister();
    return 0;
  }
  registration = event;
  return 1;
}

void CALLBACK GattCharacteristic::OnPlatformEvent(BTH_LE_GATT_EVENT_TYPE type, void* parameter,
                                                  void* context) {
  if (type != CharacteristicValueChangedEvent || !parameter || !context) return;
  const BLUETOOTH_GATT_VALUE_CHANGED_EVENT* event =
      static_cast<const BLUETOOTH_GATT_VALUE_CHANGED_EVENT*>(parameter);
  const BTH_LE_GATT_CHARACTERISTIC_VALUE* changed = event->CharacteristicValue;
  if (!changed) return;
  // context is the registration's number: a registration that has ended
  // (the characteristic perhaps freed) finds nothing.
  GattCallbackRegistry& registry = GattCallbackRegistry::Instance();
  GattCharacteristic* self = static_cast<GattCharacteristic*>(registry.Enter(context));
  if (!self) return;
  {
    SectionLock hold(self->handlerLock_);
    if (self->handler) self->handler(self, changed->DataSize, changed->Data, self->handlerContext);
  }
  registry.Leave(context);
}

// CharacteristicChannel

int GattCharacteristic::WriteValue(const unsigned char* bytes, unsigned length) {
  return Write(bytes, length);
}

void GattCharacteristic::OnChannelValue(GattCharacteristic* characteristic, unsigned length,
                                        const unsigned char* bytes, void*) {
  // Runs under the handler lock, which also guards the channel fields.
  if (characteristic->channelHandler_) {
    characteristic->channelHandler_(length, bytes, characteristic->channelContext_);
  }
}

int GattCharacteristic::SetValueHandler(ChannelHandler newHandler, void* context) {
  RegisterValueChanged(nullptr, nullptr);  // the earlier handler is done with first
  {
    SectionLock hold(handlerLock_);
    channelHandler_ = newHandler;
    channelContext_ = newHandler ? context : nullptr;
  }
  if (!newHandler) return 1;
  if (RegisterValueChanged(&GattCharacteristic::OnChannelValue, nullptr)) return 1;
  SectionLock hold(handlerLock_);
  channelHandler_ = nullptr;
  channelContext_ = nullptr;
  return 0;
}

int GattCharacteristic::GetDeviceAddress(unsigned char address[6]) const {
  if (!address || !parent || !parent->parent) return 0;
  memcpy(address, parent->parent->address, 6);
  return 1;
}

void GattCharacteristic::DiscoverDescriptors(HANDLE device) {
  GattBackend* backend = Backend();
  if (!backend) return;
  std::vector<BTH_LE_GATT_DESCRIPTOR> records = FetchGattRecords<BTH_LE_GATT_DESCRIPTOR>(
      [&](USHORT count, BTH_LE_GATT_DESCRIPTOR* out, USHORT* actual) {
        return backend->GetDescriptors(device, &record, count, out, actual, BLUETOOTH_GATT_FLAG_NONE);
      });
  for (const BTH_LE_GATT_DESCRIPTOR& found : records) {
    GattDescriptor* descriptor = new (std::nothrow) GattDescriptor(this, found);
    if (!descriptor) return;
    descriptor->Read();
    descriptors.PushBack(descriptor);
  }
}
