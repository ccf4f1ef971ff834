// The MSXML DOM document behind XmlDocument: creation with the newest
// installed DOM, the three ways of loading a text, path walking and the few
// edits the program makes. Every operation answers 0 (or none) when there
// is no document or a COM call fails; nothing throws.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include "core/WideString.h"

class XmlDocument;

// Options of XmlDocument::Create.
enum XmlOpenFlags : unsigned {
  XmlNoValidation = 0x1,   // validateOnParse = false
  XmlNoExternals = 0x2,    // resolveExternals = false
  XmlAllowDtd = 0x4,       // ProhibitDTD = false: documents with a DTD load (else true)
};

// Called for each attribute (kind 1) and then each child element (kind 0)
// of a node; answers 1 to stop, 0 to go on. The node is only lent for the
// call.
typedef int (*XmlVisitor)(int kind, IXMLDOMNode* node, const wchar_t* name,
                          const wchar_t* text, void* user, XmlDocument* document);

class MsxmlEngine {
public:
  MsxmlEngine() = default;
  MsxmlEngine(const MsxmlEngine&) = delete;
  MsxmlEngine& operator=(const MsxmlEngine&) = delete;
  ~MsxmlEngine() { ReleaseDocument(); }

  int CreateDocument(unsigned flags);
  void ReleaseDocument();
  bool HasDocument() const { return document_ != nullptr; }

  int LoadText(const wchar_t* text);
  int LoadFile(const wchar_t* path);
  int NodeXml(IXMLDOMNode* node, WideString& out);
  int DocumentXml(WideString& out);
  int SaveFile(const wchar_t* path);

  // Paths: parts separated by backslashes; see XmlDocument.
  int GetValue(const wchar_t* path, WideString& out, IXMLDOMNode* start);
  // elementsOnly: every step is a child element, never an attribute.
  IXMLDOMNode* Step(IXMLDOMNode* from, const wchar_t* name, bool elementsOnly = false);
  IXMLDOMNode* Walk(const wchar_t* path, IXMLDOMNode* start, bool create,
                    bool elementsOnly = false);
  int Enumerate(const wchar_t* path, XmlVisitor visitor, void* user, IXMLDOMNode* start,
                XmlDocument* owner);

  IXMLDOMNode* CreateChild(IXMLDOMNode* parent, const wchar_t* name, const wchar_t* text);
  int SetText(IXMLDOMNode* node, const wchar_t* text);
  int SetAttribute(IXMLDOMNode* node, const wchar_t* name, const wchar_t* value);
  // The attribute of that name in any letter case.
  int GetAttribute(IXMLDOMNode* node, const wchar_t* name, WideString& out);
  int RemoveAttribute(IXMLDOMNode* node, const wchar_t* name);
  int AddProcessingInstruction(const wchar_t* target, const wchar_t* data);
  int RemoveNode(IXMLDOMNode* node);

private:
  int LoadFromStream(const wchar_t* text, unsigned length);
  int LoadFromLowBytes(const wchar_t* text, unsigned length);
  int LoadSource(VARIANT& source);

  IXMLDOMDocument* document_ = nullptr;
};
