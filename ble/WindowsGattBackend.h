// The GATT backend of the Windows Bluetooth LE stack: SetupAPI lists the
// paired LE device interfaces, their address property and the interfaces of
// each GATT service; the GATT calls go to bluetoothapis.dll, whose functions
// are resolved on first use (87 when one is missing). SetupAPI is bound when
// the backend is built; without it no device is listed. Both library names
// can be replaced (tests bind a stand-in of the platform).
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "ble/GattBackend.h"
#include "core/CriticalSection.h"
#include "core/LibraryHandle.h"
#include "core/SystemApi.h"

class WindowsGattBackend : public GattBackend {
public:
  // none: "setupapi.dll" and "bluetoothapis.dll".
  explicit WindowsGattBackend(const wchar_t* setupApiName = nullptr,
                              const wchar_t* bluetoothApiName = nullptr);
  ~WindowsGattBackend() override;
  WindowsGattBackend(const WindowsGattBackend&) = delete;
  WindowsGattBackend& operator=(const WindowsGattBackend&) = delete;

  // 1 when every SetupAPI function the backend uses was found.
  int HasSetupApi() const;

  const wchar_t* AdapterName() const override;
  int ListDeviceInterfaces(std::vector<GattDeviceInterface>& list) override;
  int ListServiceInterfaces(const BTH_LE_UUID& service, std::vector<GattServiceInterface>& list) override;
  int OffersDeviceInterface(const wchar_t* instance) override;
  HANDLE OpenPath(const wchar_t* path) override;
  void ClosePath(HANDLE handle) override;
  HRESULT GetServices(HANDLE device, USHORT count, BTH_LE_GATT_SERVICE* services, USHORT* actual,
                      ULONG flags) override;
  HRESULT GetCharacteristics(HANDLE device, BTH_LE_GATT_SERVICE* service, USHORT count,
                             BTH_LE_GATT_CHARACTERISTIC* characteristics, USHORT* actual,
                             ULONG flags) override;
  HRESULT GetDescriptors(HANDLE device, BTH_LE_GATT_CHARACTERISTIC* characteristic, USHORT count,
                         BTH_LE_GATT_DESCRIPTOR* descriptors, USHORT* actual, ULONG flags) override;
  HRESULT GetCharacteristicValue(HANDLE device, BTH_LE_GATT_CHARACTERISTIC* characteristic, ULONG size,
                                 BTH_LE_GATT_CHARACTERISTIC_VALUE* value, USHORT* sizeRequired,
                                 ULONG flags) override;
  HRESULT GetDescriptorValue(HANDLE device, BTH_LE_GATT_DESCRIPTOR* descriptor, ULONG size,
                             BTH_LE_GATT_DESCRIPTOR_VALUE* value, USHORT* sizeRequired,
                             ULONG flags) override;
  HRESULT SetCharacteristicValue(HANDLE device, BTH_LE_GATT_CHARACTERISTIC* characteristic,
                                 BTH_LE_GATT_CHARACTERISTIC_VALUE* value,
                                 ULONGLONG reliableWriteContext, ULONG flags) override;
  HRESULT SetDescriptorValue(HANDLE device, BTH_LE_GATT_DESCRIPTOR* descriptor,
                             BTH_LE_GATT_DESCRIPTOR_VALUE* value, ULONG flags) override;
  HRESULT RegisterEvent(HANDLE service, BTH_LE_GATT_EVENT_TYPE type, void* parameter,
                        PFNBLUETOOTH_GATT_EVENT_CALLBACK callback, void* context,
                        BLUETOOTH_GATT_EVENT_HANDLE* event, ULONG flags) override;
  HRESULT UnregisterEvent(BLUETOOTH_GATT_EVENT_HANDLE event, ULONG flags) override;

private:
  typedef HDEVINFO(WINAPI* GetClassDevsFn)(const GUID*, PCWSTR, HWND, DWORD);
  typedef BOOL(WINAPI* EnumInterfacesFn)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                         PSP_DEVICE_INTERFACE_DATA);
  typedef BOOL(WINAPI* GetInterfaceDetailFn)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_W, DWORD, PDWORD,
                                             PSP_DEVINFO_DATA);
  typedef BOOL(WINAPI* GetRegistryPropertyFn)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE, DWORD,
                                              PDWORD);
  typedef BOOL(WINAPI* GetInstanceIdFn)(HDEVINFO, PSP_DEVINFO_DATA, PWSTR, DWORD, PDWORD);
  typedef BOOL(WINAPI* GetDevicePropertyFn)(HDEVINFO, PSP_DEVINFO_DATA, const DEVPROPKEY*, DEVPROPTYPE*,
                                            PBYTE, DWORD, PDWORD, DWORD);
  typedef BOOL(WINAPI* DestroyListFn)(HDEVINFO);

  // Called for each present interface of a class with its device
  // information and path.
  typedef void (*InterfaceVisitor)(WindowsGattBackend& self, HDEVINFO set, SP_DEVINFO_DATA& info,
                                   const wchar_t* path, void* context);
  // Walks the present interfaces of the class (of one device instance when
  // given); 1 when the platform could be asked.
  int WalkInterfaces(const GUID& interfaceClass, const wchar_t* instance, InterfaceVisitor visit,
                     void* context);
  int ReadFriendlyName(HDEVINFO set, SP_DEVINFO_DATA& info, WideString& text);
  int ReadInstance(HDEVINFO set, SP_DEVINFO_DATA& info, WideString& text);
  int ReadTextProperty(HDEVINFO set, SP_DEVINFO_DATA& info, const GUID& id, ULONG index,
                       WideString& text);

  static void AddDevice(WindowsGattBackend& self, HDEVINFO set, SP_DEVINFO_DATA& info, const wchar_t* path,
                        void* context);
  static void AddService(WindowsGattBackend& self, HDEVINFO set, SP_DEVINFO_DATA& info,
                         const wchar_t* path, void* context);
  static void CountInterface(WindowsGattBackend& self, HDEVINFO set, SP_DEVINFO_DATA& info,
                             const wchar_t* path, void* context);

  LibraryHandle setupApi_;
  GetClassDevsFn getClassDevs_ = nullptr;
  EnumInterfacesFn enumInterfaces_ = nullptr;
  GetInterfaceDetailFn getInterfaceDetail_ = nullptr;
  GetRegistryPropertyFn getRegistryProperty_ = nullptr;
  GetInstanceIdFn getInstanceId_ = nullptr;
  GetDevicePropertyFn getDeviceProperty_ = nullptr;
  DestroyListFn destroyList_ = nullptr;

  // The lazily bound GATT functions; one caller at a time (value-changed
  // handlers may unregister from another thread than the worker's).
  CriticalSection apiLock_;
  SystemApi api_;
};
