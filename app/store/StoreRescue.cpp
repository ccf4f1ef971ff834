#include "app/store/StoreRescue.h"

#include <climits>
#include <cstring>
#include <cwchar>

#include "app/store/RunKey.h"
#include "app/store/StoreFileCheck.h"
#include "core/Database.h"
#include "core/KernelHandle.h"

namespace {

const wchar_t* const kTableNames[2] = {L"walking", L"sleeping"};
const wchar_t* const kCompanions[2] = {L"-wal", L"-journal"};

bool Exists(const WideString& path) { return GetFileAttributesW(path.CStr()) != INVALID_FILE_ATTRIBUTES; }

int WithSuffix(const WideString& path, const wchar_t* suffix, WideString& out) {
  return out.Format(L"%s%s", path.CStr(), suffix);
}

// A name beside the file that neither it nor its journals use yet.
int FreeAsideName(const wchar_t* path, const SYSTEMTIME& when, WideString& aside) {
  WideString stem, extension;
  if (!stem.Assign(path)) return 0;
  int slash = stem.FindLastChar(L'\\');
  int dot = stem.FindLastChar(L'.');
  if (dot > slash) {
    if (!extension.Assign(stem.CStr() + dot)) return 0;
    stem.Left(dot);
  } else if (!extension.Assign(L"")) {
    return 0;
  }
  for (int n = 1; n <= 1000; ++n) {
    WideString number;
    if (n > 1 && !number.Format(L"-%d", n)) return 0;
    if (!aside.Format(L"%s-set-aside-%04u%02u%02u-%02u%02u%02u%s%s", stem.CStr(), when.wYear, when.wMonth, when.wDay,
                      when.wHour, when.wMinute, when.wSecond, n > 1 ? number.CStr() : L"", extension.CStr())) {
      return 0;
    }
    WideString wal, journal, shm;
    if (!WithSuffix(aside, L"-wal", wal) || !WithSuffix(aside, L"-journal", journal) ||
        !WithSuffix(aside, L"-shm", shm))
      return 0;
    if (!Exists(aside) && !Exists(wal) && !Exists(journal) && !Exists(shm)) return 1;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return 0;
}

enum ScanEnd { ScanFinished, ScanDamaged, ScanUnusable };

// The rows of one statement into the store; last is the rowid of the last
// row read.
ScanEnd CopyRows(Database& database, const WideString& sql, int table, RescueTarget& into, RescueTally& tally,
                 long long& last, bool& any) {
  any = false;
  QueryResult rows;
  if (!database.Execute(sql.CStr(), rows)) {
    return database.ErrorCode() == DatabaseError ? ScanUnusable : ScanDamaged;
  }
  ByteBuffer pattern;
  bool onRow = rows->MoveFirst() != 0;
  while (onRow) {
    WideString rowid, address, start;
    rows->GetText(-1, 0, rowid);
    last = _wcstoi64(rowid.CStr(), nullptr, 10);
    any = true;
    BufferClear(pattern);
    rows->GetText(-1, 1, address);
    bool sound = rows->GetText(-1, 2, start) && rows->GetBlob(-1, 3, pattern);
    // A start is the decimal text of a whole number of seconds that fits
    // the tracker's 32-bit clock.
    const wchar_t* digits = start.CStr();
    unsigned long long seconds = 0;
    if (!*digits || wcslen(digits) > 10) sound = false;
    for (const wchar_t* c = digits; sound && *c; ++c) {
      if (*c < L'0' || *c > L'9') sound = false;
      seconds = seconds * 10 + static_cast<unsigned>(*c - L'0');
    }
    if (seconds > 0xFFFFFFFFULL) sound = false;
    if (!sound || !IsAddressText(address.CStr())) {
      ++tally.refused;
    } else if (into.InsertRun(table, address.CStr(), static_cast<unsigned>(seconds), pattern)) {
      ++tally.copied;
    } else {
      ++tally.unstored;
    }
    onRow = rows->MoveNext() != 0;
  }
  bool failed = rows->StepFailed();
  return failed ? ScanDamaged : ScanFinished;
}

// The first rowid above the given one, reading the table's tree only.
ScanEnd FirstRowAbove(Database& database, const wchar_t* table, long long above, long long& first, bool& found) {
  found = false;
  WideString sql;
  if (!sql.Format(L"SELECT rowid FROM `%s` WHERE rowid > %I64d ORDER BY rowid LIMIT 1;", table, above))
    return ScanUnusable;
  QueryResult rows;
  if (!database.Execute(sql.CStr(), rows)) return ScanDamaged;
  WideString text;
  if (rows->GetText(-1, 0, text)) {
    first = _wcstoi64(text.CStr(), nullptr, 10);
    found = true;
  }
  return ScanFinished;
}

// Reads the table upwards; past a damaged part it probes for the next
// readable row at growing distances, then reads the gap's far side
// downwards back to the damage, so that one damaged page costs little more
// than its own rows.
void CopyTable(Database& database, int table, RescueTarget& into, RescueTally& tally) {
  const wchar_t* name = kTableNames[table];
  long long low = LLONG_MIN;  // every row up to here is dealt with
  for (int round = 0; round < 256; ++round) {
    WideString sql;
    if (!sql.Format(L"SELECT rowid, mac, start, pattern FROM `%s` WHERE rowid > %I64d ORDER BY rowid;", name, low))
      return;
    long long last = low;
    bool any = false;
    ScanEnd end = CopyRows(database, sql, table, into, tally, last, any);
    if (end != ScanDamaged) return;
    tally.cut = true;

    long long gap = last;  // the damage lies just above this row
    // Rowids are given from 1 on: when no row was read at all, the probing
    // starts from 0 (from the lowest rowid there is no distance that would
    // reach past a damaged first page).
    const long long base = gap < 0 ? 0 : gap;
    long long landed = 0;
    bool found = false;
    for (int power = 0; power < 63; ++power) {
      const long long step = 1LL << power;
      if (base > LLONG_MAX - step) break;
      if (FirstRowAbove(database, name, base + step, landed, found) == ScanFinished) break;
    }
    // The far side of the gap, read downwards until the damage.
    WideString down;
    if (found) {
      if (!down.Format(L"SELECT rowid, mac, start, pattern FROM `%s` WHERE rowid > %I64d AND rowid < %I64d ORDER BY "
                       L"rowid DESC;",
                       name, gap, landed))
        return;
    } else if (!down.Format(L"SELECT rowid, mac, start, pattern FROM `%s` WHERE rowid > %I64d ORDER BY rowid DESC;",
                            name, gap)) {
      return;
    }
    long long ignored = 0;
    CopyRows(database, down, table, into, tally, ignored, any);
    if (!found) return;
    low = landed - 1;
  }
}

// The file's page size from its header, or 0 when the header names none.
DWORD PageSizeOf(HANDLE file) {
  unsigned char header[100];
  DWORD got = 0;
  if (!ReadFile(file, header, sizeof(header), &got, nullptr) || got != sizeof(header)) return 0;
  if (memcmp(header, "SQLite format 3", 16) != 0) return 0;
  DWORD size = (static_cast<DWORD>(header[16]) << 8) | header[17];
  if (size == 1) size = 65536;
  if (size < 512 || size > 65536 || (size & (size - 1)) != 0) return 0;
  return size;
}

// Runs are read from a copy in the temporary folder: the set-aside file
// stays exactly as it was (reading would make an index file beside it). A
// journal left by a transaction cut short is rolled back in the copy, so
// that its half-written pages are not read as runs (when that fails, the
// file is read as it is). The copy ends with the last whole page, since
// SQLite reads the missing part of a cut page as zeros and would hand out a
// pattern with a zeroed end. Frames of a write-ahead journal cut short fail
// their checksums and are left out by SQLite.
// error: why no copy could be made (0 when the file is no SQLite file).
int MakeReadingCopy(const wchar_t* fromPath, WideString& scratch, unsigned long& error) {
  error = 0;
  if (!CopyStoreFileToTemp(fromPath, scratch)) {
    error = GetLastError() ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
    return 0;
  }
  WideString journal;
  if (!WithSuffix(scratch, L"-journal", journal)) {
    RemoveStoreFileCopy(scratch);
    error = ERROR_NOT_ENOUGH_MEMORY;
    return 0;
  }
  if (Exists(journal)) {
    {
      Database rollback;
      if (rollback.Open(scratch.CStr(), Database::WaitForDisk, Database::SharedLocking, Database::RollbackJournal))
        rollback.Execute(L"SELECT count(*) FROM sqlite_master;");
    }
    DeleteFileW(journal.CStr());
  }
  KernelHandle file(CreateFileW(scratch.CStr(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  int ok = file != INVALID_HANDLE_VALUE;
  if (!ok) error = GetLastError();
  if (ok) {
    LARGE_INTEGER size = {};
    DWORD page = PageSizeOf(file);
    ok = page && GetFileSizeEx(file, &size);
    if (ok && size.QuadPart % page != 0) {
      size.QuadPart -= size.QuadPart % page;
      ok = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
      if (!ok) error = GetLastError();
    }
    file.Close();  // before a failed copy is removed
  }
  if (!ok) RemoveStoreFileCopy(scratch);
  return ok;
}

}  // namespace

int MoveStoreFileAside(const wchar_t* path, const SYSTEMTIME& when, WideString& asidePath, DWORD& error) {
  error = 0;
  WideString original;
  if (!original.Assign(path) || !FreeAsideName(path, when, asidePath)) {
    error = GetLastError() ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
    return 0;
  }
  // The journals go first: a write-ahead journal left behind would be
  // replayed into the new file.
  bool moved[2] = {false, false};
  for (int i = 0; i < 2 && !error; ++i) {
    WideString from, to;
    if (!WithSuffix(original, kCompanions[i], from) || !WithSuffix(asidePath, kCompanions[i], to)) {
      error = ERROR_NOT_ENOUGH_MEMORY;
    } else if (Exists(from)) {
      if (MoveFileExW(from.CStr(), to.CStr(), MOVEFILE_WRITE_THROUGH)) {
        moved[i] = true;
      } else {
        error = GetLastError();
      }
    }
  }
  if (!error && !MoveFileExW(original.CStr(), asidePath.CStr(), MOVEFILE_WRITE_THROUGH)) error = GetLastError();
  if (error) {
    for (int i = 0; i < 2; ++i) {
      WideString from, to;
      if (moved[i] && WithSuffix(original, kCompanions[i], to) && WithSuffix(asidePath, kCompanions[i], from))
        MoveFileExW(from.CStr(), to.CStr(), MOVEFILE_WRITE_THROUGH);
    }
    return 0;
  }
  WideString shm;
  if (WithSuffix(original, L"-shm", shm)) DeleteFileW(shm.CStr());
  return 1;
}

int CopyReadableRuns(const wchar_t* fromPath, RescueTarget& into, RescueTally& tally) {
  tally = RescueTally();
  WideString scratch;
  if (!MakeReadingCopy(fromPath, scratch, tally.copyError)) return 0;
  Database database;
  if (database.OpenReadOnly(scratch.CStr())) {
    // A cut file is otherwise refused whole (its header counts more pages
    // than it has); the connection writes nothing either way. Cells are
    // checked as they are read, so a damaged page fails rather than giving
    // wrong rows.
    database.Execute(L"PRAGMA writable_schema = ON;");
    database.Execute(L"PRAGMA cell_size_check = ON;");
    into.BeginRuns();
    CopyTable(database, WalkingTable, into, tally);
    CopyTable(database, SleepingTable, into, tally);
    unsigned lost = into.EndRuns();
    if (lost > tally.copied) lost = tally.copied;
    tally.copied -= lost;
    tally.unstored += lost;
  } else {
    tally.cut = true;
  }
  database.Close();
  RemoveStoreFileCopy(scratch);
  return 1;
}
