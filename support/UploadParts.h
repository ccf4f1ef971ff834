// The parts of a multipart/form-data body, each with the system's send
// buffer descriptor (INTERNET_BUFFERSW) chained to the next in insertion
// order. A part holds either its text in the ANSI code page or a file
// mapped read-only in whole; it owns its text, file handle and mapping.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "core/WideString.h"

// The boundary parameter: 29 dashes and "1234567890123".
extern const wchar_t kMultipartBoundary[];
// The request header line announcing it (no line end).
extern const wchar_t kMultipartHeader[];

class UploadParts {
public:
  UploadParts() = default;
  UploadParts(const UploadParts&) = delete;
  UploadParts& operator=(const UploadParts&) = delete;
  ~UploadParts() { Clear(); }

  // A text field: delimiter, disposition, empty line, value, line end.
  int AddField(const wchar_t* name, const wchar_t* value);
  // A file field: its header part, then the file's bytes and a line end
  // when the file opens (answer 1); only the header when it does not
  // (answer 0).
  int AddFile(const wchar_t* name, const wchar_t* path);
  // The closing delimiter line.
  int AddClosing();
  // Sets every descriptor's total to the sum of all data lengths and puts
  // the multipart header on the first; answers that total.
  DWORD Finish();

  INTERNET_BUFFERSW* First() { return head_ ? &head_->buffer : nullptr; }
  unsigned Count() const { return count_; }
  bool IsEmpty() const { return head_ == nullptr; }
  void Clear();

private:
  struct Part {
    INTERNET_BUFFERSW buffer;
    char* text;
    HANDLE file;
    HANDLE mapping;
    void* view;
    Part* next;
  };

  Part* NewPart();
  int AddText(const WideString& text);

  Part* head_ = nullptr;
  Part* tail_ = nullptr;
  unsigned count_ = 0;
};
