// The Trends figures read on a thread of their own, so that summing up
// years of history for the first time never holds up the window: a page
// asks for the figures of a request, the thread reads them from the store
// (ReadTrendFigures) and posts the page's message to the page's window,
// with the request's ticket in wParam; the page then takes them on its own
// thread. Only the newest request counts: one overtaken by a newer request
// before it ran is dropped unread, and only the newest result is kept.
// A request may be answered twice: the figures come first without the
// check for runs changed in place (a pass over every run, made once a
// connection and after another program wrote), which follows once no
// request came for a second; when it changes them, they are posted again
// with the same ticket.
//
// The thread never sends to a window (a window thread waiting in Stop would
// never answer). Stop lets a read under way finish, drops the queued ones
// and waits, dispatching the caller's messages; a result posted to a
// window that has gone is lost with it, which is harmless.
#pragma once

#include <windows.h>

#include "app/trends/TrendFigures.h"
#include "core/CriticalSection.h"
#include "core/Event.h"
#include "core/Worker.h"

class ActivityStore;

class TrendsBuilder {
public:
  TrendsBuilder() = default;
  ~TrendsBuilder() { Stop(); }
  TrendsBuilder(const TrendsBuilder&) = delete;
  TrendsBuilder& operator=(const TrendsBuilder&) = delete;

  // From the window thread; 1 when the thread runs. The store must outlive
  // the thread (Stop before closing it).
  int Start(ActivityStore& store);
  // Queues the read of the request; 1 when queued (message is then posted
  // to window with ticket once it has run, unless a newer one overtook it).
  int Request(const TrendRequest& request, HWND window, UINT message, unsigned ticket);
  // The result of the request with that ticket: 1 with read (1: figures,
  // 0: problem says why); 0 when it is not there (not done, or overtaken).
  // The result is handed over once.
  int Take(unsigned ticket, int& read, TrendFigures& figures, WideString& problem);
  // 1 once the thread has ended (see Worker::Stop).
  int Stop(DWORD limitMs = Event::Infinite);

private:
  static DWORD Handle(int phase, ListItem* item, void* self);
  void Run(ListItem* item);
  // Keeps the result and posts the item's message, unless a newer request
  // overtook it (false).
  bool Publish(const ListItem& item, int read, TrendFigures& figures, const WideString& problem);
  // Whether the item (a BuildItem) is still the newest request.
  static bool StillNewest(void* item);

  Worker worker_;
  Event wake_;  // set by a request and by Stop: a check waiting for a quiet moment gives up
  ActivityStore* store_ = nullptr;
  CriticalSection lock_;  // guards what follows
  unsigned newest_ = 0;   // the ticket of the newest request
  bool stopping_ = false;  // Stop was called: no check is begun or gone on with
  bool done_ = false;     // result_ holds the newest request's result
  int read_ = 0;
  TrendFigures figures_;
  WideString problem_;
};
