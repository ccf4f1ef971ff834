// A characteristic of a service: the platform's characteristic record, the
// last value read, the value-changed registration and the descriptors found
// for it (owned). It is the channel a tracker link writes to and hears from.
#pragma once

#include <windows.h>

#include "ble/CharacteristicChannel.h"
#include "ble/GattPlatform.h"
#include "core/CriticalSection.h"
#include "core/IntrusiveList.h"

class GattBackend;
class GattCharacteristic;
class GattDescriptor;
class GattService;

// Called on a platform thread with each changed value.
typedef void (*ValueChangedHandler)(GattCharacteristic* characteristic, unsigned length,
                                    const unsigned char* bytes, void* context);

class GattCharacteristic : public ListItem, public CharacteristicChannel {
public:
  // The largest value Write accepts.
  static constexpr unsigned MaxWriteLength = 0xFFFF;

  GattCharacteristic(GattService* parent, const BTH_LE_GATT_CHARACTERISTIC& record);
  // Unregisters a registration that is still there.
  ~GattCharacteristic() override;

  // Reads the value into value (the old one is dropped first), from the
  // device itself when forced; 1/0. Fails unless readable.
  virtual int Read(int forceFromDevice);
  // Writes the bytes (without response when the characteristic is writable
  // without response, signed when it is signed-writable); 1/0. Fails unless
  // some kind of write is allowed.
  virtual int Write(const unsigned char* bytes, unsigned length);
  // Registers the handler for value changes (none unregisters; a handler
  // registered earlier is unregistered first). Fails unless notifiable or
  // indicatable. After an unregister returns, the old handler is not
  // running and is never called again, not even by a callback the platform
  // still delivers after its own unregistration returned.
  virtual int RegisterValueChanged(ValueChangedHandler handler, void* context);

  // CharacteristicChannel
  int WriteValue(const unsigned char* bytes, unsigned length) override;
  int SetValueHandler(ChannelHandler handler, void* context) override;
  int GetDeviceAddress(unsigned char address[6]) const override;

  GattBackend* Backend() const;
  // The first descriptor whose UUID text or name equals the wanted text
  // (letter case ignored), or none.
  GattDescriptor* FindDescriptor(const wchar_t* uuidOrName) const;
  // The bytes of the last value read (none when absent) and their number.
  const unsigned char* ValueBytes() const { return value ? value->Data : nullptr; }
  unsigned ValueSize() const { return value ? value->DataSize : 0; }
  bool IsRegistered() const { return registration != nullptr; }

  void DiscoverDescriptors(HANDLE device);

  GattService* parent;
  BTH_LE_GATT_CHARACTERISTIC record;
  BTH_LE_GATT_CHARACTERISTIC_VALUE* value = nullptr;  // on the C heap; none: not read
  BLUETOOTH_GATT_EVENT_HANDLE registration = nullptr;
  ValueChangedHandler handler = nullptr;
  void* handlerContext = nullptr;
  IntrusiveList descriptors;  // of GattDescriptor

private:
  static void CALLBACK OnPlatformEvent(BTH_LE_GATT_EVENT_TYPE type, void* parameter, void* context);
  static void OnChannelValue(GattCharacteristic* characteristic, unsigned length,
                             const unsigned char* bytes, void* context);
  void Unregister();

  // Held while a handler runs and while the handler fields change.
  CriticalSection handlerLock_;
  // The context the platform calls back with: a number of the callback
  // registry, never this object's address; none while unregistered.
  void* callbackNumber_ = nullptr;
  ChannelHandler channelHandler_ = nullptr;
  void* channelContext_ = nullptr;
};
