#include "core/DateTime.h"

#include <cstdlib>

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

int LocalFromUtc(const SYSTEMTIME& utc, SYSTEMTIME& local) {
  FILETIME ft, localFt;
  if (!SystemTimeToFileTime(&utc, &ft)) return 0;
  SYSTEMTIME result;
  if (!FileTimeToLocalFileTime(&ft, &localFt) || !FileTimeToSystemTime(&localFt, &result))
    return 0;
  local = result;
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

int CopyTime(SYSTEMTIME& out, const SYSTEMTIME* source, int toLocal) {
  if (!source) {
    Now(out, toLocal == 1 ? 0 : 1);
    return 1;
  }
  if (toLocal != 1) {
    out = *source;
    return 1;
  }
  return LocalFromUtc(*source, out);
}

int FromUnixTime(SYSTEMTIME& out, long long seconds, int toLocal) {
  if (seconds < -EpochOffsetSeconds || seconds > LastSeconds) return 0;
  FILETIME ft = ToFileTime(static_cast<unsigned long long>(seconds + EpochOffsetSeconds) *
                           TicksPerSecond);
  if (toLocal == 1) {
    FILETIME localFt;
    if (!FileTimeToLocalFileTime(&ft, &localFt)) return 0;
    ft = localFt;
  }
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
