#include "app/data/StoredUnits.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const char* const kTables[2] = {"walking", "sleeping"};

class Statement {
public:
  Statement() = default;
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  int Prepare(sqlite3* database, const char* sql) {
    return sqlite3_prepare_v2(database, sql, -1, &statement_, nullptr) == SQLITE_OK && statement_;
  }
  sqlite3_stmt* operator*() const { return statement_; }

private:
  sqlite3_stmt* statement_ = nullptr;
};

// A run as the overlap resolution keeps it: its key, its span, and where
// its bytes are read again.
struct RunSpan {
  long long rowid;
  long long start;
  long long end;  // start + units * unit length
  unsigned long long units;
};

class Reader {
public:
  Reader(sqlite3* database, const UnitQuery& query, UnitSink& sink, UnitReadTally& tally)
      : database_(database), query_(query), sink_(sink), tally_(tally),
        unit_(query.table == 1 ? kSleepingUnitSeconds : kWalkingUnitSeconds) {}

  UnitReadResult Run(ReadProgress* progress);

private:
  int Fail(const char* what);
  UnitReadResult Drain(long long limit);
  int Load(const RunSpan& run);
  UnitReadResult EndTracker();

  sqlite3* database_;
  const UnitQuery& query_;
  UnitSink& sink_;
  UnitReadTally& tally_;
  const long long unit_;
  Statement pattern_;
  char tracker_[18] = {};
  std::vector<RunSpan> stack_;  // runs still to come back into use; ends fall towards the top
  long long position_ = 0;      // every unit starting before it has been given or left out
  std::vector<unsigned char> bytes_;
  long long loaded_ = -1;       // the rowid whose pattern bytes_ holds
};

int Reader::Fail(const char* what) {
  tally_.problem.Format(L"%S (%S)", what, sqlite3_errmsg(database_));
  return 0;
}

int Reader::Load(const RunSpan& run) {
  if (loaded_ == run.rowid) return 1;
  sqlite3_stmt* statement = *pattern_;
  sqlite3_reset(statement);
  sqlite3_bind_int64(statement, 1, run.rowid);
  if (sqlite3_step(statement) != SQLITE_ROW) return Fail("a run could not be read");
  const void* data = sqlite3_column_blob(statement, 0);
  int size = sqlite3_column_bytes(statement, 0);
  unsigned long long need = query_.table == 1 ? (run.units + 3) / 4 : run.units * kWalkingRecordBytes;
  if (!data || static_cast<unsigned long long>(size) < need) {
    tally_.problem.Assign(L"a run changed while it was read");
    return 0;
  }
  bytes_.assign(static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size);
  sqlite3_reset(statement);
  loaded_ = run.rowid;
  return 1;
}

// Gives the units starting from position_ up to the limit, each from the
// latest-starting run that covers it.
UnitReadResult Reader::Drain(long long limit) {
  while (!stack_.empty() && position_ < limit) {
    const RunSpan top = stack_.back();
    if (top.end <= position_) {
      stack_.pop_back();
      continue;
    }
    long long until = top.end < limit ? top.end : limit;
    // The units of the run whose starts lie in [position_, until).
    long long fromOffset = position_ > top.start ? position_ - top.start : 0;
    unsigned long long first = static_cast<unsigned long long>((fromOffset + unit_ - 1) / unit_);
    unsigned long long last = static_cast<unsigned long long>((until - top.start + unit_ - 1) / unit_);
    if (last > top.units) last = top.units;
    if (last > first) {
      if (!Load(top)) return UnitsFailed;
      UnitSegment segment = {tracker_, top.start, bytes_.data(), first, last - first};
      if (!sink_.Segment(segment)) return UnitsStopped;
    }
    position_ = until;
    if (top.end <= limit) stack_.pop_back();
  }
  if (position_ < limit) position_ = limit;
  return UnitsRead;
}

UnitReadResult Reader::EndTracker() {
  UnitReadResult result = Drain(LLONG_MAX);
  if (result != UnitsRead) return result;
  stack_.clear();
  return sink_.TrackerDone(tracker_) ? UnitsRead : UnitsStopped;
}

UnitReadResult Reader::Run(ReadProgress* progress) {
  const bool oneTracker = query_.tracker && *query_.tracker;
  const bool bounded = query_.startFloor != LLONG_MIN;
  const char* table = kTables[query_.table == 1 ? 1 : 0];
  char sql[256];
  const char* where = oneTracker ? (bounded ? " WHERE mac = ?1 AND start >= ?2 AND start < ?3" : " WHERE mac = ?1")
                                 : (bounded ? " WHERE start >= ?2 AND start < ?3" : "");
  Statement count, rows;
  auto bind = [&](sqlite3_stmt* statement) {
    if (oneTracker) sqlite3_bind_text(statement, 1, query_.tracker, -1, SQLITE_STATIC);
    if (bounded) {
      sqlite3_bind_int64(statement, 2, query_.startFloor);
      sqlite3_bind_int64(statement, 3, query_.to);
    }
  };
  snprintf(sql, sizeof sql, "SELECT count(*) FROM %s%s;", table, where);
  if (!count.Prepare(database_, sql)) return Fail("the runs could not be counted"), UnitsFailed;
  bind(*count);
  if (sqlite3_step(*count) != SQLITE_ROW) return Fail("the runs could not be counted"), UnitsFailed;
  const unsigned long long total = static_cast<unsigned long long>(sqlite3_column_int64(*count, 0));
  // The order is that of the (mac, start) index, and no pattern is sorted.
  // A run's bytes come with its row; a run that comes back into use after
  // a later one ended is read again by its row number.
  snprintf(sql, sizeof sql,
           "SELECT rowid, mac, start, length(pattern), typeof(pattern), pattern FROM %s%s ORDER BY mac, start, rowid;",
           table, where);
  if (!rows.Prepare(database_, sql)) return Fail("the runs could not be read"), UnitsFailed;
  bind(*rows);
  snprintf(sql, sizeof sql, "SELECT pattern FROM %s WHERE rowid = ?1;", table);
  if (!pattern_.Prepare(database_, sql)) return Fail("the runs could not be read"), UnitsFailed;

  bool haveTracker = false;
  unsigned long long done = 0;
  for (;;) {
    int step = sqlite3_step(*rows);
    if (step == SQLITE_DONE) break;
    if (step != SQLITE_ROW) return Fail("the runs could not be read"), UnitsFailed;
    ++done;
    const char* mac = reinterpret_cast<const char*>(sqlite3_column_text(*rows, 1));
    long long length = sqlite3_column_int64(*rows, 3);
    bool valid = mac && IsTrackerAddress(mac) && sqlite3_column_type(*rows, 2) == SQLITE_INTEGER &&
                 sqlite3_column_int64(*rows, 2) >= 0 && sqlite3_column_int64(*rows, 2) <= 0xFFFFFFFFLL &&
                 strcmp(reinterpret_cast<const char*>(sqlite3_column_text(*rows, 4)), "blob") == 0;
    RunSpan run = {sqlite3_column_int64(*rows, 0), sqlite3_column_int64(*rows, 2), 0, 0};
    run.units = static_cast<unsigned long long>(query_.table == 1 ? length * 4 : length / kWalkingRecordBytes);
    if (!valid || run.units == 0) {
      ++tally_.skipped;
    } else {
      run.end = run.start + static_cast<long long>(run.units) * unit_;
      if (!haveTracker || strcmp(mac, tracker_) != 0) {
        if (haveTracker) {
          UnitReadResult ended = EndTracker();
          if (ended != UnitsRead) return ended;
        }
        memcpy(tracker_, mac, sizeof tracker_);
        haveTracker = true;
        position_ = run.start;
      }
      if (run.end > query_.from && run.start < query_.to) {
        ++tally_.runs;
        UnitReadResult drained = Drain(run.start);
        if (drained != UnitsRead) return drained;
        // Runs that end inside this one never come back into use.
        while (!stack_.empty() && stack_.back().end <= run.end) stack_.pop_back();
        stack_.push_back(run);
        // Its bytes, read with the row, are kept for when it is drained.
        const unsigned char* data = static_cast<const unsigned char*>(sqlite3_column_blob(*rows, 5));
        if (!data) return Fail("a run could not be read"), UnitsFailed;
        bytes_.assign(data, data + length);
        loaded_ = run.rowid;
      }
    }
    if (progress && !progress->Runs(done, total > done ? total : done)) return UnitsCancelled;
  }
  if (haveTracker) return EndTracker();
  return UnitsRead;
}

}  // namespace

int IsTrackerAddress(const char* text) {
  if (!text) return 0;
  for (int i = 0; i < 17; ++i) {
    char c = text[i];
    if (i % 3 == 2) {
      if (c != ':') return 0;
    } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      return 0;
    }
  }
  return text[17] == 0;
}

UnitReadResult ReadUnits(sqlite3* database, const UnitQuery& query, UnitSink& sink, ReadProgress* progress,
                         UnitReadTally& tally) {
  tally = UnitReadTally();
  if (!database) {
    tally.problem.Assign(L"the database is not open");
    return UnitsFailed;
  }
  Reader reader(database, query, sink, tally);
  return reader.Run(progress);
}
