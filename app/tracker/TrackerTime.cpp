#include "app/tracker/TrackerTime.h"

#include "app/tracker/TrackerProtocol.h"
#include "core/DateTime.h"

int IsValidTrackerTime(const TrackerTime& time) {
  if (time.year < 2000 || time.year > 2255) return 0;
  if (time.month < 1 || time.month > 12 || time.day < 1) return 0;
  if (time.hour > 23 || time.minute > 59 || time.second > 59) return 0;
  static const unsigned days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  unsigned last = days[time.month - 1];
  bool leap = (time.year % 4 == 0 && time.year % 100 != 0) || time.year % 400 == 0;
  if (time.month == 2 && leap) last = 29;
  return time.day <= last;
}

long long TrackerTimeToSeconds(const TrackerTime& time) {
  if (!IsValidTrackerTime(time)) return 0;
  SYSTEMTIME system = {};
  system.wYear = static_cast<WORD>(time.year);
  system.wMonth = static_cast<WORD>(time.month);
  system.wDay = static_cast<WORD>(time.day);
  system.wHour = static_cast<WORD>(time.hour);
  system.wMinute = static_cast<WORD>(time.minute);
  system.wSecond = static_cast<WORD>(time.second);
  return ToUnixTime(system);
}

int TrackerTimeFromSeconds(long long seconds, TrackerTime& time) {
  const long long first = 946684800LL;    // 2000-01-01 00:00:00
  const long long beyond = 9025977600LL;  // 2256-01-01 00:00:00
  SYSTEMTIME system;
  if (seconds < first || seconds >= beyond || !FromUnixTime(system, seconds, 0)) return 0;
  time.year = system.wYear;
  time.month = system.wMonth;
  time.day = system.wDay;
  time.hour = system.wHour;
  time.minute = system.wMinute;
  time.second = system.wSecond;
  time.weekday = system.wDayOfWeek;
  return 1;
}

void PutTrackerTime(const TrackerTime& time, unsigned char* out) {
  out[0] = static_cast<unsigned char>(time.year - TRACKER_YEAR_BASE);
  out[1] = static_cast<unsigned char>(time.month);
  out[2] = static_cast<unsigned char>(time.day);
  out[3] = static_cast<unsigned char>(time.hour);
  out[4] = static_cast<unsigned char>(time.minute);
  out[5] = static_cast<unsigned char>(time.second);
}

TrackerTime GetTrackerTime(const unsigned char* in) {
  TrackerTime time;
  time.year = TRACKER_YEAR_BASE + in[0];
  time.month = in[1];
  time.day = in[2];
  time.hour = in[3];
  time.minute = in[4];
  time.second = in[5];
  return time;
}
