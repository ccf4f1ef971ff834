// A small, path-based view of an XML document held by the system's MSXML
// DOM. Paths are element and attribute names separated by backslashes; the
// first part names the root element (unless a start node is given), each
// further part is looked up among the current node's attributes first and
// then among its child elements, ignoring letter case. The part "#text"
// (exact case) is the node's own text: its first text child.
//
// Nodes handed out (FindOrCreatePath, CreateChild) are COM references the
// caller releases. Every operation answers 0 or none when there is no
// document or the underlying call fails; nothing throws. A document belongs
// to the thread that created it.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include "core/WideString.h"
#include "core/ComApartment.h"
#include "core/MsxmlEngine.h"

class XmlDocument {
public:
  // The longest text (in code units) and the largest file (in bytes) that
  // are loaded: the program's XML is a few KB, and the parser can take
  // minutes over some malformed texts of a few hundred KB. Anything longer
  // is refused before it reaches the parser.
  static constexpr unsigned MaxTextLength = 64 * 1024;
  static constexpr unsigned MaxFileSize = 2 * MaxTextLength;
  // Texts and files are also refused before parsing when a comment breaks
  // the comment rule or, unless Create was given XmlAllowDtd, when they hold
  // a document type declaration (whose entities the parser would expand).

  XmlDocument() = default;
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;
  ~XmlDocument() { Release(); }

  // Replaces any current document with a new, empty one. Initialises COM
  // on this thread (single-threaded apartment) the first time. flags:
  // XmlOpenFlags.
  int Create(unsigned flags);
  // Drops the document, and ends COM on this thread when Create started it.
  void Release();
  bool IsCreated() const { return engine_ != nullptr; }

  int LoadText(const wchar_t* text);
  int LoadFile(const wchar_t* path);
  int SaveFile(const wchar_t* path);
  int XmlText(WideString& out);
  int NodeXmlText(IXMLDOMNode* node, WideString& out);

  // 1 when the whole path was found; out then holds the attribute's value
  // or the element's text with that of its descendants. Otherwise out is
  // emptied and the answer is 0.
  int GetValue(const wchar_t* path, WideString& out, IXMLDOMNode* start = nullptr);
  // The value at the path read as an unsigned decimal number; the default
  // when the path is missing or its text does not start with a number.
  unsigned GetNumber(const wchar_t* path, unsigned defaultValue, IXMLDOMNode* start = nullptr);
  // The node at the path, or none; the caller releases it.
  IXMLDOMNode* FindPath(const wchar_t* path, IXMLDOMNode* start = nullptr);
  // As FindPath, creating every missing step as a child element (the first
  // one as the root element when the document has none yet).
  IXMLDOMNode* FindOrCreatePath(const wchar_t* path, IXMLDOMNode* start = nullptr);
  // As FindPath / FindOrCreatePath, but every step is a child element:
  // an attribute of the same name is passed over.
  IXMLDOMNode* FindElementPath(const wchar_t* path, IXMLDOMNode* start, bool create);
  // Calls the visitor for each attribute, then each child element, of the
  // node at the path, in document order, until it answers 1. Answers the
  // visitor's last answer (0 when the node is missing or has nothing).
  int EnumerateChildren(const wchar_t* path, XmlVisitor visitor, void* user,
                        IXMLDOMNode* start = nullptr);

  // Sets the node's attribute of that name, creating it when missing.
  int SetValue(IXMLDOMNode* node, const wchar_t* name, const wchar_t* text);
  // The node's attribute of that name, in any letter case: 1 with its value
  // when it has one (never a child element of that name).
  int GetAttribute(IXMLDOMNode* node, const wchar_t* name, WideString& out);
  int RemoveAttribute(IXMLDOMNode* node, const wchar_t* name);
  // A new child element (text optional) of parent, or the root element
  // when parent is none; the caller releases it.
  IXMLDOMNode* CreateChild(IXMLDOMNode* parent, const wchar_t* name, const wchar_t* text = nullptr);
  int SetText(IXMLDOMNode* node, const wchar_t* text);
  // Put in front of the document's first node, e.g. ("xml", "version=\"1.0\"").
  int AddProcessingInstruction(const wchar_t* target, const wchar_t* data);
  int RemoveNode(IXMLDOMNode* node);

private:
  ComApartment apartment_;
  MsxmlEngine msxml_;
  // The engine holding the document; none until Create succeeds. The
  // MSXML DOM is the only engine: every supported system has one.
  MsxmlEngine* engine_ = nullptr;
  bool allowDtd_ = false;  // XmlAllowDtd was given
};
