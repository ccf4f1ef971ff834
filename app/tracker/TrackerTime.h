// The tracker's calendar fields (UTC) and Unix seconds.
#pragma once

struct TrackerTime {
  unsigned year = 2000;  // 2000-2255: the tracker sends year - 2000 in one byte
  unsigned month = 1;
  unsigned day = 1;
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
  unsigned weekday = 0;  // 0 Sunday; filled by TrackerTimeFromSeconds
};

// 1 when the fields form a real date and time the tracker can hold.
int IsValidTrackerTime(const TrackerTime& time);
// Unix seconds of valid fields; 0 when they are not valid.
long long TrackerTimeToSeconds(const TrackerTime& time);
// The fields of Unix seconds; 0 when they fall outside 2000-2255.
int TrackerTimeFromSeconds(long long seconds, TrackerTime& time);
// The 6 bytes year - 2000, month, day, hour, minute, second.
void PutTrackerTime(const TrackerTime& time, unsigned char* out);
TrackerTime GetTrackerTime(const unsigned char* in);
