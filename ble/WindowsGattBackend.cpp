#include "ble/WindowsGattBackend.h"

#include <cstdlib>
#include <cstring>

#include "ble/GattNames.h"

// The tree takes this failure value for what it is.
static_assert(GATT_UNAVAILABLE == SystemApi::GattUnavailable, "the unbound GATT call's status");

namespace {

// A set with more interfaces than this is not walked further.
const DWORD kMaxInterfaces = 4096;
// Texts the platform reports are not taken beyond this many bytes.
const DWORD kMaxTextBytes = 64 * 1024;

// Takes a text the platform wrote into a block of the given size (bytes),
// terminated or not.
int TakeText(const BYTE* block, DWORD bytes, WideString& text) {
  const wchar_t* chars = reinterpret_cast<const wchar_t*>(block);
  unsigned count = static_cast<unsigned>(bytes / sizeof(wchar_t));
  unsigned length = 0;
  while (length < count && chars[length]) ++length;
  return text.Assign(chars, length);
}

}  // namespace

WindowsGattBackend::WindowsGattBackend(const wchar_t* setupApiName, const wchar_t* bluetoothApiName) {
  if (setupApi_.Load(setupApiName && *setupApiName ? setupApiName : L"setupapi.dll")) {
    getClassDevs_ = setupApi_.ResolveAs<GetClassDevsFn>("SetupDiGetClassDevsW");
    enumInterfaces_ = setupApi_.ResolveAs<EnumInterfacesFn>("SetupDiEnumDeviceInterfaces");
    getInterfaceDetail_ = setupApi_.ResolveAs<GetInterfaceDetailFn>("SetupDiGetDeviceInterfaceDetailW");
    getRegistryProperty_ = setupApi_.ResolveAs<GetRegistryPropertyFn>("SetupDiGetDeviceRegistryPropertyW");
    getInstanceId_ = setupApi_.ResolveAs<GetInstanceIdFn>("SetupDiGetDeviceInstanceIdW");
    getDeviceProperty_ = setupApi_.ResolveAs<GetDevicePropertyFn>("SetupDiGetDevicePropertyW");
    destroyList_ = setupApi_.ResolveAs<DestroyListFn>("SetupDiDestroyDeviceInfoList");
  }
  if (bluetoothApiName && *bluetoothApiName) api_.SetLibraryName(SystemApi::BluetoothApis, bluetoothApiName);
}

WindowsGattBackend::~WindowsGattBackend() {}

int WindowsGattBackend::HasSetupApi() const {
  return getClassDevs_ && enumInterfaces_ && getInterfaceDetail_ && getRegistryProperty_ &&
         getInstanceId_ && getDeviceProperty_ && destroyList_;
}

const wchar_t* WindowsGattBackend::AdapterName() const { return L"Windows API"; }

// ------------------------------------------------------------ SetupAPI

int WindowsGattBackend::WalkInterfaces(const GUID& interfaceClass, const wchar_t* instance,
                                       InterfaceVisitor visit, void* context) {
  if (!HasSetupApi()) return 0;
  HDEVINFO set = getClassDevs_(&interfaceClass, instance, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE || !set) return 0;
  for (DWORD index = 0; index < kMaxInterfaces; ++index) {
    SP_DEVICE_INTERFACE_DATA data;
    memset(&data, 0, sizeof data);
    data.cbSize = sizeof data;
    if (!enumInterfaces_(set, nullptr, &interfaceClass, index, &data)) break;

    DWORD required = 0;
    getInterfaceDetail_(set, &data, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) || required > kMaxTextBytes) continue;
    // Room for a terminator the platform might leave out.
    DWORD size = required + sizeof(wchar_t);
    SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail =
        static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(calloc(1, size));
    if (!detail) continue;
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    if (getInterfaceDetail_(set, &data, detail, required, nullptr, &info) && detail->DevicePath[0]) {
      visit(*this, set, info, detail->DevicePath, context);
    }
    free(detail);
  }
  destroyList_(set);
  return 1;
}

int WindowsGattBackend::ReadFriendlyName(HDEVINFO set, SP_DEVINFO_DATA& info, WideString& text) {
  text.Assign(L"");
  DWORD type = 0;
  DWORD required = 0;
  getRegistryProperty_(set, &info, SPDRP_FRIENDLYNAME, &type, nullptr, 0, &required);
  if (required == 0 || required > kMaxTextBytes) return 0;
  BYTE* block = static_cast<BYTE*>(calloc(1, required + sizeof(wchar_t)));
  if (!block) return 0;
  int result = 0;
  if (getRegistryProperty_(set, &info, SPDRP_FRIENDLYNAME, &type, block, required, nullptr) &&
      type == REG_SZ) {
    result = TakeText(block, required, text);
  }
  free(block);
  return result;
}

int WindowsGattBackend::ReadInstance(HDEVINFO set, SP_DEVINFO_DATA& info, WideString& text) {
  text.Assign(L"");
  DWORD required = 0;
  getInstanceId_(set, &info, nullptr, 0, &required);
  if (required == 0 || required > kMaxTextBytes / sizeof(wchar_t)) return 0;
  BYTE* block = static_cast<BYTE*>(calloc(required + 1, sizeof(wchar_t)));
  if (!block) return 0;
  int result = 0;
  if (getInstanceId_(set, &info, reinterpret_cast<wchar_t*>(block), required, nullptr)) {
    result = TakeText(block, required * sizeof(wchar_t), text);
  }
  free(block);
  return result;
}

int WindowsGattBackend::ReadTextProperty(HDEVINFO set, SP_DEVINFO_DATA& info, const GUID& id, ULONG index,
                                         WideString& text) {
  text.Assign(L"");
  DEVPROPKEY key;
  key.fmtid = id;
  key.pid = index;
  DEVPROPTYPE type = 0;
  DWORD required = 0;
  getDeviceProperty_(set, &info, &key, &type, nullptr, 0, &required, 0);
  if (required == 0 || required > kMaxTextBytes) return 0;
  BYTE* block = static_cast<BYTE*>(calloc(1, required + sizeof(wchar_t)));
  if (!block) return 0;
  int result = 0;
  if (getDeviceProperty_(set, &info, &key, &type, block, required, nullptr, 0) &&
      type == DEVPROP_TYPE_STRING) {
    result = TakeText(block, required, text);
  }
  free(block);
  return result;
}

void WindowsGattBackend::AddDevice(WindowsGattBackend& self, HDEVINFO set, SP_DEVINFO_DATA& info,
                                   const wchar_t* path, void* context) {
  std::vector<GattDeviceInterface>& list = *static_cast<std::vector<GattDeviceInterface>*>(context);
  GattDeviceInterface item;
  if (!item.path.Assign(path)) return;
  self.ReadFriendlyName(set, info, item.friendlyName);
  self.ReadInstance(set, info, item.instance);
  self.ReadTextProperty(set, info, GATT_ADDRESS_PROPERTY_ID, GATT_ADDRESS_PROPERTY_INDEX, item.addressText);
  list.push_back(item);
}

void WindowsGattBackend::AddService(WindowsGattBackend& self, HDEVINFO set, SP_DEVINFO_DATA& info,
                                    const wchar_t* path, void* context) {
  std::vector<GattServiceInterface>& list = *static_cast<std::vector<GattServiceInterface>*>(context);
  GattServiceInterface item;
  if (!item.path.Assign(path)) return;
  self.ReadTextProperty(set, info, GATT_PARENT_PROPERTY_ID, GATT_PARENT_PROPERTY_INDEX, item.parentInstance);
  list.push_back(item);
}

void WindowsGattBackend::CountInterface(WindowsGattBackend&, HDEVINFO, SP_DEVINFO_DATA&, const wchar_t*,
                                        void* context) {
  ++*static_cast<unsigned*>(context);
}

int WindowsGattBackend::ListDeviceInterfaces(std::vector<GattDeviceInterface>& list) {
  list.clear();
  return WalkInterfaces(GUID_BLUETOOTHLE_DEVICE_INTERFACE, nullptr, &WindowsGattBackend::AddDevice, &list);
}

int WindowsGattBackend::ListServiceInterfaces(const BTH_LE_UUID& service,
                                              std::vector<GattServiceInterface>& list) {
  list.clear();
  GUID interfaceClass = GattUuidToGuid(service);
  return WalkInterfaces(interfaceClass, nullptr, &WindowsGattBackend::AddService, &list);
}

int WindowsGattBackend::OffersDeviceInterface(const wchar_t* instance) {
  if (!instance || !*instance) return 0;
  unsigned count = 0;
  WalkInterfaces(GUID_BLUETOOTHLE_DEVICE_INTERFACE, instance, &WindowsGattBackend::CountInterface, &count);
  return count > 0;
}

HANDLE WindowsGattBackend::OpenPath(const wchar_t* path) {
  if (!path || !*path) return nullptr;
  HANDLE handle = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

void WindowsGattBackend::ClosePath(HANDLE handle) {
  if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

// ------------------------------------------------------------ bluetoothapis

HRESULT WindowsGattBackend::GetServices(HANDLE device, USHORT count, BTH_LE_GATT_SERVICE* services,
                                        USHORT* actual, ULONG flags) {
  SectionLock hold(apiLock_);
  return api_.BluetoothGATTGetServices(device, count, services, actual, flags);
}

HRESULT WindowsGattBackend::GetCharacteristics(HANDLE device, BTH_LE_GATT_SERVICE* service, USHORT count,
                                               BTH_LE_GATT_CHARACTERISTIC* characteristics,
                                               USHORT* actual, ULONG flags) {
  SectionLock hold(apiLock_);
  return api_.BluetoothGATTGetCharacteristics(device, service, count, characteristics, actual, flags);
}

HRESULT WindowsGattBackend::GetDescriptors(HANDLE device, BTH_LE_GATT_CHARACTERISTIC* characteristic,
                                           USHORT count, BTH_LE_GATT_DESCRIPTOR* descriptors,
                                           USHORT* actual, ULONG flags) {
  SectionLock hold(apiLock_);
  return api_.BluetoothGATTGetDescriptors(device, characteristic, count, descriptors, actual, flags);
}

HRESULT WindowsGattBackend::GetCharacteristicValue(HANDLE device, BTH_LE_GATT_CHARACTERISTIC* characteristic,
                                                   ULONG size, BTH_LE_GATT_CHARACTERISTIC_VALUE* value,
                                                   USHORT* sizeRequired, ULONG flags) {
  SectionLock hold(apiLock_);
  return api_.BluetoothGATTGetCharacteristicValue(device, characteristic, size, value, sizeRequired, flags);
}

HRESULT WindowsGattBackend::GetDescriptorValue(HANDLE device, BTH_LE_GATT_DESCRIPTOR* descriptor, ULONG size,
                                               BTH_LE_GATT_DESCRIPTOR_VALUE* value, USHORT* sizeRequired,
                                               ULONG flags) {
  SectionLock hold(apiLock_);
  return api_.BluetoothGATTGetDescriptorValue(device, descriptor, size, value, sizeRequired, flags);
}

HRESULT WindowsGattBackend::SetCharacteristicValue(HANDLE device, BTH_LE_GATT_CHARACTERISTIC* characteristic,
                                                   BTH_LE_GATT_CHARACTERISTIC_VALUE* value,
                                                   ULONGLONG reliableWriteContext, ULONG flags) {
  SectionLock hold(apiLock_);
  return api_.BluetoothGATTSetCharacteristicValue(device, characteristic, value, reliableWriteContext, flags);
}

HRESULT WindowsGattBackend::SetDescriptorValue(HANDLE device, BTH_LE_GATT_DESCRIPTOR* descriptor,
                                               BTH_LE_GATT_DESCRIPTOR_VALUE* value, ULONG flags) {
  SectionLock hold(apiLock_);
  return api_.BluetoothGATTSetDescriptorValue(device, descriptor, value, flags);
}

HRESULT WindowsGattBackend::RegisterEvent(HANDLE service, BTH_LE_GATT_EVENT_TYPE type, void* parameter,
                                          PFNBLUETOOTH_GATT_EVENT_CALLBACK callback, void* context,
                                          BLUETOOTH_GATT_EVENT_HANDLE* event, ULONG flags) {
  // The platform's callback takes the event type as a 32-bit enumeration,
  // which is what the binding's int stands for.
  GattEventCallback bound = reinterpret_cast<GattEventCallback>(reinterpret_cast<void*>(callback));
  SectionLock hold(apiLock_);
  return api_.BluetoothGATTRegisterEvent(service, static_cast<int>(type), parameter, bound, context, event,
                                         flags);
}

HRESULT WindowsGattBackend::UnregisterEvent(BLUETOOTH_GATT_EVENT_HANDLE event, ULONG flags) {
  SectionLock hold(apiLock_);
  return api_.BluetoothGATTUnregisterEvent(event, flags);
}
