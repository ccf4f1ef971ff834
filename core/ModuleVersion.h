// Version texts of a module: the file version from its version resource
// (block 040704B0, else 040904B0), a window title with that version, and
// any string value of the version resource. Lookups that find nothing
// answer 0 and leave their defaults; none shows a message. (The folder a
// module lives in: core/ProgramFolder.h.)
#pragma once

#include <windows.h>

#include "core/WideString.h"

struct ModuleVersion {
  unsigned major;
  unsigned minor;
  WideString text;  // the FileVersion value as stored ("" when missing)
};

// The module's (none: the executable's) FileVersion; major and minor are
// scanned with "%u.%u" and are both 1 when the resource or the value is
// missing (the answer is then 0).
int FileVersion(HMODULE module, ModuleVersion* version);
// "%s [%u.%02u]" of the name and the module's major and minor version.
int TitleWithVersion(const wchar_t* name, HMODULE module, WideString& out);
// The string value of that name of the file's version resource (none: the
// running executable); 1 when found.
int VersionString(const wchar_t* name, const wchar_t* file, WideString& out);
