#include "ble/SimulatedGattBackend.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ble/DeviceModel.h"
#include "ble/GattNames.h"

const GUID SimulatedGattBackend::VendorService = {
    0xFC1CFF01, 0x71F1, 0x887F, {0xC5, 0xFA, 0xA1, 0x9B, 0x3D, 0xCA, 0x32, 0x30}};
const GUID SimulatedGattBackend::VendorCharacteristic = {
    0xFC1CFF08, 0x71F1, 0x887F, {0xC5, 0xFA, 0xA1, 0x9B, 0x3D, 0xCA, 0x32, 0x30}};

namespace {

const USHORT kGenericAccess = 0x1800;
const USHORT kBatteryService = 0x180F;
const USHORT kDeviceName = 0x2A00;
const USHORT kAppearance = 0x2A01;
const USHORT kBatteryLevel = 0x2A19;
const USHORT kClientConfiguration = 0x2902;
const BYTE kAppearanceWatch[2] = {0xC0, 0x00};  // generic watch, little-endian

const size_t kCharacteristicValueHeader = offsetof(BTH_LE_GATT_CHARACTERISTIC_VALUE, Data);
const size_t kDescriptorValueHeader = offsetof(BTH_LE_GATT_DESCRIPTOR_VALUE, Data);

// The platform's two-call pattern for record lists: the count and more-data
// for an empty buffer (or one too small), the records otherwise.
template <class Record>
HRESULT AnswerRecords(const std::vector<Record>& records, USHORT count, Record* out, USHORT* actual) {
  if (!actual) return E_POINTER;
  USHORT available = static_cast<USHORT>(records.size());
  *actual = available;
  if (available == 0) return GATT_NOT_FOUND;
  if (!out || count < available) return GATT_MORE_DATA;
  memcpy(out, records.data(), available * sizeof(Record));
  return S_OK;
}

BTH_LE_GATT_CHARACTERISTIC MakeCharacteristic(USHORT service, const BTH_LE_UUID& uuid, USHORT handle) {
  BTH_LE_GATT_CHARACTERISTIC record;
  memset(&record, 0, sizeof record);
  record.ServiceHandle = service;
  record.CharacteristicUuid = uuid;
  record.AttributeHandle = handle;
  record.CharacteristicValueHandle = static_cast<USHORT>(handle + 1);
  return record;
}

BTH_LE_GATT_SERVICE MakeService(const BTH_LE_UUID& uuid, USHORT handle) {
  BTH_LE_GATT_SERVICE record;
  memset(&record, 0, sizeof record);
  record.ServiceUuid = uuid;
  record.AttributeHandle = handle;
  return record;
}

}  // namespace

SimulatedGattBackend::SimulatedGattBackend() {}

SimulatedGattBackend::~SimulatedGattBackend() {
  for (Device* device : devices_) {
    device->model->SetValueHandler(nullptr, nullptr);
    for (Registration* registration : device->registrations) delete registration;
    delete device;
  }
  for (OpenHandle* handle : handles_) delete handle;
}

const wchar_t* SimulatedGattBackend::AdapterName() const { return L"Simulated"; }

void SimulatedGattBackend::BuildDevice(Device& device, unsigned index) {
  unsigned char address[6] = {};
  device.model->GetDeviceAddress(address);
  device.path.Format(L"\\\\?\\simulated#dev_%02x%02x%02x%02x%02x%02x#%u#{781aee18-7733-4ce4-add0-91f41c67b592}",
                     address[0], address[1], address[2], address[3], address[4], address[5], index);
  device.instance.Format(L"SIMULATED\\DEV_%02X%02X%02X%02X%02X%02X\\%u", address[0], address[1],
                         address[2], address[3], address[4], address[5], index);

  // Attribute handles in the order a peripheral lays them out.
  Service access;
  access.record = MakeService(GattShortUuid(kGenericAccess), 1);
  Characteristic name;
  name.record = MakeCharacteristic(1, GattShortUuid(kDeviceName), 2);
  name.record.IsReadable = TRUE;
  name.kind = DeviceNameValue;
  name.configHandle = 0;
  access.characteristics.push_back(name);
  Characteristic appearance;
  appearance.record = MakeCharacteristic(1, GattShortUuid(kAppearance), 4);
  appearance.record.IsReadable = TRUE;
  appearance.kind = AppearanceValue;
  appearance.configHandle = 0;
  access.characteristics.push_back(appearance);

  Service battery;
  battery.record = MakeService(GattShortUuid(kBatteryService), 6);
  Characteristic level;
  level.record = MakeCharacteristic(6, GattShortUuid(kBatteryLevel), 7);
  level.record.IsReadable = TRUE;
  level.record.IsNotifiable = TRUE;
  level.kind = BatteryValue;
  level.configHandle = 9;
  battery.characteristics.push_back(level);

  Service vendor;
  vendor.record = MakeService(GattLongUuid(VendorService), 10);
  Characteristic channel;
  channel.record = MakeCharacteristic(10, GattLongUuid(VendorCharacteristic), 11);
  channel.record.IsWritable = TRUE;
  channel.record.IsNotifiable = (device.options & NotNotifiable) ? FALSE : TRUE;
  channel.kind = VendorValue;
  channel.configHandle = 13;
  vendor.characteristics.push_back(channel);

  device.services.push_back(access);
  device.services.push_back(battery);
  device.services.push_back(vendor);
  for (size_t i = 0; i < device.services.size(); ++i) {
    WideString uuid;
    GattUuidTextOrName(device.services[i].record.ServiceUuid, uuid, 1);
    device.services[i].path.Format(L"\\\\?\\simulated#service_%u_%u#%s", index, static_cast<unsigned>(i),
                                   uuid.CStr());
  }
}

int SimulatedGattBackend::AddDevice(DeviceModel* model, unsigned options) {
  if (!model) return 0;
  Device* device = new (std::nothrow) Device();
  if (!device) return 0;
  device->model = model;
  device->options = options;
  {
    SectionLock hold(lock_);
    BuildDevice(*device, static_cast<unsigned>(devices_.size()));
    devices_.push_back(device);
  }
  if (model->SetValueHandler(&SimulatedGattBackend::OnModelNotification, device)) return 1;
  SectionLock hold(lock_);
  devices_.pop_back();
  delete device;
  return 0;
}

const wchar_t* SimulatedGattBackend::DevicePath(unsigned index) const {
  SectionLock hold(lock_);
  return index < devices_.size() ? devices_[index]->path.CStr() : nullptr;
}

const wchar_t* SimulatedGattBackend::DeviceInstance(unsigned index) const {
  SectionLock hold(lock_);
  return index < devices_.size() ? devices_[index]->instance.CStr() : nullptr;
}

void SimulatedGattBackend::FailDescriptorWrites(unsigned count, HRESULT status) {
  SectionLock hold(lock_);
  failDescriptorWrites_ = count;
  failStatus_ = status;
}

unsigned SimulatedGattBackend::DescriptorWriteCount() const {
  SectionLock hold(lock_);
  return descriptorWrites_;
}

unsigned SimulatedGattBackend::CharacteristicWriteCount() const {
  SectionLock hold(lock_);
  return characteristicWrites_;
}

ULONG SimulatedGattBackend::LastWriteFlags() const {
  SectionLock hold(lock_);
  return lastWriteFlags_;
}

unsigned SimulatedGattBackend::OpenHandleCount() const {
  SectionLock hold(lock_);
  return static_cast<unsigned>(handles_.size());
}

unsigned SimulatedGattBackend::RegistrationCount() const {
  SectionLock hold(lock_);
  return static_cast<unsigned>(registrationSet_.size());
}

// ------------------------------------------------------------ interfaces

int SimulatedGattBackend::ListDeviceInterfaces(std::vector<GattDeviceInterface>& list) {
  list.clear();
  SectionLock hold(lock_);
  for (Device* device : devices_) {
    GattDeviceInterface item;
    item.path = device->path;
    device->model->GetName(item.friendlyName);
    item.instance = device->instance;
    unsigned char a[6] = {};
    if (device->model->GetDeviceAddress(a)) {
      item.addressText.Format(L"%02x%02x%02x%02x%02x%02x", a[0], a[1], a[2], a[3], a[4], a[5]);
    }
    list.push_back(item);
  }
  return 1;
}

int SimulatedGattBackend::ListServiceInterfaces(const BTH_LE_UUID& service,
                                                std::vector<GattServiceInterface>& list) {
  list.clear();
  GUID wanted = GattUuidToGuid(service);
  SectionLock hold(lock_);
  for (Device* device : devices_) {
    for (const Service& offered : device->services) {
      GUID guid = GattUuidToGuid(offered.record.ServiceUuid);
      if (memcmp(&guid, &wanted, sizeof guid) != 0) continue;
      GattServiceInterface item;
      item.path = offered.path;
      item.parentInstance = device->instance;
      list.push_back(item);
    }
  }
  return 1;
}

int SimulatedGattBackend::OffersDeviceInterface(const wchar_t* instance) {
  if (!instance) return 0;
  SectionLock hold(lock_);
  for (Device* device : devices_) {
    if (device->instance.CompareNoCase(instance) == 0) return 1;
  }
  return 0;
}

HANDLE SimulatedGattBackend::OpenPath(const wchar_t* path) {
  if (!path) return nullptr;
  SectionLock hold(lock_);
  for (Device* device : devices_) {
    int scope = -2;
    if (device->path.CompareNoCase(path) == 0) scope = -1;
    for (size_t i = 0; scope == -2 && i < device->services.size(); ++i) {
      if (device->services[i].path.CompareNoCase(path) == 0) scope = static_cast<int>(i);
    }
    if (scope == -2) continue;
    OpenHandle* handle = new (std::nothrow) OpenHandle{device, scope};
    if (!handle) return nullptr;
    handles_.insert(handle);
    return handle;
  }
  return nullptr;
}

void SimulatedGattBackend::ClosePath(HANDLE handle) {
  SectionLock hold(lock_);
  OpenHandle* open = static_cast<OpenHandle*>(handle);
  if (handles_.erase(open)) delete open;
}

bool SimulatedGattBackend::Resolve(HANDLE handle, OpenHandle& scope) const {
  SectionLock hold(lock_);
  OpenHandle* open = static_cast<OpenHandle*>(handle);
  if (!handles_.count(open)) return false;
  scope = *open;
  return true;
}

SimulatedGattBackend::Service* SimulatedGattBackend::FindService(const OpenHandle& scope,
                                                                 USHORT attributeHandle) const {
  for (size_t i = 0; i < scope.device->services.size(); ++i) {
    if (scope.service >= 0 && static_cast<size_t>(scope.service) != i) continue;
    Service& service = scope.device->services[i];
    if (service.record.AttributeHandle == attributeHandle) return &service;
  }
  return nullptr;
}

SimulatedGattBackend::Characteristic* SimulatedGattBackend::FindCharacteristic(
    const OpenHandle& scope, USHORT attributeHandle) const {
  for (size_t i = 0; i < scope.device->services.size(); ++i) {
    if (scope.service >= 0 && static_cast<size_t>(scope.service) != i) continue;
    for (Characteristic& characteristic : scope.device->services[i].characteristics) {
      if (characteristic.record.AttributeHandle == attributeHandle) return &characteristic;
    }
  }
  return nullptr;
}

SimulatedGattBackend::Characteristic* SimulatedGattBackend::FindConfigOwner(
    const OpenHandle& scope, USHORT descriptorHandle) const {
  for (size_t i = 0; i < scope.device->services.size(); ++i) {
    if (scope.service >= 0 && static_cast<size_t>(scope.service) != i) continue;
    for (Characteristic& characteristic : scope.device->services[i].characteristics) {
      if (characteristic.configHandle != 0 && characteristic.configHandle == descriptorHandle) {
        return &characteristic;
      }
    }
  }
  return nullptr;
}

// ------------------------------------------------------------ discovery

HRESULT SimulatedGattBackend::GetServices(HANDLE device, USHORT count, BTH_LE_GATT_SERVICE* services,
                                          USHORT* actual, ULONG) {
  OpenHandle scope;
  if (!Resolve(device, scope) || scope.service >= 0) return E_HANDLE;
  std::vector<BTH_LE_GATT_SERVICE> records;
  for (const Service& service : scope.device->services) records.push_back(service.record);
  return AnswerRecords(records, count, services, actual);
}

HRESULT SimulatedGattBackend::GetCharacteristics(HANDLE device, BTH_LE_GATT_SERVICE* service,
                                                 USHORT count, BTH_LE_GATT_CHARACTERISTIC* characteristics,
                                                 USHORT* actual, ULONG) {
  OpenHandle scope;
  if (!Resolve(device, scope)) return E_HANDLE;
  if (!service) return E_INVALIDARG;
  Service* found = FindService(scope, service->AttributeHandle);
  if (!found) return GATT_NOT_FOUND;
  std::vector<BTH_LE_GATT_CHARACTERISTIC> records;
  for (const Characteristic& characteristic : found->characteristics) records.push_back(characteristic.record);
  return AnswerRecords(records, count, characteristics, actual);
}

HRESULT SimulatedGattBackend::GetDescriptors(HANDLE device, BTH_LE_GATT_CHARACTERISTIC* characteristic,
                                             USHORT count, BTH_LE_GATT_DESCRIPTOR* descriptors,
                                             USHORT* actual, ULONG) {
  OpenHandle scope;
  if (!Resolve(device, scope)) return E_HANDLE;
  if (!characteristic) return E_INVALIDARG;
  Characteristic* found = FindCharacteristic(scope, characteristic->AttributeHandle);
  if (!found) return GATT_NOT_FOUND;
  std::vector<BTH_LE_GATT_DESCRIPTOR> records;
  if (found->configHandle) {
    BTH_LE_GATT_DESCRIPTOR record;
    memset(&record, 0, sizeof record);
    record.ServiceHandle = found->record.ServiceHandle;
    record.CharacteristicHandle = found->record.AttributeHandle;
    record.DescriptorType = ClientCharacteristicConfiguration;
    record.DescriptorUuid = GattShortUuid(kClientConfiguration);
    record.AttributeHandle = found->configHandle;
    records.push_back(record);
  }
  return AnswerRecords(records, count, descriptors, actual);
}

// ------------------------------------------------------------ values

void SimulatedGattBackend::ReadValue(const Device& device, const Characteristic& characteristic,
                                     std::vector<unsigned char>& bytes) const {
  bytes.clear();
  switch (characteristic.kind) {
    case DeviceNameValue: {
      WideString name;
      device.model->GetName(name);
      int size = WideCharToMultiByte(CP_UTF8, 0, name.CStr(), -1, nullptr, 0, nullptr, nullptr);
      if (size > 1) {
        bytes.resize(static_cast<size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, name.CStr(), -1, reinterpret_cast<char*>(bytes.data()), size,
                            nullptr, nullptr);
        bytes.pop_back();  // no terminator on the air
      }
      break;
    }
    case AppearanceValue:
      bytes.assign(kAppearanceWatch, kAppearanceWatch + 2);
      break;
    case BatteryValue:
      bytes.push_back(BatteryLevel);
      break;
    case VendorValue:
      break;
  }
}

HRESULT SimulatedGattBackend::GetCharacteristicValue(HANDLE device,
                                                     BTH_LE_GATT_CHARACTERISTIC* characteristic,
                                                     ULONG size, BTH_LE_GATT_CHARACTERISTIC_VALUE* value,
                                                     USHORT* sizeRequired, ULONG) {
  OpenHandle scope;
  if (!Resolve(device, scope)) return E_HANDLE;
  if (!characteristic) return E_INVALIDARG;
  Characteristic* found = FindCharacteristic(scope, characteristic->AttributeHandle);
  if (!found) return GATT_NOT_FOUND;
  if (!found->record.IsReadable) return E_ACCESSDENIED;
  std::vector<unsigned char> bytes;
  ReadValue(*scope.device, *found, bytes);
  size_t required = kCharacteristicValueHeader + bytes.size();
  if (required < sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE)) required = sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE);
  if (sizeRequired) *sizeRequired = static_cast<USHORT>(required);
  if (!value || size < required) return GATT_MORE_DATA;
  memset(value, 0, required);
  value->DataSize = static_cast<ULONG>(bytes.size());
  if (!bytes.empty()) memcpy(value->Data, bytes.data(), bytes.size());
  return S_OK;
}

HRESULT SimulatedGattBackend::GetDescriptorValue(HANDLE device, BTH_LE_GATT_DESCRIPTOR* descriptor,
                                                 ULONG size, BTH_LE_GATT_DESCRIPTOR_VALUE* value,
                                                 USHORT* sizeRequired, ULONG) {
  OpenHandle scope;
  if (!Resolve(device, scope)) return E_HANDLE;
  if (!descriptor) return E_INVALIDARG;
  Characteristic* owner = FindConfigOwner(scope, descriptor->AttributeHandle);
  if (!owner) return GATT_NOT_FOUND;
  size_t required = kDescriptorValueHeader + 2;
  if (required < sizeof(BTH_LE_GATT_DESCRIPTOR_VALUE)) required = sizeof(BTH_LE_GATT_DESCRIPTOR_VALUE);
  if (sizeRequired) *sizeRequired = static_cast<USHORT>(required);
  if (!value || size < required) return GATT_MORE_DATA;
  memset(value, 0, required);
  value->DescriptorType = ClientCharacteristicConfiguration;
  value->DescriptorUuid = GattShortUuid(kClientConfiguration);
  SectionLock hold(scope.device->deliveryLock);
  value->ClientCharacteristicConfiguration.IsSubscribeToNotification = owner->notifying ? TRUE : FALSE;
  value->ClientCharacteristicConfiguration.IsSubscribeToIndication = owner->indicating ? TRUE : FALSE;
  value->DataSize = 2;
  value->Data[0] = static_cast<UCHAR>((owner->notifying ? 1 : 0) | (owner->indicating ? 2 : 0));
  return S_OK;
}

HRESULT SimulatedGattBackend::SetCharacteristicValue(HANDLE device,
                                                     BTH_LE_GATT_CHARACTERISTIC* characteristic,
                                                     BTH_LE_GATT_CHARACTERISTIC_VALUE* value,
                                                     ULONGLONG, ULONG flags) {
  OpenHandle scope;
  if (!Resolve(device, scope)) return E_HANDLE;
  if (!characteristic || !value) return E_INVALIDARG;
  Characteristic* found = FindCharacteristic(scope, characteristic->AttributeHandle);
  if (!found) return GATT_NOT_FOUND;
  {
    SectionLock hold(lock_);
    ++characteristicWrites_;
    lastWriteFlags_ = flags;
  }
  if (found->kind != VendorValue) return E_ACCESSDENIED;
  // The model is called without any of this backend's locks: it may be
  // delivering a notification through them at this very moment.
  return scope.device->model->WriteValue(value->Data, value->DataSize) ? S_OK : E_FAIL;
}

HRESULT SimulatedGattBackend::SetDescriptorValue(HANDLE device, BTH_LE_GATT_DESCRIPTOR* descriptor,
                                                 BTH_LE_GATT_DESCRIPTOR_VALUE* value, ULONG) {
  OpenHandle scope;
  if (!Resolve(device, scope)) return E_HANDLE;
  if (!descriptor || !value) return E_INVALIDARG;
  {
    SectionLock hold(lock_);
    ++descriptorWrites_;
    if (failDescriptorWrites_ > 0) {
      --failDescriptorWrites_;
      return failStatus_;
    }
  }
  Characteristic* owner = FindConfigOwner(scope, descriptor->AttributeHandle);
  if (!owner) return GATT_NOT_FOUND;
  if (value->DescriptorType != ClientCharacteristicConfiguration) return E_INVALIDARG;
  SectionLock hold(scope.device->deliveryLock);
  owner->notifying = value->ClientCharacteristicConfiguration.IsSubscribeToNotification != 0;
  owner->indicating = value->ClientCharacteristicConfiguration.IsSubscribeToIndication != 0;
  return S_OK;
}

// ------------------------------------------------------------ events

HRESULT SimulatedGattBackend::RegisterEvent(HANDLE service, BTH_LE_GATT_EVENT_TYPE type, void* parameter,
                                            PFNBLUETOOTH_GATT_EVENT_CALLBACK callback, void* context,
                                            BLUETOOTH_GATT_EVENT_HANDLE* event, ULONG) {
  OpenHandle scope;
  if (!Resolve(service, scope)) return E_HANDLE;
  if (type != CharacteristicValueChangedEvent || !parameter || !callback || !event) return E_INVALIDARG;
  const BLUETOOTH_GATT_VALUE_CHANGED_EVENT_REGISTRATION* wanted =
      static_cast<const BLUETOOTH_GATT_VALUE_CHANGED_EVENT_REGISTRATION*>(parameter);
  if (wanted->NumCharacteristics == 0) return E_INVALIDARG;

  Registration* registration = new (std::nothrow) Registration();
  if (!registration) return E_OUTOFMEMORY;
  registration->device = scope.device;
  registration->callback = callback;
  registration->context = context;
  for (USHORT i = 0; i < wanted->NumCharacteristics; ++i) {
    Characteristic* found = FindCharacteristic(scope, wanted->Characteristics[i].AttributeHandle);
    if (!found || (!found->record.IsNotifiable && !found->record.IsIndicatable)) {
      delete registration;
      return E_INVALIDARG;
    }
    registration->valueHandles.push_back(found->record.CharacteristicValueHandle);
  }
  {
    SectionLock hold(lock_);
    registrationSet_.insert(registration);
  }
  {
    SectionLock hold(scope.device->deliveryLock);
    scope.device->registrations.push_back(registration);
  }
  *event = registration;
  return S_OK;
}

HRESULT SimulatedGattBackend::UnregisterEvent(BLUETOOTH_GATT_EVENT_HANDLE event, ULONG) {
  Registration* registration = static_cast<Registration*>(event);
  {
    SectionLock hold(lock_);
    if (!registrationSet_.erase(registration)) return HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE);
  }
  {
    // Waits for a callback in progress; afterwards none is made.
    SectionLock hold(registration->device->deliveryLock);
    std::vector<Registration*>& list = registration->device->registrations;
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i] == registration) {
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        break;
      }
    }
  }
  delete registration;
  return S_OK;
}

// On the model's thread.
void SimulatedGattBackend::OnModelNotification(unsigned length, const unsigned char* data, void* context) {
  Device* device = static_cast<Device*>(context);
  if (!device || (length != 0 && !data)) return;
  SectionLock hold(device->deliveryLock);
  Characteristic* vendor = nullptr;
  for (Service& service : device->services) {
    for (Characteristic& characteristic : service.characteristics) {
      if (characteristic.kind == VendorValue) vendor = &characteristic;
    }
  }
  // A characteristic that cannot notify, or whose notifications are off,
  // sends nothing.
  if (!vendor || !vendor->record.IsNotifiable || !vendor->notifying) return;

  size_t size = kCharacteristicValueHeader + length;
  if (size < sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE)) size = sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE);
  BTH_LE_GATT_CHARACTERISTIC_VALUE* value = static_cast<BTH_LE_GATT_CHARACTERISTIC_VALUE*>(calloc(1, size));
  if (!value) return;
  value->DataSize = length;
  if (length != 0) memcpy(value->Data, data, length);

  BLUETOOTH_GATT_VALUE_CHANGED_EVENT event;
  memset(&event, 0, sizeof event);
  event.ChangedAttributeHandle = vendor->record.CharacteristicValueHandle;
  event.CharacteristicValueDataSize = size;
  event.CharacteristicValue = value;
  // A callback may unregister (itself or another) on this thread: each one
  // is looked up again before it is called.
  std::vector<Registration*> snapshot = device->registrations;
  for (Registration* registration : snapshot) {
    bool current = false;
    for (Registration* still : device->registrations) current = current || still == registration;
    if (!current) continue;
    for (USHORT handle : registration->valueHandles) {
      if (handle == event.ChangedAttributeHandle) {
        registration->callback(CharacteristicValueChangedEvent, &event, registration->context);
        break;
      }
    }
  }
  free(value);
}
