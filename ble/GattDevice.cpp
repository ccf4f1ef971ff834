#include "ble/GattDevice.h"

#include <cstring>
#include <cwctype>
#include <new>
#include <vector>

#include "ble/GattAdapter.h"
#include "ble/GattBackend.h"
#include "ble/GattNames.h"
#include "ble/GattService.h"

namespace {

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// One %X (width 0: unlimited) or %02X conversion as scanf makes it, except
// that a number is hexadecimal digits only: scanf would also take a sign
// and a "0x" prefix, and so read a cut-off text such as "00-1A-7D-DA-71"
// as six numbers in the two-digit form. Leading white space is skipped and
// the value wraps at 32 bits.
bool ScanHex(const wchar_t*& p, unsigned width, unsigned& value) {
  while (*p && iswspace(*p)) ++p;
  unsigned left = width ? width : ~0u;
  unsigned result = 0;
  unsigned digits = 0;
  while (left > 0 && HexDigit(*p) >= 0) {
    result = result * 16 + static_cast<unsigned>(HexDigit(*p));
    ++p;
    --left;
    ++digits;
  }
  if (digits == 0) return false;
  value = result;
  return true;
}

// Six conversions separated by the separator (none: adjacent two-digit
// fields); the number of conversions made.
int ScanForm(const wchar_t* text, wchar_t separator, unsigned char bytes[6]) {
  const wchar_t* p = text;
  unsigned width = separator ? 0 : 2;
  for (int i = 0; i < 6; ++i) {
    if (i > 0 && separator) {
      if (*p != separator) return i;
      ++p;
    }
    unsigned value = 0;
    if (!ScanHex(p, width, value)) return i;
    bytes[i] = static_cast<unsigned char>(value & 0xFF);
  }
  return 6;
}

}  // namespace

GattDevice::GattDevice(GattAdapter* owner, const wchar_t* displayName, const wchar_t* instanceId)
    : parent(owner) {
  name.Assign(displayName ? displayName : L"");
  instance.Assign(instanceId ? instanceId : L"");
  services.Init();
}

GattDevice::~GattDevice() {
  services.Clear();
  services.Destroy();
}

GattBackend* GattDevice::Backend() const { return parent ? parent->Backend() : nullptr; }

GattService* GattDevice::FindService(const wchar_t* uuidOrName) const {
  for (ListItem* item = services.First(); item; item = services.Next(item)) {
    GattService* service = static_cast<GattService*>(item);
    if (GattUuidMatches(service->record.ServiceUuid, uuidOrName)) return service;
  }
  return nullptr;
}

int GattDevice::GetAddressText(WideString& text) const {
  return text.Format(L"%02X:%02X:%02X:%02X:%02X:%02X", address[0], address[1], address[2],
                     address[3], address[4], address[5]);
}

int GattDevice::ParseAddress(const wchar_t* text, unsigned char address[6]) {
  memset(address, 0, 6);
  if (!text) return 0;
  static const wchar_t kSeparators[] = {L'-', L':', 0};
  for (wchar_t separator : kSeparators) {
    unsigned char bytes[6] = {};
    if (ScanForm(text, separator, bytes) == 6) {
      memcpy(address, bytes, 6);
      return 1;
    }
  }
  return 0;
}

void GattDevice::DiscoverServices(HANDLE device, unsigned enumerateFlags) {
  GattBackend* backend = Backend();
  if (!backend) return;
  std::vector<BTH_LE_GATT_SERVICE> records = FetchGattRecords<BTH_LE_GATT_SERVICE>(
      [&](USHORT count, BTH_LE_GATT_SERVICE* out, USHORT* actual) {
        return backend->GetServices(device, count, out, actual, BLUETOOTH_GATT_FLAG_NONE);
      });
  for (const BTH_LE_GATT_SERVICE& found : records) {
    GattService* service = new (std::nothrow) GattService(this, found);
    if (!service) return;
    service->DiscoverCharacteristics(device, enumerateFlags);
    services.PushBack(service);
  }
}
