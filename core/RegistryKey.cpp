#include "core/RegistryKey.h"

#include "core/RuntimeCalls.h"

REGSAM RegistryViewAccess(REGSAM access) {
  const REGSAM viewBits = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
  if (!(access & viewBits)) return access;
  return ProcessIsWow64() ? access : (access & ~viewBits);
}

int RegistryKey::OpenForRead(HKEY root, const wchar_t* path, REGSAM viewFlags) {
  CloseKey();
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, RegistryViewAccess(KEY_READ | viewFlags), &key) !=
      ERROR_SUCCESS)
    return 0;
  key_ = key;
  return 1;
}

int RegistryKey::CreateKey(HKEY root, const wchar_t* path, REGSAM viewFlags) {
  CloseKey();
  HKEY key = nullptr;
  REGSAM view = RegistryViewAccess(viewFlags) & (KEY_WOW64_64KEY | KEY_WOW64_32KEY);
  LONG status;
  if (view == 0) {
    status = RegCreateKeyW(root, path, &key);
  } else {
    status = RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
  }
  if (status != ERROR_SUCCESS) return 0;
  key_ = key;
  return 1;
}

int RegistryKey::ReadDword(const wchar_t* name, DWORD* value) {
  if (!key_ || !value) return 0;
  DWORD read = 0;
  DWORD size = sizeof(read);
  DWORD type = REG_NONE;
  if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&read), &size) !=
      ERROR_SUCCESS)
    return 0;
  // A number is only ever a DWORD value: the text "1" is not 49, three
  // bytes are not a number.
  if (type != REG_DWORD || size != sizeof(read)) return 0;
  *value = read;
  return 1;
}

int RegistryKey::ReadString(const wchar_t* name, WideString& text) {
  if (!key_) return 0;
  WideString buffer;
  if (!buffer.Resize(text.Capacity() + 1)) return 0;
  // Each attempt leaves room for a terminator after the data.
  DWORD type = 0;
  DWORD size = buffer.Capacity() * sizeof(wchar_t);
  LONG status = RegQueryValueExW(key_, name, nullptr, &type,
                                 reinterpret_cast<BYTE*>(buffer.Buffer()), &size);
  if (status == ERROR_MORE_DATA) {
    // Room for what the registry reported plus one character, so that the
    // text ends even when the data carries no terminator.
    if (!buffer.Resize(size / sizeof(wchar_t) + 2)) return 0;
    size = buffer.Capacity() * sizeof(wchar_t);
    status = RegQueryValueExW(key_, name, nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer.Buffer()), &size);
  }
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return 0;
  // The text ends at the end of the data returned (or at an earlier
  // terminator inside it).
  unsigned units = size / sizeof(wchar_t);
  if (units > buffer.Capacity()) units = buffer.Capacity();
  buffer.Buffer()[units] = 0;
  buffer.UpdateLength();
  return text.Assign(buffer);
}

int RegistryKey::WriteDword(const wchar_t* name, DWORD value) {
  if (!key_) return 0;
  return RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof(value)) == ERROR_SUCCESS;
}

int RegistryKey::WriteString(const wchar_t* name, const wchar_t* text) {
  if (!key_) return 0;
  if (!text) text = L"";
  DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
  return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
         ERROR_SUCCESS;
}

int RegistryKey::CloseKey() {
  if (!key_) return 1;
  if (RegCloseKey(key_) != ERROR_SUCCESS) return 0;
  key_ = nullptr;
  return 1;
}
