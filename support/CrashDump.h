// The minidump of the crash report and what is collected while it is
// written: one record per module and per thread, in the order the dump
// engine reports them. The dump is written by a separate thread while the
// faulting thread waits answering messages, so the engine sees the faulting
// thread from outside.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/DebugHelp.h"

struct CrashModuleRecord {
  std::wstring path;
  DWORD64 base = 0;  // a high half of 0xFFFFFFFF is stored as 0
  DWORD size = 0;
  DWORD checksum = 0;
  DWORD timeStamp = 0;  // link time, seconds since 1970
  VS_FIXEDFILEINFO version = {};
};

struct CrashThreadRecord {
  DWORD id = 0;
  DWORD64 stackBase = 0;
  DWORD64 stackEnd = 0;
  std::string name;  // at most 99 characters; "" when the thread has none
  DWORD64 startAddress = 0;  // 0 when unknown
};

struct CrashRecords {
  std::vector<CrashModuleRecord> modules;
  std::vector<CrashThreadRecord> threads;
  // Set when no new thread could begin (the loader lock is held) or the
  // dump thread was given up (it waits on a lock the faulting thread holds):
  // nothing that needs a thread of its own, such as an upload, can work then.
  bool threadsBlocked = false;
};

// How long the dump thread may take to begin, and then to write the dump.
// A thread that cannot even begin waits for the loader lock, which the
// faulting thread holds when it failed inside a DLL entry or while loading
// a library; a dump that does not end waits for something else the faulting
// thread holds, such as a heap lock. Either way no dump is written rather
// than the report, and the program's end, waiting for ever.
const DWORD CrashDumpStartPatienceMs = 15000;
const DWORD CrashDumpFinishPatienceMs = 30000;

// Writes a MiniDumpNormal dump of this process into file (with the
// exception of the calling thread when exception is given) and collects the
// records. 1 when the dump engine answered success in time; 0 without a
// dump (and without records) otherwise. A dump thread that did not end in
// time is ended.
int WriteCrashDump(DebugHelp& help, HANDLE file, EXCEPTION_POINTERS* exception,
                   CrashRecords& records, DWORD startPatienceMs = CrashDumpStartPatienceMs,
                   DWORD finishPatienceMs = CrashDumpFinishPatienceMs);

// The name a thread's information block designates through its
// arbitrary-user-pointer slot (at most 99 characters), read without
// trusting the pointer.
std::string ThreadName(DebugHelp& help, HANDLE thread);
