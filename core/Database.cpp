#include "core/Database.h"

#include <sqlite3.h>

#include <cstdlib>
#include <new>

#include "core/CriticalSection.h"

namespace {

// SQLite is initialised while any connection is held and shut down when the
// last one closes: shutting it down under another open connection (another
// Database in the same process) would pull the library from under it.
CriticalSection& LibraryLock() {
  static CriticalSection lock;
  return lock;
}
int libraryUsers = 0;

// The connection settings: errors are ignored.
void RunSetting(sqlite3* connection, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(connection, sql, -1, &statement, nullptr) == SQLITE_OK && statement)
    sqlite3_step(statement);
  sqlite3_finalize(statement);
}

char* ToUtf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return nullptr;
  char* utf8 = static_cast<char*>(malloc(static_cast<size_t>(n)));
  if (utf8 && WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, n, nullptr, nullptr) != n) {
    free(utf8);
    utf8 = nullptr;
  }
  return utf8;
}

}  // namespace

Database::~Database() { Close(); }

int Database::OpenWith(const wchar_t* path, int flags) {
  Close();
  errorCode_ = SQLITE_MISUSE;
  if (!path) return 0;
  char* utf8 = ToUtf8(path);
  if (!utf8) return 0;
  int rc;
  {
    SectionLock lock(LibraryLock());
    rc = sqlite3_initialize();
    if (rc == SQLITE_OK) {
      rc = sqlite3_open_v2(utf8, &connection_, flags, nullptr);
      if (connection_) ++libraryUsers;
    }
  }
  free(utf8);
  errorCode_ = rc & 0xFF;
  return rc == SQLITE_OK;
}

int Database::Open(const wchar_t* path, int synchronous, int exclusive, int writeAhead) {
  if (!OpenWith(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) return 0;
  if (synchronous == 0) RunSetting(connection_, "PRAGMA synchronous = OFF;");
  if (exclusive == 1) RunSetting(connection_, "PRAGMA locking_mode = EXCLUSIVE;");
  if (writeAhead == 1) RunSetting(connection_, "PRAGMA journal_mode=WAL;");
  return 1;
}

int Database::OpenReadOnly(const wchar_t* path) { return OpenWith(path, SQLITE_OPEN_READONLY); }

void Database::Close() {
  if (!connection_) return;
  sqlite3* connection = connection_;
  connection_ = nullptr;
  SectionLock lock(LibraryLock());
  if (sqlite3_close(connection) == SQLITE_OK) {
    // The write-ahead journal has been written back into the file.
    if (--libraryUsers == 0) sqlite3_shutdown();
    return;
  }
  // A result set is still out. The connection (and its file lock) goes when
  // that statement is finalized; the library stays initialised for it.
  sqlite3_close_v2(connection);
}

int Database::Execute(const wchar_t* sql, SqliteResultSet** result,
                      const BlobParameters* parameters) {
  if (result) *result = nullptr;
  errorCode_ = SQLITE_MISUSE;
  if (!connection_ || !sql) return 0;
  sqlite3_stmt* statement = nullptr;
  int prepared = sqlite3_prepare16_v2(connection_, sql, -1, &statement, nullptr);
  if (prepared != SQLITE_OK) {
    errorCode_ = prepared & 0xFF;
    sqlite3_finalize(statement);
    return 0;
  }
  if (!statement) return 0;  // no statement in the text
  if (parameters) {
    bool bound = true;
    for (int i = 0; i < 4; ++i) {
      const ByteBuffer* buffer = parameters->parameters[i];
      if (!buffer) continue;
      // SQLite takes an int length: a longer buffer is refused rather than cut.
      if (buffer->size > 0x7FFFFFFFULL ||
          sqlite3_bind_blob(statement, i + 1, buffer->data, static_cast<int>(buffer->size),
                            SQLITE_STATIC) != SQLITE_OK)
        bound = false;
    }
    if (!bound) {
      sqlite3_finalize(statement);
      return 0;
    }
  }
  int step = sqlite3_step(statement);
  if (step != SQLITE_ROW && step != SQLITE_DONE) {
    errorCode_ = step & 0xFF;
    sqlite3_finalize(statement);
    return 0;
  }
  errorCode_ = SQLITE_OK;
  if (!result) {
    sqlite3_finalize(statement);
    return 1;
  }
  *result = new (std::nothrow) SqliteResultSet(this, statement, step == SQLITE_ROW);
  if (!*result) {
    sqlite3_finalize(statement);
    return 0;
  }
  return 1;
}

QueryResult Database::Query(const wchar_t* sql, int mode) {
  QueryResult result;
  if (mode != 1) return result;
  if (!Execute(sql, result)) return result;
  int count = 0;
  if (!result->GetRowCount(count) || count == 0) {
    // A walk cut short by an error tells the error; no row is no error.
    errorCode_ = result->StepFailed() ? (result->StepCode() & 0xFF) : SQLITE_OK;
    result.Reset();
  }
  return result;
}

bool Database::InTransaction() const { return connection_ && sqlite3_get_autocommit(connection_) == 0; }

void Database::ReleaseResult(ResultSet* result) {
  if (!result) return;
  result->Close();
  delete result;
}
