// The program's one text type: a heap-allocated, NUL-terminated UTF-16
// string with printf-style formatting, search, in-place editing and
// conversions to and from narrow text and BSTRs.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <cstdarg>

#include "core/BstrHolder.h"

class WideString {
public:
  static const unsigned DefaultCapacity = 260;
  // The largest block a string asks for (code units); larger requests fail
  // like any allocation failure, so sizes always fit an int.
  static const unsigned MaxCapacity = 0x3FFFFFFF;

  WideString();
  explicit WideString(unsigned capacity);
  WideString(const wchar_t* text);  // NOLINT: texts convert implicitly
  WideString(const WideString& other);
  WideString(WideString&& other) noexcept;
  WideString& operator=(const WideString& other);
  WideString& operator=(WideString&& other) noexcept;
  WideString& operator=(const wchar_t* text);
  ~WideString();

  // Storage
  int Resize(unsigned n);
  int Reset(unsigned n = DefaultCapacity);
  const wchar_t* CStr() const { return text_; }
  // For interfaces that write text (at most Capacity() code units before the
  // terminator); call UpdateLength after.
  wchar_t* Buffer();
  wchar_t* CopyTo(wchar_t* destination) const;
  wchar_t* At(unsigned index) { return text_ + index; }
  unsigned Length() const { return used_ - 1; }
  unsigned Capacity() const { return capacity_ ? capacity_ - 1 : 0; }
  unsigned UpdateLength();
  int SetUsed(unsigned n);
  bool IsEmpty() const { return used_ <= 1; }

  // Assignment and appending; 1 on success, 0 after an allocation failure.
  int Assign(const wchar_t* text);
  int Assign(const wchar_t* text, unsigned count);
  int Assign(const WideString* other);  // none: Reset(260)
  int Assign(const WideString& other) { return Assign(&other); }
  int AssignNarrow(const char* text);
  int AssignCodePage(const char* text, unsigned byteCount, int raw, unsigned codePage);
  int Append(const wchar_t* text);
  int Append(const WideString& other) { return Append(other.CStr()); }
  int AppendNarrow(const char* text);
  int AppendChar(wchar_t c);
  int AppendByte(unsigned char b);  // the byte's value 0-255 as one code unit
  int Insert(unsigned index, const wchar_t* text);
  int InsertChar(unsigned index, wchar_t c);
  int Delete(unsigned index, unsigned count);
  int EnsureTrailing(wchar_t c);
  int RemoveTrailing(wchar_t c);  // 1 when it removed one, else 0

  // Comparison and search
  int Compare(const wchar_t* text) const;
  int CompareNoCase(const wchar_t* text) const;
  int CompareNoCaseN(const wchar_t* text, unsigned n) const;
  const wchar_t* FindChar(wchar_t c) const;
  int FindCharIndex(wchar_t c) const;
  int FindLastChar(wchar_t c) const;
  const wchar_t* Find(const wchar_t* text) const;
  const wchar_t* FindNoCase(const wchar_t* pattern, int start = 0) const;
  int FindNoCaseIndex(const wchar_t* pattern, int start = 0) const;
  wchar_t CharAt(int index) const;
  wchar_t* SetCharAt(int index, wchar_t c);

  // Editing in place
  void Left(int n);
  void Mid(int start, int n);
  void MidFrom(int start);
  wchar_t* Replace(const wchar_t* find, const wchar_t* replacement, int inPlace);
  wchar_t* ReplaceNoCase(const wchar_t* find, const wchar_t* replacement);
  void TrimLeft();
  void TrimRight();
  void Trim() { TrimRight(); TrimLeft(); }
  wchar_t* Tokenize(int firstCall, const wchar_t* delimiters);

  // Formatting (the Microsoft C runtime's wide printf: %s wide, %S narrow).
  // The result is written over this string's text, so neither the format
  // nor an argument may point into it: format into another string first.
  int Format(const wchar_t* format, ...);
  int FormatV(const wchar_t* format, va_list args);

  // Conversion
  const char* ToNarrow(int raw = 0);
  int DecodeUtf8(WideString& target);
  BSTR ToBstr(BSTR* out = nullptr);
  BstrHolder ToBstrHolder() const;

  // Lines: StartLines puts the cursor at the start and reads the first line.
  int StartLines(WideString& line);
  int ReadLine(WideString& line);

  // Helpers on plain wide-text buffers (paths and lines)
  static const wchar_t* FileNamePart(const wchar_t* text);
  static void ExtensionOf(const wchar_t* text, WideString& out);
  static int RemoveLastComponent(wchar_t* text);
  static void RemoveExtension(wchar_t* text, unsigned n);
  static void TrimTrailingSpaces(wchar_t* text);
  static void NewlinesToSpaces(wchar_t* text);

  bool operator==(const wchar_t* text) const { return Compare(text) == 0; }
  bool operator!=(const wchar_t* text) const { return Compare(text) != 0; }

private:
  bool Allocated() const { return text_ != empty_; }
  void Release();
  void TakeFrom(WideString& other);
  bool Inside(const wchar_t* p) const;
  void Terminate(unsigned length);
  int Fail();
  wchar_t* ReplaceImpl(const wchar_t* find, const wchar_t* replacement, int inPlace, bool noCase);

  // Until the first allocation (and after a move or a failed construction)
  // text_ points at empty_ and capacity_ is 0; the first write allocates.
  wchar_t empty_[1] = {0};
  wchar_t* text_ = empty_;
  unsigned capacity_ = 0;
  unsigned used_ = 1;
  char* narrow_ = nullptr;
  BSTR bstr_ = nullptr;
  unsigned lineCursor_ = 0;
  unsigned tokenCursor_ = 0;
  unsigned tokenEnd_ = 0;
};
