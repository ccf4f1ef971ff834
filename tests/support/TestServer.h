// The test HTTP server started around the test program by
// tools/with-test-server.sh: its base URL and folder come from the
// environment. Tests put routes into the folder and read back what the
// server received, one record per request in arrival order.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/common/FileText.h"

class TestServer {
public:
  struct Request {
    std::string line;     // "METHOD /path?query"
    std::string headers;  // as received
    std::string body;
    std::string Header(const std::string& name) const {
      std::string lowerHeaders = Lower(headers), key = Lower(name) + ":";
      size_t at = lowerHeaders.find("\n" + key);
      if (at == std::string::npos) {
        if (lowerHeaders.compare(0, key.size(), key) != 0) return "<none>";
        at = 0;
      } else {
        at += 1;
      }
      size_t start = at + key.size();
      size_t end = headers.find('\n', start);
      std::string value = headers.substr(start, end == std::string::npos ? end : end - start);
      while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
      while (!value.empty() && value.front() == ' ') value.erase(0, 1);
      return value;
    }
  };

  // False when the program was not started by with-test-server.sh.
  bool Open() {
    wchar_t url[256] = {}, dir[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"PELLTON_TEST_SERVER", url, 256) ||
        !GetEnvironmentVariableW(L"PELLTON_TEST_SERVER_DIR", dir, MAX_PATH))
      return false;
    base_ = url;
    dir_ = dir;
    port_ = static_cast<unsigned>(_wtoi(base_.c_str() + base_.rfind(L':') + 1));
    Clear();
    return true;
  }
  std::wstring Url(const wchar_t* path) const { return base_ + path; }
  unsigned Port() const { return port_; }
  const std::wstring& Folder() const { return dir_; }

  // Removes every route and every request record.
  void Clear() {
    ClearFolder(dir_ + L"\\routes", false);
    ClearFolder(dir_ + L"\\requests", true);
  }
  // Adds a route file (see tools/test-http-server.py); routes are tried in
  // name order.
  bool Route(const std::string& name, const std::string& lines) {
    return WriteFileText(dir_ + L"\\routes\\" + Wide(name) + L".route", lines);
  }
  // A file in the server's folder, for "body-file" lines.
  bool File(const std::string& name, const std::string& bytes) {
    return WriteFileText(dir_ + L"\\" + Wide(name), bytes);
  }
  std::vector<Request> Requests() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((dir_ + L"\\requests\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (found.cFileName[0] != L'.') names.push_back(found.cFileName);
      } while (FindNextFileW(find, &found));
      FindClose(find);
    }
    std::sort(names.begin(), names.end());
    std::vector<Request> out;
    for (const std::wstring& n : names) {
      std::wstring folder = dir_ + L"\\requests\\" + n;
      if (!PathExists(folder + L"\\done")) continue;
      Request r;
      r.line = ReadFileText(folder + L"\\line");
      r.headers = ReadFileText(folder + L"\\headers");
      r.body = ReadFileText(folder + L"\\body");
      out.push_back(r);
    }
    return out;
  }
  // Waits until the server has recorded count requests (the records are
  // written before any answer); false after timeoutMs.
  bool WaitForRequests(size_t count, DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    while (Requests().size() < count) {
      if (GetTickCount() - start > timeoutMs) return false;
      Sleep(10);
    }
    return true;
  }

  static std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
  static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
  }

private:
  static void ClearFolder(const std::wstring& folder, bool subFolders) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (subFolders) {
          ClearFolder(path, false);
          RemoveDirectoryW(path.c_str());
        }
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }

  std::wstring base_, dir_;
  unsigned port_ = 0;
};
