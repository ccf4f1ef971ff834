// The handle guard closes what it holds on every way out, never closes
// "no handle", and hands a handle over when moved or released.
#include "core/KernelHandle.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != 0;
}

TEST(KernelHandleTest, WhatIsHeldIsClosedOnceAtTheEndOfItsScope) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(nullptr, event);
  {
    KernelHandle held(event);
    EXPECT_TRUE(held.IsValid());
    EXPECT_EQ(event, static_cast<HANDLE>(held));
    EXPECT_TRUE(SetEvent(held));
    EXPECT_TRUE(IsOpen(event));
  }
  EXPECT_FALSE(IsOpen(event));

  KernelHandle failed(CreateFileW(L"Z:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
  EXPECT_EQ(INVALID_HANDLE_VALUE, failed);
  EXPECT_FALSE(failed.IsValid());
  EXPECT_EQ(1, failed.Close());  // nothing to close
}

TEST(KernelHandleTest, MovingReleasingAndReplacingHandOver) {
  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(first && second);
  KernelHandle a(first);
  KernelHandle b(std::move(a));
  EXPECT_EQ(nullptr, a.Get());
  EXPECT_EQ(first, b.Get());
  b = second;  // the first is closed
  EXPECT_FALSE(IsOpen(first));
  HANDLE released = b.Release();
  EXPECT_EQ(second, released);
  EXPECT_EQ(nullptr, b.Get());
  EXPECT_TRUE(IsOpen(second));

  KernelHandle copy;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), second, GetCurrentProcess(), copy.Out(), 0, FALSE,
                              DUPLICATE_SAME_ACCESS));
  EXPECT_TRUE(copy.IsValid());
  EXPECT_TRUE(CloseHandle(second));
  HANDLE duplicate = copy.Get();
  EXPECT_EQ(1, copy.Close());
  EXPECT_FALSE(IsOpen(duplicate));
  EXPECT_EQ(1, copy.Close());
}

}  // namespace
