#include "app/trends/TrendTables.h"

#include "app/trends/ZoneRules.h"

#include <sqlite3.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <string>

namespace {

// Raised when what the tables hold, or how it is computed, changes: the
// tables are then computed again.
const char kVersion[] = "2";
const char* const kRunTables[2] = {"walking", "sleeping"};
// Rows the pass for runs changed in place compares in a refresh, for each
// new run it may sum up (its run limit): a few milliseconds' worth.
const unsigned long long kCheckedPerRun = 4;
const char* const kTrendTables[4] = {"trends_state", "trends_days", "trends_nights", "trends_runs"};
const char* const kCreate[4] = {
    "CREATE TABLE %s.trends_state (name TEXT PRIMARY KEY, value TEXT);",
    "CREATE TABLE %s.trends_days (mac TEXT NOT NULL, date INTEGER NOT NULL, steps INTEGER, calories INTEGER, "
    "metres INTEGER, PRIMARY KEY (mac, date));",
    "CREATE TABLE %s.trends_nights (mac TEXT NOT NULL, night INTEGER NOT NULL, bedtime INTEGER, wake INTEGER, "
    "bedtime_local INTEGER, wake_local INTEGER, asleep INTEGER, awake INTEGER, PRIMARY KEY (mac, night));",
    // mac and start as the run's row holds them (no type), to be compared with it.
    "CREATE TABLE %s.trends_runs (tbl INTEGER NOT NULL, id INTEGER NOT NULL, mac, start, units INTEGER, "
    "bytes INTEGER, PRIMARY KEY (tbl, id));",
};

// The text SQLite keeps for a table made by kCreate (no schema, no ";"):
// tables of another layout (a newer Pellton's) are made again.
std::string LayoutOf(const char* create) {
  std::string sql = create;
  sql.erase(sql.find("%s."), 3);
  sql.erase(sql.size() - 1);
  return sql;
}

class Statement {
public:
  Statement() = default;
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  // The SQL, with every %s replaced by the schema.
  int Prepare(sqlite3* database, const char* format, const char* schema = "main") {
    std::string sql;
    for (const char* p = format; *p; ++p) {
      if (p[0] == '%' && p[1] == 's') {
        sql += schema;
        ++p;
      } else {
        sql += *p;
      }
    }
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    return sqlite3_prepare_v2(database, sql.c_str(), -1, &statement_, nullptr) == SQLITE_OK && statement_;
  }
  sqlite3_stmt* operator*() const { return statement_; }
  Statement& Bind(int index, long long value) {
    sqlite3_bind_int64(statement_, index, value);
    return *this;
  }
  Statement& Bind(int index, const char* text) {
    sqlite3_bind_text(statement_, index, text, -1, SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Bind(int index, sqlite3_value* value) {
    sqlite3_bind_value(statement_, index, value);
    return *this;
  }
  // Runs a statement that gives no rows (and makes it ready again).
  int Run() {
    int step = sqlite3_step(statement_);
    sqlite3_reset(statement_);
    return step == SQLITE_DONE || step == SQLITE_ROW;
  }
  long long Int(int column) const { return sqlite3_column_int64(statement_, column); }
  sqlite3_value* Value(int column) const { return sqlite3_column_value(statement_, column); }
  const char* Text(int column) const {
    const unsigned char* text = sqlite3_column_text(statement_, column);
    return text ? reinterpret_cast<const char*>(text) : "";
  }

private:
  sqlite3_stmt* statement_ = nullptr;
};

// The first column of the statement's first row (none: fallback).
long long Single(sqlite3* database, const char* sql, const char* schema, long long fallback,
                 const char* text = nullptr) {
  Statement statement;
  if (!statement.Prepare(database, sql, schema)) return fallback;
  if (text) statement.Bind(1, text);
  return sqlite3_step(*statement) == SQLITE_ROW && sqlite3_column_type(*statement, 0) != SQLITE_NULL
             ? statement.Int(0)
             : fallback;
}

long long MinuteKey(const LocalMinute& t) {
  return static_cast<long long>(t.DateKey()) * 10000 + t.hour * 100 + t.minute;
}

LocalMinute MinuteOfKey(long long key) {
  LocalMinute t;
  t.minute = static_cast<int>(key % 100);
  t.hour = static_cast<int>(key / 100 % 100);
  t.day = static_cast<int>(key / 10000 % 100);
  t.month = static_cast<int>(key / 1000000 % 100);
  t.year = static_cast<int>(key / 100000000);
  return t;
}

typedef std::pair<int, int> Span;  // first and last date (or night) key

// The touched spans of each tracker, merged into sorted, separate spans.
class Touched {
public:
  std::map<std::string, std::vector<Span>> spans;

  void Add(const std::string& tracker, int first, int last) { spans[tracker].push_back(Span(first, last)); }
  void Merge() {
    for (auto& entry : spans) {
      std::vector<Span>& list = entry.second;
      std::sort(list.begin(), list.end());
      std::vector<Span> merged;
      for (const Span& span : list) {
        if (!merged.empty() && span.first <= NextDateKey(merged.back().second)) {
          merged.back().second = std::max(merged.back().second, span.second);
        } else {
          merged.push_back(span);
        }
      }
      list.swap(merged);
    }
  }
};

// Whether a key lies in the sorted spans; `at` follows keys that come in
// ascending order.
bool InSpans(const std::vector<Span>& spans, size_t& at, int key) {
  while (at < spans.size() && spans[at].second < key) ++at;
  return at < spans.size() && spans[at].first <= key;
}

class DayWriter : public DayTotalsSink {
public:
  DayWriter(Statement& insert, const std::vector<Span>& spans) : insert_(insert), spans_(spans) {}
  int Day(const DayTotals& day) override {
    if (!InSpans(spans_, at_, day.date)) return 1;
    ++written;
    return insert_.Bind(1, day.tracker)
        .Bind(2, day.date)
        .Bind(3, static_cast<long long>(day.steps))
        .Bind(4, static_cast<long long>(day.calories))
        .Bind(5, static_cast<long long>(day.metres))
        .Run();
  }
  unsigned long long written = 0;

private:
  Statement& insert_;
  const std::vector<Span>& spans_;
  size_t at_ = 0;
};

class NightWriter : public NightSink {
public:
  NightWriter(Statement& insert, const std::vector<Span>& spans) : insert_(insert), spans_(spans) {}
  int Night(const NightRecord& night) override {
    if (!InSpans(spans_, at_, night.night)) return 1;
    ++written;
    return insert_.Bind(1, night.tracker)
        .Bind(2, night.night)
        .Bind(3, night.bedtimeUtc)
        .Bind(4, night.wakeUtc)
        .Bind(5, MinuteKey(night.bedtime))
        .Bind(6, MinuteKey(night.wake))
        .Bind(7, static_cast<long long>(night.asleepMinutes))
        .Bind(8, static_cast<long long>(night.awakeMinutes))
        .Run();
  }
  unsigned long long written = 0;

private:
  Statement& insert_;
  const std::vector<Span>& spans_;
  size_t at_ = 0;
};

// What the last refresh on a connection found, kept with the connection.
// Pellton never changes a run in place: the run tables need measuring
// again only once another connection has written to the file, which
// "PRAGMA data_version" tells.
struct LastRefresh {
  long long dataVersion;
  const char* schema;
};
const char kLastRefresh[] = "Pellton trends refresh";

void DeleteLastRefresh(void* last) { delete static_cast<LastRefresh*>(last); }

// How often a refresh on a connection changed what the tables hold, so that
// a reader can tell whether any refresh (its own or another caller's on the
// same connection) changed them since it read.
const char kChanges[] = "Pellton trends changes";

void DeleteChanges(void* changes) { delete static_cast<unsigned long long*>(changes); }

// One refresh in one schema. A refresher that may not write stops at the
// first change it would make (Stale), so that a connection that cannot
// write reads the file's own tables while they are up to date.
class Refresher {
public:
  // unchanged: nothing but this connection wrote to the file since the
  // last refresh in this schema, so no run changed in place.
  // runLimit: at most that many new runs of each table are summed up (0:
  // all); Done tells whether runs were left for a later refresh.
  // deferCheck: the check for runs changed in place (a pass over every
  // run) is left to a later refresh, noted as "walking checked".
  Refresher(sqlite3* database, const char* schema, bool mayWrite, bool unchanged, TrendRefreshTally& tally,
            WideString& problem, unsigned long long runLimit, bool deferCheck)
      : db_(database), schema_(schema), mayWrite_(mayWrite), unchanged_(unchanged), tally_(tally),
        problem_(problem), runLimit_(runLimit), deferCheck_(deferCheck && mayWrite) {}

  bool Stale() const { return stale_; }
  bool WriteRefused() const { return refused_; }
  bool Done() const { return done_; }

  // remake: the tables are made afresh first and everything computed again.
  int Run(bool remake) {
    if (remake ? !Clear() : !EnsureTables() || !LoadState()) return 0;
    bool numbered = true;
    for (int t = 0; t < 2; ++t) {
      hasTable_[t] = Single(db_, "SELECT count(*) FROM main.sqlite_master WHERE type = 'table' AND name = ?1;",
                            "main", 0, kRunTables[t]) > 0;
      numbered = numbered && (!hasTable_[t] || Autoincrement(kRunTables[t]));
    }
    // The zone's rules for the years of the runs summed up, as they were.
    SYSTEMTIME now;
    GetSystemTime(&now);
    nextYear_ = now.wYear + 1;
    // Reading the rules of every year takes a while: when the check of the
    // runs is left for later, the figures take the zone's name and biases
    // as they were, and the check compares the years too.
    const std::string zone = state_["zone"];
    const std::string identity = ZoneIdentityText();
    const bool deferZone = deferCheck_ && (!unchanged_ || Owed(0) || Owed(1)) && !zone.empty() &&
                           zone.compare(0, identity.size(), identity) == 0;
    if (deferZone) tally_.checkLeft = true;
    const bool sameZone = deferZone || zone == ZoneRulesText(StateInt("zone from"), StateInt("zone to"));
    if ((!numbered || state_["version"] != kVersion || !sameZone) && !Clear()) return 0;
    for (int round = 0; round < 2; ++round) {
      Touched touched[2];
      bool consistent = true;
      done_ = true;
      for (int t = 0; t < 2 && consistent; ++t) {
        long long added = 0, removed = 0;
        bool left = false;
        if (!hasTable_[t]) continue;
        long long newFrom = Number(t, "");
        if (!TakeNewRuns(t, touched[t], added, left)) return 0;
        // The rows new since the first of a refresh's turns: runs they
        // replaced are looked for once all of them are noted.
        const std::string since = NewFrom(t);
        const auto noted = state_.find(since);
        if (left) {
          // Runs are left for the next refresh: the gone and changed ones
          // are looked for once every new one is noted (until then the
          // rows counted exceed those noted). A check of the patterns'
          // lengths this refresh would have made is made then.
          done_ = false;
          SetNumber(t, " bytes", Number(t, " bytes") + added);
          if (!unchanged_ && !tally_.rebuilt) state_[Checked(t)] = "0";
          // Nothing noted before (tables made afresh): a run replacing one
          // noted now gets a higher row number than any of them.
          if (noted == state_.end()) state_[since] = std::to_string(newFrom == LLONG_MIN ? Number(t, "") : newFrom);
          continue;
        }
        if (noted != state_.end()) {
          newFrom = std::min(newFrom, static_cast<long long>(_atoi64(noted->second.c_str())));
          state_.erase(noted);
        } else if (tally_.rebuilt) {
          newFrom = LLONG_MAX;  // every run was noted afresh from one reading: none replaced
        }
        if (!TakeGoneRuns(t, touched[t], consistent, removed, newFrom) ||
            (consistent && !TakeChangedRuns(t, touched[t], added - removed)))
          return 0;
      }
      // Rows numbered below the highest seen appeared: nothing can be
      // trusted, everything is computed again.
      if (!consistent) {
        if (round == 1) return Fail("the run tables changed while they were summed up");
        if (!Clear()) return 0;
        continue;
      }
      for (int t = 0; t < 2; ++t) {
        touched[t].Merge();
        if (!Recompute(t, touched[t])) return 0;
      }
      break;
    }
    state_.erase("check lengths");  // an earlier Pellton's note of a check owed: now "walking checked"
    if (!mayWrite_) {
      // A connection that cannot write made its check at once: the notes of
      // a check owed (and of new rows still to be looked through for runs
      // they replaced) stay for the one that can, and need no write.
      for (const std::string& name : {Checked(0), Checked(1), std::string("check lengths"), NewFrom(0), NewFrom(1)}) {
        const auto loaded = saved_.find(name);
        if (loaded == saved_.end()) {
          state_.erase(name);
        } else {
          state_[name] = loaded->second;
        }
      }
    }
    NoteZone();
    return SaveState();
  }

private:
  int Fail(const char* what) {
    problem_.Format(L"%S (%S)", what, sqlite3_errmsg(db_));
    return 0;
  }
  // A write to the tables refused: made afresh, they may take it.
  int Refused(const char* what) {
    refused_ = true;
    return Fail(what);
  }

  // Every change passes here first.
  int MayWrite() {
    if (!mayWrite_) stale_ = true;
    return mayWrite_;
  }

  int Exec(const char* format) {
    Statement statement;
    return statement.Prepare(db_, format, schema_) && statement.Run();
  }

  bool Autoincrement(const char* table) {
    Statement look;
    if (!look.Prepare(db_, "SELECT sql FROM main.sqlite_master WHERE type = 'table' AND name = ?1;")) return false;
    look.Bind(1, table);
    if (sqlite3_step(*look) != SQLITE_ROW) return false;
    std::string sql = look.Text(0);
    std::transform(sql.begin(), sql.end(), sql.begin(), ::toupper);
    return sql.find("AUTOINCREMENT") != std::string::npos;
  }

  int StateInt(const char* name) {
    const std::string& text = state_[name];
    return text.empty() ? 0 : atoi(text.c_str());
  }

  // The zone's text for the years from before the earliest run summed up
  // (its local date may lie in the year before) to next year.
  void NoteZone() {
    int from = StateInt("zone from"), to = StateInt("zone to");
    const int earliest = earliestYear_ == INT_MAX ? nextYear_ : earliestYear_ - 1;
    const int first = from ? std::min(from, earliest) : earliest;
    if (first == from && nextYear_ <= to && !state_["zone"].empty()) return;
    // Rules of the years noted that changed since (an update of Windows;
    // this refresh may not have compared them, or compared them with the
    // text the process kept) are not taken over into the wider text: the
    // summaries are made again, in a next turn of this refresh.
    if (from && !state_["zone"].empty() && state_["zone"] != ZoneRulesText(from, to, true)) {
      state_["zone"] = "changed";
      done_ = false;
      return;
    }
    from = first;
    to = std::max(to, nextYear_);
    state_["zone from"] = std::to_string(from);
    state_["zone to"] = std::to_string(to);
    state_["zone"] = ZoneRulesText(from, to, true);
  }

  // Numbers of the state by name: the highest row number summed up
  // ("walking"), the rows trends_runs notes ("walking rows"), the most
  // units of one run ("walking longest") and the sum of the patterns'
  // lengths ("walking bytes").
  long long Number(int t, const char* what) {
    const std::string& text = state_[std::string(kRunTables[t]) + what];
    return text.empty() ? (*what ? 0 : LLONG_MIN) : _atoi64(text.c_str());
  }
  void SetNumber(int t, const char* what, long long value) {
    char text[24];
    snprintf(text, sizeof text, "%lld", value);
    state_[std::string(kRunTables[t]) + what] = text;
  }

  int LoadState() {
    Statement read;
    if (!read.Prepare(db_, "SELECT name, value FROM %s.trends_state;", schema_)) {
      return Fail("the trends state could not be read");
    }
    int step;
    while ((step = sqlite3_step(*read)) == SQLITE_ROW) state_[read.Text(0)] = read.Text(1);
    if (step != SQLITE_DONE) return Fail("the trends state could not be read");
    saved_ = state_;
    return 1;
  }

  int SaveState() {
    if (state_ == saved_) return 1;
    Statement write;
    if (!MayWrite()) return Fail("the trends state could not be written");
    if (!write.Prepare(db_, "INSERT OR REPLACE INTO %s.trends_state (name, value) VALUES (?1, ?2);", schema_))
      return Refused("the trends state could not be written");
    for (const auto& entry : state_) {
      if (!write.Bind(1, entry.first.c_str()).Bind(2, entry.second.c_str()).Run()) {
        return Refused("the trends state could not be written");
      }
    }
    // Names dropped since (a check made that was owed) go from the table too.
    Statement forget;
    if (!forget.Prepare(db_, "DELETE FROM %s.trends_state WHERE name = ?1;", schema_))
      return Refused("the trends state could not be written");
    for (const auto& entry : saved_) {
      if (state_.find(entry.first) == state_.end() && !forget.Bind(1, entry.first.c_str()).Run())
        return Refused("the trends state could not be written");
    }
    return 1;
  }

  // Throws away the tables' rows and their state: everything is computed
  // again. The tables are made afresh, so that they have this layout.
  int Clear() {
    if (!MayWrite()) return Fail("the trends tables are not up to date");
    tally_.rebuilt = true;
    if (!Recreate()) return 0;
    state_.clear();
    saved_.clear();
    state_["version"] = kVersion;
    for (int t = 0; t < 2; ++t) SetNumber(t, " bytes", 0);
    return 1;
  }

  int Recreate() {
    for (const char* table : kTrendTables) {
      std::string sql = std::string("DROP TABLE IF EXISTS %s.") + table + ";";
      if (!Exec(sql.c_str())) return Refused("the trends tables could not be made");
    }
    for (const char* create : kCreate) {
      if (!Exec(create)) return Refused("the trends tables could not be made");
    }
    return Index();
  }

  // trends_runs_start, which finds a run replaced by a row of the same mac
  // and start (an index is no part of the layout compared: a Pellton whose
  // tables lack it makes it).
  int Index() {
    if (!mayWrite_ || Exec("CREATE INDEX IF NOT EXISTS %s.trends_runs_start ON trends_runs (tbl, mac, start);"))
      return 1;
    return Refused("the trends tables could not be made");
  }

  // Whether the schema holds all four tables as kCreate makes them.
  bool HasOwnTables(const char* schema) {
    Statement look;
    if (!look.Prepare(db_, "SELECT sql FROM %s.sqlite_master WHERE type = 'table' AND name = ?1;", schema)) {
      return false;
    }
    for (int i = 0; i < 4; ++i) {
      look.Bind(1, kTrendTables[i]);
      const bool same = sqlite3_step(*look) == SQLITE_ROW && look.Text(0) == LayoutOf(kCreate[i]);
      sqlite3_reset(*look);
      if (!same) return false;
    }
    return true;
  }

  // All four tables as made here, or they are made afresh: in the temporary
  // schema from the file's own when it has them as made here.
  int EnsureTables() {
    // The index is there after the last refresh on this connection.
    if (HasOwnTables(schema_)) return unchanged_ ? 1 : Index();
    if (!MayWrite()) return Fail("the trends tables are not made yet");
    unchanged_ = false;  // not the tables the last refresh left
    if (!Recreate()) return 0;
    if (strcmp(schema_, "temp") != 0 || !HasOwnTables("main")) return 1;
    for (const char* table : kTrendTables) {
      // The same layout on both sides: the columns line up.
      std::string sql = std::string("INSERT INTO temp.") + table + " SELECT * FROM main." + table + ";";
      if (!Exec(sql.c_str())) return Clear();
    }
    return 1;
  }

  // The local date (walking) or night (sleeping) keys a run can change,
  // first <= last: those of its first and last unit, and a day more on each
  // side. A later run hides the units of an earlier one that start inside
  // it, up to its last unit's end, which may lie on the next day; and a
  // clock put back over midnight gives a later time an earlier date.
  int SpanOf(int t, long long start, long long units, int& first, int& last) {
    const long long unit = t ? kSleepingUnitSeconds : kWalkingUnitSeconds;
    LocalMinute a, b;
    if (!clock_.At(start, a) || !clock_.At(start + (units - 1) * unit, b)) return 0;
    int from = a.DateKey(), to = b.DateKey();
    if (t && a.hour < 12) from = PreviousDateKey(from);
    if (t && b.hour < 12) to = PreviousDateKey(to);
    first = PreviousDateKey(std::min(from, to));
    last = NextDateKey(std::max(from, to));
    return 1;
  }

  // Notes each row the statement gives (rowid, mac, start, length(pattern),
  // typeof(pattern), typeof(start)) in trends_runs, and the days or nights
  // it covers in touched; bytes: the lengths added up.
  int NoteRows(int t, Statement& rows, Touched& touched, long long& bytes) {
    Statement ledger;
    if (!ledger.Prepare(db_, "INSERT OR REPLACE INTO %s.trends_runs (tbl, id, mac, start, units, bytes) "
                             "VALUES (?1, ?2, ?3, ?4, ?5, ?6);", schema_))
      return Refused("the runs summed up could not be noted");
    long long seen = Number(t, ""), longest = Number(t, " longest");
    int step;
    while ((step = sqlite3_step(*rows)) == SQLITE_ROW) {
      const long long id = rows.Int(0), start = rows.Int(2), length = rows.Int(3);
      const char* mac = rows.Text(1);
      // Rows that hold no run count for nothing, as the exports leave them out.
      const bool valid = IsTrackerAddress(mac) && strcmp(rows.Text(4), "blob") == 0 &&
                         strcmp(rows.Text(5), "integer") == 0 && start >= 0 && start <= 0xFFFFFFFFLL;
      const long long units = valid ? (t ? length * 4 : length / kWalkingRecordBytes) : 0;
      int first = 0, last = 0;
      if (units > 0) {
        if (!SpanOf(t, start, units, first, last)) return Fail("a time could not be converted to local time");
        touched.Add(mac, first, last);
        int year = 0, month = 0, day = 0;
        DateOfDay(start / 86400, year, month, day);
        earliestYear_ = std::min(earliestYear_, year);
      }
      if (!ledger.Bind(1, t).Bind(2, id).Bind(3, rows.Value(1)).Bind(4, rows.Value(2)).Bind(5, units).Bind(6, length)
               .Run()) {
        return Refused("the runs summed up could not be noted");
      }
      ++tally_.runsNew;
      bytes += length;
      seen = std::max(seen, id);
      longest = std::max(longest, units);
    }
    if (step != SQLITE_DONE) return Fail("the runs could not be read");
    SetNumber(t, "", seen);
    SetNumber(t, " longest", longest);
    return 1;
  }

  // left: the run limit left new rows for a later refresh.
  int TakeNewRuns(int t, Touched& touched, long long& bytes, bool& left) {
    const long long from = Number(t, "");
    const long long highest = Single(db_, t ? "SELECT max(rowid) FROM main.sleeping;" : "SELECT max(rowid) FROM main.walking;",
                                     "main", LLONG_MIN);
    if (highest == LLONG_MIN || highest <= from) return 1;
    if (!MayWrite()) return Fail("the trends tables are not up to date");
    Statement rows;
    const char* select = t ? "SELECT rowid, mac, start, length(pattern), typeof(pattern), typeof(start) "
                             "FROM main.sleeping WHERE rowid > ?1 ORDER BY rowid LIMIT ?2;"
                           : "SELECT rowid, mac, start, length(pattern), typeof(pattern), typeof(start) "
                             "FROM main.walking WHERE rowid > ?1 ORDER BY rowid LIMIT ?2;";
    if (!rows.Prepare(db_, select)) return Fail("the runs could not be read");
    rows.Bind(1, from).Bind(2, runLimit_ ? static_cast<long long>(runLimit_) : -1LL);
    const unsigned long long before = tally_.runsNew;
    if (!NoteRows(t, rows, touched, bytes)) return 0;
    SetNumber(t, " rows", Number(t, " rows") + static_cast<long long>(tally_.runsNew - before));
    left = runLimit_ && Number(t, "") < highest;
    return 1;
  }

  // Runs noted that the table no longer holds. More rows than noted (rows
  // numbered below the highest seen) make the tables inconsistent.
  // newFrom: the highest row number seen before this refresh's new rows.
  // Rows are only counted (a pass over the run key's index) when another
  // connection may have written, or a check of the runs is owed: on its own
  // connection Pellton removes a run only by replacing it with a new row of
  // the same mac and start, which the new rows find. A deferred check
  // counts them later.
  int TakeGoneRuns(int t, Touched& touched, bool& consistent, long long& bytes, long long newFrom) {
    const bool count = !deferCheck_ && (!unchanged_ || Owed(t));
    const long long noted = Number(t, " rows");
    long long inTable = -1;
    consistent = true;
    if (count) {
      // Counted through the run key's index.
      inTable = Single(db_, t ? "SELECT count(*) FROM main.sleeping;" : "SELECT count(*) FROM main.walking;", "main", -1);
      if (inTable < 0) return Fail("the runs could not be counted");
      consistent = inTable <= noted;
      if (inTable >= noted) return 1;
      if (!MayWrite()) return Fail("the trends tables are not up to date");
    } else if (Number(t, "") <= newFrom) {
      return 1;  // no new rows: none replaced
    }
    // First the runs replaced by a new row of the same mac and start (what
    // a download does), found through trends_runs_start; then, when rows are
    // still missing, every noted row is looked for. The new rows lead (CROSS
    // JOIN keeps that order) and their mac and start are compared without
    // the columns' affinity, as trends_runs holds them: otherwise SQLite
    // walks every noted run of the table and looks each one up instead. A
    // noted row still there (changed in place) is no replaced one.
    const char* replaced = t ? "SELECT r.id, r.mac, r.start, r.units, r.bytes FROM main.sleeping AS w CROSS JOIN "
                               "%s.trends_runs AS r ON r.tbl = 1 AND r.mac = +w.mac AND r.start = +w.start AND "
                               "r.id <> w.rowid WHERE w.rowid > ?1 AND NOT EXISTS (SELECT 1 FROM main.sleeping WHERE rowid = r.id);"
                             : "SELECT r.id, r.mac, r.start, r.units, r.bytes FROM main.walking AS w CROSS JOIN "
                               "%s.trends_runs AS r ON r.tbl = 0 AND r.mac = +w.mac AND r.start = +w.start AND "
                               "r.id <> w.rowid WHERE w.rowid > ?1 AND NOT EXISTS (SELECT 1 FROM main.walking WHERE rowid = r.id);";
    const char* select = t ? "SELECT id, mac, start, units, bytes FROM %s.trends_runs WHERE tbl = 1 AND id NOT IN "
                             "(SELECT rowid FROM main.sleeping);"
                           : "SELECT id, mac, start, units, bytes FROM %s.trends_runs WHERE tbl = 0 AND id NOT IN "
                             "(SELECT rowid FROM main.walking);";
    Statement forget;
    if (!forget.Prepare(db_, "DELETE FROM %s.trends_runs WHERE tbl = ?1 AND id = ?2;", schema_))
      return Refused("the runs summed up could not be noted");
    long long left = noted;
    for (int pass = 0; pass < (count ? 2 : 1) && (!count || left > inTable); ++pass) {
      Statement gone;
      if (!gone.Prepare(db_, pass ? select : replaced, schema_)) return Fail("the runs could not be read");
      if (!pass) gone.Bind(1, newFrom);
      std::vector<long long> ids;
      if (!TakeNoted(t, gone, touched, ids, bytes)) return 0;
      if (!ids.empty() && !MayWrite()) return Fail("the trends tables are not up to date");
      for (long long id : ids) {
        if (!forget.Bind(1, t).Bind(2, id).Run()) return Refused("the runs summed up could not be noted");
      }
      left -= static_cast<long long>(ids.size());
    }
    SetNumber(t, " rows", left);
    consistent = !count || left == inTable;
    return 1;
  }

  // The runs trends_runs notes that the statement gives (id, mac, start,
  // units, bytes) count as gone: their days or nights are touched.
  int TakeNoted(int t, Statement& noted, Touched& touched, std::vector<long long>& ids, long long& bytes) {
    int step;
    while ((step = sqlite3_step(*noted)) == SQLITE_ROW) {
      ids.push_back(noted.Int(0));
      bytes += noted.Int(4);
      int first = 0, last = 0;
      if (noted.Int(3) > 0) {
        if (!SpanOf(t, noted.Int(2), noted.Int(3), first, last)) return Fail("a time could not be converted");
        touched.Add(noted.Text(1), first, last);
      }
    }
    if (step != SQLITE_DONE) return Fail("the runs could not be read");
    tally_.runsGone += ids.size();
    return 1;
  }

  // "walking checked" and "sleeping checked": the row number up to which
  // the pass that finds runs changed in place has gone; none: no pass owed.
  static std::string Checked(int t) { return std::string(kRunTables[t]) + " checked"; }
  // "walking new from" and "sleeping new from": the highest row number
  // noted before the first turn of a refresh that left new rows for later.
  static std::string NewFrom(int t) { return std::string(kRunTables[t]) + " new from"; }
  bool Owed(int t) const { return state_.count(Checked(t)) || state_.count("check lengths"); }

  // Runs changed in place. A pass over the runs noted, begun again whenever
  // another connection may have written (Pellton itself never changes a
  // run in place), compares each span of row numbers with trends_runs: the
  // count and the sum of the patterns' lengths, and where these differ, the
  // rows whose mac, start or length differ count as gone and new. With a
  // run limit it goes a span of a few times that many rows a refresh, and
  // the refresh is done only once it is through; deferred, it waits for a
  // refresh without deferCheck. grown: the new rows' lengths less the gone
  // ones'.
  int TakeChangedRuns(int t, Touched& touched, long long grown) {
    SetNumber(t, " bytes", Number(t, " bytes") + grown);
    const std::string key = Checked(t);
    if (tally_.rebuilt) {
      state_.erase(key);  // every run was noted in this refresh
      return 1;
    }
    if (!unchanged_ || state_.find("check lengths") != state_.end()) state_[key] = "0";
    if (state_.find(key) == state_.end()) return 1;
    if (deferCheck_) {
      tally_.checkLeft = true;
      return 1;
    }
    const long long from = _atoi64(state_[key].c_str()), highest = Number(t, "");
    if (highest <= from) {
      state_.erase(key);
      return 1;
    }
    // A connection that may not write makes the pass at once: a pass under
    // way would have to be noted.
    const long long to = runLimit_ && mayWrite_ && highest - from > static_cast<long long>(runLimit_ * kCheckedPerRun)
                             ? from + static_cast<long long>(runLimit_ * kCheckedPerRun)
                             : highest;
    Statement table, noted;
    if (!table.Prepare(db_, t ? "SELECT count(*), ifnull(sum(length(pattern)), 0) FROM main.sleeping WHERE rowid > ?1 "
                                "AND rowid <= ?2;"
                              : "SELECT count(*), ifnull(sum(length(pattern)), 0) FROM main.walking WHERE rowid > ?1 "
                                "AND rowid <= ?2;") ||
        sqlite3_step(*table.Bind(1, from).Bind(2, to)) != SQLITE_ROW)
      return Fail("the runs could not be counted");
    // Every row at once: as the state sums them up.
    long long notedRows = Number(t, " rows"), notedBytes = Number(t, " bytes");
    if (from > 0 || to < highest) {
      if (!noted.Prepare(db_, "SELECT count(*), ifnull(sum(bytes), 0) FROM %s.trends_runs WHERE tbl = ?3 AND id > ?1 "
                              "AND id <= ?2;", schema_) ||
          sqlite3_step(*noted.Bind(1, from).Bind(2, to).Bind(3, t)) != SQLITE_ROW)
        return Fail("the runs could not be counted");
      notedRows = noted.Int(0);
      notedBytes = noted.Int(1);
    }
    const bool same = table.Int(0) == notedRows && table.Int(1) == notedBytes;
    if (to < highest) {
      state_[key] = std::to_string(to);
      done_ = false;
    } else {
      state_.erase(key);
    }
    if (same) return 1;
    if (!MayWrite()) return Fail("the trends tables are not up to date");
    // The lengths summed up again from the rows noted, as they are now.
    SetNumber(t, " bytes", Number(t, " bytes") + table.Int(1) - notedBytes);
    Statement changed, row;
    const char* select = t ? "SELECT r.id, r.mac, r.start, r.units, r.bytes FROM main.sleeping AS w JOIN "
                             "%s.trends_runs AS r ON r.tbl = 1 AND r.id = w.rowid WHERE w.rowid > ?1 AND "
                             "w.rowid <= ?2 AND (w.mac IS NOT r.mac OR w.start IS NOT r.start OR "
                             "ifnull(length(w.pattern), 0) IS NOT r.bytes);"
                           : "SELECT r.id, r.mac, r.start, r.units, r.bytes FROM main.walking AS w JOIN "
                             "%s.trends_runs AS r ON r.tbl = 0 AND r.id = w.rowid WHERE w.rowid > ?1 AND "
                             "w.rowid <= ?2 AND (w.mac IS NOT r.mac OR w.start IS NOT r.start OR "
                             "ifnull(length(w.pattern), 0) IS NOT r.bytes);";
    const char* again = t ? "SELECT rowid, mac, start, length(pattern), typeof(pattern), typeof(start) "
                            "FROM main.sleeping WHERE rowid = ?1;"
                          : "SELECT rowid, mac, start, length(pattern), typeof(pattern), typeof(start) "
                            "FROM main.walking WHERE rowid = ?1;";
    if (!changed.Prepare(db_, select, schema_) || !row.Prepare(db_, again)) return Fail("the runs could not be read");
    changed.Bind(1, from).Bind(2, to);
    std::vector<long long> ids;
    long long bytes = 0;
    if (!TakeNoted(t, changed, touched, ids, bytes)) return 0;
    for (long long id : ids) {
      sqlite3_reset(*row);
      if (!NoteRows(t, row.Bind(1, id), touched, bytes)) return 0;
    }
    return 1;
  }

  // Deletes the touched spans' rows and writes them again, one pass over
  // the runs of each touched tracker that can reach into them.
  int Recompute(int t, const Touched& touched) {
    if (touched.spans.empty()) return 1;
    Statement erase, insert;
    const char* table = t ? "trends_nights" : "trends_days";
    std::string sql = std::string("DELETE FROM %s.") + table + (t ? " WHERE mac = ?1 AND night BETWEEN ?2 AND ?3;"
                                                                  : " WHERE mac = ?1 AND date BETWEEN ?2 AND ?3;");
    if (!erase.Prepare(db_, sql.c_str(), schema_) ||
        !insert.Prepare(db_, t ? "INSERT OR REPLACE INTO %s.trends_nights (mac, night, bedtime, wake, bedtime_local, "
                                 "wake_local, asleep, awake) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8);"
                               : "INSERT OR REPLACE INTO %s.trends_days (mac, date, steps, calories, metres) "
                                 "VALUES (?1, ?2, ?3, ?4, ?5);",
                        schema_))
      return Refused("the trends tables could not be written");
    const long long longest = Number(t, " longest") * (t ? kSleepingUnitSeconds : kWalkingUnitSeconds);
    for (const auto& entry : touched.spans) {
      const std::vector<Span>& spans = entry.second;
      if (spans.empty()) continue;
      for (const Span& span : spans) {
        if (!erase.Bind(1, entry.first.c_str()).Bind(2, span.first).Bind(3, span.second).Run()) {
          return Refused("the trends tables could not be written");
        }
      }
      DateRange dates;
      dates.from = spans.front().first;
      dates.to = spans.back().second;
      // No run starting before the floor reaches the first touched day.
      long long fromUtc = 0, toUtc = 0;
      dates.UtcBounds(fromUtc, toUtc);
      const long long floor = fromUtc - longest;
      UnitReadTally read;
      UnitReadResult result;
      if (t) {
        NightWriter writer(insert, spans);
        result = ReadNights(db_, entry.first.c_str(), dates, writer, nullptr, read, floor);
        tally_.nightsRecomputed += writer.written;
      } else {
        DayWriter writer(insert, spans);
        result = ReadDailyTotals(db_, entry.first.c_str(), dates, writer, nullptr, read, floor);
        tally_.daysRecomputed += writer.written;
      }
      if (result != UnitsRead) {
        if (result == UnitsStopped) return Refused("the trends tables could not be written");
        problem_.Assign(read.problem);
        return 0;
      }
    }
    return 1;
  }

  sqlite3* db_;
  const char* schema_;
  const bool mayWrite_;
  bool unchanged_;
  bool stale_ = false;
  bool refused_ = false;
  TrendRefreshTally& tally_;
  WideString& problem_;
  const unsigned long long runLimit_;
  const bool deferCheck_;
  bool done_ = true;
  LocalClock clock_;
  bool hasTable_[2] = {false, false};
  int nextYear_ = 0;
  int earliestYear_ = INT_MAX;  // of the runs noted in this refresh
  std::map<std::string, std::string> state_;
  std::map<std::string, std::string> saved_;
};

}  // namespace

int TrendTables::Refresh(WideString& problem, TrendRefreshTally* tally) {
  TrendRefreshTally sum, step;
  bool done = false;
  while (!done) {
    if (!RefreshSome(problem, done, 0, &step)) return 0;
    sum.rebuilt = sum.rebuilt || step.rebuilt;
    sum.runsNew += step.runsNew;
    sum.runsGone += step.runsGone;
    sum.daysRecomputed += step.daysRecomputed;
    sum.nightsRecomputed += step.nightsRecomputed;
    sum.checkLeft = step.checkLeft;
  }
  if (tally) *tally = sum;
  return 1;
}

int TrendTables::RefreshSome(WideString& problem, bool& done, unsigned long long runLimit, TrendRefreshTally* tally,
                             bool deferCheck) {
  TrendRefreshTally own;
  if (!tally) tally = &own;
  *tally = TrendRefreshTally();
  done = false;
  problem.Assign(L"");
  if (!database_) {
    problem.Assign(L"the database is not open");
    return 0;
  }
  // A savepoint, so the refresh also nests in a transaction of the caller's
  // (which may yet be rolled back: then what it found is not kept).
  const bool nested = sqlite3_get_autocommit(database_) == 0;
  if (sqlite3_exec(database_, "SAVEPOINT trends_refresh;", nullptr, nullptr, nullptr) != SQLITE_OK) {
    problem.Format(L"the database could not be read (%S)", sqlite3_errmsg(database_));
    return 0;
  }
  const bool writable = !fileReadOnly_ && sqlite3_db_readonly(database_, "main") == 0;
  const long long dataVersion = Single(database_, "PRAGMA main.data_version;", "main", LLONG_MIN);
  const LastRefresh* last = static_cast<const LastRefresh*>(sqlite3_get_clientdata(database_, kLastRefresh));
  const bool unchanged = last && dataVersion != LLONG_MIN && last->dataVersion == dataVersion;
  // The temporary schema again while nothing else wrote: the file's own
  // tables cannot have become usable meanwhile.
  schema_ = unchanged ? last->schema : "main";
  bool mayWrite = writable || strcmp(schema_, "temp") == 0, remake = false;
  int ok = 0;
  // At most three tries: the file's own tables; then the temporary schema
  // when those could not be used without writing; and the tables made
  // afresh when a write to them was refused (a layout of a newer Pellton).
  for (int attempt = 0; attempt < 3; ++attempt) {
    Refresher refresher(database_, schema_, mayWrite, unchanged && strcmp(schema_, last->schema) == 0, *tally,
                        problem, runLimit, deferCheck);
    ok = refresher.Run(remake);
    done = refresher.Done();
    if (ok) break;
    if (refresher.Stale()) {
      schema_ = "temp";
      mayWrite = true;
    } else if (refresher.WriteRefused() && !remake) {
      remake = true;
    } else {
      break;
    }
    // SQLite may have ended the transaction by itself: nothing to go on from.
    if (sqlite3_exec(database_, "ROLLBACK TO trends_refresh;", nullptr, nullptr, nullptr) != SQLITE_OK) break;
    *tally = TrendRefreshTally();
    problem.Assign(L"");
  }
  if (!ok) sqlite3_exec(database_, "ROLLBACK TO trends_refresh;", nullptr, nullptr, nullptr);
  if (sqlite3_exec(database_, "RELEASE trends_refresh;", nullptr, nullptr, nullptr) != SQLITE_OK && ok) {
    problem.Format(L"the trends tables could not be written (%S)", sqlite3_errmsg(database_));
    sqlite3_exec(database_, "ROLLBACK;", nullptr, nullptr, nullptr);
    ok = 0;
  }
  if (ok && (tally->rebuilt || tally->runsNew || tally->runsGone || tally->daysRecomputed || tally->nightsRecomputed)) {
    unsigned long long* changes = static_cast<unsigned long long*>(sqlite3_get_clientdata(database_, kChanges));
    if (changes) {
      ++*changes;
    } else {
      // Failing to keep the count, the next reader takes everything as changed.
      sqlite3_set_clientdata(database_, kChanges, new (std::nothrow) unsigned long long(1), DeleteChanges);
    }
  }
  LastRefresh* now = ok && !nested && dataVersion != LLONG_MIN ? new (std::nothrow) LastRefresh{dataVersion, schema_} : nullptr;
  // Replaces (deletes) the one before; SQLite deletes it on failure too.
  sqlite3_set_clientdata(database_, kLastRefresh, now, DeleteLastRefresh);
  return ok;
}

unsigned long long TrendTables::Changes() const {
  const unsigned long long* changes =
      database_ ? static_cast<const unsigned long long*>(sqlite3_get_clientdata(database_, kChanges)) : nullptr;
  return changes ? *changes : 0;
}

int TrendTables::ReadDays(const char* tracker, const DateRange& dates, std::vector<DayTotals>& days,
                          WideString& problem) {
  days.clear();
  Statement read;
  if (!read.Prepare(database_,
                    "SELECT date, steps, calories, metres FROM %s.trends_days WHERE mac = ?1 AND date BETWEEN ?2 AND ?3 "
                    "ORDER BY date;",
                    schema_)) {
    problem.Format(L"the daily totals could not be read (%S)", sqlite3_errmsg(database_));
    return 0;
  }
  read.Bind(1, tracker).Bind(2, dates.from).Bind(3, dates.to ? dates.to : INT_MAX);
  int step;
  while ((step = sqlite3_step(*read)) == SQLITE_ROW) {
    DayTotals day = {};
    strncpy(day.tracker, tracker, sizeof day.tracker - 1);
    day.date = static_cast<int>(read.Int(0));
    day.steps = static_cast<unsigned long long>(read.Int(1));
    day.calories = static_cast<unsigned long long>(read.Int(2));
    day.metres = static_cast<unsigned long long>(read.Int(3));
    days.push_back(day);
  }
  if (step != SQLITE_DONE) {
    problem.Format(L"the daily totals could not be read (%S)", sqlite3_errmsg(database_));
    days.clear();
    return 0;
  }
  return 1;
}

int TrendTables::ReadNights(const char* tracker, const DateRange& dates, std::vector<NightRecord>& nights,
                            WideString& problem) {
  nights.clear();
  Statement read;
  if (!read.Prepare(database_,
                    "SELECT night, bedtime, wake, bedtime_local, wake_local, asleep, awake FROM %s.trends_nights "
                    "WHERE mac = ?1 AND night BETWEEN ?2 AND ?3 ORDER BY night;",
                    schema_)) {
    problem.Format(L"the nights could not be read (%S)", sqlite3_errmsg(database_));
    return 0;
  }
  read.Bind(1, tracker).Bind(2, dates.from).Bind(3, dates.to ? dates.to : INT_MAX);
  int step;
  while ((step = sqlite3_step(*read)) == SQLITE_ROW) {
    NightRecord night = {};
    strncpy(night.tracker, tracker, sizeof night.tracker - 1);
    night.night = static_cast<int>(read.Int(0));
    night.bedtimeUtc = read.Int(1);
    night.wakeUtc = read.Int(2);
    night.bedtime = MinuteOfKey(read.Int(3));
    night.wake = MinuteOfKey(read.Int(4));
    night.asleepMinutes = static_cast<unsigned long long>(read.Int(5));
    night.awakeMinutes = static_cast<unsigned long long>(read.Int(6));
    nights.push_back(night);
  }
  if (step != SQLITE_DONE) {
    problem.Format(L"the nights could not be read (%S)", sqlite3_errmsg(database_));
    nights.clear();
    return 0;
  }
  return 1;
}
