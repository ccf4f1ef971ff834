#include "support/CrashReportText.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include "core/DateTime.h"
#include "core/WideString.h"

namespace {

struct ExceptionText {
  DWORD code;
  const char* name;
};

const ExceptionText kExceptionNames[] = {
    {0x40010005, "Control-C"},
    {0x40010008, "Control-Break"},
    {0x80000002, "Datatype Misalignment"},
    {0x80000003, "Breakpoint"},
    {0xC0000005, "Access Violation"},
    {0xC0000006, "In Page Error"},
    {0xC0000017, "No Memory"},
    {0xC000001D, "Illegal Instruction"},
    {0xC0000025, "Noncontinuable Exception"},
    {0xC0000026, "Invalid Disposition"},
    {0xC000008C, "Array Bounds Exceeded"},
    {0xC000008D, "Float Denormal Operand"},
    {0xC000008E, "Float Divide by Zero"},
    {0xC000008F, "Float Inexact Result"},
    {0xC0000090, "Float Invalid Operation"},
    {0xC0000091, "Float Overflow"},
    {0xC0000092, "Float Stack Check"},
    {0xC0000093, "Float Underflow"},
    {0xC0000094, "Integer Divide by Zero"},
    {0xC0000095, "Integer Overflow"},
    {0xC0000096, "Privileged Instruction"},
    {0xC00000FD, "Stack Overflow"},
    {0xC0000142, "DLL Initialization Failed"},
    {0xE06D7363, "Microsoft C++ Exception"},
};

// Writes one line, formatted with the C runtime's wide printf and written
// in the ANSI code page in one call.
class ReportFile {
public:
  explicit ReportFile(HANDLE file) : file_(file) {}
  void Line(const wchar_t* format, ...) {
    WideString text;
    va_list args;
    va_start(args, format);
    text.FormatV(format, args);
    va_end(args);
    Raw(text.ToNarrow());
  }
  void Raw(const char* bytes) {
    if (!bytes) {
      ok_ = false;
      return;
    }
    DWORD length = static_cast<DWORD>(strlen(bytes)), written = 0;
    if (length && (!WriteFile(file_, bytes, length, &written, nullptr) || written != length))
      ok_ = false;
  }
  bool Ok() const { return ok_; }

private:
  HANDLE file_;
  bool ok_ = true;
};

void Registers(ReportFile& out, const CONTEXT& c) {
#if defined(_WIN64)
  out.Line(L"\r\nRAX=0x%016I64X, CS=0x%04X, RIP=0x%016I64X, Flags=0x%08X\r\n", c.Rax, c.SegCs,
           c.Rip, c.EFlags);
  out.Line(L"RBX=0x%016I64X, SS=0x%04X, RSP=0x%016I64X, RBP=0x%016I64X\r\n", c.Rbx, c.SegSs,
           c.Rsp, c.Rbp);
  out.Line(L"RCX=0x%016I64X, DS=0x%04X, RSI=0x%016I64X, FS=0x%04X\r\n", c.Rcx, c.SegDs, c.Rsi,
           c.SegFs);
  out.Line(L"RDX=0x%016I64X, ES=0x%04X, RDI=0x%016I64X, GS=0x%04X\r\n", c.Rdx, c.SegEs, c.Rdi,
           c.SegGs);
#else
  out.Line(L"\r\nEAX=0x%08X, CS=0x%04X, EIP=0x%08X, Flags=0x%08X\r\n", c.Eax, c.SegCs, c.Eip,
           c.EFlags);
  out.Line(L"EBX=0x%08X, SS=0x%04X, ESP=0x%08X, EBP=0x%08X\r\n", c.Ebx, c.SegSs, c.Esp, c.Ebp);
  out.Line(L"ECX=0x%08X, DS=0x%04X, ESI=0x%08X, FS=0x%04X\r\n", c.Ecx, c.SegDs, c.Esi, c.SegFs);
  out.Line(L"EDX=0x%08X, ES=0x%04X, EDI=0x%08X, GS=0x%04X\r\n", c.Edx, c.SegEs, c.Edi, c.SegGs);
#endif
}

// The module's fixed version record; read from its file when the dump
// engine left it out. Zeros when the file has no version resource.
VS_FIXEDFILEINFO ModuleVersionRecord(const CrashModuleRecord& m) {
  if (m.version.dwSignature == VS_FFI_SIGNATURE) return m.version;
  VS_FIXEDFILEINFO result = {};
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(m.path.c_str(), &handle);
  if (!size) return result;
  std::string block(size, '\0');
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (GetFileVersionInfoW(m.path.c_str(), 0, size, &block[0]) &&
      VerQueryValueW(&block[0], L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed &&
      length >= sizeof(VS_FIXEDFILEINFO))
    result = *fixed;
  return result;
}

void Modules(ReportFile& out, CrashRecords& records) {
  if (records.modules.empty()) return;
  out.Raw("\r\nModuleList:\r\n");
  out.Raw("    Size TimeStamp                      CheckSum   ImageBase  Versions\r\n");
  for (const CrashModuleRecord& m : records.modules) {
    // The link time in local time by the rules of its own date.
    SYSTEMTIME t = {};
    LocalFromUnixTime(t, m.timeStamp);
    WideString date, time;
    date.Format(L"%2u.%02u.%04u", t.wDay, t.wMonth, t.wYear);
    time.Format(L"%2u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
    const VS_FIXEDFILEINFO v = ModuleVersionRecord(m);
    out.Line(L"%8u 0x%08X %10.10s %8.8s 0x%08X 0x%08I64X %4d.%04d.%05d.%06d "
             L"%4d.%04d.%05d.%06d - %s\r\n",
             m.size, m.timeStamp, date.CStr(), time.CStr(), m.checksum, m.base,
             HIWORD(v.dwFileVersionMS), LOWORD(v.dwFileVersionMS), HIWORD(v.dwFileVersionLS),
             LOWORD(v.dwFileVersionLS), HIWORD(v.dwProductVersionMS),
             LOWORD(v.dwProductVersionMS), HIWORD(v.dwProductVersionLS),
             LOWORD(v.dwProductVersionLS), m.path.c_str());
  }
  records.modules.clear();
}

void Threads(ReportFile& out, CrashRecords& records, const DebugHelp& help, bool nt) {
  if (records.threads.empty()) return;
  out.Raw("\r\nThreadList:\r\n");
  out.Raw("Id         StackBase  StackEnd   StartAddress\r\n");
  for (const CrashThreadRecord& t : records.threads) {
    std::string symbol;
    if (t.startAddress) help.SymbolText(t.startAddress, symbol, nullptr);
    out.Line(nt ? L"%-8u   0x%08I64X 0x%08I64X 0x%08I64X %hs %hs\r\n"
                : L"0x%08X 0x%08I64X 0x%08I64X 0x%08I64X %hs %hs\r\n",
             t.id, t.stackBase, t.stackEnd, t.startAddress, symbol.c_str(), t.name.c_str());
  }
  records.threads.clear();
}

}  // namespace

const char* ExceptionName(DWORD code) {
  for (const ExceptionText& e : kExceptionNames)
    if (e.code == code) return e.name;
  return "Exception";
}

int WriteCrashText(HANDLE file, EXCEPTION_POINTERS* exception, const DebugHelp& help,
                   LogWriter& log, CrashRecords& records, SystemInfo& system) {
  ReportFile out(file);
  OSVERSIONINFOEXW version;
  memset(&version, 0, sizeof(version));
  int haveVersion = system.VersionRecord(version);
  bool nt = !haveVersion || version.dwPlatformId == VER_PLATFORM_WIN32_NT;

  const EXCEPTION_RECORD* record = exception ? exception->ExceptionRecord : nullptr;
  if (record) {
    ULONGLONG address = reinterpret_cast<ULONG_PTR>(record->ExceptionAddress);
    out.Line(nt ? L"%hs [0x%08X] at 0x%08I64X in Thread %u.\r\n"
                : L"%hs [0x%08X] at 0x%08I64X in Thread 0x%08X.\r\n",
             ExceptionName(record->ExceptionCode), record->ExceptionCode, address,
             GetCurrentThreadId());
    if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2)
      out.Line(L"%hs location 0x%08I64X.\r\n",
               record->ExceptionInformation[0] ? "Write to" : "Read from",
               static_cast<ULONGLONG>(record->ExceptionInformation[1]));
  }
  if (exception && exception->ContextRecord) Registers(out, *exception->ContextRecord);

  for (unsigned i = 0;; ++i) {
    WideString name, vendor, identifier;
    DWORD megahertz = 0;
    if (!system.CpuInfo(i, name, vendor, identifier, megahertz, 0)) break;
    name.Trim();
    out.Line(L"\r\n%s %s %s %u Mhz", name.CStr(), vendor.CStr(), identifier.CStr(), megahertz);
  }

  WideString osName;
  system.OsName(osName);
  out.Line(L"\r\n%s [%u.%u] Build %u %s\r\n", osName.CStr(), version.dwMajorVersion,
           version.dwMinorVersion, nt ? version.dwBuildNumber : (version.dwBuildNumber & 0xFFFF),
           version.szCSDVersion);
  WideString environment(system.IsWow64() ? L"x86 WOW64" : L"x86");
#if defined(_WIN64)
  environment.Assign(L"x64");
#endif
  environment.Append(L" Unicode");
  if (system.IsWine()) environment.Append(L" Wine");
  if (system.IsReactOS()) environment.Append(L" ReactOS");
  environment.Append(L"\r\n");
  out.Line(L"%s", environment.CStr());

  if (exception && exception->ContextRecord && help.IsBound()) {
    out.Raw("\r\nStack:\r\n");
    std::string stack;
    help.StackTrace(exception->ContextRecord, stack);
    out.Raw(stack.c_str());
  }

  WideString logText;
  log.MemoryText(logText);
  if (!logText.IsEmpty()) {
    out.Raw("\r\nLog:\r\n");
    out.Line(L"%s", logText.CStr());
  }
  Modules(out, records);
  Threads(out, records, help, nt);
  return out.Ok() ? 1 : 0;
}
