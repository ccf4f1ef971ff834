#include "core/ThemeAccess.h"

#include <gtest/gtest.h>

#include "tests/core/FakeApiLibrary.h"

namespace {

struct Counts {
  unsigned opens, closes, draws, parentDraws;
};

class ThemeAccessTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fake.Loaded());
    window = CreateWindowW(L"STATIC", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    fake.Get<void(WINAPI*)(int)>("FakeSetThemeActive")(1);
    path = FakeApiPath();
    ASSERT_EQ(1, theme.SetLibraryName(path.c_str()));
  }
  void TearDown() override {
    theme.Close();
    DestroyWindow(window);
  }
  Counts Now() {
    Counts counts;
    fake.Get<void(WINAPI*)(unsigned*, unsigned*, unsigned*, unsigned*)>("FakeThemeCounts")(
        &counts.opens, &counts.closes, &counts.draws, &counts.parentDraws);
    return counts;
  }
  void ChangeTheme() { fake.Get<void(WINAPI*)()>("FakeChangeTheme")(); }

  FakeApiModule fake;  // keeps the fake loaded, so its counters live on
  std::wstring path;
  HWND window = nullptr;
  ThemeAccess theme;
  RECT rect = {0, 0, 10, 10};
};

TEST_F(ThemeAccessTest, OpenKeepsTheWindowAndOpensTheClassTheme) {
  Counts before = Now();
  ASSERT_EQ(1, theme.Open(window, L"Button"));
  EXPECT_NE(nullptr, theme.Theme());
  EXPECT_EQ(window, theme.Window());
  EXPECT_EQ(before.opens + 1, Now().opens);
  EXPECT_EQ(1, theme.HasWindowTheme());
  EXPECT_EQ(1, theme.DrawBackground(nullptr, 1, 1, &rect));
  EXPECT_EQ(before.draws + 1, Now().draws);
}

TEST_F(ThemeAccessTest, WithoutAClassListOnlyTheLibraryIsBound) {
  EXPECT_EQ(1, theme.Open(window, nullptr));
  EXPECT_EQ(nullptr, theme.Theme());
  EXPECT_EQ(0, theme.HasWindowTheme());
  EXPECT_EQ(1, theme.EnableDialogTexture(ETDT_ENABLETAB));
}

TEST_F(ThemeAccessTest, AStaleThemeIsOpenedAgainAndDrawnOnce) {
  ASSERT_EQ(1, theme.Open(window, L"Button"));
  HTHEME first = theme.Theme();
  ChangeTheme();
  Counts before = Now();
  EXPECT_EQ(1, theme.DrawBackground(nullptr, 1, 1, &rect));
  Counts after = Now();
  EXPECT_EQ(before.closes + 1, after.closes);
  EXPECT_EQ(before.opens + 1, after.opens);
  EXPECT_EQ(before.draws + 1, after.draws);
  EXPECT_NE(first, theme.Theme());
  EXPECT_EQ(window, theme.Window());
  // The kept class list survived the re-opening: it opens once more.
  ChangeTheme();
  EXPECT_EQ(1, theme.DrawBackground(nullptr, 1, 1, &rect));
}

TEST_F(ThemeAccessTest, AStaleThemeIsNotReopenedWhenThemesAreOff) {
  ASSERT_EQ(1, theme.Open(window, L"Button"));
  ChangeTheme();
  fake.Get<void(WINAPI*)(int)>("FakeSetThemeActive")(0);
  Counts before = Now();
  EXPECT_EQ(0, theme.DrawBackground(nullptr, 1, 1, &rect));
  EXPECT_EQ(before.opens, Now().opens);
  EXPECT_EQ(before.draws, Now().draws);
}

TEST_F(ThemeAccessTest, TheOtherCallsPassTheirAnswersOn) {
  ASSERT_EQ(1, theme.Open(window, L"Button"));
  EXPECT_EQ(1, theme.EnableDialogTexture(ETDT_ENABLETAB));
  EXPECT_EQ(0, theme.EnableDialogTexture(ETDT_DISABLE));
  EXPECT_EQ(1, theme.IsBackgroundPartiallyTransparent(2, 0));
  EXPECT_EQ(0, theme.IsBackgroundPartiallyTransparent(1, 0));
  Counts before = Now();
  EXPECT_EQ(1, theme.DrawParentBackground(nullptr, &rect));
  EXPECT_EQ(before.parentDraws + 1, Now().parentDraws);
}

TEST_F(ThemeAccessTest, CloseReleasesTheThemeOnceAndForgetsIt) {
  ASSERT_EQ(1, theme.Open(window, L"Button"));
  Counts before = Now();
  EXPECT_EQ(1, theme.Close());
  EXPECT_EQ(1, theme.Close());
  EXPECT_EQ(before.closes + 1, Now().closes);
  EXPECT_EQ(nullptr, theme.Theme());
}

TEST_F(ThemeAccessTest, WithoutTheLibraryEveryCallAnswersZero) {
  std::wstring missing = ScratchDllPath(L"pellton-no-uxtheme");
  ASSERT_EQ(1, theme.SetLibraryName(missing.c_str()));
  EXPECT_EQ(0, theme.Open(window, L"Button"));
  EXPECT_EQ(0, theme.DrawBackground(nullptr, 1, 1, &rect));
  EXPECT_EQ(0, theme.EnableDialogTexture(ETDT_ENABLETAB));
  EXPECT_EQ(0, theme.IsBackgroundPartiallyTransparent(2, 0));
  EXPECT_EQ(0, theme.DrawParentBackground(nullptr, &rect));
  EXPECT_EQ(0, theme.HasWindowTheme());
  // A library without the theme functions cannot be opened either.
  ASSERT_EQ(1, theme.SetLibraryName(L"kernel32.dll"));
  EXPECT_EQ(0, theme.Open(window, L"Button"));
  EXPECT_EQ(0, theme.Open(window, nullptr));
}

}  // namespace
