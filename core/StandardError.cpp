#include "core/StandardError.h"

#include <windows.h>

#include <string>

namespace {

HANDLE StandardHandle(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  if (handle && handle != INVALID_HANDLE_VALUE) return handle;
  // Attached once; a second call fails with the console already there.
  if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED) return nullptr;
  handle = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  SetStdHandle(which, handle);
  return handle;
}

int WriteTo(DWORD which, const wchar_t* text) {
  HANDLE handle = StandardHandle(which);
  if (!handle || !text) return 0;
  DWORD length = static_cast<DWORD>(wcslen(text));
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    DWORD written = 0;
    return WriteConsoleW(handle, text, length, &written, nullptr) && written == length;
  }
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr,
                                  nullptr);
  if (length && bytes <= 0) return 0;
  std::string utf8(static_cast<size_t>(bytes), '\0');
  if (bytes) {
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &utf8[0], bytes, nullptr, nullptr);
  }
  DWORD written = 0;
  return WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) &&
         written == utf8.size();
}

}  // namespace

int WriteStandardError(const wchar_t* text) { return WriteTo(STD_ERROR_HANDLE, text); }

int WriteStandardOutput(const wchar_t* text) { return WriteTo(STD_OUTPUT_HANDLE, text); }
