// One source of Bluetooth LE devices: the platform stack ("Windows API",
// address zero) or a simulated one. Owns its devices.
#pragma once

#include "core/IntrusiveList.h"
#include "core/WideString.h"

class GattBackend;
class GattDevice;
class GattEnumerator;

class GattAdapter : public ListItem {
public:
  GattAdapter(GattEnumerator* parent, const wchar_t* name);
  ~GattAdapter() override;

  GattBackend* Backend() const;
  GattEnumerator* Enumerator() const { return parent; }
  // The device at a position in list order, or none.
  GattDevice* DeviceAt(unsigned index) const;

  GattEnumerator* parent;
  WideString name;
  unsigned char address[6] = {};
  IntrusiveList devices;  // of GattDevice
};
