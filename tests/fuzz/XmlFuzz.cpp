// XML texts into XmlDocument, and update answers into the loader and the
// paths the update client reads. A text that loads must write out as a text
// that loads again to the same text; a path is found exactly when its value
// is; nothing takes long, however the text is made (long comments of
// dashes, huge attributes, thousands of attributes).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "core/ComRef.h"
#include "core/XmlDocument.h"
#include "support/UpdateAnswer.h"
#include "tests/fuzz/FuzzDriver.h"

namespace {

const char* const kNames[] = {"update", "version", "info", "en", "de", "files", "file", "execute",
                              "help", "application", "name", "zip", "sha256", "Kestran", "Updates",
                              "xml", "a", "B", "x:y", "restart"};

const char* Name(FuzzRandom& random) { return kNames[random.Below(sizeof kNames / sizeof kNames[0])]; }

void Text(FuzzRandom& random, std::string& out) {
  static const char* const kTexts[] = {"9.0", "1.07", "x", "&amp;", "&lt;", "&#65;", "&#x10FFFF;",
                                       "&#0;", "&bogus;", "&", "<", ">", "]]>", "\xC3\xBC",
                                       "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xFF", " ", "\t", "\r\n"};
  unsigned n = random.Below(4);
  for (unsigned i = 0; i < n; ++i) out += kTexts[random.Below(sizeof kTexts / sizeof kTexts[0])];
}

void Element(FuzzRandom& random, std::string& out, unsigned depth) {
  const char* name = Name(random);
  out += "<";
  out += name;
  unsigned attributes = random.Below(4);
  for (unsigned i = 0; i < attributes; ++i) {
    out += " ";
    out += Name(random);
    out += random.OneIn(10) ? "='" : "=\"";
    Text(random, out);
    out += random.OneIn(10) ? "'" : "\"";
  }
  if (random.OneIn(4)) {
    out += "/>";
    return;
  }
  out += ">";
  unsigned children = depth < 6 ? random.Below(5) : 0;
  for (unsigned i = 0; i < children; ++i) {
    switch (random.Below(6)) {
      case 0: Text(random, out); break;
      case 1: out += "<!--"; Text(random, out); out += "-->"; break;
      case 2: out += "<![CDATA["; Text(random, out); out += "]]>"; break;
      case 3: out += "<?pi "; Text(random, out); out += "?>"; break;
      default: Element(random, out, depth + 1); break;
    }
  }
  out += "</";
  out += random.OneIn(20) ? Name(random) : name;
  out += ">";
}

// The cases that were slow to refuse, now and then, in any size.
bool Pathological(FuzzRandom& random, std::string& out) {
  if (!random.OneIn(60)) return false;
  unsigned size = 1000 + random.Below(random.OneIn(4) ? 600000 : 40000);
  switch (random.Below(3)) {
    case 0:
      out = "<a><!--" + std::string(size, '-') + "</a>";
      break;
    case 1:
      out = "<a b=\"" + std::string(size, 'v') + (random.OneIn(2) ? "\"/>" : "");
      break;
    default: {
      out = "<a";
      char attribute[32];
      for (unsigned i = 0; i < size / 8; ++i) {
        snprintf(attribute, sizeof attribute, " n%u=\"\"", i);
        out += attribute;
      }
      out += "/>";
      break;
    }
  }
  return true;
}

void Mutate(FuzzRandom& random, std::string& text) {
  unsigned edits = random.OneIn(3) ? random.Below(4) : 0;
  for (unsigned e = 0; e < edits && !text.empty(); ++e) {
    size_t at = random.Below(static_cast<unsigned>(text.size()));
    switch (random.Below(3)) {
      case 0: text.erase(at, 1 + random.Below(4)); break;
      case 1: text.insert(at, 1, static_cast<char>(random.Byte())); break;
      default: text[at] = static_cast<char>(random.Byte()); break;
    }
  }
}

std::wstring Wide(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
  // A NUL would end the text early; the parser sees the same as the rest.
  for (wchar_t& c : wide) {
    if (!c) c = L' ';
  }
  return wide;
}

// The paths to look up: names of the text joined in twos and threes.
std::vector<std::wstring> Paths() {
  return {L"update", L"update\\version", L"update\\files\\execute", L"a\\b", L"update\\#text",
          L"a\\n7", L"a\\n19999", L"a\\missing", L"A\\B\\x:y"};
}

int CheckLoaded(XmlDocument& document, std::string& finding) {
  WideString written;
  if (!document.XmlText(written)) {
    finding = "a loaded document does not write out";
    return 0;
  }
  for (const std::wstring& path : Paths()) {
    ComRef<IXMLDOMNode> node(document.FindPath(path.c_str()));
    WideString value;
    int found = document.GetValue(path.c_str(), value);
    if (found != (node ? 1 : 0)) {
      finding = "a path is found but its value is not, or the other way round";
      return 0;
    }
  }
  XmlDocument again;
  if (!again.Create(XmlNoValidation | XmlNoExternals) || !again.LoadText(written.CStr())) {
    finding = "the text a loaded document writes out does not load";
    return 0;
  }
  WideString rewritten;
  again.XmlText(rewritten);
  // A declaration naming a byte encoding does not hold for the text in hand
  // and is dropped by the loader: the rest must stay the same.
  auto withoutDeclaration = [](WideString& text) {
    if (wcsncmp(text.CStr(), L"<?xml ", 6) != 0) return;
    const wchar_t* end = wcsstr(text.CStr(), L"?>");
    if (!end) return;
    int skip = static_cast<int>(end - text.CStr()) + 2;
    while (text.CharAt(skip) == L'\r' || text.CharAt(skip) == L'\n') ++skip;
    text.MidFrom(skip);
  };
  withoutDeclaration(written);
  withoutDeclaration(rewritten);
  // White space in element text may be folded on loading (the DOM keeps no
  // white space by default); everything else must stay.
  auto withoutSpace = [](WideString& text) {
    std::wstring kept;
    for (const wchar_t* p = text.CStr(); *p; ++p) {
      if (*p != L' ' && *p != L'\t' && *p != L'\r' && *p != L'\n') kept.push_back(*p);
    }
    text.Assign(kept.c_str());
  };
  withoutSpace(written);
  withoutSpace(rewritten);
  if (!(rewritten == written.CStr())) {
    finding = "a document written out and loaded again writes out differently: ";
    const char* first = written.ToNarrow();
    finding += std::string(first ? first : "").substr(0, 200) + " | ";
    const char* second = rewritten.ToNarrow();
    finding += std::string(second ? second : "").substr(0, 200);
    return 0;
  }
  return 1;
}

// Over 20 s is a finding (a hang in all but name); a machine busy with other
// work can make a plain input take a few seconds.
int Timed(const char* what, DWORD started, std::string& finding) {
  DWORD took = GetTickCount() - started;
  if (took < 20000) return 1;
  char text[96];
  snprintf(text, sizeof text, "%s took %lu ms", what, took);
  finding = text;
  return 0;
}

}  // namespace

void GenerateXml(FuzzRandom& random, std::string& input) {
  if (Pathological(random, input)) return;
  if (random.OneIn(3)) input = random.OneIn(2) ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" : "<?xml version=\"1.0\"?>\n";
  if (random.OneIn(40)) input += "<!DOCTYPE a [<!ENTITY x \"xx\">]>";
  Element(random, input, 0);
  Mutate(random, input);
}

int CheckXml(const std::string& input, std::string& finding) {
  std::wstring text = Wide(input);
  DWORD started = GetTickCount();
  XmlDocument document;
  if (!document.Create(XmlNoValidation | XmlNoExternals)) {
    finding = "no XML document could be made";
    return 0;
  }
  if (document.LoadText(text.c_str()) && !CheckLoaded(document, finding)) return 0;
  return Timed("loading and reading the text", started, finding);
}

void GenerateUpdateAnswer(FuzzRandom& random, std::string& input) {
  if (Pathological(random, input)) return;
  bool envelope = random.OneIn(4);
  if (envelope) input += "<Kestran><Updates><xml>";
  input += "<update><version>";
  input += random.OneIn(4) ? std::to_string(random.Below(20)) + "." + std::to_string(random.Below(100)) : "9.0";
  input += "</version><info>";
  std::string more;
  Element(random, more, 3);
  input += random.OneIn(2) ? "<en>x</en>" : more;
  input += "</info><files>";
  unsigned files = random.Below(4);
  for (unsigned i = 0; i < files; ++i) {
    input += "<file name=\"Pellton.exe\" zip=\"1\" sha256=\"00\">https://example.invalid/f";
    input += std::to_string(i);
    input += "</file>";
  }
  if (random.OneIn(2)) input += "<execute>setup.exe</execute>";
  input += "</files></update>";
  if (envelope) input += "</xml></Updates></Kestran>";
  if (random.OneIn(30)) input.insert(0, "<!DOCTYPE update [<!ENTITY a \"aaaa\">]>");
  Mutate(random, input);
}

namespace {

int CountEntries(int, IXMLDOMNode*, const wchar_t*, const wchar_t*, void* user, XmlDocument*) {
  ++*static_cast<unsigned*>(user);
  return 0;
}

}  // namespace

int CheckUpdateAnswer(const std::string& input, std::string& finding) {
  // As received over HTTP: one code unit per byte.
  WideString answer;
  std::wstring units(input.begin(), input.end());
  for (wchar_t& c : units) {
    c = static_cast<unsigned char>(c);
    if (!c) c = L' ';
  }
  answer.Assign(units.c_str());
  DWORD started = GetTickCount();
  XmlDocument document;
  int loaded = LoadUpdateAnswer(document, answer);
  if (loaded && (answer.FindNoCase(L"<!DOCTYPE") || answer.FindNoCase(L"<!ENTITY"))) {
    finding = "an answer declaring a document type was loaded";
    return 0;
  }
  if (loaded && answer.Length() > UpdateAnswerCap) {
    finding = "an answer over the cap was loaded";
    return 0;
  }
  if (loaded) {
    // The update client's reads, from the document or from its envelope.
    ComRef<IXMLDOMNode> envelope(document.FindPath(L"Kestran\\Updates\\xml"));
    IXMLDOMNode* starts[] = {nullptr, envelope.Get()};
    for (IXMLDOMNode* start : starts) {
      WideString value;
      const wchar_t* paths[] = {L"update\\application", L"update\\info\\en", L"update\\help",
                                L"update\\version", L"update\\files\\execute"};
      for (const wchar_t* path : paths) {
        ComRef<IXMLDOMNode> node(document.FindPath(path, start));
        if (document.GetValue(path, value, start) != (node ? 1 : 0)) {
          finding = "an answer path is found but its value is not, or the other way round";
          return 0;
        }
      }
      unsigned entries = 0;
      document.EnumerateChildren(L"update\\files", CountEntries, &entries, start);
      if (!envelope) break;
    }
  }
  return Timed("loading and reading the answer", started, finding);
}
