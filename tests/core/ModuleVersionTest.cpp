// Version texts read from the version resource this test program carries
// (the program's own, FileVersion 1.06 in the German and the English
// block).
#include <gtest/gtest.h>

#include <windows.h>

#include "core/ModuleVersion.h"
#include "tests/common/TempFolder.h"

namespace {

TEST(ModuleVersionTest, TheFileVersionOfTheRunningProgramIs106) {
  ModuleVersion version;
  ASSERT_EQ(1, FileVersion(nullptr, &version));
  EXPECT_EQ(1u, version.major);
  EXPECT_EQ(6u, version.minor);
  EXPECT_STREQ(L"1.06", version.text.CStr());
}

TEST(ModuleVersionTest, TheTitleEndsInTheTwoDigitMinorVersion) {
  WideString title;
  ASSERT_EQ(1, TitleWithVersion(L"Pellton - Samsung EI-AN900 Viewer", nullptr, title));
  EXPECT_STREQ(L"Pellton - Samsung EI-AN900 Viewer [1.06]", title.CStr());
}

TEST(ModuleVersionTest, AModuleWithoutVersionResourceCountsAsVersion1Point1) {
  // A file that exists but is no program: no version resource.
  TempFolder folder(L"version");
  ASSERT_TRUE(folder.Write(L"none.txt", "text"));
  WideString value;
  EXPECT_EQ(0, VersionString(L"FileVersion", folder.File(L"none.txt").c_str(), value));

  ModuleVersion version;
  version.major = 7;
  EXPECT_EQ(0, FileVersion(reinterpret_cast<HMODULE>(static_cast<INT_PTR>(0x10)), &version));
  EXPECT_EQ(1u, version.major);
  EXPECT_EQ(1u, version.minor);
  WideString title;
  TitleWithVersion(L"X", reinterpret_cast<HMODULE>(static_cast<INT_PTR>(0x10)), title);
  EXPECT_STREQ(L"X [1.01]", title.CStr());
}

TEST(ModuleVersionTest, StringValuesComeFromTheGermanBlockFirst) {
  WideString value;
  ASSERT_EQ(1, VersionString(L"ProductName", nullptr, value));
  EXPECT_STREQ(L"Pellton", value.CStr());
  ASSERT_EQ(1, VersionString(L"Comments", nullptr, value));
  EXPECT_EQ(0, wcsncmp(value.CStr(), L"Betrachter", 10)) << value.CStr();
  EXPECT_EQ(0, VersionString(L"NoSuchValue", nullptr, value));
}

}  // namespace
