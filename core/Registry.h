// One-call registry helpers: each opens (or creates) the key, does its one
// job and closes the key again on every path. viewFlags as for RegistryKey.
#pragma once

#include <windows.h>

#include "core/WideString.h"

// The value, or the default when the key or the value is missing.
DWORD RegReadDword(HKEY root, const wchar_t* path, const wchar_t* name, DWORD defaultValue,
                   REGSAM viewFlags = 0);
// Creates the key path when missing.
int RegWriteDword(HKEY root, const wchar_t* path, const wchar_t* name, DWORD value,
                  REGSAM viewFlags = 0);
// 1 when read; on any failure out becomes the default ("" when none) and
// the answer is 0.
int RegReadString(HKEY root, const wchar_t* path, const wchar_t* name, WideString& out,
                  const wchar_t* defaultValue = nullptr, REGSAM viewFlags = 0);
int RegWriteString(HKEY root, const wchar_t* path, const wchar_t* name, const wchar_t* text,
                   REGSAM viewFlags = 0);

// Called per value with its name, type, data size and data; answers 0 to
// stop.
typedef int (*RegValueCallback)(const wchar_t* name, DWORD type, DWORD dataSize,
                                const BYTE* data, void* user);
// Called per sub-key name; answers 0 to stop.
typedef int (*RegSubKeyCallback)(const wchar_t* name, void* user);

// Calls the callback for each value of the key in index order, with the
// value's data read into the caller's buffer (data may be none: then only
// names, types and sizes are given). Names are up to 260 characters; a
// value whose name or data does not fit is passed over. Answers the last
// callback answer, 1 when the key has no values, 0 when it cannot be
// opened.
int RegEnumValues(HKEY root, const wchar_t* path, RegValueCallback callback, void* user,
                  BYTE* data, DWORD dataCapacity);
// Calls the callback with each sub-key name (up to 260 characters) in index
// order; answers as RegEnumValues.
int RegEnumSubKeys(HKEY root, const wchar_t* path, RegSubKeyCallback callback, void* user);
