#include "core/XmlDocument.h"

#include <cwchar>
#include <string>

#include "core/KernelHandle.h"

namespace {

bool StartsWith(const wchar_t* text, size_t length, size_t at, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (at + i >= length || text[at + i] != static_cast<unsigned char>(prefix[i])) return false;
  }
  return true;
}

// Whether the markup of a text is refused before it reaches the parser:
//  - a comment that breaks the rule that "--" may appear in a comment only
//    as its end: the parser takes time growing with the square of the
//    length to refuse it (minutes for a few dozen KB of dashes);
//  - unless allowed, a document type declaration: the parser expands the
//    entities it declares, and a few KB of nested entities grow into
//    gigabytes. Any "<!" that starts neither a comment nor a CDATA section
//    is one, or lies inside one.
// One pass finds both. CDATA sections and processing instructions are passed
// over, so text in them is never taken for markup.
bool RefusedMarkup(const wchar_t* text, size_t length, bool allowDtd) {
  size_t i = 0;
  while (i < length) {
    if (text[i] != L'<') {
      ++i;
      continue;
    }
    const char* end = nullptr;
    size_t skip = 0;
    if (StartsWith(text, length, i, "<!--")) {
      end = "--";
      skip = 4;
    } else if (StartsWith(text, length, i, "<![CDATA[")) {
      end = "]]>";
      skip = 9;
    } else if (StartsWith(text, length, i, "<?")) {
      end = "?>";
      skip = 2;
    } else if (!allowDtd && StartsWith(text, length, i, "<!")) {
      return true;
    } else {
      ++i;
      continue;
    }
    size_t j = i + skip;
    while (j < length && !StartsWith(text, length, j, end)) ++j;
    if (j >= length) return end[0] == '-';  // an unended comment
    if (end[0] == '-') {
      if (j + 2 >= length || text[j + 2] != L'>') return true;
      i = j + 3;
    } else {
      i = j + (end[0] == ']' ? 3 : 2);
    }
  }
  return false;
}

// The code units of a file as the parser will see its markup: UTF-16 (either
// byte order, by its byte-order mark or by a first '<' next to a zero byte)
// as such, anything else one unit per byte, which is how every ASCII-based
// encoding writes markup. Files in four-byte units or in EBCDIC, which the
// program never writes, are not taken (false).
bool MarkupUnits(const std::string& bytes, std::wstring& units) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size();
  if (n >= 4 && ((b[0] == 0 && b[1] == 0) || (b[2] == 0 && b[3] == 0) ||
                 (b[0] == 0x4C && b[1] == 0x6F && b[2] == 0xA7 && b[3] == 0x94)))
    return false;
  bool little = n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == '<' && b[1] == 0));
  bool big = n >= 2 && ((b[0] == 0xFE && b[1] == 0xFF) || (b[0] == 0 && b[1] == '<'));
  units.clear();
  if (little || big) {
    units.reserve(n / 2);
    for (size_t i = 0; i + 1 < n; i += 2)
      units.push_back(static_cast<wchar_t>(little ? b[i] | (b[i + 1] << 8) : (b[i] << 8) | b[i + 1]));
  } else {
    units.assign(bytes.begin(), bytes.end());
    for (size_t i = 0; i < n; ++i) units[i] = b[i];
  }
  return true;
}

}  // namespace

int XmlDocument::Create(unsigned flags) {
  if (engine_) engine_->ReleaseDocument();
  engine_ = nullptr;
  if (!apartment_.Init(COINIT_APARTMENTTHREADED)) return 0;
  if (!msxml_.CreateDocument(flags)) return 0;
  allowDtd_ = (flags & XmlAllowDtd) != 0;
  engine_ = &msxml_;
  return 1;
}

void XmlDocument::Release() {
  if (engine_) engine_->ReleaseDocument();
  engine_ = nullptr;
  apartment_.End();
}

int XmlDocument::LoadText(const wchar_t* text) {
  if (!engine_ || !text) return 0;
  size_t length = wcsnlen(text, MaxTextLength + 1);
  if (length > MaxTextLength || RefusedMarkup(text, length, allowDtd_)) return 0;
  return engine_->LoadText(text);
}

int XmlDocument::LoadFile(const wchar_t* path) {
  if (!engine_ || !path) return 0;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return 0;
  if (data.nFileSizeHigh != 0 || data.nFileSizeLow > MaxFileSize) return 0;
  KernelHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (file == INVALID_HANDLE_VALUE) return 0;
  std::string bytes(data.nFileSizeLow, '\0');
  DWORD read = 0;
  BOOL ok = bytes.empty() || ReadFile(file, &bytes[0], data.nFileSizeLow, &read, nullptr);
  file.Close();
  if (!ok || read != bytes.size()) return 0;
  std::wstring units;
  if (!MarkupUnits(bytes, units) || RefusedMarkup(units.c_str(), units.size(), allowDtd_)) return 0;
  return engine_->LoadFile(path);
}

int XmlDocument::SaveFile(const wchar_t* path) {
  return engine_ ? engine_->SaveFile(path) : 0;
}

int XmlDocument::XmlText(WideString& out) {
  if (engine_) return engine_->DocumentXml(out);
  out.Assign(L"");
  return 0;
}

int XmlDocument::NodeXmlText(IXMLDOMNode* node, WideString& out) {
  if (engine_) return engine_->NodeXml(node, out);
  out.Assign(L"");
  return 0;
}

int XmlDocument::GetValue(const wchar_t* path, WideString& out, IXMLDOMNode* start) {
  if (engine_) return engine_->GetValue(path, out, start);
  out.Assign(L"");
  return 0;
}

unsigned XmlDocument::GetNumber(const wchar_t* path, unsigned defaultValue, IXMLDOMNode* start) {
  WideString text;
  if (!GetValue(path, text, start)) return defaultValue;
  unsigned value = 0;
  if (swscanf(text.CStr(), L"%u", &value) != 1) return defaultValue;
  return value;
}

IXMLDOMNode* XmlDocument::FindPath(const wchar_t* path, IXMLDOMNode* start) {
  return engine_ ? engine_->Walk(path, start, false) : nullptr;
}

IXMLDOMNode* XmlDocument::FindOrCreatePath(const wchar_t* path, IXMLDOMNode* start) {
  return engine_ ? engine_->Walk(path, start, true) : nullptr;
}

IXMLDOMNode* XmlDocument::FindElementPath(const wchar_t* path, IXMLDOMNode* start, bool create) {
  return engine_ ? engine_->Walk(path, start, create, true) : nullptr;
}

int XmlDocument::EnumerateChildren(const wchar_t* path, XmlVisitor visitor, void* user,
                                   IXMLDOMNode* start) {
  return engine_ ? engine_->Enumerate(path, visitor, user, start, this) : 0;
}

int XmlDocument::SetValue(IXMLDOMNode* node, const wchar_t* name, const wchar_t* text) {
  return engine_ ? engine_->SetAttribute(node, name, text) : 0;
}

int XmlDocument::GetAttribute(IXMLDOMNode* node, const wchar_t* name, WideString& out) {
  if (engine_) return engine_->GetAttribute(node, name, out);
  out.Assign(L"");
  return 0;
}

int XmlDocument::RemoveAttribute(IXMLDOMNode* node, const wchar_t* name) {
  return engine_ ? engine_->RemoveAttribute(node, name) : 0;
}

IXMLDOMNode* XmlDocument::CreateChild(IXMLDOMNode* parent, const wchar_t* name,
                                      const wchar_t* text) {
  return engine_ ? engine_->CreateChild(parent, name, text) : nullptr;
}

int XmlDocument::SetText(IXMLDOMNode* node, const wchar_t* text) {
  return engine_ ? engine_->SetText(node, text) : 0;
}

int XmlDocument::AddProcessingInstruction(const wchar_t* target, const wchar_t* data) {
  return engine_ ? engine_->AddProcessingInstruction(target, data) : 0;
}

int XmlDocument::RemoveNode(IXMLDOMNode* node) {
  return engine_ ? engine_->RemoveNode(node) : 0;
}
