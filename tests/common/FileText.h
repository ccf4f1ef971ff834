// Whole files as byte strings: read, written, looked for.
#pragma once

#include <string>

// The file's bytes; "<missing>" when it cannot be opened.
std::string ReadFileText(const std::wstring& path);
// Makes the file hold exactly the bytes; true when it does.
bool WriteFileText(const std::wstring& path, const std::string& bytes);
// Whether a file or folder of that path exists.
bool PathExists(const std::wstring& path);
