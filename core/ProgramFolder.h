// Where the program lives: the full path of a module's file and the folder
// holding it, asked of the system however long the path is.
#pragma once

#include <windows.h>

#include "core/WideString.h"

// The full path of the module's file (none: the program's own). 1 when
// found; otherwise path is empty and the answer is 0.
int ProgramPath(WideString& path, HMODULE module = nullptr);

// The folder of the module's file (none: the program's own) up to and
// including its last backslash, e.g. "C:\Programs\Pellton\". 1 when found;
// otherwise folder is empty and the answer is 0.
int ProgramFolder(WideString& folder, HMODULE module = nullptr);
