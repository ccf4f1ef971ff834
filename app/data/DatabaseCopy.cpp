#include "app/data/DatabaseCopy.h"

#include <sqlite3.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/data/OutputFile.h"
#include "core/KernelHandle.h"

namespace {

// Steps answered "busy" (the file locked by something else for a moment)
// before the copy gives up.
const int kBusyTries = 200;

struct StoreWork {
  int (*work)(sqlite3*, void*);
  void* context;
};

int RunOnStore(Database& database, void* context) {
  StoreWork& call = *static_cast<StoreWork*>(context);
  return call.work(database.Handle(), call.context);
}

struct CopyState {
  sqlite3* destination = nullptr;
  sqlite3_backup* backup = nullptr;
  int code = SQLITE_OK;
  int remaining = 0;
  int pages = 0;
  int pagesPerStep = 256;
  WideString problem;
};

int BeginCopy(sqlite3* connection, void* context) {
  CopyState& state = *static_cast<CopyState*>(context);
  state.backup = sqlite3_backup_init(state.destination, "main", connection, "main");
  if (!state.backup) {
    state.problem.Format(L"the copy could not be begun (%S)", sqlite3_errmsg(state.destination));
    return 0;
  }
  return 1;
}

int StepCopy(sqlite3*, void* context) {
  CopyState& state = *static_cast<CopyState*>(context);
  state.code = sqlite3_backup_step(state.backup, state.pagesPerStep);
  state.remaining = sqlite3_backup_remaining(state.backup);
  state.pages = sqlite3_backup_pagecount(state.backup);
  return 1;
}

int EndCopy(sqlite3*, void* context) {
  CopyState& state = *static_cast<CopyState*>(context);
  state.code = sqlite3_backup_finish(state.backup);
  state.backup = nullptr;
  return 1;
}

int Utf8(const wchar_t* text, char* out, int room) {
  return WideCharToMultiByte(CP_UTF8, 0, text, -1, out, room, nullptr, nullptr) > 0;
}

}  // namespace

int StoreSource::With(int (*work)(sqlite3*, void*), void* context) {
  StoreWork call = {work, context};
  return store_.WithConnection(RunOnStore, &call);
}

int StoreSource::WithWritable(int (*work)(sqlite3*, void*), void* context) {
  StoreWork call = {work, context};
  return store_.WithWritableConnection(RunOnStore, &call);
}

bool StoreSource::ReadOnly() {
  return store_.IsReadOnly();
}

int CopyDatabase(DatabaseSource& source, const wchar_t* destination, ReadProgress* progress, WideString& problem) {
  problem.Assign(L"");
  char path[4 * MAX_PATH];
  if (!destination || !Utf8(destination, path, sizeof path)) {
    problem.Assign(L"the copy has no usable file name");
    return 0;
  }
  CopyState state;
  state.pagesPerStep = source.PagesPerStep();
  if (sqlite3_open_v2(path, &state.destination, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    problem.Format(L"the copy could not be made (%S)",
                   state.destination ? sqlite3_errmsg(state.destination) : "out of memory");
    sqlite3_close(state.destination);
    return 0;
  }
  // The copy is a temporary file until it is checked and named: it needs no
  // journal and no waiting for the disk on every step; it is written
  // through to the disk once, when complete.
  sqlite3_exec(state.destination, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
  int ok = source.With(BeginCopy, &state);
  if (!ok && state.problem.IsEmpty()) state.problem.Assign(L"the database is not open");
  int busy = 0;
  bool cancelled = false;
  while (ok) {
    if (!source.With(StepCopy, &state)) {
      // The store was closed meanwhile: no step can follow.
      state.problem.Assign(L"the database was closed during the copy");
      ok = 0;
      break;
    }
    if (state.code == SQLITE_DONE) break;
    if (state.code == SQLITE_BUSY || state.code == SQLITE_LOCKED) {
      if (++busy > kBusyTries) {
        state.problem.Assign(L"the database stayed locked");
        ok = 0;
        break;
      }
      Sleep(10);
      continue;
    }
    if (state.code != SQLITE_OK) {
      state.problem.Format(L"the database could not be read (%S)", sqlite3_errstr(state.code));
      ok = 0;
      break;
    }
    busy = 0;
    if (progress && !progress->Runs(static_cast<unsigned long long>(state.pages - state.remaining),
                                    static_cast<unsigned long long>(state.pages))) {
      cancelled = true;
      ok = 0;
    }
  }
  if (state.backup) {
    // A connection closed with a copy under way lives on until the copy
    // ends: it is ended here when the source no longer lends it.
    if (!source.With(EndCopy, &state)) EndCopy(nullptr, &state);
    if (ok && state.code != SQLITE_OK) {
      state.problem.Format(L"the copy could not be completed (%S)", sqlite3_errstr(state.code));
      ok = 0;
    }
  }
  if (cancelled) state.problem.Assign(L"the copy was cancelled");
  // A copy is one file of its own, without a write-ahead journal beside it.
  if (ok && sqlite3_exec(state.destination, "PRAGMA journal_mode=DELETE;", nullptr, nullptr, nullptr) != SQLITE_OK) {
    state.problem.Format(L"the copy could not be completed (%S)", sqlite3_errmsg(state.destination));
    ok = 0;
  }
  if (sqlite3_close(state.destination) != SQLITE_OK && ok) {
    state.problem.Assign(L"the copy could not be closed");
    ok = 0;
  }
  if (ok) {
    KernelHandle file(CreateFileW(destination, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file == INVALID_HANDLE_VALUE || !FlushFileBuffers(file)) {
      WideString reason;
      SystemErrorText(GetLastError(), reason);
      state.problem.Format(L"the copy could not be written to the disk (%s)", reason.CStr());
      ok = 0;
    }
  }
  if (!ok) problem.Assign(state.problem);
  return ok;
}

int CheckDatabaseFile(const wchar_t* path, WideString& problem) {
  problem.Assign(L"");
  char utf8[4 * MAX_PATH];
  if (!path || !Utf8(path, utf8, sizeof utf8)) {
    problem.Assign(L"the copy has no usable file name");
    return 0;
  }
  sqlite3* connection = nullptr;
  int ok = 0;
  if (sqlite3_open_v2(utf8, &connection, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    // The check reads pages several times: mapped (up to 64 MB), they are
    // read from the disk once.
    sqlite3_exec(connection, "PRAGMA mmap_size=67108864;", nullptr, nullptr, nullptr);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(connection, "PRAGMA integrity_check;", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      const char* answer = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
      ok = answer && strcmp(answer, "ok") == 0;
      if (!ok) problem.Format(L"the copy failed its integrity check: %S", answer ? answer : "no answer");
    } else {
      problem.Format(L"the copy could not be checked (%S)", sqlite3_errmsg(connection));
    }
    sqlite3_finalize(statement);
  } else {
    problem.Format(L"the copy could not be checked (%S)", connection ? sqlite3_errmsg(connection) : "out of memory");
  }
  sqlite3_close(connection);
  return ok;
}

void BackupName(const SYSTEMTIME& when, unsigned serial, WideString& name) {
  name.Format(L"Pellton-%04u%02u%02u-%02u%02u%02u", when.wYear, when.wMonth, when.wDay, when.wHour, when.wMinute,
              when.wSecond);
  if (serial > 1) {
    WideString suffix;
    suffix.Format(L"-%u", serial);
    name.Append(suffix);
  }
  name.Append(L".sql");
}

bool IsBackupName(const wchar_t* name) {
  // Pellton-YYYYMMDD-HHMMSS[-N].sql
  if (!name || _wcsnicmp(name, L"Pellton-", 8) != 0) return false;
  const wchar_t* p = name + 8;
  for (int i = 0; i < 15; ++i, ++p) {
    if (i == 8 ? *p != L'-' : !iswdigit(*p)) return false;
  }
  if (*p == L'-') {
    ++p;
    if (!iswdigit(*p) || *p == L'0') return false;
    while (iswdigit(*p)) ++p;
  }
  return _wcsicmp(p, L".sql") == 0;
}

BackupFile::~BackupFile() { Abandon(); }

void BackupFile::Abandon() {
  if (temporary_.IsEmpty()) return;
  DeleteFileW(temporary_.CStr());
  WideString journal;
  journal.Format(L"%s-journal", temporary_.CStr());
  DeleteFileW(journal.CStr());
  temporary_.Assign(L"");
}

int BackupFile::Begin(const wchar_t* folder, WideString& problem) {
  Abandon();
  problem.Assign(L"");
  DWORD needed = folder && *folder ? GetFullPathNameW(folder, 0, nullptr, nullptr) : 0;
  if (!needed || !folder_.Reset(needed + 1) || !GetFullPathNameW(folder, needed + 1, folder_.Buffer(), nullptr)) {
    problem.Assign(L"is no folder name");
    return 0;
  }
  folder_.UpdateLength();
  DWORD attributes = GetFileAttributesW(folder_.CStr());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    problem.Assign(L"is no existing folder");
    return 0;
  }
  folder_.EnsureTrailing(L'\\');
  wchar_t temporary[MAX_PATH + 16] = {};
  if (folder_.Length() > MAX_PATH - 14 || !GetTempFileNameW(folder_.CStr(), L"pel", 0, temporary)) {
    WideString reason;
    SystemErrorText(GetLastError(), reason);
    problem.Format(L"cannot take a new file (%s)", reason.CStr());
    return 0;
  }
  temporary_.Assign(temporary);
  return 1;
}

int BackupFile::Finish(const SYSTEMTIME& when, WideString& path, WideString& problem) {
  if (temporary_.IsEmpty()) {
    problem.Assign(L"the copy was not begun");
    return 0;
  }
  if (!CheckDatabaseFile(temporary_.CStr(), problem)) {
    Abandon();
    return 0;
  }
  for (unsigned serial = 1; serial < 1000; ++serial) {
    WideString name;
    BackupName(when, serial, name);
    path.Format(L"%s%s", folder_.CStr(), name.CStr());
    if (MoveFileExW(temporary_.CStr(), path.CStr(), MOVEFILE_WRITE_THROUGH)) {
      temporary_.Assign(L"");
      return 1;
    }
    DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
      WideString reason;
      SystemErrorText(error, reason);
      problem.Format(L"the copy could not be named %s (%s)", path.CStr(), reason.CStr());
      break;
    }
  }
  if (problem.IsEmpty()) problem.Assign(L"every name for the copy is taken");
  path.Assign(L"");
  Abandon();
  return 0;
}

int BackUpInto(DatabaseSource& source, const wchar_t* folder, ReadProgress* progress, WideString& path,
               WideString& problem) {
  BackupFile file;
  if (!file.Begin(folder, problem)) {
    WideString what(problem);
    problem.Format(L"the folder %s %s", folder ? folder : L"", what.CStr());
    return 0;
  }
  if (!CopyDatabase(source, file.Temporary().CStr(), progress, problem)) return 0;
  SYSTEMTIME now;
  GetLocalTime(&now);
  return file.Finish(now, path, problem);
}

ReadOnlyDatabase::~ReadOnlyDatabase() {
  sqlite3_close(connection_);
  for (int i = 0; i < 2; ++i) {
    WIN32_FILE_ATTRIBUTE_DATA found;
    if (made_[i] && GetFileAttributesExW(beside_[i].CStr(), GetFileExInfoStandard, &found) &&
        (i == 0 || (found.nFileSizeLow == 0 && found.nFileSizeHigh == 0))) {
      DeleteFileW(beside_[i].CStr());
    }
  }
}

int ReadOnlyDatabase::Open(const wchar_t* path, WideString& problem) {
  char utf8[4 * MAX_PATH];
  if (connection_ || !Utf8(path, utf8, sizeof utf8)) return 0;
  const wchar_t* const suffixes[2] = {L"-shm", L"-wal"};
  for (int i = 0; i < 2; ++i) {
    beside_[i].Format(L"%s%s", path, suffixes[i]);
    made_[i] = GetFileAttributesW(beside_[i].CStr()) == INVALID_FILE_ATTRIBUTES;
  }
  if (sqlite3_open_v2(utf8, &connection_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
      sqlite3_exec(connection_, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr) != SQLITE_OK) {
    problem.Format(L"%S", connection_ ? sqlite3_errmsg(connection_) : "out of memory");
    return 0;
  }
  return 1;
}

int CopyDatabaseTo(DatabaseSource& source, const wchar_t* path, ReadProgress* progress, WideString& problem) {
  WideString folder(path);
  int slash = folder.FindLastChar(L'\\');
  if (slash < 0) {
    problem.Assign(L"the copy has no usable file name");
    return 0;
  }
  // "D:\copy.sql" is in "D:\", not in the drive's current folder "D:".
  folder.Left(slash == 2 && path[1] == L':' ? slash + 1 : slash);
  BackupFile file;
  if (!file.Begin(folder.CStr(), problem)) {
    WideString what(problem);
    problem.Format(L"the folder %s %s", folder.CStr(), what.CStr());
    return 0;
  }
  if (!CopyDatabase(source, file.Temporary().CStr(), progress, problem) ||
      !CheckDatabaseFile(file.Temporary().CStr(), problem)) {
    return 0;
  }
  if (!MoveFileExW(file.Temporary().CStr(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    WideString reason;
    SystemErrorText(GetLastError(), reason);
    problem.Format(L"the copy could not be named %s (%s)", path, reason.CStr());
    return 0;
  }
  file.Forget();
  return 1;
}

unsigned PruneBackups(const wchar_t* folder, unsigned keep) {
  // Newest first: by the time in the name, then by the serial after it.
  struct Found {
    std::wstring name;
    unsigned long long when;
    unsigned serial;
  };
  std::vector<Found> backups;
  WideString pattern;
  pattern.Format(L"%s\\Pellton-*.sql", folder);
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(pattern.CStr(), &data);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsBackupName(data.cFileName)) continue;
    Found found = {data.cFileName, 0, 1};
    for (const wchar_t* p = data.cFileName + 8; p < data.cFileName + 23; ++p) {
      if (iswdigit(*p)) found.when = found.when * 10 + static_cast<unsigned>(*p - L'0');
    }
    if (data.cFileName[23] == L'-') found.serial = static_cast<unsigned>(wcstoul(data.cFileName + 24, nullptr, 10));
    backups.push_back(found);
  } while (FindNextFileW(search, &data));
  FindClose(search);
  std::sort(backups.begin(), backups.end(), [](const Found& a, const Found& b) {
    return a.when != b.when ? a.when > b.when : a.serial > b.serial;
  });
  unsigned deleted = 0;
  for (size_t i = keep; i < backups.size(); ++i) {
    WideString path;
    path.Format(L"%s\\%s", folder, backups[i].name.c_str());
    if (DeleteFileW(path.CStr())) ++deleted;
  }
  return deleted;
}
