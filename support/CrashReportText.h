// The readable crash report: the exception and its registers, the
// processors, the system, the stack walk, the program's log, the modules and
// the threads, written as ANSI text with "\r\n" line ends.
//
// The exception address, the access violation's location and the thread
// start addresses are printed with at least eight hexadecimal digits and as
// many more as the value needs, so 64-bit values are never cut. A 64-bit
// build prints RAX...RIP (sixteen digits each) in the places of the 32-bit
// build's EAX...EIP.
#pragma once

#include <windows.h>

#include "core/LogWriter.h"
#include "support/CrashDump.h"
#include "support/DebugHelp.h"
#include "support/SystemInfo.h"

// "Access Violation" and the like; "Exception" for an unknown code.
const char* ExceptionName(DWORD code);

// Writes the whole report to the file; the records are emptied as they are
// printed. help may be unbound (no stack section). 1 when every write
// succeeded.
int WriteCrashText(HANDLE file, EXCEPTION_POINTERS* exception, const DebugHelp& help,
                   LogWriter& log, CrashRecords& records, SystemInfo& system);
