#include "ble/GattCallbackRegistry.h"

#include <algorithm>

GattCallbackRegistry& GattCallbackRegistry::Instance() {
  // Never destroyed: a platform thread may still call back while the
  // process ends and static objects go.
  static GattCallbackRegistry* registry = new GattCallbackRegistry;
  return *registry;
}

void* GattCallbackRegistry::Add(void* owner) {
  SectionLock hold(lock_);
  ULONG_PTR number = next_++;
  if (next_ == 0) next_ = 1;  // after wrapping, 0 stays "none"
  entries_[number].owner = owner;
  return reinterpret_cast<void*>(number);
}

void* GattCallbackRegistry::Enter(void* number) {
  SectionLock hold(lock_);
  auto found = entries_.find(reinterpret_cast<ULONG_PTR>(number));
  if (found == entries_.end() || found->second.removed) return nullptr;
  found->second.threads.push_back(GetCurrentThreadId());
  return found->second.owner;
}

void GattCallbackRegistry::Leave(void* number) {
  SectionLock hold(lock_);
  auto found = entries_.find(reinterpret_cast<ULONG_PTR>(number));
  if (found == entries_.end()) return;
  std::vector<DWORD>& threads = found->second.threads;
  auto mine = std::find(threads.begin(), threads.end(), GetCurrentThreadId());
  if (mine != threads.end()) threads.erase(mine);
  if (found->second.quiet) SetEvent(found->second.quiet);
}

void GattCallbackRegistry::Remove(void* number) {
  ULONG_PTR key = reinterpret_cast<ULONG_PTR>(number);
  DWORD self = GetCurrentThreadId();
  for (;;) {
    HANDLE quiet = nullptr;
    {
      SectionLock hold(lock_);
      auto found = entries_.find(key);
      if (found == entries_.end()) return;
      Entry& entry = found->second;
      entry.removed = true;  // no callback enters any more
      bool othersInFlight = false;
      for (DWORD thread : entry.threads) othersInFlight = othersInFlight || thread != self;
      if (!othersInFlight) {
        entries_.erase(found);
        return;
      }
      if (!entry.quiet) entry.quiet = CreateEventW(nullptr, TRUE, FALSE, nullptr);
      if (entry.quiet) ResetEvent(entry.quiet);
      quiet = entry.quiet;
    }
    // Without an event (out of resources) look again after a moment.
    if (quiet) {
      WaitForSingleObject(quiet, INFINITE);
    } else {
      Sleep(1);
    }
  }
}

size_t GattCallbackRegistry::Count() {
  SectionLock hold(lock_);
  return entries_.size();
}
