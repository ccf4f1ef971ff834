// One open registry key, and the rule for the registry view flags.
#pragma once

#include <windows.h>

#include "core/WideString.h"

// The access mask with KEY_WOW64_64KEY and KEY_WOW64_32KEY kept only when
// this is a 32-bit process on 64-bit Windows; everywhere else the two bits
// are removed.
REGSAM RegistryViewAccess(REGSAM access);

class RegistryKey {
public:
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() { CloseKey(); }

  // viewFlags: 0, KEY_WOW64_64KEY or KEY_WOW64_32KEY. Both close any key
  // held before.
  int OpenForRead(HKEY root, const wchar_t* path, REGSAM viewFlags = 0);
  int CreateKey(HKEY root, const wchar_t* path, REGSAM viewFlags = 0);

  // The stored type is not checked; on failure value is left unchanged.
  int ReadDword(const wchar_t* name, DWORD* value);
  // Reads a text value (REG_SZ or REG_EXPAND_SZ, unexpanded) into text,
  // growing it once to the size the registry reports when it is too small.
  // On failure text is left unchanged.
  int ReadString(const wchar_t* name, WideString& text);
  int WriteDword(const wchar_t* name, DWORD value);
  int WriteString(const wchar_t* name, const wchar_t* text);
  // Closing a key that is not open succeeds.
  int CloseKey();

  HKEY Handle() const { return key_; }
  bool IsOpen() const { return key_ != nullptr; }

private:
  HKEY key_ = nullptr;
};
