// A stand-in for the Windows Bluetooth LE platform: the SetupAPI functions
// that list LE device and GATT service interfaces, and the BluetoothGATT
// functions of bluetoothapis.dll, answering from devices hosted by a
// simulated GATT backend. Interface paths are real (empty) files in a
// folder of the library's own, so that the program under test opens them
// with CreateFileW as it opens device paths; the GATT functions recognise
// the handles by file identity. Value-changed callbacks run on a thread of
// the library's own, as the platform's do.

// The SetupAPI functions are defined here, not imported.
#define _SETUPAPI_

#include <windows.h>
#include <setupapi.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <set>
#include <vector>

#include "app/simulation/SimulatedTracker.h"
#include "app/simulation/TrackerScenario.h"
#include "ble/GattNames.h"
#include "ble/SimulatedGattBackend.h"
#include "core/CriticalSection.h"
#include "core/WideString.h"
#include "tools/fakes/FakeBluetooth.h"
#include "tools/fakes/ScriptedDevice.h"

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

struct FileEntry {
  WideString simulatedPath;
  WideString realPath;
  DWORD volume;
  DWORD indexHigh;
  DWORD indexLow;
};

struct SetEntry {
  WideString path;  // the real file
  WideString friendlyName;
  WideString instance;
  WideString address;
  WideString parent;
  bool hasFriendlyName = false;
  bool hasAddress = false;
  bool hasParent = false;
};

struct DeviceSet {
  GUID interfaceClass;
  std::vector<SetEntry> entries;
};

struct Registration {
  PFNBLUETOOTH_GATT_EVENT_CALLBACK callback;
  void* context;
  BLUETOOTH_GATT_EVENT_HANDLE simulatedEvent;
};

struct Pending {
  Registration* registration;
  USHORT handle;
  std::vector<unsigned char> bytes;
};

struct Hosted {
  ScriptedDevice* scripted;
  SimulatedTracker* tracker;
  unsigned options;
};

// Everything but the delivery itself.
CriticalSection g_lock;
CriticalSection g_addLock;  // one device added at a time
SimulatedGattBackend* g_backend = nullptr;
std::vector<Hosted> g_devices;
std::vector<FileEntry> g_files;
std::set<DeviceSet*> g_sets;
std::set<Registration*> g_registrations;
std::deque<Pending> g_pending;
unsigned g_callbacks = 0;
unsigned g_fileCounter = 0;
WideString g_folder;
bool g_pinned = false;

// Held while a client callback runs.
CriticalSection g_deliveryLock;
HANDLE g_thread = nullptr;
DWORD g_threadId = 0;
HANDLE g_wake = nullptr;  // auto-reset
HANDLE g_idle = nullptr;  // manual-reset: set while nothing is pending or delivered

// Threads of this library run its code: it stays loaded once they exist.
void PinLibrary() {
  if (g_pinned) return;
  HMODULE self = nullptr;
  g_pinned = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                reinterpret_cast<LPCWSTR>(&PinLibrary), &self) != 0;
}

SimulatedGattBackend* Backend() {
  if (!g_backend) g_backend = new SimulatedGattBackend();
  return g_backend;
}

const WideString& Folder() {
  if (g_folder.IsEmpty()) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    g_folder.Format(L"%spellton-fake-ble-%lu", temp, GetCurrentProcessId());
    CreateDirectoryW(g_folder.CStr(), nullptr);
  }
  return g_folder;
}

// The real file standing for a simulated path, made on first use.
const wchar_t* FileFor(const WideString& simulatedPath) {
  for (const FileEntry& entry : g_files) {
    if (entry.simulatedPath.CompareNoCase(simulatedPath.CStr()) == 0) return entry.realPath.CStr();
  }
  FileEntry entry;
  entry.simulatedPath = simulatedPath;
  entry.realPath.Format(L"%s\\interface-%u", Folder().CStr(), g_fileCounter++);
  HANDLE file = CreateFileW(entry.realPath.CStr(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION info;
  BOOL known = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!known) return nullptr;
  entry.volume = info.dwVolumeSerialNumber;
  entry.indexHigh = info.nFileIndexHigh;
  entry.indexLow = info.nFileIndexLow;
  g_files.push_back(entry);
  return g_files.back().realPath.CStr();
}

// The simulated path of a file handle the client opened; false for others.
bool SimulatedPathOf(HANDLE handle, WideString& path) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!handle || handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return false;
  SectionLock hold(g_lock);
  for (const FileEntry& entry : g_files) {
    if (entry.volume == info.dwVolumeSerialNumber && entry.indexHigh == info.nFileIndexHigh &&
        entry.indexLow == info.nFileIndexLow) {
      path = entry.simulatedPath;
      return true;
    }
  }
  return false;
}

// Runs a GATT call of the simulated backend with its own handle for the
// client's file handle.
template <class Call>
HRESULT WithSimulatedHandle(HANDLE client, Call call) {
  WideString path;
  if (!SimulatedPathOf(client, path)) return E_HANDLE;
  SimulatedGattBackend* backend;
  {
    SectionLock hold(g_lock);
    backend = g_backend;
  }
  if (!backend) return E_HANDLE;
  HANDLE handle = backend->OpenPath(path.CStr());
  if (!handle) return GATT_DEVICE_NOT_CONNECTED;
  HRESULT status = call(backend, handle);
  backend->ClosePath(handle);
  return status;
}

DWORD WINAPI DeliveryMain(void*) {
  for (;;) {
    Pending item;
    bool have = false;
    {
      SectionLock hold(g_lock);
      if (g_pending.empty()) {
        SetEvent(g_idle);
      } else {
        item = g_pending.front();
        g_pending.pop_front();
        have = true;
      }
    }
    if (!have) {
      WaitForSingleObject(g_wake, INFINITE);
      continue;
    }
    SectionLock delivering(g_deliveryLock);
    {
      SectionLock hold(g_lock);
      if (!g_registrations.count(item.registration)) continue;  // unregistered meanwhile
      ++g_callbacks;
    }
    size_t size = offsetof(BTH_LE_GATT_CHARACTERISTIC_VALUE, Data) + item.bytes.size();
    if (size < sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE)) size = sizeof(BTH_LE_GATT_CHARACTERISTIC_VALUE);
    BTH_LE_GATT_CHARACTERISTIC_VALUE* value = static_cast<BTH_LE_GATT_CHARACTERISTIC_VALUE*>(calloc(1, size));
    if (!value) continue;
    value->DataSize = static_cast<ULONG>(item.bytes.size());
    if (!item.bytes.empty()) memcpy(value->Data, item.bytes.data(), item.bytes.size());
    BLUETOOTH_GATT_VALUE_CHANGED_EVENT event;
    memset(&event, 0, sizeof event);
    event.ChangedAttributeHandle = item.handle;
    event.CharacteristicValueDataSize = size;
    event.CharacteristicValue = value;
    item.registration->callback(CharacteristicValueChangedEvent, &event, item.registration->context);
    free(value);
  }
}

void StartDelivery() {
  if (g_thread) return;
  PinLibrary();
  g_thread = CreateThread(nullptr, 0, &DeliveryMain, nullptr, 0, &g_threadId);
}

// On the simulated device's thread: hands the value to the delivery thread.
void CALLBACK OnSimulatedEvent(BTH_LE_GATT_EVENT_TYPE type, void* parameter, void* context) {
  if (type != CharacteristicValueChangedEvent || !parameter) return;
  const BLUETOOTH_GATT_VALUE_CHANGED_EVENT* event = static_cast<const BLUETOOTH_GATT_VALUE_CHANGED_EVENT*>(parameter);
  if (!event->CharacteristicValue) return;
  Pending item;
  item.registration = static_cast<Registration*>(context);
  item.handle = event->ChangedAttributeHandle;
  item.bytes.assign(event->CharacteristicValue->Data, event->CharacteristicValue->Data + event->CharacteristicValue->DataSize);
  {
    SectionLock hold(g_lock);
    g_pending.push_back(item);
    ResetEvent(g_idle);
  }
  SetEvent(g_wake);
}

// Adds a device to the simulated backend (outside the lock: the backend
// takes the model's handler, which waits for a delivery in progress) and
// keeps it; its index, or -1.
int Host(const Hosted& device) {
  SectionLock one(g_addLock);
  SimulatedGattBackend* backend;
  {
    SectionLock hold(g_lock);
    backend = Backend();
  }
  DeviceModel* model = device.scripted ? static_cast<DeviceModel*>(device.scripted)
                                       : static_cast<DeviceModel*>(device.tracker);
  if (!backend->AddDevice(model, device.options & FakeBleNotNotifiable ? SimulatedGattBackend::NotNotifiable : 0)) {
    delete device.scripted;
    delete device.tracker;
    return -1;
  }
  SectionLock hold(g_lock);
  g_devices.push_back(device);
  return static_cast<int>(g_devices.size() - 1);
}

DeviceSet* SetOf(HDEVINFO handle) {
  DeviceSet* set = static_cast<DeviceSet*>(handle);
  return g_sets.count(set) ? set : nullptr;
}

// The entry a device information element names, or none.
SetEntry* EntryOf(DeviceSet* set, const SP_DEVINFO_DATA* info) {
  if (!set || !info || info->cbSize != sizeof(SP_DEVINFO_DATA)) return nullptr;
  ULONG_PTR index = info->Reserved;
  if (index == 0 || index > set->entries.size()) return nullptr;
  return &set->entries[index - 1];
}

// Copies a text into a caller's buffer of size units (bytes or characters).
BOOL AnswerText(const WideString& text, BYTE* buffer, DWORD size, DWORD* required, bool inBytes) {
  DWORD units = text.Length() + 1;
  DWORD needed = inBytes ? units * static_cast<DWORD>(sizeof(wchar_t)) : units;
  if (required) *required = needed;
  if (!buffer || size < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(buffer, text.CStr(), units * sizeof(wchar_t));
  return TRUE;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_idle = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  }
  return TRUE;
}

// ------------------------------------------------------------ control

FAKE_EXPORT void __cdecl FakeBleReset() {
  std::vector<Registration*> registrations;
  SimulatedGattBackend* backend;
  {
    SectionLock hold(g_lock);
    registrations.assign(g_registrations.begin(), g_registrations.end());
    backend = g_backend;
  }
  for (Registration* registration : registrations) {
    if (backend) backend->UnregisterEvent(registration->simulatedEvent, 0);
  }
  {
    SectionLock delivering(g_deliveryLock);
    SectionLock hold(g_lock);
    g_registrations.clear();
    g_pending.clear();
  }
  for (Registration* registration : registrations) delete registration;

  std::vector<Hosted> devices;
  {
    SectionLock hold(g_lock);
    g_backend = nullptr;
    devices.swap(g_devices);
  }
  delete backend;  // takes the handlers back from the models
  for (const Hosted& device : devices) {
    delete device.scripted;
    delete device.tracker;
  }

  SectionLock hold(g_lock);
  for (DeviceSet* set : g_sets) delete set;
  g_sets.clear();
  for (const FileEntry& entry : g_files) DeleteFileW(entry.realPath.CStr());
  g_files.clear();
  if (!g_folder.IsEmpty()) RemoveDirectoryW(g_folder.CStr());
  g_folder.Assign(L"");
  g_callbacks = 0;
  SetEvent(g_wake);
}

FAKE_EXPORT int __cdecl FakeBleAddScripted(const wchar_t* name, const unsigned char* address, unsigned options) {
  if (!address) return -1;
  PinLibrary();
  ScriptedDevice* device = new ScriptedDevice(name, address);
  device->SetEcho(true);
  return Host(Hosted{device, nullptr, options});
}

FAKE_EXPORT int __cdecl FakeBleAddTracker(const char* scenarioText, unsigned options) {
  TrackerScenario scenario;
  WideString error;
  if (scenarioText && !scenario.Parse(scenarioText, strlen(scenarioText), error)) return -1;
  PinLibrary();
  SimulatedTracker* tracker = new SimulatedTracker();
  if (!tracker->Configure(scenario)) {
    delete tracker;
    return -1;
  }
  return Host(Hosted{nullptr, tracker, options});
}

FAKE_EXPORT int __cdecl FakeBleNotify(int device, const unsigned char* bytes, unsigned length) {
  ScriptedDevice* scripted = nullptr;
  {
    SectionLock hold(g_lock);
    if (device < 0 || static_cast<size_t>(device) >= g_devices.size()) return 0;
    scripted = g_devices[static_cast<size_t>(device)].scripted;
  }
  if (!scripted || (length != 0 && !bytes)) return 0;
  scripted->Notify(ScriptedDevice::Bytes(bytes, bytes + length));
  return 1;
}

FAKE_EXPORT void __cdecl FakeBleFailDescriptorWrites(unsigned count, HRESULT status) {
  SectionLock hold(g_lock);
  Backend()->FailDescriptorWrites(count, status);
}

FAKE_EXPORT void __cdecl FakeBleGetCounts(FakeBleCounts* counts) {
  if (!counts) return;
  SectionLock hold(g_lock);
  memset(counts, 0, sizeof *counts);
  counts->openSets = static_cast<unsigned>(g_sets.size());
  counts->registrations = static_cast<unsigned>(g_registrations.size());
  counts->callbacks = g_callbacks;
  if (g_backend) {
    counts->descriptorWrites = g_backend->DescriptorWriteCount();
    counts->characteristicWrites = g_backend->CharacteristicWriteCount();
    counts->lastWriteFlags = g_backend->LastWriteFlags();
  }
  counts->callbackThread = g_threadId;
}

FAKE_EXPORT int __cdecl FakeBleWaitIdle(int device, DWORD timeoutMs) {
  Hosted hosted = {nullptr, nullptr, 0};
  {
    SectionLock hold(g_lock);
    if (device >= 0 && static_cast<size_t>(device) < g_devices.size()) hosted = g_devices[static_cast<size_t>(device)];
  }
  if (hosted.scripted && !hosted.scripted->WaitUntilIdle(timeoutMs)) return 0;
  if (hosted.tracker && !hosted.tracker->WaitUntilIdle(timeoutMs)) return 0;
  return WaitForSingleObject(g_idle, timeoutMs) == WAIT_OBJECT_0 ? 1 : 0;
}

// ------------------------------------------------------------ SetupAPI

FAKE_EXPORT HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND, DWORD flags) {
  if (!classGuid || !(flags & DIGCF_DEVICEINTERFACE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  DeviceSet* set = new DeviceSet();
  set->interfaceClass = *classGuid;
  SectionLock hold(g_lock);
  SimulatedGattBackend* backend = Backend();
  if (IsEqualGUID(*classGuid, GUID_BLUETOOTHLE_DEVICE_INTERFACE)) {
    std::vector<GattDeviceInterface> interfaces;
    backend->ListDeviceInterfaces(interfaces);
    for (size_t i = 0; i < interfaces.size() && i < g_devices.size(); ++i) {
      const GattDeviceInterface& item = interfaces[i];
      if (enumerator && item.instance.CompareNoCase(enumerator) != 0) continue;
      unsigned options = g_devices[i].options;
      SetEntry entry;
      if (options & FakeBleUnopenable) {
        entry.path.Format(L"%s\\missing-%u", Folder().CStr(), static_cast<unsigned>(i));
      } else {
        const wchar_t* file = FileFor(item.path);
        if (!file) continue;
        entry.path.Assign(file);
      }
      entry.friendlyName = item.friendlyName;
      entry.hasFriendlyName = true;
      entry.instance = item.instance;
      unsigned char a[6] = {};
      DeviceModel* model = g_devices[i].scripted ? static_cast<DeviceModel*>(g_devices[i].scripted)
                                                 : static_cast<DeviceModel*>(g_devices[i].tracker);
      model->GetDeviceAddress(a);
      entry.hasAddress = !(options & FakeBleNoAddress);
      if (options & FakeBleAddressDashed) {
        entry.address.Format(L"%02X-%02X-%02X-%02X-%02X-%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
      } else if (options & FakeBleAddressColons) {
        entry.address.Format(L"%02X:%02X:%02X:%02X:%02X:%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
      } else {
        entry.address = item.addressText;
      }
      set->entries.push_back(entry);
    }
  } else if (!enumerator) {
    std::vector<GattServiceInterface> interfaces;
    backend->ListServiceInterfaces(GattLongUuid(*classGuid), interfaces);
    for (const GattServiceInterface& item : interfaces) {
      const wchar_t* file = FileFor(item.path);
      if (!file) continue;
      SetEntry entry;
      entry.path.Assign(file);
      entry.instance.Format(L"%s\\SERVICE", item.parentInstance.CStr());
      entry.parent = item.parentInstance;
      entry.hasParent = true;
      set->entries.push_back(entry);
    }
  }
  g_sets.insert(set);
  return set;
}

FAKE_EXPORT BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO handle) {
  SectionLock hold(g_lock);
  DeviceSet* set = SetOf(handle);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  g_sets.erase(set);
  delete set;
  return TRUE;
}

FAKE_EXPORT BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO handle, PSP_DEVINFO_DATA, const GUID* interfaceClass,
                                                    DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
  SectionLock hold(g_lock);
  DeviceSet* set = SetOf(handle);
  if (!set || !interfaceClass) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (!IsEqualGUID(*interfaceClass, set->interfaceClass) || index >= set->entries.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  data->InterfaceClassGuid = set->interfaceClass;
  data->Flags = SPINT_ACTIVE;
  data->Reserved = index + 1;
  return TRUE;
}

FAKE_EXPORT BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO handle, PSP_DEVICE_INTERFACE_DATA data,
                                                         PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD size,
                                                         PDWORD required, PSP_DEVINFO_DATA info) {
  SectionLock hold(g_lock);
  DeviceSet* set = SetOf(handle);
  if (!set || !data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || data->Reserved == 0 ||
      data->Reserved > set->entries.size()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ULONG_PTR index = data->Reserved;
  const SetEntry& entry = set->entries[index - 1];
  DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                    (entry.path.Length() + 1) * sizeof(wchar_t));
  if (required) *required = needed;
  if (!detail) {
    SetLastError(size ? ERROR_INVALID_USER_BUFFER : ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (size < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(detail->DevicePath, entry.path.CStr(), (entry.path.Length() + 1) * sizeof(wchar_t));
  if (info) {
    if (info->cbSize != sizeof(SP_DEVINFO_DATA)) {
      SetLastError(ERROR_INVALID_USER_BUFFER);
      return FALSE;
    }
    info->ClassGuid = set->interfaceClass;
    info->DevInst = static_cast<DWORD>(index);
    info->Reserved = index;
  }
  return TRUE;
}

FAKE_EXPORT BOOL WINAPI SetupDiGetDeviceRegistryPropertyW(HDEVINFO handle, PSP_DEVINFO_DATA info, DWORD property,
                                                          PDWORD type, PBYTE buffer, DWORD size, PDWORD required) {
  SectionLock hold(g_lock);
  SetEntry* entry = EntryOf(SetOf(handle), info);
  if (!entry) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (property != SPDRP_FRIENDLYNAME || !entry->hasFriendlyName) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  if (type) *type = REG_SZ;
  return AnswerText(entry->friendlyName, buffer, size, required, true);
}

FAKE_EXPORT BOOL WINAPI SetupDiGetDeviceInstanceIdW(HDEVINFO handle, PSP_DEVINFO_DATA info, PWSTR buffer,
                                                    DWORD size, PDWORD required) {
  SectionLock hold(g_lock);
  SetEntry* entry = EntryOf(SetOf(handle), info);
  if (!entry) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return AnswerText(entry->instance, reinterpret_cast<BYTE*>(buffer), size, required, false);
}

FAKE_EXPORT BOOL WINAPI SetupDiGetDevicePropertyW(HDEVINFO handle, PSP_DEVINFO_DATA info, const DEVPROPKEY* key,
                                                  DEVPROPTYPE* type, PBYTE buffer, DWORD size, PDWORD required,
                                                  DWORD flags) {
  SectionLock hold(g_lock);
  SetEntry* entry = EntryOf(SetOf(handle), info);
  if (!entry || !key || !type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (flags != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return FALSE;
  }
  const WideString* text = nullptr;
  if (IsEqualGUID(key->fmtid, GATT_ADDRESS_PROPERTY_ID) && key->pid == GATT_ADDRESS_PROPERTY_INDEX &&
      entry->hasAddress) {
    text = &entry->address;
  } else if (IsEqualGUID(key->fmtid, GATT_PARENT_PROPERTY_ID) && key->pid == GATT_PARENT_PROPERTY_INDEX &&
             entry->hasParent) {
    text = &entry->parent;
  }
  if (!text) {
    SetLastError(ERROR_NOT_FOUND);
    return FALSE;
  }
  *type = DEVPROP_TYPE_STRING;
  return AnswerText(*text, buffer, size, required, true);
}

// ------------------------------------------------------------ bluetoothapis

FAKE_EXPORT HRESULT WINAPI BluetoothGATTGetServices(HANDLE device, USHORT count, PBTH_LE_GATT_SERVICE services,
                                                    USHORT* actual, ULONG flags) {
  return WithSimulatedHandle(device, [&](SimulatedGattBackend* backend, HANDLE handle) {
    return backend->GetServices(handle, count, services, actual, flags);
  });
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTGetCharacteristics(HANDLE device, PBTH_LE_GATT_SERVICE service, USHORT count,
                                                           PBTH_LE_GATT_CHARACTERISTIC characteristics,
                                                           USHORT* actual, ULONG flags) {
  return WithSimulatedHandle(device, [&](SimulatedGattBackend* backend, HANDLE handle) {
    return backend->GetCharacteristics(handle, service, count, characteristics, actual, flags);
  });
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTGetDescriptors(HANDLE device, PBTH_LE_GATT_CHARACTERISTIC characteristic,
                                                       USHORT count, PBTH_LE_GATT_DESCRIPTOR descriptors,
                                                       USHORT* actual, ULONG flags) {
  return WithSimulatedHandle(device, [&](SimulatedGattBackend* backend, HANDLE handle) {
    return backend->GetDescriptors(handle, characteristic, count, descriptors, actual, flags);
  });
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTGetCharacteristicValue(HANDLE device,
                                                               PBTH_LE_GATT_CHARACTERISTIC characteristic,
                                                               ULONG size, PBTH_LE_GATT_CHARACTERISTIC_VALUE value,
                                                               USHORT* sizeRequired, ULONG flags) {
  return WithSimulatedHandle(device, [&](SimulatedGattBackend* backend, HANDLE handle) {
    return backend->GetCharacteristicValue(handle, characteristic, size, value, sizeRequired, flags);
  });
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTGetDescriptorValue(HANDLE device, PBTH_LE_GATT_DESCRIPTOR descriptor,
                                                           ULONG size, PBTH_LE_GATT_DESCRIPTOR_VALUE value,
                                                           USHORT* sizeRequired, ULONG flags) {
  return WithSimulatedHandle(device, [&](SimulatedGattBackend* backend, HANDLE handle) {
    return backend->GetDescriptorValue(handle, descriptor, size, value, sizeRequired, flags);
  });
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTSetCharacteristicValue(HANDLE device,
                                                               PBTH_LE_GATT_CHARACTERISTIC characteristic,
                                                               PBTH_LE_GATT_CHARACTERISTIC_VALUE value,
                                                               ULONGLONG reliableWriteContext, ULONG flags) {
  return WithSimulatedHandle(device, [&](SimulatedGattBackend* backend, HANDLE handle) {
    return backend->SetCharacteristicValue(handle, characteristic, value, reliableWriteContext, flags);
  });
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTSetDescriptorValue(HANDLE device, PBTH_LE_GATT_DESCRIPTOR descriptor,
                                                           PBTH_LE_GATT_DESCRIPTOR_VALUE value, ULONG flags) {
  return WithSimulatedHandle(device, [&](SimulatedGattBackend* backend, HANDLE handle) {
    return backend->SetDescriptorValue(handle, descriptor, value, flags);
  });
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTRegisterEvent(HANDLE service, BTH_LE_GATT_EVENT_TYPE type, PVOID parameter,
                                                      PFNBLUETOOTH_GATT_EVENT_CALLBACK callback, PVOID context,
                                                      BLUETOOTH_GATT_EVENT_HANDLE* event, ULONG flags) {
  if (!callback || !event) return E_INVALIDARG;
  Registration* registration = new Registration{callback, context, nullptr};
  {
    // Known before the first value can arrive.
    SectionLock hold(g_lock);
    StartDelivery();
    g_registrations.insert(registration);
  }
  HRESULT status = WithSimulatedHandle(service, [&](SimulatedGattBackend* backend, HANDLE handle) {
    return backend->RegisterEvent(handle, type, parameter, &OnSimulatedEvent, registration,
                                  &registration->simulatedEvent, flags);
  });
  if (FAILED(status)) {
    SectionLock hold(g_lock);
    g_registrations.erase(registration);
    delete registration;
    return status;
  }
  *event = registration;
  return S_OK;
}

FAKE_EXPORT HRESULT WINAPI BluetoothGATTUnregisterEvent(BLUETOOTH_GATT_EVENT_HANDLE event, ULONG flags) {
  Registration* registration = static_cast<Registration*>(event);
  SimulatedGattBackend* backend;
  {
    SectionLock hold(g_lock);
    if (!g_registrations.count(registration)) return E_HANDLE;
    backend = g_backend;
  }
  // No new values once the simulated side has let go ...
  if (backend) backend->UnregisterEvent(registration->simulatedEvent, flags);
  {
    // ... and none delivered once a callback in progress has returned.
    SectionLock delivering(g_deliveryLock);
    SectionLock hold(g_lock);
    g_registrations.erase(registration);
    for (size_t i = g_pending.size(); i-- > 0;) {
      if (g_pending[i].registration == registration) g_pending.erase(g_pending.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  SetEvent(g_wake);
  delete registration;
  return S_OK;
}
