#include "core/LogWriter.h"

#include <wincrypt.h>

#include <cstdlib>
#include <cstring>

void EndLogLine(WideString& line) {
  unsigned n = line.Length();
  if (n == 0 || line.CharAt(static_cast<int>(n) - 1) != L'\n') {
    line.Append(L"\r\n");
  } else if (n < 2 || line.CharAt(static_cast<int>(n) - 2) != L'\r') {
    line.InsertChar(n - 1, L'\r');
  }
}

int WriteWholeFile(HANDLE file, const void* bytes, DWORD length) {
  const BYTE* at = static_cast<const BYTE*>(bytes);
  DWORD written = 0;
  if (WriteFile(file, at, length, &written, nullptr) && written == length) return 1;
  if (GetLastError() != ERROR_NO_SYSTEM_RESOURCES) return 0;
  // Short of resources: the rest in pieces the system can take.
  at += written;
  length -= written;
  while (length) {
    DWORD piece = length < 0x100000 ? length : 0x100000;
    if (!WriteFile(file, at, piece, &written, nullptr) || written == 0) return 0;
    at += written;
    length -= written;
  }
  return 1;
}

LogWriter::LogWriter() {}

LogWriter::~LogWriter() {
  ForgetKey();
}

void LogWriter::ForgetKey() {
  if (key_) {
    SecureZeroMemory(key_, keyLength_);
    free(key_);
  }
  key_ = nullptr;
  keyLength_ = 0;
}

void LogWriter::SetFlags(DWORD flags) {
  flags_ = flags;
  if ((flags & LogLocked) && !lock_.IsInitialised()) lock_.Initialise();
}

int LogWriter::SetFileName(const wchar_t* path) { return fileName_.Assign(path ? path : L""); }

int LogWriter::SetKey(const void* key, DWORD length) {
  ForgetKey();
  if (!key || !length) return 1;
  key_ = static_cast<BYTE*>(malloc(length));
  if (!key_) return 0;
  memcpy(key_, key, length);
  keyLength_ = length;
  return 1;
}

void LogWriter::MemoryText(WideString& out) {
  bool locked = (flags_ & LogLocked) != 0;
  if (locked) lock_.Enter();
  out.Assign(memory_);
  if (locked) lock_.Leave();
}

void LogWriter::WriteLine(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLineV(format, args);
  va_end(args);
}

void LogWriter::Prefix(WideString& line) const {
  wchar_t date[128] = {}, time[128] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 128);
  GetTimeFormatW(LOCALE_USER_DEFAULT, (flags_ & LogNoSeconds) ? TIME_NOSECONDS : 0, nullptr,
                 nullptr, time, 128);
  line.Format((flags_ & LogCsv) ? L"\"%s %s\"," : L"%s %s: ", date, time);
}

int LogWriter::Encrypt(const BYTE* bytes, DWORD length, BYTE** out) const {
  *out = nullptr;
  if (!key_ || !keyLength_) return 0;
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  HCRYPTKEY key = 0;
  int ok = 0;
  BYTE* buffer = static_cast<BYTE*>(malloc(length ? length : 1));
  if (buffer && CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL,
                                     CRYPT_VERIFYCONTEXT)) {
    if (CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
        CryptHashData(hash, key_, keyLength_, 0) &&
        CryptDeriveKey(provider, CALG_RC4, hash, 0, &key)) {
      memcpy(buffer, bytes, length);
      DWORD size = length;
      ok = CryptEncrypt(key, 0, TRUE, 0, buffer, &size, length) && size == length;
    }
    if (key) CryptDestroyKey(key);
    if (hash) CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
  }
  if (!ok) {
    free(buffer);
    return 0;
  }
  *out = buffer;
  return 1;
}

void LogWriter::WriteLineV(const wchar_t* format, va_list args) {
  if (flags_ & LogOff) return;
  bool locked = (flags_ & LogLocked) != 0;
  if (locked) lock_.Enter();
  bool memory = (flags_ & LogMemory) != 0;
  bool utf16 = (flags_ & LogUtf16) != 0;

  if (!memory) {
    if (fileName_.IsEmpty()) goto done;
    file_ = CreateFileW(fileName_.CStr(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!file_.IsValid()) goto done;
    LARGE_INTEGER size = {};
    if (utf16 && GetFileSizeEx(file_, &size) && size.QuadPart == 0) {
      static const BYTE mark[2] = {0xFF, 0xFE};
      WriteWholeFile(file_, mark, 2);
    }
    SetFilePointer(file_, 0, nullptr, FILE_END);
  }

  {
    WideString line;
    if (flags_ & LogTimestamp) Prefix(line);
    WideString message;
    message.FormatV(format, args);
    if (flags_ & LogCsv) line.AppendChar(L'"');
    line.Append(message);
    if (flags_ & LogCsv) line.AppendChar(L'"');
    EndLogLine(line);

    const BYTE* bytes = nullptr;
    DWORD length = 0;
    if (utf16) {
      bytes = reinterpret_cast<const BYTE*>(line.CStr());
      length = line.Length() * sizeof(wchar_t);
    } else if (!memory || (flags_ & LogEncrypted)) {
      const char* narrow = line.ToNarrow();
      if (narrow) {
        bytes = reinterpret_cast<const BYTE*>(narrow);
        length = static_cast<DWORD>(strlen(narrow));
      }
    }

    if (flags_ & LogEncrypted) {
      BYTE* encrypted = nullptr;
      if (bytes && file_.IsValid() && Encrypt(bytes, length, &encrypted)) {
        DWORD header[2] = {1, length};
        if (WriteWholeFile(file_, header, sizeof(header))) WriteWholeFile(file_, encrypted, length);
        SecureZeroMemory(encrypted, length);
        free(encrypted);
      }
    } else if (memory) {
      memory_.Append(line);
      unsigned n = memory_.Length();
      if (n > LogMemoryLimit) memory_.MidFrom(static_cast<int>(n / 2));
    } else if (bytes) {
      WriteWholeFile(file_, bytes, length);
    }
  }

  if (!memory && file_.IsValid()) {
    if (flags_ & LogFlush) FlushFileBuffers(file_);
    file_.Close();
  }
done:
  if (locked) lock_.Leave();
}
