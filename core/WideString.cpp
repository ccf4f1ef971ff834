#include "core/WideString.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

namespace {

// Text longer than this is never formatted: Format gives up and empties the
// string instead of growing further.
const unsigned kFormatLimit = 0x2FFFFF;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsAsciiLetter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool IsWhiteSpace(const wchar_t* p) {
  WORD type = 0;
  return GetStringTypeExW(GetThreadLocale(), CT_CTYPE1, p, 1, &type) && (type & C1_SPACE);
}

// Whether `text` contains `pattern` (ignoring case when noCase is set).
bool Contains(const wchar_t* text, const wchar_t* pattern, bool noCase) {
  if (!noCase) return wcsstr(text, pattern) != nullptr;
  size_t n = wcslen(pattern);
  for (const wchar_t* p = text;; ++p) {
    if (_wcsnicmp(p, pattern, n) == 0) return true;
    if (!*p) return false;
  }
}

// A private heap copy of a text, freed on every way out.
struct OwnedCopy {
  wchar_t* text = nullptr;
  ~OwnedCopy() { free(text); }
  bool Take(const wchar_t*& from) {
    text = _wcsdup(from);
    if (text) from = text;
    return text != nullptr;
  }
};

}  // namespace

// ---------------------------------------------------------------- storage

WideString::WideString() { Resize(DefaultCapacity); }

WideString::WideString(unsigned capacity) {
  if (!Resize(capacity) && capacity != DefaultCapacity) Resize(DefaultCapacity);
}

WideString::WideString(const wchar_t* text) {
  Resize(DefaultCapacity);
  Assign(text);
}

WideString::WideString(const WideString& other) {
  Resize(DefaultCapacity);
  Assign(other.text_);
}

WideString::WideString(WideString&& other) noexcept { TakeFrom(other); }

WideString& WideString::operator=(const WideString& other) {
  if (this != &other) Assign(other.text_);
  return *this;
}

WideString& WideString::operator=(WideString&& other) noexcept {
  if (this != &other) {
    Release();
    TakeFrom(other);
  }
  return *this;
}

WideString& WideString::operator=(const wchar_t* text) {
  Assign(text);
  return *this;
}

WideString::~WideString() { Release(); }

void WideString::Release() {
  if (Allocated()) free(text_);
  text_ = empty_;
  empty_[0] = 0;
  capacity_ = 0;
  used_ = 1;
  free(narrow_);
  narrow_ = nullptr;
  if (bstr_) SysFreeString(bstr_);
  bstr_ = nullptr;
  lineCursor_ = tokenCursor_ = tokenEnd_ = 0;
}

void WideString::TakeFrom(WideString& other) {
  if (other.Allocated()) {
    text_ = other.text_;
    capacity_ = other.capacity_;
    used_ = other.used_;
  } else {
    text_ = empty_;
    empty_[0] = 0;
    capacity_ = 0;
    used_ = 1;
  }
  narrow_ = other.narrow_;
  bstr_ = other.bstr_;
  lineCursor_ = other.lineCursor_;
  tokenCursor_ = other.tokenCursor_;
  tokenEnd_ = other.tokenEnd_;
  other.text_ = other.empty_;
  other.empty_[0] = 0;
  other.capacity_ = 0;
  other.used_ = 1;
  other.narrow_ = nullptr;
  other.bstr_ = nullptr;
  other.lineCursor_ = other.tokenCursor_ = other.tokenEnd_ = 0;
}

bool WideString::Inside(const wchar_t* p) const {
  if (!Allocated() || !p) return false;
  uintptr_t at = reinterpret_cast<uintptr_t>(p);
  uintptr_t begin = reinterpret_cast<uintptr_t>(text_);
  return at >= begin && at < begin + capacity_ * sizeof(wchar_t);
}

void WideString::Terminate(unsigned length) {
  used_ = length + 1;
  if (Allocated()) text_[length] = 0;
}

int WideString::Fail() {
  Reset(DefaultCapacity);
  return 0;
}

int WideString::Resize(unsigned n) {
  if (n == 0) n = 1;
  if (n > MaxCapacity) return 0;
  if (!Allocated()) {
    wchar_t* block = static_cast<wchar_t*>(malloc(n * sizeof(wchar_t)));
    if (!block) return 0;
    block[0] = 0;
    text_ = block;
    capacity_ = n;
    used_ = 1;
    return 1;
  }
  wchar_t* block = static_cast<wchar_t*>(realloc(text_, n * sizeof(wchar_t)));
  if (!block) return 0;
  text_ = block;
  capacity_ = n;
  if (n < used_) Terminate(n - 1);
  return 1;
}

int WideString::Reset(unsigned n) {
  int resized = Resize(n);
  Terminate(0);
  return resized;
}

wchar_t* WideString::Buffer() {
  if (!Allocated()) Reset(DefaultCapacity);
  return text_;
}

wchar_t* WideString::CopyTo(wchar_t* destination) const {
  if (!destination) return text_;
  wcscpy(destination, text_);
  return destination;
}

unsigned WideString::UpdateLength() {
  if (!Allocated()) {
    used_ = 1;
    return used_;
  }
  unsigned n = 0;
  while (n < capacity_ && text_[n]) ++n;
  if (n == capacity_) n = capacity_ - 1;  // no terminator: keep the invariant
  Terminate(n);
  return used_;
}

int WideString::SetUsed(unsigned n) {
  if (n < 1 || n > Capacity()) return 0;
  used_ = n;
  text_[n - 1] = 0;
  return 1;
}

// ------------------------------------------------------ assign and append

int WideString::Assign(const wchar_t* text) {
  if (!text) text = L"";
  size_t n = wcslen(text);
  if (n >= MaxCapacity) return Fail();
  if (capacity_ < n + 1) {
    if (!Resize(static_cast<unsigned>(n + 1))) return Fail();
  }
  memmove(text_, text, n * sizeof(wchar_t));
  Terminate(static_cast<unsigned>(n));
  return 1;
}

int WideString::Assign(const wchar_t* text, unsigned count) {
  if (!text) count = 0;
  if (count >= MaxCapacity) return Fail();
  if (capacity_ < count + 1) {
    size_t offset = Inside(text) ? text - text_ : SIZE_MAX;
    if (!Resize(count + 1)) return Fail();
    if (offset != SIZE_MAX) text = text_ + offset;
  }
  if (count) memmove(text_, text, count * sizeof(wchar_t));
  Terminate(count);
  UpdateLength();
  return 1;
}

int WideString::Assign(const WideString* other) {
  if (!other) return Reset(DefaultCapacity);
  if (other == this) return 1;
  return Assign(other->text_);
}

int WideString::AssignNarrow(const char* text) {
  size_t n = text ? strlen(text) : 0;
  if (n >= MaxCapacity) return Fail();
  return AssignCodePage(text, static_cast<unsigned>(n), 0, CP_ACP);
}

int WideString::AssignCodePage(const char* text, unsigned byteCount, int raw, unsigned codePage) {
  if (byteCount >= MaxCapacity) return Fail();
  if (capacity_ < byteCount + 1) {
    if (!Resize(byteCount + 1)) return Fail();
  }
  if (!text || byteCount == 0) {
    Terminate(0);
    return 1;
  }
  if (raw) {
    for (unsigned i = 0; i < byteCount; ++i) text_[i] = static_cast<unsigned char>(text[i]);
    Terminate(byteCount);
    return 1;
  }
  // Converts into the buffer; a code page that yields more code units than
  // bytes gets the room it asks for.
  auto convert = [&](unsigned page) -> int {
    int n = MultiByteToWideChar(page, 0, text, static_cast<int>(byteCount), text_,
                                static_cast<int>(capacity_ - 1));
    if (n == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
      int needed = MultiByteToWideChar(page, 0, text, static_cast<int>(byteCount), nullptr, 0);
      if (needed <= 0 || !Resize(static_cast<unsigned>(needed) + 1)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
      }
      n = MultiByteToWideChar(page, 0, text, static_cast<int>(byteCount), text_,
                              static_cast<int>(capacity_ - 1));
    }
    return n;
  };
  int n = convert(codePage);
  if (n == 0 && codePage != CP_ACP && GetLastError() == ERROR_INVALID_PARAMETER) {
    n = convert(CP_ACP);  // code page not available on this system
  }
  if (n <= 0) return Fail();
  Terminate(static_cast<unsigned>(n));
  return 1;
}

int WideString::Append(const wchar_t* text) {
  if (!text) return 1;
  size_t n = wcslen(text);
  if (n == 0) return 1;
  unsigned u = used_;
  if (n >= MaxCapacity || u + n + 20 > MaxCapacity) return Fail();
  if (capacity_ < u + n) {
    size_t offset = Inside(text) ? text - text_ : SIZE_MAX;
    if (!Resize(static_cast<unsigned>(u + n + 20))) return Fail();
    if (offset != SIZE_MAX) text = text_ + offset;
  }
  memmove(text_ + u - 1, text, n * sizeof(wchar_t));
  Terminate(static_cast<unsigned>(u - 1 + n));
  return 1;
}

int WideString::AppendNarrow(const char* text) {
  if (!text || !*text) return 1;
  int converted = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (converted <= 0) return 0;
  unsigned n = static_cast<unsigned>(converted) - 1;  // without the terminator
  unsigned u = used_;
  if (n >= MaxCapacity || u + n + 20 > MaxCapacity) return Fail();
  if (capacity_ < u + n) {
    if (!Resize(u + n + 20)) return Fail();
  }
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, text_ + u - 1, static_cast<int>(n + 1)) == 0) {
    Terminate(u - 1);
    return 0;
  }
  Terminate(u - 1 + n);
  return 1;
}

int WideString::AppendChar(wchar_t c) {
  unsigned u = used_;
  if (u + 21 > MaxCapacity) return Fail();
  if (capacity_ < u + 1) {
    if (!Resize(u + 21)) return Fail();
  }
  text_[u - 1] = c;
  Terminate(u);
  return 1;
}

int WideString::AppendByte(unsigned char b) { return AppendChar(static_cast<wchar_t>(b)); }

int WideString::Insert(unsigned index, const wchar_t* text) {
  if (!text || !*text) return 1;
  OwnedCopy copy;  // our own text would move under the pointer
  if (Inside(text) && !copy.Take(text)) return Fail();
  size_t n = wcslen(text);
  unsigned u = used_;
  if (n >= MaxCapacity || u + n > MaxCapacity) return Fail();
  if (index > Length()) index = Length();
  if (capacity_ < u + n) {
    if (!Resize(static_cast<unsigned>(u + n))) return Fail();
  }
  memmove(text_ + index + n, text_ + index, (u - index) * sizeof(wchar_t));
  memcpy(text_ + index, text, n * sizeof(wchar_t));
  used_ = static_cast<unsigned>(u + n);
  return 1;
}

int WideString::InsertChar(unsigned index, wchar_t c) {
  unsigned u = used_;
  if (u + 1 > MaxCapacity) return Fail();
  if (index > Length()) index = Length();
  if (capacity_ < u + 1) {
    if (!Resize(u + 1)) return Fail();
  }
  memmove(text_ + index + 1, text_ + index, (u - index) * sizeof(wchar_t));
  text_[index] = c;
  used_ = u + 1;
  return 1;
}

int WideString::Delete(unsigned index, unsigned count) {
  unsigned length = Length();
  if (index >= length) return 1;
  if (count > length - index) count = length - index;
  memmove(text_ + index, text_ + index + count, (used_ - index - count) * sizeof(wchar_t));
  used_ -= count;
  return 1;
}

int WideString::EnsureTrailing(wchar_t c) {
  unsigned length = Length();
  if (length > 0 && text_[length - 1] == c) return 1;
  return AppendChar(c);
}

int WideString::RemoveTrailing(wchar_t c) {
  unsigned length = Length();
  if (length == 0 || text_[length - 1] != c) return 0;
  Terminate(length - 1);
  return 1;
}

// ------------------------------------------------- comparison and search

int WideString::Compare(const wchar_t* text) const {
  if (!text) return IsEmpty() ? 0 : -1;
  return wcscmp(text_, text);
}

int WideString::CompareNoCase(const wchar_t* text) const {
  if (!text) return IsEmpty() ? 0 : -1;
  return _wcsicmp(text_, text);
}

int WideString::CompareNoCaseN(const wchar_t* text, unsigned n) const {
  if (!text) return IsEmpty() ? 0 : -1;
  return _wcsnicmp(text_, text, n);
}

const wchar_t* WideString::FindChar(wchar_t c) const {
  if (c == 0) return nullptr;
  return wcschr(text_, c);
}

int WideString::FindCharIndex(wchar_t c) const {
  const wchar_t* p = FindChar(c);
  return p ? static_cast<int>(p - text_) : -1;
}

int WideString::FindLastChar(wchar_t c) const {
  if (c == 0) return -1;
  const wchar_t* p = wcsrchr(text_, c);
  return p ? static_cast<int>(p - text_) : -1;
}

const wchar_t* WideString::Find(const wchar_t* text) const {
  if (!text) return nullptr;
  return wcsstr(text_, text);
}

const wchar_t* WideString::FindNoCase(const wchar_t* pattern, int start) const {
  if (!pattern || start < 0 || static_cast<unsigned>(start) >= used_) return nullptr;
  size_t n = wcslen(pattern);
  const wchar_t* p = text_ + start;
  for (;;) {
    if (_wcsnicmp(p, pattern, n) == 0) return p;
    if (!*p) return nullptr;
    p = CharNextW(p);
  }
}

int WideString::FindNoCaseIndex(const wchar_t* pattern, int start) const {
  const wchar_t* p = FindNoCase(pattern, start);
  return p ? static_cast<int>(p - text_) : -1;
}

wchar_t WideString::CharAt(int index) const {
  if (index < 0 || static_cast<unsigned>(index) > Length()) return 0;
  return text_[index];
}

wchar_t* WideString::SetCharAt(int index, wchar_t c) {
  if (index < 0 || static_cast<unsigned>(index) >= Length()) return nullptr;
  text_[index] = c;
  UpdateLength();
  return text_;
}

// ------------------------------------------------------ editing in place

void WideString::Left(int n) {
  int length = static_cast<int>(Length());
  if (n < 0) n = 0;
  if (n >= length) return;
  Terminate(static_cast<unsigned>(n));
}

void WideString::Mid(int start, int n) {
  int length = static_cast<int>(Length());
  if (start < 0) start = 0;
  if (start > length) start = length;
  if (n < 0) n = 0;
  if (n > length - start) n = length - start;
  if (start > 0 && n > 0) memmove(text_, text_ + start, n * sizeof(wchar_t));
  Terminate(static_cast<unsigned>(n));
}

void WideString::MidFrom(int start) {
  int length = static_cast<int>(Length());
  Mid(start, start < 0 ? length : length - start);
}

wchar_t* WideString::Replace(const wchar_t* find, const wchar_t* replacement, int inPlace) {
  return ReplaceImpl(find, replacement, inPlace, false);
}

wchar_t* WideString::ReplaceNoCase(const wchar_t* find, const wchar_t* replacement) {
  return ReplaceImpl(find, replacement, 0, true);
}

wchar_t* WideString::ReplaceImpl(const wchar_t* find, const wchar_t* replacement, int inPlace,
                                 bool noCase) {
  if (!find || !*find) return text_;  // an empty text would match forever
  if (!replacement) replacement = L"";
  // Arguments that point into our own text would move or change under us.
  OwnedCopy findCopy, replacementCopy;
  if ((Inside(find) && !findCopy.Take(find)) ||
      (Inside(replacement) && !replacementCopy.Take(replacement))) {
    Fail();
    return nullptr;
  }
  const unsigned findLength = static_cast<unsigned>(wcslen(find));
  const unsigned replacementLength = static_cast<unsigned>(wcslen(replacement));
  bool reallocate = noCase || !inPlace || replacementLength > findLength;
  // Normally every replacement restarts the search at the start of the text,
  // so text formed by a replacement is matched again. A replacement that
  // contains the searched text would then never end, and neither may a longer
  // one that only forms it again with its neighbours ("ab" by "bbaa" in
  // "aab"): there the search goes on after the inserted text instead. A
  // replacement no longer than the searched text keeps the restart.
  const bool continueAfter =
      replacementLength > findLength || Contains(replacement, find, noCase);

  // One pass: characters move from the input to the output one at a time,
  // and a match is seen when the output ends with the searched text. The
  // output never holds a match, so the first one seen is the leftmost of the
  // whole text, as a search from the start would find it. A restarting
  // replacement goes back in front of the input (text before it is still in
  // the output, so matches across the seam are seen too); a continuing one
  // goes to the output behind a barrier that no match may start before.
  const unsigned length = used_ - 1;
  std::vector<wchar_t> output;
  std::vector<wchar_t> pushedBack;  // in reverse: the next character last
  output.reserve(length + 1);
  size_t barrier = 0;
  unsigned next = 0;
  unsigned long long count = 0;
  for (;;) {
    wchar_t c;
    if (!pushedBack.empty()) {
      c = pushedBack.back();
      pushedBack.pop_back();
    } else if (next < length) {
      c = text_[next++];
    } else {
      break;
    }
    output.push_back(c);
    if (output.size() < barrier + findLength) continue;
    const wchar_t* tail = output.data() + output.size() - findLength;
    if ((noCase ? _wcsnicmp(tail, find, findLength) : wcsncmp(tail, find, findLength)) != 0)
      continue;
    ++count;
    output.resize(output.size() - findLength);
    if (continueAfter) {
      output.insert(output.end(), replacement, replacement + replacementLength);
      barrier = output.size();
    } else {
      for (unsigned i = replacementLength; i > 0; --i) pushedBack.push_back(replacement[i - 1]);
    }
  }
  if (count == 0) return text_;
  output.push_back(0);
  const unsigned newUsed = static_cast<unsigned>(output.size());
  if (!reallocate) {
    memcpy(text_, output.data(), newUsed * sizeof(wchar_t));
    used_ = newUsed;
  } else {
    // Capacity changes by the difference of the two lengths per replacement.
    long long capacity = static_cast<long long>(capacity_) +
                         static_cast<long long>(count) *
                             (static_cast<long long>(replacementLength) - findLength);
    wchar_t* block = capacity >= newUsed && capacity <= static_cast<long long>(MaxCapacity)
                         ? static_cast<wchar_t*>(malloc(static_cast<size_t>(capacity) * sizeof(wchar_t)))
                         : nullptr;
    if (!block) {
      Fail();
      return nullptr;
    }
    memcpy(block, output.data(), newUsed * sizeof(wchar_t));
    free(text_);
    text_ = block;
    capacity_ = static_cast<unsigned>(capacity);
    used_ = newUsed;
  }
  UpdateLength();
  return text_;
}

void WideString::TrimRight() {
  const wchar_t* runStart = nullptr;
  for (const wchar_t* p = text_; *p; p = CharNextW(p)) {
    if (IsWhiteSpace(p)) {
      if (!runStart) runStart = p;
    } else {
      runStart = nullptr;
    }
  }
  if (runStart) Terminate(static_cast<unsigned>(runStart - text_));
}

void WideString::TrimLeft() {
  const wchar_t* p = text_;
  while (*p && IsWhiteSpace(p)) p = CharNextW(p);
  unsigned skip = static_cast<unsigned>(p - text_);
  if (skip == 0) return;
  memmove(text_, p, (used_ - skip) * sizeof(wchar_t));
  used_ -= skip;
}

wchar_t* WideString::Tokenize(int firstCall, const wchar_t* delimiters) {
  if (!delimiters) delimiters = L"";
  if (firstCall) {
    tokenCursor_ = 0;
    tokenEnd_ = used_ - 1;
  }
  // The cursor and end stay inside the block even if the text was changed
  // between calls.
  unsigned end = tokenEnd_;
  unsigned pos = tokenCursor_;
  if (!Allocated() || end >= capacity_ || pos > end) return nullptr;
  auto isDelimiter = [delimiters](wchar_t c) { return c != 0 && wcschr(delimiters, c) != nullptr; };
  while (pos < end && text_[pos] && isDelimiter(text_[pos])) ++pos;
  if (pos >= end || !text_[pos]) {
    tokenCursor_ = end;
    return nullptr;
  }
  unsigned start = pos;
  while (pos < end && text_[pos] && !isDelimiter(text_[pos])) ++pos;
  if (pos < end && text_[pos]) {
    text_[pos] = 0;
    tokenCursor_ = pos + 1;
  } else {
    tokenCursor_ = end;
  }
  UpdateLength();
  return text_ + start;
}

// ------------------------------------------------------------ formatting

int WideString::Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  int result = FormatV(format, args);
  va_end(args);
  return result;
}

int WideString::FormatV(const wchar_t* format, va_list args) {
  if (!format) return 0;
  if (!Allocated() && !Reset(DefaultCapacity)) return 0;
  for (;;) {
    va_list attempt;
    va_copy(attempt, args);
    // The Microsoft C runtime's own function (never MinGW's C99 printf):
    // -1 when the result does not fit, no terminator when it fits exactly.
    int written = _vsnwprintf(text_, capacity_ - 1, format, attempt);
    va_end(attempt);
    if (written >= 0) {
      text_[written] = 0;
      UpdateLength();
      return 1;
    }
    if (capacity_ > kFormatLimit) {
      Resize(DefaultCapacity);
      Terminate(0);
      return 0;
    }
    unsigned next = capacity_ < 10241 ? capacity_ + 260 : capacity_ + 10240;
    if (!Resize(next)) return Fail();
    memset(text_, 0, capacity_ * sizeof(wchar_t));
    used_ = 1;
  }
}

// ------------------------------------------------------------ conversion

const char* WideString::ToNarrow(int raw) {
  free(narrow_);
  narrow_ = nullptr;
  if (raw) {
    char* block = static_cast<char*>(malloc(used_));
    if (!block) return nullptr;
    for (unsigned i = 0; i + 1 < used_; ++i) block[i] = static_cast<char>(text_[i] & 0xFF);
    block[used_ - 1] = 0;
    narrow_ = block;
    return narrow_;
  }
  size_t size = static_cast<size_t>(used_) * 2;
  char* block = static_cast<char*>(malloc(size));
  if (!block) return nullptr;
  int n = WideCharToMultiByte(CP_ACP, 0, text_, -1, block, static_cast<int>(size), nullptr, nullptr);
  if (n == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    // An ANSI code page with characters of more than two bytes (UTF-8).
    int needed = WideCharToMultiByte(CP_ACP, 0, text_, -1, nullptr, 0, nullptr, nullptr);
    char* larger = needed > 0 ? static_cast<char*>(realloc(block, needed)) : nullptr;
    if (larger) {
      block = larger;
      size = static_cast<size_t>(needed);
      n = WideCharToMultiByte(CP_ACP, 0, text_, -1, block, needed, nullptr, nullptr);
    }
  }
  if (n <= 0 || static_cast<size_t>(n) > size) {
    free(block);
    return nullptr;
  }
  narrow_ = block;
  return narrow_;
}

int WideString::DecodeUtf8(WideString& target) {
  // The bytes are taken first so that a string can decode into itself.
  unsigned want = used_ + 1 > DefaultCapacity ? used_ + 1 : DefaultCapacity;
  const char* bytes = ToNarrow(1);
  if (!bytes) return 0;
  int byteCount = static_cast<int>(strlen(bytes));
  if (!target.Reset(want)) return 0;
  if (byteCount == 0) return 1;
  // The byte count is given explicitly and the text ends where the
  // conversion says: bytes ending in a cut-off sequence may leave no
  // terminator behind, and a scan would pick up older contents.
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes, byteCount, target.text_,
                              static_cast<int>(target.Capacity()));
  if (n <= 0 || static_cast<unsigned>(n) > target.Capacity()) {
    target.Terminate(0);
    return 0;
  }
  target.Terminate(static_cast<unsigned>(n));
  return 1;
}

BSTR WideString::ToBstr(BSTR* out) {
  BSTR copy = SysAllocString(text_);
  if (out) {
    *out = copy;
  } else {
    if (bstr_) SysFreeString(bstr_);
    bstr_ = copy;
  }
  return copy;
}

BstrHolder WideString::ToBstrHolder() const { return BstrHolder(text_); }

// ----------------------------------------------------------------- lines

int WideString::StartLines(WideString& line) {
  lineCursor_ = 0;
  return ReadLine(line);
}

int WideString::ReadLine(WideString& line) {
  unsigned length = Length();
  if (lineCursor_ >= length) {
    lineCursor_ = length;
    if (&line != this) line.Assign(L"");
    return 0;
  }
  unsigned start = lineCursor_;
  unsigned end = start;
  while (end < length && text_[end] != L'\n') ++end;
  bool hasLineFeed = end < length;
  lineCursor_ = hasLineFeed ? end + 1 : length;
  // Only a CR directly before the LF belongs to the line break; any other
  // CR is an ordinary character of the line.
  if (hasLineFeed && end > start && text_[end - 1] == L'\r') --end;
  return line.Assign(text_ + start, end - start);
}

// ------------------------------------------------- plain buffer helpers

const wchar_t* WideString::FileNamePart(const wchar_t* text) {
  if (!text) return text;
  const wchar_t* part = text;
  for (const wchar_t* p = text; *p; ++p) {
    if (IsSeparator(*p) && p[1]) part = p + 1;
  }
  return part;
}

void WideString::ExtensionOf(const wchar_t* text, WideString& out) {
  const wchar_t* dot = nullptr;
  const wchar_t* p = text;
  if (p) {
    for (; *p && *p != L'?'; ++p) {
      if (*p == L'.') {
        dot = p;
      } else if (*p == L' ' || IsSeparator(*p)) {
        dot = nullptr;
      }
    }
  }
  if (dot) {
    out.Assign(dot, static_cast<unsigned>(p - dot));
  } else {
    out.Assign(L"");
  }
}

int WideString::RemoveLastComponent(wchar_t* text) {
  if (!text) return 0;
  wchar_t* p = text;
  while (IsSeparator(*p)) ++p;  // leading separators always stay
  wchar_t* cut = p;
  for (; *p; ++p) {
    if (IsSeparator(*p)) {
      cut = p;
    } else if (*p == L':' && p > text && IsAsciiLetter(p[-1]) &&
               (p - 1 == text || IsSeparator(p[-2]))) {
      // A drive: its root separator stays; "X:name" has no cut point until a
      // later separator.
      if (IsSeparator(p[1])) {
        cut = p + 2;
        ++p;
      } else {
        cut = nullptr;
      }
    }
  }
  if (!cut || !*cut) return 0;
  *cut = 0;
  return 1;
}

void WideString::RemoveExtension(wchar_t* text, unsigned n) {
  if (!text) return;
  wchar_t* dot = wcsrchr(text, L'.');
  if (!dot) return;
  unsigned long long fromDot = wcslen(dot);  // the dot and what follows it
  if (fromDot <= static_cast<unsigned long long>(n) + 1) *dot = 0;
}

void WideString::TrimTrailingSpaces(wchar_t* text) {
  if (!text) return;
  size_t length = wcslen(text);
  while (length > 0 && text[length - 1] == L' ') text[--length] = 0;
}

void WideString::NewlinesToSpaces(wchar_t* text) {
  if (!text) return;
  for (wchar_t* p = text; *p; ++p) {
    if (*p == L'\r' || *p == L'\n') *p = L' ';
  }
}
