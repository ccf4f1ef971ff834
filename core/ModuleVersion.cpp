#include "core/ModuleVersion.h"

#include <cwchar>
#include <vector>

#include "core/ProgramFolder.h"

namespace {

const wchar_t* const VersionBlocks[] = {L"\\StringFileInfo\\040704B0\\",
                                        L"\\StringFileInfo\\040904B0\\"};

// The value of name in the version resource of file, from the first block
// that has it.
int ReadVersionValue(const wchar_t* file, const wchar_t* name, WideString& out) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(file, &ignored);
  if (size == 0) return 0;
  std::vector<BYTE> info(size);
  if (!GetFileVersionInfoW(file, 0, size, info.data())) return 0;
  for (const wchar_t* block : VersionBlocks) {
    WideString query;
    if (!query.Format(L"%s%s", block, name)) return 0;
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(info.data(), query.CStr(), &value, &length) && value && length > 0) {
      const wchar_t* text = static_cast<const wchar_t*>(value);
      // length counts characters and may or may not include the terminator
      unsigned count = 0;
      while (count < length && text[count]) ++count;
      return out.Assign(text, count);
    }
  }
  return 0;
}

}  // namespace

int FileVersion(HMODULE module, ModuleVersion* version) {
  if (!version) return 0;
  version->major = 1;
  version->minor = 1;
  version->text = L"";
  WideString path;
  if (!ProgramPath(path, module)) return 0;
  WideString text;
  if (!ReadVersionValue(path.CStr(), L"FileVersion", text)) return 0;
  unsigned major = 0;
  unsigned minor = 0;
  int scanned = swscanf(text.CStr(), L"%u.%u", &major, &minor);
  if (scanned < 1) return 0;
  if (scanned < 2) minor = 0;
  version->major = major;
  version->minor = minor;
  version->text = text.CStr();
  return 1;
}

int TitleWithVersion(const wchar_t* name, HMODULE module, WideString& out) {
  ModuleVersion version;
  FileVersion(module, &version);
  return out.Format(L"%s [%u.%02u]", name ? name : L"", version.major, version.minor);
}

int VersionString(const wchar_t* name, const wchar_t* file, WideString& out) {
  if (!name) return 0;
  WideString path;
  if (!file) {
    if (!ProgramPath(path)) return 0;
    file = path.CStr();
  }
  return ReadVersionValue(file, name, out);
}
