#include "app/StoreFileCheck.h"

#include <windows.h>

#include <cstring>

#include "core/Database.h"

namespace {

const wchar_t* const kTables[2] = {L"walking", L"sleeping"};
const wchar_t* const kColumns[3] = {L"mac", L"start", L"pattern"};

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
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  unsigned char header[20] = {};
  DWORD got = 0;
  BOOL read = ReadFile(file, header, sizeof(header), &got, nullptr);
  CloseHandle(file);
  if (!read || got != sizeof(header) || memcmp(header, "SQLite format 3", 16) != 0) return true;
  return header[18] <= 2 && header[19] <= 2;
}

// Another program holding the file open without sharing it.
bool OpenedElsewhere(const wchar_t* path, DWORD& error) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
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
  SqliteResultSet* rows = database.Query(sql.CStr());
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
  // value (an insert naming only the store's columns would be refused).
  if (!sql.Format(L"SELECT name, \"notnull\" AND dflt_value IS NULL AND pk = 0 FROM pragma_table_info('%s');",
                  table)) {
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
  database.ReleaseResult(rows);
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

}  // namespace

int CheckStoreFile(const wchar_t* path, StoreFileVerdict& verdict) {
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

  Database database;
  if (!database.OpenReadOnly(path)) return StatementFailed(verdict, database.ErrorCode());
  // Reads every page and checks every index against its table (an index
  // that lost a row would let a download duplicate a run, or hide one): a
  // damaged file answers an error or a list of faults instead of the single
  // row "ok".
  SqliteResultSet* rows = database.Query(L"PRAGMA integrity_check;");
  if (!rows) return StatementFailed(verdict, database.ErrorCode());
  WideString first;
  int count = 0;
  int sound = rows->GetText(-1, 0, first) && wcscmp(first.CStr(), L"ok") == 0 && rows->GetRowCount(count) &&
              count == 1;
  database.ReleaseResult(rows);
  if (!sound) return Verdict(verdict, StoreFileDamaged, L"is damaged");

  for (const wchar_t* table : kTables) {
    bool fits = false;
    if (!CheckTable(database, table, verdict, fits)) return 0;
    if (!fits) return 1;
  }
  verdict.state = StoreFileUsable;
  return 1;
}
