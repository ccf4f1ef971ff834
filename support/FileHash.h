// The SHA-256 of a file's contents through the system's crypto provider,
// and its CRC-32 (as a ZIP archive records it).
#pragma once

#include <windows.h>

#include "core/WideString.h"

// 1 with the 64 lower-case hexadecimal digits in out; 0 when the file
// cannot be read or the provider offers no SHA-256.
int Sha256OfFile(const wchar_t* path, WideString& out);
// 1 with the CRC-32 and size of the file's contents; 0 when it cannot be read.
int Crc32OfFile(const wchar_t* path, DWORD* crc, ULONGLONG* size);
