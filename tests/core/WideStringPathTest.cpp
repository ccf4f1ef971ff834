// The path and line helpers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/WideString.h"

namespace {
// RemoveLastComponent on a copy: the result and what is left of the text.
std::pair<int, std::wstring> Cut(const wchar_t* path) {
  std::vector<wchar_t> buffer(path, path + wcslen(path) + 1);
  int result = WideString::RemoveLastComponent(buffer.data());
  return {result, buffer.data()};
}

std::wstring Extension(const wchar_t* path) {
  WideString out(L"stale");
  WideString::ExtensionOf(path, out);
  return out.CStr();
}

std::wstring Lines(WideString& text) {
  std::wstring all;
  WideString line;
  for (int ok = text.StartLines(line); ok; ok = text.ReadLine(line)) {
    all += L'[';
    all += line.CStr();
    all += L']';
  }
  return all;
}
}  // namespace

TEST(WideStringPath, FileNamePart) {
  const wchar_t* path = L"C:\\dir\\file.txt";
  EXPECT_EQ(path + 7, WideString::FileNamePart(path));
  EXPECT_STREQ(L"c", WideString::FileNamePart(L"a/b\\c"));
  EXPECT_STREQ(L"name", WideString::FileNamePart(L"name"));
  EXPECT_STREQ(L"dir\\", WideString::FileNamePart(L"C:\\dir\\"));  // a final separator is skipped
  EXPECT_STREQ(L"dir/", WideString::FileNamePart(L"dir/"));
  EXPECT_EQ(nullptr, WideString::FileNamePart(nullptr));
}

TEST(WideStringPath, ExtensionOf) {
  EXPECT_EQ(L".txt", Extension(L"C:\\dir\\file.txt"));
  EXPECT_EQ(L".gz", Extension(L"archive.tar.gz"));
  EXPECT_EQ(L"", Extension(L"a.b/c"));          // a separator follows the dot
  EXPECT_EQ(L"", Extension(L"dir.v2\\file"));
  EXPECT_EQ(L"", Extension(L"name.with space"));
  EXPECT_EQ(L".htm", Extension(L"page.htm?x=1"));  // the question mark ends the scan
  EXPECT_EQ(L"", Extension(L"page?x=1.htm"));
  EXPECT_EQ(L"", Extension(L"noextension"));
  EXPECT_EQ(L".", Extension(L"trailing."));
  EXPECT_EQ(L"", Extension(nullptr));
}

TEST(WideStringPath, RemoveLastComponentExamples) {
  EXPECT_EQ(std::make_pair(1, std::wstring(L"C:\\")), Cut(L"C:\\file.txt"));
  EXPECT_EQ(std::make_pair(1, std::wstring(L"C:\\dir")), Cut(L"C:\\dir\\file"));
  EXPECT_EQ(std::make_pair(1, std::wstring(L"")), Cut(L"file.txt"));
  EXPECT_EQ(std::make_pair(0, std::wstring(L"C:\\")), Cut(L"C:\\"));
}

TEST(WideStringPath, RemoveLastComponentSeparatorsAndDrives) {
  EXPECT_EQ(std::make_pair(1, std::wstring(L"\\\\server\\share")), Cut(L"\\\\server\\share\\file"));
  EXPECT_EQ(std::make_pair(1, std::wstring(L"\\")), Cut(L"\\file"));
  EXPECT_EQ(std::make_pair(0, std::wstring(L"\\\\")), Cut(L"\\\\"));
  EXPECT_EQ(std::make_pair(1, std::wstring(L"dir")), Cut(L"dir/"));
  EXPECT_EQ(std::make_pair(1, std::wstring(L"a/b")), Cut(L"a/b/c"));
  EXPECT_EQ(std::make_pair(0, std::wstring(L"C:file")), Cut(L"C:file"));
  EXPECT_EQ(std::make_pair(1, std::wstring(L"C:dir")), Cut(L"C:dir\\file"));
  EXPECT_EQ(std::make_pair(0, std::wstring(L"\\\\?\\C:\\")), Cut(L"\\\\?\\C:\\"));
  EXPECT_EQ(std::make_pair(1, std::wstring(L"\\\\?\\C:\\")), Cut(L"\\\\?\\C:\\dir"));
  EXPECT_EQ(std::make_pair(0, std::wstring(L"")), Cut(L""));
  EXPECT_EQ(0, WideString::RemoveLastComponent(nullptr));
}

TEST(WideStringPath, RemoveExtensionOnlyNearTheEnd) {
  wchar_t a[] = L"file.txt";
  WideString::RemoveExtension(a, 3);
  EXPECT_STREQ(L"file", a);
  wchar_t b[] = L"file.txt";
  WideString::RemoveExtension(b, 2);
  EXPECT_STREQ(L"file.txt", b);
  wchar_t c[] = L"archive.tar.gz";
  WideString::RemoveExtension(c, 4);
  EXPECT_STREQ(L"archive.tar", c);
  wchar_t d[] = L"noext";
  WideString::RemoveExtension(d, 10);
  EXPECT_STREQ(L"noext", d);
}

TEST(WideStringPath, TrimTrailingSpacesOnlyRemovesSpaces) {
  wchar_t a[] = L"text \t  ";
  WideString::TrimTrailingSpaces(a);
  EXPECT_STREQ(L"text \t", a);
  wchar_t b[] = L"   ";
  WideString::TrimTrailingSpaces(b);
  EXPECT_STREQ(L"", b);
}

TEST(WideStringPath, NewlinesToSpaces) {
  wchar_t a[] = L"one\r\ntwo\nthree\r";
  WideString::NewlinesToSpaces(a);
  EXPECT_STREQ(L"one  two three ", a);
}

TEST(WideStringLines, LinesEndAtLineFeedsWithOptionalCarriageReturn) {
  WideString text(L"one\r\ntwo\n\nthree");
  EXPECT_EQ(L"[one][two][][three]", Lines(text));
}

TEST(WideStringLines, AFinalLineFeedAddsNoEmptyLine) {
  WideString text(L"a\nb\n");
  EXPECT_EQ(L"[a][b]", Lines(text));
  WideString empty;
  EXPECT_EQ(L"", Lines(empty));
  WideString onlyBreak(L"\r\n");
  EXPECT_EQ(L"[]", Lines(onlyBreak));
}

TEST(WideStringLines, ALoneCarriageReturnStaysInTheLine) {
  WideString text(L"a\rb\nc\r");
  EXPECT_EQ(L"[a\rb][c\r]", Lines(text));
}

TEST(WideStringLines, EndOfTextGivesZeroAndAnEmptyLine) {
  WideString text(L"x");
  WideString line;
  EXPECT_EQ(1, text.StartLines(line));
  EXPECT_STREQ(L"x", line.CStr());
  EXPECT_EQ(0, text.ReadLine(line));
  EXPECT_STREQ(L"", line.CStr());
  EXPECT_EQ(0, text.ReadLine(line));
  EXPECT_EQ(1, text.StartLines(line));  // starts over
  EXPECT_STREQ(L"x", line.CStr());
}

TEST(WideStringLines, CursorStaysInsideAShortenedText) {
  WideString text(L"first line\nsecond");
  WideString line;
  text.StartLines(line);
  text.Assign(L"tiny");
  EXPECT_EQ(0, text.ReadLine(line));
  EXPECT_STREQ(L"", line.CStr());
}
