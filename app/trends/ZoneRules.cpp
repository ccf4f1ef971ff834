#include "app/trends/ZoneRules.h"

#include <windows.h>

#include <cstdio>

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

}  // namespace

std::string ZoneRulesText(int firstYear, int lastYear) {
  DYNAMIC_TIME_ZONE_INFORMATION zone = {};
  GetDynamicTimeZoneInformation(&zone);
  char name[200] = {};
  WideCharToMultiByte(CP_UTF8, 0, zone.TimeZoneKeyName, -1, name, sizeof name - 1, nullptr, nullptr);
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
  char text[320];
  snprintf(text, sizeof text, "%s|%ld|%ld|%ld|%d|%d-%d:%08lx%08lx", name, zone.Bias, zone.StandardBias,
           zone.DaylightBias, zone.DynamicDaylightTimeDisabled ? 1 : 0, firstYear, lastYear,
           static_cast<unsigned long>(hash >> 32), static_cast<unsigned long>(hash & 0xFFFFFFFFUL));
  return text;
}
