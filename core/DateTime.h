// Calendar times: the tracker's clock and every activity run count whole
// seconds since 1970-01-01 00:00:00 UTC (Unix seconds); the windows show
// local times in the user's locale.
//
// Local times follow the rules of their own date, not today's offset: a run
// of June shows summer time when it is looked at in December, and a time of
// 2007 follows the zone's rules of 2007 where they have changed since. What
// is stored stays in UTC seconds; only what is shown (and a day's bounds) is
// local.
//
// Where a conversion takes a zone, none means the machine's zone as the
// system describes it at the moment of the call, with the rules the system
// keeps for each year. A zone given with a TimeZoneKeyName the system knows
// (and DynamicDaylightTimeDisabled 0) follows that zone's rules for each
// year; any other zone given applies its own Bias, StandardDate/Bias and
// DaylightDate/Bias to every year, so a caller or a test can describe a
// zone literally.
#pragma once

#include <windows.h>

class WideString;

// The current time: UTC when utc is 1, else local time.
void Now(SYSTEMTIME& out, int utc);

// A UTC calendar time as local time in the zone, by the rules of that date.
// 0 (local unchanged) when utc is not a valid time or the zone's rules
// cannot be read.
int LocalFromUtc(SYSTEMTIME& local, const SYSTEMTIME& utc,
                 const DYNAMIC_TIME_ZONE_INFORMATION* zone = nullptr);

// Unix seconds as local time in the zone, by the rules of that date. 0 (local
// unchanged) for seconds outside the range a calendar time can hold.
int LocalFromUnixTime(SYSTEMTIME& local, long long seconds,
                      const DYNAMIC_TIME_ZONE_INFORMATION* zone = nullptr);

// A local calendar time of the zone as Unix seconds, by the rules of that
// date: the local midnight or noon that bounds a day, for example. The
// milliseconds are dropped. A time the clocks skip or pass twice on the day
// they change is placed as the system's TzSpecificLocalTimeToSystemTime
// places it. 0 (seconds unchanged) when local is not a valid time.
int UnixTimeFromLocal(long long& seconds, const SYSTEMTIME& local,
                      const DYNAMIC_TIME_ZONE_INFORMATION* zone = nullptr);

// toLocal 1: the source is UTC and comes out as local time (LocalFromUtc in
// the machine's zone); otherwise it is copied. Without a source, the current
// time (local when toLocal is 1, else UTC). 0 if the source is not a valid
// time (out unchanged).
int CopyTime(SYSTEMTIME& out, const SYSTEMTIME* source, int toLocal);

// Unix seconds to a calendar time, UTC or (toLocal 1) local in the machine's
// zone by the rules of that date. 0 for seconds outside the range a calendar
// time can hold (out unchanged).
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
