// A simulated Bluetooth LE peripheral with one vendor characteristic, as
// hosted by the simulated GATT backend. The tracker model of the application
// is one: the backend passes writes of the vendor characteristic to it and
// forwards what it notifies.
#pragma once

#include "ble/CharacteristicChannel.h"

class WideString;

class DeviceModel : public CharacteristicChannel {
public:
  virtual void GetName(WideString& name) const = 0;
};
