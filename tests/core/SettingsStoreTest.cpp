// SettingsStore in its three modes: the real (Wine) registry, real INI
// files and real XML files in a folder of the test's own.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/ComRef.h"
#include "core/Registry.h"
#include "core/SettingsStore.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"
#include "tests/core/RegistryTestKey.h"

namespace {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.rfind(L'\\') + 1);
}

class RegistryModeTest : public RegistryTestKey {};

}  // namespace

TEST_F(RegistryModeTest, MissingValuesAndKeysAnswerTheDefault) {
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsRegistry, HKEY_CURRENT_USER, Path()));
  EXPECT_EQ(12u, store.ReadNumber(L"Tab", 12));
  EXPECT_EQ(12u, store.ReadNumber(L"Tab", 12, L"no\\such\\key"));
  WideString text;
  EXPECT_EQ(0, store.ReadText(L"Main", text, L"none"));
  EXPECT_STREQ(L"none", text.CStr());
}

TEST_F(RegistryModeTest, SubPathsAreKeysBelowTheBaseKey) {
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsRegistry, HKEY_CURRENT_USER, Path()));
  ASSERT_EQ(1, store.WriteNumber(L"Flags", 1));
  ASSERT_EQ(1, store.WriteNumber(L"Flags", 2, L"Update\\Deep"));
  ASSERT_EQ(1, store.WriteText(L"LastCheckVersion", L"1.07", L"Update"));
  EXPECT_EQ(1u, RegReadDword(HKEY_CURRENT_USER, Path(), L"Flags", 0));
  EXPECT_EQ(2u, RegReadDword(HKEY_CURRENT_USER, Below(L"Update\\Deep").c_str(), L"Flags", 0));
  EXPECT_EQ(2u, store.ReadNumber(L"Flags", 0, L"Update\\Deep"));
  WideString text;
  ASSERT_EQ(1, store.ReadText(L"LastCheckVersion", text, nullptr, L"Update"));
  EXPECT_STREQ(L"1.07", text.CStr());
}

TEST(SettingsStoreModes, AStoreWithoutAValidModeKeepsNothing) {
  SettingsStore store;
  EXPECT_EQ(0, store.Open(3, HKEY_CURRENT_USER, L"Software\\Vantrel\\PelltonNoMode"));
  EXPECT_EQ(9u, store.ReadNumber(L"x", 9));
  EXPECT_EQ(0, store.WriteNumber(L"x", 1));
  EXPECT_EQ(0, store.WriteText(L"x", L"y"));
  WideString text(L"stale");
  EXPECT_EQ(0, store.ReadText(L"x", text, L"d"));
  EXPECT_STREQ(L"d", text.CStr());
  SettingsStore unopened;
  EXPECT_EQ(4u, unopened.ReadNumber(L"x", 4));
  EXPECT_EQ(0, unopened.WriteText(L"x", L"y"));
}

TEST(SettingsStoreFiles, FileNamesComeFromTheProgramWhenNotGiven) {
  std::wstring folder = ProgramFolder();
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsIni, nullptr, nullptr));
  EXPECT_EQ(folder + L"core_tests.ini", std::wstring(store.FilePath()));
  ASSERT_EQ(1, store.Open(SettingsIni, nullptr, nullptr, L"custom.ini"));
  EXPECT_EQ(folder + L"custom.ini", std::wstring(store.FilePath()));
  ASSERT_EQ(1, store.Open(SettingsXml, nullptr, L""));
  EXPECT_EQ(folder + L"core_tests.xml", std::wstring(store.FilePath()));
  // Without a base path the top element is named after the program.
  ComRef<IXMLDOMNode> top(store.Document().FindPath(L"CORE_TESTS"));
  EXPECT_FALSE(top);
  ASSERT_EQ(1, store.WriteNumber(L"n", 1));
  top.Reset(store.Document().FindPath(L"core_tests"));
  EXPECT_TRUE(top);
  top.Reset();
  // Every write is saved at once; nothing stays beside the program.
  store.Close();
  EXPECT_NE(std::string::npos, ReadFileText(folder + L"core_tests.xml").find("<core_tests n=\"1\""));
  EXPECT_TRUE(DeleteFileW((folder + L"core_tests.xml").c_str()));
}

TEST(SettingsStoreIni, NumbersAreReadFromTheirLeadingDigits) {
  TempFolder temp;
  std::wstring ini = temp.File(L"numbers.ini");
  ASSERT_TRUE(WriteFileText(ini, "[Settings]\r\nCount=42abc\r\nWord=abc\r\nBig=4294967297\r\nSpaced=  17\r\n"
                                 "[Update]\r\nCount=9\r\n"));
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsIni, nullptr, nullptr, ini.c_str()));
  EXPECT_EQ(ini, std::wstring(store.FilePath()));
  EXPECT_EQ(42u, store.ReadNumber(L"Count", 5));
  EXPECT_EQ(5u, store.ReadNumber(L"Word", 5));
  EXPECT_EQ(5u, store.ReadNumber(L"Missing", 5));
  EXPECT_EQ(1u, store.ReadNumber(L"Big", 5));  // the low 32 bits
  EXPECT_EQ(17u, store.ReadNumber(L"Spaced", 5));
  EXPECT_EQ(9u, store.ReadNumber(L"Count", 5, L"Update"));
  EXPECT_EQ(5u, store.ReadNumber(L"Count", 5, L"NoSection"));
}

TEST(SettingsStoreIni, WritesLandInTheFileAndReadBack) {
  TempFolder temp;
  std::wstring ini = temp.File(L"written.ini");
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsIni, nullptr, nullptr, ini.c_str()));
  ASSERT_EQ(1, store.WriteNumber(L"LastCheck", 4000000000u));
  ASSERT_EQ(1, store.WriteText(L"LastCheckVersion", L"1.07", L"Update"));
  std::string bytes = ReadFileText(ini);
  EXPECT_NE(std::string::npos, bytes.find("[Settings]")) << bytes;
  EXPECT_NE(std::string::npos, bytes.find("LastCheck=4000000000")) << bytes;
  EXPECT_NE(std::string::npos, bytes.find("[Update]")) << bytes;
  EXPECT_EQ(4000000000u, store.ReadNumber(L"LastCheck", 0));
  WideString text;
  ASSERT_EQ(1, store.ReadText(L"LastCheckVersion", text, nullptr, L"Update"));
  EXPECT_STREQ(L"1.07", text.CStr());
}

TEST(SettingsStoreIni, TextReadsGrowAndTellMissingFromEmpty) {
  TempFolder temp;
  std::wstring ini = temp.File(L"texts.ini");
  std::string longText(3000, 'q');
  ASSERT_TRUE(WriteFileText(ini, "[Settings]\r\nEmpty=\r\nLong=" + longText + "\r\n"));
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsIni, nullptr, nullptr, ini.c_str()));
  WideString text(8);
  ASSERT_EQ(1, store.ReadText(L"Long", text));
  EXPECT_EQ(3000u, text.Length());
  ASSERT_EQ(1, store.ReadText(L"Empty", text, L"default"));
  EXPECT_STREQ(L"", text.CStr());
  EXPECT_EQ(0, store.ReadText(L"Missing", text, L"default"));
  EXPECT_STREQ(L"default", text.CStr());
  EXPECT_EQ(0, store.ReadText(L"Missing", text));
  EXPECT_STREQ(L"", text.CStr());
}

TEST(SettingsStoreXml, ValuesRoundTripThroughTheSavedFile) {
  TempFolder temp;
  std::wstring xml = temp.File(L"settings.xml");
  {
    SettingsStore store;
    ASSERT_EQ(1, store.Open(SettingsXml, nullptr, L"Pellton\\Options", xml.c_str()));
    ASSERT_EQ(1, store.WriteNumber(L"Tab", 3));
    ASSERT_EQ(1, store.WriteNumber(L"Flags", 0xFFFFFFFFu, L"Update"));
    ASSERT_EQ(1, store.WriteText(L"Greeting", L"Gr\u00FC\u00DFe \u03A9", L"Update"));
    ASSERT_EQ(1, store.WriteText(L"Tab", L"4"));  // replaces the number
    EXPECT_EQ(4u, store.ReadNumber(L"Tab", 0));
    ASSERT_EQ(1, store.Close());
  }
  std::string bytes = ReadFileText(xml);
  EXPECT_NE(std::string::npos, bytes.find("<Pellton>")) << bytes;
  EXPECT_NE(std::string::npos, bytes.find("Gr\xC3\xBC\xC3\x9F" "e")) << bytes;

  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsXml, nullptr, L"pellton\\options", xml.c_str()));
  EXPECT_EQ(4u, store.ReadNumber(L"TAB", 0));
  EXPECT_EQ(0xFFFFFFFFu, store.ReadNumber(L"Flags", 0, L"update"));
  EXPECT_EQ(6u, store.ReadNumber(L"Missing", 6, L"update"));
  WideString text;
  ASSERT_EQ(1, store.ReadText(L"greeting", text, nullptr, L"Update"));
  EXPECT_STREQ(L"Gr\u00FC\u00DFe \u03A9", text.CStr());
  EXPECT_EQ(0, store.ReadText(L"Greeting", text, L"none"));  // not without its sub-path
  EXPECT_STREQ(L"none", text.CStr());
}

TEST(SettingsStoreXml, ElementsCanBeGivenDirectly) {
  TempFolder temp;
  std::wstring xml = temp.File(L"elements.xml");
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsXml, nullptr, L"Pellton", xml.c_str()));
  ComRef<IXMLDOMNode> device(store.Document().FindOrCreatePath(L"Pellton\\Devices\\Device"));
  ASSERT_TRUE(device);
  ASSERT_EQ(1, store.WriteNumberIn(device.Get(), L"Battery", 80));
  ASSERT_EQ(1, store.WriteTextIn(device.Get(), L"Address", L"00:11:22:33:44:55"));
  EXPECT_EQ(80u, store.ReadNumberIn(device.Get(), L"battery", 0));
  EXPECT_EQ(1u, store.ReadNumberIn(device.Get(), L"Missing", 1));
  WideString text;
  ASSERT_EQ(1, store.ReadTextIn(device.Get(), L"Address", text));
  EXPECT_STREQ(L"00:11:22:33:44:55", text.CStr());
  EXPECT_EQ(80u, store.ReadNumber(L"Battery", 0, L"Devices\\Device"));
  EXPECT_EQ(0, store.WriteNumberIn(nullptr, L"Battery", 1));
}

TEST(SettingsStoreXml, AnUnreadableFileFailsOpenAndIsLeftAlone) {
  TempFolder temp;
  std::wstring xml = temp.File(L"broken.xml");
  const std::string broken = "<Pellton><Tab>3</Pellton>";
  ASSERT_TRUE(WriteFileText(xml, broken));
  {
    SettingsStore store;
    EXPECT_EQ(0, store.Open(SettingsXml, nullptr, L"Pellton", xml.c_str()));
    EXPECT_EQ(7u, store.ReadNumber(L"Tab", 7));
    EXPECT_EQ(0, store.WriteNumber(L"Tab", 4));
    store.Close();
  }
  EXPECT_EQ(broken, ReadFileText(xml));
}

// The folder's file names, without the folder.
std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

TEST(SettingsStoreXml, AValueAndASubPathOfTheSameNameLiveSideBySide) {
  TempFolder temp;
  std::wstring xml = temp.File(L"apart.xml");
  {
    SettingsStore store;
    ASSERT_EQ(1, store.Open(SettingsXml, nullptr, L"Pellton", xml.c_str()));
    ASSERT_EQ(1, store.WriteNumber(L"Update", 1));
    ASSERT_EQ(1, store.WriteNumber(L"LastCheck", 1700000000u, L"Update"));
    ASSERT_EQ(1, store.WriteText(L"Version", L"1.07", L"update\\Last"));
    EXPECT_EQ(1u, store.ReadNumber(L"Update", 0));
    EXPECT_EQ(1700000000u, store.ReadNumber(L"LastCheck", 0, L"Update"));
    ASSERT_EQ(1, store.Close());
  }
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsXml, nullptr, L"Pellton", xml.c_str()));
  EXPECT_EQ(1u, store.ReadNumber(L"Update", 0));
  EXPECT_EQ(1700000000u, store.ReadNumber(L"LastCheck", 0, L"Update"));
  WideString text;
  ASSERT_EQ(1, store.ReadText(L"Version", text, nullptr, L"Update\\last"));
  EXPECT_STREQ(L"1.07", text.CStr());
  EXPECT_EQ(0, store.WriteNumber(L"Update\\LastCheck", 2));  // a name is one step
}

TEST(SettingsStoreXml, EveryWriteIsSavedAtOnceAndReplacesTheFileInOneStep) {
  TempFolder temp;
  std::wstring xml = temp.File(L"atomic.xml");
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsXml, nullptr, L"Pellton", xml.c_str()));
  ASSERT_EQ(1, store.WriteNumber(L"Tab", 2));
  std::string saved = ReadFileText(xml);
  EXPECT_NE(std::string::npos, saved.find("Tab=\"2\"")) << saved;
  // A reader holds the file open: it cannot be replaced, and it is never
  // written over in place. The write says so and the old file stays whole.
  HANDLE reader = CreateFileW(xml.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  EXPECT_EQ(0, store.WriteNumber(L"Tab", 3));
  EXPECT_EQ(0, store.Close());
  CloseHandle(reader);
  EXPECT_EQ(saved, ReadFileText(xml));
  EXPECT_EQ(std::vector<std::wstring>{L"atomic.xml"}, FilesIn(xml.substr(0, xml.rfind(L'\\'))));
}

TEST(SettingsStoreXml, TextsTheFileCouldNotGiveBackAreRefused) {
  TempFolder temp;
  std::wstring xml = temp.File(L"texts.xml");
  const wchar_t* refused[] = {L"a\x01b", L"tab\there", L"line\nbreak", L"lone \xD800 high",
                              L"lone \xDC00 low", L"end \xD83D", L"\xFFFF"};
  {
    SettingsStore store;
    ASSERT_EQ(1, store.Open(SettingsXml, nullptr, L"Pellton", xml.c_str()));
    ASSERT_EQ(1, store.WriteText(L"Kept", L"kept"));
    for (const wchar_t* text : refused) EXPECT_EQ(0, store.WriteText(L"Kept", text)) << text;
    ASSERT_EQ(1, store.WriteText(L"Pair", L"\xD83D\xDE00 <&\">"));
    // White space at the ends is part of the value.
    ASSERT_EQ(1, store.WriteText(L"Spaced", L"  both ends "));
    WideString back;
    ASSERT_EQ(1, store.ReadText(L"Spaced", back));
    EXPECT_STREQ(L"  both ends ", back.CStr());
    ASSERT_EQ(1, store.Close());
  }
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsXml, nullptr, L"Pellton", xml.c_str()));
  WideString text;
  ASSERT_EQ(1, store.ReadText(L"Kept", text));
  EXPECT_STREQ(L"kept", text.CStr());
  ASSERT_EQ(1, store.ReadText(L"Pair", text));
  EXPECT_STREQ(L"\xD83D\xDE00 <&\">", text.CStr());
  ASSERT_EQ(1, store.ReadText(L"Spaced", text));
  EXPECT_STREQ(L"  both ends ", text.CStr());
}

TEST(SettingsStoreIni, ATextIsReadBackAsWrittenOrRefused) {
  TempFolder temp;
  std::wstring ini = temp.File(L"faithful.ini");
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsIni, nullptr, nullptr, ini.c_str()));
  WideString text;
  // The one character that tells a missing value apart is a value too.
  ASSERT_EQ(1, store.WriteText(L"One", L"\x01"));
  ASSERT_EQ(1, store.ReadText(L"One", text, L"default"));
  EXPECT_STREQ(L"\x01", text.CStr());
  ASSERT_EQ(1, store.WriteText(L"Kept", L"kept"));
  std::wstring longest(8318, L'z');
  ASSERT_EQ(1, store.WriteText(L"Long", longest.c_str()));
  ASSERT_EQ(1, store.ReadText(L"Long", text));
  EXPECT_EQ(longest, std::wstring(text.CStr()));
  const std::wstring tooLong(8319, L'z');
  const wchar_t* refused[] = {tooLong.c_str(), L"two\r\nlines", L" padded", L"padded\t",
                              L"\"quoted\""};
  for (const wchar_t* bad : refused) {
    EXPECT_EQ(0, store.WriteText(L"Kept", bad)) << bad;
    ASSERT_EQ(1, store.ReadText(L"Kept", text));
    EXPECT_STREQ(L"kept", text.CStr());
  }
  // A value written by hand beyond what a read can hold is not found cut.
  std::string file = "[Settings]\r\nHuge=" + std::string(9000, 'h') + "\r\n";
  ASSERT_TRUE(WriteFileText(ini, file));
  WideString fresh;  // reads of up to 8,318 characters
  EXPECT_EQ(0, store.ReadText(L"Huge", fresh, L"default"));
  EXPECT_EQ(7u, fresh.Length());
  EXPECT_EQ(0, wcscmp(L"default", fresh.CStr()));
}

TEST(SettingsStoreXml, AStoreWithoutChangesWritesNoFile) {
  TempFolder temp;
  std::wstring xml = temp.File(L"untouched.xml");
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsXml, nullptr, L"Pellton", xml.c_str()));
  EXPECT_EQ(2u, store.ReadNumber(L"Tab", 2));
  EXPECT_EQ(1, store.Close());
  EXPECT_EQ("<missing>", ReadFileText(xml));
}

TEST(SettingsStoreXml, AFileDeclaringEntitiesIsRefusedAndLeftAlone) {
  // 12 KB (UTF-8, UTF-16) that reading the value expanded into 9 million characters.
  TempFolder temp;
  std::wstring xml = temp.File(L"entities.xml");
  std::string file = "<!DOCTYPE Pellton [<!ENTITY e \"" + std::string(3000, 'x') + "\">]><Pellton Tab=\"";
  for (int i = 0; i < 3000; ++i) file += "&e;";
  std::string utf16 = "\xFF\xFE";
  for (char c : file + "\"/>") utf16 += std::string{c, 0};
  for (const std::string& bytes : {file + "\"/>", utf16}) {
    ASSERT_TRUE(WriteFileText(xml, bytes));
    SettingsStore store;
    EXPECT_EQ(0, store.Open(SettingsXml, nullptr, L"Pellton", xml.c_str()));
    EXPECT_EQ(bytes, ReadFileText(xml));
  }
}

TEST(SettingsStoreXml, AWriteAfterWhichTheFileWouldNotLoadIsRefusedAndChangesNothing) {
  TempFolder temp;
  std::wstring xml = temp.File(L"loadable.xml");
  const std::wstring big(70000, L'v');
  SettingsStore store;
  ASSERT_EQ(1, store.Open(SettingsXml, nullptr, L"Pellton", xml.c_str()));
  ASSERT_EQ(1, store.WriteText(L"First", big.c_str()));
  const std::string saved = ReadFileText(xml);
  EXPECT_EQ(0, store.WriteText(L"Second", big.c_str(), L"Sub"));  // over the size a load takes
  for (const wchar_t* name : {L"n m", L"S]x", L"a:b", L"xmlns"})
    EXPECT_EQ(0, store.WriteText(name, L"x") + store.WriteText(L"Tab", L"x", name)) << name;
  EXPECT_EQ(saved, ReadFileText(xml));
  ASSERT_EQ(1, store.Close());
  ASSERT_EQ(1, store.Open(SettingsXml, nullptr, L"Pellton", xml.c_str()));
  WideString text;
  EXPECT_EQ(1, store.ReadText(L"First", text));
  EXPECT_EQ(std::string::npos, ReadFileText(xml).find("Sub"));  // nor the refused write's element
}
