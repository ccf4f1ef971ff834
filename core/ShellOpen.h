// Starting programs, documents and URLs through the shell
// (ShellExecuteExW). Failures answer 0 without showing any message.
#pragma once

#include <windows.h>

// Runs verb on file (a program, document or URL) with parameters and a
// working directory (each may be none). elevate 1 uses the verb "runas"
// instead. 1 when the shell started it.
int ShellOpen(const wchar_t* file, const wchar_t* parameters, const wchar_t* directory,
              int showCommand, int elevate, const wchar_t* verb);

// The document with its associated program: ShellOpen (path, none, none,
// SW_SHOWDEFAULT, 0, "open").
int OpenDocument(const wchar_t* path);

// The URL in the default browser, through
// "rundll32.exe url.dll,FileProtocolHandler <url>".
int OpenUrl(const wchar_t* url);
