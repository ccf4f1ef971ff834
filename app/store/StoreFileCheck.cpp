#include "app/store/StoreFileCheck.h"

#include <windows.h>

#include <cstring>

#include "core/Database.h"
#include "core/KernelHandle.h"

namespace {

const wchar_t* const kTables[2] = {L"walking", L"sleeping"};
const wchar_t* const kColumns[3] = {L"mac", L"start", L"pattern"};
const wchar_t* const kKeys[2] = {L"CREATE UNIQUE INDEX IF NOT EXISTS walking_start ON walking (mac, start);",
                                 L"CREATE UNIQUE INDEX IF NOT EXISTS sleeping_start ON sleeping (mac, start);"};

int Verdict(StoreFileVerdict& verdict, StoreFileState state, const wchar_t* problem, unsigned long error = 0) {
  verdict.state = state;
  verdict.systemError = error;
  return verdict.problem.Assign(problem);
}

// A failed statement on the checking connection, told apart by its code.
int StatementFailed(StoreFileVerdict& verdict, int code) {
  switch (code) {
    case DatabaseNotADatabase:
      return Verdict(verdict, StoreFileNotDatabase, L"is not an activity database");
    case DatabaseError:
      // This SQLite cannot read it: a bitten header ("unsupported file
      // format"), a schema it does not know.
      return Verdict(verdict, StoreFileNotDatabase, L"is damaged or was made by another program");
    case DatabaseCorrupt:
      return Verdict(verdict, StoreFileDamaged, L"is damaged");
    case DatabaseBusy:
    case DatabaseLocked:
      return Verdict(verdict, StoreFileInUse, L"is in use by another program");
    case DatabaseNoMemory:
      return 0;
    default:
      return Verdict(verdict, StoreFileUnreadable, L"could not be read");
  }
}

// The file format versions in an SQLite header (bytes 18 and 19): above 2
// the file may be read but not written. false when the header is not an
// SQLite one (SQLite itself tells that case).
bool WritableFormat(const wchar_t* path) {
  KernelHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file == INVALID_HANDLE_VALUE) return true;
  unsigned char header[20] = {};
  DWORD got = 0;
  BOOL read = ReadFile(file, header, sizeof(header), &got, nullptr);
  if (!read || got != sizeof(header) || memcmp(header, "SQLite format 3", 16) != 0) return true;
  return header[18] <= 2 && header[19] <= 2;
}

// Another program holding the file open without sharing it.
bool OpenedElsewhere(const wchar_t* path, DWORD& error) {
  KernelHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file != INVALID_HANDLE_VALUE) {
    error = 0;
    return false;
  }
  error = GetLastError();
  return true;
}

// 1 with the verdict left alone when the table is absent (it will be made)
// or can take the store's rows; else the verdict says why not.
int CheckTable(Database& database, const wchar_t* table, StoreFileVerdict& verdict, bool& fits) {
  fits = false;
  WideString sql;
  if (!sql.Format(L"SELECT type FROM sqlite_master WHERE name = '%s' COLLATE NOCASE;", table)) return 0;
  QueryResult rows = database.Query(sql.CStr());
  if (!rows) {
    if (database.ErrorCode() != DatabaseOk) return StatementFailed(verdict, database.ErrorCode());
    fits = true;  // no such table yet
    return 1;
  }
  WideString type;
  rows->GetText(-1, 0, type);
  database.ReleaseResult(rows);
  WideString problem;
  if (wcscmp(type.CStr(), L"table") != 0) {
    if (!problem.Format(L"holds a \"%s\" that is not a table", table)) return 0;
    return Verdict(verdict, StoreFileIncompatible, problem.CStr());
  }

  // Every column the store writes, and no other column that must be given a
  // value (an insert naming only the store's columns would be refused). The
  // one key column SQLite fills in itself is the row number's own, a single
  // INTEGER PRIMARY KEY of a table with row numbers (one without has an
  // index for its key); any other key column that is NOT NULL needs a value.
  if (!sql.Format(L"SELECT name, \"notnull\" AND dflt_value IS NULL AND NOT (pk = 1 AND upper(type) = 'INTEGER' "
                  L"AND (SELECT count(*) FROM pragma_table_info('%s') WHERE pk > 0) = 1 AND NOT EXISTS (SELECT 1 "
                  L"FROM pragma_index_list('%s') WHERE origin = 'pk')) FROM pragma_table_info('%s');",
                  table, table, table)) {
    return 0;
  }
  rows = database.Query(sql.CStr());
  if (!rows) return StatementFailed(verdict, database.ErrorCode());
  bool present[3] = {false, false, false};
  WideString demanding;
  do {
    WideString name;
    int required = 0;
    if (!rows->GetText(-1, 0, name)) continue;
    rows->GetInt(-1, 1, required);
    bool ours = false;
    for (int i = 0; i < 3; ++i) {
      if (_wcsicmp(name.CStr(), kColumns[i]) == 0) present[i] = ours = true;
    }
    if (!ours && required && demanding.IsEmpty()) demanding.Assign(name);
  } while (rows->MoveNext());
  bool cut = rows->StepFailed();
  int code = rows->StepCode();
  if (cut) return StatementFailed(verdict, code == DatabaseOk ? DatabaseCorrupt : code & 0xFF);
  for (int i = 0; i < 3; ++i) {
    if (present[i]) continue;
    if (!problem.Format(L"has a \"%s\" table without the column \"%s\"", table, kColumns[i])) return 0;
    return Verdict(verdict, StoreFileIncompatible, problem.CStr());
  }
  if (!demanding.IsEmpty()) {
    if (!problem.Format(L"has a \"%s\" table whose column \"%s\" needs a value Pellton cannot give", table,
                        demanding.CStr())) {
      return 0;
    }
    return Verdict(verdict, StoreFileIncompatible, problem.CStr());
  }
  fits = true;
  return 1;
}

// The two tables, each absent or able to take the store's rows: then the
// verdict is usable.
int InspectTables(Database& database, StoreFileVerdict& verdict) {
  for (const wchar_t* table : kTables) {
    bool fits = false;
    if (!CheckTable(database, table, verdict, fits)) return 0;
    if (!fits) return 1;
  }
  verdict.state = StoreFileUsable;
  return 1;
}

// The checks on an open connection. needsWriting: SQLite must write before
// it can read the file (a hot journal to roll back, a write-ahead journal
// whose index cannot be built read-only); the verdict is then not reached.
// readThrough: every page is read and checked; without it only the tables
// are looked at (a file this program closed cleanly and nobody changed).
int Inspect(Database& database, StoreFileVerdict& verdict, bool& needsWriting, bool readThrough = true) {
  needsWriting = false;
  if (!readThrough) return InspectTables(database, verdict);
  // Reads every page and checks every index against its table (an index
  // that lost a row would let a download duplicate a run, or hide one): a
  // damaged file answers an error or a list of faults instead of the single
  // row "ok". The check is run once (a result set's row count would run it
  // again, twice).
  QueryResult rows;
  if (!database.Execute(L"PRAGMA integrity_check;", rows)) {
    if (database.ErrorCode() == DatabaseReadOnly) {
      needsWriting = true;
      return 1;
    }
    return StatementFailed(verdict, database.ErrorCode());
  }
  WideString first;
  int sound = rows->GetText(-1, 0, first) && wcscmp(first.CStr(), L"ok") == 0 && !rows->MoveNext();
  bool cut = rows->StepFailed();
  int code = rows->StepCode() & 0xFF;
  database.ReleaseResult(rows);
  if (cut && code != DatabaseCorrupt && code != DatabaseNotADatabase) return StatementFailed(verdict, code);
  if (!sound || cut) return Verdict(verdict, StoreFileDamaged, L"is damaged");
  return InspectTables(database, verdict);
}

// A run of a tracker that cannot exist, inserted into each table there is
// and taken back: 1 when one is refused for a fault of the file itself
// (damaged where a write goes, a format SQLite may only read, a table whose
// unique index cannot be made), not for a full disk.
int RefusesWrites(Database& database) {
  if (!database.Execute(L"SAVEPOINT trial;")) return 0;
  ByteBuffer one;
  const unsigned char level = 0;
  BufferAppend(one, &level, 1);
  BlobParameters blobs;
  blobs.parameters[0] = &one;
  int refused = 0;
  for (int table = 0; table < 2; ++table) {
    // The index a table lacks is made as the store will make it; it is not
    // made when another object of the file holds its name (no error then).
    if (EnsureRunKey(database, table)) continue;
    int code = database.ErrorCode();
    if (code == DatabaseOk || code == DatabaseCorrupt || code == DatabaseNotADatabase || code == DatabaseReadOnly)
      refused = 1;
  }
  for (const wchar_t* table : kTables) {
    WideString sql;
    if (!sql.Format(L"INSERT OR REPLACE INTO `%s` (`mac`,`start`,`pattern`) VALUES ('00:00:00:00:00:00','0',@001);",
                    table))
      continue;
    if (database.Execute(sql.CStr(), nullptr, &blobs)) continue;
    int code = database.ErrorCode();
    if (code == DatabaseCorrupt || code == DatabaseNotADatabase || code == DatabaseReadOnly) refused = 1;
  }
  database.Execute(L"ROLLBACK TO trial;");
  database.Execute(L"RELEASE trial;");
  return refused;
}

// What cannot be learnt without writing is learnt in a copy in the
// temporary folder, so that the file itself is never written before it is
// known to be sound (a writing connection would, for one, copy a write-ahead
// journal into it when it closes). inspect: the file could not be read
// without writing (a journal to roll back), and the copy is looked at
// whole; what it shows is what the file shows once the store's own
// connection has done the same writes. Then a usable file is tried with an
// insert into each table, taken back. When no copy can be made, a file
// found usable read-only stays usable.
int InspectCopy(const wchar_t* path, StoreFileVerdict& verdict, bool inspect) {
  WideString copy;
  if (!CopyStoreFileToTemp(path, copy)) {
    if (!inspect) return 1;
    DWORD error = GetLastError();
    return Verdict(verdict, StoreFileUnreadable, L"could not be read", error ? error : ERROR_NOT_ENOUGH_MEMORY);
  }
  int reached = 1;
  {
    Database database;
    bool needsWriting = false;
    if (!database.Open(copy.CStr(), Database::WaitForDisk, Database::SharedLocking, Database::RollbackJournal)) {
      reached = inspect ? StatementFailed(verdict, database.ErrorCode()) : 1;
    } else {
      if (inspect) {
        reached = Inspect(database, verdict, needsWriting);
        if (reached && needsWriting) reached = Verdict(verdict, StoreFileUnreadable, L"could not be read");
      }
      if (reached && verdict.state == StoreFileUsable && RefusesWrites(database))
        reached = Verdict(verdict, StoreFileDamaged, L"is damaged (it refuses new runs)");
    }
  }
  RemoveStoreFileCopy(copy);
  return reached;
}

}  // namespace

int HasRunKey(Database& database, int table, bool& has) {
  has = false;
  WideString sql;
  if (!sql.Format(L"SELECT 1 FROM pragma_index_list('%s') AS i WHERE i.\"unique\" AND NOT i.partial AND (SELECT "
                  L"count(*) FROM pragma_index_info(i.name)) = 2 AND (SELECT count(DISTINCT lower(name)) FROM "
                  L"pragma_index_info(i.name) WHERE lower(name) IN ('mac', 'start')) = 2;",
                  kTables[table])) {
    return 0;
  }
  QueryResult rows = database.Query(sql.CStr());
  if (rows) {
    has = true;
    return 1;
  }
  return database.ErrorCode() == DatabaseOk;
}

int EnsureRunKey(Database& database, int table) {
  bool has = false;
  if (!HasRunKey(database, table, has)) return 0;
  if (has) return 1;
  // Rows without an address or a start are no run, and the index lets them be.
  WideString sql;
  if (!sql.Format(L"DELETE FROM `%s` WHERE rowid IN (SELECT rowid FROM (SELECT rowid, row_number() OVER (PARTITION "
                  L"BY mac, start ORDER BY length(pattern) DESC, rowid DESC) AS n FROM `%s` WHERE mac IS NOT NULL "
                  L"AND start IS NOT NULL) WHERE n > 1);",
                  kTables[table], kTables[table]) ||
      !database.Execute(sql.CStr()) || !database.Execute(kKeys[table])) {
    return 0;
  }
  // Made, unless the name was taken by another object after all.
  return HasRunKey(database, table, has) && has;
}

int MayWriteStoreFile(const wchar_t* path, unsigned long& error, bool& fileItself) {
  error = 0;
  fileItself = false;
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  WideString journal;
  if (!journal.Format(L"%s-wal", path)) return 1;
  for (int i = 0; i < 2; ++i) {
    const wchar_t* name = i == 0 ? path : journal.CStr();
    DWORD attributes = GetFileAttributesW(name);
    if (i == 0 && (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))) continue;
    KernelHandle file(attributes == INVALID_FILE_ATTRIBUTES
                          ? CreateFileW(name, GENERIC_READ | GENERIC_WRITE, share, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr)
                          : CreateFileW(name, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file != INVALID_HANDLE_VALUE) {
      continue;
    }
    DWORD refusal = GetLastError();
    if (refusal == ERROR_ACCESS_DENIED || refusal == ERROR_WRITE_PROTECT) {
      error = refusal;
      fileItself = i == 0;
      return 0;
    }
  }
  return 1;
}

int CopyStoreFileToTemp(const wchar_t* path, WideString& copy) {
  wchar_t folder[MAX_PATH + 1] = {};
  wchar_t name[MAX_PATH + 1] = {};
  DWORD n = GetTempPathW(MAX_PATH, folder);
  if (n == 0 || n > MAX_PATH || !GetTempFileNameW(folder, L"plt", 0, name)) return 0;
  if (!copy.Assign(name)) {
    DeleteFileW(name);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  int ok = CopyFileW(path, name, FALSE);
  const wchar_t* const journals[2] = {L"-journal", L"-wal"};
  for (int i = 0; ok && i < 2; ++i) {
    WideString from, to;
    if (!from.Format(L"%s%s", path, journals[i]) || !to.Format(L"%s%s", name, journals[i])) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      ok = 0;
    } else {
      // A folder of a journal's name is no journal.
      DWORD attributes = GetFileAttributesW(from.CStr());
      if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ok = CopyFileW(from.CStr(), to.CStr(), FALSE);
        if (ok) SetFileAttributesW(to.CStr(), FILE_ATTRIBUTE_NORMAL);
      }
    }
  }
  // A read-only file gives a read-only copy, which SQLite could not use.
  if (ok) SetFileAttributesW(name, FILE_ATTRIBUTE_NORMAL);
  if (!ok) {
    DWORD error = GetLastError();
    RemoveStoreFileCopy(copy);
    SetLastError(error);
  }
  return ok;
}

void RemoveStoreFileCopy(const WideString& copy) {
  const wchar_t* const suffixes[4] = {L"", L"-wal", L"-shm", L"-journal"};
  for (const wchar_t* suffix : suffixes) {
    WideString path;
    if (path.Format(L"%s%s", copy.CStr(), suffix)) DeleteFileW(path.CStr());
  }
}

int CheckStoreFile(const wchar_t* path, StoreFileVerdict& verdict, bool leftCleanly) {
  verdict.problem.Assign(L"");
  verdict.systemError = 0;
  DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      verdict.state = StoreFileMissing;
      return 1;
    }
    return Verdict(verdict, StoreFileUnreadable, L"could not be read", error);
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Verdict(verdict, StoreFileUnreadable, L"is a folder, not a file");
  DWORD error = 0;
  if (OpenedElsewhere(path, error)) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
      return Verdict(verdict, StoreFileInUse, L"is in use by another program", error);
    return Verdict(verdict, StoreFileUnreadable, L"could not be read", error);
  }

  if (!WritableFormat(path)) {
    return Verdict(verdict, StoreFileIncompatible,
                   L"can be read but not written by this Pellton (it is damaged or was made by a newer program)");
  }

  // Reading a write-ahead journal makes an index file ("-shm") beside it,
  // which the store's own connection, holding the file alone, never uses or
  // removes: one made by this look goes again. (A program still using it
  // holds it open, and then it cannot be deleted.)
  WideString index;
  if (!index.Format(L"%s-shm", path)) return 0;
  const bool indexBefore = GetFileAttributesW(index.CStr()) != INVALID_FILE_ATTRIBUTES;
  bool needsWriting = false;
  int reached = 1;
  {
    Database database;
    reached = database.OpenReadOnly(path) ? Inspect(database, verdict, needsWriting, !leftCleanly)
                                          : StatementFailed(verdict, database.ErrorCode());
  }
  if (!indexBefore) DeleteFileW(index.CStr());
  if (!reached) return 0;
  if (!needsWriting && verdict.state != StoreFileUsable) return 1;
  // The file as the store last wrote it took writes then: no trial is needed.
  if (!needsWriting && leftCleanly) return 1;
  return InspectCopy(path, verdict, needsWriting);
}
