// The multipart form builder on its own: the body it makes, the boundary
// it picks when a part holds the usual one, and the names it refuses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "support/UploadParts.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"

namespace {

std::string Body(UploadParts& parts) {
  std::string body;
  for (INTERNET_BUFFERSW* b = parts.First(); b; b = b->Next)
    if (b->dwBufferLength) body.append(static_cast<const char*>(b->lpvBuffer), b->dwBufferLength);
  return body;
}

std::wstring Header(UploadParts& parts) {
  INTERNET_BUFFERSW* first = parts.First();
  return first && first->lpcszHeader ? std::wstring(first->lpcszHeader, first->dwHeadersLength) : std::wstring();
}

const char kUsual[] = "-----------------------------1234567890123";

// The largest block asked of operator new while watched (the whole test
// program links against the counting operator below, which only forwards to
// the C heap otherwise).
size_t g_largestBlock = 0;
bool g_watching = false;

}  // namespace

void* operator new(size_t size) {
  if (g_watching && size > g_largestBlock) g_largestBlock = size;
  void* block = malloc(size ? size : 1);
  if (!block) throw std::bad_alloc();
  return block;
}
void operator delete(void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }

TEST(UploadParts, TheUsualBoundaryStaysWhenNoPartHoldsIt) {
  UploadParts parts;
  EXPECT_EQ(1, parts.AddField(L"a", L"r"));
  // Dashes and digits that are not the boundary.
  EXPECT_EQ(1, parts.AddField(L"x", L"----------------------------1234567890123 -----------------------------123456789012"));
  ASSERT_EQ(1, parts.Finish());
  EXPECT_EQ(std::wstring(kMultipartHeader), Header(parts));
  std::string d = std::string("--") + kUsual;
  std::string expected = d + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nr\r\n" + d +
                         "\r\nContent-Disposition: form-data; name=\"x\"\r\n\r\n"
                         "----------------------------1234567890123 -----------------------------123456789012\r\n" +
                         d + "--\r\n";
  EXPECT_EQ(expected, Body(parts));
  EXPECT_EQ(expected.size(), parts.Total());
  EXPECT_EQ(expected.size(), parts.First()->dwBufferTotal);
}

TEST(UploadParts, AFileHoldingTheBoundaryIsSentUnderTheNextFreeOne) {
  TempFolder temp;
  ASSERT_TRUE(temp.Made());
  std::wstring path = temp.Path() + L"\\Pellton_Debug.dmp";
  // The usual boundary, the next one after 29 or more dashes, and the one
  // after that only with 28 dashes (no boundary).
  std::string bytes = std::string("\r\n--") + kUsual + "\r\n" + std::string(35, '-') + "1234567890124--\r\n" +
                      std::string(28, '-') + "1234567890125";
  ASSERT_TRUE(WriteFileText(path, bytes));
  UploadParts parts;
  EXPECT_EQ(1, parts.AddField(L"x", (std::wstring(L"--") + L"-----------------------------1234567890123").c_str()));
  EXPECT_EQ(1, parts.AddFile(L"d", path.c_str()));
  ASSERT_EQ(1, parts.Finish());
  EXPECT_EQ(L"Content-Type: multipart/form-data; boundary=-----------------------------1234567890125",
            Header(parts));
  std::string d = "-------------------------------1234567890125";
  std::string expected = d + "\r\nContent-Disposition: form-data; name=\"x\"\r\n\r\n--" + kUsual + "\r\n" + d +
                         "\r\nContent-Disposition: form-data; name=\"d\"; filename=\"Pellton_Debug.dmp\"\r\n"
                         "Content-Type: application/octet-stream\r\n\r\n" +
                         bytes + "\r\n" + d + "--\r\n";
  EXPECT_EQ(expected, Body(parts));
  EXPECT_EQ(expected.size(), parts.Total());
}

TEST(UploadParts, NamesAQuotedStringCannotCarryAreRefused) {
  UploadParts parts;
  EXPECT_EQ(0, parts.AddField(L"a\"; filename=\"evil.exe", L"r"));
  EXPECT_EQ(0, parts.AddField(L"a\r\nContent-Type: text/html", L"r"));
  EXPECT_EQ(0, parts.AddField(L"a\\", L"r"));
  EXPECT_EQ(0, parts.AddField(L"a\tb", L"r"));
  EXPECT_EQ(0, parts.AddFile(L"d\"", L"C:\\nowhere\\x.dmp"));
  EXPECT_EQ(0u, parts.Count());
  // Quotes in the value are content; ';', '=' and characters outside ASCII
  // in a name are fine; a missing file keeps its header part.
  EXPECT_EQ(1, parts.AddField(L"a;b=\u00E9", L"say \"hi\""));
  EXPECT_EQ(0, parts.AddFile(L"d", L"C:\\nowhere\\a;b=c.dmp"));
  EXPECT_EQ(2u, parts.Count());
  ASSERT_EQ(1, parts.Finish());
  std::string body = Body(parts);
  WideString accented(L"\u00E9");
  std::string e = accented.ToNarrow();
  EXPECT_NE(std::string::npos, body.find("name=\"a;b=" + e + "\"\r\n\r\nsay \"hi\"\r\n")) << body;
  EXPECT_NE(std::string::npos, body.find("name=\"d\"; filename=\"a;b=c.dmp\"\r\n")) << body;
}

TEST(UploadParts, AFileNameAQuotedStringCannotCarryIsSentWithUnderscoresAndTheFileStillGoesOut) {
  // The report files are named after the program: a program renamed with a
  // fullwidth quote (which the ANSI code page turns into '"') must still
  // send its dump, not leave it out of the report.
  TempFolder temp;
  ASSERT_TRUE(temp.Made());
  std::wstring path = temp.Path() + L"\\Pellton\uFF02_Debug.dmp";
  ASSERT_TRUE(WriteFileText(path, "MDMP dump bytes"));
  UploadParts parts;
  EXPECT_EQ(1, parts.AddFile(L"d", path.c_str()));
  EXPECT_EQ(3u, parts.Count());
  // A missing file keeps its header part, with the name made safe as well.
  EXPECT_EQ(0, parts.AddFile(L"t", L"C:\\nowhere\\x\"\r\nX-Forged: 1.txt"));
  EXPECT_EQ(4u, parts.Count());
  ASSERT_EQ(1, parts.Finish());
  std::string d = std::string("--") + kUsual;
  std::string expected = d + "\r\nContent-Disposition: form-data; name=\"d\"; filename=\"Pellton__Debug.dmp\"\r\n"
                             "Content-Type: application/octet-stream\r\n\r\nMDMP dump bytes\r\n" +
                         d + "\r\nContent-Disposition: form-data; name=\"t\"; filename=\"x___X-Forged: 1.txt\"\r\n"
                             "Content-Type: application/octet-stream\r\n\r\n" +
                         d + "--\r\n";
  EXPECT_EQ(expected, Body(parts));
  EXPECT_EQ(expected.size(), parts.Total());
}

TEST(UploadParts, ADumpFullOfBoundariesIsSentUnderAFreeOneWithoutAListOfThemAll) {
  // A dump can hold any bytes. One made of nothing but boundaries, each a
  // different number, must not make the builder keep a list of every one
  // (a fifth of the body in one block, twice that while the list grows;
  // on the 32-bit build a large dump would fail the whole report).
  TempFolder temp;
  ASSERT_TRUE(temp.Made());
  std::wstring path = temp.Path() + L"\\Pellton_Debug.dmp";
  const unsigned count = 100000;
  std::string bytes;
  for (unsigned i = 0; i < count; ++i) bytes += std::string(29, '-') + std::to_string(1234567890123ull + i) + "\n";
  ASSERT_TRUE(WriteFileText(path, bytes));
  UploadParts parts;
  EXPECT_EQ(1, parts.AddField(L"a", L"r"));
  EXPECT_EQ(1, parts.AddFile(L"d", path.c_str()));
  g_largestBlock = 0;
  g_watching = true;
  int finished = parts.Finish();
  g_watching = false;
  ASSERT_EQ(1, finished);
  EXPECT_LT(g_largestBlock, bytes.size() / 100);
  // Every number from the usual one on is held: the next one is used.
  EXPECT_EQ(L"Content-Type: multipart/form-data; boundary=-----------------------------" +
                std::to_wstring(1234567890123ull + count),
            Header(parts));
  std::string d = "-------------------------------" + std::to_string(1234567890123ull + count);
  std::string expected = d + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nr\r\n" + d +
                         "\r\nContent-Disposition: form-data; name=\"d\"; filename=\"Pellton_Debug.dmp\"\r\n"
                         "Content-Type: application/octet-stream\r\n\r\n" + bytes + "\r\n" + d + "--\r\n";
  EXPECT_TRUE(expected == Body(parts));
  EXPECT_EQ(expected.size(), parts.Total());
}
