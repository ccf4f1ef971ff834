// A key of HKEY_CURRENT_USER of the test process's own, removed with
// everything below it before and after each test.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

class RegistryTestKey : public ::testing::Test {
protected:
  void SetUp() override {
    path_ = L"Software\\Vantrel\\PelltonTests-" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    HKEY key = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &key));
  }
  const wchar_t* Path() const { return path_.c_str(); }
  std::wstring Below(const wchar_t* sub) const { return path_ + L"\\" + sub; }

  std::wstring path_;
};
