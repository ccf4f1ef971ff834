// Read-only access to the machine's part of the registry for the system
// probes. Paths are relative to HKEY_LOCAL_MACHINE unless another root and
// a key prefix are set, which lets tests lay out a machine of their own
// below a key they own. Every read answers 0 and leaves its output alone
// when the key or the value is missing.
#pragma once

#include <windows.h>

#include "core/WideString.h"

class MachineRegistry {
public:
  MachineRegistry() = default;
  MachineRegistry(const MachineRegistry&) = delete;
  MachineRegistry& operator=(const MachineRegistry&) = delete;

  // root none: HKEY_LOCAL_MACHINE; prefix none or empty: no prefix.
  void SetRoot(HKEY root, const wchar_t* prefix);

  // viewFlags: 0 or KEY_WOW64_64KEY (kept only for 32-bit processes on
  // 64-bit Windows).
  int ReadText(const wchar_t* path, const wchar_t* name, WideString& out, REGSAM viewFlags = 0);
  int ReadDword(const wchar_t* path, const wchar_t* name, DWORD* value);
  // A binary (or any) value of exactly size bytes.
  int ReadBytes(const wchar_t* path, const wchar_t* name, BYTE* data, DWORD size);
  int KeyExists(const wchar_t* path);

private:
  int FullPath(const wchar_t* path, WideString& out) const;

  HKEY root_ = HKEY_LOCAL_MACHINE;
  WideString prefix_;
};
