#include "core/SystemApi.h"

namespace {

const wchar_t* const kDefaultNames[SystemApi::LibraryCount] = {
    L"kernel32.dll", L"ntdll.dll", L"user32.dll", L"bluetoothapis.dll", L"ole32.dll", L"comctl32.dll"};

struct FunctionEntry {
  SystemApi::Library library;
  const char* name;
};

// In the order of the slots.
const FunctionEntry kFunctions[] = {
    {SystemApi::Kernel32, "GetUserDefaultUILanguage"},
    {SystemApi::Kernel32, "GetSystemDefaultUILanguage"},
    {SystemApi::Kernel32, "WerRegisterFile"},
    {SystemApi::Ntdll, "wine_get_version"},
    {SystemApi::Ntdll, "NtQuerySystemInformation"},
    {SystemApi::User32, "MonitorFromPoint"},
    {SystemApi::User32, "GetMonitorInfoW"},
    {SystemApi::BluetoothApis, "BluetoothGATTGetServices"},
    {SystemApi::BluetoothApis, "BluetoothGATTGetCharacteristics"},
    {SystemApi::BluetoothApis, "BluetoothGATTGetDescriptors"},
    {SystemApi::BluetoothApis, "BluetoothGATTGetCharacteristicValue"},
    {SystemApi::BluetoothApis, "BluetoothGATTGetDescriptorValue"},
    {SystemApi::BluetoothApis, "BluetoothGATTSetCharacteristicValue"},
    {SystemApi::BluetoothApis, "BluetoothGATTSetDescriptorValue"},
    {SystemApi::BluetoothApis, "BluetoothGATTRegisterEvent"},
    {SystemApi::BluetoothApis, "BluetoothGATTUnregisterEvent"},
    {SystemApi::Ole32, "CoInitializeSecurity"},
    {SystemApi::Ole32, "CoSetProxyBlanket"},
    {SystemApi::Comctl32, "LoadIconMetric"},
    {SystemApi::Comctl32, "LoadIconWithScaleDown"},
};

}  // namespace

SystemApi::SystemApi() {
  static_assert(sizeof(kFunctions) / sizeof(kFunctions[0]) == SlotCount, "one entry per slot");
}

SystemApi::~SystemApi() { UnloadAll(); }

int SystemApi::SetLibraryName(Library library, const wchar_t* fileName) {
  if (library < 0 || library >= LibraryCount) return 0;
  for (int slot = 0; slot < SlotCount; ++slot) {
    if (kFunctions[slot].library == library) functions_[slot] = nullptr;
  }
  libraries_[library].Unload();
  if (!fileName || !*fileName) {
    names_[library].Reset(0);
    return 1;
  }
  return names_[library].Assign(fileName);
}

const wchar_t* SystemApi::LibraryName(Library library) const {
  if (library < 0 || library >= LibraryCount) return nullptr;
  return names_[library].IsEmpty() ? kDefaultNames[library] : names_[library].CStr();
}

void SystemApi::UnloadAll() {
  for (int slot = 0; slot < SlotCount; ++slot) functions_[slot] = nullptr;
  for (int library = 0; library < LibraryCount; ++library) libraries_[library].Unload();
}

void* SystemApi::Function(int slot) {
  if (functions_[slot]) return functions_[slot];
  Library library = kFunctions[slot].library;
  LibraryHandle& handle = libraries_[library];
  if (!handle.IsLoaded() && !handle.Load(LibraryName(library))) return nullptr;
  functions_[slot] = reinterpret_cast<void*>(handle.Resolve(kFunctions[slot].name));
  return functions_[slot];
}

LANGID SystemApi::GetUserDefaultUILanguage() {
  typedef LANGID(WINAPI * Fn)();
  Fn fn = FunctionAs<Fn>(SlotUserLanguage);
  return fn ? fn() : LanguageUnavailable;
}

LANGID SystemApi::GetSystemDefaultUILanguage() {
  typedef LANGID(WINAPI * Fn)();
  Fn fn = FunctionAs<Fn>(SlotSystemLanguage);
  return fn ? fn() : LanguageUnavailable;
}

HRESULT SystemApi::WerRegisterFile(const wchar_t* path, int regFileType, DWORD flags) {
  typedef HRESULT(WINAPI * Fn)(const wchar_t*, int, DWORD);
  Fn fn = FunctionAs<Fn>(SlotWerRegisterFile);
  return fn ? fn(path, regFileType, flags) : E_FAIL;
}

const char* SystemApi::wine_get_version() {
  typedef const char*(__cdecl * Fn)();
  Fn fn = FunctionAs<Fn>(SlotWineVersion);
  return fn ? fn() : nullptr;
}

LONG SystemApi::NtQuerySystemInformation(int informationClass, void* information, ULONG length,
                                         ULONG* returnLength) {
  typedef LONG(WINAPI * Fn)(int, void*, ULONG, ULONG*);
  Fn fn = FunctionAs<Fn>(SlotNtQuerySystemInformation);
  return fn ? fn(informationClass, information, length, returnLength) : NtUnavailable;
}

HMONITOR SystemApi::MonitorFromPoint(POINT point, DWORD flags) {
  typedef HMONITOR(WINAPI * Fn)(POINT, DWORD);
  Fn fn = FunctionAs<Fn>(SlotMonitorFromPoint);
  return fn ? fn(point, flags) : nullptr;
}

BOOL SystemApi::GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info) {
  typedef BOOL(WINAPI * Fn)(HMONITOR, MONITORINFO*);
  Fn fn = FunctionAs<Fn>(SlotGetMonitorInfo);
  return fn ? fn(monitor, info) : 0;
}

HRESULT SystemApi::BluetoothGATTGetServices(HANDLE device, USHORT count, void* services,
                                            USHORT* actual, ULONG flags) {
  typedef HRESULT(WINAPI * Fn)(HANDLE, USHORT, void*, USHORT*, ULONG);
  Fn fn = FunctionAs<Fn>(SlotGattServices);
  return fn ? fn(device, count, services, actual, flags) : GattUnavailable;
}

HRESULT SystemApi::BluetoothGATTGetCharacteristics(HANDLE device, void* service, USHORT count,
                                                   void* characteristics, USHORT* actual,
                                                   ULONG flags) {
  typedef HRESULT(WINAPI * Fn)(HANDLE, void*, USHORT, void*, USHORT*, ULONG);
  Fn fn = FunctionAs<Fn>(SlotGattCharacteristics);
  return fn ? fn(device, service, count, characteristics, actual, flags) : GattUnavailable;
}

HRESULT SystemApi::BluetoothGATTGetDescriptors(HANDLE device, void* characteristic, USHORT count,
                                               void* descriptors, USHORT* actual, ULONG flags) {
  typedef HRESULT(WINAPI * Fn)(HANDLE, void*, USHORT, void*, USHORT*, ULONG);
  Fn fn = FunctionAs<Fn>(SlotGattDescriptors);
  return fn ? fn(device, characteristic, count, descriptors, actual, flags) : GattUnavailable;
}

HRESULT SystemApi::BluetoothGATTGetCharacteristicValue(HANDLE device, void* characteristic,
                                                       ULONG size, void* value,
                                                       USHORT* sizeRequired, ULONG flags) {
  typedef HRESULT(WINAPI * Fn)(HANDLE, void*, ULONG, void*, USHORT*, ULONG);
  Fn fn = FunctionAs<Fn>(SlotGattGetCharacteristicValue);
  return fn ? fn(device, characteristic, size, value, sizeRequired, flags) : GattUnavailable;
}

HRESULT SystemApi::BluetoothGATTGetDescriptorValue(HANDLE device, void* descriptor, ULONG size,
                                                   void* value, USHORT* sizeRequired,
                                                   ULONG flags) {
  typedef HRESULT(WINAPI * Fn)(HANDLE, void*, ULONG, void*, USHORT*, ULONG);
  Fn fn = FunctionAs<Fn>(SlotGattGetDescriptorValue);
  return fn ? fn(device, descriptor, size, value, sizeRequired, flags) : GattUnavailable;
}

HRESULT SystemApi::BluetoothGATTSetCharacteristicValue(HANDLE device, void* characteristic,
                                                       void* value,
                                                       ULONGLONG reliableWriteContext,
                                                       ULONG flags) {
  typedef HRESULT(WINAPI * Fn)(HANDLE, void*, void*, ULONGLONG, ULONG);
  Fn fn = FunctionAs<Fn>(SlotGattSetCharacteristicValue);
  return fn ? fn(device, characteristic, value, reliableWriteContext, flags) : GattUnavailable;
}

HRESULT SystemApi::BluetoothGATTSetDescriptorValue(HANDLE device, void* descriptor, void* value,
                                                   ULONG flags) {
  typedef HRESULT(WINAPI * Fn)(HANDLE, void*, void*, ULONG);
  Fn fn = FunctionAs<Fn>(SlotGattSetDescriptorValue);
  return fn ? fn(device, descriptor, value, flags) : GattUnavailable;
}

HRESULT SystemApi::BluetoothGATTRegisterEvent(HANDLE service, int eventType, void* eventParameter,
                                              GattEventCallback callback, void* context,
                                              HANDLE* eventHandle, ULONG flags) {
  typedef HRESULT(WINAPI * Fn)(HANDLE, int, void*, GattEventCallback, void*, HANDLE*, ULONG);
  Fn fn = FunctionAs<Fn>(SlotGattRegisterEvent);
  return fn ? fn(service, eventType, eventParameter, callback, context, eventHandle, flags)
            : GattUnavailable;
}

HRESULT SystemApi::BluetoothGATTUnregisterEvent(HANDLE eventHandle, ULONG flags) {
  typedef HRESULT(WINAPI * Fn)(HANDLE, ULONG);
  Fn fn = FunctionAs<Fn>(SlotGattUnregisterEvent);
  return fn ? fn(eventHandle, flags) : GattUnavailable;
}

HRESULT SystemApi::CoInitializeSecurity(PSECURITY_DESCRIPTOR descriptor, LONG authServiceCount,
                                        SOLE_AUTHENTICATION_SERVICE* authServices,
                                        void* reserved1, DWORD authnLevel, DWORD impLevel,
                                        void* authList, DWORD capabilities, void* reserved3) {
  typedef HRESULT(WINAPI * Fn)(PSECURITY_DESCRIPTOR, LONG, SOLE_AUTHENTICATION_SERVICE*, void*,
                               DWORD, DWORD, void*, DWORD, void*);
  Fn fn = FunctionAs<Fn>(SlotCoInitializeSecurity);
  return fn ? fn(descriptor, authServiceCount, authServices, reserved1, authnLevel, impLevel,
                 authList, capabilities, reserved3)
            : E_FAIL;
}

HRESULT SystemApi::CoSetProxyBlanket(IUnknown* proxy, DWORD authnService, DWORD authzService,
                                     OLECHAR* serverPrincipalName, DWORD authnLevel,
                                     DWORD impLevel, RPC_AUTH_IDENTITY_HANDLE authInfo,
                                     DWORD capabilities) {
  typedef HRESULT(WINAPI * Fn)(IUnknown*, DWORD, DWORD, OLECHAR*, DWORD, DWORD,
                               RPC_AUTH_IDENTITY_HANDLE, DWORD);
  Fn fn = FunctionAs<Fn>(SlotCoSetProxyBlanket);
  return fn ? fn(proxy, authnService, authzService, serverPrincipalName, authnLevel, impLevel,
                 authInfo, capabilities)
            : E_FAIL;
}

HRESULT SystemApi::LoadIconMetric(HINSTANCE instance, const wchar_t* name, int metric,
                                  HICON* icon) {
  typedef HRESULT(WINAPI * Fn)(HINSTANCE, const wchar_t*, int, HICON*);
  Fn fn = FunctionAs<Fn>(SlotLoadIconMetric);
  return fn ? fn(instance, name, metric, icon) : E_FAIL;
}

HRESULT SystemApi::LoadIconWithScaleDown(HINSTANCE instance, const wchar_t* name, int cx, int cy,
                                         HICON* icon) {
  typedef HRESULT(WINAPI * Fn)(HINSTANCE, const wchar_t*, int, int, HICON*);
  Fn fn = FunctionAs<Fn>(SlotLoadIconWithScaleDown);
  return fn ? fn(instance, name, cx, cy, icon) : E_FAIL;
}
