#include "core/Registry.h"

#include "core/RegistryKey.h"

namespace {
const DWORD kNameCapacity = 261;  // 260 characters and the terminator
}

DWORD RegReadDword(HKEY root, const wchar_t* path, const wchar_t* name, DWORD defaultValue,
                   REGSAM viewFlags) {
  RegistryKey key;
  DWORD value = defaultValue;
  if (key.OpenForRead(root, path, viewFlags)) key.ReadDword(name, &value);
  return value;
}

int RegWriteDword(HKEY root, const wchar_t* path, const wchar_t* name, DWORD value,
                  REGSAM viewFlags) {
  RegistryKey key;
  return key.CreateKey(root, path, viewFlags) && key.WriteDword(name, value);
}

int RegReadString(HKEY root, const wchar_t* path, const wchar_t* name, WideString& out,
                  const wchar_t* defaultValue, REGSAM viewFlags) {
  RegistryKey key;
  if (key.OpenForRead(root, path, viewFlags) && key.ReadString(name, out)) return 1;
  out.Assign(defaultValue ? defaultValue : L"");
  return 0;
}

int RegWriteString(HKEY root, const wchar_t* path, const wchar_t* name, const wchar_t* text,
                   REGSAM viewFlags) {
  RegistryKey key;
  return key.CreateKey(root, path, viewFlags) && key.WriteString(name, text);
}

int RegEnumValues(HKEY root, const wchar_t* path, RegValueCallback callback, void* user,
                  BYTE* data, DWORD dataCapacity) {
  if (!callback) return 0;
  RegistryKey key;
  if (!key.OpenForRead(root, path)) return 0;
  int answer = 1;
  wchar_t name[kNameCapacity];
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = kNameCapacity;
    DWORD type = 0;
    DWORD dataSize = data ? dataCapacity : 0;
    LONG status = RegEnumValueW(key.Handle(), index, name, &nameLength, nullptr, &type, data,
                                &dataSize);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    answer = callback(name, type, dataSize, data, user);
    if (answer == 0) break;
  }
  return answer;
}

int RegEnumSubKeys(HKEY root, const wchar_t* path, RegSubKeyCallback callback, void* user) {
  if (!callback) return 0;
  RegistryKey key;
  if (!key.OpenForRead(root, path)) return 0;
  int answer = 1;
  wchar_t name[kNameCapacity];
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = kNameCapacity;
    LONG status = RegEnumKeyExW(key.Handle(), index, name, &nameLength, nullptr, nullptr,
                                nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    answer = callback(name, user);
    if (answer == 0) break;
  }
  return answer;
}
