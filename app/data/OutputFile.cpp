#include "app/data/OutputFile.h"

#include <cstring>

namespace {

int Problem(WideString& problem, const wchar_t* what, DWORD error) {
  WideString reason;
  SystemErrorText(error, reason);
  problem.Format(L"%s (%s)", what, reason.CStr());
  return 0;
}

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

int OutputFile::Open(const wchar_t* target, WideString& problem) {
  Abandon();
  problem.Assign(L"");
  DWORD needed = target && *target ? GetFullPathNameW(target, 0, nullptr, nullptr) : 0;
  if (!needed || !target_.Reset(needed + 1) || !GetFullPathNameW(target, needed + 1, target_.Buffer(), nullptr)) {
    problem.Assign(L"is no file name");
    return 0;
  }
  target_.UpdateLength();
  WideString folder(target_);
  int slash = folder.FindLastChar(L'\\');
  if (slash < 0 || slash + 1 == static_cast<int>(folder.Length())) {
    problem.Assign(L"is no file name");
    return 0;
  }
  folder.Left(slash + 1);
  DWORD folderAttributes = GetFileAttributesW(folder.CStr());
  if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    problem.Assign(L"cannot be written: its folder does not exist");
    return 0;
  }
  DWORD attributes = GetFileAttributesW(target_.CStr());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      problem.Assign(L"is a folder");
      return 0;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      problem.Assign(L"cannot be written: the file is read-only");
      return 0;
    }
    // A file open in another program (a spreadsheet) could not be replaced
    // at the end: better said before the work.
    KernelHandle existing(CreateFileW(target_.CStr(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (existing == INVALID_HANDLE_VALUE) return Problem(problem, L"cannot be replaced", GetLastError());
  }
  // A name of its own in the target's folder, so the last step is a rename.
  wchar_t temporary[MAX_PATH + 16] = {};
  if (folder.Length() > MAX_PATH - 14 || !GetTempFileNameW(folder.CStr(), L"pel", 0, temporary)) {
    return Problem(problem, L"cannot be written", GetLastError());
  }
  temporary_.Assign(temporary);
  file_ = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!file_.IsValid()) {
    DWORD error = GetLastError();
    DeleteFileW(temporary);
    temporary_.Assign(L"");
    return Problem(problem, L"cannot be written", error);
  }
  buffer_.resize(BufferBytes);
  used_ = 0;
  written_ = 0;
  failed_ = false;
  writeProblem_.Assign(L"");
  return 1;
}

int OutputFile::Flush() {
  if (failed_ || !file_.IsValid()) return 0;
  size_t at = 0;
  while (at < used_) {
    DWORD wrote = 0;
    DWORD chunk = static_cast<DWORD>(used_ - at);
    if (!WriteFile(file_, buffer_.data() + at, chunk, &wrote, nullptr) || wrote == 0) {
      failed_ = true;
      Problem(writeProblem_, L"could not be written", GetLastError());
      return 0;
    }
    at += wrote;
  }
  written_ += used_;
  used_ = 0;
  return 1;
}

int OutputFile::WriteSlow(const char* bytes, size_t n) {
  while (n) {
    if (used_ == buffer_.size() && !Flush()) return 0;
    size_t room = buffer_.size() - used_;
    size_t part = n < room ? n : room;
    memcpy(buffer_.data() + used_, bytes, part);
    used_ += part;
    bytes += part;
    n -= part;
  }
  return 1;
}

int OutputFile::Commit(WideString& problem) {
  if (!file_.IsValid()) {
    problem.Assign(L"was not begun");
    return 0;
  }
  if (!Flush()) {
    problem.Assign(writeProblem_);
    Abandon();
    return 0;
  }
  if (!FlushFileBuffers(file_)) {
    Problem(problem, L"could not be written", GetLastError());
    Abandon();
    return 0;
  }
  file_.Close();
  if (!MoveFileExW(temporary_.CStr(), target_.CStr(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    Problem(problem, L"could not be replaced", GetLastError());
    Abandon();
    return 0;
  }
  temporary_.Assign(L"");
  buffer_ = std::vector<char>();
  return 1;
}

void OutputFile::Abandon() {
  file_.Close();
  if (!temporary_.IsEmpty()) {
    DeleteFileW(temporary_.CStr());
    temporary_.Assign(L"");
  }
  buffer_ = std::vector<char>();
  used_ = 0;
}
