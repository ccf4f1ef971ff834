// A fresh folder below the system's temporary folder, removed with its
// contents when the test ends; and small whole-file helpers.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

class TempFolder {
public:
  TempFolder() = default;
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() { Remove(); }

  bool Create() {
    wchar_t base[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, base)) return false;
    for (unsigned n = 0; n < 1000; ++n) {
      path_ = std::wstring(base) + L"pellton-test-" + std::to_wstring(GetCurrentProcessId()) +
              L"-" + std::to_wstring(counter_++);
      if (CreateDirectoryW(path_.c_str(), nullptr)) return true;
    }
    path_.clear();
    return false;
  }
  void Remove() {
    if (path_.empty()) return;
    std::wstring from = path_ + L'\0';
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
    path_.clear();
  }
  const std::wstring& Path() const { return path_; }

  static bool Write(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() ||
              WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
  }
  static std::string Read(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string out;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got) out.append(buffer, got);
    CloseHandle(file);
    return out;
  }
  static bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

private:
  static inline unsigned counter_ = 0;
  std::wstring path_;
};
