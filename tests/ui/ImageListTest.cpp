// The image list wrapper: the colour depth chosen for each screen and
// system, icon sizes by flag, icons added from the program's resources and
// removed, and the shared system list that is never destroyed here.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "resources/ResourceIds.h"
#include "ui/ImageList.h"

namespace {

TEST(ImageListTest, TheColourDepthFollowsTheScreenAndTheSystem) {
  EXPECT_EQ(UINT(ILC_COLOR32 | ILC_MASK), ImageList::ColourFlags(ImageListColor32, 4, 0, true));
  EXPECT_EQ(UINT(ILC_COLOR32 | ILC_MASK), ImageList::ColourFlags(0, 32, 0x60000, false));
  EXPECT_EQ(UINT(ILC_COLOR32 | ILC_MASK), ImageList::ColourFlags(0, 24, 0x6000A, false));
  EXPECT_EQ(UINT(ILC_COLOR16 | ILC_MASK), ImageList::ColourFlags(0, 32, 0x50051, false));
  EXPECT_EQ(UINT(ILC_COLOR16 | ILC_MASK), ImageList::ColourFlags(0, 16, 0x60000, false));
  EXPECT_EQ(UINT(ILC_COLOR8 | ILC_MASK), ImageList::ColourFlags(0, 15, 0x60000, false));
  EXPECT_EQ(UINT(ILC_COLOR8 | ILC_MASK), ImageList::ColourFlags(0, 8, 0x60000, false));
  EXPECT_EQ(UINT(ILC_COLOR4 | ILC_MASK), ImageList::ColourFlags(0, 4, 0x60000, false));
  EXPECT_EQ(UINT(ILC_COLOR | ILC_MASK), ImageList::ColourFlags(0, 1, 0x60000, false));
  EXPECT_EQ(UINT(ILC_COLOR8 | ILC_MASK), ImageList::ColourFlags(0, 32, 0x60000, true));
}

TEST(ImageListTest, IconsOfTheProgramAreAddedAtTheListsSizeAndRemoved) {
  ImageList list;
  ASSERT_EQ(1, list.Create(ImageListSmallIcons, 0, 0, 10, 10));
  EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), list.Width());
  EXPECT_EQ(GetSystemMetrics(SM_CYSMICON), list.Height());
  EXPECT_EQ(0, list.AddIcon(GetModuleHandleW(nullptr), IDI_INFO));
  EXPECT_EQ(1, list.AddIcon(GetModuleHandleW(nullptr), IDI_WALKING));
  EXPECT_EQ(-1, list.AddIcon(GetModuleHandleW(nullptr), 9999));
  EXPECT_EQ(2, list.Count());
  int width = 0;
  int height = 0;
  ASSERT_TRUE(ImageList_GetIconSize(list.Handle(), &width, &height));
  EXPECT_EQ(list.Width(), width);
  EXPECT_EQ(1, list.Remove(0));
  EXPECT_EQ(1, list.Count());
  EXPECT_EQ(1, list.Remove(-1));
  EXPECT_EQ(0, list.Count());

  ASSERT_EQ(1, list.Create(ImageListLargeIcons, 0, 0, 1, 1));
  EXPECT_EQ(GetSystemMetrics(SM_CXICON), list.Width());
  ASSERT_EQ(1, list.Create(ImageListColor32, 24, 20, 1, 1));
  EXPECT_EQ(24, list.Width());
  EXPECT_EQ(20, list.Height());
  EXPECT_EQ(0, list.Create(0, 0, 16, 1, 1));
  EXPECT_EQ(nullptr, list.Handle());
  EXPECT_EQ(-1, list.AddIcon(GetModuleHandleW(nullptr), IDI_INFO));
}

TEST(ImageListTest, TheSystemIconListIsSharedAndOutlivesTheWrapper) {
  HIMAGELIST shared = nullptr;
  {
    ImageList list;
    ASSERT_EQ(1, list.Create(ImageListSystem | ImageListSmallIcons, 0, 0, 0, 0));
    shared = list.Handle();
    ASSERT_TRUE(shared != nullptr);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), list.Width());
  }
  int width = 0;
  int height = 0;
  EXPECT_TRUE(ImageList_GetIconSize(shared, &width, &height));  // still alive
  EXPECT_GT(ImageList_GetImageCount(shared), 0);
}

}  // namespace
