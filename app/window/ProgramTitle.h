// The program's name as the main window's title and the About page show it.
#pragma once

inline constexpr wchar_t ProgramTitle[] = L"Pellton - Samsung EI-AN900 Viewer";
