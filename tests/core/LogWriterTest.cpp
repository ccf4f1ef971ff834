#include "core/LogWriter.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <string>

#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"

namespace {

class LogWriterTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(folder_.Made()); }

  std::string FileBytes() const { return ReadFileText(path_); }

  TempFolder folder_{L"log"};
  std::wstring path_ = folder_.File(L"test.log");
};

std::wstring Text(LogWriter& log) {
  WideString text;
  log.MemoryText(text);
  return text.CStr();
}

TEST(LogLineEndTest, EndsEveryLineInExactlyOneCarriageReturnLineFeed) {
  const wchar_t* cases[][2] = {
      {L"", L"\r\n"},          {L"a", L"a\r\n"},       {L"a\r\n", L"a\r\n"},
      {L"a\n", L"a\r\n"},      {L"\n", L"\r\n"},       {L"a\r", L"a\r\r\n"},
      {L"a\n\n", L"a\n\r\n"},  {L"a\r\n\n", L"a\r\n\r\n"},
  };
  for (auto& c : cases) {
    WideString line(c[0]);
    EndLogLine(line);
    EXPECT_STREQ(c[1], line.CStr()) << "for \"" << WideString(c[0]).ToNarrow() << "\"";
  }
}

TEST_F(LogWriterTest, FileLinesAreAnsiWithOneLineEndEach) {
  LogWriter log;
  log.SetFlags(0);
  log.SetFileName(path_.c_str());
  log.WriteLine(L"first %d", 1);
  log.WriteLine(L"second\r\n");
  log.WriteLine(L"third\n");
  log.WriteLine(L"%s and %S", L"wide", "narrow");
  EXPECT_EQ("first 1\r\nsecond\r\nthird\r\nwide and narrow\r\n", FileBytes());
}

TEST_F(LogWriterTest, TheFileIsClosedBetweenLines) {
  LogWriter log;
  log.SetFlags(LogFlush);
  log.SetFileName(path_.c_str());
  log.WriteLine(L"one");
  // Nobody holds the file: it can be opened without sharing and removed.
  HANDLE exclusive = CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
  CloseHandle(exclusive);
  ASSERT_TRUE(DeleteFileW(path_.c_str()));
  log.WriteLine(L"two");
  EXPECT_EQ("two\r\n", FileBytes());
}

TEST_F(LogWriterTest, Utf16FilesStartWithOneByteOrderMark) {
  {
    LogWriter log;
    log.SetFlags(LogUtf16);
    log.SetFileName(path_.c_str());
    log.WriteLine(L"\x00E9t\x00E9");
    log.WriteLine(L"x");
  }
  LogWriter again;
  again.SetFlags(LogUtf16);
  again.SetFileName(path_.c_str());
  again.WriteLine(L"y\n");
  std::string expected("\xFF\xFE", 2);
  for (wchar_t c : std::wstring(L"\x00E9t\x00E9\r\nx\r\ny\r\n")) {
    expected.push_back(static_cast<char>(c & 0xFF));
    expected.push_back(static_cast<char>(c >> 8));
  }
  EXPECT_EQ(expected, FileBytes());
}

TEST_F(LogWriterTest, AnEmptyFileNameWritesNothing) {
  LogWriter log;
  log.SetFlags(0);
  log.WriteLine(L"lost");
  EXPECT_EQ("<missing>", FileBytes());
  EXPECT_EQ(0u, log.MemoryLength());
}

TEST_F(LogWriterTest, SwitchedOffWritesNothing) {
  LogWriter log;
  log.SetFlags(LogOff | LogMemory);
  log.SetFileName(path_.c_str());
  log.WriteLine(L"lost");
  EXPECT_EQ(0u, log.MemoryLength());
  log.SetFlags(LogOff);
  log.WriteLine(L"lost");
  EXPECT_EQ("<missing>", FileBytes());
}

TEST_F(LogWriterTest, CsvLinesQuoteTheTimeAndTheMessage) {
  LogWriter log;
  log.SetFlags(LogTimestamp | LogCsv);
  log.SetFileName(path_.c_str());
  SYSTEMTIME before;
  GetLocalTime(&before);
  log.WriteLine(L"value %u", 7u);
  std::string line = FileBytes();
  wchar_t date[128];
  ASSERT_NE(0, GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &before, nullptr, date, 128));
  std::string narrowDate = WideString(date).ToNarrow();
  // "date time","value 7"
  ASSERT_EQ("\"" + narrowDate + " ", line.substr(0, narrowDate.size() + 2));
  size_t close = line.find("\",\"");
  ASSERT_NE(std::string::npos, close);
  EXPECT_EQ(close, line.find('"', narrowDate.size() + 2));  // no quote inside the time
  EXPECT_EQ("\",\"value 7\"\r\n", line.substr(close));
  std::string time = line.substr(narrowDate.size() + 2, close - narrowDate.size() - 2);
  EXPECT_EQ(2, std::count(time.begin(), time.end(), ':')) << time;
}

TEST_F(LogWriterTest, TimeWithoutSecondsAndThePlainPrefix) {
  LogWriter log;
  log.SetFlags(LogTimestamp | LogNoSeconds | LogMemory);
  log.WriteLine(L"m");
  std::wstring text = Text(log);
  size_t colon = text.find(L": m\r\n");
  ASSERT_NE(std::wstring::npos, colon);
  EXPECT_EQ(colon + 5, text.size());
  std::wstring stamp = text.substr(0, colon);
  EXPECT_EQ(1, std::count(stamp.begin(), stamp.end(), L':')) << WideString(stamp.c_str()).ToNarrow();
}

TEST(LogMemoryTest, KeepsTheNewerHalfOnceTheLimitIsCrossed) {
  LogWriter log;
  log.SetFlags(LogMemory);
  std::wstring all;
  std::wstring body(97, L'x');
  unsigned i = 0;
  // 100 characters a line: the 656th line takes the text past 0x10000.
  for (; i < 655; ++i) {
    log.WriteLine(L"%s%c", body.c_str(), static_cast<wchar_t>(L'A' + i % 26));
    all += body + static_cast<wchar_t>(L'A' + i % 26) + L"\r\n";
  }
  ASSERT_EQ(65500u, log.MemoryLength());
  EXPECT_EQ(all, Text(log));
  log.WriteLine(L"%s%c", body.c_str(), L'Z');
  all += body + L"Z\r\n";
  ASSERT_EQ(65600u, all.size());
  EXPECT_EQ(32800u, log.MemoryLength());
  EXPECT_EQ(all.substr(32800), Text(log));
  // Never more than the limit plus one line.
  for (unsigned n = 0; n < 2000; ++n) {
    log.WriteLine(L"%s%c", body.c_str(), L'Q');
    ASSERT_LE(log.MemoryLength(), LogMemoryLimit + 100);
  }
}

struct WriterArg {
  LogWriter* log;
  wchar_t c;
};

DWORD WINAPI WriteLines(void* p) {
  WriterArg* arg = static_cast<WriterArg*>(p);
  for (int i = 0; i < 200; ++i) arg->log->WriteLine(L"%c%c%c", arg->c, arg->c, arg->c);
  return 0;
}

TEST(LogMemoryTest, LockedWritersOnSeveralThreadsLoseNoLine) {
  LogWriter log;
  log.SetFlags(LogMemory | LogLocked);
  WriterArg args[3] = {{&log, L'a'}, {&log, L'b'}, {&log, L'c'}};
  HANDLE threads[3];
  for (int t = 0; t < 3; ++t) {
    threads[t] = CreateThread(nullptr, 0, WriteLines, &args[t], 0, nullptr);
    ASSERT_NE(nullptr, threads[t]);
  }
  WaitForMultipleObjects(3, threads, TRUE, INFINITE);
  for (HANDLE h : threads) CloseHandle(h);
  std::wstring text = Text(log);
  ASSERT_EQ(3u * 200u * 5u, text.size());
  for (size_t at = 0; at < text.size(); at += 5) {
    wchar_t c = text[at];
    ASSERT_EQ(std::wstring(3, c) + L"\r\n", text.substr(at, 5)) << "at " << at;
  }
}

// RC4 under the MD5 hash of the key, decrypted independently of the writer.
std::string Decrypt(const std::string& key, const std::string& data) {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  HCRYPTKEY rc4 = 0;
  std::string out = data;
  EXPECT_TRUE(CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
  EXPECT_TRUE(CryptCreateHash(provider, CALG_MD5, 0, 0, &hash));
  EXPECT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>(key.data()),
                            static_cast<DWORD>(key.size()), 0));
  EXPECT_TRUE(CryptDeriveKey(provider, CALG_RC4, hash, 0, &rc4));
  DWORD size = static_cast<DWORD>(out.size());
  EXPECT_TRUE(CryptDecrypt(rc4, 0, TRUE, 0, reinterpret_cast<BYTE*>(&out[0]), &size));
  CryptDestroyKey(rc4);
  CryptDestroyHash(hash);
  CryptReleaseContext(provider, 0);
  return out;
}

DWORD Dword(const std::string& bytes, size_t at) {
  return static_cast<DWORD>(static_cast<unsigned char>(bytes[at])) |
         static_cast<DWORD>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
         static_cast<DWORD>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
         static_cast<DWORD>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

TEST_F(LogWriterTest, EncryptedRecordsDecryptWithTheSameKey) {
  const std::string key = "pellton key material";
  LogWriter log;
  log.SetFlags(LogEncrypted);
  log.SetKey(key.data(), static_cast<DWORD>(key.size()));
  log.SetFileName(path_.c_str());
  log.WriteLine(L"secret %d", 42);
  log.WriteLine(L"again\n");
  std::string bytes = FileBytes();
  ASSERT_EQ(8u + 11u + 8u + 7u, bytes.size());
  EXPECT_EQ(1u, Dword(bytes, 0));
  ASSERT_EQ(11u, Dword(bytes, 4));
  std::string first = bytes.substr(8, 11);
  EXPECT_EQ(std::string::npos, first.find("secret"));
  EXPECT_EQ("secret 42\r\n", Decrypt(key, first));
  EXPECT_EQ(1u, Dword(bytes, 19));
  ASSERT_EQ(7u, Dword(bytes, 23));
  EXPECT_EQ("again\r\n", Decrypt(key, bytes.substr(27)));
  EXPECT_NE("again\r\n", Decrypt("other key", bytes.substr(27)));
}

TEST_F(LogWriterTest, EncryptedUtf16RecordsCarryCodeUnits) {
  const std::string key = "k";
  LogWriter log;
  log.SetFlags(LogEncrypted | LogUtf16);
  log.SetKey(key.data(), 1);
  log.SetFileName(path_.c_str());
  log.WriteLine(L"\x00E9");
  std::string bytes = FileBytes();
  ASSERT_EQ(2u + 8u + 6u, bytes.size());
  EXPECT_EQ(std::string("\xFF\xFE", 2), bytes.substr(0, 2));
  EXPECT_EQ(6u, Dword(bytes, 6));
  EXPECT_EQ(std::string("\xE9\0\r\0\n\0", 6), Decrypt(key, bytes.substr(10)));
}

TEST_F(LogWriterTest, WithoutKeyAnEncryptedLineIsLost) {
  LogWriter log;
  log.SetFlags(LogEncrypted);
  log.SetFileName(path_.c_str());
  log.WriteLine(L"plain");
  EXPECT_EQ("", FileBytes());
}

}  // namespace
