// The HTML view under Wine, whose browser engine is switched off in the test
// prefix: the link that takes the view's place and the page it saves, and
// the browser-emulation value written on creation.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "core/ComApartment.h"
#include "core/WideString.h"
#include "tests/common/FileText.h"
#include "tests/ui/WindowCapture.h"
#include "ui/HtmlView.h"

namespace {

const wchar_t kEmulationKey[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";

std::wstring g_opened;
int g_opens = 0;

int RecordOpen(const wchar_t* path) {
  g_opened = path;
  ++g_opens;
  return 1;
}

std::string Utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n - 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  return out;
}

// A page as large as a chart page, with text outside ASCII in its title.
WideString ChartLikePage() {
  std::wstring text = L"<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                      L"<title>M\u00e4rz \u2013 Schlaf</title></head><body><script>";
  while (text.size() < 600000) text += L"var x = [45,15,75,95]; /* chart */\n";
  text += L"</script><div id=\"chart\"></div></body></html>";
  return WideString(text.c_str());
}

DWORD EmulationValue(const wchar_t* name, DWORD missing) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, kEmulationKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                   &size) != ERROR_SUCCESS)
    return missing;
  return value;
}

struct HtmlViewFixture : ::testing::Test {
  void SetUp() override {
    ASSERT_EQ(1, com.Init());
    parent = CreateWindowExW(0, L"STATIC", L"page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 420,
                             340, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(parent);
    g_opened.clear();
    g_opens = 0;
    HtmlView::SetDocumentOpener(RecordOpen);
  }
  void TearDown() override {
    HtmlView::SetDocumentOpener(nullptr);
    DestroyWindow(parent);
    if (!g_opened.empty()) DeleteFileW(g_opened.c_str());
  }
  int LinkPixels(HWND link) {
    testcapture::Picture picture = testcapture::CaptureWindow(link);
    COLORREF colour = HtmlView::LinkColour();
    return picture.Count(RECT{0, 0, picture.width, picture.height},
                         [colour](COLORREF c) { return c == colour; });
  }

  ComApartment com;
  HWND parent = nullptr;
  std::wstring moduleName = L"ui_tests.exe";
};

}  // namespace

TEST_F(HtmlViewFixture, WithoutAnEngineTheLinkTakesTheViewsPlace) {
  HtmlView view;
  EXPECT_EQ(0, view.Create(parent, HtmlViewPageOptions));
  EXPECT_FALSE(view.HasBrowser());
  HWND link = view.Window();
  ASSERT_TRUE(link);
  EXPECT_EQ(parent, GetParent(link));
  EXPECT_TRUE(IsWindowVisible(link));
  wchar_t text[64] = {};
  GetWindowTextW(link, text, 64);
  EXPECT_STREQ(HtmlView::FallbackLinkText, text);
  EXPECT_STREQ(L"Open this chart in your web browser", text);

  ASSERT_EQ(1, view.Move(20, 75, 380, 290));
  RECT place;
  GetWindowRect(link, &place);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
  EXPECT_EQ(20, place.left);
  EXPECT_EQ(75, place.top);
  EXPECT_EQ(380, place.right);
  EXPECT_EQ(290, place.bottom);

  // Nothing written yet: an empty area, and nothing to open.
  EXPECT_EQ(0, LinkPixels(link));
  SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(24, 18));
  EXPECT_EQ(0, g_opens);

  WideString page = ChartLikePage();
  EXPECT_EQ(0, view.WriteDocument(page.CStr()));  // not written into a browser
  EXPECT_GT(LinkPixels(link), 40);
  SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(300, 200));  // beside the text
  EXPECT_EQ(0, g_opens);
  SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(24, 18));
  ASSERT_EQ(1, g_opens);

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  EXPECT_EQ(0u, g_opened.find(temp)) << std::string(g_opened.begin(), g_opened.end());
  EXPECT_EQ(L".html", g_opened.substr(g_opened.size() - 5));
  std::string saved = ReadFileText(g_opened);
  EXPECT_EQ(Utf8(page.CStr()).size(), saved.size());
  EXPECT_TRUE(Utf8(page.CStr()) == saved);
  EXPECT_NE(std::string::npos, saved.find("M\xC3\xA4rz \xE2\x80\x93 Schlaf"));
}

TEST_F(HtmlViewFixture, TheLinkOpensWithEnterAndALaterPageGetsAFileOfItsOwn) {
  HtmlView view;
  view.Create(parent, HtmlViewPageOptions);
  HWND link = view.Window();
  ASSERT_TRUE(link);
  view.WriteDocument(L"<html><body>first</body></html>");
  view.WriteDocument(L"<html><body>second</body></html>");
  SendMessageW(link, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_EQ(1, g_opens);
  EXPECT_EQ("<html><body>second</body></html>", ReadFileText(g_opened));
  std::wstring first = g_opened;
  view.WriteDocument(L"<html><body>third</body></html>");
  WideString path;
  ASSERT_EQ(1, view.OpenInBrowser(&path));
  // The first page, maybe still open in a browser, stays as it was.
  EXPECT_NE(first, std::wstring(path.CStr()));
  EXPECT_EQ("<html><body>second</body></html>", ReadFileText(first));
  EXPECT_EQ("<html><body>third</body></html>", ReadFileText(path.CStr()));
  // No temporary folder: the link says the page was not saved, never what it said before.
  wchar_t temp[32768];
  const DWORD length = GetEnvironmentVariableW(L"TMP", temp, 32768);
  SetEnvironmentVariableW(L"TMP", (L"C:\\" + std::wstring(300, L'x')).c_str());
  EXPECT_EQ(0, view.OpenInBrowser());
  SetEnvironmentVariableW(L"TMP", length ? temp : nullptr);
  EXPECT_EQ(0u, std::wstring(view.OpenedNotice().CStr()).find(L"The chart page could not be saved"));
}

TEST_F(HtmlViewFixture, DestroyRemovesTheLinkAndCreateBringsItBack) {
  HtmlView view;
  view.Create(parent, HtmlViewPageOptions);
  HWND link = view.Window();
  ASSERT_TRUE(IsWindow(link));
  view.WriteDocument(L"<html></html>");
  view.Destroy();
  EXPECT_FALSE(IsWindow(link));
  EXPECT_EQ(nullptr, view.Window());
  EXPECT_EQ(0, view.Move(0, 0, 10, 10));
  EXPECT_EQ(0, view.OpenInBrowser());
  EXPECT_EQ(0, view.WriteDocument(L"<html></html>"));
  view.Create(parent, HtmlViewPageOptions);
  EXPECT_TRUE(IsWindow(view.Window()));
  EXPECT_TRUE(view.PendingPage().IsEmpty());
}

TEST_F(HtmlViewFixture, CreateOverwritesTheEmulationValueWithTheEngineVersion) {
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kEmulationKey, moduleName.c_str(),
                                           REG_DWORD, "\xD2\x04\x00\x00", 4));  // 1234
  // The engine's version as the machine's key states it.
  wchar_t svc[64] = {}, version[64] = {};
  DWORD size = sizeof svc;
  RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", L"svcVersion",
               RRF_RT_REG_SZ, nullptr, svc, &size);
  size = sizeof version;
  RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", L"Version",
               RRF_RT_REG_SZ, nullptr, version, &size);
  unsigned major = 0;
  swscanf(*svc ? svc : version, L"%u", &major);
  ASSERT_GT(major, 0u) << "no engine version in the prefix";

  HtmlView view;
  view.Create(parent, HtmlViewPageOptions | HtmlViewNoEmulationValue);
  EXPECT_EQ(1234u, EmulationValue(moduleName.c_str(), 0));
  view.Create(parent, HtmlViewPageOptions);
  EXPECT_EQ(major * 1000, EmulationValue(moduleName.c_str(), 0));
  EXPECT_EQ(major, HtmlView::EngineMajorVersion());
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kEmulationKey, moduleName.c_str());
}

TEST(HtmlViewEngineVersion, ServiceVersionFirstThenVersionThenTheOldNumber) {
  EXPECT_EQ(11u << 24 | 0u << 16 | 9600u,
            HtmlView::ParseEngineVersion(L"11.0.9600.19036", L"9.11.9600.19036", L""));
  EXPECT_EQ(9u << 24 | 11u << 16 | 9600u,
            HtmlView::ParseEngineVersion(L"", L"9.11.9600.19036", nullptr));
  EXPECT_EQ(8u << 24, HtmlView::ParseEngineVersion(nullptr, L"8", nullptr));
  EXPECT_EQ(1u << 24, HtmlView::ParseEngineVersion(L"", L"", L"100"));
  EXPECT_EQ(2u << 24, HtmlView::ParseEngineVersion(L"", L"", L"101"));
  EXPECT_EQ(2u << 24 | 5u << 16, HtmlView::ParseEngineVersion(L"", L"", L"102"));
  EXPECT_EQ(3u << 24, HtmlView::ParseEngineVersion(L"", L"", L"103"));
  EXPECT_EQ(0u, HtmlView::ParseEngineVersion(L"", L"", L"104"));
  EXPECT_EQ(0u, HtmlView::ParseEngineVersion(L"", L"", L""));
  EXPECT_EQ(0u, HtmlView::ParseEngineVersion(L"beta", L"", L"100"));
}

namespace {

double Luminance(COLORREF c) {
  auto channel = [](int v) {
    const double s = v / 255.0;
    return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) + 0.0722 * channel(GetBValue(c));
}

}  // namespace

TEST_F(HtmlViewFixture, TheLinkOnItsLineReadsWholeInAStrongColourWithAndWithoutTheFocus) {
  HtmlView view;
  view.Create(parent, HtmlViewPageOptions);
  HWND link = view.Window();
  ASSERT_TRUE(link);
  view.Move(10, 200, 400, 200 + HtmlView::FallbackLinkHeight);
  view.WriteDocument(L"<html></html>");
  // Text against the window at least 4.5 : 1, as for body text.
  const double text = Luminance(HtmlView::LinkColour()), window = Luminance(GetSysColor(COLOR_WINDOW));
  EXPECT_GE((std::max(text, window) + 0.05) / (std::min(text, window) + 0.05), 4.5);
  // Every letter drawn: the link's pixels reach as far right as its text
  // measures, and the focus frame leaves them all there.
  UpdateWindow(link);
  testcapture::Picture before = testcapture::CaptureWindow(link);
  const COLORREF colour = HtmlView::LinkColour();
  const RECT all = {0, 0, before.width, before.height};
  auto ink = [colour](COLORREF c) { return c == colour; };
  int right = 0;
  for (int x = 0; x < before.width; ++x) {
    if (before.Count(RECT{x, 0, x + 1, before.height}, ink)) right = x;
  }
  HDC dc = GetDC(link);
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size = {};
  GetTextExtentPoint32W(dc, HtmlView::FallbackLinkText, static_cast<int>(wcslen(HtmlView::FallbackLinkText)), &size);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(link, dc);
  EXPECT_GE(right, size.cx - 2);
  const int inked = before.Count(all, ink);
  SetFocus(link);
  UpdateWindow(link);
  EXPECT_EQ(inked, testcapture::CaptureWindow(link).Count(all, ink));
}
