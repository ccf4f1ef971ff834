// Named numbers and texts kept per user in one backing store: the registry,
// an INI file or an XML file. Reads never fail loudly: whatever is missing
// or unreadable gives the caller's default.
//
// Every value operation takes an optional sub-path: in registry mode a key
// below the base key ("base\sub"), in INI mode the section ("Settings" when
// none is given), in XML mode elements below the base element; an XML
// value is the attribute (or child element) of that name there, so a value
// and a sub-path of the same name live side by side.
//
// A file store never changes a text silently: a text the file could not
// give back as it was (control characters or lone surrogates in XML; line
// breaks, white space or quotes at the ends, characters the file's code
// page lacks, or more than 8,318 characters in INI) is refused with 0. An
// XML store is saved after every write, to a new file beside the old one
// that then takes its place in one step. Names of XML values and sub-path
// steps must be XML names (no colon, not beginning with "xml"), and a write
// after which the file would no longer load (over XmlDocument::MaxFileSize,
// for one) is refused; the file and the store keep what they had.
#pragma once

#include <windows.h>

#include "core/WideString.h"
#include "core/XmlDocument.h"

enum SettingsMode : unsigned {
  SettingsRegistry = 1,
  SettingsIni = 2,
  SettingsXml = 4,
};

class SettingsStore {
public:
  SettingsStore() = default;
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;
  ~SettingsStore() { Close(); }

  // root: registry mode only. basePath: the registry key path, or in XML
  // mode the path of the top element (the program's file name without
  // extension when empty). filePath: the INI or XML file; when none, the
  // program's file name with ".ini" or ".xml" in the program's folder. A
  // relative INI file path is taken from the program's folder. Answers 0
  // when the mode is not one of the three or an existing XML file does not
  // load (the store then keeps nothing and writes nothing).
  int Open(unsigned mode, HKEY root, const wchar_t* basePath, const wchar_t* filePath = nullptr);

  DWORD ReadNumber(const wchar_t* name, DWORD defaultValue, const wchar_t* subPath = nullptr);
  int WriteNumber(const wchar_t* name, DWORD value, const wchar_t* subPath = nullptr);
  // 1 when found; otherwise out is the default ("" when none) and the
  // answer is 0.
  int ReadText(const wchar_t* name, WideString& out, const wchar_t* defaultValue = nullptr,
               const wchar_t* subPath = nullptr);
  int WriteText(const wchar_t* name, const wchar_t* text, const wchar_t* subPath = nullptr);

  // XML mode: the value of that name on an element of Document().
  DWORD ReadNumberIn(IXMLDOMNode* element, const wchar_t* name, DWORD defaultValue);
  int WriteNumberIn(IXMLDOMNode* element, const wchar_t* name, DWORD value);
  int ReadTextIn(IXMLDOMNode* element, const wchar_t* name, WideString& out,
                 const wchar_t* defaultValue = nullptr);
  int WriteTextIn(IXMLDOMNode* element, const wchar_t* name, const wchar_t* text);

  // Writes an XML store whose last save failed back to its file (answers 0
  // when that fails again, the old file kept) and empties the store.
  int Close();

  unsigned Mode() const { return mode_; }
  // The INI or XML file in use (empty in registry mode).
  const wchar_t* FilePath() const { return filePath_.CStr(); }
  // The XML document in XML mode (not created in the other modes).
  XmlDocument& Document() { return xml_; }

private:
  enum SaveResult { Saved, SaveDelayed, SaveRefused };

  int KeyPath(const wchar_t* subPath, WideString& out) const;
  IXMLDOMNode* XmlElement(const wchar_t* subPath, bool create, IXMLDOMNode** created = nullptr);
  // Saved; or a sound file was written but could not replace the old one
  // (delayed); or nothing could be written, or the file would not load
  // again (refused). The old file stays unless saved.
  SaveResult SaveXml();
  // Sets the value and saves; a refused save takes the change back (and the
  // new elements, created).
  int WriteXmlValue(IXMLDOMNode* element, const wchar_t* name, const wchar_t* text, IXMLDOMNode* created);
  int ReadIniText(const wchar_t* section, const wchar_t* name, WideString& out);
  int WriteIniText(const wchar_t* section, const wchar_t* name, const wchar_t* text);

  unsigned mode_ = 0;
  HKEY root_ = nullptr;
  WideString basePath_;
  WideString filePath_;
  XmlDocument xml_;
  bool xmlChanged_ = false;
};
