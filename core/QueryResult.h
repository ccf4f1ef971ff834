// The rows a query handed out, given back (closed, their statement
// finalized) when their holder goes out of scope, on every path; release
// them earlier with Database::ReleaseResult or Reset. The holder reads
// through -> as the result set itself and is empty where the bare result
// set was none: a failed statement, or a query that gave no row. It is
// moved, never copied, and never turns into a bare pointer by itself, so a
// result set cannot outlive its holder unnoticed.
#pragma once

#include "core/SqliteResultSet.h"

class QueryResult {
public:
  QueryResult() = default;
  explicit QueryResult(SqliteResultSet* rows) : rows_(rows) {}
  ~QueryResult() { Reset(); }
  QueryResult(const QueryResult&) = delete;
  QueryResult& operator=(const QueryResult&) = delete;
  QueryResult(QueryResult&& other) noexcept : rows_(other.Detach()) {}
  QueryResult& operator=(QueryResult&& other) noexcept;

  SqliteResultSet* operator->() const { return rows_; }
  SqliteResultSet* Get() const { return rows_; }
  explicit operator bool() const { return rows_ != nullptr; }

  // Gives the result set held back now and holds this one (none: nothing).
  void Reset(SqliteResultSet* rows = nullptr);
  // Hands the result set over without giving it back.
  SqliteResultSet* Detach();
  // Gives back what is held and gives the place for a result-set out
  // (Database::Execute).
  SqliteResultSet** Out() {
    Reset();
    return &rows_;
  }

private:
  SqliteResultSet* rows_ = nullptr;
};
