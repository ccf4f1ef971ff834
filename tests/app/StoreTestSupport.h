// A folder of the test's own under %TEMP%, removed with everything in it
// when the object goes. Header only, for every test program of the area.
#pragma once

#include <windows.h>

#include <cwchar>

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
