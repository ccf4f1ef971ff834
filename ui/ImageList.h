// One Windows image list of icons of one size, owned by the wrapper unless
// it is the system's shared icon list (which is never destroyed here). The
// colour depth follows the screen unless 32-bit colour is asked for.
// Window thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

enum ImageListFlags : unsigned {
  ImageListColor32 = 0x1,     // 32-bit colour with mask whatever the screen
  ImageListSystem = 0x2,      // the shared system icon list (small with 0x4)
  ImageListSmallIcons = 0x4,  // SM_CXSMICON × SM_CYSMICON
  ImageListLargeIcons = 0x8,  // SM_CXICON × SM_CYICON
};

class ImageList {
public:
  ImageList() = default;
  ~ImageList() { Destroy(); }
  ImageList(const ImageList&) = delete;
  ImageList& operator=(const ImageList&) = delete;

  // Destroys the old list, then creates one of width × height icons (or the
  // size the flags name) with room for initial images, growing by growth.
  // 1/0.
  int Create(unsigned flags, int width, int height, int initial, int growth);
  void Destroy();

  // Loads icon id of module at the list's size and appends it: its index,
  // or -1 when the icon is missing or cannot be added.
  int AddIcon(HINSTANCE module, int id);
  int Remove(int index);  // -1 removes all; 1/0
  int Draw(int index, HDC dc, int x, int y, UINT style) const;
  int DrawEx(int index, HDC dc, int x, int y, int width, int height, COLORREF background,
             COLORREF foreground, UINT style) const;
  int Count() const;

  HIMAGELIST Handle() const { return list_; }
  // Exchanges the lists of the two holders.
  void Swap(ImageList& other) {
    std::swap(list_, other.list_);
    std::swap(shared_, other.shared_);
    std::swap(width_, other.width_);
    std::swap(height_, other.height_);
  }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // The ILC_* colour flags a list gets with these ImageListFlags on this
  // screen: the screen's depth (planes × bits per pixel) rounded to an image
  // list depth, 16 instead of 32 bits before common controls 6.0, 8 bits on
  // the Windows 95/98/Me family.
  static UINT ColourFlags(unsigned flags, int screenDepth, DWORD commonControlsVersion,
                          bool windows9x);

private:
  HIMAGELIST list_ = nullptr;
  bool shared_ = false;
  int width_ = 0;
  int height_ = 0;
};
