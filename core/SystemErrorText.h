// The system's text for a Windows error code, for messages to the user.
#pragma once

#include <windows.h>

#include "core/WideString.h"

// The text without its closing full stop; "error N" when the system has
// none.
void SystemErrorText(DWORD error, WideString& text);
