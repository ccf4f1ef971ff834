#include "app/store/RunLabel.h"

#include <windows.h>

#include "app/store/ActivityStore.h"
#include "core/DateTime.h"

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

int RunLabelFormat::Compose(const WideString& date, const SYSTEMTIME& local, unsigned end, unsigned start, int number,
                            int ofDay, WideString& label, const SYSTEMTIME* endLocal) const {
  SYSTEMTIME last;
  WideString from, to, place;
  bool done = FormatTime(from, TIME_NOSECONDS, &local, 0) && label.Assign(date);
  if (done && ofDay > 1) done = place.Format(L" \x00B7 %d of %d", number, ofDay) && label.Append(place);
  if (done) done = label.Append(L" \x00B7 ") && label.Append(from);
  if (done && end > start) {
    if (endLocal) last = *endLocal;
    done = (endLocal || FromUnixTime(last, end, 1)) && FormatTime(to, TIME_NOSECONDS, &last, 0) &&
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
  std::vector<SYSTEMTIME> starts(runs.size());
  std::vector<int> days(runs.size());
  std::vector<long long> offsets(runs.size());  // local minus UTC, seconds
  for (size_t i = 0; i < runs.size(); ++i) {
    days[i] = FromUnixTime(starts[i], runs[i].start, 1)
                  ? (starts[i].wYear * 100 + starts[i].wMonth) * 100 + starts[i].wDay
                  : 0;
    offsets[i] = ToUnixTime(starts[i]) - runs[i].start;
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
      // The zone's offset changes at most twice a year: when the next run
      // starts after this one's end, within days, at the same offset, the
      // end has that offset too (a conversion saved per run).
      SYSTEMTIME end;
      const bool sameOffset = i + 1 < runs.size() && runs[i + 1].start >= run.end &&
                              runs[i + 1].start - run.start < 7u * 86400u && offsets[i + 1] == offsets[i] &&
                              FromUnixTime(end, static_cast<long long>(run.end) + offsets[i], 0);
      if (!dated || !format.Compose(date, starts[i], run.end, run.start, static_cast<int>(i - first + 1), count,
                                    run.label, sameOffset ? &end : nullptr)) {
        run.label.Assign(L"");
      }
    }
    first = last + 1;
  }
}
