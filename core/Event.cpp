#include "core/Event.h"

#include <cstdlib>

#include "core/SecurityApi.h"
#include "core/TickCount.h"
#include "core/WideString.h"

namespace {

const unsigned long long PlatformNt = 0x1;
const unsigned long long PlatformNt4 = 0x2;

unsigned long long ReadPlatformClass() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExW(&version)) return 0;
  unsigned long long platform = 0;
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    platform |= PlatformNt;
    if (version.dwMajorVersion == 4) platform |= PlatformNt4;
  }
  return platform;
}

// Consumes the signal of an auto-reset event, as a wait that ends on it does.
bool Signalled(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

}  // namespace

Event::Event() : platformClass_(ReadPlatformClass()) {}

Event::~Event() { Close(); }

int Event::Create(int manualReset, int initiallySignalled, const wchar_t* name, int global) {
  Close();
  SECURITY_ATTRIBUTES attributes = {};
  SECURITY_ATTRIBUTES* useAttributes = nullptr;
  WideString globalName;
  if (name && global == 1 && (platformClass_ & PlatformNt) && !(platformClass_ & PlatformNt4)) {
    SecurityApi security;
    if (security.MakeAttributes(nullptr, &attributes, FALSE) && globalName.Format(L"Global\\%s", name)) {
      useAttributes = &attributes;
      name = globalName.CStr();
    }
  }
  handle_ = CreateEventW(useAttributes, manualReset ? TRUE : FALSE, initiallySignalled ? TRUE : FALSE,
                         name);
  free(attributes.lpSecurityDescriptor);
  return handle_ ? 1 : 0;
}

int Event::Close() {
  if (!handle_) return 0;
  CloseHandle(handle_);
  handle_ = nullptr;
  return 1;
}

int Event::Set() { return handle_ && SetEvent(handle_) ? 1 : 0; }

int Event::Reset() { return handle_ && ResetEvent(handle_) ? 1 : 0; }

int Event::Wait(DWORD timeoutMs) {
  if (!handle_) return 0;
  for (;;) {
    DWORD result = WaitForMultipleObjectsEx(1, &handle_, FALSE, timeoutMs, TRUE);
    if (result == WAIT_IO_COMPLETION) continue;  // an APC ran: wait again, full time-out
    return result == WAIT_OBJECT_0 ? 1 : 0;
  }
}

int Event::WaitPumping(DWORD timeoutMs) { return WaitPumping(timeoutMs, &TickCount64); }

int Event::WaitPumping(DWORD timeoutMs, ClockFn clock) {
  if (!handle_) return 0;
  if (!clock) clock = &TickCount64;
  const bool timed = timeoutMs != Infinite;
  const unsigned long long deadline = clock() + timeoutMs;
  for (;;) {
    // The deadline and the event are checked after every message, not only
    // once the queue is empty: a queue that never empties must neither keep
    // a bounded wait waiting nor hide an event that was set.
    unsigned long long now = 0;
    MSG message;
    for (;;) {
      if (timed) {
        now = clock();
        if (now > deadline) return Signalled(handle_) ? 1 : 0;
      }
      if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) break;
      if (message.message == WM_QUIT) {
        // The caller's own message loop must still see it.
        PostQuitMessage(static_cast<int>(message.wParam));
        return 0;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
      if (Signalled(handle_)) return 1;
    }
    DWORD passTimeout = timed ? static_cast<DWORD>(deadline - now) : INFINITE;
    DWORD result = MsgWaitForMultipleObjects(1, &handle_, FALSE, passTimeout,
                                             QS_ALLINPUT | QS_ALLPOSTMESSAGE);
    if (result == WAIT_OBJECT_0) return 1;
    if (result != WAIT_OBJECT_0 + 1) return Signalled(handle_) ? 1 : 0;
  }
}

int Event::WaitAnsweringSent(DWORD timeoutMs) {
  if (!handle_) return 0;
  const unsigned long long deadline = TickCount64() + timeoutMs;
  for (;;) {
    DWORD passTimeout = INFINITE;
    if (timeoutMs != Infinite) {
      unsigned long long now = TickCount64();
      if (now > deadline) return 0;
      passTimeout = static_cast<DWORD>(deadline - now);
    }
    // Peeking delivers pending sent messages; the filter returns no posted one.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    DWORD result = MsgWaitForMultipleObjects(1, &handle_, FALSE, passTimeout, QS_SENDMESSAGE);
    if (result == WAIT_OBJECT_0) return 1;
    if (result != WAIT_OBJECT_0 + 1) return 0;
  }
}
