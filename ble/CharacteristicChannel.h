// What a tracker link needs of its characteristic: write a value, and hear
// about value changes. A GATT characteristic offers it, and so does any
// device model that the simulated backend hosts.
#pragma once

// Called with each notified value, on the thread that delivers
// notifications (never the thread that wrote).
typedef void (*ChannelHandler)(unsigned length, const unsigned char* data, void* context);

class CharacteristicChannel {
public:
  virtual ~CharacteristicChannel() {}
  // 1 when the value was written.
  virtual int WriteValue(const unsigned char* bytes, unsigned length) = 0;
  // Registers the handler (none unregisters); 1 on success. After an
  // unregister returns, the handler is no longer running and is not called again.
  virtual int SetValueHandler(ChannelHandler handler, void* context) = 0;
};
