// A folder of the test's own under %TEMP%, removed with everything in it
// when the object goes. Header only, for every test program of the area.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>

#include "app/store/ActivityStore.h"
#include "app/window/StoreNotice.h"
#include "core/WideString.h"

class TempFolder {
public:
  TempFolder() {
    static LONG folders = 0;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    path_.Format(L"%spellton-store-%lu-%ld", temp, GetCurrentProcessId(), InterlockedIncrement(&folders));
    RemoveTree(path_);
    CreateDirectoryW(path_.CStr(), nullptr);
  }
  ~TempFolder() { RemoveTree(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const wchar_t* Path() const { return path_.CStr(); }  // no trailing backslash

  static void RemoveTree(const WideString& folder) {
    WideString pattern;
    pattern.Format(L"%s\\*", folder.CStr());
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.CStr(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0) continue;
        WideString child;
        child.Format(L"%s\\%s", folder.CStr(), found.cFileName);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(child);
        } else {
          DeleteFileW(child.CStr());
        }
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(folder.CStr());
  }

private:
  WideString path_;
};

// A whole file's bytes ("<missing>" when it cannot be opened), and a file
// made to hold exactly the bytes.
inline std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got) bytes.append(chunk, got);
  CloseHandle(file);
  return bytes;
}

inline bool WriteAll(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

// What the user is told of the store's last opening ("" when nothing).
inline std::wstring NoticeOf(ActivityStore& store) {
  WideString text;
  DescribeStoreOpening(store.Path().CStr(), store.Opening(), text);
  return text.CStr();
}
