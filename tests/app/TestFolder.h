// A folder of the test's own under %TEMP%, removed with everything in it
// when the test ends, and small helpers for the files in it.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

class TestFolder {
public:
  explicit TestFolder(const wchar_t* tag) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static LONG serial = 0;
    path_ = std::wstring(base) + L"pellton-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) +
            L"-" + std::to_wstring(InterlockedIncrement(&serial));
    Remove();
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TestFolder() { Remove(); }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::wstring& Path() const { return path_; }
  std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }

  // 1 when the file holds exactly the bytes.
  int Write(const wchar_t* name, const std::string& bytes) const {
    HANDLE file = CreateFileW(File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
  }

private:
  void Remove() {
    // SHFileOperation wants a list ending in two NULs.
    std::wstring from = path_;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    if (GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES) SHFileOperationW(&operation);
  }

  std::wstring path_;
};
