#include "support/ZipExtractor.h"

#include <windows.h>
#include <zlib.h>

#include <cstring>
#include <cwchar>
#include <cwctype>

#include "core/KernelHandle.h"
#include "core/WideString.h"

namespace {

const DWORD kEndSignature = 0x06054B50;
const DWORD kZip64LocatorSignature = 0x07064B50;
const DWORD kCentralSignature = 0x02014B50;
const DWORD kLocalSignature = 0x04034B50;
const unsigned kEndSize = 22;
const unsigned kCentralSize = 46;
const unsigned kLocalSize = 30;
// The most all entries may unpack to together: far above any update of
// this program, far below what a small archive announcing gigabytes could
// fill a disk with.
const unsigned long long kMaxTotalSize = 1ULL << 30;

unsigned Read16(const BYTE* p) { return p[0] | (p[1] << 8); }
DWORD Read32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
         (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}

// The archive mapped read-only in whole.
class MappedArchive {
public:
  MappedArchive() = default;
  MappedArchive(const MappedArchive&) = delete;
  MappedArchive& operator=(const MappedArchive&) = delete;
  ~MappedArchive() {
    if (view_) UnmapViewOfFile(view_);
  }
  int Open(const wchar_t* path) {
    file_ = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return 0;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file_, &size) || size.QuadPart < kEndSize || size.QuadPart > 0x7FFFFFFF)
      return 0;
    size_ = static_cast<DWORD>(size.QuadPart);
    mapping_ = CreateFileMappingW(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping_) return 0;
    view_ = static_cast<const BYTE*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
    return view_ != nullptr;
  }
  const BYTE* Data() const { return view_; }
  DWORD Size() const { return size_; }
  // 1 when [offset, offset + count) lies inside the archive.
  bool Holds(DWORD offset, DWORD count) const {
    return offset <= size_ && count <= size_ - offset;
  }

private:
  KernelHandle file_;
  KernelHandle mapping_;
  const BYTE* view_ = nullptr;
  DWORD size_ = 0;
};

struct Entry {
  WideString name;  // with '\' separators
  unsigned method = 0;
  DWORD crc = 0;
  DWORD compressedSize = 0;
  DWORD size = 0;
  DWORD dataOffset = 0;
  bool folder = false;
};

// Windows device names, which open the device whatever folder and
// extension they are given.
bool IsDeviceName(const wchar_t* part, unsigned length) {
  unsigned stem = 0;
  while (stem < length && part[stem] != L'.') ++stem;
  while (stem > 0 && part[stem - 1] == L' ') --stem;
  static const wchar_t* const names[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$",
                                         L"CLOCK$"};
  for (const wchar_t* n : names)
    if (wcslen(n) == stem && _wcsnicmp(part, n, stem) == 0) return true;
  if (stem == 4 && (_wcsnicmp(part, L"COM", 3) == 0 || _wcsnicmp(part, L"LPT", 3) == 0)) {
    wchar_t d = part[3];
    if ((d >= L'0' && d <= L'9') || d == 0xB9 || d == 0xB2 || d == 0xB3) return true;
  }
  return false;
}

bool IsSafePart(const wchar_t* part, unsigned length) {
  if (length == 0) return false;
  if (length == 2 && part[0] == L'.' && part[1] == L'.') return false;
  // Windows drops trailing dots and spaces, so "..." or "a. " would not be
  // the name that was checked.
  if (part[length - 1] == L'.' || part[length - 1] == L' ') return false;
  for (unsigned i = 0; i < length; ++i) {
    wchar_t c = part[i];
    if (c < 0x20 || wcschr(L"<>:\"|?*", c)) return false;
  }
  return !IsDeviceName(part, length);
}

// Converts the raw name bytes (UTF-8 when flagged, else code page 437).
int DecodeName(const BYTE* bytes, unsigned count, bool utf8, WideString& out) {
  if (count == 0) return 0;
  for (unsigned i = 0; i < count; ++i)
    if (bytes[i] == 0) return 0;
  UINT codePage = utf8 ? CP_UTF8 : 437;
  DWORD flags = utf8 ? MB_ERR_INVALID_CHARS : 0;
  int n = MultiByteToWideChar(codePage, flags, reinterpret_cast<const char*>(bytes), count,
                              nullptr, 0);
  if (n <= 0) return 0;
  wchar_t* text = static_cast<wchar_t*>(malloc((n + 1) * sizeof(wchar_t)));
  if (!text) return 0;
  int done = MultiByteToWideChar(codePage, flags, reinterpret_cast<const char*>(bytes), count,
                                 text, n);
  int ok = done == n && out.Assign(text, static_cast<unsigned>(n));
  free(text);
  return ok;
}

// Reads and checks every central directory record into entries.
int ReadDirectory(const MappedArchive& archive, Entry*& entries, unsigned& count) {
  const BYTE* data = archive.Data();
  DWORD size = archive.Size();
  // The end record: its comment may hold up to 65535 bytes.
  DWORD lowest = size > kEndSize + 0xFFFF ? size - kEndSize - 0xFFFF : 0;
  DWORD end = size - kEndSize + 1;
  bool found = false;
  while (end-- > lowest) {
    if (Read32(data + end) == kEndSignature && end + kEndSize + Read16(data + end + 20) == size) {
      found = true;
      break;
    }
  }
  if (!found) return 0;
  const BYTE* e = data + end;
  unsigned disk = Read16(e + 4), directoryDisk = Read16(e + 6);
  unsigned diskEntries = Read16(e + 8), total = Read16(e + 10);
  DWORD directorySize = Read32(e + 12), directoryOffset = Read32(e + 16);
  if (end >= 20 && Read32(data + end - 20) == kZip64LocatorSignature) return 0;  // ZIP64
  if (total == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF) return 0;
  if (disk != 0 || directoryDisk != 0 || diskEntries != total) return 0;  // spanned
  if (!archive.Holds(directoryOffset, directorySize) || directoryOffset + directorySize > end)
    return 0;
  entries = new Entry[total ? total : 1];
  count = total;
  DWORD at = directoryOffset;
  unsigned long long unpacked = 0;
  for (unsigned i = 0; i < total; ++i) {
    if (!archive.Holds(at, kCentralSize) || Read32(data + at) != kCentralSignature) return 0;
    const BYTE* c = data + at;
    unsigned flags = Read16(c + 8);
    Entry& entry = entries[i];
    entry.method = Read16(c + 10);
    entry.crc = Read32(c + 16);
    entry.compressedSize = Read32(c + 20);
    entry.size = Read32(c + 24);
    unsigned nameLength = Read16(c + 28), extraLength = Read16(c + 30);
    unsigned commentLength = Read16(c + 32);
    DWORD localOffset = Read32(c + 42);
    DWORD recordSize = kCentralSize + nameLength + extraLength + commentLength;
    if (!archive.Holds(at, recordSize)) return 0;
    if (flags & 0x1) return 0;  // encrypted (also strong encryption, bit 6)
    if (entry.method != 0 && entry.method != 8) return 0;
    if (entry.compressedSize == 0xFFFFFFFF || entry.size == 0xFFFFFFFF ||
        localOffset == 0xFFFFFFFF || Read16(c + 34) == 0xFFFF)
      return 0;  // ZIP64
    for (unsigned x = 0; x + 4 <= extraLength;) {
      const BYTE* field = c + kCentralSize + nameLength + x;
      if (Read16(field) == 0x0001) return 0;  // ZIP64 extended information
      x += 4 + Read16(field + 2);
    }
    if (entry.method == 0 && entry.compressedSize != entry.size) return 0;
    unpacked += entry.size;
    if (unpacked > kMaxTotalSize) return 0;
    if (!DecodeName(c + kCentralSize, nameLength, (flags & 0x800) != 0, entry.name)) return 0;
    entry.name.Replace(L"/", L"\\", 1);
    if (!IsSafeZipEntryName(entry.name.CStr())) return 0;
    entry.folder = entry.name.CStr()[entry.name.Length() - 1] == L'\\';
    if (entry.folder && entry.size != 0) return 0;
    // The data follows the local header, whose name and extra field may
    // differ in length from the central record's.
    if (!archive.Holds(localOffset, kLocalSize) || Read32(data + localOffset) != kLocalSignature)
      return 0;
    const BYTE* l = data + localOffset;
    if (Read16(l + 6) & 0x1) return 0;
    entry.dataOffset = localOffset + kLocalSize + Read16(l + 26) + Read16(l + 28);
    if (!archive.Holds(entry.dataOffset, entry.compressedSize) ||
        entry.dataOffset + entry.compressedSize > directoryOffset)
      return 0;
    at += recordSize;
  }
  return 1;
}

// Creates every folder of the path below (and including) the last '\'.
int CreateFolders(const WideString& path, unsigned from) {
  WideString part;
  for (unsigned i = from; i < path.Length(); ++i) {
    if (path.CStr()[i] != L'\\') continue;
    if (!part.Assign(path.CStr(), i)) return 0;
    if (!CreateDirectoryW(part.CStr(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return 0;
    DWORD attributes = GetFileAttributesW(part.CStr());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
  }
  return 1;
}

int WriteAll(HANDLE file, const BYTE* data, DWORD count) {
  while (count) {
    DWORD written = 0;
    if (!WriteFile(file, data, count, &written, nullptr) || written == 0) return 0;
    data += written;
    count -= written;
  }
  return 1;
}

// Writes the entry's data into the open file, checking size and CRC-32.
int WriteEntry(const BYTE* data, const Entry& entry, HANDLE file) {
  const BYTE* source = data + entry.dataOffset;
  if (entry.method == 0) {
    if (crc32(0, source, entry.size) != entry.crc) return 0;
    return WriteAll(file, source, entry.size);
  }
  z_stream stream = {};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return 0;
  static const unsigned kChunk = 65536;
  BYTE* out = static_cast<BYTE*>(malloc(kChunk));
  int ok = out != nullptr;
  uLong crc = crc32(0, nullptr, 0);
  DWORD produced = 0;
  stream.next_in = const_cast<Bytef*>(source);
  stream.avail_in = entry.compressedSize;
  int status = Z_OK;
  while (ok && status != Z_STREAM_END) {
    stream.next_out = out;
    stream.avail_out = kChunk;
    status = inflate(&stream, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) {
      ok = 0;
      break;
    }
    DWORD got = kChunk - stream.avail_out;
    if (got > entry.size - produced) {
      ok = 0;  // more than the directory announced
      break;
    }
    if (status == Z_OK && got == 0 && stream.avail_in == 0) {
      ok = 0;  // the data ends before the stream does
      break;
    }
    crc = crc32(crc, out, got);
    produced += got;
    ok = WriteAll(file, out, got);
  }
  inflateEnd(&stream);
  free(out);
  return ok && produced == entry.size && crc == entry.crc;
}

}  // namespace

int IsSafeZipEntryName(const wchar_t* name) {
  if (!name || !name[0]) return 0;
  if (name[0] == L'\\' || name[0] == L'/') return 0;  // absolute, or a share
  const wchar_t* part = name;
  for (const wchar_t* p = name;; ++p) {
    if (*p == L'\\' || *p == L'/' || *p == 0) {
      unsigned length = static_cast<unsigned>(p - part);
      bool last = *p == 0;
      // A folder entry ends with a separator: its last part is empty.
      if (!(last && length == 0 && p > name)) {
        if (length == 1 && part[0] == L'.') return 0;
        if (!IsSafePart(part, length)) return 0;
      }
      if (last) break;
      part = p + 1;
    }
  }
  return 1;
}

int ExtractZip(const wchar_t* archivePath, const wchar_t* targetFolder) {
  if (!archivePath || !targetFolder || !targetFolder[0]) return 0;
  MappedArchive archive;
  if (!archive.Open(archivePath)) return 0;
  Entry* entries = nullptr;
  unsigned count = 0;
  int ok = ReadDirectory(archive, entries, count);
  WideString base;
  if (ok) {
    wchar_t full[MAX_PATH + 1];
    DWORD n = GetFullPathNameW(targetFolder, MAX_PATH, full, nullptr);
    ok = n > 0 && n < MAX_PATH && base.Assign(full) && base.EnsureTrailing(L'\\');
  }
  if (ok) {
    CreateFolders(base, 0);
    DWORD attributes = GetFileAttributesW(base.CStr());
    ok = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  WideString path;
  for (unsigned i = 0; ok && i < count; ++i) {
    const Entry& entry = entries[i];
    ok = path.Assign(base) && path.Append(entry.name) && CreateFolders(path, base.Length());
    if (!ok || entry.folder) continue;
    // The data goes to a fresh file beside the target first and replaces
    // an existing file only once its size and CRC-32 have been checked, so
    // damaged data never costs the file it was meant to replace.
    WideString folder(path);
    folder.Left(folder.FindLastChar(L'\\') + 1);
    wchar_t fresh[MAX_PATH + 1] = {};
    if (!GetTempFileNameW(folder.CStr(), L"zip", 0, fresh)) {
      ok = 0;
      break;
    }
    KernelHandle file(CreateFileW(fresh, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ok = file != INVALID_HANDLE_VALUE;
    if (ok) {
      ok = WriteEntry(archive.Data(), entry, file);
      file.Close();  // before the file is moved into place or removed
    }
    if (ok) ok = MoveFileExW(fresh, path.CStr(), MOVEFILE_REPLACE_EXISTING) ? 1 : 0;
    if (!ok) DeleteFileW(fresh);
  }
  delete[] entries;
  return ok;
}

int ZipFileEntry(const wchar_t* archivePath, const wchar_t* name, DWORD* size, DWORD* crc) {
  if (!archivePath || !name) return 0;
  WideString wanted(name);
  wanted.Replace(L"/", L"\\", 1);
  MappedArchive archive;
  if (!archive.Open(archivePath)) return 0;
  Entry* entries = nullptr;
  unsigned count = 0;
  int found = 0;
  if (ReadDirectory(archive, entries, count)) {
    // Windows file names do not tell case apart: the entry lands on the
    // name whatever its case.
    for (unsigned i = 0; i < count && !found; ++i) {
      if (entries[i].folder || entries[i].name.CompareNoCase(wanted.CStr()) != 0) continue;
      if (size) *size = entries[i].size;
      if (crc) *crc = entries[i].crc;
      found = 1;
    }
  }
  delete[] entries;
  return found;
}
