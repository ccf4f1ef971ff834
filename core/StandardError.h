// Writes a text to the process's standard error (or output), where whoever started the
// program can read it. A program with the window subsystem started from a
// console window gets no standard handles from Windows; it then attaches to
// its parent's console. Under Wine, and when the caller redirected the
// handles, the inherited handle is used as it is. Text goes to a console as
// wide text and to files and pipes as UTF-8.
#pragma once

// 1 when every character was written.
int WriteStandardError(const wchar_t* text);
// The same for standard output (what a command prints as its result).
int WriteStandardOutput(const wchar_t* text);
