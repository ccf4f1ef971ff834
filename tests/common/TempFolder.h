// A folder of the test's own under %TEMP% ("pellton-<tag>-<process>-<n>"):
// made empty with the object and removed, with everything in it, when the
// object goes.
#pragma once

#include <string>

class TempFolder {
public:
  explicit TempFolder(const wchar_t* tag = L"test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Whether the folder could be made.
  bool Made() const { return made_; }
  // The folder, without a trailing backslash.
  const std::wstring& Path() const { return path_; }
  // A name inside it.
  std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }
  // Makes the file of that name hold exactly the bytes; true when it does.
  bool Write(const wchar_t* name, const std::string& bytes) const;

  // Removes a folder with everything in it, read-only files included.
  static void RemoveTree(const std::wstring& folder);

private:
  std::wstring path_;
  bool made_ = false;
};
