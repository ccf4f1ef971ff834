// A program that crashes on purpose under the crash reporter, for the crash
// report tests. It carries the program's own resources (version block, icon
// 101, manifest) and is copied to a test folder as Pellton.exe.
//   CrashHelper <write|read|second|loaderlock|heaplock> <report host or -> <port>
// write: writes to address 0; read: reads address 0; second: writes to
// address 0 and, once the problem report dialog shows, a second thread
// reads address 0x20; loaderlock (heaplock): writes to address 0 holding the loader lock (C runtime's heap).
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <malloc.h>

#include "support/CrashReporter.h"

namespace {

volatile uintptr_t g_zero = 0;  // not known to the compiler as 0
int g_sink = 0;

BOOL CALLBACK FindReportDialog(HWND window, LPARAM data) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  if (pid == GetCurrentProcessId() && IsWindowVisible(window) && wcscmp(title, L"Pellton") == 0) {
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
  }
  return TRUE;
}

HWND ReportDialog() {
  HWND found = nullptr;
  EnumWindows(FindReportDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

DWORD WINAPI SecondCrash(void*) {
  while (!ReportDialog()) Sleep(20);  // the report is being made: crash again
  g_sink = *reinterpret_cast<volatile int*>(g_zero + 0x20);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  static CrashReporter reporter;
  if (argc < 4) return 2;
  const wchar_t* mode = argv[1];
  const wchar_t* host = wcscmp(argv[2], L"-") == 0 ? L"" : argv[2];
  reporter.ConfigureReport(101, host, L"/services/tindle/report.php");
  reporter.SetReportPort(static_cast<unsigned>(_wtoi(argv[3])));
  reporter.Log().WriteLine(L"crash helper in mode %s", mode);
  if (wcscmp(mode, L"second") == 0) {
    HANDLE thread = CreateThread(nullptr, 0, SecondCrash, nullptr, 0, nullptr);
    if (thread) CloseHandle(thread);
  }
  if (wcscmp(mode, L"loaderlock") == 0) {
    // Fails while holding the loader lock, as a crash inside a DLL entry
    // does: no new thread can begin until this one lets it go.
    typedef LONG(NTAPI * LockFn)(ULONG, ULONG*, ULONG_PTR*);
    LockFn lock = reinterpret_cast<LockFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "LdrLockLoaderLock")));
    ULONG_PTR cookie = 0;
    if (!lock || lock(0, nullptr, &cookie) < 0) return 4;
  }
  if (wcscmp(mode, L"heaplock") == 0) {
    // As a crash inside malloc: the dump thread begins, but never ends.
    HeapLock(reinterpret_cast<HANDLE>(_get_heap_handle()));
    reporter.SetDumpPatience(CrashDumpStartPatienceMs, 2000);
  }
  if (wcscmp(mode, L"read") == 0)
    g_sink = *reinterpret_cast<volatile int*>(g_zero);
  else
    *reinterpret_cast<volatile int*>(g_zero) = 1;
  return 3;  // not reached
}
