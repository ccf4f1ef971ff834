// Whole files as byte strings: read, written, looked for; and what waits
// in a pipe.
#pragma once

#include <string>

// The file's bytes; "<missing>" when it cannot be opened.
std::string ReadFileText(const std::wstring& path);
// Makes the file hold exactly the bytes; true when it does.
bool WriteFileText(const std::wstring& path, const std::string& bytes);
// Whether a file or folder of that path exists.
bool PathExists(const std::wstring& path);
// Appends what is waiting in the pipe (a HANDLE) without waiting for more or
// for its end: Wine's desktop process, started when a program opens the
// session's first window, keeps its own copy of that program's output open.
void TakeWaiting(void* pipe, std::string& text);
