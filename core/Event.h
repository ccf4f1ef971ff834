// A system event with an alertable wait and a wait that keeps the calling
// window thread's messages flowing.
#pragma once

#include <windows.h>

class Event {
public:
  static const DWORD Infinite = 0xFFFFFFFF;

  Event();
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // name: none for a local event; global 1 puts a named event in the global
  // name space, open to everybody.
  int Create(int manualReset, int initiallySignalled, const wchar_t* name = nullptr, int global = 0);
  int Close();
  int Set();
  int Reset();
  int Wait(DWORD timeoutMs);         // 1 signalled; 0 time-out or failure
  int WaitPumping(DWORD timeoutMs);  // dispatches messages while waiting; WM_QUIT ends it with 0
  HANDLE Handle() const { return handle_; }

private:
  unsigned long long platformClass_ = 0;
  HANDLE handle_ = nullptr;
};
