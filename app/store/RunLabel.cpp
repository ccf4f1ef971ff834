#include "app/store/RunLabel.h"

#include <windows.h>

#include <new>

#include "app/store/ActivityStore.h"
#include "core/DateTime.h"

namespace {

const int kMinutesOfDay = 24 * 60;

// Local times of instants that mostly come in order, with few reads of the
// zone's rules: the offset found for an instant is kept for the stretch up
// to a week ahead that shows the same offset (bisected when the clocks
// change in that week). No zone changes its clocks twice within a week.
class LocalClock {
public:
  // 1 with the local time of the Unix seconds; 0 when it cannot be shown.
  int Local(long long seconds, SYSTEMTIME& local) {
    if (seconds >= from_ && seconds <= to_) return FromUnixTime(local, seconds + offset_, 0);
    long long offset = 0;
    if (!Offset(seconds, offset, &local)) return 0;
    const long long kWeek = 7LL * 86400;
    long long same = seconds, other = seconds + kWeek, ahead = 0;
    if (Offset(other, ahead, nullptr) && ahead == offset) {
      same = other;
    } else {
      while (other - same > 1) {
        const long long middle = same + (other - same) / 2;
        if (Offset(middle, ahead, nullptr) && ahead == offset) {
          same = middle;
        } else {
          other = middle;
        }
      }
    }
    from_ = seconds;
    to_ = same;
    offset_ = offset;
    return 1;
  }

private:
  // Local minus UTC at the instant, by the zone's rules; 1/0.
  static int Offset(long long seconds, long long& offset, SYSTEMTIME* local) {
    SYSTEMTIME time;
    int ok = 0;
    if (!FromUnixTime(time, seconds, 1)) return 0;
    const long long back = ToUnixTime(time, &ok);
    if (!ok) return 0;
    offset = back - seconds;
    if (local) *local = time;
    return 1;
  }

  long long from_ = 1, to_ = 0;  // the stretch known to have offset_ (none yet)
  long long offset_ = 0;
};

}  // namespace

RunLabelFormat::RunLabelFormat() {
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, nullptr, 0);
  if (n <= 0 || !picture_.Reset(static_cast<unsigned>(n) + 1)) return;
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, picture_.Buffer(), n) <= 0) return;
  picture_.UpdateLength();
  // Month names abbreviated too, so that a label fits its list.
  ready_ = picture_.Replace(L"dddd", L"ddd", 1) != nullptr && picture_.Replace(L"MMMM", L"MMM", 1) != nullptr;
}

int RunLabelFormat::Format(unsigned start, unsigned end, int number, int ofDay, WideString& label) const {
  SYSTEMTIME local;
  WideString date;
  if (FromUnixTime(local, start, 1) && DateText(local, date) && Compose(date, local, end, start, number, ofDay, label)) {
    return 1;
  }
  label.Assign(L"");
  return 0;
}

int RunLabelFormat::DateText(const SYSTEMTIME& local, WideString& date) const {
  wchar_t text[128];
  return ready_ && GetDateFormatW(LOCALE_USER_DEFAULT, 0, &local, picture_.CStr(), text, 128) > 0 && date.Assign(text);
}

int RunLabelFormat::TimeText(const SYSTEMTIME& time, WideString& text) const {
  const int minute = time.wHour * 60 + time.wMinute;
  if (minute < 0 || minute >= kMinutesOfDay) return FormatTime(text, TIME_NOSECONDS, &time, 0);
  if (!times_) times_.reset(new (std::nothrow) WideString[kMinutesOfDay]);
  if (!times_) return FormatTime(text, TIME_NOSECONDS, &time, 0);
  WideString& kept = times_[minute];
  if (kept.IsEmpty() && !FormatTime(kept, TIME_NOSECONDS, &time, 0)) return 0;
  return text.Assign(kept);
}

int RunLabelFormat::Compose(const WideString& date, const SYSTEMTIME& local, unsigned end, unsigned start, int number,
                            int ofDay, WideString& label, const SYSTEMTIME* endLocal) const {
  SYSTEMTIME last;
  WideString from, to, place;
  bool done = TimeText(local, from) && label.Assign(date);
  if (done && ofDay > 1) done = place.Format(L" \x00B7 %d of %d", number, ofDay) && label.Append(place);
  if (done) done = label.Append(L" \x00B7 ") && label.Append(from);
  if (done && end > start) {
    if (endLocal) last = *endLocal;
    done = (endLocal || FromUnixTime(last, end, 1)) && TimeText(last, to) &&
           label.AppendChar(L'\x2013') && label.Append(to);
  }
  return done;
}

int FormatRunLabel(unsigned start, unsigned end, WideString& label) {
  return RunLabelFormat().Format(start, end, 1, 1, label);
}

int LocalDayOf(unsigned start) {
  SYSTEMTIME local;
  if (!FromUnixTime(local, start, 1)) return 0;
  return (local.wYear * 100 + local.wMonth) * 100 + local.wDay;
}

void LabelRunsByDay(std::vector<StoredRun>& runs) {
  const RunLabelFormat format;
  // Starts and ends each in their own order (an end lies past the next
  // start only when runs overlap).
  LocalClock starting, ending;
  std::vector<SYSTEMTIME> starts(runs.size());
  std::vector<int> days(runs.size());
  for (size_t i = 0; i < runs.size(); ++i) {
    days[i] = starting.Local(runs[i].start, starts[i])
                  ? (starts[i].wYear * 100 + starts[i].wMonth) * 100 + starts[i].wDay
                  : 0;
  }
  // The runs come oldest first, so a day's runs lie side by side and share
  // the day's date text.
  WideString date;
  for (size_t first = 0; first < runs.size();) {
    size_t last = first;
    while (last + 1 < runs.size() && days[last + 1] == days[first]) ++last;
    const int count = static_cast<int>(last - first + 1);
    const bool dated = days[first] != 0 && format.DateText(starts[first], date);
    for (size_t i = first; i <= last; ++i) {
      StoredRun& run = runs[i];
      SYSTEMTIME end;
      const bool ended = run.end > run.start && ending.Local(run.end, end);
      if (!dated || !format.Compose(date, starts[i], run.end, run.start, static_cast<int>(i - first + 1), count,
                                    run.label, ended ? &end : nullptr)) {
        run.label.Assign(L"");
      }
    }
    first = last + 1;
  }
}
