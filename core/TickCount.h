// A 64-bit millisecond tick since system start.
#pragma once

// GetTickCount64 of kernel32.dll, looked up on every call; where it does not
// exist, the 32-bit GetTickCount with a high half of 0.
unsigned long long TickCount64();

// The same from a given library and function name (the fallback applies when
// either is missing).
unsigned long long TickCount64From(const wchar_t* library, const char* function);
