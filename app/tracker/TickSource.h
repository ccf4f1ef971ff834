// A millisecond tick for the simulated tracker: the system's by default, or
// one that only moves when told (tests and replays).
#pragma once

#include <windows.h>

class TickSource {
public:
  virtual ~TickSource() {}
  virtual unsigned long long Milliseconds() const = 0;
  // 1 when the tick moves by itself; a manual tick moves only through its
  // owner, who then wakes whoever waits on it.
  virtual int MovesByItself() const = 0;
};

class SystemTickSource : public TickSource {
public:
  unsigned long long Milliseconds() const override { return GetTickCount64(); }
  int MovesByItself() const override { return 1; }
};

class ManualTickSource : public TickSource {
public:
  explicit ManualTickSource(unsigned long long start = 0) : now_(start) {}
  unsigned long long Milliseconds() const override {
    return static_cast<unsigned long long>(InterlockedCompareExchange64(&now_, 0, 0));
  }
  int MovesByItself() const override { return 0; }
  void Advance(unsigned long long ms) { InterlockedExchangeAdd64(&now_, static_cast<LONGLONG>(ms)); }

private:
  mutable volatile LONGLONG now_;
};
