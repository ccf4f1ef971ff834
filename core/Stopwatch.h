// Measures elapsed time with the high-resolution counter, the multimedia
// timer or the 64-bit tick, whichever the system offers.
#pragma once

class Stopwatch {
public:
  static constexpr unsigned HighResolution = 0x1;
  static constexpr unsigned MultimediaTimer = 0x4;

  Stopwatch();

  // 1 when the high-resolution counter is now in use (on) or no longer (off).
  int SetHighResolution(int on);
  unsigned long long Start();  // the reading taken
  unsigned Stop();             // low 32 bits of the elapsed raw count
  unsigned long long ElapsedMilliseconds() const;
  unsigned long long ElapsedMicroseconds() const;
  unsigned long long Elapsed() const { return elapsed_; }  // raw units
  unsigned long long Frequency() const { return frequency_; }
  unsigned Flags() const { return flags_; }

private:
  unsigned long long Reading() const;
  // elapsed x unitsPerSecond / frequency without overflowing on long runs
  unsigned long long Scaled(unsigned long long unitsPerSecond) const;

  unsigned long long frequency_ = 0;
  unsigned long long start_ = 0;
  unsigned long long elapsed_ = 0;
  unsigned flags_ = 0;
};
