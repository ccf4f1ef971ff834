#include "app/trends/TrendsPage.h"

#include <string>

#include "app/charts/DayChart.h"
#include "app/charts/DayChartPage.h"
#include "core/DateTime.h"

namespace {

const wchar_t kNone[] = L"\x2013";  // an en dash: no figure

SYSTEMTIME TimeOf(int dateKey, int minuteOfDay = 0) {
  SYSTEMTIME time = {};
  time.wYear = static_cast<WORD>(dateKey / 10000);
  time.wMonth = static_cast<WORD>(dateKey / 100 % 100);
  time.wDay = static_cast<WORD>(dateKey % 100);
  time.wDayOfWeek = static_cast<WORD>((WeekdayOf(dateKey) + 1) % 7);
  time.wHour = static_cast<WORD>(minuteOfDay / 60);
  time.wMinute = static_cast<WORD>(minuteOfDay % 60);
  return time;
}

int ShortDate(int dateKey, WideString& out) {
  SYSTEMTIME time = TimeOf(dateKey);
  return FormatDate(out, DATE_SHORTDATE, &time, 0);
}

int MonthTitle(int year, int month, WideString& out) {
  SYSTEMTIME time = TimeOf((year * 100 + month) * 100 + 1);
  return FormatDate(out, DATE_YEARMONTH, &time, 0);
}

int TimeOfDay(int minuteOfDay, WideString& out) {
  if (minuteOfDay < 0) return out.Assign(kNone);
  SYSTEMTIME time = TimeOf(20000101, minuteOfDay);
  return FormatTime(out, TIME_NOSECONDS, &time, 0);
}

int Days(const LocaleNumbers& numbers, unsigned count, WideString& out) {
  WideString number;
  return numbers.Integer(count, number) && out.Format(L"%s %s", number.CStr(), count == 1 ? L"day" : L"days");
}

// A text as a double-quoted script string that cannot end its script block.
void Quoted(std::wstring& out, const wchar_t* text) {
  out += L'"';
  for (; text && *text; ++text) {
    wchar_t c = *text;
    if (c == L'"' || c == L'\\') {
      out += L'\\';
      out += c;
    } else if (c < 0x20 || c == L'<' || c == L'>' || c == L'&' || c == 0x2028 || c == 0x2029) {
      wchar_t escape[8];
      _snwprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(c));
      escape[6] = 0;
      out += escape;
    } else {
      out += c;
    }
  }
  out += L'"';
}

void Number(std::wstring& out, unsigned long long value) { out += std::to_wstring(value); }

void Key(std::wstring& out, const wchar_t* name) {
  if (out.size() > 1) out += L',';
  Quoted(out, name);
  out += L':';
}

}  // namespace

void TrendFigureTexts(const TrendFigures& figures, const LocaleNumbers& numbers, DistanceUnit unit,
                      std::vector<TrendFigureText>& out) {
  out.clear();
  auto add = [&out](const wchar_t* label) -> WideString& {
    out.push_back(TrendFigureText{label, WideString(kNone)});
    return out.back().value;
  };
  const bool walked = figures.daysWithData > 0;
  if (walked) numbers.Integer(figures.averageSteps, add(L"Average steps per day"));
  else add(L"Average steps per day");
  if (walked) numbers.Distance(figures.totalMetres, unit, add(L"Total distance"));
  else add(L"Total distance");
  WideString& best = add(L"Best day");
  WideString steps, date;
  if (figures.bestDay && numbers.Integer(figures.bestSteps, steps) && ShortDate(figures.bestDay, date)) {
    best.Format(L"%s (%s)", steps.CStr(), date.CStr());
  }
  WideString& goal = add(L"Days at goal");
  WideString reached, total;
  if (walked && numbers.Integer(figures.goalDays, reached) && numbers.Integer(figures.daysWithData, total)) {
    goal.Format(L"%s of %s", reached.CStr(), total.CStr());
  }
  Days(numbers, figures.currentStreak, add(L"Current streak"));
  Days(numbers, figures.bestStreak, add(L"Best streak"));
  const bool slept = !figures.nights.empty();
  if (slept) LocaleNumbers::Duration(figures.averageAsleep, add(L"Average asleep"));
  else add(L"Average asleep");
  TimeOfDay(figures.averageBedtime, add(L"Average bedtime"));
  TimeOfDay(figures.averageWake, add(L"Average wake time"));
}

int TrendPeriodTitle(const TrendPeriod& period, WideString& out) {
  if (period.kind == PeriodMonth) return MonthTitle(period.first / 10000, period.first / 100 % 100, out);
  if (period.kind == PeriodYear) return out.Format(L"%d", period.first / 10000);
  WideString first, last;
  return ShortDate(period.first, first) && ShortDate(period.last, last) &&
         out.Format(L"%s \x2013 %s", first.CStr(), last.CStr());
}

int TrendsPageData(const TrendFigures& figures, const LocaleNumbers& numbers, DistanceUnit unit, WideString& out) {
  const DistanceUnit shown = numbers.Resolve(unit);
  std::wstring data = L"{";
  WideString text;
  if (!TrendPeriodTitle(figures.period, text)) return 0;
  Key(data, L"title");
  Quoted(data, text.CStr());
  Key(data, L"tracker");
  text.AssignNarrow(figures.tracker);
  Quoted(data, text.CStr());
  Key(data, L"lang");
  data += L"{\"thousandsSep\":";
  Quoted(data, numbers.ThousandsSeparator().CStr());
  data += L",\"decimalPoint\":";
  Quoted(data, numbers.DecimalMark().CStr());
  data += L'}';
  Key(data, L"unit");
  Quoted(data, shown == DistanceMiles ? L"mi" : L"km");
  Key(data, L"metresPerUnit");
  data += shown == DistanceMiles ? L"1609.344" : L"1000";
  const int first = figures.period.first;
  Key(data, L"first");
  data += L'[' + std::to_wstring(first / 10000) + L',' + std::to_wstring(first / 100 % 100 - 1) + L',' +
          std::to_wstring(first % 100) + L']';
  Key(data, L"today");
  data += std::to_wstring(figures.period.Holds(figures.today) ? DaysBetween(first, figures.today) : -1);

  const wchar_t* const series[4] = {L"steps", L"goals", L"average", L"metres"};
  for (int s = 0; s < 4; ++s) {
    Key(data, series[s]);
    data += L'[';
    for (size_t i = 0; i < figures.days.size(); ++i) {
      const TrendDay& day = figures.days[i];
      if (i) data += L',';
      if (s == 1) Number(data, day.goal);
      else if (s == 2 && day.hasAverage) Number(data, day.average);
      else if (s != 2 && day.hasData) Number(data, s == 0 ? day.steps : day.metres);
      else data += L"null";
    }
    data += L']';
  }
  Key(data, L"nights");
  data += L'[';
  for (size_t i = 0; i < figures.nights.size(); ++i) {
    const NightRecord& night = figures.nights[i];
    if (i) data += L',';
    data += L'[' + std::to_wstring(DaysBetween(first, night.night)) + L',';
    Number(data, night.asleepMinutes);
    data += L',';
    Number(data, night.awakeMinutes);
    data += L']';
  }
  data += L']';

  std::vector<TrendFigureText> texts;
  TrendFigureTexts(figures, numbers, unit, texts);
  Key(data, L"figures");
  data += L'[';
  for (size_t i = 0; i < texts.size(); ++i) {
    data += i ? L",[" : L"[";
    Quoted(data, texts[i].label);
    data += L',';
    Quoted(data, texts[i].value.CStr());
    data += L']';
  }
  data += L']';

  Key(data, L"weekdays");
  data += L'[';
  for (int i = 0; i < 7; ++i) {
    wchar_t name[32] = {};
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SABBREVDAYNAME1 + (figures.firstWeekday + i) % 7, name, 32);
    if (i) data += L',';
    Quoted(data, name);
  }
  data += L']';

  Key(data, L"calendar");
  data += L'[';
  for (size_t m = 0; m < figures.calendar.size(); ++m) {
    const CalendarMonth& month = figures.calendar[m];
    if (!MonthTitle(month.year, month.month, text)) return 0;
    data += m ? L",{\"title\":" : L"{\"title\":";
    Quoted(data, text.CStr());
    data += L",\"blanks\":" + std::to_wstring(month.blanks) + L",\"days\":[";
    for (size_t d = 0; d < month.days.size(); ++d) {
      const CalendarDay& day = month.days[d];
      if (d) data += L',';
      if (!day.hasData) {
        data += L"null";
        continue;
      }
      data += L'[';
      Number(data, day.steps);
      data += L',';
      Number(data, day.percent);
      data += L',';
      Number(data, day.goal);
      data += L']';
    }
    data += L"]}";
  }
  data += L"]}";
  if (data.size() >= WideString::MaxCapacity) return 0;
  return out.Assign(data.c_str(), static_cast<unsigned>(data.size()));
}

int BuildTrendsPage(const char* pageTemplate, size_t templateSize, const TrendFigures& figures,
                    const LocaleNumbers& numbers, DistanceUnit unit, WideString& out) {
  out.Assign(L"");
  WideString data;
  if (!TrendsPageData(figures, numbers, unit, data)) return 0;
  ChartPageField field = {"***TRENDS***", data.CStr()};
  return FillChartPage(pageTemplate, templateSize, &field, 1, out);
}

int BuildTrendsPage(const TrendFigures& figures, const LocaleNumbers& numbers, DistanceUnit unit, WideString& out,
                    HMODULE module) {
  out.Assign(L"");
  const char* text = nullptr;
  size_t size = 0;
  if (!LoadChartTemplate(TrendsChartTemplate, &text, &size, module)) return 0;
  return BuildTrendsPage(text, size, figures, numbers, unit, out);
}
