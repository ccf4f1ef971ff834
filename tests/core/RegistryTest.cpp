// Registry helpers against the real (Wine) registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "core/Registry.h"
#include "core/RegistryKey.h"
#include "tests/core/RegistryTestKey.h"

namespace {
class RegistryTest : public RegistryTestKey {};

void WriteRaw(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
              const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(root, path.c_str(), &key));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
  RegCloseKey(key);
}
}  // namespace

TEST_F(RegistryTest, MissingKeyOrValueAnswersTheDefault) {
  EXPECT_EQ(77u, RegReadDword(HKEY_CURRENT_USER, Path(), L"Flags", 77));
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"Other", 1));
  EXPECT_EQ(77u, RegReadDword(HKEY_CURRENT_USER, Path(), L"Flags", 77));

  WideString text(L"stale");
  EXPECT_EQ(0, RegReadString(HKEY_CURRENT_USER, Path(), L"Main", text, L"fallback"));
  EXPECT_STREQ(L"fallback", text.CStr());
  EXPECT_EQ(0, RegReadString(HKEY_CURRENT_USER, Below(L"none").c_str(), L"Main", text));
  EXPECT_STREQ(L"", text.CStr());
}

TEST_F(RegistryTest, WritesIntoAMissingKeyCreateItsPath) {
  std::wstring deep = Below(L"a\\b\\c");
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, deep.c_str(), L"Tab", 0xDEADBEEF));
  EXPECT_EQ(0xDEADBEEFu, RegReadDword(HKEY_CURRENT_USER, deep.c_str(), L"Tab", 0));
  ASSERT_EQ(1, RegWriteString(HKEY_CURRENT_USER, Below(L"d").c_str(), L"Main", L"1,2,3,4,5"));
  WideString text;
  ASSERT_EQ(1, RegReadString(HKEY_CURRENT_USER, Below(L"d").c_str(), L"Main", text));
  EXPECT_STREQ(L"1,2,3,4,5", text.CStr());
}

TEST_F(RegistryTest, StringValuesHoldTheirTerminator) {
  ASSERT_EQ(1, RegWriteString(HKEY_CURRENT_USER, Path(), L"Name", L"abc"));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, Path(), 0, KEY_READ, &key));
  DWORD type = 0, size = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"Name", nullptr, &type, nullptr, &size));
  RegCloseKey(key);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(8u, size);
}

TEST_F(RegistryTest, LongStringIsReadCompletelyOnTheSecondAttempt) {
  std::wstring longText;
  for (int i = 0; i < 1000; ++i) longText += static_cast<wchar_t>(L'a' + i % 26);
  ASSERT_EQ(1, RegWriteString(HKEY_CURRENT_USER, Path(), L"Long", longText.c_str()));
  RegistryKey key;
  ASSERT_EQ(1, key.OpenForRead(HKEY_CURRENT_USER, Path()));
  WideString small(16);
  ASSERT_EQ(1, key.ReadString(L"Long", small));
  EXPECT_EQ(longText, std::wstring(small.CStr()));
  EXPECT_EQ(1000u, small.Length());
}

TEST_F(RegistryTest, TextEndsAtTheEndOfItsData) {
  // Stored without terminator, and exactly as long as the buffer.
  const wchar_t raw[] = {L'w', L'x', L'y', L'z'};
  WriteRaw(HKEY_CURRENT_USER, Path(), L"Bare", REG_SZ, raw, sizeof(raw));
  RegistryKey key;
  ASSERT_EQ(1, key.OpenForRead(HKEY_CURRENT_USER, Path()));
  WideString text(4);
  ASSERT_EQ(1, key.ReadString(L"Bare", text));
  EXPECT_STREQ(L"wxyz", text.CStr());
  WideString larger;
  ASSERT_EQ(1, key.ReadString(L"Bare", larger));
  EXPECT_STREQ(L"wxyz", larger.CStr());
}

TEST_F(RegistryTest, FailedReadsLeaveTheOutputAlone) {
  DWORD number = 5;
  WriteRaw(HKEY_CURRENT_USER, Path(), L"Number", REG_DWORD, &number, sizeof(number));
  RegistryKey key;
  ASSERT_EQ(1, key.OpenForRead(HKEY_CURRENT_USER, Path()));
  DWORD value = 99;
  EXPECT_EQ(0, key.ReadDword(L"Missing", &value));
  EXPECT_EQ(99u, value);
  WideString text(L"kept");
  EXPECT_EQ(0, key.ReadString(L"Number", text));  // not a text
  EXPECT_EQ(0, key.ReadString(L"Missing", text));
  EXPECT_STREQ(L"kept", text.CStr());
  ASSERT_EQ(1, key.ReadDword(L"Number", &value));
  EXPECT_EQ(5u, value);
}

TEST_F(RegistryTest, NumbersAreReadOnlyFromDwordValues) {
  WriteRaw(HKEY_CURRENT_USER, Path(), L"Text", REG_SZ, L"1", 4);
  const BYTE three[] = {1, 2, 3};
  WriteRaw(HKEY_CURRENT_USER, Path(), L"Bytes", REG_BINARY, three, sizeof(three));
  const BYTE four[] = {1, 2, 3, 4};
  WriteRaw(HKEY_CURRENT_USER, Path(), L"FourBytes", REG_BINARY, four, sizeof(four));
  WriteRaw(HKEY_CURRENT_USER, Path(), L"Short", REG_DWORD, three, 2);
  EXPECT_EQ(77u, RegReadDword(HKEY_CURRENT_USER, Path(), L"Text", 77));
  EXPECT_EQ(77u, RegReadDword(HKEY_CURRENT_USER, Path(), L"Bytes", 77));
  EXPECT_EQ(77u, RegReadDword(HKEY_CURRENT_USER, Path(), L"FourBytes", 77));
  EXPECT_EQ(77u, RegReadDword(HKEY_CURRENT_USER, Path(), L"Short", 77));
  RegistryKey key;
  ASSERT_EQ(1, key.OpenForRead(HKEY_CURRENT_USER, Path()));
  DWORD value = 5;
  EXPECT_EQ(0, key.ReadDword(L"Text", &value));
  EXPECT_EQ(5u, value);
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"Number", 0x30201));
  EXPECT_EQ(0x30201u, RegReadDword(HKEY_CURRENT_USER, Path(), L"Number", 77));
}

TEST_F(RegistryTest, KeysOpenCreateAndClose) {
  RegistryKey key;
  EXPECT_EQ(1, key.CloseKey());  // never opened
  EXPECT_EQ(0, key.OpenForRead(HKEY_CURRENT_USER, Path()));
  EXPECT_EQ(0, key.WriteDword(L"x", 1));
  ASSERT_EQ(1, key.CreateKey(HKEY_CURRENT_USER, Path()));
  ASSERT_EQ(1, key.WriteDword(L"Flags", 1));
  ASSERT_EQ(1, key.CloseKey());
  EXPECT_FALSE(key.IsOpen());
  // Creating an existing key opens it with its values.
  ASSERT_EQ(1, key.CreateKey(HKEY_CURRENT_USER, Path(), KEY_WOW64_64KEY));
  DWORD flags = 0;
  ASSERT_EQ(1, key.ReadDword(L"Flags", &flags));
  EXPECT_EQ(1u, flags);
  // A read-only key takes no writes.
  ASSERT_EQ(1, key.OpenForRead(HKEY_CURRENT_USER, Path()));
  EXPECT_EQ(0, key.WriteDword(L"Flags", 2));
}

TEST_F(RegistryTest, ViewFlagsCountOnlyUnderWow64) {
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  REGSAM both = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
  EXPECT_EQ(static_cast<REGSAM>(KEY_READ), RegistryViewAccess(KEY_READ));
  EXPECT_EQ(wow64 ? (KEY_READ | KEY_WOW64_32KEY) : static_cast<REGSAM>(KEY_READ),
            RegistryViewAccess(KEY_READ | KEY_WOW64_32KEY));
  EXPECT_EQ(wow64 ? both : 0, RegistryViewAccess(both));
#ifdef _WIN64
  EXPECT_FALSE(wow64);
#endif
  // Values written through a view flag are where a plain read finds them.
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"Viewed", 3, KEY_WOW64_32KEY));
  EXPECT_EQ(3u, RegReadDword(HKEY_CURRENT_USER, Path(), L"Viewed", 0, KEY_WOW64_32KEY));
  EXPECT_EQ(3u, RegReadDword(HKEY_CURRENT_USER, Path(), L"Viewed", 0));
}

namespace {
struct SeenValues {
  std::map<std::wstring, std::wstring> texts;
  std::map<std::wstring, DWORD> numbers;
  std::vector<DWORD> sizes;
  int calls = 0;
  int stopAfter = 1000;
};
int CollectValue(const wchar_t* name, DWORD type, DWORD size, const BYTE* data, void* user) {
  SeenValues* seen = static_cast<SeenValues*>(user);
  ++seen->calls;
  seen->sizes.push_back(size);
  if (type == REG_SZ && data) seen->texts[name] = reinterpret_cast<const wchar_t*>(data);
  if (type == REG_DWORD && data) seen->numbers[name] = *reinterpret_cast<const DWORD*>(data);
  if (!data) seen->texts[name] = L"<no data>";
  return seen->calls < seen->stopAfter ? 1 : 0;
}
struct SeenKeys {
  std::vector<std::wstring> names;
  int stopAfter = 1000;
};
int CollectKey(const wchar_t* name, void* user) {
  SeenKeys* seen = static_cast<SeenKeys*>(user);
  seen->names.push_back(name);
  return static_cast<int>(seen->names.size()) < seen->stopAfter ? 1 : 0;
}
}  // namespace

TEST_F(RegistryTest, EnumValuesGivesEachValueWithItsData) {
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"Flags", 1));
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"Tab", 2));
  ASSERT_EQ(1, RegWriteString(HKEY_CURRENT_USER, Path(), L"Main", L"1,2,3,4,5"));
  std::wstring big(200, L'x');
  ASSERT_EQ(1, RegWriteString(HKEY_CURRENT_USER, Path(), L"Big", big.c_str()));

  BYTE data[64];
  SeenValues seen;
  EXPECT_EQ(1, RegEnumValues(HKEY_CURRENT_USER, Path(), CollectValue, &seen, data, sizeof(data)));
  EXPECT_EQ(3, seen.calls);  // "Big" does not fit the buffer and is passed over
  EXPECT_EQ(1u, seen.numbers[L"Flags"]);
  EXPECT_EQ(2u, seen.numbers[L"Tab"]);
  EXPECT_EQ(L"1,2,3,4,5", seen.texts[L"Main"]);
  EXPECT_EQ(0u, seen.texts.count(L"Big"));

  SeenValues namesOnly;
  EXPECT_EQ(1, RegEnumValues(HKEY_CURRENT_USER, Path(), CollectValue, &namesOnly, nullptr, 0));
  EXPECT_EQ(4, namesOnly.calls);
  EXPECT_EQ(L"<no data>", namesOnly.texts[L"Big"]);
}

TEST_F(RegistryTest, EnumValuesStopsAtTheFirstZeroAnswer) {
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"One", 1));
  ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Path(), L"Two", 2));
  BYTE data[16];
  SeenValues seen;
  seen.stopAfter = 1;
  EXPECT_EQ(0, RegEnumValues(HKEY_CURRENT_USER, Path(), CollectValue, &seen, data, sizeof(data)));
  EXPECT_EQ(1, seen.calls);

  RegistryKey empty;
  ASSERT_EQ(1, empty.CreateKey(HKEY_CURRENT_USER, Below(L"empty").c_str()));
  empty.CloseKey();
  SeenValues none;
  EXPECT_EQ(1, RegEnumValues(HKEY_CURRENT_USER, Below(L"empty").c_str(), CollectValue, &none, data,
                             sizeof(data)));
  EXPECT_EQ(0, none.calls);
  EXPECT_EQ(0, RegEnumValues(HKEY_CURRENT_USER, Below(L"missing").c_str(), CollectValue, &none,
                             data, sizeof(data)));
}

TEST_F(RegistryTest, EnumSubKeysGivesEachNameUntilStopped) {
  for (const wchar_t* sub : {L"alpha", L"beta", L"gamma"})
    ASSERT_EQ(1, RegWriteDword(HKEY_CURRENT_USER, Below(sub).c_str(), L"x", 1));
  SeenKeys all;
  EXPECT_EQ(1, RegEnumSubKeys(HKEY_CURRENT_USER, Path(), CollectKey, &all));
  EXPECT_EQ((std::vector<std::wstring>{L"alpha", L"beta", L"gamma"}), all.names);

  SeenKeys two;
  two.stopAfter = 2;
  EXPECT_EQ(0, RegEnumSubKeys(HKEY_CURRENT_USER, Path(), CollectKey, &two));
  EXPECT_EQ(2u, two.names.size());

  SeenKeys none;
  EXPECT_EQ(1, RegEnumSubKeys(HKEY_CURRENT_USER, Below(L"alpha").c_str(), CollectKey, &none));
  EXPECT_TRUE(none.names.empty());
  EXPECT_EQ(0, RegEnumSubKeys(HKEY_CURRENT_USER, Below(L"missing").c_str(), CollectKey, &none));
}
