#include "ui/ImageList.h"

#include <shellapi.h>

#include "ui/ControlSupport.h"
#include "ui/GdiGuard.h"

UINT ImageList::ColourFlags(unsigned flags, int screenDepth, DWORD commonControlsVersion,
                            bool windows9x) {
  if (flags & ImageListColor32) return ILC_COLOR32 | ILC_MASK;
  if (windows9x) return ILC_COLOR8 | ILC_MASK;
  UINT colour;
  if (screenDepth >= 24) {
    // 32-bit images with alpha need common controls 6.0.
    colour = commonControlsVersion >= 0x60000 ? ILC_COLOR32 : ILC_COLOR16;
  } else if (screenDepth > 15) {
    colour = ILC_COLOR16;
  } else if (screenDepth >= 8) {
    colour = ILC_COLOR8;
  } else if (screenDepth < 4) {
    colour = ILC_COLOR;
  } else {
    colour = ILC_COLOR4;
  }
  return colour | ILC_MASK;
}

int ImageList::Create(unsigned flags, int width, int height, int initial, int growth) {
  Destroy();
  if (flags & ImageListSmallIcons) {
    width = GetSystemMetrics(SM_CXSMICON);
    height = GetSystemMetrics(SM_CYSMICON);
  } else if (flags & ImageListLargeIcons) {
    width = GetSystemMetrics(SM_CXICON);
    height = GetSystemMetrics(SM_CYICON);
  }

  if (flags & ImageListSystem) {
    wchar_t windows[MAX_PATH] = {};
    UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 0;
    SHFILEINFOW info = {};
    UINT query = SHGFI_SYSICONINDEX | ((flags & ImageListSmallIcons) ? SHGFI_SMALLICON : 0);
    HIMAGELIST system = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(windows, 0, &info, sizeof(info), query));
    if (!system) return 0;
    int systemWidth = 0;
    int systemHeight = 0;
    if (ImageList_GetIconSize(system, &systemWidth, &systemHeight)) {
      width = systemWidth;
      height = systemHeight;
    }
    list_ = system;
    shared_ = true;
    width_ = width;
    height_ = height;
    return 1;
  }

  if (width <= 0 || height <= 0) return 0;
  int depth = 0;
  {
    WindowDc screen(nullptr);
    if (screen.Get()) depth = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
  }
  UINT colour = ColourFlags(flags, depth, CommonControlsVersion(), IsWindows9xFamily());
  list_ = ImageList_Create(width, height, colour, initial, growth);
  if (!list_) return 0;
  width_ = width;
  height_ = height;
  return 1;
}

void ImageList::Destroy() {
  if (list_ && !shared_) ImageList_Destroy(list_);
  list_ = nullptr;
  shared_ = false;
  width_ = 0;
  height_ = 0;
}

int ImageList::AddIcon(HINSTANCE module, int id) {
  if (!list_) return -1;
  HICON icon = LoadIconSized(module, id, width_, height_);
  if (!icon) return -1;
  int index = ImageList_ReplaceIcon(list_, -1, icon);
  DestroyIcon(icon);  // the list keeps a copy
  return index;
}

int ImageList::Remove(int index) { return list_ && ImageList_Remove(list_, index) ? 1 : 0; }

int ImageList::Draw(int index, HDC dc, int x, int y, UINT style) const {
  return list_ && ImageList_Draw(list_, index, dc, x, y, style) ? 1 : 0;
}

int ImageList::DrawEx(int index, HDC dc, int x, int y, int width, int height,
                      COLORREF background, COLORREF foreground, UINT style) const {
  if (!list_) return 0;
  return ImageList_DrawEx(list_, index, dc, x, y, width, height, background, foreground, style)
             ? 1
             : 0;
}

int ImageList::Count() const { return list_ ? ImageList_GetImageCount(list_) : 0; }
