#include "tests/ble/GattTestSupport.h"

#include "ble/GattDescriptor.h"
#include "ble/GattDevice.h"
#include "ble/GattService.h"

const wchar_t kVendorServiceText[] = L"{FC1CFF01-71F1-887F-C5FA-A19B3DCA3230}";
const wchar_t kVendorCharacteristicText[] = L"{FC1CFF08-71F1-887F-C5FA-A19B3DCA3230}";
const wchar_t kConfigurationName[] = L"org.bluetooth.descriptor.gatt.client_characteristic_configuration";

GattCharacteristic* VendorCharacteristic(GattDevice* device) {
  GattService* vendor = device ? device->FindService(kVendorServiceText) : nullptr;
  return vendor ? vendor->FindCharacteristic(kVendorCharacteristicText) : nullptr;
}

int SubscribeToNotifications(GattCharacteristic* characteristic) {
  GattDescriptor* configuration = characteristic ? characteristic->FindDescriptor(kConfigurationName) : nullptr;
  BTH_LE_GATT_DESCRIPTOR_VALUE subscription = GattDescriptor::NotificationSubscription();
  return configuration ? configuration->Write(&subscription) : 0;
}

ValueRecorder::ValueRecorder() : arrived_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

ValueRecorder::~ValueRecorder() { CloseHandle(arrived_); }

void ValueRecorder::OnValue(GattCharacteristic* characteristic, unsigned length, const unsigned char* bytes,
                            void* context) {
  static_cast<ValueRecorder*>(context)->Add(characteristic, length, bytes);
}

void ValueRecorder::OnChannelValue(unsigned length, const unsigned char* bytes, void* context) {
  static_cast<ValueRecorder*>(context)->Add(nullptr, length, bytes);
}

void ValueRecorder::Add(GattCharacteristic* source, unsigned length, const unsigned char* bytes) {
  {
    SectionLock hold(lock_);
    values_.push_back(Bytes(bytes, bytes + length));
    threads_.push_back(GetCurrentThreadId());
    sources_.push_back(source);
  }
  SetEvent(arrived_);
}

int ValueRecorder::WaitFor(size_t count, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (Count() >= count) return 1;
    DWORD spent = GetTickCount() - start;
    if (spent >= timeoutMs) return 0;
    WaitForSingleObject(arrived_, timeoutMs - spent);
  }
}

std::vector<Bytes> ValueRecorder::Values() const {
  SectionLock hold(lock_);
  return values_;
}

std::vector<DWORD> ValueRecorder::Threads() const {
  SectionLock hold(lock_);
  return threads_;
}

std::vector<GattCharacteristic*> ValueRecorder::Sources() const {
  SectionLock hold(lock_);
  return sources_;
}

size_t ValueRecorder::Count() const {
  SectionLock hold(lock_);
  return values_.size();
}
