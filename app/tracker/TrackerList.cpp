#include "app/tracker/TrackerList.h"

TrackerList::TrackerList() { list_.Init(); }

TrackerList::~TrackerList() {
  list_.Clear();
  list_.Destroy();
}

TrackerLink* TrackerList::Find(unsigned index) {
  unsigned position = 0;
  for (ListItem* item = list_.First(); item; item = list_.Next(item), ++position) {
    if (position == index) return static_cast<TrackerLink*>(item);
  }
  return nullptr;
}

TrackerLink* TrackerList::FindTracker(int index) { return Find(static_cast<unsigned>(index)); }

int TrackerList::GetTrackerAddress(int index, WideString& text) {
  list_.Lock();
  TrackerLink* link = Find(static_cast<unsigned>(index));
  unsigned char a[6];
  int found = link && link->characteristic && link->characteristic->GetDeviceAddress(a);
  list_.Unlock();
  if (!found) return 0;
  WideString address;
  if (!address.Format(L"%02X:%02X:%02X:%02X:%02X:%02X", a[0], a[1], a[2], a[3], a[4], a[5])) return 0;
  return text.Assign(address);
}

int TrackerList::GetLiveTotals(int index, unsigned& steps, unsigned& calories, unsigned& metres, bool* arrived) {
  list_.Lock();
  TrackerLink* link = Find(static_cast<unsigned>(index));
  if (link) {
    // The link's lock as well, so that the three totals belong together.
    SectionLock hold(link->lock);
    steps = link->liveSteps;
    calories = link->liveCalories;
    metres = link->liveDistance * DISTANCE_UNIT_METRES;
    if (arrived) *arrived = link->liveTotalsArrived;
  }
  list_.Unlock();
  return link != nullptr;
}

void TrackerList::Clear() { list_.Clear(); }

int TrackerList::Append(TrackerLink* link) { return link && list_.PushBack(link) ? 1 : 0; }

unsigned TrackerList::Count() {
  list_.Lock();
  unsigned count = 0;
  for (ListItem* item = list_.First(); item; item = list_.Next(item)) ++count;
  list_.Unlock();
  return count;
}
