#include "ble/GattService.h"

#include <new>
#include <vector>

#include "ble/GattBackend.h"
#include "ble/GattCharacteristic.h"
#include "ble/GattDevice.h"
#include "ble/GattEnumerator.h"
#include "ble/GattNames.h"

GattService::GattService(GattDevice* owner, const BTH_LE_GATT_SERVICE& serviceRecord)
    : parent(owner), record(serviceRecord) {
  characteristics.Init();
}

GattService::~GattService() {
  characteristics.Clear();
  characteristics.Destroy();
}

GattBackend* GattService::Backend() const { return parent ? parent->Backend() : nullptr; }

GattCharacteristic* GattService::FindCharacteristic(const wchar_t* uuidOrName) const {
  for (ListItem* item = characteristics.First(); item; item = characteristics.Next(item)) {
    GattCharacteristic* characteristic = static_cast<GattCharacteristic*>(item);
    if (GattUuidMatches(characteristic->record.CharacteristicUuid, uuidOrName)) return characteristic;
  }
  return nullptr;
}

HANDLE GattService::OpenCallHandle(int forWrite) const {
  GattBackend* backend = Backend();
  if (!backend || !parent || parent->instance.IsEmpty()) return nullptr;
  std::vector<GattServiceInterface> interfaces;
  if (!backend->ListServiceInterfaces(record.ServiceUuid, interfaces)) return nullptr;
  for (const GattServiceInterface& item : interfaces) {
    if (item.parentInstance.CompareNoCase(parent->instance.CStr()) != 0) continue;
    if (forWrite && !backend->OffersDeviceInterface(item.parentInstance.CStr())) return nullptr;
    return backend->OpenPath(item.path.CStr());
  }
  return nullptr;
}

void GattService::CloseCallHandle(HANDLE handle) const {
  GattBackend* backend = Backend();
  if (backend && handle) backend->ClosePath(handle);
}

void GattService::DiscoverCharacteristics(HANDLE device, unsigned enumerateFlags) {
  GattBackend* backend = Backend();
  if (!backend) return;
  std::vector<BTH_LE_GATT_CHARACTERISTIC> records = FetchGattRecords<BTH_LE_GATT_CHARACTERISTIC>(
      [&](USHORT count, BTH_LE_GATT_CHARACTERISTIC* out, USHORT* actual) {
        return backend->GetCharacteristics(device, &record, count, out, actual, BLUETOOTH_GATT_FLAG_NONE);
      });
  for (const BTH_LE_GATT_CHARACTERISTIC& found : records) {
    GattCharacteristic* characteristic = new (std::nothrow) GattCharacteristic(this, found);
    if (!characteristic) return;
    characteristic->Read((enumerateFlags & GattEnumerator::ReadFromDevice) ? 1 : 0);
    characteristic->DiscoverDescriptors(device);
    characteristics.PushBack(characteristic);
  }
}
