// A tracker's runs listed with their labels on a thread of their own, so
// that a date list of years of runs never holds up the window: a page asks
// for the runs of its table, the request is held and the page's message
// posted with wParam 0; when the page has handled the messages before it
// (drawn its newest run) it releases the request, the thread lists the runs
// (ListRunsOf, which holds the store's lock only for its query) and posts
// the page's message with the request's ticket in wParam; the page then
// takes them on its own thread. Each table has its own newest request: one
// overtaken before it ran is dropped unread, and only the newest result is
// kept, until taken or dropped.
//
// The thread never sends to a window. Stop lets a listing under way finish,
// drops the queued ones and waits, dispatching the caller's messages.
#pragma once

#include <windows.h>

#include <vector>

#include "app/store/ActivityStore.h"
#include "core/CriticalSection.h"
#include "core/Worker.h"

class RunLister {
public:
  RunLister() = default;
  ~RunLister() {
    Stop();
    DropHeld();
  }
  RunLister(const RunLister&) = delete;
  RunLister& operator=(const RunLister&) = delete;

  // From the window thread; 1 when the thread runs. The store must outlive
  // the thread (Stop before closing it).
  int Start(ActivityStore& store);
  // Holds the listing of the tracker's runs of the table and posts message
  // to window with wParam 0; 1 when held (message is then posted to window
  // with ticket once released and listed, unless a newer request of the
  // table overtook it). A held request replaces one held before.
  int Request(const wchar_t* address, int table, HWND window, UINT message, unsigned ticket);
  // Queues the table's held request for the thread: 1 when queued (or
  // nothing was held, a newer request having been queued instead).
  int Release(int table);
  // The runs of the table's request with that ticket: 1 when handed over
  // (once); 0 when they are not there (not listed yet, or overtaken); -1
  // when they could not be read (the request is over, runs is empty).
  int Take(int table, unsigned ticket, std::vector<StoredRun>& runs);
  // The table's page wants no runs of its last request.
  void Drop(int table);
  // A request whose runs have been neither taken nor dropped.
  bool Outstanding() const;
  int Stop(DWORD limitMs = Event::Infinite);

private:
  struct Slot {
    unsigned newest = 0;  // the ticket of the newest request
    bool wanted = false;  // it is neither taken nor dropped
    bool done = false;    // runs holds its result
    bool failed = false;  // with done: the store could not list them
    std::vector<StoredRun> runs;
    ListItem* held = nullptr;  // requested, not yet released
  };
  static DWORD Handle(int phase, ListItem* item, void* self);
  void Run(ListItem* item);
  void DropHeld();
  Slot* SlotOf(int table) { return table == WalkingTable || table == SleepingTable ? &slots_[table] : nullptr; }

  Worker worker_;
  ActivityStore* store_ = nullptr;
  mutable CriticalSection lock_;  // guards the slots
  Slot slots_[2];
};
