// Settings in INI and XML files: texts of every kind written and read back
// through SettingsStore, the store closed and opened again, and files of
// any bytes opened. A write either keeps the text exactly (read back the
// same, also after reopening) or is refused and leaves the old value (and
// an XML file as it was); a file that cannot be read is left as it is.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "core/SettingsStore.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"
#include "tests/fuzz/FuzzDriver.h"

namespace {

const wchar_t* const kNames[] = {L"Tab", L"Flags", L"Main", L"LastCheck", L"Update", L"Last",
                                 L"n m", L"S]x", L"a:b", L"xmlns", L"1st", L"\u00C9t\u00E9"};
const wchar_t* const kSubPaths[] = {L"", L"Update", L"Update\\Last", L"Devices", L"n m", L"Update\\S]x", L"\u00C9t\u00E9"};

const wchar_t* const kPieces[] = {L"1", L"0,10,10,500,400", L"Gr\u00FC\u00DFe", L"\u03A9", L"\u20AC",
                                  L" ", L"\t", L"\"", L"'", L"=", L";", L"[x]", L"<&>", L"\r\n",
                                  L"\x01", L"\x1F", L"\xD800", L"\xDC00", L"\xD83D\xDE00", L"\xFFFF",
                                  L"\u00A0", L"abc", L"#", L"%s"};

std::wstring FilePath(bool xml) {
  static TempFolder folder(L"fuzz-settings");
  return folder.File(xml ? L"settings.xml" : L"settings.ini");
}

// Input: a mode byte (bit 0: XML; bit 1: start from a file of the bytes
// that follow the steps), then steps of [name][sub-path][text length]
// [text as UTF-16 pairs]; a step with name 0xFF closes and reopens.
struct Step {
  unsigned name, subPath;
  std::wstring text;
  bool reopen;
};

}  // namespace

void GenerateSettings(FuzzRandom& random, std::string& input) {
  bool fromFile = random.OneIn(5);
  input.push_back(static_cast<char>(random.Below(2) | (fromFile ? 2 : 0)));
  unsigned steps = 1 + random.Below(10);
  for (unsigned s = 0; s < steps; ++s) {
    if (random.OneIn(6)) {
      input.push_back(static_cast<char>(0xFF));
      continue;
    }
    input.push_back(static_cast<char>(random.Below(sizeof kNames / sizeof kNames[0])));
    input.push_back(static_cast<char>(random.Below(sizeof kSubPaths / sizeof kSubPaths[0])));
    std::wstring text;
    unsigned pieces = random.Below(5);
    for (unsigned p = 0; p < pieces; ++p) text += kPieces[random.Below(sizeof kPieces / sizeof kPieces[0])];
    if (random.OneIn(15)) text.append(8000 + random.Below(600), L'z');
    if (random.OneIn(6)) text.append(30000 + random.Below(2000), L'\u20AC');  // 3 bytes each in UTF-8
    if (text.size() > 0x7FFF) text.resize(0x7FFF);
    input.push_back(static_cast<char>(text.size() >> 8));
    input.push_back(static_cast<char>(text.size() & 0xFF));
    for (wchar_t c : text) {
      input.push_back(static_cast<char>(c & 0xFF));
      input.push_back(static_cast<char>(c >> 8));
    }
  }
  input.push_back(static_cast<char>(0xFE));  // end of the steps
  if (fromFile) {
    static const char* const kFiles[] = {"[Settings]\r\nTab=3\r\n", "<Pellton Tab=\"3\"><Update Last=\"x\"/></Pellton>",
                                         "<Pellton><Tab>3</Pellton>", "\xFF\xFE[\0S\0]\0", "", "<?xml?>"};
    input += kFiles[random.Below(sizeof kFiles / sizeof kFiles[0])];
    for (unsigned k = random.Below(8); k > 0; --k) input.push_back(static_cast<char>(random.Byte()));
  }
}

int CheckSettings(const std::string& input, std::string& finding) {
  if (input.empty()) return 1;
  const bool xml = input[0] & 1;
  const bool fromFile = (input[0] & 2) != 0;
  std::vector<Step> steps;
  size_t at = 1;
  while (at < input.size()) {
    unsigned char name = static_cast<unsigned char>(input[at++]);
    if (name == 0xFE) break;
    if (name == 0xFF) {
      steps.push_back({0, 0, L"", true});
      continue;
    }
    if (at + 3 > input.size()) break;
    unsigned subPath = static_cast<unsigned char>(input[at++]);
    size_t length = static_cast<unsigned char>(input[at]) * 256u + static_cast<unsigned char>(input[at + 1]);
    at += 2;
    std::wstring text;
    for (size_t i = 0; i < length && at + 1 < input.size(); ++i, at += 2) {
      wchar_t c = static_cast<wchar_t>(static_cast<unsigned char>(input[at]) |
                                       (static_cast<unsigned char>(input[at + 1]) << 8));
      text.push_back(c ? c : L'0');
    }
    steps.push_back({name % unsigned(sizeof kNames / sizeof kNames[0]), subPath % unsigned(sizeof kSubPaths / sizeof kSubPaths[0]), text, false});
  }
  std::wstring path = FilePath(xml);
  DeleteFileW(path.c_str());
  std::map<std::pair<unsigned, unsigned>, std::wstring> model;
  const unsigned mode = xml ? SettingsXml : SettingsIni;
  const wchar_t* base = xml ? L"Pellton" : nullptr;
  if (fromFile) {
    std::string bytes = input.substr(at);
    WriteFileText(path, bytes);
    SettingsStore probe;
    int opened = probe.Open(mode, nullptr, base, path.c_str());
    WideString value;
    for (const wchar_t* name : kNames) {
      for (const wchar_t* sub : kSubPaths) {
        probe.ReadText(name, value, L"d", sub);
        probe.ReadNumber(name, 5, sub);
      }
    }
    probe.Close();
    if (xml && !opened) {
      // Unreadable: nothing may have touched it.
      if (ReadFileText(path) != bytes) {
        finding = "a settings file that did not load was changed";
        return 0;
      }
    }
    DeleteFileW(path.c_str());
  }
  SettingsStore store;
  if (!store.Open(mode, nullptr, base, path.c_str())) {
    finding = "a new settings file does not open";
    return 0;
  }
  auto verify = [&](const char* when) {
    for (const auto& entry : model) {
      WideString value;
      if (!store.ReadText(kNames[entry.first.second], value, L"<none>", kSubPaths[entry.first.first]) ||
          std::wstring(value.CStr()) != entry.second) {
        WideString where;
        where.Format(L" (value %s, sub-path \"%s\", %u characters written, %u read)", kNames[entry.first.second],
                     kSubPaths[entry.first.first], static_cast<unsigned>(entry.second.size()), value.Length());
        const char* narrow = where.ToNarrow();
        finding = std::string("a stored text reads back changed ") + when + (narrow ? narrow : "");
        return false;
      }
    }
    return true;
  };
  for (const Step& step : steps) {
    if (step.reopen) {
      if (!store.Close()) {
        finding = "closing reported a failure after writes that succeeded";
        return 0;
      }
      if (!store.Open(mode, nullptr, base, path.c_str())) {
        finding = "a settings file written by the store does not open again";
        return 0;
      }
      if (!verify("after reopening")) return 0;
      continue;
    }
    const std::string before = xml ? ReadFileText(path) : std::string();
    int wrote = store.WriteText(kNames[step.name], step.text.c_str(), kSubPaths[step.subPath]);
    if (wrote) model[{step.subPath, step.name}] = step.text;
    if (xml && !wrote && ReadFileText(path) != before) {
      finding = "a refused write changed the settings file";
      return 0;
    }
    if (!verify(wrote ? "after a write that succeeded" : "after a refused write")) return 0;
  }
  store.Close();
  if (!store.Open(mode, nullptr, base, path.c_str())) {
    finding = "a settings file written by the store does not open again";
    return 0;
  }
  bool ok = verify("after the last reopening");
  store.Close();
  DeleteFileW(path.c_str());
  return ok ? 1 : 0;
}
