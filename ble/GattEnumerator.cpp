#include "ble/GattEnumerator.h"

#include <new>
#include <vector>

#include "ble/GattAdapter.h"
#include "ble/GattBackend.h"
#include "ble/GattDevice.h"

GattEnumerator::GattEnumerator(GattBackend* backend) : backend_(backend) { adapters.Init(); }

GattEnumerator::~GattEnumerator() {
  Clear();
  adapters.Destroy();
}

void GattEnumerator::Clear() { adapters.Clear(); }

void GattEnumerator::SetRetryWait(GattWaitFunction wait, void* context) {
  wait_ = wait;
  waitContext_ = wait ? context : nullptr;
}

void GattEnumerator::RetryWait(DWORD milliseconds) {
  if (wait_) {
    wait_(milliseconds, waitContext_);
  } else {
    Sleep(milliseconds);
  }
}

int GattEnumerator::Enumerate(unsigned flags) {
  Clear();
  if (!backend_) return 0;
  std::vector<GattDeviceInterface> interfaces;
  if (!backend_->ListDeviceInterfaces(interfaces)) return 0;

  GattAdapter* adapter = nullptr;
  for (const GattDeviceInterface& item : interfaces) {
    if (!adapter) {
      adapter = new (std::nothrow) GattAdapter(this, backend_->AdapterName());
      if (!adapter) return 0;
      adapters.PushBack(adapter);
    }
    HANDLE handle = backend_->OpenPath(item.path.CStr());
    if (!handle) continue;  // a device that cannot be opened is skipped
    GattDevice* device = new (std::nothrow) GattDevice(adapter, item.friendlyName.CStr(),
                                                       item.instance.CStr());
    if (device) {
      GattDevice::ParseAddress(item.addressText.CStr(), device->address);
      if (!(flags & DevicesOnly)) device->DiscoverServices(handle, flags);
      adapter->devices.PushBack(device);
    }
    backend_->ClosePath(handle);
  }
  return 1;
}
