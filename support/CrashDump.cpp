#include "support/CrashDump.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "core/KernelHandle.h"
#include "core/TickCount.h"
#include "core/WorkerThread.h"

namespace {

struct DumpJob {
  DebugHelp* help;
  HANDLE file;
  MINIDUMP_EXCEPTION_INFORMATION exception;
  bool withException;
  CrashRecords records;  // handed to the caller once the dump has ended
  Event started;
};

// THREAD_BASIC_INFORMATION of ntdll.
struct ThreadBasicInformation {
  LONG exitStatus;
  void* tebBaseAddress;
  void* clientIdProcess;
  void* clientIdThread;
  ULONG_PTR affinityMask;
  LONG priority;
  LONG basePriority;
};

// Reads bytes of this process that may not be readable; 1 when all were.
int ReadOwnMemory(const void* address, void* out, SIZE_T count) {
  SIZE_T read = 0;
  return ReadProcessMemory(GetCurrentProcess(), address, out, count, &read) && read == count;
}

BOOL CALLBACK Collect(void* param, const PMINIDUMP_CALLBACK_INPUT input,
                      PMINIDUMP_CALLBACK_OUTPUT) {
  DumpJob* job = static_cast<DumpJob*>(param);
  if (!input) return TRUE;
  if (input->CallbackType == ModuleCallback) {
    const MINIDUMP_MODULE_CALLBACK& m = input->Module;
    CrashModuleRecord record;
    if (m.FullPath) record.path = m.FullPath;
    record.base = m.BaseOfImage;
    if ((record.base >> 32) == 0xFFFFFFFFull) record.base = 0;
    record.size = m.SizeOfImage;
    record.checksum = m.CheckSum;
    record.timeStamp = m.TimeDateStamp;
    record.version = m.VersionInfo;
    job->records.modules.push_back(record);
  } else if (input->CallbackType == ThreadCallback || input->CallbackType == ThreadExCallback) {
    const MINIDUMP_THREAD_CALLBACK& t = input->Thread;
    CrashThreadRecord record;
    record.id = t.ThreadId;
    record.stackBase = t.StackBase;
    record.stackEnd = t.StackEnd;
    KernelHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, t.ThreadId));
    if (thread) {
      DebugHelp::QueryThreadFn query = job->help->QueryThread();
      void* start = nullptr;
      if (query && query(thread, 9, &start, sizeof(start), nullptr) >= 0)
        record.startAddress = reinterpret_cast<ULONG_PTR>(start);
      record.name = ThreadName(*job->help, thread);
    }
    job->records.threads.push_back(record);
  }
  return TRUE;
}

DWORD DumpThread(void* argument, DWORD) {
  DumpJob* job = static_cast<DumpJob*>(argument);
  job->started.Set();
  MINIDUMP_CALLBACK_INFORMATION callback;
  callback.CallbackRoutine = Collect;
  callback.CallbackParam = job;
  return job->help->WriteDump(job->file, MiniDumpNormal,
                              job->withException ? &job->exception : nullptr, &callback)
             ? 1
             : 0;
}

}  // namespace

std::string ThreadName(DebugHelp& help, HANDLE thread) {
  std::string name;
  DebugHelp::QueryThreadFn query = help.QueryThread();
  ThreadBasicInformation basic;
  memset(&basic, 0, sizeof(basic));
  if (!query || query(thread, 0, &basic, sizeof(basic), nullptr) < 0 || !basic.tebBaseAddress)
    return name;
  const char* slot =
      static_cast<const char*>(basic.tebBaseAddress) + offsetof(NT_TIB, ArbitraryUserPointer);
  const char* text = nullptr;
  if (!ReadOwnMemory(slot, &text, sizeof(text)) || !text) return name;
  for (int i = 0; i < 99; ++i) {
    char c = 0;
    if (!ReadOwnMemory(text + i, &c, 1) || c == 0) break;
    name.push_back(c);
  }
  return name;
}

int WriteCrashDump(DebugHelp& help, HANDLE file, EXCEPTION_POINTERS* exception,
                   CrashRecords& records, DWORD startPatienceMs, DWORD finishPatienceMs) {
  if (!help.IsBound() || file == INVALID_HANDLE_VALUE) return 0;
  // On the heap: a dump thread that does not end in time is ended wherever
  // it stands, and what it was filling is never touched again.
  DumpJob* job = new (std::nothrow) DumpJob;
  if (!job) return 0;
  job->help = &help;
  job->file = file;
  job->exception.ThreadId = GetCurrentThreadId();
  job->exception.ExceptionPointers = exception;
  job->exception.ClientPointers = FALSE;
  job->withException = exception != nullptr;
  WorkerThread thread;
  if (!job->started.Create(Event::ManualReset, Event::StartsUnsignalled) || !thread.Start(DumpThread, job, 0)) {
    delete job;
    return 0;
  }
  // Until the thread runs the dump nothing of it can be lost: one stuck in
  // its start is ended by the thread object (it holds no lock yet).
  if (!job->started.WaitAnsweringSent(startPatienceMs) && !job->started.Wait(0)) {
    records.threadsBlocked = true;
    return 0;  // the job stays: the thread is ended only when thread goes
  }
  const unsigned long long deadline = TickCount64() + finishPatienceMs;
  if (!thread.JoinPumping(finishPatienceMs) && !thread.HasEnded()) {
    // A WM_QUIT ends a pumping wait early: the rest without messages.
    unsigned long long now = TickCount64();
    if (now < deadline) thread.Join(static_cast<DWORD>(deadline - now));
  }
  DWORD result = 0;
  if (!thread.HasEnded(&result)) {
    // It waits on something the faulting thread holds, which a thread of
    // the upload would wait on for ever too.
    records.threadsBlocked = true;
    return 0;  // the job stays
  }
  records.modules.swap(job->records.modules);
  records.threads.swap(job->records.threads);
  delete job;
  return result ? 1 : 0;
}
