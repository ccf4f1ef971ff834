// A hand-made history of known figures in the Europe/Berlin zone, for the
// Trends tests and the page check. Tracker A walks once a day (10:00 local)
// from 2014-03-18 (9,000 steps) to 2014-04-04 (5,000, "today"): 03-19 to
// 03-30 each reach their goal (10,000, then 12,000 from 03-25), a 12-day
// streak; 03-24 has 11,000 (enough for its own goal only); 03-22 23:30 to
// 03-23 00:30 a walk over midnight (2,000 + 4,000); 03-30 a walk over the
// change to summer time (01:30 CET to 03:30 CEST); 03-31 nothing. Every
// record's metres are its steps, its calories a twentieth of them.
// Nights: 03-20 23:30-06:30 asleep; 03-21 00:30 (on 03-22) to 07:50 with 20
// minutes awake; 03-29 split into two runs over the change to summer time
// (23:00 to 03:02, 11 asleep, 4 awake). Tracker B walks 50,000 steps on 03-25.
#pragma once

#include <windows.h>

#include <vector>

#include "app/store/ActivityStore.h"

namespace trendstest {

const wchar_t A[] = L"02:50:4C:54:4E:01";
const wchar_t B[] = L"02:50:4C:54:4E:02";
const wchar_t Goals[] = L"2014-03-25:12000";

inline unsigned Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
  SYSTEMTIME time = {year, month, 0, day, hour, minute, 0, 0};
  FILETIME file;
  SystemTimeToFileTime(&time, &file);
  return static_cast<unsigned>((((ULONGLONG)file.dwHighDateTime << 32 | file.dwLowDateTime) / 10000000ULL) -
                               11644473600ULL);
}

inline int Store(ActivityStore& store, int table, const wchar_t* tracker, unsigned start,
                 const std::vector<unsigned>& values) {
  ByteBuffer pattern;
  for (unsigned v : values) {
    if (table == SleepingTable) {
      unsigned char byte = static_cast<unsigned char>(v);
      BufferAppend(pattern, &byte, 1);
      continue;
    }
    unsigned char record[6] = {static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v),
                               static_cast<unsigned char>(v / 20 >> 8), static_cast<unsigned char>(v / 20),
                               static_cast<unsigned char>(v / 10 >> 8), static_cast<unsigned char>(v / 10)};
    BufferAppend(pattern, record, 6);
  }
  int ok = store.InsertRun(table, tracker, start, pattern);
  BufferClear(pattern);
  return ok;
}

// Two quarter hours from 10:00 local (CET before 03-30, CEST from then).
inline int Day(ActivityStore& store, const wchar_t* tracker, WORD month, WORD day, unsigned steps) {
  WORD hour = month == 3 && day < 30 ? 9 : 8;
  return Store(store, WalkingTable, tracker, Utc(2014, month, day, hour, 0), {steps / 2, steps - steps / 2});
}

inline std::vector<unsigned> Night(std::initializer_list<std::pair<unsigned, unsigned>> stretches) {
  std::vector<unsigned> bytes = {0xAA};
  for (const auto& stretch : stretches) bytes.insert(bytes.end(), stretch.second, stretch.first);
  return bytes;
}

inline int StoreHistory(const wchar_t* path) {
  ActivityStore store;
  if (!store.OpenFile(path)) return 0;
  const unsigned march[] = {9000, 10000, 10500, 11000, 8200, 6500, 11000, 12000, 12500, 15000, 13000, 12100};
  int ok = 1;
  for (WORD day = 18; day <= 29; ++day) ok &= Day(store, A, 3, day, march[day - 18]);
  const unsigned april[] = {12000, 13500, 12020, 5000};
  for (WORD day = 1; day <= 4; ++day) ok &= Day(store, A, 4, day, april[day - 1]);
  return ok && Store(store, WalkingTable, A, Utc(2014, 3, 22, 22, 30), {1000, 1000, 2000, 2000}) &&
         Store(store, WalkingTable, A, Utc(2014, 3, 30, 0, 30), {3000, 3000, 3000, 3000}) &&
         Day(store, B, 3, 25, 50000) &&
         Store(store, SleepingTable, A, Utc(2014, 3, 20, 22, 26), Night({{0x55, 105}})) &&
         Store(store, SleepingTable, A, Utc(2014, 3, 21, 23, 26), Night({{0x55, 50}, {0x00, 5}, {0x55, 55}})) &&
         Store(store, SleepingTable, A, 1396130160, {0xAA, 0x55, 0x15}) &&
         Store(store, SleepingTable, A, 1396140720, {0x51, 0x0F, 0x9A});
}

}  // namespace trendstest
