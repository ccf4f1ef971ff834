// System functions that may be missing on the machine, bound lazily one by
// one: each wrapper loads its library when it is not loaded yet (a failed load
// is tried again on the next call), looks the function up once and calls it.
// A missing library or function gives the wrapper's fixed failure value.
// Used by one thread at a time; every instance loads and frees its own
// libraries.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "core/LibraryHandle.h"
#include "core/WideString.h"

// Bluetooth LE GATT calls take the system's GATT records (service,
// characteristic, descriptor, value) by pointer; they are passed through
// untouched, so they are plain pointers here.
typedef void(CALLBACK* GattEventCallback)(int eventType, void* eventOutParameter, void* context);

class SystemApi {
public:
  enum Library { Kernel32, Ntdll, User32, BluetoothApis, Ole32, Comctl32, LibraryCount };

  // Fixed failure values.
  static constexpr LANGID LanguageUnavailable = 9;  // English
  static constexpr HRESULT GattUnavailable = 87;    // ERROR_INVALID_PARAMETER, as is (not an HRESULT code)
  static constexpr LONG NtUnavailable = static_cast<LONG>(0xC00000FF);

  SystemApi();
  virtual ~SystemApi();
  SystemApi(const SystemApi&) = delete;
  SystemApi& operator=(const SystemApi&) = delete;

  // Binds a library from another file (none: its usual name). The library is
  // unloaded and its functions are looked up again on their next call.
  int SetLibraryName(Library library, const wchar_t* fileName);
  const wchar_t* LibraryName(Library library) const;
  // Unloads every library and forgets every address.
  void UnloadAll();

  // kernel32.dll
  LANGID GetUserDefaultUILanguage();    // 9 when unavailable
  LANGID GetSystemDefaultUILanguage();  // 9 when unavailable
  HRESULT WerRegisterFile(const wchar_t* path, int regFileType, DWORD flags);  // E_FAIL
  // ntdll.dll
  const char* wine_get_version();  // none when unavailable (not running under Wine)
  LONG NtQuerySystemInformation(int informationClass, void* information, ULONG length,
                                ULONG* returnLength);  // 0xC00000FF
  // user32.dll
  HMONITOR MonitorFromPoint(POINT point, DWORD flags);           // none
  BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info);     // 0
  // bluetoothapis.dll: each gives 87 when unavailable
  HRESULT BluetoothGATTGetServices(HANDLE device, USHORT count, void* services, USHORT* actual,
                                   ULONG flags);
  HRESULT BluetoothGATTGetCharacteristics(HANDLE device, void* service, USHORT count,
                                          void* characteristics, USHORT* actual, ULONG flags);
  HRESULT BluetoothGATTGetDescriptors(HANDLE device, void* characteristic, USHORT count,
                                      void* descriptors, USHORT* actual, ULONG flags);
  HRESULT BluetoothGATTGetCharacteristicValue(HANDLE device, void* characteristic, ULONG size,
                                              void* value, USHORT* sizeRequired, ULONG flags);
  HRESULT BluetoothGATTGetDescriptorValue(HANDLE device, void* descriptor, ULONG size, void* value,
                                          USHORT* sizeRequired, ULONG flags);
  HRESULT BluetoothGATTSetCharacteristicValue(HANDLE device, void* characteristic, void* value,
                                              ULONGLONG reliableWriteContext, ULONG flags);
  HRESULT BluetoothGATTSetDescriptorValue(HANDLE device, void* descriptor, void* value,
                                          ULONG flags);
  HRESULT BluetoothGATTRegisterEvent(HANDLE service, int eventType, void* eventParameter,
                                     GattEventCallback callback, void* context,
                                     HANDLE* eventHandle, ULONG flags);
  HRESULT BluetoothGATTUnregisterEvent(HANDLE eventHandle, ULONG flags);
  // ole32.dll: E_FAIL when unavailable
  HRESULT CoInitializeSecurity(PSECURITY_DESCRIPTOR descriptor, LONG authServiceCount,
                               SOLE_AUTHENTICATION_SERVICE* authServices, void* reserved1,
                               DWORD authnLevel, DWORD impLevel, void* authList,
                               DWORD capabilities, void* reserved3);
  HRESULT CoSetProxyBlanket(IUnknown* proxy, DWORD authnService, DWORD authzService,
                            OLECHAR* serverPrincipalName, DWORD authnLevel, DWORD impLevel,
                            RPC_AUTH_IDENTITY_HANDLE authInfo, DWORD capabilities);
  // comctl32.dll: E_FAIL when unavailable
  HRESULT LoadIconMetric(HINSTANCE instance, const wchar_t* name, int metric, HICON* icon);
  HRESULT LoadIconWithScaleDown(HINSTANCE instance, const wchar_t* name, int cx, int cy,
                                HICON* icon);

private:
  enum Slot {
    SlotUserLanguage, SlotSystemLanguage, SlotWerRegisterFile, SlotWineVersion,
    SlotNtQuerySystemInformation, SlotMonitorFromPoint, SlotGetMonitorInfo,
    SlotGattServices, SlotGattCharacteristics, SlotGattDescriptors, SlotGattGetCharacteristicValue,
    SlotGattGetDescriptorValue, SlotGattSetCharacteristicValue, SlotGattSetDescriptorValue,
    SlotGattRegisterEvent, SlotGattUnregisterEvent, SlotCoInitializeSecurity, SlotCoSetProxyBlanket,
    SlotLoadIconMetric, SlotLoadIconWithScaleDown, SlotCount
  };

  // The cached address of a function, loading its library and looking the
  // function up when needed; none when unavailable.
  void* Function(int slot);
  template <class Fn>
  Fn FunctionAs(int slot) {
    return reinterpret_cast<Fn>(Function(slot));
  }

  LibraryHandle libraries_[LibraryCount];
  WideString names_[LibraryCount];  // empty: the usual name
  void* functions_[SlotCount] = {};
};
