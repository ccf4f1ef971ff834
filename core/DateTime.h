// Calendar times: the tracker's clock and every activity run count whole
// seconds since 1970-01-01 00:00:00 UTC (Unix seconds); the windows show
// local times in the user's locale.
#pragma once

#include <windows.h>

class WideString;

// The current time: UTC when utc is 1, else local time.
void Now(SYSTEMTIME& out, int utc);

// toLocal 1: the source is UTC and comes out as local time; otherwise it is
// copied. Without a source, the current time (local when toLocal is 1, else
// UTC). 0 if the source is not a valid time (out unchanged).
int CopyTime(SYSTEMTIME& out, const SYSTEMTIME* source, int toLocal);

// Unix seconds to a calendar time, UTC or (toLocal 1) local. 0 for seconds
// outside the range a calendar time can hold (out unchanged).
int FromUnixTime(SYSTEMTIME& out, long long seconds, int toLocal);

// A calendar time to Unix seconds; the milliseconds are dropped. A time that
// is not valid gives 0, with *ok set to 0 when ok is given.
long long ToUnixTime(const SYSTEMTIME& time, int* ok = nullptr);

// The date or time in the user's locale, with the flags of GetDateFormatW
// (DATE_SHORTDATE, DATE_LONGDATE...) or GetTimeFormatW (TIME_NOSECONDS...).
// The time is formatted as it stands; without one, the current time (UTC
// when utc is 1, else local). 0 on failure, with out emptied.
int FormatDate(WideString& out, DWORD flags, const SYSTEMTIME* time, int utc);
int FormatTime(WideString& out, DWORD flags, const SYSTEMTIME* time, int utc);
