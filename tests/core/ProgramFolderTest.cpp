// The program's path and folder, and those of another loaded module.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/ProgramFolder.h"

namespace {

TEST(ProgramFolderTest, TheFolderIsThePathUpToAndWithItsLastBackslash) {
  wchar_t path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  WideString program;
  ASSERT_EQ(1, ProgramPath(program));
  EXPECT_STREQ(path, program.CStr());
  *(wcsrchr(path, L'\\') + 1) = 0;
  WideString folder;
  ASSERT_EQ(1, ProgramFolder(folder));
  EXPECT_STREQ(path, folder.CStr());
  EXPECT_EQ(L'\\', folder.CharAt(static_cast<int>(folder.Length()) - 1));

  wchar_t system[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  wcscat(system, L"\\");
  ASSERT_EQ(1, ProgramFolder(folder, GetModuleHandleW(L"kernel32.dll")));
  EXPECT_EQ(0, _wcsicmp(system, folder.CStr())) << folder.CStr();
}

TEST(ProgramFolderTest, AnUnknownModuleGivesNothing) {
  HMODULE none = reinterpret_cast<HMODULE>(static_cast<INT_PTR>(0x10));
  WideString text(L"stale");
  EXPECT_EQ(0, ProgramPath(text, none));
  EXPECT_STREQ(L"", text.CStr());
  text.Assign(L"stale");
  EXPECT_EQ(0, ProgramFolder(text, none));
  EXPECT_STREQ(L"", text.CStr());
}

}  // namespace
