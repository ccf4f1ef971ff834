// UUID texts and the names of the GATT services, characteristics and
// descriptors this program knows. Every object of the GATT tree can be
// found by either.
#pragma once

#include <windows.h>

#include "ble/GattPlatform.h"

class WideString;

// The text form of a 16-bit UUID: it lies on the Bluetooth base UUID.
extern const wchar_t BluetoothBaseUuid[];  // "{0000%04X-0000-1000-8000-00805F9B34FB}"

// Writes the UUID's text form: a 16-bit UUID as BluetoothBaseUuid, a 128-bit
// one in braces with upper-case hexadecimal digits. With textOnly 0 the text
// is then replaced by the UUID's name when the name table has a row for it
// (16-bit UUIDs in the short table, 128-bit ones in the long table, compared
// case-insensitively; a 128-bit UUID on the base UUID is not looked up in the
// short table). 1 on success, 0 when the text could not be stored.
int GattUuidTextOrName(const BTH_LE_UUID& uuid, WideString& out, int textOnly);

// Whether a wanted string names the UUID: compared case-insensitively with
// the UUID's text form first, then with its name.
bool GattUuidMatches(const BTH_LE_UUID& uuid, const wchar_t* wanted);

// The 128-bit form of a UUID (16-bit ones expanded with the base UUID).
GUID GattUuidToGuid(const BTH_LE_UUID& uuid);
// Records for a 16-bit and a 128-bit UUID.
BTH_LE_UUID GattShortUuid(USHORT value);
BTH_LE_UUID GattLongUuid(const GUID& value);
// Two records name the same UUID when their kind and value match.
bool GattUuidEquals(const BTH_LE_UUID& a, const BTH_LE_UUID& b);
