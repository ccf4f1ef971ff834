// The memory canvas: compatible bitmaps and DIB sections (top-down and
// bottom-up, with a colour table), filling, wrapping a window's or someone
// else's device context, and giving back exactly what it made.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/ui/ControlTestSupport.h"
#include "ui/MemoryCanvas.h"

namespace {

TEST(MemoryCanvasTest, ACompatibleBitmapIsFilledWholeOrInPart) {
  MemoryCanvas canvas;
  ASSERT_EQ(1, canvas.CreateBitmap(30, 20));
  EXPECT_EQ(30, canvas.Width());
  EXPECT_EQ(20, canvas.Height());
  ASSERT_EQ(1, canvas.Fill(RGB(0, 0, 255)));
  RECT part = {10, 5, 20, 10};
  ASSERT_EQ(1, canvas.Fill(RGB(255, 0, 0), &part));
  EXPECT_EQ(RGB(0, 0, 255), GetPixel(canvas.Dc(), 0, 0));
  EXPECT_EQ(RGB(0, 0, 255), GetPixel(canvas.Dc(), 29, 19));
  EXPECT_EQ(RGB(255, 0, 0), GetPixel(canvas.Dc(), 10, 5));
  EXPECT_EQ(RGB(255, 0, 0), GetPixel(canvas.Dc(), 19, 9));
  EXPECT_EQ(RGB(0, 0, 255), GetPixel(canvas.Dc(), 20, 10));
  EXPECT_EQ(0, canvas.CreateBitmap(0, 5));
  EXPECT_EQ(nullptr, canvas.Dc());
}

TEST(MemoryCanvasTest, ANegativeHeightGivesTopDownRowsAndIsKeptAsGiven) {
  MemoryCanvas canvas;
  ASSERT_EQ(1, canvas.CreateDib(4, -3, 32));
  EXPECT_EQ(-3, canvas.Height());
  ASSERT_TRUE(canvas.Bits() != nullptr);
  RECT top = {0, 0, 4, 1};
  canvas.Fill(RGB(0, 0, 0));
  canvas.Fill(RGB(0x12, 0x34, 0x56), &top);
  GdiFlush();
  const DWORD* bits = static_cast<const DWORD*>(canvas.Bits());
  EXPECT_EQ(0x123456u, bits[0] & 0xFFFFFF);  // the first row in memory is the top
  EXPECT_EQ(0u, bits[4] & 0xFFFFFF);

  ASSERT_EQ(1, canvas.CreateDib(4, 3, 32));
  canvas.Fill(RGB(0, 0, 0));
  canvas.Fill(RGB(0x12, 0x34, 0x56), &top);
  GdiFlush();
  bits = static_cast<const DWORD*>(canvas.Bits());
  EXPECT_EQ(0u, bits[0] & 0xFFFFFF);  // bottom-up: the top row comes last
  EXPECT_EQ(0x123456u, bits[8] & 0xFFFFFF);
}

TEST(MemoryCanvasTest, AColourTableIsTakenFromTheGivenBytes) {
  const RGBQUAD table[2] = {{0, 0, 0, 0}, {0x30, 0x20, 0x10, 0}};  // blue, green, red
  MemoryCanvas canvas;
  ASSERT_EQ(1, canvas.CreateDib(8, -2, 1, table, sizeof(table)));
  static_cast<BYTE*>(canvas.Bits())[0] = 0x80;  // the first pixel uses entry 1
  EXPECT_EQ(RGB(0x10, 0x20, 0x30), GetPixel(canvas.Dc(), 0, 0));
  EXPECT_EQ(RGB(0, 0, 0), GetPixel(canvas.Dc(), 1, 0));
  EXPECT_EQ(0, canvas.CreateDib(8, 2, 8, table, 257 * sizeof(RGBQUAD)));
}

TEST(MemoryCanvasTest, WhatTheCanvasMadeIsDeletedAndAForeignDcIsLeftAlone) {
  const int before = controltest::LiveGdiObjects();
  HBITMAP bitmap = nullptr;
  HDC dc = nullptr;
  {
    MemoryCanvas canvas;
    ASSERT_EQ(1, canvas.CreateDib(16, 16, 24));
    bitmap = canvas.Bitmap();
    dc = canvas.Dc();
    EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(bitmap));
    EXPECT_EQ(static_cast<DWORD>(OBJ_MEMDC), GetObjectType(dc));
    ASSERT_EQ(1, canvas.CreateBitmap(8, 8));  // the first pair goes now
    EXPECT_EQ(0u, GetObjectType(bitmap));
    bitmap = canvas.Bitmap();
    dc = canvas.Dc();
  }
  EXPECT_EQ(0u, GetObjectType(bitmap));
  EXPECT_EQ(0u, GetObjectType(dc));
  if (before > 0) {
    EXPECT_EQ(before, controltest::LiveGdiObjects());
  }

  controltest::Surface foreign(10, 10);
  {
    MemoryCanvas canvas;
    ASSERT_EQ(1, canvas.WrapDc(foreign.Dc()));
    EXPECT_EQ(0, canvas.Fill(RGB(1, 1, 1)));  // its size is unknown
    RECT all = {0, 0, 10, 10};
    ASSERT_EQ(1, canvas.Fill(RGB(9, 8, 7), &all));
  }
  EXPECT_EQ(static_cast<DWORD>(OBJ_MEMDC), GetObjectType(foreign.Dc()));
  EXPECT_EQ(RGB(9, 8, 7), foreign.At(5, 5));
}

TEST(MemoryCanvasTest, AWrappedWindowIsFilledOverItsClientArea) {
  controltest::HostDialog dialog;
  ASSERT_TRUE(dialog.Create(60, 40, false) != nullptr);
  {
    MemoryCanvas canvas;
    ASSERT_EQ(1, canvas.WrapWindow(dialog.Window()));
    EXPECT_EQ(60, canvas.Width());
    EXPECT_EQ(40, canvas.Height());
    EXPECT_EQ(1, canvas.Fill(RGB(0, 128, 0)));
  }
  EXPECT_EQ(0, MemoryCanvas().WrapWindow(nullptr));
  dialog.Close(0);
}

}  // namespace
