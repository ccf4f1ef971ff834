#include "support/MachineRegistry.h"

#include "core/RegistryKey.h"

void MachineRegistry::SetRoot(HKEY root, const wchar_t* prefix) {
  root_ = root ? root : HKEY_LOCAL_MACHINE;
  prefix_.Assign(prefix ? prefix : L"");
}

int MachineRegistry::FullPath(const wchar_t* path, WideString& out) const {
  if (prefix_.IsEmpty()) return out.Assign(path);
  return out.Format(L"%s\\%s", prefix_.CStr(), path);
}

int MachineRegistry::ReadText(const wchar_t* path, const wchar_t* name, WideString& out,
                              REGSAM viewFlags) {
  WideString full;
  RegistryKey key;
  if (!FullPath(path, full) || !key.OpenForRead(root_, full.CStr(), viewFlags)) return 0;
  DWORD type = 0;
  if (RegQueryValueExW(key.Handle(), name, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return 0;
  return key.ReadString(name, out);
}

int MachineRegistry::ReadDword(const wchar_t* path, const wchar_t* name, DWORD* value) {
  WideString full;
  RegistryKey key;
  if (!FullPath(path, full) || !key.OpenForRead(root_, full.CStr())) return 0;
  DWORD type = 0;
  DWORD read = 0;
  DWORD size = sizeof(read);
  if (RegQueryValueExW(key.Handle(), name, nullptr, &type, reinterpret_cast<BYTE*>(&read),
                       &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(read))
    return 0;
  *value = read;
  return 1;
}

int MachineRegistry::ReadBytes(const wchar_t* path, const wchar_t* name, BYTE* data,
                               DWORD size) {
  WideString full;
  RegistryKey key;
  if (!FullPath(path, full) || !key.OpenForRead(root_, full.CStr())) return 0;
  BYTE buffer[64];
  DWORD read = sizeof(buffer);
  if (size > sizeof(buffer) ||
      RegQueryValueExW(key.Handle(), name, nullptr, nullptr, buffer, &read) != ERROR_SUCCESS ||
      read != size)
    return 0;
  memcpy(data, buffer, size);
  return 1;
}

int MachineRegistry::KeyExists(const wchar_t* path) {
  WideString full;
  RegistryKey key;
  return FullPath(path, full) && key.OpenForRead(root_, full.CStr());
}
