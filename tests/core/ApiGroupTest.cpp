#include "core/ApiGroup.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/core/FakeApiLibrary.h"

namespace {

typedef int(WINAPI* IntFn)();

const ApiFunction kGroup[] = {{"GroupFirst", 1}, {"GroupSecond", 1}, {"GroupOptional", 0}};
const ApiFunction kBroken[] = {{"GroupFirst", 1}, {"GroupMissing", 1}};

class ApiGroupTest : public ::testing::Test {
protected:
  void SetUp() override {
    // A copy of its own, so that whether it is loaded can be seen.
    copy = ScratchDllPath(L"pellton-group");
    ASSERT_TRUE(CopyFileW(FakeApiPath().c_str(), copy.c_str(), FALSE));
  }
  void TearDown() override { DeleteFileW(copy.c_str()); }
  bool Loaded() const { return GetModuleHandleW(copy.c_str()) != nullptr; }
  std::wstring copy;
};

TEST_F(ApiGroupTest, TheFirstBindLoadsAndResolvesTheLastUnbindUnloads) {
  ApiGroup group(copy.c_str(), kGroup, 3);
  EXPECT_EQ(nullptr, group.Address(0));
  ASSERT_EQ(1, group.Bind());
  EXPECT_EQ(1, group.UseCount());
  EXPECT_TRUE(Loaded());
  ASSERT_NE(nullptr, group.Address(0));
  EXPECT_EQ(1, group.Function<IntFn>(0)());
  EXPECT_EQ(2, group.Function<IntFn>(1)());
  EXPECT_EQ(nullptr, group.Address(2));  // optional and missing: still bound
  EXPECT_EQ(nullptr, group.Address(3));  // past the table
  ASSERT_EQ(1, group.Bind());
  EXPECT_EQ(2, group.UseCount());
  EXPECT_EQ(1, group.Unbind());
  EXPECT_EQ(1, group.UseCount());
  EXPECT_NE(nullptr, group.Address(0));
  EXPECT_TRUE(Loaded());
  EXPECT_EQ(1, group.Unbind());
  EXPECT_EQ(0, group.UseCount());
  EXPECT_EQ(nullptr, group.Address(0));
  EXPECT_FALSE(Loaded());
  EXPECT_EQ(0, group.Unbind());  // nothing left to release
  EXPECT_EQ(0, group.UseCount());
}

TEST_F(ApiGroupTest, AMissingRequiredFunctionFailsTheBindAndUnloads) {
  ApiGroup group(copy.c_str(), kBroken, 2);
  EXPECT_EQ(0, group.Bind());
  EXPECT_EQ(0, group.UseCount());
  EXPECT_EQ(nullptr, group.Address(0));
  EXPECT_FALSE(Loaded());
}

TEST_F(ApiGroupTest, AMissingLibraryFailsAndIsTriedAgainOnTheNextBind) {
  std::wstring later = ScratchDllPath(L"pellton-group-later");
  ApiGroup group(later.c_str(), kGroup, 3);
  EXPECT_EQ(0, group.Bind());
  EXPECT_EQ(0, group.UseCount());
  ASSERT_TRUE(CopyFileW(FakeApiPath().c_str(), later.c_str(), FALSE));
  EXPECT_EQ(1, group.Bind());
  EXPECT_EQ(1, group.UseCount());
  group.Unbind();
  DeleteFileW(later.c_str());
}

TEST_F(ApiGroupTest, UsersOnOtherThreadsNeverSeeAHalfBoundGroup) {
  ApiGroup group(copy.c_str(), kGroup, 3);
  volatile LONG unresolved = 0;
  std::vector<std::thread> users;
  for (int t = 0; t < 4; ++t) {
    users.emplace_back([&] {
      for (int i = 0; i < 100; ++i) {
        if (!group.Bind()) {
          InterlockedIncrement(&unresolved);
          continue;
        }
        if (!group.Address(0) || !group.Address(1)) InterlockedIncrement(&unresolved);
        group.Unbind();
      }
    });
  }
  for (std::thread& user : users) user.join();
  EXPECT_EQ(0, unresolved);
  EXPECT_EQ(0, group.UseCount());
  EXPECT_EQ(nullptr, group.Address(0));
  EXPECT_FALSE(Loaded());
}

}  // namespace
