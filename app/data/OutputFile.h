// A file written whole or not at all: the bytes go through a buffer into a
// temporary file beside the target, which takes the target's name only
// when everything was written (Commit). Given up (Abandon, or destroyed
// before Commit) it leaves nothing behind, and a file of that name that
// was there before stays as it was.
#pragma once

#include <windows.h>

#include <vector>

#include "core/KernelHandle.h"
#include "core/SystemErrorText.h"
#include "core/WideString.h"

class OutputFile {
public:
  OutputFile() = default;
  ~OutputFile();  // Abandon unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Checks that the target can be written (its folder exists, it is no
  // folder, not read-only, not held open by another program) and makes the
  // temporary file. 1/0 with problem saying why not, in a few words to
  // follow the file's name ("cannot be written: Access denied").
  int Open(const wchar_t* target, WideString& problem);
  // The full path of the target.
  const WideString& Target() const { return target_; }

  int Write(const char* bytes, size_t n) {
    if (n <= buffer_.size() - used_) {
      memcpy(buffer_.data() + used_, bytes, n);
      used_ += n;
      return 1;
    }
    return WriteSlow(bytes, n);
  }
  // Room for n bytes (at most BufferBytes) at the end of the buffer, to be
  // filled and then counted with Wrote; none when a write failed.
  char* Reserve(size_t n) {
    if (n > buffer_.size() - used_ && !Flush()) return nullptr;
    return buffer_.data() + used_;
  }
  void Wrote(size_t n) { used_ += n; }
  unsigned long long Written() const { return written_ + used_; }

  // Writes what is buffered, makes it reach the disk and gives the file
  // the target's name (replacing a file of that name). 1/0 with problem.
  int Commit(WideString& problem);
  // Removes the temporary file.
  void Abandon();
  // The problem of the first failed write ("" while none failed).
  const WideString& WriteProblem() const { return writeProblem_; }

  static const size_t BufferBytes = 1 << 20;

private:
  int WriteSlow(const char* bytes, size_t n);
  int Flush();

  WideString target_;
  WideString temporary_;
  KernelHandle file_;
  std::vector<char> buffer_;
  size_t used_ = 0;
  unsigned long long written_ = 0;
  bool failed_ = false;
  WideString writeProblem_;
};

