// ZIP extraction into a fresh temporary folder, from archives built by the
// test: what lands where, and what is refused before anything is written.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/ZipExtractor.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"
#include "tests/support/ZipBuilder.h"

namespace {

class ZipExtractorTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Made());
    target_ = temp_.Path() + L"\\app";
    archive_ = temp_.Path() + L"\\update.zip";
  }
  int Extract(const ZipBuilder& zip) {
    EXPECT_TRUE(zip.Write(archive_));
    return ExtractZip(archive_.c_str(), target_.c_str());
  }

  TempFolder temp_;
  std::wstring target_, archive_;
};

TEST_F(ZipExtractorTest, StoredDeflatedAndFoldersLandBelowTheTarget) {
  ZipBuilder zip;
  std::string big;
  for (int i = 0; i < 200000; ++i) big += static_cast<char>('a' + (i * 7 + i / 13) % 26);
  ZipBuilder::Options stored;
  stored.deflate = false;
  zip.Add("readme.txt", "hello", stored);
  zip.Add("docs/", "", stored);
  zip.Add("docs/big.bin", big);
  zip.Add("docs/deep/empty.txt", "");
  zip.SetComment("archive comment");
  ASSERT_EQ(1, Extract(zip));
  EXPECT_EQ("hello", ReadFileText(target_ + L"\\readme.txt"));
  EXPECT_EQ(big, ReadFileText(target_ + L"\\docs\\big.bin"));
  EXPECT_TRUE(PathExists(target_ + L"\\docs\\deep\\empty.txt"));
  EXPECT_EQ("", ReadFileText(target_ + L"\\docs\\deep\\empty.txt"));
}

TEST_F(ZipExtractorTest, ExistingFilesAreOverwritten) {
  ASSERT_TRUE(CreateDirectoryW(target_.c_str(), nullptr));
  ASSERT_TRUE(WriteFileText(target_ + L"\\Pellton.exe", "old program, longer than the new"));
  ZipBuilder zip;
  zip.Add("Pellton.exe", "new program");
  ASSERT_EQ(1, Extract(zip));
  EXPECT_EQ("new program", ReadFileText(target_ + L"\\Pellton.exe"));
}

TEST_F(ZipExtractorTest, ParentStepRefusesTheArchiveBeforeWriting) {
  ZipBuilder zip;
  zip.Add("good.txt", "good");
  zip.Add("../evil.txt", "evil");
  EXPECT_EQ(0, Extract(zip));
  EXPECT_FALSE(PathExists(temp_.Path() + L"\\evil.txt"));
  EXPECT_FALSE(PathExists(target_ + L"\\good.txt"));
}

TEST_F(ZipExtractorTest, EveryDangerousNameIsRefused) {
  const char* names[] = {"/abs.txt",  "\\abs.txt",       "C:evil.txt",   "C:/evil.txt",
                         "a/../../x", "sub\\..\\..\\x",  "file.txt:ads", "CON",
                         "sub/nul.txt", "com1.log",      "LPT9",         "trail.",
                         "space ",    "a//b",            "./x",          "q?.txt",
                         "..",        "sub/..."};
  for (const char* name : names) {
    ZipBuilder zip;
    zip.Add(name, "x");
    EXPECT_EQ(0, Extract(zip)) << name;
  }
  EXPECT_FALSE(PathExists(temp_.Path() + L"\\abs.txt"));
  EXPECT_FALSE(PathExists(temp_.Path() + L"\\x"));
  EXPECT_EQ(1, IsSafeZipEntryName(L"sub/dir/file.name.txt"));
  EXPECT_EQ(1, IsSafeZipEntryName(L"console.txt"));
  EXPECT_EQ(1, IsSafeZipEntryName(L"com10"));
  EXPECT_EQ(1, IsSafeZipEntryName(L"..name"));
}

TEST_F(ZipExtractorTest, WrongCrcFailsAndRemovesTheFile) {
  ZipBuilder zip;
  ZipBuilder::Options bad;
  bad.wrongCrc = true;
  zip.Add("first.txt", "fine");
  zip.Add("broken.txt", "data with a wrong check", bad);
  EXPECT_EQ(0, Extract(zip));
  EXPECT_FALSE(PathExists(target_ + L"\\broken.txt"));
  ZipBuilder stored;
  bad.deflate = false;
  stored.Add("broken.txt", "stored data", bad);
  EXPECT_EQ(0, Extract(stored));
  EXPECT_FALSE(PathExists(target_ + L"\\broken.txt"));
}

TEST_F(ZipExtractorTest, DamagedDataLeavesTheExistingFileAsItWas) {
  ASSERT_TRUE(CreateDirectoryW(target_.c_str(), nullptr));
  ZipBuilder::Options bad;
  bad.wrongCrc = true;
  for (bool deflate : {true, false}) {
    ASSERT_TRUE(WriteFileText(target_ + L"\\Pellton.exe", "old program"));
    ZipBuilder zip;
    bad.deflate = deflate;
    zip.Add("Pellton.exe", "damaged program", bad);
    EXPECT_EQ(0, Extract(zip)) << deflate;
    EXPECT_EQ("old program", ReadFileText(target_ + L"\\Pellton.exe")) << deflate;
    // Nothing else is left in the folder.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((target_ + L"\\*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    int files = 0;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ++files;
        EXPECT_EQ(std::wstring(L"Pellton.exe"), found.cFileName) << deflate;
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_EQ(1, files) << deflate;
  }
}

TEST_F(ZipExtractorTest, AnArchiveAnnouncingGigabytesIsRefusedBeforeWriting) {
  ZipBuilder zip;
  zip.Add("good.txt", "good");
  zip.Add("huge.bin", std::string(1000, 'z'));
  std::string bytes = zip.Bytes();
  // The central record of huge.bin announces 1 GB + 1 unpacked.
  size_t record = bytes.rfind(std::string("PK\x01\x02", 4));
  ASSERT_NE(std::string::npos, record);
  const DWORD announced = (1u << 30) + 1;
  for (int i = 0; i < 4; ++i) bytes[record + 24 + i] = static_cast<char>(announced >> (8 * i));
  ASSERT_TRUE(WriteFileText(archive_, bytes));
  EXPECT_EQ(0, ExtractZip(archive_.c_str(), target_.c_str()));
  EXPECT_FALSE(PathExists(target_ + L"\\good.txt"));
  EXPECT_FALSE(PathExists(target_ + L"\\huge.bin"));
}

TEST_F(ZipExtractorTest, EncryptedAndZip64AreRefused) {
  ZipBuilder encrypted;
  ZipBuilder::Options options;
  options.encrypted = true;
  encrypted.Add("secret.txt", "x", options);
  EXPECT_EQ(0, Extract(encrypted));
  ZipBuilder zip64;
  ZipBuilder::Options large;
  large.zip64Sizes = true;
  zip64.Add("large.bin", "x", large);
  EXPECT_EQ(0, Extract(zip64));
  EXPECT_FALSE(PathExists(target_ + L"\\secret.txt"));
  EXPECT_FALSE(PathExists(target_ + L"\\large.bin"));
}

TEST_F(ZipExtractorTest, TruncatedOrMissingArchivesFail) {
  ZipBuilder zip;
  zip.Add("a.txt", "some text that compresses some text that compresses");
  std::string bytes = zip.Bytes();
  for (size_t cut : {bytes.size() - 1, bytes.size() / 2, size_t(10), size_t(0)}) {
    ASSERT_TRUE(WriteFileText(archive_, bytes.substr(0, cut)));
    EXPECT_EQ(0, ExtractZip(archive_.c_str(), target_.c_str())) << cut;
  }
  // Garbage in the compressed data.
  std::string damaged = bytes;
  damaged[30 + 5 + 2] ^= 0x55;
  ASSERT_TRUE(WriteFileText(archive_, damaged));
  EXPECT_EQ(0, ExtractZip(archive_.c_str(), target_.c_str()));
  EXPECT_FALSE(PathExists(target_ + L"\\a.txt"));
  EXPECT_EQ(0, ExtractZip((temp_.Path() + L"\\none.zip").c_str(), target_.c_str()));
}

TEST_F(ZipExtractorTest, Utf8NamesAreDecoded) {
  ZipBuilder zip;
  ZipBuilder::Options utf8;
  utf8.utf8 = true;
  zip.Add("gr\xC3\xBC\xC3\x9F" "e.txt", "x", utf8);
  zip.Add("caf\x82.txt", "y");  // code page 437: e acute
  ASSERT_EQ(1, Extract(zip));
  EXPECT_EQ("x", ReadFileText(target_ + L"\\gr\u00FC\u00DFe.txt"));
  EXPECT_EQ("y", ReadFileText(target_ + L"\\caf\u00E9.txt"));
}

}  // namespace
