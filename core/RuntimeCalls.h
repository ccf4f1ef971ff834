// System functions called once at a time through a library loaded for the
// call and freed after it; each has a fallback for systems that lack it.
#pragma once

#include <windows.h>
#include <shlwapi.h>

// 1 when the process (none: this one) is a 32-bit process on 64-bit Windows.
// Without IsWow64Process the answer is 0.
int ProcessIsWow64(HANDLE process = nullptr);
int ProcessIsWow64From(const wchar_t* library, HANDLE process);

// CoInitializeEx(none, coInit) of ole32.dll; E_NOTIMPL when it is missing
// (the caller then falls back to CoInitialize).
HRESULT CoInitializeExAtRunTime(DWORD coInit);
HRESULT CoInitializeExFrom(const wchar_t* library, DWORD coInit);

// SetProcessDPIAware of user32.dll; 0 when it is missing.
BOOL SetProcessDpiAwareAtRunTime();

// DllGetVersion of the library; E_NOTIMPL when it or the library is missing.
// info->cbSize is set here.
HRESULT DllGetVersionOf(const wchar_t* library, DLLVERSIONINFO* info);
