#include "app/trends/ZoneRules.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/CriticalSection.h"

namespace {

// FNV-1a, 64 bits.
void Fold(unsigned long long& hash, const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 1099511628211ULL;
  }
}

void FoldTime(unsigned long long& hash, const SYSTEMTIME& time) {
  const WORD fields[8] = {time.wYear, time.wMonth, time.wDayOfWeek, time.wDay,
                          time.wHour, time.wMinute, time.wSecond, time.wMilliseconds};
  Fold(hash, fields, sizeof fields);
}

// The last text made, with the zone and years it was made for: the rules
// of a dozen years take a registry read each, and every refresh of the
// summaries compares them. A zone changed meanwhile (another one chosen,
// its current rules or biases changed) no longer matches and is read again.
struct MadeText {
  CriticalSection lock;
  bool made = false;
  DYNAMIC_TIME_ZONE_INFORMATION zone = {};
  int firstYear = 0, lastYear = 0;
  std::string text;
};

MadeText& LastMade() {
  static MadeText* made = new MadeText;  // never destroyed: safe for late callers at exit
  return *made;
}

std::string IdentityText(const DYNAMIC_TIME_ZONE_INFORMATION& zone) {
  char name[200] = {};
  WideCharToMultiByte(CP_UTF8, 0, zone.TimeZoneKeyName, -1, name, sizeof name - 1, nullptr, nullptr);
  char text[280];
  snprintf(text, sizeof text, "%s|%ld|%ld|%ld|%d|", name, zone.Bias, zone.StandardBias, zone.DaylightBias,
           zone.DynamicDaylightTimeDisabled ? 1 : 0);
  return text;
}

std::string RulesText(DYNAMIC_TIME_ZONE_INFORMATION zone, int firstYear, int lastYear) {
  if (firstYear < lastYear - 199) firstYear = lastYear - 199;
  if (firstYear < 1601) firstYear = 1601;
  unsigned long long hash = 14695981039346656037ULL;
  for (int year = firstYear; year <= lastYear; ++year) {
    TIME_ZONE_INFORMATION rules = {};
    // A year the system cannot tell folds in as such.
    const long values[4] = {GetTimeZoneInformationForYear(static_cast<USHORT>(year), &zone, &rules) ? 1L : 0L,
                            rules.Bias, rules.StandardBias, rules.DaylightBias};
    Fold(hash, values, sizeof values);
    FoldTime(hash, rules.StandardDate);
    FoldTime(hash, rules.DaylightDate);
  }
  char years[40];
  snprintf(years, sizeof years, "%d-%d:%08lx%08lx", firstYear, lastYear, static_cast<unsigned long>(hash >> 32),
           static_cast<unsigned long>(hash & 0xFFFFFFFFUL));
  return IdentityText(zone) + years;
}

}  // namespace

std::string ZoneRulesText(int firstYear, int lastYear, bool fresh) {
  DYNAMIC_TIME_ZONE_INFORMATION zone = {};
  GetDynamicTimeZoneInformation(&zone);
  MadeText& last = LastMade();
  {
    SectionLock hold(last.lock);
    if (!fresh && last.made && last.firstYear == firstYear && last.lastYear == lastYear &&
        memcmp(&last.zone, &zone, sizeof zone) == 0)
      return last.text;
  }
  std::string text = RulesText(zone, firstYear, lastYear);
  SectionLock hold(last.lock);
  last.made = true;
  last.zone = zone;
  last.firstYear = firstYear;
  last.lastYear = lastYear;
  last.text = text;
  return text;
}

std::string ZoneIdentityText() {
  DYNAMIC_TIME_ZONE_INFORMATION zone = {};
  GetDynamicTimeZoneInformation(&zone);
  return IdentityText(zone);
}
