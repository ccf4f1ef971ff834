// What a tracker link needs of its characteristic: write a value, and hear
// about value changes. A GATT characteristic offers it, and so does any
// device model that the simulated backend hosts.
#pragma once

// Called with each notified value, on the thread that delivers
// notifications (never inside the WriteValue call that caused it).
typedef void (*ChannelHandler)(unsigned length, const unsigned char* data, void* context);

class CharacteristicChannel {
public:
  virtual ~CharacteristicChannel() {}
  // 1 when the value was written.
  virtual int WriteValue(const unsigned char* bytes, unsigned length) = 0;
  // Registers the handler (none unregisters); 1 on success. After an
  // unregister returns, the handler is not running and is not called again.
  virtual int SetValueHandler(ChannelHandler handler, void* context) = 0;
  // The 6 address bytes of the device the characteristic belongs to, in
  // stored order; 1 when known.
  virtual int GetDeviceAddress(unsigned char address[6]) const = 0;
};
