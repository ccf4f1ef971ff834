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

TEST(ProgramFolderTest, AModuleInAFolderLongerThanMaxPathIsFoundWhole) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring top = std::wstring(L"\\\\?\\") + temp + L"pellton-long-" + std::to_wstring(GetCurrentProcessId());
  std::wstring folder = top;
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  std::wstring steps[4];
  for (std::wstring& step : steps) {
    folder += L"\\" + std::wstring(80, L'f');
    step = folder;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  }
  const std::wstring library = folder + L"\\pellton-fake-api.dll";
  ASSERT_TRUE(CopyFileW(FakeApiPath().c_str(), library.c_str(), FALSE));
  HMODULE module = LoadLibraryW(library.c_str());
  ASSERT_NE(nullptr, module);

  WideString path, found;
  EXPECT_EQ(1, ProgramPath(path, module));
  EXPECT_EQ(1, ProgramFolder(found, module));
  FreeLibrary(module);
  const std::wstring expected = folder.substr(4) + L"\\";  // without the \\?\ prefix
  EXPECT_GT(path.Length(), static_cast<unsigned>(MAX_PATH));
  EXPECT_EQ(0, _wcsicmp(expected.c_str(), found.CStr())) << found.CStr();
  EXPECT_EQ(0, _wcsicmp((expected + L"pellton-fake-api.dll").c_str(), path.CStr())) << path.CStr();

  EXPECT_TRUE(DeleteFileW(library.c_str()));
  for (int i = 3; i >= 0; --i) RemoveDirectoryW(steps[i].c_str());
  RemoveDirectoryW(top.c_str());
}

}  // namespace
