#include "core/WorkerThread.h"

#include "core/KernelHandle.h"

WorkerThread::~WorkerThread() {
  if (Flags() & Running) {
    KernelHandle thread(InterlockedExchangePointer(const_cast<PVOID volatile*>(&thread_), nullptr));
    if (thread) {
      TerminateThread(thread, 0);
      WaitForSingleObject(thread, INFINITE);  // termination completes asynchronously
      InterlockedAnd(&flags_, ~Running);
      result_ = 0;
    } else {
      finished_.Wait(Event::Infinite);  // it took its handle: it is ending by itself
    }
  } else {
    AwaitFinalActs();
  }
  finished_.Close();
}

LONG WorkerThread::Flags() const {
  return InterlockedCompareExchange(const_cast<volatile LONG*>(&flags_), 0, 0);
}

void WorkerThread::AwaitFinalActs() {
  if (finished_.Handle()) finished_.Wait(Event::Infinite);
}

int WorkerThread::Start(ThreadRoutine routine, void* argument, DWORD secondArgument) {
  if (Flags() & Running) return 0;
  AwaitFinalActs();  // a previous run must be fully over before its event is replaced
  InterlockedExchange(&flags_, Running);
  routine_ = routine;
  argument_ = argument;
  secondArgument_ = secondArgument;
  result_ = 0;
  if (!routine || !finished_.Create(Event::ManualReset, Event::StartsUnsignalled)) {
    InterlockedExchange(&flags_, 0);
    return 0;
  }
  // Created suspended so that the handle is stored before the thread can
  // reach its end and take it.
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, Entry, this, CREATE_SUSPENDED, &id);
  if (!thread) {
    InterlockedExchange(&flags_, 0);
    finished_.Close();
    return 0;
  }
  threadId_ = id;
  InterlockedExchangePointer(const_cast<PVOID volatile*>(&thread_), thread);
  ResumeThread(thread);
  return 1;
}

DWORD WINAPI WorkerThread::Entry(void* parameter) {
  WorkerThread* self = static_cast<WorkerThread*>(parameter);
  DWORD result = self->routine_(self->argument_, self->secondArgument_);
  KernelHandle thread(InterlockedExchangePointer(const_cast<PVOID volatile*>(&self->thread_), nullptr));
  // The result goes first: whoever sees the thread no longer running must
  // also see what it returned.
  self->result_ = result;
  InterlockedAnd(&self->flags_, ~Running);
  self->finished_.Set();  // the last touch of the object
  return result;
}

int WorkerThread::RequestStop() {
  if (!(Flags() & Running)) return 0;
  InterlockedOr(&flags_, StopRequestedFlag);
  return 1;
}

int WorkerThread::StopRequested() const {
  LONG flags = Flags();
  return (flags & Running) && (flags & StopRequestedFlag) ? 1 : 0;
}

int WorkerThread::HasEnded(DWORD* result) const {
  if (Flags() & Running) return 0;
  if (result) *result = result_;
  return 1;
}

int WorkerThread::JoinPumping(DWORD timeoutMs) {
  if (!(Flags() & Running)) {
    AwaitFinalActs();
    return 0;
  }
  if (timeoutMs == 0) timeoutMs = Event::Infinite;
  const ULONGLONG start = GetTickCount64();
  if (finished_.WaitPumping(timeoutMs)) return 1;
  // WM_QUIT (or a failed wait) may have ended the pumping early while the
  // thread still runs; the caller must not go on as if it had ended, nor
  // give up before its time.
  if (timeoutMs == Event::Infinite) return finished_.WaitAnsweringSent(Event::Infinite);
  const ULONGLONG spent = GetTickCount64() - start;
  if (spent >= timeoutMs) return 0;
  return finished_.WaitAnsweringSent(static_cast<DWORD>(timeoutMs - spent));
}

int WorkerThread::Join(DWORD timeoutMs) {
  if (!(Flags() & Running)) {
    AwaitFinalActs();
    return 0;
  }
  return finished_.Wait(timeoutMs == 0 ? Event::Infinite : timeoutMs);
}
