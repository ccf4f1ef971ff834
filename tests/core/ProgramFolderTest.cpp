// The program's path and folder, and those of another loaded module, also
// one in a folder whose path is longer than MAX_PATH.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "core/ProgramFolder.h"
#include "tests/core/FakeApiLibrary.h"

namespace {

TEST(ProgramFolderTest, TheFolderIsThePathUpToAndWithItsLastBackslash) {
  wchar_t path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  WideString program, folder;
  ASSERT_EQ(1, ProgramPath(program));
  EXPECT_STREQ(path, program.CStr());
  *(wcsrchr(path, L'\\') + 1) = 0;
  ASSERT_EQ(1, ProgramFolder(folder));
  EXPECT_STREQ(path, folder.CStr());
  // An unknown module gives nothing.
  HMODULE none = reinterpret_cast<HMODULE>(static_cast<INT_PTR>(0x10));
  EXPECT_EQ(0, ProgramFolder(folder, none));
  EXPECT_STREQ(L"", folder.CStr());
}

TEST(ProgramFolderTest, AModuleInAFolderLongerThanMaxPathIsFoundWhole) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  std::wstring steps[5] = {std::wstring(L"\\\\?\\") + temp + L"pellton-long-" + std::to_wstring(GetCurrentProcessId())};
  for (int i = 1; i < 5; ++i) steps[i] = steps[i - 1] + L"\\" + std::wstring(80, L'f');
  for (const std::wstring& step : steps) ASSERT_TRUE(CreateDirectoryW(step.c_str(), nullptr));
  const std::wstring library = steps[4] + L"\\pellton-fake-api.dll";
  ASSERT_TRUE(CopyFileW(FakeApiPath().c_str(), library.c_str(), FALSE));
  HMODULE module = LoadLibraryW(library.c_str());
  ASSERT_NE(nullptr, module);
  WideString path, found;
  EXPECT_EQ(1, ProgramPath(path, module));
  EXPECT_EQ(1, ProgramFolder(found, module));
  FreeLibrary(module);
  EXPECT_EQ(0, _wcsicmp(library.substr(4).c_str(), path.CStr())) << path.CStr();  // without "\\?\"
  EXPECT_EQ(0, _wcsicmp((steps[4].substr(4) + L"\\").c_str(), found.CStr())) << found.CStr();
  DeleteFileW(library.c_str());
  for (int i = 4; i >= 0; --i) RemoveDirectoryW(steps[i].c_str());
}

}  // namespace
