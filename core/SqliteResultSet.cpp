#include "core/SqliteResultSet.h"

#include <sqlite3.h>

#include "core/WideString.h"

SqliteResultSet::SqliteResultSet(Database* database, sqlite3_stmt* statement, bool onRow)
    : database_(database),
      statement_(statement),
      onRow_(statement && onRow),
      lastStep_(onRow ? SQLITE_ROW : SQLITE_DONE) {}

SqliteResultSet::~SqliteResultSet() { SqliteResultSet::Close(); }

void SqliteResultSet::Close() {
  if (statement_) sqlite3_finalize(statement_);
  statement_ = nullptr;
  onRow_ = false;
}

int SqliteResultSet::Step() {
  lastStep_ = sqlite3_step(statement_);
  onRow_ = lastStep_ == SQLITE_ROW;
  return onRow_ ? 1 : 0;
}

bool SqliteResultSet::StepFailed() const { return lastStep_ != SQLITE_ROW && lastStep_ != SQLITE_DONE; }

bool SqliteResultSet::Readable(int row, int column) const {
  return row == -1 && statement_ && onRow_ && column >= 0 &&
         column < sqlite3_column_count(statement_);
}

int SqliteResultSet::MoveFirst() {
  if (!statement_) return 0;
  sqlite3_reset(statement_);
  return Step();
}

int SqliteResultSet::MoveNext() {
  // Only from a row: past the end SQLite would start the statement over.
  if (!statement_ || !onRow_) return 0;
  return Step();
}

int SqliteResultSet::GetRowCount(int& count) {
  if (!statement_) return 0;
  int rows = 0;
  if (MoveFirst()) {
    ++rows;
    while (MoveNext()) ++rows;
  }
  // A walk cut short by an error has not seen every row.
  if (lastStep_ != SQLITE_DONE) return 0;
  MoveFirst();
  count = rows;
  return 1;
}

int SqliteResultSet::GetColumnCount(int& count) {
  if (!statement_) return 0;
  count = sqlite3_column_count(statement_);
  return 1;
}

int SqliteResultSet::GetColumnName(int column, WideString& name) {
  if (!statement_ || column < 0 || column >= sqlite3_column_count(statement_)) return 0;
  const void* origin = sqlite3_column_origin_name16(statement_, column);
  return name.Assign(origin ? static_cast<const wchar_t*>(origin) : L"");
}

int SqliteResultSet::GetValue(int row, int column, VARIANT& value) {
  if (!Readable(row, column)) return 0;
  VariantClear(&value);
  if (sqlite3_column_type(statement_, column) == SQLITE_NULL) {
    value.vt = VT_BSTR;
    value.bstrVal = nullptr;
    return 1;
  }
  // Out of memory (the text or the BSTR) gives 0 and an empty variant.
  const void* text = sqlite3_column_text16(statement_, column);
  if (!text) return 0;
  BSTR copy = SysAllocString(static_cast<const wchar_t*>(text));
  if (!copy) return 0;
  value.vt = VT_BSTR;
  value.bstrVal = copy;
  return 1;
}

int SqliteResultSet::GetInt(int row, int column, int& value) {
  if (!Readable(row, column)) return 0;
  // The low 32 bits.
  value = static_cast<int>(static_cast<unsigned>(sqlite3_column_int64(statement_, column)));
  return 1;
}

int SqliteResultSet::GetText(int row, int column, WideString& text) {
  if (!Readable(row, column)) return 0;
  if (sqlite3_column_type(statement_, column) == SQLITE_NULL) return text.Assign(L"");
  const void* value = sqlite3_column_text16(statement_, column);
  if (!value) return 0;  // out of memory
  return text.Assign(static_cast<const wchar_t*>(value));
}

int SqliteResultSet::GetBlob(int row, int column, ByteBuffer& buffer) {
  if (!Readable(row, column)) return 0;
  const void* bytes = sqlite3_column_blob(statement_, column);
  int size = sqlite3_column_bytes(statement_, column);
  if (!bytes || size <= 0) return 0;
  return BufferAppend(buffer, bytes, static_cast<size_t>(size));
}
