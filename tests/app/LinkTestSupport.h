// Helpers for driving tracker links: byte strings, a characteristic that
// hands scripted notifications to its handler when told, a link whose
// waits can be stepped, and a message-only window.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <vector>

#include "app/TrackerHistoryGenerator.h"
#include "app/TrackerLink.h"
#include "ble/CharacteristicChannel.h"

// "00 02 8B 50" -> bytes
Bytes Hex(const char* text);
Bytes ToBytes(const ByteBuffer& buffer);
// Cuts bytes into notifications: of the given sizes (the rest last), or all
// of one size.
std::vector<Bytes> Split(const Bytes& frame, std::vector<size_t> sizes);
std::vector<Bytes> Pieces(const Bytes& frame, size_t size);

// Records writes; each write takes the next scripted answer, which Deliver
// hands to the handler on the calling thread (a test calls it from a
// link's wait, while the command is armed).
class ScriptedCharacteristic : public CharacteristicChannel {
public:
  void AddAnswer(const std::vector<Bytes>& notifications) { answers_.push_back(notifications); }
  void Deliver();
  void Notify(const std::vector<Bytes>& notifications);

  std::vector<Bytes> writes;
  int writeResult = 1;
  int unregistrations = 0;
  unsigned char address[6] = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};
  int addressKnown = 1;

  int WriteValue(const unsigned char* bytes, unsigned length) override;
  int SetValueHandler(ChannelHandler handler, void* context) override;
  int GetDeviceAddress(unsigned char out[6]) const override;

private:
  std::deque<std::vector<Bytes>> answers_;
  std::vector<Bytes> written_;  // the answer to the last write
  ChannelHandler handler_ = nullptr;
  void* context_ = nullptr;
};

// A link that counts its waits and can run steps before and after each one
// (a step sees the wait's number, from 1).
class SteppedLink : public TrackerLink {
public:
  std::function<void(int)> beforeWait;
  std::function<void(int)> afterWait;
  int waits = 0;

protected:
  int WaitForResponse(DWORD timeoutMs) override {
    ++waits;
    if (beforeWait) beforeWait(waits);
    int signalled = TrackerLink::WaitForResponse(timeoutMs);
    if (afterWait) afterWait(waits);
    return signalled;
  }
};

// A message-only window on the calling thread, for checking posts.
class MessageWindow {
public:
  MessageWindow();
  ~MessageWindow();
  HWND Handle() const { return window_; }
  // Takes one WM_TRACKER_UPDATE from the queue; 1 when there was one.
  int TakeUpdate(WPARAM& wParam, LPARAM& lParam);

private:
  HWND window_;
};
