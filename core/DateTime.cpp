#include "core/DateTime.h"

#include <cstdlib>
#include <cstring>

#include "core/WideString.h"

namespace {

const long long EpochOffsetSeconds = 11644473600LL;  // 1601-01-01 to 1970-01-01
const long long TicksPerSecond = 10000000LL;         // FILETIME counts 100 ns
// FileTimeToSystemTime takes values below 2^63.
const long long LastSeconds = 0x7FFFFFFFFFFFFFFFLL / TicksPerSecond - EpochOffsetSeconds;

FILETIME ToFileTime(unsigned long long ticks) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

unsigned long long Ticks(const FILETIME& ft) {
  return (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// The system's rules of a named zone for one year. GetTimeZoneInformationForYear
// reads them from the registry (about 2 ms a call under Wine), so its answers
// are kept by zone name and year for labelling long lists of runs; rules the
// system changes while the program runs are seen at the next start.
struct KeptRules {
  wchar_t zone[128];
  WORD year;
  BOOL found;
  TIME_ZONE_INFORMATION rules;
};
const unsigned KeptCount = 16;
KeptRules kept[KeptCount];
unsigned keptUsed = 0, keptNext = 0;
SRWLOCK keptLock = SRWLOCK_INIT;

int NamedRulesForYear(const DYNAMIC_TIME_ZONE_INFORMATION& zone, WORD year,
                      TIME_ZONE_INFORMATION& rules) {
  AcquireSRWLockShared(&keptLock);
  for (unsigned i = 0; i < keptUsed; ++i) {
    if (kept[i].year != year || wcsncmp(kept[i].zone, zone.TimeZoneKeyName, 128) != 0) continue;
    BOOL found = kept[i].found;
    if (found) rules = kept[i].rules;
    ReleaseSRWLockShared(&keptLock);
    return found;
  }
  ReleaseSRWLockShared(&keptLock);
  KeptRules fresh;
  memcpy(fresh.zone, zone.TimeZoneKeyName, sizeof fresh.zone);
  fresh.year = year;
  DYNAMIC_TIME_ZONE_INFORMATION named = zone;  // the call takes it as writable
  fresh.found = GetTimeZoneInformationForYear(year, &named, &fresh.rules);
  AcquireSRWLockExclusive(&keptLock);
  kept[keptNext] = fresh;
  keptNext = (keptNext + 1) % KeptCount;
  if (keptUsed < KeptCount) ++keptUsed;
  ReleaseSRWLockExclusive(&keptLock);
  if (fresh.found) rules = fresh.rules;
  return fresh.found;
}

// The zone's rules for one year: the system's own for a zone it knows by
// name, else the rules the zone carries, for every year.
int RulesForYear(const DYNAMIC_TIME_ZONE_INFORMATION* zone, WORD year,
                 TIME_ZONE_INFORMATION& rules) {
  DYNAMIC_TIME_ZONE_INFORMATION machine;
  if (!zone) {
    if (GetDynamicTimeZoneInformation(&machine) == TIME_ZONE_ID_INVALID)
      return GetTimeZoneInformation(&rules) != TIME_ZONE_ID_INVALID;
    zone = &machine;
  }
  if (!zone->DynamicDaylightTimeDisabled && zone->TimeZoneKeyName[0] &&
      NamedRulesForYear(*zone, year, rules))
    return 1;
  rules.Bias = zone->Bias;
  memcpy(rules.StandardName, zone->StandardName, sizeof rules.StandardName);
  rules.StandardDate = zone->StandardDate;
  rules.StandardBias = zone->StandardBias;
  memcpy(rules.DaylightName, zone->DaylightName, sizeof rules.DaylightName);
  rules.DaylightDate = zone->DaylightDate;
  rules.DaylightBias = zone->DaylightBias;
  return 1;
}

typedef int(WINAPI* FormatFunction)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int);

int Format(FormatFunction format, WideString& out, DWORD flags, const SYSTEMTIME* time,
           int utc) {
  SYSTEMTIME now;
  if (!time) {
    Now(now, utc);
    time = &now;
  }
  int n = format(LOCALE_USER_DEFAULT, flags, time, nullptr, nullptr, 0);
  wchar_t* text = n > 0 ? static_cast<wchar_t*>(malloc(sizeof(wchar_t) * n)) : nullptr;
  int ok = text && format(LOCALE_USER_DEFAULT, flags, time, nullptr, text, n) > 0 &&
           out.Assign(text);
  free(text);
  if (!ok) out.Assign(L"");
  return ok;
}

}  // namespace

void Now(SYSTEMTIME& out, int utc) {
  if (utc == 1)
    GetSystemTime(&out);
  else
    GetLocalTime(&out);
}

int LocalFromUtc(SYSTEMTIME& local, const SYSTEMTIME& utc,
                 const DYNAMIC_TIME_ZONE_INFORMATION* zone) {
  FILETIME valid;
  if (!SystemTimeToFileTime(&utc, &valid)) return 0;
  TIME_ZONE_INFORMATION rules;
  SYSTEMTIME result;
  if (!RulesForYear(zone, utc.wYear, rules) ||
      !SystemTimeToTzSpecificLocalTime(&rules, &utc, &result))
    return 0;
  // Around the turn of the year the local date lies in the other year, whose
  // rules may differ (a southern summer spans it).
  if (result.wYear != utc.wYear &&
      (!RulesForYear(zone, result.wYear, rules) ||
       !SystemTimeToTzSpecificLocalTime(&rules, &utc, &result)))
    return 0;
  local = result;
  return 1;
}

int LocalFromUnixTime(SYSTEMTIME& local, long long seconds,
                      const DYNAMIC_TIME_ZONE_INFORMATION* zone) {
  SYSTEMTIME utc;
  return FromUnixTime(utc, seconds, 0) && LocalFromUtc(local, utc, zone);
}

int UnixTimeFromLocal(long long& seconds, const SYSTEMTIME& local,
                      const DYNAMIC_TIME_ZONE_INFORMATION* zone) {
  FILETIME valid;
  if (!SystemTimeToFileTime(&local, &valid)) return 0;
  TIME_ZONE_INFORMATION rules;
  SYSTEMTIME utc;
  if (!RulesForYear(zone, local.wYear, rules) ||
      !TzSpecificLocalTimeToSystemTime(&rules, &local, &utc))
    return 0;
  int ok = 0;
  long long result = ToUnixTime(utc, &ok);
  if (!ok) return 0;
  seconds = result;
  return 1;
}

int CopyTime(SYSTEMTIME& out, const SYSTEMTIME* source, int toLocal) {
  if (!source) {
    Now(out, toLocal == 1 ? 0 : 1);
    return 1;
  }
  if (toLocal != 1) {
    out = *source;
    return 1;
  }
  return LocalFromUtc(out, *source);
}

int FromUnixTime(SYSTEMTIME& out, long long seconds, int toLocal) {
  if (seconds < -EpochOffsetSeconds || seconds > LastSeconds) return 0;
  if (toLocal == 1) return LocalFromUnixTime(out, seconds);
  FILETIME ft = ToFileTime(static_cast<unsigned long long>(seconds + EpochOffsetSeconds) *
                           TicksPerSecond);
  SYSTEMTIME result;
  if (!FileTimeToSystemTime(&ft, &result)) return 0;
  out = result;
  return 1;
}

long long ToUnixTime(const SYSTEMTIME& time, int* ok) {
  FILETIME ft;
  if (!SystemTimeToFileTime(&time, &ft)) {
    if (ok) *ok = 0;
    return 0;
  }
  if (ok) *ok = 1;
  // Whole seconds since 1601 first, so that times before 1970 drop their
  // milliseconds too instead of rounding towards 1970.
  long long seconds = static_cast<long long>(Ticks(ft) / TicksPerSecond);
  return seconds - EpochOffsetSeconds;
}

int FormatDate(WideString& out, DWORD flags, const SYSTEMTIME* time, int utc) {
  return Format(GetDateFormatW, out, flags, time, utc);
}

int FormatTime(WideString& out, DWORD flags, const SYSTEMTIME* time, int utc) {
  return Format(GetTimeFormatW, out, flags, time, utc);
}
