// A recursive lock over the system critical section.
#pragma once

#include <windows.h>

class CriticalSection {
public:
  CriticalSection() { Initialise(); }
  ~CriticalSection() { Delete(); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Initialise();
  int Enter();   // the initialised flag; nothing happens when it is false
  int Leave();
  void Delete();
  bool IsInitialised() const { return initialised_; }

private:
  CRITICAL_SECTION section_;
  bool initialised_ = false;
};

// Holds a critical section for the lifetime of a scope.
class SectionLock {
public:
  explicit SectionLock(CriticalSection& section) : section_(section) { section_.Enter(); }
  ~SectionLock() { section_.Leave(); }
  SectionLock(const SectionLock&) = delete;
  SectionLock& operator=(const SectionLock&) = delete;

private:
  CriticalSection& section_;
};
