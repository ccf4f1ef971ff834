// A device model for GATT tests: it records what is written to it, echoes
// each write back as a notification when told to, sends notifications the
// test queues, and delivers them on a thread of its own as a peripheral
// does.
#pragma once

#include <windows.h>

#include <deque>
#include <vector>

#include "ble/DeviceModel.h"
#include "core/CriticalSection.h"
#include "core/WideString.h"

class ScriptedDevice : public DeviceModel {
public:
  typedef std::vector<unsigned char> Bytes;

  ScriptedDevice(const wchar_t* name, const unsigned char address[6]);
  // Stops the delivery thread; not to be called from inside its handler.
  ~ScriptedDevice() override;
  ScriptedDevice(const ScriptedDevice&) = delete;
  ScriptedDevice& operator=(const ScriptedDevice&) = delete;

  // Each write is answered with a notification of the same bytes.
  void SetEcho(bool echo);
  // What WriteValue reports (1 by default).
  void SetWriteResult(int result);
  // Queues a notification.
  void Notify(const Bytes& bytes);
  // 1 when nothing is queued and no delivery runs, within the time-out.
  int WaitUntilIdle(DWORD timeoutMs);

  std::vector<Bytes> Writes() const;
  DWORD DeliveryThreadId() const { return threadId_; }
  bool HasHandler() const;

  // CharacteristicChannel
  int WriteValue(const unsigned char* bytes, unsigned length) override;
  int SetValueHandler(ChannelHandler handler, void* context) override;
  int GetDeviceAddress(unsigned char address[6]) const override;
  // DeviceModel
  void GetName(WideString& name) const override;

private:
  static DWORD WINAPI ThreadMain(void* self);
  void Run();

  WideString name_;
  unsigned char address_[6];

  mutable CriticalSection stateLock_;  // queue, writes, settings
  std::deque<Bytes> queue_;
  std::vector<Bytes> writes_;
  bool echo_ = false;
  int writeResult_ = 1;
  bool stopping_ = false;

  mutable CriticalSection deliveryLock_;  // held while the handler runs
  ChannelHandler handler_ = nullptr;
  void* context_ = nullptr;

  HANDLE wake_ = nullptr;  // auto-reset
  HANDLE idle_ = nullptr;  // manual-reset: set while nothing is queued or delivered
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
};
