#include "app/data/CsvExport.h"

#include <climits>
#include <cstring>

#include "app/data/NightSummary.h"

namespace {

const wchar_t* const kKindNames[4] = {L"walking", L"sleeping", L"days", L"nights"};
const char* const kHeaders[4] = {
    "tracker,utc,local,steps,calories,distance_m\r\n",
    "tracker,utc,local,state\r\n",
    "tracker,date,steps,calories,distance_m\r\n",
    "tracker,night,bedtime,wake,asleep_minutes,awake_minutes\r\n",
};
const char* const kStates[4] = {"awake", "asleep", "active", "unknown"};
const size_t kStateLengths[4] = {5, 6, 6, 7};

// The longest row: an address, two times, three 20-digit numbers.
const size_t kRowRoom = 160;


inline char* Digits4(char* p, int v) {
  p[0] = static_cast<char>('0' + v / 1000 % 10);
  p[1] = static_cast<char>('0' + v / 100 % 10);
  p[2] = static_cast<char>('0' + v / 10 % 10);
  p[3] = static_cast<char>('0' + v % 10);
  return p + 4;
}

const char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline char* Digits2(char* p, int v) {
  memcpy(p, kPairs + 2 * v, 2);
  return p + 2;
}

inline char* Number(char* p, unsigned long long v) {
  char digits[20];
  char* end = digits + sizeof digits;
  char* q = end;
  while (v >= 100) {
    q -= 2;
    memcpy(q, kPairs + 2 * (v % 100), 2);
    v /= 100;
  }
  if (v >= 10) {
    q -= 2;
    memcpy(q, kPairs + 2 * v, 2);
  } else {
    *--q = static_cast<char>('0' + v);
  }
  memcpy(p, q, static_cast<size_t>(end - q));
  return p + (end - q);
}

// YYYY-MM-DD
inline char* Date(char* p, const LocalMinute& t) {
  p = Digits4(p, t.year);
  *p++ = '-';
  p = Digits2(p, t.month);
  *p++ = '-';
  return Digits2(p, t.day);
}

inline char* DateOfKey(char* p, int key) {
  LocalMinute t;
  t.year = key / 10000;
  t.month = key / 100 % 100;
  t.day = key % 100;
  return Date(p, t);
}

// YYYY-MM-DD HH:MM
inline char* Local(char* p, const LocalMinute& t) {
  p = Date(p, t);
  *p++ = ' ';
  p = Digits2(p, t.hour);
  *p++ = ':';
  return Digits2(p, t.minute);
}

inline char* Tracker(char* p, const char* tracker) {
  memcpy(p, tracker, 17);
  p[17] = ',';
  return p + 18;
}

inline char* LineEnd(char* p) {
  p[0] = '\r';
  p[1] = '\n';
  return p + 2;
}

// The text of a day's date, kept while consecutive rows fall on it.
struct DayText {
  long long day = LLONG_MIN;
  int key = 0;
  char text[10];
  // The seconds into the day; the date's text is made when the day changes.
  long long Seconds(long long seconds) {
    long long d = seconds / 86400 - (seconds % 86400 < 0 ? 1 : 0);
    if (d != day) {
      LocalMinute date;
      DateOfDay(d, date.year, date.month, date.day);
      Date(text, date);
      key = date.DateKey();
      day = d;
    }
    return seconds - d * 86400;
  }
};

// The rows of walking or sleeping units.
class UnitRows : public UnitSink {
public:
  UnitRows(ExportKind kind, const DateRange& dates, OutputFile& file) : kind_(kind), dates_(dates), file_(file) {}

  int Segment(const UnitSegment& segment) override {
    const long long step = kind_ == ExportSleeping ? kSleepingUnitSeconds : kWalkingUnitSeconds;
    for (unsigned long long i = 0; i < segment.count; ++i) {
      const unsigned long long unit = segment.first + i;
      const long long utc = segment.runStart + static_cast<long long>(unit) * step;
      long long offset = 0;
      if (!clock_.OffsetAt(utc, offset)) {
        clockFailed_ = true;
        return 0;
      }
      const long long localTime = local_.Seconds(utc + offset);
      if (!dates_.Holds(local_.key)) continue;
      const long long utcTime = utc_.Seconds(utc);
      char* row = file_.Reserve(kRowRoom);
      if (!row) return 0;
      char* p = Tracker(row, segment.tracker);
      memcpy(p, utc_.text, 10);
      p[10] = 'T';
      p = Digits2(p + 11, static_cast<int>(utcTime / 3600));
      *p++ = ':';
      p = Digits2(p, static_cast<int>(utcTime / 60 % 60));
      *p++ = ':';
      p = Digits2(p, static_cast<int>(utcTime % 60));
      memcpy(p, "Z,", 2);
      memcpy(p + 2, local_.text, 10);
      p[12] = ' ';
      p = Digits2(p + 13, static_cast<int>(localTime / 3600));
      *p++ = ':';
      p = Digits2(p, static_cast<int>(localTime / 60 % 60));
      *p++ = ',';
      if (kind_ == ExportSleeping) {
        const unsigned level = SleepingUnit(segment.pattern, unit);
        memcpy(p, kStates[level], kStateLengths[level]);
        p += kStateLengths[level];
      } else {
        const WalkingRecord record = WalkingUnit(segment.pattern, unit);
        p = Number(p, record.steps);
        *p++ = ',';
        p = Number(p, record.calories);
        *p++ = ',';
        p = Number(p, record.distance * 10ULL);
      }
      p = LineEnd(p);
      file_.Wrote(static_cast<size_t>(p - row));
      ++rows;
    }
    return 1;
  }
  int TrackerDone(const char*) override { return 1; }

  unsigned long long rows = 0;
  bool clockFailed_ = false;

private:
  const ExportKind kind_;
  const DateRange dates_;
  OutputFile& file_;
  LocalClock clock_;
  DayText utc_;
  DayText local_;
};

class DayRows : public DayTotalsSink {
public:
  explicit DayRows(OutputFile& file) : file_(file) {}
  int Day(const DayTotals& day) override {
    char* row = file_.Reserve(kRowRoom);
    if (!row) return 0;
    char* p = Tracker(row, day.tracker);
    p = DateOfKey(p, day.date);
    *p++ = ',';
    p = Number(p, day.steps);
    *p++ = ',';
    p = Number(p, day.calories);
    *p++ = ',';
    p = Number(p, day.metres);
    p = LineEnd(p);
    file_.Wrote(static_cast<size_t>(p - row));
    ++rows;
    return 1;
  }
  unsigned long long rows = 0;

private:
  OutputFile& file_;
};

class NightRows : public NightSink {
public:
  explicit NightRows(OutputFile& file) : file_(file) {}
  int Night(const NightRecord& night) override {
    char* row = file_.Reserve(kRowRoom);
    if (!row) return 0;
    char* p = Tracker(row, night.tracker);
    p = DateOfKey(p, night.night);
    *p++ = ',';
    p = Local(p, night.bedtime);
    *p++ = ',';
    p = Local(p, night.wake);
    *p++ = ',';
    p = Number(p, night.asleepMinutes);
    *p++ = ',';
    p = Number(p, night.awakeMinutes);
    p = LineEnd(p);
    file_.Wrote(static_cast<size_t>(p - row));
    ++rows;
    return 1;
  }
  unsigned long long rows = 0;

private:
  OutputFile& file_;
};

}  // namespace

int ParseExportKind(const wchar_t* text, ExportKind& kind) {
  for (int i = 0; i < 4; ++i) {
    if (text && wcscmp(text, kKindNames[i]) == 0) {
      kind = static_cast<ExportKind>(i);
      return 1;
    }
  }
  return 0;
}

const wchar_t* ExportKindName(ExportKind kind) {
  return kind >= ExportWalking && kind <= ExportNights ? kKindNames[kind] : L"";
}

ExportResult WriteExport(sqlite3* database, const ExportRequest& request, OutputFile& file, ReadProgress* progress,
                         ExportOutcome& outcome) {
  outcome = ExportOutcome();
  const char* header = kHeaders[request.kind];
  UnitReadTally tally;
  UnitReadResult read = UnitsFailed;
  bool clockFailed = false;
  if (file.Write(header, strlen(header))) {
    if (request.kind == ExportWalking || request.kind == ExportSleeping) {
      UnitRows rows(request.kind, request.dates, file);
      UnitQuery query;
      query.table = request.kind == ExportSleeping ? 1 : 0;
      query.tracker = request.tracker;
      request.dates.UtcBounds(query.from, query.to);
      read = ReadUnits(database, query, rows, progress, tally);
      outcome.rows = rows.rows;
      clockFailed = rows.clockFailed_;
    } else if (request.kind == ExportDays) {
      DayRows rows(file);
      read = ReadDailyTotals(database, request.tracker, request.dates, rows, progress, tally);
      outcome.rows = rows.rows;
    } else {
      NightRows rows(file);
      read = ReadNights(database, request.tracker, request.dates, rows, progress, tally);
      outcome.rows = rows.rows;
    }
  } else {
    read = UnitsStopped;
  }
  outcome.skipped = tally.skipped;
  if (read == UnitsCancelled) {
    file.Abandon();
    return ExportCancelled;
  }
  if (read == UnitsRead && file.Commit(outcome.problem)) return ExportDone;
  if (read == UnitsFailed) {
    outcome.problem.Format(L"the database could not be read: %s", tally.problem.CStr());
  } else if (clockFailed) {
    outcome.problem.Assign(L"a time could not be converted to local time");
  } else if (read == UnitsStopped) {
    outcome.problem.Format(L"the file %s", file.WriteProblem().CStr());
  } else {
    WideString committed(outcome.problem);
    outcome.problem.Format(L"the file %s", committed.CStr());
  }
  file.Abandon();
  return ExportFailed;
}
