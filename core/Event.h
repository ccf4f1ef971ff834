// A system event with an alertable wait and a wait that keeps the calling
// window thread's messages flowing.
#pragma once

#include <windows.h>

class Event {
public:
  static constexpr DWORD Infinite = 0xFFFFFFFF;
  // A millisecond clock for WaitPumping's deadline.
  typedef unsigned long long (*ClockFn)();

  Event();
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Create's first two arguments, by name.
  enum ResetMode { AutoReset = 0, ManualReset = 1 };
  enum StartState { StartsUnsignalled = 0, StartsSignalled = 1 };

  // manualReset: ResetMode; initiallySignalled: StartState. name: none for
  // a local event; global 1 puts a named event in the global name space,
  // open to everybody.
  int Create(int manualReset, int initiallySignalled, const wchar_t* name = nullptr, int global = 0);
  int Close();
  int Set();
  int Reset();
  // 1 signalled; 0 time-out or failure. An I/O completion routine or APC run
  // during the wait restarts it.
  int Wait(DWORD timeoutMs);
  // Dispatches the thread's messages while waiting; 1 signalled, 0 on
  // time-out, failure or WM_QUIT (which is posted again for the caller's own
  // message loop).
  int WaitPumping(DWORD timeoutMs);
  // The same, with the deadline kept on the given clock (TickCount64 above).
  int WaitPumping(DWORD timeoutMs, ClockFn clock);
  // Answers messages that other threads send to this thread's windows while
  // waiting, but leaves every posted message (WM_QUIT included) in the queue.
  // 1 signalled; 0 on time-out or failure.
  int WaitAnsweringSent(DWORD timeoutMs);
  HANDLE Handle() const { return handle_; }

private:
  unsigned long long platformClass_ = 0;
  HANDLE handle_ = nullptr;
};
