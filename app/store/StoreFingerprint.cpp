#include "app/store/StoreFingerprint.h"

#include <windows.h>

#include "core/KernelHandle.h"
#include "core/SettingsStore.h"

const wchar_t kStoreCheckedSetting[] = L"StoreChecked";

int StoreFingerprint(const wchar_t* path, WideString& fingerprint) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!path || !GetFileAttributesExW(path, GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return 0;
  }
  KernelHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file == INVALID_HANDLE_VALUE) return 0;
  unsigned char header[28] = {};
  DWORD got = 0;
  if (!ReadFile(file, header, sizeof(header), &got, nullptr) || got != sizeof(header)) return 0;
  const unsigned long counter = static_cast<unsigned long>(header[24]) << 24 | header[25] << 16 | header[26] << 8 |
                                header[27];
  const unsigned long long size = static_cast<unsigned long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  const unsigned long long written =
      static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
  return fingerprint.Format(L"%I64u %I64u %lu %s", size, written, counter, path);
}

bool StoreJournalBeside(const wchar_t* path) {
  const wchar_t* const journals[2] = {L"-journal", L"-wal"};
  for (const wchar_t* journal : journals) {
    WideString name;
    // A journal that cannot even be named is taken to be there.
    if (!name.Format(L"%s%s", path, journal) || GetFileAttributesW(name.CStr()) != INVALID_FILE_ATTRIBUTES) return true;
  }
  return false;
}

bool StoreLeftCleanly(SettingsStore& settings, const wchar_t* path) {
  WideString recorded, now;
  if (!settings.ReadText(kStoreCheckedSetting, recorded) || recorded.IsEmpty()) return false;
  if (StoreJournalBeside(path) || !StoreFingerprint(path, now)) return false;
  return wcscmp(recorded.CStr(), now.CStr()) == 0;
}
