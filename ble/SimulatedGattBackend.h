// A GATT backend in memory: the device models it hosts are the present LE
// devices of one adapter. Each offers the generic access service (device
// name, appearance), the battery service (a notifiable level with its
// client configuration descriptor) and the vendor service whose writable,
// notifiable characteristic carries the model's traffic: writes go to the
// model, and what the model notifies reaches the registered callbacks on the
// model's own thread while the client configuration has notifications on.
#pragma once

#include <windows.h>

#include <set>
#include <vector>

#include "ble/GattBackend.h"
#include "core/CriticalSection.h"

class DeviceModel;

class SimulatedGattBackend : public GattBackend {
public:
  // AddDevice options.
  static constexpr unsigned NotNotifiable = 0x1;  // the vendor characteristic cannot notify

  // The vendor service and characteristic the models are reached through.
  static const GUID VendorService;         // {FC1CFF01-71F1-887F-C5FA-A19B3DCA3230}
  static const GUID VendorCharacteristic;  // {FC1CFF08-71F1-887F-C5FA-A19B3DCA3230}
  static constexpr BYTE BatteryLevel = 100;    // the battery level characteristic's value

  SimulatedGattBackend();
  // Takes the handler back from every model (waiting for a delivery in
  // progress) and drops every handle and registration.
  ~SimulatedGattBackend() override;
  SimulatedGattBackend(const SimulatedGattBackend&) = delete;
  SimulatedGattBackend& operator=(const SimulatedGattBackend&) = delete;

  // Hosts a model (not owned; it must outlive the backend) as the next
  // device and takes its value handler. 1/0.
  int AddDevice(DeviceModel* model, unsigned options = 0);
  // The device paths and instances, for checks; none beyond the last device.
  const wchar_t* DevicePath(unsigned index) const;
  const wchar_t* DeviceInstance(unsigned index) const;

  // The next count descriptor writes answer with the status (for example
  // GATT_DEVICE_NOT_CONNECTED) instead of being carried out.
  void FailDescriptorWrites(unsigned count, HRESULT status);
  // What has happened so far.
  unsigned DescriptorWriteCount() const;   // every attempt, failed ones included
  unsigned CharacteristicWriteCount() const;
  ULONG LastWriteFlags() const;
  unsigned OpenHandleCount() const;
  unsigned RegistrationCount() const;

  // GattBackend
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
  enum ValueKind { DeviceNameValue, AppearanceValue, BatteryValue, VendorValue };
  struct Characteristic {
    BTH_LE_GATT_CHARACTERISTIC record;
    ValueKind kind;
    USHORT configHandle;  // 0: no client configuration descriptor
    bool notifying = false;   // client configuration: notifications on
    bool indicating = false;
  };
  struct Service {
    BTH_LE_GATT_SERVICE record;
    WideString path;
    std::vector<Characteristic> characteristics;
  };
  struct Registration;
  struct Device {
    DeviceModel* model;
    unsigned options;
    WideString path;
    WideString instance;
    std::vector<Service> services;
    // Guards the registrations and the client configurations; held while
    // callbacks run.
    CriticalSection deliveryLock;
    std::vector<Registration*> registrations;
  };
  struct Registration {
    Device* device;
    std::vector<USHORT> valueHandles;
    PFNBLUETOOTH_GATT_EVENT_CALLBACK callback;
    void* context;
  };
  struct OpenHandle {
    Device* device;
    int service;  // -1: the device handle
  };

  static void OnModelNotification(unsigned length, const unsigned char* data, void* context);
  void BuildDevice(Device& device, unsigned index);
  // The handle's device and service scope, or false for a handle this
  // backend did not give out.
  bool Resolve(HANDLE handle, OpenHandle& scope) const;
  // A characteristic reachable through the handle's scope, or none.
  Characteristic* FindCharacteristic(const OpenHandle& scope, USHORT attributeHandle) const;
  Characteristic* FindConfigOwner(const OpenHandle& scope, USHORT descriptorHandle) const;
  Service* FindService(const OpenHandle& scope, USHORT attributeHandle) const;
  void ReadValue(const Device& device, const Characteristic& characteristic,
                 std::vector<unsigned char>& bytes) const;

  mutable CriticalSection lock_;  // the device list, handles, registrations and counters
  std::vector<Device*> devices_;
  std::set<OpenHandle*> handles_;
  std::set<Registration*> registrationSet_;
  unsigned failDescriptorWrites_ = 0;
  HRESULT failStatus_ = S_OK;
  unsigned descriptorWrites_ = 0;
  unsigned characteristicWrites_ = 0;
  ULONG lastWriteFlags_ = 0;
};
