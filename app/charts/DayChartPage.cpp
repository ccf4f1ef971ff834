#include "app/charts/DayChartPage.h"

#include <cstring>
#include <cwchar>

#include "app/tracker/WalkingRecords.h"
#include "core/DateTime.h"
#include "core/WideString.h"

namespace {

const char TitlePlaceholder[] = "***TITLE***";
const char DatePlaceholder[] = "***DATE***";

// "00" to "99", for writing numbers two digits at a time.
const char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes n in decimal at p; answers the position after it.
wchar_t* PutDecimal(wchar_t* p, unsigned n) {
  wchar_t digits[10];
  int count = 0;
  while (n >= 100) {
    unsigned pair = (n % 100) * 2;
    n /= 100;
    digits[count++] = kDigitPairs[pair + 1];
    digits[count++] = kDigitPairs[pair];
  }
  if (n >= 10) {
    digits[count++] = kDigitPairs[n * 2 + 1];
    digits[count++] = kDigitPairs[n * 2];
  } else {
    digits[count++] = static_cast<wchar_t>(L'0' + n);
  }
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
              const ChartPageField* series, int seriesCount, WideString& out,
              ChartPageLayout* layout) {
  out.Assign(L"");
  // The start in local time by the rules of its own date. The chart counts
  // from it in even steps, so a run that crosses a change to or from summer
  // time is drawn, axis and tooltips alike, in the offset of its start.
  SYSTEMTIME local;
  if (!FromUnixTime(local, start, 1)) return 0;
  WideString title, date;
  if (!ChartTitleText(local, title) || !ChartDateText(local, date)) return 0;
  ChartPageField fields[4] = {{TitlePlaceholder, title.CStr()}, {DatePlaceholder, date.CStr()}};
  for (int i = 0; i < seriesCount && i < 2; ++i) fields[2 + i] = series[i];
  int count = 2 + (seriesCount < 2 ? seriesCount : 2);
  ChartPageLayout own;
  if (!layout) layout = &own;
  if (!layout->IsFor(pageTemplate, templateSize, count) &&
      !layout->Scan(pageTemplate, templateSize, fields, count))
    return Fail(out);
  return layout->Fill(fields, count, out);
}

}  // namespace

int ChartPageLayout::Scan(const char* pageTemplate, size_t templateSize,
                          const ChartPageField* fields, int fieldCount) {
  text_ = nullptr;
  size_ = 0;
  hits_.clear();
  lengths_.clear();
  if (!pageTemplate || templateSize == 0 || templateSize >= WideString::MaxCapacity ||
      fieldCount < 0)
    return 0;
  const char* end = pageTemplate + templateSize;
  int which = 0;
  for (const char* p = NextPlaceholder(pageTemplate, end, fields, fieldCount, which); p;
       p = NextPlaceholder(p + strlen(fields[which].placeholder), end, fields, fieldCount,
                           which))
    hits_.push_back(Hit{static_cast<size_t>(p - pageTemplate), which});
  for (int i = 0; i < fieldCount; ++i) lengths_.push_back(strlen(fields[i].placeholder));
  text_ = pageTemplate;
  size_ = templateSize;
  fieldCount_ = fieldCount;
  return 1;
}

int ChartPageLayout::Fill(const ChartPageField* fields, int fieldCount, WideString& out) const {
  if (!text_ || fieldCount != fieldCount_) return Fail(out);
  // Converting never yields more code units than bytes, so the template's
  // bytes plus every inserted text is enough room.
  size_t room = size_;
  for (const Hit& hit : hits_) {
    const ChartPageField& field = fields[hit.field];
    room += field.write ? field.length : wcslen(field.text);
    if (room >= WideString::MaxCapacity) return Fail(out);
  }
  if (!Open(out, room)) return Fail(out);
  wchar_t* begin = out.Buffer();
  wchar_t* q = begin;
  size_t from = 0;
  // Converts template bytes [from, to) to the output.
  auto copy = [&](size_t to) -> int {
    if (to == from) return 1;
    int n = MultiByteToWideChar(CP_ACP, 0, text_ + from, static_cast<int>(to - from), q,
                                static_cast<int>(room - (q - begin)));
    if (n <= 0) return 0;
    q += n;
    return 1;
  };
  for (const Hit& hit : hits_) {
    if (!copy(hit.offset)) return Fail(out);
    const ChartPageField& field = fields[hit.field];
    if (field.write) {
      q = field.write(field.context, q);
    } else {
      size_t n = wcslen(field.text);
      wmemcpy(q, field.text, n);
      q += n;
    }
    from = hit.offset + lengths_[hit.field];
  }
  if (!copy(size_)) return Fail(out);
  return Close(out, begin, q);
}

int FillChartPage(const char* pageTemplate, size_t templateSize, const ChartPageField* fields,
                  int fieldCount, WideString& out) {
  ChartPageLayout layout;
  if (!layout.Scan(pageTemplate, templateSize, fields, fieldCount)) return Fail(out);
  return layout.Fill(fields, fieldCount, out);
}

namespace {

const ChartPattern& PatternOf(const void* context) {
  return *static_cast<const ChartPattern*>(context);
}

// One value of every record, as a decimal list.
template <typename Value>
wchar_t* WriteRecordValues(const ChartPattern& pattern, Value value, wchar_t* out) {
  bool first = true;
  for (WalkingRecordReader records(pattern.bytes, pattern.size); records.Next(); first = false) {
    if (!first) *out++ = L',';
    out = PutDecimal(out, value(records.Record()));
  }
  return out;
}

wchar_t* WriteDistance(const void* context, wchar_t* out) {
  auto metres = [](const WalkingRecord& r) { return r.distance * DISTANCE_UNIT_METRES; };
  return WriteRecordValues(PatternOf(context), metres, out);
}

wchar_t* WriteCalories(const void* context, wchar_t* out) {
  return WriteRecordValues(PatternOf(context), [](const WalkingRecord& r) { return r.calories; }, out);
}

// The four values of every byte value with their commas, "45,15,75,95,":
// a night is then one copy of 12 code units per byte.
struct SleepingTable {
  wchar_t values[256][12];
  SleepingTable() {
    static const wchar_t* const Values[4] = {L"45", L"15", L"75", L"95"};
    for (int b = 0; b < 256; ++b) {
      for (int k = 0; k < 4; ++k) {
        const wchar_t* v = Values[SleepLevel(static_cast<unsigned char>(b), k)];
        values[b][3 * k] = v[0];
        values[b][3 * k + 1] = v[1];
        values[b][3 * k + 2] = L',';
      }
    }
  }
};
const SleepingTable kSleepingTable;

wchar_t* WriteSleeping(const void* context, wchar_t* out) {
  const ChartPattern& pattern = PatternOf(context);
  if (!pattern.bytes || pattern.size == 0) return out;
  for (size_t i = 0; i < pattern.size; ++i, out += 12) {
    const wchar_t* values = kSleepingTable.values[pattern.bytes[i]];
    for (int k = 0; k < 12; ++k) out[k] = values[k];
  }
  return out - 1;  // no comma after the last value
}

size_t Records(const ChartPattern& pattern) {
  return pattern.bytes ? static_cast<size_t>(WalkingRecordCount(pattern.size)) : 0;
}

// Writes a field into a string of its own.
int FieldText(const ChartPageField& field, WideString& text) {
  if (!Open(text, field.length)) return 0;
  wchar_t* begin = text.Buffer();
  return Close(text, begin, field.write(field.context, begin));
}

}  // namespace

ChartPageField WalkingDistanceField(const ChartPattern& pattern) {
  // At most "655350," per record.
  return ChartPageField{"***DATA_DISTANCE***", nullptr, WriteDistance, &pattern,
                        Records(pattern) * 7};
}

ChartPageField WalkingCaloriesField(const ChartPattern& pattern) {
  // At most "65535," per record.
  return ChartPageField{"***DATA_CALORIES***", nullptr, WriteCalories, &pattern,
                        Records(pattern) * 6};
}

ChartPageField SleepingDataField(const ChartPattern& pattern) {
  size_t bytes = pattern.bytes ? pattern.size : 0;
  // Beyond what a page can hold the length saturates, and the fill refuses.
  size_t length = bytes > WideString::MaxCapacity / 12 ? WideString::MaxCapacity : bytes * 12;
  return ChartPageField{"***DATA***", nullptr, WriteSleeping, &pattern, length};
}

int WalkingSeries(const unsigned char* pattern, size_t size, WideString& distance,
                  WideString& calories) {
  ChartPattern bytes = {pattern, size};
  return FieldText(WalkingDistanceField(bytes), distance) &&
         FieldText(WalkingCaloriesField(bytes), calories);
}

int SleepingSeries(const unsigned char* pattern, size_t size, WideString& data) {
  ChartPattern bytes = {pattern, size};
  ChartPageField field = SleepingDataField(bytes);
  if (field.length >= WideString::MaxCapacity) {
    data.Reset(1);
    return 0;
  }
  return FieldText(field, data);
}

int ChartDateText(const SYSTEMTIME& time, WideString& out) {
  return out.Format(L"%u,%u,%u,%u,%u,%u", time.wYear, time.wMonth - 1u, time.wDay, time.wHour,
                    time.wMinute, time.wSecond);
}

int ChartScriptText(const wchar_t* text, WideString& out) {
  if (!text) text = L"";
  // At most six code units per character (the escape of U+2028).
  size_t length = wcslen(text);
  if (length > WideString::MaxCapacity / 6) {
    out.Reset(1);
    return 0;
  }
  if (!Open(out, 6 * length)) return 0;
  wchar_t* begin = out.Buffer();
  wchar_t* p = begin;
  for (; *text; ++text) {
    const wchar_t* escape = nullptr;
    switch (*text) {
      case L'\\': escape = L"\\\\"; break;
      case L'\'': escape = L"\\'"; break;
      case L'\r': escape = L"\\r"; break;
      case L'\n': escape = L"\\n"; break;
      case 0x2028: escape = L"\\u2028"; break;  // line terminators to the script
      case 0x2029: escape = L"\\u2029"; break;
      case L'<': escape = L"\\x3c"; break;  // "</script>" or "<!--" in the page
    }
    if (!escape) {
      *p++ = *text;
      continue;
    }
    while (*escape) *p++ = *escape++;
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
                          WideString& out, ChartPageLayout* layout) {
  ChartPattern bytes = {pattern, patternSize};
  ChartPageField series[2] = {WalkingDistanceField(bytes), WalkingCaloriesField(bytes)};
  return BuildPage(pageTemplate, templateSize, start, series, 2, out, layout);
}

int BuildSleepingChartPage(const char* pageTemplate, size_t templateSize,
                           const unsigned char* pattern, size_t patternSize, unsigned start,
                           WideString& out, ChartPageLayout* layout) {
  ChartPattern bytes = {pattern, patternSize};
  ChartPageField series[1] = {SleepingDataField(bytes)};
  return BuildPage(pageTemplate, templateSize, start, series, 1, out, layout);
}
