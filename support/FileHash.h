// The SHA-256 of a file's contents through the system's crypto provider.
#pragma once

#include "core/WideString.h"

// 1 with the 64 lower-case hexadecimal digits in out; 0 when the file
// cannot be read or the provider offers no SHA-256.
int Sha256OfFile(const wchar_t* path, WideString& out);
