#include "tests/common/TempFolder.h"

#include <windows.h>

#include "tests/common/FileText.h"

TempFolder::TempFolder(const wchar_t* tag) {
  static LONG serial = 0;
  wchar_t base[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, base);
  path_ = std::wstring(base) + L"pellton-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(InterlockedIncrement(&serial));
  // A folder left by an earlier process of the same number.
  RemoveTree(path_);
  made_ = CreateDirectoryW(path_.c_str(), nullptr) != FALSE;
}

TempFolder::~TempFolder() { RemoveTree(path_); }

bool TempFolder::Write(const wchar_t* name, const std::string& bytes) const {
  return WriteFileText(File(name), bytes);
}

void TempFolder::RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}
