#include "core/XmlDocument.h"

#include <cwchar>

int XmlDocument::Create(unsigned flags) {
  if (engine_) engine_->ReleaseDocument();
  engine_ = nullptr;
  if (!apartment_.Init(COINIT_APARTMENTTHREADED)) return 0;
  if (!msxml_.CreateDocument(flags)) return 0;
  engine_ = &msxml_;
  return 1;
}

void XmlDocument::Release() {
  if (engine_) engine_->ReleaseDocument();
  engine_ = nullptr;
  apartment_.End();
}

int XmlDocument::LoadText(const wchar_t* text) {
  return engine_ ? engine_->LoadText(text) : 0;
}

int XmlDocument::LoadFile(const wchar_t* path) {
  return engine_ ? engine_->LoadFile(path) : 0;
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

int XmlDocument::EnumerateChildren(const wchar_t* path, XmlVisitor visitor, void* user,
                                   IXMLDOMNode* start) {
  return engine_ ? engine_->Enumerate(path, visitor, user, start, this) : 0;
}

int XmlDocument::SetValue(IXMLDOMNode* node, const wchar_t* name, const wchar_t* text) {
  return engine_ ? engine_->SetAttribute(node, name, text) : 0;
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
