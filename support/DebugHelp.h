// The debug-help library (dbghelp.dll) bound at run time for the crash
// report: the minidump writer, symbol lookup and the stack walk; and
// NtQueryInformationThread of ntdll.dll (optional) for thread start
// addresses and information blocks. Bind initialises the symbol handler
// with a search path of the program's folder and the symbol path variables;
// any missing dbghelp function or a failing SymInitialize leaves it unbound.
//
// On a 64-bit build the walk uses the AMD64 machine type and starts from
// RIP, RBP and RSP; on a 32-bit build the I386 type from EIP, EBP and ESP.
#pragma once

#include <windows.h>
#include <dbghelp.h>

#include <string>

#include "core/ApiGroup.h"
#include "core/LibraryHandle.h"

class DebugHelp {
public:
  DebugHelp();
  ~DebugHelp() { Unbind(); }
  DebugHelp(const DebugHelp&) = delete;
  DebugHelp& operator=(const DebugHelp&) = delete;

  // 1 when the library is bound and the symbol handler initialised.
  int Bind(const wchar_t* programFolder);
  void Unbind();
  bool IsBound() const { return bound_; }

  BOOL WriteDump(HANDLE file, DWORD type, MINIDUMP_EXCEPTION_INFORMATION* exception,
                 MINIDUMP_CALLBACK_INFORMATION* callback) const;

  // The symbol text of an address (name with " - Offset: 0x..", or
  // module@offset, or base@offset, or the address); module gets the name
  // of its module ("" when none).
  void SymbolText(DWORD64 address, std::string& text, std::string* module) const;
  // One line per frame of the walk from the context (a copy is walked).
  void StackTrace(const CONTEXT* context, std::string& out) const;

  // NtQueryInformationThread; none when ntdll lacks it.
  typedef LONG(WINAPI* QueryThreadFn)(HANDLE, int, void*, ULONG, ULONG*);
  QueryThreadFn QueryThread() const { return queryThread_; }

private:
  enum Slot {
    SlotMiniDumpWriteDump, SlotSymInitialize, SlotSymSetOptions, SlotSymGetSymFromAddr64,
    SlotSymFromAddr, SlotSymGetModuleInfo64, SlotStackWalk64, SlotSymFunctionTableAccess64,
    SlotSymGetModuleBase64, SlotSymGetLineFromAddr64, SlotCount
  };
  static const ApiFunction kFunctions[SlotCount];
  template <class Fn>
  Fn Api(unsigned slot) const {
    return binding_.Function<Fn>(slot);
  }

  ApiGroup binding_;
  LibraryHandle ntdll_;
  QueryThreadFn queryThread_ = nullptr;
  bool bound_ = false;
};
