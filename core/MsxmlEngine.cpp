#include "core/MsxmlEngine.h"

#include <ole2.h>
#include <oleauto.h>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "core/BstrHolder.h"
#include "core/ComRef.h"

namespace {

// Declared here rather than taken from libuuid, which lacks the second one.
const IID kIidDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// Newest first.
const wchar_t* const kProgIds[] = {
    L"Msxml2.DOMDocument.6.0",
    L"Msxml2.DOMDocument.4.0",
    L"Msxml.DOMDocument",
};

bool SameNameNoCase(const wchar_t* a, const wchar_t* b) {
  return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

bool NodeNameIs(IXMLDOMNode* node, const wchar_t* name) {
  BSTR nodeName = nullptr;
  if (FAILED(node->get_nodeName(&nodeName)) || !nodeName) return false;
  bool same = SameNameNoCase(nodeName, name);
  SysFreeString(nodeName);
  return same;
}

DOMNodeType TypeOf(IXMLDOMNode* node) {
  DOMNodeType type = NODE_INVALID;
  if (FAILED(node->get_nodeType(&type))) return NODE_INVALID;
  return type;
}

// Copies a BSTR answer into out and frees it; none counts as empty.
int TakeBstr(HRESULT hr, BSTR text, WideString& out) {
  int ok = SUCCEEDED(hr) && out.Assign(text ? text : L"");
  SysFreeString(text);
  if (!ok) out.Assign(L"");
  return ok;
}

// The node's attributes as a selected list: its items are reached in
// constant time, where a DOM may walk its attribute map from the start for
// every index. None when the node has no attributes or the DOM refuses.
IXMLDOMNodeList* AttributesOf(IXMLDOMNode* node) {
  BstrHolder all(L"@*");
  IXMLDOMNodeList* list = nullptr;
  if (node->selectNodes(all.Get(), &list) != S_OK) return nullptr;
  return list;
}

// Calls visit for each attribute in document order until it answers true;
// linear in the number of attributes.
template <class Visit>
void ForEachAttribute(IXMLDOMNode* node, Visit visit) {
  ComRef<IXMLDOMNodeList> list(AttributesOf(node));
  if (!list) return;
  for (;;) {
    ComRef<IXMLDOMNode> attribute;
    if (list->nextNode(attribute.Out()) != S_OK || !attribute) return;
    if (TypeOf(attribute.Get()) != NODE_ATTRIBUTE) continue;
    if (visit(attribute.Get())) return;
  }
}

IXMLDOMNode* FirstAttributeNamed(IXMLDOMNode* node, const wchar_t* name) {
  // The exact name first, which the DOM finds by itself.
  ComRef<IXMLDOMNamedNodeMap> attributes;
  if (node->get_attributes(attributes.Out()) != S_OK || !attributes) return nullptr;
  BstrHolder exact(name);
  IXMLDOMNode* found = nullptr;
  if (attributes->getNamedItem(exact.Get(), &found) == S_OK && found) return found;
  ForEachAttribute(node, [&](IXMLDOMNode* attribute) {
    if (!NodeNameIs(attribute, name)) return false;
    attribute->AddRef();
    found = attribute;
    return true;
  });
  return found;
}

// The first child node accepted by the test, in document order.
template <class Test>
IXMLDOMNode* FirstChildWhere(IXMLDOMNode* node, Test test) {
  ComRef<IXMLDOMNode> child;
  if (node->get_firstChild(child.Out()) != S_OK) return nullptr;
  while (child) {
    if (test(child.Get())) return child.Detach();
    IXMLDOMNode* next = nullptr;
    if (child->get_nextSibling(&next) != S_OK) next = nullptr;
    child.Reset(next);
  }
  return nullptr;
}

// Where the XML declaration at the start of a text names its encoding:
// [begin, end) spans encoding="..." (or '...'), [valueBegin, valueEnd) the
// name. Only the declaration is searched, never the document after it.
struct EncodingDeclaration {
  size_t begin, end, valueBegin, valueEnd;
};

bool FindEncodingDeclaration(const wchar_t* text, EncodingDeclaration* found) {
  size_t i = text[0] == 0xFEFF ? 1 : 0;
  if (wcsncmp(text + i, L"<?xml", 5) != 0) return false;
  const wchar_t* close = wcsstr(text + i, L"?>");
  if (!close) return false;
  size_t limit = static_cast<size_t>(close - text);
  for (i += 5; i + 8 < limit; ++i) {
    if (wcsncmp(text + i, L"encoding", 8) != 0) continue;
    size_t j = i + 8;
    while (j < limit && iswspace(text[j])) ++j;
    if (j >= limit || text[j] != L'=') continue;
    ++j;
    while (j < limit && iswspace(text[j])) ++j;
    if (j >= limit || (text[j] != L'"' && text[j] != L'\'')) continue;
    wchar_t quote = text[j];
    size_t k = j + 1;
    while (k < limit && text[k] != quote) ++k;
    if (k >= limit) return false;
    *found = {i, k + 1, j + 1, k};
    return true;
  }
  return false;
}

// Encoding names that describe the text as it is held: two bytes per code
// unit.
bool NamesTwoByteEncoding(const wchar_t* name, size_t length) {
  static const wchar_t* const kNames[] = {L"UTF-16", L"UTF-16LE", L"UCS-2", L"Unicode",
                                          L"ISO-10646-UCS-2"};
  for (const wchar_t* known : kNames) {
    if (wcslen(known) == length &&
        CompareStringOrdinal(name, static_cast<int>(length), known, -1, TRUE) == CSTR_EQUAL)
      return true;
  }
  return false;
}

// An attribute's value as it stands: the text property trims the white
// space at its ends.
int AttributeValue(IXMLDOMNode* attribute, WideString& out) {
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = attribute->get_nodeValue(&value);
  int ok = SUCCEEDED(hr) && value.vt == VT_BSTR && out.Assign(value.bstrVal ? value.bstrVal : L"");
  VariantClear(&value);
  if (!ok) out.Assign(L"");
  return ok;
}

bool AllCodeUnitsAreBytes(const wchar_t* text, unsigned length) {
  for (unsigned i = 0; i < length; ++i) {
    if (text[i] > 0xFF) return false;
  }
  return true;
}

}  // namespace

int MsxmlEngine::CreateDocument(unsigned flags) {
  ReleaseDocument();
  for (const wchar_t* progId : kProgIds) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId, &clsid))) continue;
    ComRef<IUnknown> object;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, object.OutVoid())))
      continue;
    if (FAILED(OleRun(object.Get()))) continue;
    if (FAILED(object->QueryInterface(kIidDomDocument, reinterpret_cast<void**>(&document_)))) {
      document_ = nullptr;
      continue;
    }
    break;
  }
  if (!document_) return 0;
  document_->put_async(VARIANT_FALSE);
  if (flags & XmlNoValidation) document_->put_validateOnParse(VARIANT_FALSE);
  if (flags & XmlNoExternals) document_->put_resolveExternals(VARIANT_FALSE);
  // Said either way: the older DOMs accept a DTD unless told otherwise.
  // Not every DOM honours the property; XmlDocument refuses a DTD itself.
  ComRef<IXMLDOMDocument2> document2;
  if (SUCCEEDED(document_->QueryInterface(kIidDomDocument2, document2.OutVoid()))) {
    VARIANT prohibit;
    VariantInit(&prohibit);
    prohibit.vt = VT_BOOL;
    prohibit.boolVal = (flags & XmlAllowDtd) ? VARIANT_FALSE : VARIANT_TRUE;
    BstrHolder name(L"ProhibitDTD");
    document2->setProperty(name.Get(), prohibit);
  }
  return 1;
}

void MsxmlEngine::ReleaseDocument() {
  if (document_) document_->Release();
  document_ = nullptr;
}

int MsxmlEngine::LoadSource(VARIANT& source) {
  VARIANT_BOOL loaded = VARIANT_FALSE;
  HRESULT hr = document_->load(source, &loaded);
  return SUCCEEDED(hr) && loaded == VARIANT_TRUE;
}

// The text as UTF-16 code units, without terminator. The stream starts
// with a byte-order mark so that every DOM recognises UTF-16, also when the
// text does not begin with an XML declaration.
int MsxmlEngine::LoadFromStream(const wchar_t* text, unsigned length) {
  ComRef<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Out()))) return 0;
  ULONG written = 0;
  if (text[0] != 0xFEFF) {
    const wchar_t mark = 0xFEFF;
    if (FAILED(stream->Write(&mark, sizeof(mark), &written)) || written != sizeof(mark))
      return 0;
  }
  ULONG bytes = length * sizeof(wchar_t);
  if (FAILED(stream->Write(text, bytes, &written)) || written != bytes) return 0;
  LARGE_INTEGER origin = {};
  if (FAILED(stream->Seek(origin, STREAM_SEEK_SET, nullptr))) return 0;
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_UNKNOWN;
  source.punkVal = stream.Get();
  return LoadSource(source);
}

// The low byte of every code unit: text that holds one byte per code unit
// is parsed as the byte stream it came from, in its declared encoding.
int MsxmlEngine::LoadFromLowBytes(const wchar_t* text, unsigned length) {
  SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, length);
  if (!bytes) return 0;
  unsigned char* data = nullptr;
  if (FAILED(SafeArrayAccessData(bytes, reinterpret_cast<void**>(&data)))) {
    SafeArrayDestroy(bytes);
    return 0;
  }
  for (unsigned i = 0; i < length; ++i) data[i] = static_cast<unsigned char>(text[i] & 0xFF);
  SafeArrayUnaccessData(bytes);
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_ARRAY | VT_UI1;
  source.parray = bytes;
  int loaded = LoadSource(source);
  SafeArrayDestroy(bytes);
  return loaded;
}

int MsxmlEngine::LoadText(const wchar_t* text) {
  if (!document_ || !text || !*text) return 0;
  size_t length = wcslen(text);
  if (length > 0x3FFFFFFF) return 0;
  unsigned n = static_cast<unsigned>(length);
  EncodingDeclaration declaration;
  bool declared = FindEncodingDeclaration(text, &declaration);

  // 1. The text as UTF-16. A text that declares a byte encoding is not
  // what it says it is; MSXML refuses such a stream, other DOMs may read it
  // wrongly, so it is not offered.
  if (!declared || NamesTwoByteEncoding(text + declaration.valueBegin,
                                        declaration.valueEnd - declaration.valueBegin)) {
    if (LoadFromStream(text, n)) return 1;
  }
  // 2. One byte per code unit (as received over HTTP), parsed in its
  // declared encoding. Only a text of such code units can be one.
  if (AllCodeUnitsAreBytes(text, n) && LoadFromLowBytes(text, n)) return 1;
  // 3. The declaration names an encoding that does not fit: take the text
  // as it stands, without it.
  if (!declared) return 0;
  WideString shortened;
  if (!shortened.Assign(text, static_cast<unsigned>(declaration.begin)) ||
      !shortened.Append(text + declaration.end))
    return 0;
  return LoadFromStream(shortened.CStr(), shortened.Length());
}

int MsxmlEngine::LoadFile(const wchar_t* path) {
  if (!document_ || !path) return 0;
  BstrHolder name(path);
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_BSTR;
  source.bstrVal = name.Get();
  return LoadSource(source);
}

int MsxmlEngine::NodeXml(IXMLDOMNode* node, WideString& out) {
  if (!document_ || !node) {
    out.Assign(L"");
    return 0;
  }
  BSTR text = nullptr;
  HRESULT hr = node->get_xml(&text);
  return TakeBstr(hr, text, out);
}

int MsxmlEngine::DocumentXml(WideString& out) {
  if (!document_) {
    out.Assign(L"");
    return 0;
  }
  BSTR text = nullptr;
  HRESULT hr = document_->get_xml(&text);
  return TakeBstr(hr, text, out);
}

int MsxmlEngine::SaveFile(const wchar_t* path) {
  if (!document_ || !path) return 0;
  BstrHolder name(path);
  VARIANT target;
  VariantInit(&target);
  target.vt = VT_BSTR;
  target.bstrVal = name.Get();
  return SUCCEEDED(document_->save(target));
}

IXMLDOMNode* MsxmlEngine::Step(IXMLDOMNode* from, const wchar_t* name, bool elementsOnly) {
  if (!document_ || !name) return nullptr;
  if (!from) {
    IXMLDOMElement* root = nullptr;
    if (document_->get_documentElement(&root) != S_OK || !root) return nullptr;
    if (!NodeNameIs(root, name)) {
      root->Release();
      return nullptr;
    }
    return root;
  }
  if (wcscmp(name, L"#text") == 0) {
    return FirstChildWhere(from, [](IXMLDOMNode* child) {
      DOMNodeType type = TypeOf(child);
      return type == NODE_TEXT || type == NODE_CDATA_SECTION;
    });
  }
  if (!elementsOnly) {
    if (IXMLDOMNode* attribute = FirstAttributeNamed(from, name)) return attribute;
  }
  return FirstChildWhere(from, [name](IXMLDOMNode* child) {
    return TypeOf(child) == NODE_ELEMENT && NodeNameIs(child, name);
  });
}

IXMLDOMNode* MsxmlEngine::Walk(const wchar_t* path, IXMLDOMNode* start, bool create,
                               bool elementsOnly) {
  if (!document_ || !path) return nullptr;
  ComRef<IXMLDOMNode> current;
  if (start) {
    start->AddRef();
    current.Reset(start);
  }
  WideString part;
  const wchar_t* p = path;
  while (*p) {
    const wchar_t* end = wcschr(p, L'\\');
    if (!end) end = p + wcslen(p);
    if (end > p) {  // empty parts (doubled backslashes) are passed over
      if (!part.Assign(p, static_cast<unsigned>(end - p))) return nullptr;
      IXMLDOMNode* next = Step(current.Get(), part.CStr(), elementsOnly);
      if (!next && create) next = CreateChild(current.Get(), part.CStr(), nullptr);
      if (!next) return nullptr;
      current.Reset(next);
    }
    p = *end ? end + 1 : end;
  }
  return current.Detach();
}

int MsxmlEngine::GetValue(const wchar_t* path, WideString& out, IXMLDOMNode* start) {
  ComRef<IXMLDOMNode> node(Walk(path, start, false));
  if (!node) {
    out.Assign(L"");
    return 0;
  }
  if (TypeOf(node.Get()) == NODE_ATTRIBUTE) return AttributeValue(node.Get(), out);
  BSTR text = nullptr;
  HRESULT hr = node->get_text(&text);
  return TakeBstr(hr, text, out);
}

int MsxmlEngine::Enumerate(const wchar_t* path, XmlVisitor visitor, void* user,
                           IXMLDOMNode* start, XmlDocument* owner) {
  if (!visitor) return 0;
  ComRef<IXMLDOMNode> node(Walk(path, start, false));
  if (!node) return 0;
  int answer = 0;
  auto visit = [&](int kind, IXMLDOMNode* item) {
    BSTR name = nullptr;
    BSTR text = nullptr;
    if (FAILED(item->get_nodeName(&name))) name = nullptr;
    if (FAILED(item->get_text(&text))) text = nullptr;
    answer = visitor(kind, item, name ? name : L"", text ? text : L"", user, owner);
    SysFreeString(name);
    SysFreeString(text);
    return answer == 1;
  };

  bool stopped = false;
  ForEachAttribute(node.Get(), [&](IXMLDOMNode* attribute) {
    stopped = visit(1, attribute);
    return stopped;
  });
  if (stopped) return answer;
  ComRef<IXMLDOMNode> child;
  if (node->get_firstChild(child.Out()) != S_OK) return answer;
  while (child) {
    if (TypeOf(child.Get()) == NODE_ELEMENT && visit(0, child.Get())) return answer;
    IXMLDOMNode* next = nullptr;
    if (child->get_nextSibling(&next) != S_OK) next = nullptr;
    child.Reset(next);
  }
  return answer;
}

IXMLDOMNode* MsxmlEngine::CreateChild(IXMLDOMNode* parent, const wchar_t* name,
                                      const wchar_t* text) {
  if (!document_ || !name) return nullptr;
  if (!parent) {
    // A document has one root element; not every DOM refuses a second.
    ComRef<IXMLDOMElement> root;
    if (document_->get_documentElement(root.Out()) == S_OK && root) return nullptr;
  }
  BstrHolder tag(name);
  ComRef<IXMLDOMElement> element;
  if (document_->createElement(tag.Get(), element.Out()) != S_OK || !element) return nullptr;
  if (text) {
    BstrHolder value(text);
    if (FAILED(element->put_text(value.Get()))) return nullptr;
  }
  IXMLDOMNode* added = nullptr;
  HRESULT hr = parent ? parent->appendChild(element.Get(), &added)
                      : document_->appendChild(element.Get(), &added);
  if (FAILED(hr)) {
    if (added) added->Release();
    return nullptr;
  }
  return added;
}

int MsxmlEngine::SetText(IXMLDOMNode* node, const wchar_t* text) {
  if (!document_ || !node) return 0;
  BstrHolder value(text ? text : L"");
  return SUCCEEDED(node->put_text(value.Get()));
}

int MsxmlEngine::SetAttribute(IXMLDOMNode* node, const wchar_t* name, const wchar_t* value) {
  if (!document_ || !node || !name) return 0;
  BstrHolder text(value ? value : L"");
  // An attribute of that name in another letter case is the same value to
  // every reader, so it is the one that changes.
  ComRef<IXMLDOMNode> existing(FirstAttributeNamed(node, name));
  if (existing) return SUCCEEDED(existing->put_text(text.Get()));

  ComRef<IXMLDOMNamedNodeMap> attributes;
  if (node->get_attributes(attributes.Out()) != S_OK || !attributes) return 0;
  BstrHolder attributeName(name);
  ComRef<IXMLDOMAttribute> attribute;
  if (document_->createAttribute(attributeName.Get(), attribute.Out()) != S_OK || !attribute)
    return 0;
  if (FAILED(attribute->put_text(text.Get()))) return 0;
  ComRef<IXMLDOMNode> replaced;
  return SUCCEEDED(attributes->setNamedItem(attribute.Get(), replaced.Out()));
}

int MsxmlEngine::GetAttribute(IXMLDOMNode* node, const wchar_t* name, WideString& out) {
  ComRef<IXMLDOMNode> attribute(document_ && node && name ? FirstAttributeNamed(node, name) : nullptr);
  if (attribute) return AttributeValue(attribute.Get(), out);
  out.Assign(L"");
  return 0;
}

int MsxmlEngine::RemoveAttribute(IXMLDOMNode* node, const wchar_t* name) {
  if (!document_ || !node || !name) return 0;
  ComRef<IXMLDOMNode> attribute(FirstAttributeNamed(node, name));
  ComRef<IXMLDOMNamedNodeMap> attributes;
  BSTR actual = nullptr;
  if (!attribute || node->get_attributes(attributes.Out()) != S_OK || !attributes ||
      FAILED(attribute->get_nodeName(&actual)))
    return 0;
  ComRef<IXMLDOMNode> removed;
  HRESULT hr = attributes->removeNamedItem(actual, removed.Out());
  SysFreeString(actual);
  return hr == S_OK;
}

int MsxmlEngine::AddProcessingInstruction(const wchar_t* target, const wchar_t* data) {
  if (!document_ || !target) return 0;
  BstrHolder targetText(target);
  BstrHolder dataText(data ? data : L"");
  ComRef<IXMLDOMProcessingInstruction> instruction;
  if (document_->createProcessingInstruction(targetText.Get(), dataText.Get(),
                                             instruction.Out()) != S_OK ||
      !instruction)
    return 0;
  // In front of everything else, where an XML declaration has to stand.
  ComRef<IXMLDOMNode> first;
  VARIANT before;
  VariantInit(&before);
  if (document_->get_firstChild(first.Out()) == S_OK && first) {
    before.vt = VT_UNKNOWN;
    before.punkVal = first.Get();
  }
  ComRef<IXMLDOMNode> added;
  return SUCCEEDED(document_->insertBefore(instruction.Get(), before, added.Out()));
}

int MsxmlEngine::RemoveNode(IXMLDOMNode* node) {
  if (!document_ || !node) return 0;
  ComRef<IXMLDOMNode> parent;
  if (node->get_parentNode(parent.Out()) != S_OK || !parent) return 0;
  ComRef<IXMLDOMNode> removed;
  return SUCCEEDED(parent->removeChild(node, removed.Out()));
}
