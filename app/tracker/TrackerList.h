// The trackers connected by the last search. A tracker is known everywhere
// by its index in this list (0 the first; -1 none); the list owns its links.
#pragma once

#include "app/tracker/TrackerLink.h"
#include "core/IntrusiveList.h"
#include "core/WideString.h"

class TrackerList {
public:
  TrackerList();
  // Destroys the links that are still in the list.
  ~TrackerList();
  TrackerList(const TrackerList&) = delete;
  TrackerList& operator=(const TrackerList&) = delete;

  // The link at the index, or none (an index beyond the list, -1 included).
  // Walks without the lock: only the thread that changes the list uses it.
  TrackerLink* FindTracker(int index);
  // The tracker's address as "%02X:%02X:%02X:%02X:%02X:%02X"; 1/0, the text
  // unchanged on failure.
  int GetTrackerAddress(int index, WideString& text);
  // The tracker's live totals, distance in metres; 1/0, outputs unchanged on
  // failure. arrived: whether the tracker has sent any (before that they are
  // zeros that mean nothing).
  int GetLiveTotals(int index, unsigned& steps, unsigned& calories, unsigned& metres, bool* arrived = nullptr);
  // Removes and destroys every link.
  void Clear();
  // Adds a link at the end; 1: the list owns it from now on. 0 (none, or a
  // link that is already in a list): nothing changes and the link stays the
  // caller's to free.
  int Append(TrackerLink* link);
  unsigned Count();

private:
  TrackerLink* Find(unsigned index);

  IntrusiveList list_;
};
