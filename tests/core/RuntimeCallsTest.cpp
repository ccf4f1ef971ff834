#include "core/RuntimeCalls.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/core/FakeApiLibrary.h"

namespace {

TEST(RuntimeCallsTest, AMissingIsWow64ProcessCountsAsNotWow64) {
  EXPECT_EQ(0, ProcessIsWow64From(L"pellton-no-such-library.dll", nullptr));
  EXPECT_EQ(0, ProcessIsWow64From(L"user32.dll", nullptr));  // present, without the function
}

TEST(RuntimeCallsTest, IsWow64ProcessAsksAboutThisProcessWhenNoneIsGiven) {
  FakeApiModule fake;
  ASSERT_TRUE(fake.Loaded());
  EXPECT_EQ(1, ProcessIsWow64From(FakeApiPath().c_str(), nullptr));
  EXPECT_EQ(GetCurrentProcess(), fake.Get<void*(WINAPI*)()>("FakeLastWow64Process")());
  HANDLE other = reinterpret_cast<HANDLE>(0x1234);
  EXPECT_EQ(1, ProcessIsWow64From(FakeApiPath().c_str(), other));
  EXPECT_EQ(other, fake.Get<void*(WINAPI*)()>("FakeLastWow64Process")());
}

TEST(RuntimeCallsTest, ASixtyFourBitProcessIsNotWow64) {
#ifdef _WIN64
  EXPECT_EQ(0, ProcessIsWow64());
#else
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  EXPECT_EQ(wow64 ? 1 : 0, ProcessIsWow64());
#endif
}

TEST(RuntimeCallsTest, CoInitializeExIsCalledWithTheGivenModel) {
  EXPECT_EQ(E_NOTIMPL, CoInitializeExFrom(L"pellton-no-such-library.dll", COINIT_APARTMENTTHREADED));
  EXPECT_EQ(E_NOTIMPL, CoInitializeExFrom(L"user32.dll", COINIT_APARTMENTTHREADED));
  EXPECT_EQ(static_cast<HRESULT>(0x00BE0000u | COINIT_APARTMENTTHREADED),
            CoInitializeExFrom(FakeApiPath().c_str(), COINIT_APARTMENTTHREADED));
  // The real one, on a thread of its own.
  HRESULT first = E_FAIL, second = E_FAIL;
  std::thread apartment([&] {
    first = CoInitializeExAtRunTime(COINIT_APARTMENTTHREADED);
    second = CoInitializeExAtRunTime(COINIT_MULTITHREADED);
    if (SUCCEEDED(first)) CoUninitialize();
  });
  apartment.join();
  EXPECT_EQ(S_OK, first);
  EXPECT_EQ(RPC_E_CHANGED_MODE, second);
}

TEST(RuntimeCallsTest, DllGetVersionReportsTheLibrarysVersion) {
  DLLVERSIONINFO info = {};
  EXPECT_EQ(S_OK, DllGetVersionOf(L"comctl32.dll", &info));
  EXPECT_EQ(sizeof(info), info.cbSize);
  EXPECT_GE(info.dwMajorVersion, 5u);
  EXPECT_EQ(E_NOTIMPL, DllGetVersionOf(L"pellton-no-such-library.dll", &info));
  EXPECT_EQ(E_NOTIMPL, DllGetVersionOf(FakeApiPath().c_str(), &info));
  EXPECT_EQ(E_POINTER, DllGetVersionOf(L"comctl32.dll", nullptr));
}

}  // namespace
