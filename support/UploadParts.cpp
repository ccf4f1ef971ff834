#include "support/UploadParts.h"

#include <cstdlib>
#include <cstring>

const wchar_t kMultipartBoundary[] = L"-----------------------------1234567890123";
const wchar_t kMultipartHeader[] =
    L"Content-Type: multipart/form-data; boundary=-----------------------------1234567890123";

namespace {

const wchar_t kFieldTemplate[] =
    L"-------------------------------1234567890123\r\n"
    L"Content-Disposition: form-data; name=\"%s\"\r\n\r\n%s\r\n";
const wchar_t kFileTemplate[] =
    L"-------------------------------1234567890123\r\n"
    L"Content-Disposition: form-data; name=\"%s\"; filename=\"%s\"\r\n"
    L"Content-Type: application/octet-stream\r\n\r\n";
const wchar_t kClosing[] = L"-------------------------------1234567890123--\r\n";
const wchar_t kLineEnd[] = L"\r\n";

// What follows the last '\' or '/'.
const wchar_t* NamePart(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p; ++p)
    if (*p == L'\\' || *p == L'/') name = p + 1;
  return name;
}

}  // namespace

UploadParts::Part* UploadParts::NewPart() {
  Part* part = static_cast<Part*>(calloc(1, sizeof(Part)));
  if (!part) return nullptr;
  part->buffer.dwStructSize = sizeof(INTERNET_BUFFERSW);
  part->file = INVALID_HANDLE_VALUE;
  if (tail_) {
    tail_->next = part;
    tail_->buffer.Next = &part->buffer;
  } else {
    head_ = part;
  }
  tail_ = part;
  ++count_;
  return part;
}

int UploadParts::AddText(const WideString& text) {
  WideString copy(text);
  const char* narrow = copy.ToNarrow();
  if (!narrow) return 0;
  size_t length = strlen(narrow);
  char* bytes = static_cast<char*>(malloc(length + 1));
  if (!bytes) return 0;
  memcpy(bytes, narrow, length + 1);
  Part* part = NewPart();
  if (!part) {
    free(bytes);
    return 0;
  }
  part->text = bytes;
  part->buffer.lpvBuffer = bytes;
  part->buffer.dwBufferLength = static_cast<DWORD>(length);
  return 1;
}

int UploadParts::AddField(const wchar_t* name, const wchar_t* value) {
  WideString text;
  if (!text.Format(kFieldTemplate, name ? name : L"", value ? value : L"")) return 0;
  return AddText(text);
}

int UploadParts::AddFile(const wchar_t* name, const wchar_t* path) {
  WideString header;
  if (!path || !header.Format(kFileTemplate, name ? name : L"", NamePart(path)) ||
      !AddText(header))
    return 0;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file, &size) || size.QuadPart > 0x7FFFFFFF) {
    CloseHandle(file);
    return 0;
  }
  Part* part = NewPart();
  if (!part) {
    CloseHandle(file);
    return 0;
  }
  part->file = file;
  if (size.QuadPart > 0) {
    part->mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    part->view = part->mapping ? MapViewOfFile(part->mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (!part->view) return 0;  // the part stays empty; Clear frees it
    part->buffer.lpvBuffer = part->view;
    part->buffer.dwBufferLength = static_cast<DWORD>(size.QuadPart);
  }
  return AddText(WideString(kLineEnd));
}

int UploadParts::AddClosing() { return AddText(WideString(kClosing)); }

DWORD UploadParts::Finish() {
  DWORD total = 0;
  for (Part* p = head_; p; p = p->next) total += p->buffer.dwBufferLength;
  for (Part* p = head_; p; p = p->next) p->buffer.dwBufferTotal = total;
  if (head_) {
    head_->buffer.lpcszHeader = kMultipartHeader;
    head_->buffer.dwHeadersLength = static_cast<DWORD>(wcslen(kMultipartHeader));
    head_->buffer.dwHeadersTotal = head_->buffer.dwHeadersLength;
  }
  return total;
}

void UploadParts::Clear() {
  Part* p = head_;
  while (p) {
    Part* next = p->next;
    if (p->view) UnmapViewOfFile(p->view);
    if (p->mapping) CloseHandle(p->mapping);
    if (p->file != INVALID_HANDLE_VALUE) CloseHandle(p->file);
    free(p->text);
    free(p);
    p = next;
  }
  head_ = tail_ = nullptr;
  count_ = 0;
}
