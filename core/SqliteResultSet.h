// The rows of one SQLite statement. The statement is stepped as the caller
// moves: the result set is on a row after a MoveFirst or MoveNext that
// answered 1, and the getters read that current row (row argument -1) only.
#pragma once

#include "core/ByteBuffer.h"
#include "core/ResultSet.h"

struct sqlite3_stmt;

class SqliteResultSet : public ResultSet {
public:
  // Takes over the statement. onRow: its first step gave a row.
  SqliteResultSet(Database* database, sqlite3_stmt* statement, bool onRow);
  ~SqliteResultSet() override;

  void Close() override;
  int GetValue(int row, int column, VARIANT& value) override;
  // Runs the statement again from the start to count its rows, and leaves
  // the result set on the first row.
  int GetRowCount(int& count) override;
  int GetColumnCount(int& count) override;
  // The name of the table column the result column comes from (not an
  // alias given in the SELECT); an expression has none: "".
  int GetColumnName(int column, WideString& name) override;
  int MoveFirst() override;
  int MoveNext() override;
  int GetInt(int row, int column, int& value) override;
  int GetText(int row, int column, WideString& text) override;

  // Appends the column's bytes to the buffer, which is not emptied first.
  // 0 for a NULL or zero-length value, and when the buffer cannot grow (it
  // then keeps its old contents).
  virtual int GetBlob(int row, int column, ByteBuffer& buffer);

  Database* GetDatabase() const { return database_; }

  // The last step ended in an error rather than on a row or at the end (a
  // damaged page, a lost lock): MoveNext's 0 then is not the end of the
  // rows. StepCode is SQLite's code for that step.
  bool StepFailed() const;
  int StepCode() const { return lastStep_; }

private:
  int Step();
  bool Readable(int row, int column) const;

  Database* database_;
  sqlite3_stmt* statement_;
  bool onRow_;
  int lastStep_;
};
