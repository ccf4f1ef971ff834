#include "core/SystemApi.h"

#include <gtest/gtest.h>

#include "core/LibraryHandle.h"
#include "tests/core/FakeApiLibrary.h"

namespace {

TEST(LibraryHandleTest, AMissingLibraryFailsQuietlyAndLeavesTheErrorModeAlone) {
  UINT before = SetErrorMode(0);
  LibraryHandle handle;
  EXPECT_EQ(0, handle.Load(L"pellton-no-such-library.dll"));
  EXPECT_FALSE(handle.IsLoaded());
  EXPECT_EQ(nullptr, handle.Resolve("Anything"));
  EXPECT_EQ(0u, GetErrorMode());
  SetErrorMode(before);
}

TEST(LibraryHandleTest, LoadsWithTheMessageBoxesOfMissingFilesSwitchedOff) {
  // A copy of its own, so that the library's start-up code runs in this load.
  std::wstring copy = ScratchDllPath(L"pellton-error-mode");
  ASSERT_TRUE(CopyFileW(FakeApiPath().c_str(), copy.c_str(), FALSE));
  UINT before = SetErrorMode(0);
  DWORD threadBefore = 0;
  ASSERT_TRUE(SetThreadErrorMode(0, &threadBefore));
  {
    LibraryHandle handle;
    ASSERT_EQ(1, handle.Load(copy.c_str()));
    EXPECT_EQ(0u, GetErrorMode());
    EXPECT_EQ(0u, GetThreadErrorMode());  // restored after the load
    typedef unsigned(WINAPI * ModeFn)();
    ModeFn modeAtLoad = handle.ResolveAs<ModeFn>("FakeErrorModeAtLoad");
    ModeFn threadModeAtLoad = handle.ResolveAs<ModeFn>("FakeThreadErrorModeAtLoad");
    ASSERT_NE(nullptr, modeAtLoad);
    ASSERT_NE(nullptr, threadModeAtLoad);
    // Only the loading thread's mode changes: another thread loading at
    // the same time could otherwise leave the process's mode changed.
    EXPECT_EQ(0x8001u, threadModeAtLoad());
    EXPECT_EQ(0u, modeAtLoad());
    EXPECT_EQ(nullptr, handle.Resolve("NoSuchFunction"));
    EXPECT_EQ(1, handle.Unload());
    EXPECT_EQ(nullptr, GetModuleHandleW(copy.c_str()));
    EXPECT_EQ(nullptr, handle.Resolve("FakeErrorModeAtLoad"));
  }
  SetThreadErrorMode(threadBefore, nullptr);
  SetErrorMode(before);
  DeleteFileW(copy.c_str());
}

TEST(LibraryHandleTest, ASystemOnlyLoadIgnoresALibraryBesideTheProgram) {
  LibraryHandle handle;
  ASSERT_EQ(1, handle.Load(L"pellton-fake-api.dll"));  // beside the test program
  EXPECT_EQ(0, handle.Load(L"pellton-fake-api.dll", 1));
  EXPECT_EQ(0, handle.Load(FakeApiPath().c_str(), 1));
  EXPECT_EQ(1, handle.Load(L"kernel32.dll", 1));
}

TEST(LibraryHandleTest, LoadingAgainReleasesTheFirstLibrary) {
  std::wstring copy = ScratchDllPath(L"pellton-reload");
  ASSERT_TRUE(CopyFileW(FakeApiPath().c_str(), copy.c_str(), FALSE));
  LibraryHandle handle;
  ASSERT_EQ(1, handle.Load(copy.c_str()));
  ASSERT_EQ(1, handle.Load(L"kernel32.dll"));
  EXPECT_EQ(nullptr, GetModuleHandleW(copy.c_str()));
  EXPECT_NE(nullptr, handle.Resolve("GetTickCount"));
  handle.Unload();
  DeleteFileW(copy.c_str());
}

class SystemApiTest : public ::testing::Test {
protected:
  void SetUp() override { missing = ScratchDllPath(L"pellton-missing"); }
  void TearDown() override {
    api.UnloadAll();
    DeleteFileW(missing.c_str());
  }
  SystemApi api;
  std::wstring missing;  // not there unless a test puts it there
};

TEST_F(SystemApiTest, EveryGattWrapperGives87WithoutTheLibrary) {
  ASSERT_EQ(1, api.SetLibraryName(SystemApi::BluetoothApis, missing.c_str()));
  USHORT actual = 0;
  HANDLE eventHandle = nullptr;
  EXPECT_EQ(87, api.BluetoothGATTGetServices(nullptr, 0, nullptr, &actual, 0));
  EXPECT_EQ(87, api.BluetoothGATTGetCharacteristics(nullptr, nullptr, 0, nullptr, &actual, 0));
  EXPECT_EQ(87, api.BluetoothGATTGetDescriptors(nullptr, nullptr, 0, nullptr, &actual, 0));
  EXPECT_EQ(87, api.BluetoothGATTGetCharacteristicValue(nullptr, nullptr, 0, nullptr, &actual, 0));
  EXPECT_EQ(87, api.BluetoothGATTGetDescriptorValue(nullptr, nullptr, 0, nullptr, &actual, 0));
  EXPECT_EQ(87, api.BluetoothGATTSetCharacteristicValue(nullptr, nullptr, nullptr, 0, 0));
  EXPECT_EQ(87, api.BluetoothGATTSetDescriptorValue(nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(87, api.BluetoothGATTRegisterEvent(nullptr, 0, nullptr, nullptr, nullptr, &eventHandle, 0));
  EXPECT_EQ(87, api.BluetoothGATTUnregisterEvent(nullptr, 0));
  EXPECT_EQ(0, actual);
}

TEST_F(SystemApiTest, AFailedLoadIsTriedAgainOnTheNextCall) {
  ASSERT_EQ(1, api.SetLibraryName(SystemApi::BluetoothApis, missing.c_str()));
  USHORT actual = 0;
  HANDLE device = reinterpret_cast<HANDLE>(0x4321);
  EXPECT_EQ(87, api.BluetoothGATTGetServices(device, 5, nullptr, &actual, 3));
  EXPECT_EQ(87, api.BluetoothGATTGetServices(device, 5, nullptr, &actual, 3));
  // The library appears between two calls.
  ASSERT_TRUE(CopyFileW(FakeApiPath().c_str(), missing.c_str(), FALSE));
  EXPECT_EQ(1003, api.BluetoothGATTGetServices(device, 5, nullptr, &actual, 3));
  EXPECT_EQ(6, actual);  // arguments passed through unchanged
  typedef void*(WINAPI * LastDeviceFn)();
  LastDeviceFn lastDevice = reinterpret_cast<LastDeviceFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(missing.c_str()), "FakeLastGattDevice")));
  ASSERT_NE(nullptr, lastDevice);
  EXPECT_EQ(device, lastDevice());
}

TEST_F(SystemApiTest, AFunctionMissingFromAPresentLibraryGivesTheFailureValue) {
  std::wstring fake = FakeApiPath();
  ASSERT_EQ(1, api.SetLibraryName(SystemApi::BluetoothApis, fake.c_str()));
  EXPECT_EQ(S_OK, api.BluetoothGATTUnregisterEvent(nullptr, 0));
  EXPECT_EQ(87, api.BluetoothGATTGetDescriptors(nullptr, nullptr, 0, nullptr, nullptr, 0));
  api.SetLibraryName(SystemApi::User32, fake.c_str());
  POINT origin = {0, 0};
  EXPECT_EQ(nullptr, api.MonitorFromPoint(origin, MONITOR_DEFAULTTONEAREST));
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  EXPECT_EQ(0, api.GetMonitorInfoW(reinterpret_cast<HMONITOR>(1), &info));
  api.SetLibraryName(SystemApi::Ole32, fake.c_str());
  EXPECT_EQ(E_FAIL, api.CoInitializeSecurity(nullptr, -1, nullptr, nullptr, 0, 0, nullptr, 0, nullptr));
  EXPECT_EQ(E_FAIL, api.CoSetProxyBlanket(nullptr, 0, 0, nullptr, 0, 0, nullptr, 0));
  api.SetLibraryName(SystemApi::Comctl32, fake.c_str());
  HICON icon = nullptr;
  EXPECT_EQ(E_FAIL, api.LoadIconMetric(nullptr, IDI_APPLICATION, 0, &icon));
  EXPECT_EQ(E_FAIL, api.LoadIconWithScaleDown(nullptr, IDI_APPLICATION, 16, 16, &icon));
  EXPECT_EQ(nullptr, icon);
  api.SetLibraryName(SystemApi::Ntdll, fake.c_str());
  EXPECT_EQ(nullptr, api.wine_get_version());
  EXPECT_EQ(SystemApi::NtUnavailable, api.NtQuerySystemInformation(0, nullptr, 0, nullptr));
  // The library itself stays loaded.
  EXPECT_NE(nullptr, GetModuleHandleW(fake.c_str()));
}

TEST_F(SystemApiTest, LanguageQueriesGiveEnglishWithoutTheirFunctions) {
  ASSERT_EQ(1, api.SetLibraryName(SystemApi::Kernel32, missing.c_str()));
  EXPECT_EQ(9, api.GetUserDefaultUILanguage());
  EXPECT_EQ(9, api.GetSystemDefaultUILanguage());
  EXPECT_EQ(E_FAIL, api.WerRegisterFile(L"x", 2, 2));
  // From a library that has them, their own answers.
  ASSERT_EQ(1, api.SetLibraryName(SystemApi::Kernel32, FakeApiPath().c_str()));
  EXPECT_EQ(0x0407, api.GetUserDefaultUILanguage());
  EXPECT_EQ(0x040C, api.GetSystemDefaultUILanguage());
}

TEST_F(SystemApiTest, RenamingALibraryDropsTheAddressesCachedFromTheOldOne) {
  ASSERT_EQ(1, api.SetLibraryName(SystemApi::Kernel32, FakeApiPath().c_str()));
  EXPECT_EQ(0x0407, api.GetUserDefaultUILanguage());
  ASSERT_EQ(1, api.SetLibraryName(SystemApi::Kernel32, nullptr));
  EXPECT_STREQ(L"kernel32.dll", api.LibraryName(SystemApi::Kernel32));
  EXPECT_EQ(::GetUserDefaultUILanguage(), api.GetUserDefaultUILanguage());
}

TEST_F(SystemApiTest, TheSystemsOwnFunctionsAreCalledThrough) {
  EXPECT_STREQ(L"bluetoothapis.dll", api.LibraryName(SystemApi::BluetoothApis));
  EXPECT_STREQ(L"ntdll.dll", api.LibraryName(SystemApi::Ntdll));
  EXPECT_EQ(::GetSystemDefaultUILanguage(), api.GetSystemDefaultUILanguage());
  POINT origin = {0, 0};
  HMONITOR monitor = api.MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY);
  EXPECT_EQ(::MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY), monitor);
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  EXPECT_EQ(TRUE, api.GetMonitorInfoW(monitor, &info));
  EXPECT_NE(0, info.rcMonitor.right - info.rcMonitor.left);
  // These tests run under Wine, which names itself.
  typedef const char*(__cdecl * WineVersionFn)();
  WineVersionFn wineVersion = reinterpret_cast<WineVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
  ASSERT_NE(nullptr, wineVersion);
  EXPECT_STREQ(wineVersion(), api.wine_get_version());
}

}  // namespace
