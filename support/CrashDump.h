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
  // Set when no new thread could begin (the loader lock is held): nothing
  // that needs a thread of its own, such as an upload, can work then.
  bool threadsBlocked = false;
};

// Writes a MiniDumpNormal dump of this process into file (with the
// exception of the calling thread when exception is given) and collects the
// records. 1 when the dump engine answered success; 0 without a dump also
// when the dump thread could not begin within 15 s (its start waits for the
// loader lock that the calling thread holds).
int WriteCrashDump(DebugHelp& help, HANDLE file, EXCEPTION_POINTERS* exception,
                   CrashRecords& records);

// The name a thread's information block designates through its
// arbitrary-user-pointer slot (at most 99 characters), read without
// trusting the pointer.
std::string ThreadName(DebugHelp& help, HANDLE thread);
