// Copies of the activity database made with SQLite's online backup: page by
// page from the connection in use, so the copy is consistent even while a
// download is being stored (the copy waits for the download's transaction,
// and what is stored through the same connection while it goes on is
// taken into it). A backup is a new file "Pellton-YYYYMMDD-HHMMSS.sql" (local
// time; "-2", "-3" ... when that name is taken) in a folder, made under a
// temporary name there, checked with PRAGMA integrity_check and only then
// given its name.
#pragma once

#include <windows.h>

#include "app/data/StoredUnits.h"
#include "core/WideString.h"

class ActivityStore;
class Database;

// Where a copy is read from: runs work with the connection, under whatever
// keeps other statements off it meanwhile; answers what work answers (0
// when there is no connection).
class DatabaseSource {
public:
  virtual ~DatabaseSource() {}
  virtual int With(int (*work)(sqlite3* connection, void* context), void* context) = 0;
  // The same for work that writes into it: 0 without running it when the
  // connection may not be written (ReadOnly).
  virtual int WithWritable(int (*work)(sqlite3* connection, void* context), void* context) {
    return With(work, context);
  }
  virtual bool ReadOnly() { return false; }
  // Pages copied at a time (-1: all at once): each step holds the
  // connection against other users.
  virtual int PagesPerStep() const { return 256; }
};

// A connection of this process's own (a command-line run holding the file).
class ConnectionSource : public DatabaseSource {
public:
  explicit ConnectionSource(sqlite3* connection) : connection_(connection) {}
  int With(int (*work)(sqlite3*, void*), void* context) override {
    return connection_ ? work(connection_, context) : 0;
  }
  // Nobody else uses it: one step.
  int PagesPerStep() const override { return -1; }

private:
  sqlite3* connection_;
};

// The store's connection, statement by statement under the store's lock.
class StoreSource : public DatabaseSource {
public:
  explicit StoreSource(ActivityStore& store) : store_(store) {}
  int With(int (*work)(sqlite3*, void*), void* context) override;
  int WithWritable(int (*work)(sqlite3*, void*), void* context) override;
  bool ReadOnly() override;

private:
  ActivityStore& store_;
};

// A read-only connection of this process's own: nothing is written into
// the file, and the empty journal and index that reading a file in
// write-ahead mode makes beside it go again when it closes (a journal that
// holds anything is never removed).
class ReadOnlyDatabase {
public:
  ReadOnlyDatabase() = default;
  ~ReadOnlyDatabase();
  ReadOnlyDatabase(const ReadOnlyDatabase&) = delete;
  ReadOnlyDatabase& operator=(const ReadOnlyDatabase&) = delete;
  // 1/0 with SQLite's complaint.
  int Open(const wchar_t* path, WideString& problem);
  sqlite3* Handle() const { return connection_; }

private:
  sqlite3* connection_ = nullptr;
  WideString beside_[2];  // the index and the journal
  bool made_[2] = {false, false};
};

// Copies the database into the file at destination (a new path, or an
// empty file made for it). 1/0 with problem; a failed copy leaves the
// destination to the caller to remove. The progress is told pages as runs.
int CopyDatabase(DatabaseSource& source, const wchar_t* destination, ReadProgress* progress, WideString& problem);

// 1 when SQLite's integrity check of the file answers "ok"; else 0 with
// its first complaint.
int CheckDatabaseFile(const wchar_t* path, WideString& problem);

// "Pellton-YYYYMMDD-HHMMSS.sql", with "-N" before ".sql" for serial N > 1.
void BackupName(const SYSTEMTIME& when, unsigned serial, WideString& name);
// A name BackupName makes (any time, any serial); the automatic backups
// delete no other file.
bool IsBackupName(const wchar_t* name);

// A backup on its way into a folder: a temporary file there to copy into,
// then checked and named. A backup never finished leaves nothing.
class BackupFile {
public:
  BackupFile() = default;
  ~BackupFile();
  BackupFile(const BackupFile&) = delete;
  BackupFile& operator=(const BackupFile&) = delete;

  // The folder must exist and take a new file. 1/0 with problem.
  int Begin(const wchar_t* folder, WideString& problem);
  const WideString& Temporary() const { return temporary_; }
  // Checks the copy and gives it its name; 1 with the path, 0 with problem.
  int Finish(const SYSTEMTIME& when, WideString& path, WideString& problem);
  void Abandon();
  // The temporary file was given a name of the caller's: nothing to remove.
  void Forget() { temporary_.Assign(L""); }

private:
  WideString folder_;
  WideString temporary_;
};

// Begin, CopyDatabase, Finish: a backup of the source into the folder.
int BackUpInto(DatabaseSource& source, const wchar_t* folder, ReadProgress* progress, WideString& path,
               WideString& problem);

// A checked copy of the source under a name the user chose (replacing a
// file of that name only once the copy is complete). 1/0 with problem.
int CopyDatabaseTo(DatabaseSource& source, const wchar_t* path, ReadProgress* progress, WideString& problem);

// Deletes the oldest backups (files with a BackupName) in the folder beyond
// the newest keep; no other file is touched. Answers how many went.
unsigned PruneBackups(const wchar_t* folder, unsigned keep);
