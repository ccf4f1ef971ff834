#include "ble/GattAdapter.h"

#include "ble/GattDevice.h"
#include "ble/GattEnumerator.h"

GattAdapter::GattAdapter(GattEnumerator* owner, const wchar_t* displayName) : parent(owner) {
  name.Assign(displayName ? displayName : L"");
  devices.Init();
}

GattAdapter::~GattAdapter() {
  devices.Clear();
  devices.Destroy();
}

GattBackend* GattAdapter::Backend() const { return parent ? parent->Backend() : nullptr; }

GattDevice* GattAdapter::DeviceAt(unsigned index) const {
  for (ListItem* item = devices.First(); item; item = devices.Next(item)) {
    if (index-- == 0) return static_cast<GattDevice*>(item);
  }
  return nullptr;
}
