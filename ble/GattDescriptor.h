// A descriptor of a characteristic: the platform's descriptor record and the
// last value read.
#pragma once

#include <windows.h>

#include "ble/GattPlatform.h"
#include "core/IntrusiveList.h"

class GattBackend;
class GattCharacteristic;

class GattDescriptor : public ListItem {
public:
  // Descriptor writes that find the device not connected are tried again.
  static constexpr unsigned WriteAttempts = 4;
  static constexpr DWORD RetryDelayMs = 500;

  GattDescriptor(GattCharacteristic* parent, const BTH_LE_GATT_DESCRIPTOR& record);
  ~GattDescriptor() override;

  // Reads the value into value (the old one is dropped first); 1/0.
  virtual int Read();
  // Writes the value. When the platform answers that the device is not
  // connected, waits RetryDelayMs and tries again, WriteAttempts in all; any
  // other failure ends at once. 1 when an attempt succeeded.
  virtual int Write(const BTH_LE_GATT_DESCRIPTOR_VALUE* newValue);

  // The client characteristic configuration value that subscribes to
  // notifications (indications off, everything else zero).
  static BTH_LE_GATT_DESCRIPTOR_VALUE NotificationSubscription();

  GattBackend* Backend() const;

  GattCharacteristic* parent;
  BTH_LE_GATT_DESCRIPTOR record;
  BTH_LE_GATT_DESCRIPTOR_VALUE* value = nullptr;  // on the C heap; none: not read
};
