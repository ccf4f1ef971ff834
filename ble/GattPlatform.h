// The Bluetooth LE GATT records, constants and callback shape of the Windows
// platform (bthledef.h), declared here because the MinGW headers lack them.
// Layouts follow the platform's documentation member for member; the sizes
// are checked below for both the 32-bit and the 64-bit build. Every GATT
// backend speaks in these records, whatever stack it drives.
#pragma once

#include <windows.h>

#include <cstddef>

typedef struct _BTH_LE_UUID {
  BOOLEAN IsShortUuid;
  union {
    USHORT ShortUuid;
    GUID LongUuid;
  } Value;
} BTH_LE_UUID, *PBTH_LE_UUID;

typedef struct _BTH_LE_GATT_SERVICE {
  BTH_LE_UUID ServiceUuid;
  USHORT AttributeHandle;
} BTH_LE_GATT_SERVICE, *PBTH_LE_GATT_SERVICE;

typedef enum _BTH_LE_GATT_DESCRIPTOR_TYPE {
  CharacteristicExtendedProperties,
  CharacteristicUserDescription,
  ClientCharacteristicConfiguration,
  ServerCharacteristicConfiguration,
  CharacteristicFormat,
  CharacteristicAggregateFormat,
  CustomDescriptor
} BTH_LE_GATT_DESCRIPTOR_TYPE;

typedef struct _BTH_LE_GATT_CHARACTERISTIC {
  USHORT ServiceHandle;
  BTH_LE_UUID CharacteristicUuid;
  USHORT AttributeHandle;
  USHORT CharacteristicValueHandle;
  BOOLEAN IsBroadcastable;
  BOOLEAN IsReadable;
  BOOLEAN IsWritable;
  BOOLEAN IsWritableWithoutResponse;
  BOOLEAN IsSignedWritable;
  BOOLEAN IsNotifiable;
  BOOLEAN IsIndicatable;
  BOOLEAN HasExtendedProperties;
} BTH_LE_GATT_CHARACTERISTIC, *PBTH_LE_GATT_CHARACTERISTIC;

typedef struct _BTH_LE_GATT_CHARACTERISTIC_VALUE {
  ULONG DataSize;
  UCHAR Data[1];
} BTH_LE_GATT_CHARACTERISTIC_VALUE, *PBTH_LE_GATT_CHARACTERISTIC_VALUE;

typedef struct _BTH_LE_GATT_DESCRIPTOR {
  USHORT ServiceHandle;
  USHORT CharacteristicHandle;
  BTH_LE_GATT_DESCRIPTOR_TYPE DescriptorType;
  BTH_LE_UUID DescriptorUuid;
  USHORT AttributeHandle;
} BTH_LE_GATT_DESCRIPTOR, *PBTH_LE_GATT_DESCRIPTOR;

typedef struct _BTH_LE_GATT_DESCRIPTOR_VALUE {
  BTH_LE_GATT_DESCRIPTOR_TYPE DescriptorType;
  BTH_LE_UUID DescriptorUuid;
  union {
    struct {
      BOOLEAN IsReliableWriteEnabled;
      BOOLEAN IsAuxiliariesWritable;
    } CharacteristicExtendedProperties;
    struct {
      BOOLEAN IsSubscribeToNotification;
      BOOLEAN IsSubscribeToIndication;
    } ClientCharacteristicConfiguration;
    struct {
      BOOLEAN IsBroadcast;
    } ServerCharacteristicConfiguration;
    struct {
      UCHAR Format;
      UCHAR Exponent;
      BTH_LE_UUID Unit;
      UCHAR NameSpace;
      BTH_LE_UUID Description;
    } CharacteristicFormat;
  };
  ULONG DataSize;
  UCHAR Data[1];
} BTH_LE_GATT_DESCRIPTOR_VALUE, *PBTH_LE_GATT_DESCRIPTOR_VALUE;

typedef enum _BTH_LE_GATT_EVENT_TYPE {
  CharacteristicValueChangedEvent
} BTH_LE_GATT_EVENT_TYPE;

typedef HANDLE BLUETOOTH_GATT_EVENT_HANDLE;

typedef struct _BLUETOOTH_GATT_VALUE_CHANGED_EVENT_REGISTRATION {
  USHORT NumCharacteristics;
  BTH_LE_GATT_CHARACTERISTIC Characteristics[1];
} BLUETOOTH_GATT_VALUE_CHANGED_EVENT_REGISTRATION, *PBLUETOOTH_GATT_VALUE_CHANGED_EVENT_REGISTRATION;

typedef struct _BLUETOOTH_GATT_VALUE_CHANGED_EVENT {
  USHORT ChangedAttributeHandle;
  size_t CharacteristicValueDataSize;
  PBTH_LE_GATT_CHARACTERISTIC_VALUE CharacteristicValue;
} BLUETOOTH_GATT_VALUE_CHANGED_EVENT, *PBLUETOOTH_GATT_VALUE_CHANGED_EVENT;

typedef VOID(CALLBACK* PFNBLUETOOTH_GATT_EVENT_CALLBACK)(BTH_LE_GATT_EVENT_TYPE EventType,
                                                          PVOID EventOutParameter, PVOID Context);

// Flags of the GATT calls.
const ULONG BLUETOOTH_GATT_FLAG_NONE = 0x00000000;
const ULONG BLUETOOTH_GATT_FLAG_CONNECTION_ENCRYPTED = 0x00000001;
const ULONG BLUETOOTH_GATT_FLAG_CONNECTION_AUTHENTICATED = 0x00000002;
const ULONG BLUETOOTH_GATT_FLAG_FORCE_READ_FROM_DEVICE = 0x00000004;
const ULONG BLUETOOTH_GATT_FLAG_FORCE_READ_FROM_CACHE = 0x00000008;
const ULONG BLUETOOTH_GATT_FLAG_SIGNED_WRITE = 0x00000010;
const ULONG BLUETOOTH_GATT_FLAG_WRITE_WITHOUT_RESPONSE = 0x00000020;
const ULONG BLUETOOTH_GATT_FLAG_RETURN_ALL = 0x00000040;

// Statuses the GATT calls answer with.
const HRESULT GATT_MORE_DATA = static_cast<HRESULT>(0x800700EAu);           // HRESULT_FROM_WIN32(ERROR_MORE_DATA)
const HRESULT GATT_DEVICE_NOT_CONNECTED = static_cast<HRESULT>(0x8007048Fu);  // HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)
const HRESULT GATT_NOT_FOUND = static_cast<HRESULT>(0x80070490u);           // HRESULT_FROM_WIN32(ERROR_NOT_FOUND)

// The interface class of paired LE devices {781AEE18-7733-4CE4-ADD0-91F41C67B592}.
const GUID GUID_BLUETOOTHLE_DEVICE_INTERFACE = {
    0x781AEE18, 0x7733, 0x4CE4, {0xAD, 0xD0, 0x91, 0xF4, 0x1C, 0x67, 0xB5, 0x92}};
// The device property that holds an LE device's address as text:
// {2BD67D8B-8BEB-48D5-87E0-6CDA3428040A}, 1.
const GUID GATT_ADDRESS_PROPERTY_ID = {
    0x2BD67D8B, 0x8BEB, 0x48D5, {0x87, 0xE0, 0x6C, 0xDA, 0x34, 0x28, 0x04, 0x0A}};
const ULONG GATT_ADDRESS_PROPERTY_INDEX = 1;
// The device property that names a device's parent instance:
// {4340A6C5-93FA-4706-972C-7B648008A5A7}, 8.
const GUID GATT_PARENT_PROPERTY_ID = {
    0x4340A6C5, 0x93FA, 0x4706, {0x97, 0x2C, 0x7B, 0x64, 0x80, 0x08, 0xA5, 0xA7}};
const ULONG GATT_PARENT_PROPERTY_INDEX = 8;

// The layouts the platform uses, in both builds.
static_assert(sizeof(BTH_LE_UUID) == 20, "UUID record");
static_assert(offsetof(BTH_LE_UUID, Value) == 4, "UUID record value");
static_assert(sizeof(BTH_LE_GATT_SERVICE) == 24, "service record");
static_assert(offsetof(BTH_LE_GATT_SERVICE, AttributeHandle) == 20, "service handle");
static_assert(sizeof(BTH_LE_GATT_CHARACTERISTIC) == 36, "characteristic record");
static_assert(offsetof(BTH_LE_GATT_CHARACTERISTIC, CharacteristicUuid) == 4, "characteristic UUID");
static_assert(offsetof(BTH_LE_GATT_CHARACTERISTIC, CharacteristicValueHandle) == 26, "value handle");
static_assert(offsetof(BTH_LE_GATT_CHARACTERISTIC, HasExtendedProperties) == 35, "characteristic flags");
static_assert(sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE) == 8, "characteristic value");
static_assert(offsetof(BTH_LE_GATT_CHARACTERISTIC_VALUE, Data) == 4, "characteristic value data");
static_assert(sizeof(BTH_LE_GATT_DESCRIPTOR) == 32, "descriptor record");
static_assert(offsetof(BTH_LE_GATT_DESCRIPTOR, DescriptorUuid) == 8, "descriptor UUID");
static_assert(offsetof(BTH_LE_GATT_DESCRIPTOR, AttributeHandle) == 28, "descriptor handle");
static_assert(sizeof(BTH_LE_GATT_DESCRIPTOR_VALUE) == 80, "descriptor value");
static_assert(offsetof(BTH_LE_GATT_DESCRIPTOR_VALUE, CharacteristicFormat) == 24, "descriptor value union");
static_assert(offsetof(BTH_LE_GATT_DESCRIPTOR_VALUE, DataSize) == 72, "descriptor value size");
static_assert(offsetof(BTH_LE_GATT_DESCRIPTOR_VALUE, Data) == 76, "descriptor value data");
static_assert(sizeof(BLUETOOTH_GATT_VALUE_CHANGED_EVENT_REGISTRATION) == 40, "event registration");
static_assert(offsetof(BLUETOOTH_GATT_VALUE_CHANGED_EVENT_REGISTRATION, Characteristics) == 4,
              "event registration characteristics");
static_assert(sizeof(BLUETOOTH_GATT_VALUE_CHANGED_EVENT) == 3 * sizeof(void*), "value changed event");
static_assert(offsetof(BLUETOOTH_GATT_VALUE_CHANGED_EVENT, CharacteristicValue) == 2 * sizeof(void*),
              "value changed event value");
static_assert(sizeof(BTH_LE_GATT_DESCRIPTOR_TYPE) == 4 && sizeof(BTH_LE_GATT_EVENT_TYPE) == 4,
              "enumerations are 32-bit");
