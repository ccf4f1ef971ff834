#include "support/DebugHelp.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "core/WideString.h"

const ApiFunction DebugHelp::kFunctions[SlotCount] = {
    {"MiniDumpWriteDump", 1},    {"SymInitialize", 1},
    {"SymSetOptions", 1},        {"SymGetSymFromAddr64", 1},
    {"SymFromAddr", 1},          {"SymGetModuleInfo64", 1},
    {"StackWalk64", 1},          {"SymFunctionTableAccess64", 1},
    {"SymGetModuleBase64", 1},   {"SymGetLineFromAddr64", 1},
};

namespace {

typedef BOOL(WINAPI* MiniDumpWriteDumpFn)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                          PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION,
                                          PMINIDUMP_CALLBACK_INFORMATION);
typedef BOOL(WINAPI* SymInitializeFn)(HANDLE, PCSTR, BOOL);
typedef DWORD(WINAPI* SymSetOptionsFn)(DWORD);
typedef BOOL(WINAPI* SymGetSymFromAddr64Fn)(HANDLE, DWORD64, PDWORD64, PIMAGEHLP_SYMBOL64);
typedef BOOL(WINAPI* SymFromAddrFn)(HANDLE, DWORD64, PDWORD64, PSYMBOL_INFO);
typedef BOOL(WINAPI* SymGetModuleInfo64Fn)(HANDLE, DWORD64, PIMAGEHLP_MODULE64);
typedef BOOL(WINAPI* StackWalk64Fn)(DWORD, HANDLE, HANDLE, LPSTACKFRAME64, PVOID,
                                    PREAD_PROCESS_MEMORY_ROUTINE64,
                                    PFUNCTION_TABLE_ACCESS_ROUTINE64,
                                    PGET_MODULE_BASE_ROUTINE64, PTRANSLATE_ADDRESS_ROUTINE64);
typedef BOOL(WINAPI* SymGetLineFromAddr64Fn)(HANDLE, DWORD64, PDWORD, PIMAGEHLP_LINE64);

void AppendVariable(const wchar_t* name, WideString& path) {
  wchar_t value[2048];
  DWORD n = GetEnvironmentVariableW(name, value, 2048);
  if (n && n < 2048) {
    path.Append(value);
    path.AppendChar(L';');
  }
}

// Formats with the C runtime's wide printf into ANSI text of at most 1023
// bytes.
void Narrow(char (&out)[1024], const wchar_t* format, ...) {
  WideString text;
  va_list args;
  va_start(args, format);
  text.FormatV(format, args);
  va_end(args);
  const char* narrow = text.ToNarrow();
  out[0] = 0;
  if (narrow) strncat(out, narrow, 1023);
}

}  // namespace

DebugHelp::DebugHelp() : binding_(L"dbghelp.dll", kFunctions, SlotCount) {}

int DebugHelp::Bind(const wchar_t* programFolder) {
  if (bound_) return 1;
  if (!binding_.Bind()) return 0;
  if (ntdll_.Load(L"ntdll.dll"))
    queryThread_ = ntdll_.ResolveAs<QueryThreadFn>("NtQueryInformationThread");
  Api<SymSetOptionsFn>(SlotSymSetOptions)(SYMOPT_UNDNAME | SYMOPT_LOAD_LINES);
  WideString path;
  if (programFolder && *programFolder) {
    path.Append(programFolder);
    path.AppendChar(L';');
  }
  AppendVariable(L"_NT_SYMBOL_PATH", path);
  AppendVariable(L"_NT_ALTERNATE_SYMBOL_PATH", path);
  AppendVariable(L"SYSTEMROOT", path);
  path.RemoveTrailing(L';');
  const char* narrow = path.ToNarrow();
  if (!Api<SymInitializeFn>(SlotSymInitialize)(GetCurrentProcess(), narrow, TRUE)) {
    binding_.Unbind();
    queryThread_ = nullptr;
    ntdll_.Unload();
    return 0;
  }
  bound_ = true;
  return 1;
}

void DebugHelp::Unbind() {
  if (!bound_) return;
  bound_ = false;
  queryThread_ = nullptr;
  ntdll_.Unload();
  binding_.Unbind();
}

BOOL DebugHelp::WriteDump(HANDLE file, DWORD type, MINIDUMP_EXCEPTION_INFORMATION* exception,
                          MINIDUMP_CALLBACK_INFORMATION* callback) const {
  if (!bound_) return FALSE;
  return Api<MiniDumpWriteDumpFn>(SlotMiniDumpWriteDump)(
      GetCurrentProcess(), GetCurrentProcessId(), file, static_cast<MINIDUMP_TYPE>(type), exception,
      nullptr, callback);
}

void DebugHelp::SymbolText(DWORD64 address, std::string& text, std::string* module) const {
  char buffer[1024];
  text.clear();
  if (module) module->clear();
  if (!bound_) return;
  HANDLE process = GetCurrentProcess();

  // The module's name, from the symbol handler or the loaded module's file.
  std::string moduleName;
  DWORD64 base = Api<PGET_MODULE_BASE_ROUTINE64>(SlotSymGetModuleBase64)(process, address);
  IMAGEHLP_MODULE64 info;
  memset(&info, 0, sizeof(info));
  info.SizeOfStruct = sizeof(info);
  if (Api<SymGetModuleInfo64Fn>(SlotSymGetModuleInfo64)(process, address, &info) &&
      info.ModuleName[0]) {
    moduleName = info.ModuleName;
  } else if (base) {
    char file[MAX_PATH];
    if (GetModuleFileNameA(reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(base)), file,
                           MAX_PATH)) {
      const char* slash = strrchr(file, '\\');
      moduleName = slash ? slash + 1 : file;
    }
  }
  if (module) *module = moduleName;

  DWORD64 displacement = 0;
  union {
    SYMBOL_INFO info;
    char bytes[sizeof(SYMBOL_INFO) + 512];
  } symbol;
  memset(&symbol, 0, sizeof(symbol));
  symbol.info.SizeOfStruct = sizeof(SYMBOL_INFO);
  symbol.info.MaxNameLen = 511;
  if (Api<SymFromAddrFn>(SlotSymFromAddr)(process, address, &displacement, &symbol.info) &&
      symbol.info.Name[0]) {
    text = symbol.info.Name;
  } else {
    union {
      IMAGEHLP_SYMBOL64 info;
      char bytes[sizeof(IMAGEHLP_SYMBOL64) + 512];
    } old;
    memset(&old, 0, sizeof(old));
    old.info.SizeOfStruct = sizeof(IMAGEHLP_SYMBOL64);
    old.info.MaxNameLength = 511;
    displacement = 0;
    if (Api<SymGetSymFromAddr64Fn>(SlotSymGetSymFromAddr64)(process, address, &displacement,
                                                          &old.info) &&
        old.info.Name[0])
      text = old.info.Name;
  }
  if (!text.empty()) {
    if (displacement) {
      Narrow(buffer, L" - Offset: 0x%I64X", displacement);
      text += buffer;
    }
  } else if (!moduleName.empty()) {
    Narrow(buffer, L"%hs@0x%I64X", moduleName.c_str(), address - base);
    text = buffer;
  } else if (base) {
    Narrow(buffer, L"0x%I64X@0x%I64X", base, address - base);
    text = buffer;
  } else {
    Narrow(buffer, L"0x%08I64X", address);
    text = buffer;
  }
}

void DebugHelp::StackTrace(const CONTEXT* context, std::string& out) const {
  if (!bound_ || !context) return;
  UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  CONTEXT copy = *context;
  STACKFRAME64 frame;
  memset(&frame, 0, sizeof(frame));
#if defined(_WIN64)
  const DWORD machine = IMAGE_FILE_MACHINE_AMD64;
  frame.AddrPC.Offset = copy.Rip;
  frame.AddrFrame.Offset = copy.Rbp;
  frame.AddrStack.Offset = copy.Rsp;
#else
  const DWORD machine = IMAGE_FILE_MACHINE_I386;
  frame.AddrPC.Offset = copy.Eip;
  frame.AddrFrame.Offset = copy.Ebp;
  frame.AddrStack.Offset = copy.Esp;
#endif
  frame.AddrPC.Mode = AddrModeFlat;
  frame.AddrFrame.Mode = AddrModeFlat;
  frame.AddrStack.Mode = AddrModeFlat;
  HANDLE process = GetCurrentProcess();
  DWORD64 previous = 0;
  // A walk that never reaches a zero return address is cut off.
  for (int depth = 0; depth < 256; ++depth) {
    if (!Api<StackWalk64Fn>(SlotStackWalk64)(
            machine, process, GetCurrentThread(), &frame, &copy, nullptr,
            Api<PFUNCTION_TABLE_ACCESS_ROUTINE64>(SlotSymFunctionTableAccess64),
            Api<PGET_MODULE_BASE_ROUTINE64>(SlotSymGetModuleBase64), nullptr))
      break;
    DWORD64 pc = frame.AddrPC.Offset;
    if (depth > 0 && pc == previous) break;
    previous = pc;
    if (pc < 0x7FFE0000 || pc > 0x7FFEFFFF) {
      std::string symbol, module;
      SymbolText(pc, symbol, &module);
      IMAGEHLP_LINE64 line;
      memset(&line, 0, sizeof(line));
      line.SizeOfStruct = sizeof(line);
      DWORD lineDisplacement = 0;
      bool haveLine = Api<SymGetLineFromAddr64Fn>(SlotSymGetLineFromAddr64)(
                          process, pc, &lineDisplacement, &line) && line.FileName;
      WideString text;
      const DWORD64* p = frame.Params;
      if (haveLine) {
        if (!module.empty())
          text.Format(L"%hs:%hs(0x%I64X,0x%I64X,0x%I64X,0x%I64X) - Line %u in %hs\r\n",
                      module.c_str(), symbol.c_str(), p[0], p[1], p[2], p[3], line.LineNumber,
                      line.FileName);
        else
          text.Format(L"%hs(0x%I64X,0x%I64X,0x%I64X,0x%I64X) - Line %u in %hs\r\n", symbol.c_str(),
                      p[0], p[1], p[2], p[3], line.LineNumber, line.FileName);
      } else if (!module.empty()) {
        text.Format(L"%hs:%hs(0x%I64X,0x%I64X,0x%I64X,0x%I64X)\r\n", module.c_str(),
                    symbol.c_str(), p[0], p[1], p[2], p[3]);
      } else {
        text.Format(L"%hs(0x%I64X,0x%I64X,0x%I64X,0x%I64X)\r\n", symbol.c_str(), p[0], p[1], p[2],
                    p[3]);
      }
      const char* narrow = text.ToNarrow();
      if (narrow) out += narrow;
    }
    if (frame.AddrReturn.Offset == 0) break;
  }
  SetErrorMode(oldMode);
}
