#include "core/CriticalSection.h"

void CriticalSection::Initialise() {
  if (initialised_) return;
  InitializeCriticalSection(&section_);
  initialised_ = true;
}

int CriticalSection::Enter() {
  if (initialised_) EnterCriticalSection(&section_);
  return initialised_;
}

int CriticalSection::Leave() {
  if (initialised_) LeaveCriticalSection(&section_);
  return initialised_;
}

void CriticalSection::Delete() {
  if (!initialised_) return;
  DeleteCriticalSection(&section_);
  initialised_ = false;
}
