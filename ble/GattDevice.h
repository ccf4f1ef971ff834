// A paired Bluetooth LE device: its friendly name, address and instance
// identifier, and the primary services found on it (owned).
#pragma once

#include <windows.h>

#include "core/IntrusiveList.h"
#include "core/WideString.h"

class GattAdapter;
class GattBackend;
class GattService;

class GattDevice : public ListItem {
public:
  GattDevice(GattAdapter* parent, const wchar_t* name, const wchar_t* instance);
  ~GattDevice() override;

  GattBackend* Backend() const;
  // The first service whose UUID text or name equals the wanted text
  // (letter case ignored), or none.
  GattService* FindService(const wchar_t* uuidOrName) const;
  // "%02X:%02X:%02X:%02X:%02X:%02X" of the address bytes in stored order.
  int GetAddressText(WideString& text) const;

  // Reads an address reported as text: "%X-%X-%X-%X-%X-%X", then
  // "%X:%X:%X:%X:%X:%X", then "%02X%02X%02X%02X%02X%02X" as scanf reads them;
  // the first form giving six numbers wins and each number's low byte is
  // stored in reading order. 1 then; otherwise 0 and the address is zero.
  static int ParseAddress(const wchar_t* text, unsigned char address[6]);

  // Asks the platform for the device's services through an open device
  // handle and builds them, with their characteristics and descriptors.
  void DiscoverServices(HANDLE device, unsigned enumerateFlags);

  GattAdapter* parent;
  WideString name;
  unsigned char address[6] = {};
  WideString instance;
  IntrusiveList services;  // of GattService
};
