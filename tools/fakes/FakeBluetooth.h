// The control side of the stand-in Bluetooth platform library
// (pellton-fake-ble.dll). The library exports the SetupAPI functions and the
// BluetoothGATT functions the Windows GATT backend binds, answering from
// simulated devices, and these control functions, which tests look up by
// name. Its notifications arrive on a thread of its own.
#pragma once

#include <windows.h>

// The library's file name, next to the test program.
#define FAKE_BLE_LIBRARY L"pellton-fake-ble.dll"

// Device options.
enum FakeBleOption : unsigned {
  FakeBleNotNotifiable = 0x1,    // the vendor characteristic cannot notify
  FakeBleAddressDashed = 0x10,   // the address property as 00-1A-7D-DA-71-13
  FakeBleAddressColons = 0x20,   // as 00:1A:7D:DA:71:13 (otherwise 001a7dda7113)
  FakeBleNoAddress = 0x40,       // no address property
  FakeBleUnopenable = 0x80,      // the device interface path cannot be opened
};

struct FakeBleCounts {
  unsigned openSets;         // device information sets not destroyed yet
  unsigned registrations;    // event registrations not unregistered yet
  unsigned callbacks;        // value-changed callbacks made
  unsigned descriptorWrites; // descriptor write attempts
  unsigned characteristicWrites;
  unsigned long lastWriteFlags;
  DWORD callbackThread;      // the thread the callbacks run on (0: not started)
};

// Empties the platform: every device, registration and pending callback.
typedef void(__cdecl* FakeBleResetFn)();
// Adds a scripted device that echoes each write; its index, or -1.
typedef int(__cdecl* FakeBleAddScriptedFn)(const wchar_t* name, const unsigned char* address,
                                            unsigned options);
// Adds a simulated tracker set up by a scenario text; its index, or -1.
typedef int(__cdecl* FakeBleAddTrackerFn)(const char* scenario, unsigned options);
// Queues a notification from a scripted device.
typedef int(__cdecl* FakeBleNotifyFn)(int device, const unsigned char* bytes, unsigned length);
// The next count descriptor writes answer with the status.
typedef void(__cdecl* FakeBleFailDescriptorWritesFn)(unsigned count, HRESULT status);
typedef void(__cdecl* FakeBleGetCountsFn)(FakeBleCounts* counts);
// Waits until the device and the callback thread have nothing left to send.
typedef int(__cdecl* FakeBleWaitIdleFn)(int device, DWORD timeoutMs);
