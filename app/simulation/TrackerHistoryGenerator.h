// Believable history for the simulated tracker, the same for the same seed:
// days of walking (three or four walks a day, each a run of busy quarter
// hours, with pauses of well over an hour between walks), nights of sleep
// (4-minute bytes of 2-bit levels between fully active 0xAA periods), and a
// charge every third day that interrupts the recording (a marker block in
// both streams).
#pragma once

#include <vector>

typedef std::vector<unsigned char> Bytes;

struct HistoryTotals {
  unsigned steps = 0;
  unsigned calories = 0;
  unsigned distance = 0;  // units of 10 m
};

class TrackerHistoryGenerator {
public:
  // The most days that still fit both frames' 16-bit length fields.
  static const unsigned MaxDays = 90;

  explicit TrackerHistoryGenerator(unsigned seed);

  // Frames covering `days` calendar days (UTC) up to `now` (Unix seconds, the
  // tracker's clock): the first day starts at midnight, the last ends at now.
  // Without days both frames hold no records and start at now. today gets
  // the totals of the last day's walking. 0 when now is outside the
  // tracker's years or days exceeds MaxDays.
  int Generate(long long now, unsigned days, Bytes& walking, Bytes& sleeping,
               HistoryTotals* today = nullptr);

  // A history frame around a stream. 0 when the frame is too long for the
  // length field (it then holds the length modulo 65536).
  static int MakeWalkingFrame(long long start, const Bytes& stream, Bytes& frame);
  static int MakeSleepingFrame(long long start, const Bytes& stream, Bytes& frame);

  // A marker block for either stream (21 or 14 bytes) stamped with a time.
  static void AppendMarkerBlock(Bytes& stream, unsigned blockSize, long long when);

private:
  unsigned Next();
  unsigned Range(unsigned low, unsigned high);  // inclusive
  bool Chance(unsigned percent);

  void PlanDay(std::vector<unsigned>& steps);
  unsigned char SleepByte(unsigned minuteIntoSleep, unsigned minutesLeft);

  unsigned state_;
};
