// A thread object: runs one routine on a new thread and tells when it has
// ended. The routine polls StopRequested to end early.
#pragma once

#include <windows.h>

#include "core/Event.h"

typedef DWORD (*ThreadRoutine)(void* argument, DWORD secondArgument);

class WorkerThread {
public:
  static constexpr LONG Running = 0x1;
  static constexpr LONG StopRequestedFlag = 0x2;

  WorkerThread() = default;
  // Ends a thread that still runs (TerminateThread): its owner should have
  // joined it.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // 0 when already running or the thread cannot be created.
  int Start(ThreadRoutine routine, void* argument, DWORD secondArgument);
  int RequestStop();          // 1 if it was running
  int StopRequested() const;  // the stop flag while running, else 0
  // 1 when the thread is not running, with the routine's result.
  int HasEnded(DWORD* result = nullptr) const;
  // Wait for the end (time-out 0: none), dispatching the caller's messages.
  // A WM_QUIT met during the join does not cut it short: it stays queued for
  // the caller's loop, and the join goes on, for the rest of its time,
  // answering only messages sent by other threads. 1 when the thread has
  // ended; 0 when it was not running or the time-out passed.
  int JoinPumping(DWORD timeoutMs);
  int Join(DWORD timeoutMs);  // the same without messages
  DWORD ThreadId() const { return threadId_; }

private:
  static DWORD WINAPI Entry(void* self);
  LONG Flags() const;
  // After the running flag is cleared the thread still sets the finished
  // event; nothing that event belongs to may go before that.
  void AwaitFinalActs();

  void* argument_ = nullptr;
  DWORD secondArgument_ = 0;
  volatile DWORD result_ = 0;
  volatile LONG flags_ = 0;
  ThreadRoutine routine_ = nullptr;
  Event finished_;
  HANDLE volatile thread_ = nullptr;
  DWORD threadId_ = 0;
};
