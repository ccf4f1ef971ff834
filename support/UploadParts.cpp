#include "support/UploadParts.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/KernelHandle.h"

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
const wchar_t kHeaderTemplate[] =
    L"Content-Type: multipart/form-data; boundary=-----------------------------%013I64u";

// The boundary is 29 dashes and a 13-digit number; in a delimiter line the
// number starts after 31 dashes, and the line with its end is 46 bytes.
const unsigned kBoundaryDashes = 29;
const unsigned kNumberAt = 31;
const unsigned kNumberDigits = 13;
const unsigned kDelimiterLine = 46;
const unsigned long long kUsualNumber = 1234567890123ull;
const unsigned long long kNumberLimit = 10000000000000ull;

// What follows the last '\' or '/'.
const wchar_t* NamePart(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p; ++p)
    if (*p == L'\\' || *p == L'/') name = p + 1;
  return name;
}

// A name goes out in quotes, converted to the ANSI code page, where a
// character outside it may become '"' or '\': it must hold neither, nor a
// control character that could end the header line.
int Quotable(const wchar_t* name) {
  WideString copy(name);
  const char* bytes = copy.ToNarrow();
  if (!bytes) return 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes); *p; ++p)
    if (*p == '"' || *p == '\\' || *p < 0x20 || *p == 0x7F) return 0;
  return 1;
}

// A file name goes out in quotes too, but it only tells the server what
// the file was called: a character that becomes '"', '\' or a control
// character in the ANSI code page (a fullwidth quote becomes '"'; in
// Shift-JIS the second byte of some characters is '\') is sent as '_'
// instead of the file being left out of the report.
int CarriedFileName(const wchar_t* name, WideString& out) {
  if (!out.Assign(L"")) return 0;
  for (const wchar_t* p = name; *p;) {
    int units = IS_HIGH_SURROGATE(p[0]) && IS_LOW_SURROGATE(p[1]) ? 2 : 1;
    char bytes[16];
    int n = WideCharToMultiByte(CP_ACP, 0, p, units, bytes, sizeof bytes, nullptr, nullptr);
    bool carried = n > 0;
    for (int k = 0; k < n; ++k) {
      unsigned char c = static_cast<unsigned char>(bytes[k]);
      if (c == '"' || c == '\\' || c < 0x20 || c == 0x7F) carried = false;
    }
    if (!carried) {
      if (!out.AppendChar(L'_')) return 0;
    } else {
      for (int k = 0; k < units; ++k)
        if (!out.AppendChar(p[k])) return 0;
    }
    p += units;
  }
  return Quotable(out.CStr());
}

// Marks, in one bit each, the numbers from the usual one on (fewer than
// slots of them) of every boundary of the usual form (29 or more dashes and
// 13 digits) that the bytes hold.
void MarkNumbers(const unsigned char* bytes, size_t size, unsigned char* taken, unsigned long long slots) {
  size_t dashes = 0;
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] == '-') {
      ++dashes;
      continue;
    }
    if (dashes >= kBoundaryDashes && size - i >= kNumberDigits) {
      unsigned long long number = 0;
      unsigned k = 0;
      for (; k < kNumberDigits && bytes[i + k] >= '0' && bytes[i + k] <= '9'; ++k)
        number = number * 10 + (bytes[i + k] - '0');
      if (k == kNumberDigits && number >= kUsualNumber && number - kUsualNumber < slots) {
        unsigned long long slot = number - kUsualNumber;
        taken[slot / 8] |= static_cast<unsigned char>(1u << (slot % 8));
      }
    }
    dashes = 0;
  }
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

int UploadParts::AddText(const WideString& text, int delimited) {
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
  part->delimited = delimited && length >= kDelimiterLine;
  part->buffer.lpvBuffer = bytes;
  part->buffer.dwBufferLength = static_cast<DWORD>(length);
  return 1;
}

int UploadParts::AddField(const wchar_t* name, const wchar_t* value) {
  if (!name) name = L"";
  if (!Quotable(name)) return 0;
  WideString text;
  if (!text.Format(kFieldTemplate, name, value ? value : L"")) return 0;
  return AddText(text, 1);
}

int UploadParts::AddFile(const wchar_t* name, const wchar_t* path) {
  if (!name) name = L"";
  WideString header, fileName;
  if (!path || !Quotable(name) || !CarriedFileName(NamePart(path), fileName) ||
      !header.Format(kFileTemplate, name, fileName.CStr()) || !AddText(header, 1))
    return 0;
  KernelHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file == INVALID_HANDLE_VALUE) return 0;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file, &size) || size.QuadPart > 0x7FFFFFFF) return 0;
  Part* part = NewPart();
  if (!part) return 0;
  part->file = file.Release();  // the part owns it from here; Clear closes it
  if (size.QuadPart > 0) {
    part->mapping = CreateFileMappingW(part->file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    part->view = part->mapping ? MapViewOfFile(part->mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (!part->view) return 0;  // the part stays empty; Clear frees it
    part->buffer.lpvBuffer = part->view;
    part->buffer.dwBufferLength = static_cast<DWORD>(size.QuadPart);
  }
  return AddText(WideString(kLineEnd), 0);
}

// The usual number unless a part holds its boundary; then the first
// number after it that no part holds. Every boundary takes at least 42 of
// the body's bytes, so the body holds fewer than total / 42 + 1 of them and
// the answer lies among as many numbers from the usual one: a bit for each
// is all that is kept (a body full of boundaries needs a 336th of its size,
// not a list of every one it holds).
int UploadParts::PickBoundary(unsigned long long total, unsigned long long& number) const {
  const unsigned long long slots = total / (kBoundaryDashes + kNumberDigits) + 1;
  unsigned char* taken = new (std::nothrow) unsigned char[static_cast<size_t>(slots / 8 + 1)]();
  if (!taken) return 0;
  for (Part* p = head_; p; p = p->next) {
    const unsigned char* bytes = static_cast<const unsigned char*>(p->buffer.lpvBuffer);
    DWORD size = p->buffer.dwBufferLength;
    if (!bytes) continue;
    // A delimiter line is the builder's own; the rest is the part's.
    if (p->delimited) {
      bytes += kDelimiterLine;
      size -= kDelimiterLine;
    }
    MarkNumbers(bytes, size, taken, slots);
  }
  unsigned long long slot = 0;
  while (slot < slots && (taken[slot / 8] & (1u << (slot % 8)))) ++slot;
  delete[] taken;
  number = kUsualNumber + slot;
  return slot < slots && number < kNumberLimit;
}

int UploadParts::Finish() {
  if (!AddText(WideString(kClosing), 1)) return 0;
  unsigned long long sum = 0;
  for (Part* p = head_; p; p = p->next) sum += p->buffer.dwBufferLength;
  unsigned long long number = 0;
  if (sum > 0xFFFFFFFFull || !PickBoundary(sum, number) || !header_.Format(kHeaderTemplate, number))
    return 0;
  if (number != kUsualNumber) {
    char digits[kNumberDigits];
    unsigned long long rest = number;
    for (unsigned k = kNumberDigits; k > 0; --k, rest /= 10) digits[k - 1] = static_cast<char>('0' + rest % 10);
    for (Part* p = head_; p; p = p->next)
      if (p->delimited) memcpy(p->text + kNumberAt, digits, kNumberDigits);
  }
  total_ = static_cast<DWORD>(sum);
  for (Part* p = head_; p; p = p->next) p->buffer.dwBufferTotal = total_;
  head_->buffer.lpcszHeader = header_.CStr();
  head_->buffer.dwHeadersLength = header_.Length();
  head_->buffer.dwHeadersTotal = head_->buffer.dwHeadersLength;
  return 1;
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
  total_ = 0;
}
