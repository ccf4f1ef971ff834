#include "core/SettingsStore.h"

#include <cwchar>
#include <initializer_list>

#include "core/ComRef.h"
#include "core/ProgramFolder.h"
#include "core/Registry.h"

namespace {

const wchar_t kDefaultSection[] = L"Settings";
const unsigned kXmlFlags = XmlNoValidation | XmlNoExternals;
// Given to GetPrivateProfileStringW as defaults to tell a missing key from
// a stored text: a key is missing only when both reads answer their default.
const wchar_t kIniMissing[] = L"\x01";
const wchar_t kIniMissingToo[] = L"\x02";
// Six reads from 260 code units hold a text of at most this many; a longer
// one would read back cut, so it is not written.
const unsigned kIniTextLimit = WideString::DefaultCapacity * 32 - 2;

// Whether an INI line keeps the text as it is: no line breaks, no NUL, no
// white space or quotes at its ends (the profile functions strip them).
bool IniKeepsText(const wchar_t* text) {
  size_t length = wcslen(text);
  if (length > kIniTextLimit) return false;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == L'\r' || text[i] == L'\n') return false;
  }
  if (length == 0) return true;
  auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
  if (blank(text[0]) || blank(text[length - 1])) return false;
  if ((text[0] == L'"' || text[0] == L'\'') && text[length - 1] == text[0]) return false;
  return true;
}

// Whether an XML attribute keeps the text through a save and a load: only
// characters XML 1.0 allows, no lone surrogates, and none of the white space
// that a parser folds into spaces in attribute values.
bool XmlKeepsText(const wchar_t* text) {
  for (const wchar_t* p = text; *p; ++p) {
    wchar_t c = *p;
    if (c < 0x20 || c == 0xFFFE || c == 0xFFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (p[1] < 0xDC00 || p[1] > 0xDFFF) return false;
      ++p;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// Characters of XML names (XML 1.0, fifth edition), by code point.
bool IsNameStart(unsigned c) {
  return c == L'_' || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= 0xC0 && c <= 0xD6) ||
         (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
         (c >= 0x37F && c <= 0x1FFF) || c == 0x200C || c == 0x200D || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}
bool IsNameChar(unsigned c) {
  return IsNameStart(c) || c == L'-' || c == L'.' || (c >= L'0' && c <= L'9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040;
}

// Whether the count units at name make a name the file can carry as an
// element or attribute: an XML name without a colon (which would need a
// namespace) that does not begin with "xml" in any letter case (reserved).
// Any other name would be written into a file that no longer loads.
bool IsXmlName(const wchar_t* name, size_t count) {
  if (count == 0 || (count >= 3 && _wcsnicmp(name, L"xml", 3) == 0)) return false;
  for (size_t i = 0; i < count; ++i) {
    unsigned c = name[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (name[++i] - 0xDC00);
    if (!(i == 0 ? IsNameStart(c) : IsNameChar(c))) return false;
  }
  return true;
}

// A value's name in XML mode is one step: no path separator.
bool IsXmlValueName(const wchar_t* name) { return IsXmlName(name, wcslen(name)); }

// Every step of a path (empty steps, from doubled backslashes, are passed
// over) is an XML name.
bool IsXmlPath(const wchar_t* path) {
  while (path && *path) {
    const wchar_t* end = wcschr(path, L'\\');
    size_t count = end ? static_cast<size_t>(end - path) : wcslen(path);
    if (count && !IsXmlName(path, count)) return false;
    path = end ? end + 1 : nullptr;
  }
  return true;
}

// The program's folder with its trailing backslash, and its file name with
// the extension removed when the last '.' is among the last four characters.
int ProgramFolderAndStem(WideString& folder, WideString& stem) {
  WideString path;
  if (!ProgramPath(path)) return 0;
  const wchar_t* name = WideString::FileNamePart(path.CStr());
  if (!stem.Assign(name)) return 0;
  WideString::RemoveExtension(stem.Buffer(), 3);
  stem.UpdateLength();
  int slash = path.FindLastChar(L'\\');
  path.Left(slash + 1);  // nothing left when there is no backslash
  return folder.Assign(path);
}

bool IsAbsolutePath(const wchar_t* path) {
  return path[0] == L'\\' || path[0] == L'/' || (path[0] && path[1] == L':');
}

bool FileExists(const wchar_t* path) {
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Parts joined by single backslashes, empty parts left out.
int JoinPath(WideString& out, const wchar_t* a, const wchar_t* b, const wchar_t* c = nullptr) {
  if (!out.Assign(L"")) return 0;
  for (const wchar_t* part : {a, b, c}) {
    if (!part || !*part) continue;
    if (!out.IsEmpty() && !out.AppendChar(L'\\')) return 0;
    if (!out.Append(part)) return 0;
  }
  return 1;
}

int NumberText(DWORD value, WideString& out) {
  return out.Format(L"%u", static_cast<unsigned>(value));
}

}  // namespace

int SettingsStore::Open(unsigned mode, HKEY root, const wchar_t* basePath,
                        const wchar_t* filePath) {
  Close();
  mode_ = mode;
  root_ = root;
  basePath_.Assign(basePath ? basePath : L"");
  filePath_.Assign(L"");
  if (mode != SettingsRegistry && mode != SettingsIni && mode != SettingsXml) return 0;
  if (mode == SettingsRegistry) return 1;

  WideString folder;
  WideString stem;
  if (!ProgramFolderAndStem(folder, stem)) return 0;
  bool given = filePath && *filePath;
  WideString fileName;
  if (given) {
    fileName.Assign(filePath);
  } else {
    fileName.Assign(stem);
    fileName.Append(mode == SettingsIni ? L".ini" : L".xml");
  }

  if (mode == SettingsIni) {
    // A bare name would send the profile functions to the Windows folder.
    if (IsAbsolutePath(fileName.CStr())) return filePath_.Assign(fileName);
    return filePath_.Assign(folder) && filePath_.Append(fileName);
  }

  if (basePath_.IsEmpty()) basePath_.Assign(stem);
  if (given) {
    filePath_.Assign(fileName);
  } else {
    filePath_.Assign(folder);
    filePath_.Append(fileName);
  }
  if (!xml_.Create(kXmlFlags)) return 0;
  if (FileExists(filePath_.CStr())) {
    if (!xml_.LoadFile(filePath_.CStr())) {
      // Keep the unreadable file as it is: no document, nothing to save.
      xml_.Release();
      return 0;
    }
  } else {
    xml_.AddProcessingInstruction(L"xml", L"version=\"1.0\" encoding=\"UTF-8\"");
  }
  return 1;
}

int SettingsStore::KeyPath(const wchar_t* subPath, WideString& out) const {
  if (!subPath || !*subPath) return out.Assign(basePath_);
  if (basePath_.IsEmpty()) return out.Assign(subPath);
  return out.Format(L"%s\\%s", basePath_.CStr(), subPath);
}

// Values are attributes and sub-paths child elements: a value named like
// a sub-path's step never stands in its way. With create, missing steps are
// made, and the first one made (the top of the new branch) goes to created.
IXMLDOMNode* SettingsStore::XmlElement(const wchar_t* subPath, bool create, IXMLDOMNode** created) {
  WideString path;
  if (!JoinPath(path, basePath_.CStr(), subPath) || !IsXmlPath(path.CStr())) return nullptr;
  if (!create) return xml_.FindElementPath(path.CStr(), nullptr, false);
  ComRef<IXMLDOMNode> current;
  WideString step;
  for (const wchar_t* p = path.CStr(); *p;) {
    const wchar_t* end = wcschr(p, L'\\');
    if (!end) end = p + wcslen(p);
    if (end > p) {
      if (!step.Assign(p, static_cast<unsigned>(end - p))) return nullptr;
      IXMLDOMNode* next = xml_.FindElementPath(step.CStr(), current.Get(), false);
      if (!next) {
        next = xml_.FindElementPath(step.CStr(), current.Get(), true);
        if (next && created && !*created) {
          next->AddRef();
          *created = next;
        }
      }
      if (!next) return nullptr;
      current.Reset(next);
    }
    p = *end ? end + 1 : end;
  }
  return current.Detach();
}

SettingsStore::SaveResult SettingsStore::SaveXml() {
  // Written beside the file under a new name, checked, then put in its place
  // in one step: a failed or interrupted write leaves the old file as it
  // was, and a file that would not load again (over the size a load takes,
  // or with a name a parser refuses) never takes its place.
  WideString folder;
  if (!folder.Assign(filePath_)) return SaveRefused;
  int slash = folder.FindLastChar(L'\\');
  if (folder.FindLastChar(L'/') > slash) slash = folder.FindLastChar(L'/');
  if (slash >= 0) {
    folder.Left(slash + 1);
  } else {
    folder.Assign(L".");
  }
  WideString temporary;
  if (!temporary.Reset(MAX_PATH + 1)) return SaveRefused;
  if (!GetTempFileNameW(folder.CStr(), L"pel", 0, temporary.Buffer())) return SaveRefused;
  temporary.UpdateLength();
  XmlDocument check;
  SaveResult result = SaveRefused;
  if (xml_.SaveFile(temporary.CStr()) && check.Create(kXmlFlags) && check.LoadFile(temporary.CStr())) {
    result = MoveFileExW(temporary.CStr(), filePath_.CStr(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                 ? Saved
                 : SaveDelayed;
  }
  if (result != Saved) DeleteFileW(temporary.CStr());
  return result;
}

int SettingsStore::WriteXmlValue(IXMLDOMNode* element, const wchar_t* name, const wchar_t* text,
                                 IXMLDOMNode* created) {
  WideString old;
  int hadOld = xml_.GetAttribute(element, name, old);
  int set = xml_.SetValue(element, name, text);
  SaveResult result = set ? SaveXml() : SaveRefused;
  if (result == Saved) {
    xmlChanged_ = false;
    return 1;
  }
  if (result == SaveDelayed) {
    // A sound file that could not take the old one's place (the file is in
    // use): Close tries again.
    xmlChanged_ = true;
    return 0;
  }
  // Refused: the document goes back to what the file holds.
  if (created)
    xml_.RemoveNode(created);
  else if (hadOld)
    xml_.SetValue(element, name, old.CStr());
  else if (set)
    xml_.RemoveAttribute(element, name);
  return 0;
}

int SettingsStore::ReadIniText(const wchar_t* section, const wchar_t* name, WideString& out) {
  // Six attempts from at least 260 code units. A text that still fills the
  // buffer on the last one was cut: it is not handed out as found.
  WideString buffer;
  unsigned size = out.Capacity() + 1;
  if (size < WideString::DefaultCapacity) size = WideString::DefaultCapacity;
  const wchar_t* missing = kIniMissing;
  for (int attempt = 0;; ++attempt) {
    if (attempt > 0) size *= 2;
    if (!buffer.Reset(size)) return 0;
    DWORD n = GetPrivateProfileStringW(section, name, missing, buffer.Buffer(), size,
                                       filePath_.CStr());
    buffer.UpdateLength();
    if (n != size - 1) break;
    if (attempt == 5) return 0;
  }
  if (buffer == kIniMissing) {
    // Missing, or a stored text that is that very character.
    WideString again;
    if (!again.Reset(4)) return 0;
    GetPrivateProfileStringW(section, name, kIniMissingToo, again.Buffer(), 4, filePath_.CStr());
    again.UpdateLength();
    if (again == kIniMissingToo) return 0;
  }
  return out.Assign(buffer);
}

int SettingsStore::WriteIniText(const wchar_t* section, const wchar_t* name, const wchar_t* text) {
  if (!IniKeepsText(text)) return 0;
  WideString old;
  int hadOld = ReadIniText(section, name, old);
  if (!WritePrivateProfileStringW(section, name, text, filePath_.CStr())) return 0;
  // What the file gives back must be what was written (a file in a code
  // page may not hold every character); otherwise the old value returns.
  WideString back;
  if (ReadIniText(section, name, back) && back == text) return 1;
  WritePrivateProfileStringW(section, name, hadOld ? old.CStr() : nullptr, filePath_.CStr());
  return 0;
}

DWORD SettingsStore::ReadNumber(const wchar_t* name, DWORD defaultValue, const wchar_t* subPath) {
  if (!name) return defaultValue;
  switch (mode_) {
    case SettingsRegistry: {
      WideString key;
      if (!KeyPath(subPath, key)) return defaultValue;
      return RegReadDword(root_, key.CStr(), name, defaultValue, 0);
    }
    case SettingsIni: {
      WideString text;
      if (!ReadIniText(subPath && *subPath ? subPath : kDefaultSection, name, text))
        return defaultValue;
      unsigned long long value = 0;
      if (swscanf(text.CStr(), L"%I64u", &value) != 1) return defaultValue;
      return static_cast<DWORD>(value & 0xFFFFFFFFu);
    }
    case SettingsXml: {
      if (!IsXmlValueName(name)) return defaultValue;
      ComRef<IXMLDOMNode> element(XmlElement(subPath, false));
      return element ? xml_.GetNumber(name, defaultValue, element.Get()) : defaultValue;
    }
    default:
      return defaultValue;
  }
}

int SettingsStore::WriteNumber(const wchar_t* name, DWORD value, const wchar_t* subPath) {
  if (!name) return 0;
  switch (mode_) {
    case SettingsRegistry: {
      WideString key;
      return KeyPath(subPath, key) && RegWriteDword(root_, key.CStr(), name, value, 0);
    }
    case SettingsIni: {
      WideString text;
      if (!text.Format(L"%I64u", static_cast<unsigned long long>(value))) return 0;
      return WritePrivateProfileStringW(subPath && *subPath ? subPath : kDefaultSection, name,
                                        text.CStr(), filePath_.CStr()) != FALSE;
    }
    case SettingsXml: {
      WideString text;
      return NumberText(value, text) && WriteText(name, text.CStr(), subPath);
    }
    default:
      return 0;
  }
}

int SettingsStore::ReadText(const wchar_t* name, WideString& out, const wchar_t* defaultValue,
                            const wchar_t* subPath) {
  int found = 0;
  if (name) {
    switch (mode_) {
      case SettingsRegistry: {
        WideString key;
        if (KeyPath(subPath, key))
          return RegReadString(root_, key.CStr(), name, out, defaultValue, 0);
        break;
      }
      case SettingsIni:
        found = ReadIniText(subPath && *subPath ? subPath : kDefaultSection, name, out);
        break;
      case SettingsXml: {
        if (!IsXmlValueName(name)) break;
        ComRef<IXMLDOMNode> element(XmlElement(subPath, false));
        found = element && xml_.GetValue(name, out, element.Get());
        break;
      }
      default:
        break;
    }
  }
  if (!found) out.Assign(defaultValue ? defaultValue : L"");
  return found;
}

int SettingsStore::WriteText(const wchar_t* name, const wchar_t* text, const wchar_t* subPath) {
  if (!name) return 0;
  switch (mode_) {
    case SettingsRegistry: {
      WideString key;
      return KeyPath(subPath, key) && RegWriteString(root_, key.CStr(), name, text, 0);
    }
    case SettingsIni:
      return WriteIniText(subPath && *subPath ? subPath : kDefaultSection, name, text ? text : L"");
    case SettingsXml: {
      if (!IsXmlValueName(name) || !XmlKeepsText(text ? text : L"")) return 0;
      ComRef<IXMLDOMNode> created;
      ComRef<IXMLDOMNode> element(XmlElement(subPath, true, created.Out()));
      if (element) return WriteXmlValue(element.Get(), name, text ? text : L"", created.Get());
      if (created) xml_.RemoveNode(created.Get());
      return 0;
    }
    default:
      return 0;
  }
}

DWORD SettingsStore::ReadNumberIn(IXMLDOMNode* element, const wchar_t* name,
                                  DWORD defaultValue) {
  if (mode_ != SettingsXml || !element || !name) return defaultValue;
  return xml_.GetNumber(name, defaultValue, element);
}

int SettingsStore::WriteNumberIn(IXMLDOMNode* element, const wchar_t* name, DWORD value) {
  WideString text;
  return NumberText(value, text) && WriteTextIn(element, name, text.CStr());
}

int SettingsStore::ReadTextIn(IXMLDOMNode* element, const wchar_t* name, WideString& out,
                              const wchar_t* defaultValue) {
  int found = mode_ == SettingsXml && element && name && xml_.GetValue(name, out, element);
  if (!found) out.Assign(defaultValue ? defaultValue : L"");
  return found;
}

int SettingsStore::WriteTextIn(IXMLDOMNode* element, const wchar_t* name, const wchar_t* text) {
  if (mode_ != SettingsXml || !element || !name || !IsXmlValueName(name)) return 0;
  if (!text) text = L"";
  // A text the file could not give back is refused, never changed.
  if (!XmlKeepsText(text)) return 0;
  // Saved at once: a crash later loses nothing written so far.
  return WriteXmlValue(element, name, text, nullptr);
}

int SettingsStore::Close() {
  int saved = 1;
  if (mode_ == SettingsXml && xmlChanged_ && xml_.IsCreated()) saved = SaveXml() == Saved;
  xml_.Release();
  xmlChanged_ = false;
  mode_ = 0;
  root_ = nullptr;
  basePath_.Assign(L"");
  filePath_.Assign(L"");
  return saved;
}
