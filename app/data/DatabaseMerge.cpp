#include "app/data/DatabaseMerge.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>

#include "app/data/OutputFile.h"

#include "app/store/StoreFileCheck.h"
#include "core/KernelHandle.h"

namespace {

const char* const kTables[2] = {"walking", "sleeping"};

class Statement {
public:
  ~Statement() { sqlite3_finalize(statement_); }
  int Prepare(sqlite3* database, const char* sql) {
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    return sqlite3_prepare_v2(database, sql, -1, &statement_, nullptr) == SQLITE_OK && statement_;
  }
  sqlite3_stmt* operator*() const { return statement_; }

private:
  sqlite3_stmt* statement_ = nullptr;
};

struct MergeWork {
  sqlite3* theirs;
  ReadProgress* progress;
  MergeTally tally;
  WideString problem;
  bool cancelled = false;
};

bool HasTable(sqlite3* database, const char* table) {
  Statement look;
  if (!look.Prepare(database, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1;")) return false;
  sqlite3_bind_text(*look, 1, table, -1, SQLITE_STATIC);
  return sqlite3_step(*look) == SQLITE_ROW;
}

int Failed(MergeWork& work, sqlite3* database, const wchar_t* what) {
  work.problem.Format(L"%s (%S)", what, sqlite3_errmsg(database));
  return 0;
}

int MergeTable(sqlite3* ours, MergeWork& work, int table, unsigned long long total, unsigned long long& done) {
  if (!HasTable(work.theirs, kTables[table])) return 1;
  char sql[160];
  Statement rows, look, insert, update;
  snprintf(sql, sizeof sql, "SELECT mac, start, pattern FROM %s;", kTables[table]);
  if (!rows.Prepare(work.theirs, sql)) return Failed(work, work.theirs, L"the other file's runs could not be read");
  snprintf(sql, sizeof sql, "SELECT max(length(pattern)) FROM %s WHERE mac = ?1 AND start = ?2;", kTables[table]);
  if (!look.Prepare(ours, sql)) return Failed(work, ours, L"our runs could not be read");
  snprintf(sql, sizeof sql, "INSERT INTO %s (mac, start, pattern) VALUES (?1, ?2, ?3);", kTables[table]);
  if (!insert.Prepare(ours, sql)) return Failed(work, ours, L"runs could not be added");
  // A replaced run gets a new row, as a download's replacement does: the
  // Trends summaries find the runs written since they were made by their
  // row numbers.
  snprintf(sql, sizeof sql, "INSERT OR REPLACE INTO %s (mac, start, pattern) VALUES (?1, ?2, ?3);", kTables[table]);
  if (!update.Prepare(ours, sql)) return Failed(work, ours, L"runs could not be replaced");
  for (;;) {
    int step = sqlite3_step(*rows);
    if (step == SQLITE_DONE) return 1;
    if (step != SQLITE_ROW) return Failed(work, work.theirs, L"the other file's runs could not be read");
    ++done;
    if (work.progress && !work.progress->Runs(done, total)) {
      work.cancelled = true;
      work.problem.Assign(L"the merge was cancelled");
      return 0;
    }
    const char* mac = reinterpret_cast<const char*>(sqlite3_column_text(*rows, 0));
    const long long start = sqlite3_column_int64(*rows, 1);
    const void* pattern = sqlite3_column_blob(*rows, 2);
    const int length = sqlite3_column_bytes(*rows, 2);
    if (!mac || !IsTrackerAddress(mac) || sqlite3_column_type(*rows, 1) != SQLITE_INTEGER || start < 0 ||
        start > 0xFFFFFFFFLL || sqlite3_column_type(*rows, 2) != SQLITE_BLOB || !pattern || length <= 0) {
      ++work.tally.skipped;
      continue;
    }
    sqlite3_reset(*look);
    sqlite3_bind_text(*look, 1, mac, -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(*look, 2, start);
    if (sqlite3_step(*look) != SQLITE_ROW) return Failed(work, ours, L"our runs could not be read");
    const bool present = sqlite3_column_type(*look, 0) != SQLITE_NULL;
    const long long ourLength = sqlite3_column_int64(*look, 0);
    sqlite3_reset(*look);
    if (present && ourLength >= length) {
      ++work.tally.unchanged;
      continue;
    }
    sqlite3_stmt* write = present ? *update : *insert;
    sqlite3_reset(write);
    sqlite3_bind_text(write, 1, mac, -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(write, 2, start);
    sqlite3_bind_blob(write, 3, pattern, length, SQLITE_STATIC);
    if (sqlite3_step(write) != SQLITE_DONE) {
      return Failed(work, ours, present ? L"a run could not be replaced" : L"a run could not be added");
    }
    sqlite3_reset(write);
    if (present) {
      ++work.tally.replaced;
    } else {
      ++work.tally.added;
    }
  }
}

unsigned long long CountRuns(sqlite3* database) {
  unsigned long long total = 0;
  for (const char* table : kTables) {
    if (!HasTable(database, table)) continue;
    char sql[64];
    snprintf(sql, sizeof sql, "SELECT count(*) FROM %s;", table);
    Statement count;
    if (count.Prepare(database, sql) && sqlite3_step(*count) == SQLITE_ROW) {
      total += static_cast<unsigned long long>(sqlite3_column_int64(*count, 0));
    }
  }
  return total;
}

int MergeInto(sqlite3* ours, void* context) {
  MergeWork& work = *static_cast<MergeWork*>(context);
  const unsigned long long total = CountRuns(work.theirs);
  if (sqlite3_exec(ours, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return Failed(work, ours, L"our database could not be written");
  }
  unsigned long long done = 0;
  int ok = MergeTable(ours, work, 0, total, done) && MergeTable(ours, work, 1, total, done);
  if (ok && sqlite3_exec(ours, "COMMIT;", nullptr, nullptr, nullptr) != SQLITE_OK) {
    ok = Failed(work, ours, L"the merged runs could not be written");
  }
  if (!ok) {
    sqlite3_exec(ours, "ROLLBACK;", nullptr, nullptr, nullptr);
    work.tally = MergeTally();
  }
  return ok;
}

}  // namespace

int CheckMergeFile(const wchar_t* path, WideString& problem) {
  // The look through a read-only connection leaves an empty journal beside
  // a file in write-ahead mode: one it made goes again.
  WideString journal;
  journal.Format(L"%s-wal", path);
  const bool journalBefore = GetFileAttributesW(journal.CStr()) != INVALID_FILE_ATTRIBUTES;
  StoreFileVerdict verdict;
  int looked = CheckStoreFile(path, verdict);
  WIN32_FILE_ATTRIBUTE_DATA found;
  if (!journalBefore && GetFileAttributesExW(journal.CStr(), GetFileExInfoStandard, &found) && !found.nFileSizeLow &&
      !found.nFileSizeHigh) {
    DeleteFileW(journal.CStr());
  }
  if (!looked) {
    problem.Assign(L"could not be read (out of memory)");
    return 0;
  }
  switch (verdict.state) {
    case StoreFileUsable: {
      // An empty file or another program's database holds no runs to
      // merge: it is refused, not reported as merged.
      ReadOnlyDatabase look;
      WideString unread;
      if (look.Open(path, unread) && !HasTable(look.Handle(), kTables[0]) && !HasTable(look.Handle(), kTables[1])) {
        problem.Assign(L"is not a Pellton database");
        return 0;
      }
      return 1;
    }
    case StoreFileMissing:
      problem.Assign(L"does not exist");
      return 0;
    default:
      break;
  }
  problem.Assign(verdict.problem.IsEmpty() ? L"could not be read" : verdict.problem.CStr());
  if (verdict.systemError && verdict.state != StoreFileInUse) {
    WideString reason;
    SystemErrorText(verdict.systemError, reason);
    WideString what(problem);
    problem.Format(L"%s (%s)", what.CStr(), reason.CStr());
  }
  return 0;
}

bool SameFile(const wchar_t* first, const wchar_t* second) {
  BY_HANDLE_FILE_INFORMATION a = {}, b = {};
  bool got[2] = {false, false};
  const wchar_t* paths[2] = {first, second};
  BY_HANDLE_FILE_INFORMATION* infos[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    KernelHandle file(CreateFileW(paths[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file == INVALID_HANDLE_VALUE) continue;
    got[i] = GetFileInformationByHandle(file, infos[i]) != 0;
  }
  if (got[0] && got[1]) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
  }
  // A file that cannot be opened: its full path decides.
  wchar_t full[2][MAX_PATH] = {};
  return GetFullPathNameW(first, MAX_PATH, full[0], nullptr) && GetFullPathNameW(second, MAX_PATH, full[1], nullptr) &&
         _wcsicmp(full[0], full[1]) == 0;
}

int MergeRuns(DatabaseSource& ours, const wchar_t* theirs, ReadProgress* progress, MergeTally& tally,
              WideString& problem) {
  tally = MergeTally();
  problem.Assign(L"");
  WideString copy;
  if (!CopyStoreFileToTemp(theirs, copy)) {
    WideString reason;
    SystemErrorText(GetLastError(), reason);
    problem.Format(L"the other file could not be copied to the temporary folder (%s)", reason.CStr());
    return 0;
  }
  char path[4 * MAX_PATH];
  sqlite3* connection = nullptr;
  int ok = WideCharToMultiByte(CP_UTF8, 0, copy.CStr(), -1, path, sizeof path, nullptr, nullptr) > 0 &&
           sqlite3_open_v2(path, &connection, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
  if (!ok) {
    problem.Format(L"the other file could not be opened (%S)", connection ? sqlite3_errmsg(connection) : "");
  } else {
    MergeWork work;
    work.theirs = connection;
    work.progress = progress;
    ok = ours.WithWritable(MergeInto, &work);
    if (ok) {
      tally = work.tally;
    } else if (!work.problem.IsEmpty()) {
      problem.Assign(work.problem);
    } else {
      // Read-only, the store reads a temporary copy: runs merged into it
      // would be lost when it closes.
      problem.Assign(ours.ReadOnly() ? L"our database cannot be written" : L"our database is not open");
    }
  }
  sqlite3_close(connection);
  RemoveStoreFileCopy(copy);
  return ok;
}
