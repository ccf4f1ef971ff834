// Font substitution of dialog templates: finding the font block in both
// layouts, the byte transformation with the item templates re-aligned, the
// choice of face and size, and substituted templates that still build
// dialogs with all their items.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tests/ui/DialogTemplateBuilder.h"
#include "ui/TemplateFont.h"

namespace {

const DWORD PopupStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;

std::vector<BYTE> TemplateWithItems(bool extended, const wchar_t* face, WORD points = 8) {
  DialogTemplateBuilder builder(extended, PopupStyle, 200, 100, L"Title", face, points);
  builder.AddItem(0x0082, SS_LEFT, 5, 5, 80, 10, 1020, L"Status");
  builder.AddItem(0x0080, BS_PUSHBUTTON, 140, 80, 50, 14, 1003, L"Close");
  return builder.Build();
}

size_t Align(size_t n) { return (n + 3) & ~size_t(3); }

std::wstring FaceAt(const std::vector<BYTE>& bytes, size_t offset) {
  std::wstring face;
  for (size_t at = offset; at + 1 < bytes.size(); at += 2) {
    wchar_t c = static_cast<wchar_t>(bytes[at] | (bytes[at + 1] << 8));
    if (!c) break;
    face.push_back(c);
  }
  return face;
}

WORD WordAt(const std::vector<BYTE>& bytes, size_t offset) {
  return static_cast<WORD>(bytes[offset] | (bytes[offset + 1] << 8));
}

TEST(TemplateFontTest, TheFontBlockOfAnExtendedTemplateFollowsMenuClassAndTitle) {
  DialogTemplateBuilder builder(true, PopupStyle, 200, 100, L"Title", L"MS Shell Dlg", 8);
  builder.SetMenuOrdinal(7);
  builder.SetClassName(L"Cls");
  std::vector<BYTE> bytes = builder.Build();
  TemplateFontBlock block;
  ASSERT_EQ(1, FindTemplateFont(bytes.data(), bytes.size(), &block));
  EXPECT_TRUE(block.extended);
  // 26 header bytes, menu 0xFFFF + ordinal (4), "Cls" (8), "Title" (12)
  EXPECT_EQ(50u, block.pointSize);
  EXPECT_EQ(56u, block.face);  // after point size, weight, italic, charset
  EXPECT_EQ(56u + 26u, block.faceEnd);
  EXPECT_EQ(8, block.points);
  EXPECT_STREQ(L"MS Shell Dlg", block.faceName.CStr());
}

TEST(TemplateFontTest, TheFontBlockOfAClassicTemplateIsPointSizeAndFace) {
  std::vector<BYTE> bytes = TemplateWithItems(false, L"System", 10);
  TemplateFontBlock block;
  ASSERT_EQ(1, FindTemplateFont(bytes.data(), bytes.size(), &block));
  EXPECT_FALSE(block.extended);
  // 18 header bytes, no menu (2), no class (2), "Title" (12)
  EXPECT_EQ(34u, block.pointSize);
  EXPECT_EQ(36u, block.face);
  EXPECT_EQ(10, block.points);
  EXPECT_STREQ(L"System", block.faceName.CStr());
}

TEST(TemplateFontTest, TemplatesWithoutSetFontOrCutShortHaveNoFontBlock) {
  TemplateFontBlock block;
  std::vector<BYTE> plain = TemplateWithItems(true, nullptr);
  EXPECT_EQ(0, FindTemplateFont(plain.data(), plain.size(), &block));
  std::vector<BYTE> bytes = TemplateWithItems(true, L"MS Shell Dlg");
  // Cut inside the face name: the terminator is missing.
  EXPECT_EQ(0, FindTemplateFont(bytes.data(), 60, &block));
  EXPECT_EQ(0, FindTemplateFont(bytes.data(), 20, &block));
  EXPECT_EQ(0, FindTemplateFont(bytes.data(), 0, &block));
  std::vector<BYTE> out = {1, 2, 3};
  EXPECT_EQ(0, ReplaceTemplateFont(bytes.data(), 60, L"Segoe UI", 9, out));
  EXPECT_EQ(3u, out.size());
}

void ExpectReplaced(bool extended, const wchar_t* oldFace, const wchar_t* newFace) {
  SCOPED_TRACE(std::string(extended ? "extended " : "classic ") +
               std::to_string(wcslen(oldFace)) + " -> " + std::to_string(wcslen(newFace)));
  std::vector<BYTE> bytes = TemplateWithItems(extended, oldFace);
  TemplateFontBlock before;
  ASSERT_EQ(1, FindTemplateFont(bytes.data(), bytes.size(), &before));
  std::vector<BYTE> out;
  ASSERT_EQ(1, ReplaceTemplateFont(bytes.data(), bytes.size(), newFace, 9, out));

  // The header up to the face is unchanged but for the point size.
  EXPECT_EQ(0, memcmp(bytes.data(), out.data(), before.pointSize));
  EXPECT_EQ(9, WordAt(out, before.pointSize));
  EXPECT_EQ(0, memcmp(bytes.data() + before.pointSize + 2, out.data() + before.pointSize + 2,
                      before.face - before.pointSize - 2));
  EXPECT_EQ(std::wstring(newFace), FaceAt(out, before.face));

  // The items start on the DWORD after the new face, byte for byte as before.
  size_t oldItems = Align(before.faceEnd);
  size_t newItems = Align(before.face + (wcslen(newFace) + 1) * 2);
  ASSERT_EQ(newItems + bytes.size() - oldItems, out.size());
  EXPECT_EQ(0, memcmp(bytes.data() + oldItems, out.data() + newItems, bytes.size() - oldItems));
  for (size_t pad = before.face + (wcslen(newFace) + 1) * 2; pad < newItems; ++pad) {
    EXPECT_EQ(0, out[pad]);
  }

  TemplateFontBlock after;
  ASSERT_EQ(1, FindTemplateFont(out.data(), out.size(), &after));
  EXPECT_STREQ(newFace, after.faceName.CStr());
  EXPECT_EQ(9, after.points);
}

TEST(TemplateFontTest, ItemTemplatesAreRealignedOnTheDwordAfterTheNewFace) {
  // Face lengths chosen so the old and the new end fall on every alignment.
  const wchar_t* faces[] = {L"System", L"MS Shell Dlg", L"MS Sans Serif", L"Segoe UI",
                            L"MS Shell Dlg 2", L"Tahoma", L"A"};
  for (bool extended : {true, false}) {
    for (const wchar_t* from : {L"System", L"MS Shell Dlg", L"MS Sans Serif"}) {
      for (const wchar_t* to : faces) ExpectReplaced(extended, from, to);
    }
  }
}

// The system side given as a table of installed faces.
int InstalledIn(const wchar_t* face, void* user) {
  const std::set<std::wstring>* faces = static_cast<const std::set<std::wstring>*>(user);
  return faces->count(face) ? 1 : 0;
}

struct Choice {
  int replaced;
  std::wstring face;
  WORD points;
};

Choice Choose(const wchar_t* templateFace, const wchar_t* messageFace, LONG height, int dpi,
              std::set<std::wstring> installed, bool prefer = false) {
  FontEnvironment environment = {messageFace, height, dpi, InstalledIn, &installed};
  WideString face;
  WORD points = 0;
  int replaced = ChooseTemplateFont(templateFace, environment, prefer, face, &points);
  return Choice{replaced, face.CStr(), points};
}

const std::set<std::wstring> Vista = {L"Segoe UI", L"Tahoma", L"MS Shell Dlg 2", L"MS Shell Dlg"};

TEST(TemplateFontTest, MsShellDlgWithASegoeUi9PointMessageFontAt96DpiBecomesSegoeUi9) {
  Choice c = Choose(L"MS Shell Dlg", L"Segoe UI", -12, 96, Vista);
  EXPECT_EQ(1, c.replaced);
  EXPECT_EQ(L"Segoe UI", c.face);
  EXPECT_EQ(9, c.points);
}

TEST(TemplateFontTest, TheSizeFollowsTheScreensDpiAndEitherSignOfTheHeight) {
  EXPECT_EQ(9, Choose(L"MS Shell Dlg", L"Segoe UI", -15, 120, Vista).points);
  EXPECT_EQ(9, Choose(L"MS Shell Dlg", L"Segoe UI", 12, 96, Vista).points);
  EXPECT_EQ(8, Choose(L"System", L"Tahoma", -11, 96, Vista).points);
  EXPECT_EQ(8, Choose(L"System", L"Tahoma", 0, 96, Vista).points);
}

TEST(TemplateFontTest, OnlyTheThreeDatedFacesAreReplaced) {
  EXPECT_EQ(1, Choose(L"MS Sans Serif", L"Tahoma", -11, 96, Vista).replaced);
  EXPECT_EQ(1, Choose(L"system", L"Tahoma", -11, 96, Vista).replaced);
  EXPECT_EQ(0, Choose(L"Tahoma", L"Segoe UI", -12, 96, Vista).replaced);
  EXPECT_EQ(0, Choose(L"MS Shell Dlg 2", L"Segoe UI", -12, 96, Vista).replaced);
}

TEST(TemplateFontTest, AnUnusualMessageFontKeepsTheTemplate) {
  EXPECT_EQ(0, Choose(L"MS Shell Dlg", L"Arial", -12, 96, Vista).replaced);
  EXPECT_EQ(0, Choose(L"MS Shell Dlg", L"Meiryo UI", -12, 96, Vista).replaced);
}

TEST(TemplateFontTest, ThePreferenceSwitchTakesMsShellDlg2At8PointsOverSegoeUi) {
  Choice c = Choose(L"MS Shell Dlg", L"Segoe UI", -12, 96, Vista, true);
  EXPECT_EQ(L"MS Shell Dlg 2", c.face);
  EXPECT_EQ(8, c.points);
  // Not over Tahoma, and not when MS Shell Dlg 2 is missing.
  EXPECT_EQ(L"Tahoma", Choose(L"MS Shell Dlg", L"Tahoma", -11, 96, Vista, true).face);
  Choice segoe = Choose(L"MS Shell Dlg", L"Segoe UI", -12, 96, {L"Segoe UI"}, true);
  EXPECT_EQ(L"Segoe UI", segoe.face);
  EXPECT_EQ(9, segoe.points);
}

TEST(TemplateFontTest, AMissingMessageFontFallsBackToTheShellFontsAt8Points) {
  Choice two = Choose(L"MS Shell Dlg", L"Segoe UI", -12, 96, {L"MS Shell Dlg 2"});
  EXPECT_EQ(1, two.replaced);
  EXPECT_EQ(L"MS Shell Dlg 2", two.face);
  EXPECT_EQ(8, two.points);
  Choice one = Choose(L"MS Shell Dlg", L"Segoe UI", -12, 96, {});
  EXPECT_EQ(L"MS Shell Dlg", one.face);
  EXPECT_EQ(8, one.points);
}

TEST(TemplateFontTest, TheSystemsChoiceFollowsItsMessageFont) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  FontEnvironment environment = {metrics.lfMessageFont.lfFaceName,
                                 metrics.lfMessageFont.lfHeight, dpi, FontFaceInstalled, nullptr};
  WideString face;
  WORD points = 0;
  int expected = ChooseTemplateFont(L"MS Shell Dlg", environment, false, face, &points);

  std::vector<BYTE> bytes = TemplateWithItems(true, L"MS Shell Dlg");
  std::vector<BYTE> out;
  ASSERT_EQ(expected, SubstituteTemplateFont(bytes.data(), bytes.size(), false, out));
  if (expected) {
    TemplateFontBlock block;
    ASSERT_EQ(1, FindTemplateFont(out.data(), out.size(), &block));
    EXPECT_STREQ(face.CStr(), block.faceName.CStr());
    EXPECT_EQ(points, block.points);
  }
  EXPECT_EQ(0, FontFaceInstalled(L"No Such Face At All"));
}

TEST(TemplateFontTest, ASubstitutedTemplateBuildsTheSameItems) {
  for (bool extended : {true, false}) {
    std::vector<BYTE> bytes = TemplateWithItems(extended, L"MS Shell Dlg");
    std::vector<BYTE> out;
    ASSERT_EQ(1, ReplaceTemplateFont(bytes.data(), bytes.size(), L"Tahoma", 9, out));
    HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                             reinterpret_cast<const DLGTEMPLATE*>(out.data()),
                                             nullptr, nullptr, 0);
    ASSERT_TRUE(window != nullptr);
    wchar_t text[32];
    GetDlgItemTextW(window, 1020, text, 32);
    EXPECT_STREQ(L"Status", text);
    GetDlgItemTextW(window, 1003, text, 32);
    EXPECT_STREQ(L"Close", text);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    LOGFONTW logFont = {};
    ASSERT_TRUE(GetObjectW(font, sizeof(logFont), &logFont) > 0);
    EXPECT_STREQ(L"Tahoma", logFont.lfFaceName);
    DestroyWindow(window);
  }
}

}  // namespace
