// Pictures of what the program shows, for the run command's screenshots:
// a window as it stands on the screen, saved as a 24-bit BMP file, and a
// chart page's text saved as a UTF-8 file.
#pragma once

#include <windows.h>

class WideString;

// Lets the window and its children paint, then copies its rectangle from the
// screen. 1 when the file was written.
int SaveWindowPicture(HWND window, const wchar_t* path);
// 1 when the file holds the text as UTF-8.
int SaveDocumentText(const WideString& text, const wchar_t* path);
