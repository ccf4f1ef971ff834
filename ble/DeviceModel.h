// A simulated Bluetooth LE peripheral with one vendor characteristic, as
// hosted by the simulated GATT backend. The tracker model of the application
// is one.
#pragma once

#include "ble/CharacteristicChannel.h"

class WideString;

class DeviceModel : public CharacteristicChannel {
public:
  virtual void GetName(WideString& name) const = 0;
  virtual void GetAddress(unsigned char address[6]) const = 0;
};
