#include "tools/fakes/ScriptedDevice.h"

#include <cstring>

ScriptedDevice::ScriptedDevice(const wchar_t* name, const unsigned char address[6]) {
  name_.Assign(name ? name : L"");
  memcpy(address_, address, sizeof address_);
  wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  idle_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  thread_ = CreateThread(nullptr, 0, &ScriptedDevice::ThreadMain, this, 0, &threadId_);
}

ScriptedDevice::~ScriptedDevice() {
  {
    SectionLock hold(stateLock_);
    stopping_ = true;
  }
  if (thread_) {
    SetEvent(wake_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (wake_) CloseHandle(wake_);
  if (idle_) CloseHandle(idle_);
}

void ScriptedDevice::SetEcho(bool echo) {
  SectionLock hold(stateLock_);
  echo_ = echo;
}

void ScriptedDevice::SetWriteResult(int result) {
  SectionLock hold(stateLock_);
  writeResult_ = result;
}

void ScriptedDevice::Notify(const Bytes& bytes) {
  {
    SectionLock hold(stateLock_);
    queue_.push_back(bytes);
    ResetEvent(idle_);
  }
  SetEvent(wake_);
}

int ScriptedDevice::WaitUntilIdle(DWORD timeoutMs) {
  return WaitForSingleObject(idle_, timeoutMs) == WAIT_OBJECT_0 ? 1 : 0;
}

std::vector<ScriptedDevice::Bytes> ScriptedDevice::Writes() const {
  SectionLock hold(stateLock_);
  return writes_;
}

bool ScriptedDevice::HasHandler() const {
  SectionLock hold(deliveryLock_);
  return handler_ != nullptr;
}

int ScriptedDevice::WriteValue(const unsigned char* bytes, unsigned length) {
  if (length != 0 && !bytes) return 0;
  Bytes written(bytes, bytes + length);
  bool echo;
  int result;
  {
    SectionLock hold(stateLock_);
    writes_.push_back(written);
    echo = echo_;
    result = writeResult_;
  }
  if (echo && result) Notify(written);
  return result;
}

int ScriptedDevice::SetValueHandler(ChannelHandler handler, void* context) {
  SectionLock hold(deliveryLock_);  // waits for a delivery in progress
  handler_ = handler;
  context_ = handler ? context : nullptr;
  return 1;
}

int ScriptedDevice::GetDeviceAddress(unsigned char address[6]) const {
  memcpy(address, address_, sizeof address_);
  return 1;
}

void ScriptedDevice::GetName(WideString& name) const { name.Assign(name_); }

DWORD WINAPI ScriptedDevice::ThreadMain(void* self) {
  static_cast<ScriptedDevice*>(self)->Run();
  return 0;
}

void ScriptedDevice::Run() {
  for (;;) {
    Bytes next;
    bool have = false;
    {
      SectionLock hold(stateLock_);
      if (stopping_) return;
      if (queue_.empty()) {
        SetEvent(idle_);
      } else {
        next = queue_.front();
        queue_.pop_front();
        have = true;
      }
    }
    if (!have) {
      WaitForSingleObject(wake_, INFINITE);
      continue;
    }
    SectionLock hold(deliveryLock_);
    if (handler_) handler_(static_cast<unsigned>(next.size()), next.data(), context_);
  }
}
