// Holds one COM initialisation of the calling thread. Init initialises COM
// (CoInitializeEx, looked up in ole32.dll when called) unless this holder
// already did; End uninitialises exactly once, and only when this holder's
// Init succeeded, so a thread that was initialised elsewhere is left alone.
// The destructor ends the apartment; a holder belongs to the thread that
// called Init.
#pragma once

#include <windows.h>
#include <objbase.h>

class ComApartment {
public:
  ComApartment() = default;
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() { End(); }

  // flags: COINIT_* of CoInitializeEx (COINIT_APARTMENTTHREADED by
  // default). When CoInitializeEx is missing, or fails with anything but
  // RPC_E_CHANGED_MODE, CoInitialize is used instead. Answers 1 when COM is
  // usable on this thread afterwards (also when the thread already runs in
  // the other apartment model, which this holder then does not end).
  int Init(DWORD flags = COINIT_APARTMENTTHREADED);
  void End();
  bool Initialised() const { return initialised_; }

private:
  bool initialised_ = false;
};
