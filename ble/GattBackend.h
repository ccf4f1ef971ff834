// The platform operations the GATT tree is built on. Windows implements them
// over SetupAPI and bluetoothapis.dll; the simulated backend over device
// models in memory. The GATT calls keep the platform's shape: statuses are
// HRESULTs (success is non-negative) and a sizing call (no buffer) answers
// GATT_MORE_DATA with the number of records or bytes needed.
#pragma once

#include <windows.h>

#include <vector>

#include "ble/GattPlatform.h"
#include "core/WideString.h"

// A GATT call's status. A bluetoothapis function that could not be bound
// answers 87 (ERROR_INVALID_PARAMETER as it is, not a negative HRESULT): that
// is a failure too, though SUCCEEDED would take it for a success.
const HRESULT GATT_UNAVAILABLE = 87;
inline bool GattSucceeded(HRESULT status) { return status >= 0 && status != GATT_UNAVAILABLE; }
inline bool GattFailed(HRESULT status) { return !GattSucceeded(status); }

// The platform's two calls for a list of records: one with no buffer asks
// for the count (answered with more-data), the second fills the records.
// list(count, records, &actual) makes one call. Empty when either fails.
template <class Record, class ListCall>
std::vector<Record> FetchGattRecords(ListCall list) {
  USHORT count = 0;
  if (list(USHORT(0), static_cast<Record*>(nullptr), &count) != GATT_MORE_DATA || count == 0) return {};
  std::vector<Record> records(count);
  USHORT actual = 0;
  if (GattFailed(list(count, records.data(), &actual))) return {};
  if (actual < count) records.resize(actual);
  return records;
}

// A present LE device interface.
struct GattDeviceInterface {
  WideString path;          // opened for the device handle
  WideString friendlyName;
  WideString instance;      // the device instance identifier
  WideString addressText;   // the address property as the platform reports it; empty: unknown
};

// A present interface of one GATT service.
struct GattServiceInterface {
  WideString path;
  WideString parentInstance;  // the instance of the device offering the service
};

class GattBackend {
public:
  virtual ~GattBackend() {}

  // The display name of the adapter holding this backend's devices.
  virtual const wchar_t* AdapterName() const = 0;

  // The present LE device interfaces, in the platform's order; 1 when the
  // platform could be asked (the list may be empty), 0 otherwise.
  virtual int ListDeviceInterfaces(std::vector<GattDeviceInterface>& list) = 0;
  // The present interfaces of a service UUID (16-bit UUIDs are expanded with
  // the base UUID), each with its parent device instance; 1/0 as above.
  virtual int ListServiceInterfaces(const BTH_LE_UUID& service,
                                    std::vector<GattServiceInterface>& list) = 0;
  // 1 when the device instance offers a present LE device interface.
  virtual int OffersDeviceInterface(const wchar_t* instance) = 0;

  // Opens an interface path for reading and writing (shared both ways);
  // none on failure.
  virtual HANDLE OpenPath(const wchar_t* path) = 0;
  virtual void ClosePath(HANDLE handle) = 0;

  virtual HRESULT GetServices(HANDLE device, USHORT count, BTH_LE_GATT_SERVICE* services,
                              USHORT* actual, ULONG flags) = 0;
  virtual HRESULT GetCharacteristics(HANDLE device, BTH_LE_GATT_SERVICE* service, USHORT count,
                                     BTH_LE_GATT_CHARACTERISTIC* characteristics, USHORT* actual,
                                     ULONG flags) = 0;
  virtual HRESULT GetDescriptors(HANDLE device, BTH_LE_GATT_CHARACTERISTIC* characteristic,
                                 USHORT count, BTH_LE_GATT_DESCRIPTOR* descriptors, USHORT* actual,
                                 ULONG flags) = 0;
  virtual HRESULT GetCharacteristicValue(HANDLE device, BTH_LE_GATT_CHARACTERISTIC* characteristic,
                                         ULONG size, BTH_LE_GATT_CHARACTERISTIC_VALUE* value,
                                         USHORT* sizeRequired, ULONG flags) = 0;
  virtual HRESULT GetDescriptorValue(HANDLE device, BTH_LE_GATT_DESCRIPTOR* descriptor, ULONG size,
                                     BTH_LE_GATT_DESCRIPTOR_VALUE* value, USHORT* sizeRequired,
                                     ULONG flags) = 0;
  virtual HRESULT SetCharacteristicValue(HANDLE device, BTH_LE_GATT_CHARACTERISTIC* characteristic,
                                         BTH_LE_GATT_CHARACTERISTIC_VALUE* value,
                                         ULONGLONG reliableWriteContext, ULONG flags) = 0;
  virtual HRESULT SetDescriptorValue(HANDLE device, BTH_LE_GATT_DESCRIPTOR* descriptor,
                                     BTH_LE_GATT_DESCRIPTOR_VALUE* value, ULONG flags) = 0;
  // Registers the callback for the event (CharacteristicValueChangedEvent
  // with a registration record); the callback runs on a platform thread.
  virtual HRESULT RegisterEvent(HANDLE service, BTH_LE_GATT_EVENT_TYPE type, void* parameter,
                                PFNBLUETOOTH_GATT_EVENT_CALLBACK callback, void* context,
                                BLUETOOTH_GATT_EVENT_HANDLE* event, ULONG flags) = 0;
  virtual HRESULT UnregisterEvent(BLUETOOTH_GATT_EVENT_HANDLE event, ULONG flags) = 0;
};
