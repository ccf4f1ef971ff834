// A small line log. Each WriteLine formats one message (the C runtime's wide
// printf), optionally puts the local date and time before it, ends it with
// "\r\n" and either appends it to a file that is opened and closed for every
// line (so that the log survives a crash of the process), appends it to a
// text kept in memory, or writes it as an encrypted record. Nothing is ever
// reported to the caller: a line that cannot be written is lost.
//
// Encrypted records: the line's bytes (UTF-16 code units with LogUtf16,
// else the ANSI text) encrypted with RC4 under a key derived from the MD5
// hash of the key material (CryptoAPI, PROV_RSA_FULL, verify-only context),
// preceded by the 32-bit little-endian values 1 and the encrypted length.
//
// Without LogLocked the object belongs to one thread; with it, every line
// (open, format, write, close) and every read of the memory text holds the
// object's lock.
#pragma once

#include <windows.h>

#include <cstdarg>

#include "core/CriticalSection.h"
#include "core/KernelHandle.h"
#include "core/WideString.h"

enum LogFlags : DWORD {
  LogTimestamp = 0x001,   // "date time: " (or a quoted field with LogCsv) before each line
  LogOff = 0x004,         // every call returns at once
  LogFlush = 0x008,       // flush the file after each line
  LogEncrypted = 0x010,   // write each line as an encrypted record
  LogNoSeconds = 0x020,   // the time without seconds
  LogUtf16 = 0x040,       // UTF-16 lines; a new, empty file first gets FF FE
  LogMemory = 0x080,      // lines go to the memory text, no file is used
  LogLocked = 0x100,      // every call holds the object's lock
  LogCsv = 0x200,         // "\"date time\",\"message\""
};

// The memory text is halved (its newer half kept) once it holds more
// characters than this.
const unsigned LogMemoryLimit = 0x10000;

// The line-end rule: a line that does not end in a line feed gets "\r\n";
// a bare line feed at the end becomes "\r\n"; "\r\n" is left alone.
void EndLogLine(WideString& line);

class LogWriter {
public:
  LogWriter();
  ~LogWriter();  // the key material is overwritten before it is freed
  LogWriter(const LogWriter&) = delete;
  LogWriter& operator=(const LogWriter&) = delete;

  void SetFlags(DWORD flags);
  DWORD Flags() const { return flags_; }
  int SetFileName(const wchar_t* path);
  // A copy of the key material for encrypted records (none: no key).
  int SetKey(const void* key, DWORD length);

  void WriteLine(const wchar_t* format, ...);
  void WriteLineV(const wchar_t* format, va_list args);

  // A copy of the memory text (under the lock with LogLocked).
  void MemoryText(WideString& out);
  unsigned MemoryLength() const { return memory_.Length(); }

private:
  void Prefix(WideString& line) const;
  int Encrypt(const BYTE* bytes, DWORD length, BYTE** out) const;
  void ForgetKey();

  DWORD flags_ = LogTimestamp;
  KernelHandle file_;
  BYTE* key_ = nullptr;
  DWORD keyLength_ = 0;
  WideString fileName_;
  CriticalSection lock_;
  WideString memory_;
};

// Writes all bytes to the file; a write refused for lack of system
// resources is retried in pieces of at most 0x100000 bytes. 1 when all
// were written.
int WriteWholeFile(HANDLE file, const void* bytes, DWORD length);
