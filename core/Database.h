// One connection to an SQLite database file. SQL is given as wide text; up
// to four BLOB parameters are bound by position from byte buffers; rows come
// back as result sets. Every failure is a 0 result (or no result set); the
// SQLite error text is not passed on.
//
// The wrapper takes no lock of its own: SQLite is built serialized, so one
// connection may be used from several threads. A result set is used by one
// thread at a time, and every result set is given back before Close: its
// QueryResult gives it back when it goes out of scope (ReleaseResult gives
// it back earlier).
#pragma once

#include "core/ByteBuffer.h"
#include "core/QueryResult.h"
#include "core/SqliteResultSet.h"

struct sqlite3;

// parameters[i], when present, is bound to SQL parameter number i + 1
// ("?1", or the first named parameter such as "@001"). The buffers are not
// copied: they must stay unchanged until the statement is done with, that is
// until Execute returns when no result set is asked for, else until the
// result set is given back. An empty buffer binds SQL NULL.
struct BlobParameters {
  const ByteBuffer* parameters[4] = {nullptr, nullptr, nullptr, nullptr};
};

// SQLite's primary result codes that callers tell apart (ErrorCode).
enum DatabaseErrorCode : int {
  DatabaseOk = 0,
  DatabaseError = 1,      // SQL or a file this SQLite cannot read (e.g. "unsupported file format")
  DatabaseBusy = 5,       // another connection holds a lock
  DatabaseLocked = 6,
  DatabaseNoMemory = 7,
  DatabaseReadOnly = 8,
  DatabaseIoError = 10,
  DatabaseCorrupt = 11,   // a damaged page
  DatabaseCantOpen = 14,
  DatabaseNotADatabase = 26,
};

class Database {
public:
  Database() = default;
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Open's connection settings, by name.
  enum Synchronous { NoDiskWait = 0, WaitForDisk = 1 };
  enum Locking { SharedLocking = 0, ExclusiveLocking = 1 };
  enum Journal { RollbackJournal = 0, WriteAheadJournal = 1 };

  // Opens the file, creating it if missing, and applies the connection
  // settings: synchronous 0 (NoDiskWait) turns off waiting for the disk,
  // exclusive 1 (ExclusiveLocking) keeps the file locked against other
  // connections from the first access until Close, writeAhead 1
  // (WriteAheadJournal) switches to the write-ahead journal. 1 if the file
  // was opened. Even after a failed open a connection is held (on which
  // every statement fails) until Close.
  int Open(const wchar_t* path, int synchronous, int exclusive, int writeAhead);
  // Opens an existing file for reading only: nothing is written into it (a
  // write-ahead journal beside it is read, and its shared-memory index may
  // be made beside it). No connection settings are applied.
  int OpenReadOnly(const wchar_t* path);
  void Close();
  bool IsOpen() const { return connection_ != nullptr; }

  // Runs the first statement of the SQL text. With a result-set out, the
  // result set (on its first row when the statement gave one) is handed out
  // and must be given back with ReleaseResult. 1 on success.
  int Execute(const wchar_t* sql, SqliteResultSet** result = nullptr,
              const BlobParameters* parameters = nullptr);
  // The same, with the result set held until the holder goes (or is reset).
  int Execute(const wchar_t* sql, QueryResult& result, const BlobParameters* parameters = nullptr) {
    return Execute(sql, result.Out(), parameters);
  }
  // A SELECT's rows, positioned on the first; empty when the statement
  // fails or gives no row. mode must be 1.
  QueryResult Query(const wchar_t* sql, int mode = 1);
  // Closes and deletes a result set from Execute or Query.
  void ReleaseResult(ResultSet* result);
  // Gives the held result set back now; the holder is empty after.
  void ReleaseResult(QueryResult& result) { result.Reset(); }

  // The SQLite primary result code of the last Open, OpenReadOnly, Execute
  // or Query on this object: 0 after success, else SQLITE_NOTADB,
  // SQLITE_CORRUPT, SQLITE_BUSY and so on. Read it on the thread that ran
  // the statement, under whatever serialises the caller's statements.
  int ErrorCode() const { return errorCode_; }

  // A transaction is open on the connection (BEGIN without its end yet).
  // SQLite ends one by itself when a statement inside it fails badly (a
  // full disk, an I/O error): the caller learns here that it is gone.
  bool InTransaction() const;

  // The SQLite connection itself, for what the wrapper does not offer (the
  // online backup, prepared statements read row by row); none while closed.
  // Used under whatever serialises the caller's statements.
  sqlite3* Handle() const { return connection_; }

private:
  int OpenWith(const wchar_t* path, int flags);

  sqlite3* connection_ = nullptr;
  int errorCode_ = 0;
};
