// The handle guard closes what it holds once, on the way out or when it
// takes another; "no handle" (none, INVALID_HANDLE_VALUE) is never closed.
#include "core/KernelHandle.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != 0;
}

TEST(KernelHandleTest, WhatIsHeldIsClosedOnceWhenTheLastHolderGoes) {
  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(first && second);
  {
    KernelHandle a(first);
    KernelHandle b(std::move(a));
    EXPECT_TRUE(SetEvent(b));
    b = second;  // the first is closed
    EXPECT_FALSE(IsOpen(first));
    EXPECT_TRUE(IsOpen(second));
  }
  EXPECT_FALSE(IsOpen(second));

  KernelHandle failed(CreateFileW(L"Z:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
  EXPECT_FALSE(failed.IsValid());
  EXPECT_EQ(1, failed.Close());
}

}  // namespace
