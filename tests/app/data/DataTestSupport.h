// Pellton.exe started as a script starts it, with its standard output and
// error collected apart, and a hand-made history of two trackers in the
// Europe/Berlin zone. Header only, for the data tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/store/ActivityStore.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"

namespace datatest {

inline std::wstring Beside(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.find_last_of(L'\\') + 1) + name;
}

struct Result {
  int code = -1000;  // -1000: did not end in time
  std::string out;
  std::string err;
};

// The environment of a started program: this one's, with a temporary
// folder of its own, so that the working copies it makes there never meet
// those of a test program running beside this one.
inline std::wstring ChildEnvironment() {
  static TempFolder temp(L"children-temp");
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* p = strings; *p; p += wcslen(p) + 1) {
    if (_wcsnicmp(p, L"TEMP=", 5) != 0 && _wcsnicmp(p, L"TMP=", 4) != 0) block.append(p).push_back(L'\0');
  }
  FreeEnvironmentStringsW(strings);
  for (const wchar_t* name : {L"TEMP=", L"TMP="}) block.append(name).append(temp.Path()).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

// Starts Pellton.exe in the folder; Finish waits for its end.
class Program {
public:
  Program(const std::wstring& folder, const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE outWrite = nullptr, errWrite = nullptr;
    CreatePipe(&out_, &outWrite, &inherit, 1 << 20);
    CreatePipe(&err_, &errWrite, &inherit, 1 << 20);
    SetHandleInformation(out_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::wstring line = L"\"" + Beside(L"Pellton.exe") + L"\" " + arguments;
    PROCESS_INFORMATION process = {};
    std::wstring environment = ChildEnvironment();
    if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT, &environment[0],
                       folder.c_str(), &startup, &process)) {
      process_ = process.hProcess;
      id = process.dwProcessId;
      CloseHandle(process.hThread);
    }
    CloseHandle(outWrite);
    CloseHandle(errWrite);
  }
  ~Program() {
    if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 99);
    if (process_) CloseHandle(process_);
    CloseHandle(out_);
    CloseHandle(err_);
  }
  Result Finish(DWORD timeoutMs = 120000) {
    Result run;
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return run;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    run.code = static_cast<int>(code);
    // All it wrote is waiting; the pipes' ends may come much later.
    TakeWaiting(out_, run.out);
    TakeWaiting(err_, run.err);
    return run;
  }
  DWORD id = 0;

private:
  HANDLE process_ = nullptr;
  HANDLE out_ = nullptr;
  HANDLE err_ = nullptr;
};

inline Result Start(const std::wstring& folder, const std::wstring& arguments) {
  return Program(folder, arguments).Finish();
}

inline std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(static_cast<char>(c));
  return out;
}

typedef std::vector<unsigned char> Bytes;

inline int Store(ActivityStore& store, int table, const wchar_t* tracker, unsigned start, const Bytes& pattern) {
  ByteBuffer buffer;
  BufferAppend(buffer, pattern.data(), pattern.size());
  int ok = store.InsertRun(table, tracker, start, buffer);
  BufferClear(buffer);
  return ok;
}

// Walking records of (steps, calories, distance in 10 m).
inline Bytes Walk(std::initializer_list<std::initializer_list<unsigned>> records) {
  Bytes bytes;
  for (const auto& r : records) {
    for (unsigned v : r) {
      bytes.push_back(static_cast<unsigned char>(v >> 8));
      bytes.push_back(static_cast<unsigned char>(v));
    }
  }
  return bytes;
}

const wchar_t A[] = L"02:50:4C:54:4E:01";
const wchar_t B[] = L"02:50:4C:54:4E:02";

// Tracker A: a walk from 2014-03-29 23:30 CET over midnight with an empty
// quarter hour inside, a walk over the change to summer time at 02:00 on
// 2014-03-30 and a later stored walk over two of its quarter hours; its
// night of 03-29 split into two runs (22:56 CET and 01:52 CET, the second
// over the change). Tracker B: a walk over the change back at 03:00 on
// 2014-10-26, a short night from 00:58 that day, and four minutes without
// sleep at 13:00.
inline int StoreHistory(const wchar_t* path) {
  ActivityStore store;
  return store.OpenFile(path) && Store(store, 0, A, 1396132200, Walk({{100, 5, 7}, {0, 0, 0}, {30, 2, 3}, {40, 3, 4}})) &&
         Store(store, 0, A, 1396140300, Walk({{10, 1, 1}, {20, 2, 2}, {30, 3, 3}, {40, 4, 4}})) &&
         Store(store, 0, A, 1396141200, Walk({{99, 9, 9}, {88, 8, 8}})) &&
         Store(store, 0, B, 1414283400, Walk({{5, 1, 1}, {6, 1, 2}, {7, 1, 3}, {8, 1, 4}})) &&
         Store(store, 1, A, 1396130160, {0xAA, 0x55, 0x15}) && Store(store, 1, A, 1396140720, {0x51, 0x0F, 0x9A}) &&
         Store(store, 1, B, 1414277880, {0x55}) && Store(store, 1, B, 1414324800, {0x08});
}

}  // namespace datatest
