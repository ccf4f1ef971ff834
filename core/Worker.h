// One background thread that takes operation items from a first-in-first-out
// queue and hands each to a handler, strictly one after the other.
#pragma once

#include <windows.h>

#include "core/Event.h"
#include "core/IntrusiveList.h"
#include "core/WorkerThread.h"

enum WorkerPhase { PhaseStart = 0, PhaseItem = 1, PhaseEnd = 2, PhaseIdle = 3 };

// Called on the worker thread: PhaseStart (item none; 0 ends the thread at
// once), PhaseItem for each operation (0 leaves it at the head of the queue
// until the next Post), PhaseEnd (item none) when the worker stops, and
// PhaseIdle (item none; the result is not looked at) when the limit a
// handler call set with WakeAfter ran out before anything was posted.
typedef DWORD (*WorkerHandler)(int phase, ListItem* item, void* userValue);

class Worker {
public:
  Worker() = default;
  ~Worker();  // stops
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // From the owning thread; 1 when the thread started. Items still queued
  // from a thread that ended by itself (its start phase answered 0) are run
  // by the new one.
  int Start(WorkerHandler handler, void* userValue);
  // From any thread. 1: the queue owns the item from now on. 0 (no item, or
  // the thread is not running): the item stays the caller's.
  int Post(ListItem* item);
  // As Post, but the item runs next: after the one at the head (running
  // now, or about to), before every other queued one.
  int PostFirst(ListItem* item);
  // From the handler, on the worker thread: the wait for work after this
  // handler call ends after at most the given time, with a PhaseIdle call.
  // Every handler call begins without a limit.
  void WakeAfter(DWORD milliseconds) { wakeAfter_ = milliseconds; }
  // From the owning thread, which must run a message loop: lets the running
  // operation finish, deletes the queued ones unrun, waits for the thread
  // while dispatching the caller's messages. 1 once the thread has ended;
  // harmless when repeated. 0 when it still runs after limitMs: the stop
  // stays requested, and the queue, its items and the worker stay the
  // thread's (a handler held in a call that never returns): the owner must
  // then not destroy the worker, but end the process.
  int Stop(DWORD limitMs = Event::Infinite);

private:
  static DWORD Loop(void* self, DWORD);
  DWORD Run();
  // The wait for a post: WAIT_OBJECT_0, WAIT_TIMEOUT or a failure.
  DWORD AwaitPost(DWORD timeoutMs);
  ListItem* Head();

  Event wake_;
  WorkerHandler handler_ = nullptr;
  void* userValue_ = nullptr;
  WorkerThread thread_;
  IntrusiveList queue_;
  bool queueReady_ = false;  // Init done and not yet destroyed by Stop
  DWORD wakeAfter_ = Event::Infinite;  // worker thread only
};
