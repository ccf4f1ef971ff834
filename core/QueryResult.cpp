#include "core/QueryResult.h"

QueryResult& QueryResult::operator=(QueryResult&& other) noexcept {
  if (this != &other) Reset(other.Detach());
  return *this;
}

void QueryResult::Reset(SqliteResultSet* rows) {
  SqliteResultSet* held = rows_;
  rows_ = rows;
  if (held && held != rows) {
    held->Close();
    delete held;
  }
}

SqliteResultSet* QueryResult::Detach() {
  SqliteResultSet* held = rows_;
  rows_ = nullptr;
  return held;
}
