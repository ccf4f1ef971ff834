#include "app/DayChartPage.h"

#include <cstring>
#include <cwchar>

#include "core/DateTime.h"
#include "core/WideString.h"

namespace {

const char TitlePlaceholder[] = "***TITLE***";
const char DatePlaceholder[] = "***DATE***";

// Writes n in decimal at p; answers the position after it.
wchar_t* PutDecimal(wchar_t* p, unsigned n) {
  wchar_t digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + n % 10);
    n /= 10;
  } while (n);
  while (count) *p++ = digits[--count];
  return p;
}

// Makes room for up to `units` code units of text, written through Buffer()
// and closed with Close. (A capacity of n holds n - 2 units and the
// terminator: SetUsed counts the terminator and stays below the capacity.)
int Open(WideString& text, size_t units) {
  if (units + 2 > WideString::MaxCapacity) {
    text.Reset(1);
    return 0;
  }
  return text.Reset(static_cast<unsigned>(units + 2));
}

int Close(WideString& text, const wchar_t* begin, const wchar_t* end) {
  return text.SetUsed(static_cast<unsigned>(end - begin) + 1);
}

unsigned BigEndian16(const unsigned char* p) { return (p[0] << 8) | p[1]; }

// Where the template's next placeholder of the fields starts, and which.
const char* NextPlaceholder(const char* p, const char* end, const ChartPageField* fields,
                            int count, int& which) {
  while (p < end) {
    p = static_cast<const char*>(memchr(p, '*', end - p));
    if (!p) return nullptr;
    if (end - p >= 3 && p[1] == '*' && p[2] == '*') {
      for (int i = 0; i < count; ++i) {
        size_t n = strlen(fields[i].placeholder);
        if (static_cast<size_t>(end - p) >= n && memcmp(p, fields[i].placeholder, n) == 0) {
          which = i;
          return p;
        }
      }
    }
    ++p;
  }
  return nullptr;
}

int Fail(WideString& out) {
  out.Reset(1);
  return 0;
}

int BuildPage(const char* pageTemplate, size_t templateSize, unsigned start,
              const ChartPageField* series, int seriesCount, WideString& out) {
  out.Assign(L"");
  SYSTEMTIME local;
  if (!FromUnixTime(local, start, 1)) return 0;
  WideString title, date;
  if (!ChartTitleText(local, title) || !ChartDateText(local, date)) return 0;
  ChartPageField fields[4] = {{TitlePlaceholder, title.CStr()}, {DatePlaceholder, date.CStr()}};
  for (int i = 0; i < seriesCount && i < 2; ++i) fields[2 + i] = series[i];
  return FillChartPage(pageTemplate, templateSize, fields, 2 + seriesCount, out);
}

}  // namespace

int FillChartPage(const char* pageTemplate, size_t templateSize, const ChartPageField* fields,
                  int fieldCount, WideString& out) {
  if (!pageTemplate || templateSize == 0 || templateSize >= WideString::MaxCapacity)
    return Fail(out);
  // First the size: converting never yields more code units than bytes, so
  // the template's bytes plus every inserted text is enough room.
  size_t room = templateSize;
  const char* end = pageTemplate + templateSize;
  int which = 0;
  for (const char* p = NextPlaceholder(pageTemplate, end, fields, fieldCount, which); p;
       p = NextPlaceholder(p + strlen(fields[which].placeholder), end, fields, fieldCount,
                           which)) {
    room += wcslen(fields[which].text);
    if (room >= WideString::MaxCapacity) return Fail(out);
  }
  if (!Open(out, room)) return Fail(out);

  wchar_t* begin = out.Buffer();
  wchar_t* q = begin;
  const char* from = pageTemplate;
  // Converts template bytes [from, to) to the output.
  auto copy = [&](const char* to) -> int {
    if (to == from) return 1;
    int n = MultiByteToWideChar(CP_ACP, 0, from, static_cast<int>(to - from), q,
                                static_cast<int>(room - (q - begin)));
    if (n <= 0) return 0;
    q += n;
    return 1;
  };
  for (const char* p = NextPlaceholder(from, end, fields, fieldCount, which); p;
       p = NextPlaceholder(from, end, fields, fieldCount, which)) {
    if (!copy(p)) return Fail(out);
    size_t n = wcslen(fields[which].text);
    wmemcpy(q, fields[which].text, n);
    q += n;
    from = p + strlen(fields[which].placeholder);
  }
  if (!copy(end)) return Fail(out);
  return Close(out, begin, q);
}

int WalkingSeries(const unsigned char* pattern, size_t size, WideString& distance,
                  WideString& calories) {
  size_t records = pattern ? size / 6 : 0;
  // At most "655350," and "65535," per record.
  if (!Open(distance, records * 7) || !Open(calories, records * 6)) return 0;
  wchar_t* d = distance.Buffer();
  wchar_t* c = calories.Buffer();
  wchar_t* dBegin = d;
  wchar_t* cBegin = c;
  for (size_t i = 0; i + 5 < size && pattern; i += 6) {
    if (i) {
      *d++ = L',';
      *c++ = L',';
    }
    c = PutDecimal(c, BigEndian16(pattern + i + 2));
    d = PutDecimal(d, BigEndian16(pattern + i + 4) * 10);
  }
  return Close(distance, dBegin, d) && Close(calories, cBegin, c);
}

int SleepingSeries(const unsigned char* pattern, size_t size, WideString& data) {
  static const wchar_t* const Values[4] = {L"45", L"15", L"75", L"95"};
  if (!pattern) size = 0;
  // Four two-digit values and their commas per byte.
  if (size > (WideString::MaxCapacity - 1) / 12 || !Open(data, size * 12)) {
    data.Reset(1);
    return 0;
  }
  wchar_t* begin = data.Buffer();
  wchar_t* p = begin;
  for (size_t i = 0; i < size; ++i) {
    for (int shift = 6; shift >= 0; shift -= 2) {
      if (p != begin) *p++ = L',';
      const wchar_t* v = Values[(pattern[i] >> shift) & 3];
      *p++ = v[0];
      *p++ = v[1];
    }
  }
  return Close(data, begin, p);
}

int ChartDateText(const SYSTEMTIME& time, WideString& out) {
  return out.Format(L"%u,%u,%u,%u,%u,%u", time.wYear, time.wMonth - 1u, time.wDay, time.wHour,
                    time.wMinute, time.wSecond);
}

int ChartScriptText(const wchar_t* text, WideString& out) {
  if (!text) text = L"";
  if (!Open(out, 2 * wcslen(text))) return 0;
  wchar_t* begin = out.Buffer();
  wchar_t* p = begin;
  for (; *text; ++text) {
    if (*text == L'\\' || *text == L'\'') *p++ = L'\\';
    *p++ = *text;
  }
  return Close(out, begin, p);
}

int ChartTitleText(const SYSTEMTIME& time, WideString& out) {
  WideString date, clock, title;
  if (!FormatDate(date, DATE_LONGDATE, &time, 0) || !FormatTime(clock, TIME_NOSECONDS, &time, 0))
    return 0;
  if (!title.Format(L"%s %s", date.CStr(), clock.CStr())) return 0;
  return ChartScriptText(title.CStr(), out);
}

int BuildWalkingChartPage(const char* pageTemplate, size_t templateSize,
                          const unsigned char* pattern, size_t patternSize, unsigned start,
                          WideString& out) {
  WideString distance, calories;
  if (!WalkingSeries(pattern, patternSize, distance, calories)) {
    out.Assign(L"");
    return 0;
  }
  ChartPageField series[2] = {{"***DATA_DISTANCE***", distance.CStr()},
                              {"***DATA_CALORIES***", calories.CStr()}};
  return BuildPage(pageTemplate, templateSize, start, series, 2, out);
}

int BuildSleepingChartPage(const char* pageTemplate, size_t templateSize,
                           const unsigned char* pattern, size_t patternSize, unsigned start,
                           WideString& out) {
  WideString data;
  if (!SleepingSeries(pattern, patternSize, data)) {
    out.Assign(L"");
    return 0;
  }
  ChartPageField series[1] = {{"***DATA***", data.CStr()}};
  return BuildPage(pageTemplate, templateSize, start, series, 1, out);
}
