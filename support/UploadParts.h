// The parts of a multipart/form-data body, each with the system's send
// buffer descriptor (INTERNET_BUFFERSW) chained to the next in insertion
// order. A part holds either its text in the ANSI code page or a file
// mapped read-only in whole; it owns its text, file handle and mapping.
// The body always reads back as the parts given: a field name that a
// quoted string cannot carry as it is is refused (a file name is sent with
// '_' for what it cannot carry), and the boundary is the usual
// one unless some part's bytes hold it (a dump or a description may), in
// which case the next free one is announced and used instead.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "core/WideString.h"

// The usual boundary parameter: 29 dashes and "1234567890123".
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
  // A name holding '"', '\' or a control character once in the ANSI code
  // page is refused: answer 0 and nothing added.
  int AddField(const wchar_t* name, const wchar_t* value);
  // A file field: its header part, then the file's bytes and a line end
  // when the file opens (answer 1); only the header when it does not
  // (answer 0). A name that a quoted string cannot carry is refused as in
  // AddField; in the file name (what follows the last '\' or '/') each
  // character that would become '"', '\' or a control character is sent as
  // '_', so the file still goes out.
  int AddFile(const wchar_t* name, const wchar_t* path);
  // Closes the form: appends the closing delimiter line, picks the
  // boundary (the usual one, else the first of "...1234567890124",
  // "...1234567890125"... that no part holds) and writes it into every
  // delimiter line, sets every descriptor's total to the sum of all data
  // lengths and puts the header line announcing the boundary on the
  // first. Answers 0 when the closing cannot be added or the body would
  // not fit in 4 GB.
  int Finish();

  INTERNET_BUFFERSW* First() { return head_ ? &head_->buffer : nullptr; }
  // The byte count of the finished body.
  DWORD Total() const { return total_; }
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
    int delimited;  // the text opens with a delimiter line
    Part* next;
  };

  Part* NewPart();
  int AddText(const WideString& text, int delimited);
  int PickBoundary(unsigned long long total, unsigned long long& number) const;

  Part* head_ = nullptr;
  Part* tail_ = nullptr;
  unsigned count_ = 0;
  DWORD total_ = 0;
  WideString header_;
};
