#include "core/Stopwatch.h"

#include <windows.h>
#include <mmsystem.h>

#include "core/TickCount.h"

namespace {

bool VistaOrLater() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  return GetVersionExW(&version) && version.dwMajorVersion >= 6;
}

}  // namespace

Stopwatch::Stopwatch() {
  flags_ = MultimediaTimer;
  if (VistaOrLater()) {
    LARGE_INTEGER frequency;
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0) {
      frequency_ = static_cast<unsigned long long>(frequency.QuadPart);
      flags_ = HighResolution;
    }
  }
}

int Stopwatch::SetHighResolution(int on) {
  if (!on) {
    flags_ &= ~HighResolution;
    return 1;
  }
  LARGE_INTEGER frequency;
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) {
    flags_ &= ~HighResolution;
    return 0;
  }
  frequency_ = static_cast<unsigned long long>(frequency.QuadPart);
  flags_ |= HighResolution;
  return 1;
}

unsigned long long Stopwatch::Reading() const {
  if (flags_ & HighResolution) {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<unsigned long long>(counter.QuadPart);
  }
  if (flags_ & MultimediaTimer) return timeGetTime();
  return TickCount64();
}

unsigned long long Stopwatch::Start() {
  start_ = Reading();
  return start_;
}

unsigned Stopwatch::Stop() {
  elapsed_ = Reading() - start_;
  return static_cast<unsigned>(elapsed_);
}

unsigned long long Stopwatch::Scaled(unsigned long long unitsPerSecond) const {
  if (!frequency_) return 0;
  unsigned long long whole = elapsed_ / frequency_;
  unsigned long long rest = elapsed_ % frequency_;
  return whole * unitsPerSecond + rest * unitsPerSecond / frequency_;
}

unsigned long long Stopwatch::ElapsedMilliseconds() const {
  return (flags_ & HighResolution) ? Scaled(1000) : elapsed_;
}

unsigned long long Stopwatch::ElapsedMicroseconds() const {
  return (flags_ & HighResolution) ? Scaled(1000000) : elapsed_ * 1000;
}
