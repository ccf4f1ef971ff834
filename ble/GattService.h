// A primary service of a device: the platform's service record and the
// characteristics found in it (owned).
#pragma once

#include <windows.h>

#include "ble/GattPlatform.h"
#include "core/IntrusiveList.h"

class GattBackend;
class GattCharacteristic;
class GattDevice;

class GattService : public ListItem {
public:
  GattService(GattDevice* parent, const BTH_LE_GATT_SERVICE& record);
  ~GattService() override;

  GattBackend* Backend() const;
  // The first characteristic whose UUID text or name equals the wanted
  // text (letter case ignored), or none.
  GattCharacteristic* FindCharacteristic(const wchar_t* uuidOrName) const;

  // A handle for one call: the first present interface of this service's
  // UUID whose parent is this service's device (for writes, that device
  // must also offer its LE device interface), opened. None when no
  // interface matches or it cannot be opened. Close it with CloseCallHandle.
  HANDLE OpenCallHandle(int forWrite) const;
  void CloseCallHandle(HANDLE handle) const;

  void DiscoverCharacteristics(HANDLE device, unsigned enumerateFlags);

  GattDevice* parent;
  BTH_LE_GATT_SERVICE record;
  IntrusiveList characteristics;  // of GattCharacteristic
};
