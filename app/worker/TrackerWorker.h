// All talking to trackers, on one worker thread: search and connect, device
// information, history download (decoded and stored), live totals on and
// off, and setting the clock. The window thread only queues operations; the
// worker reports progress and results as facts through a TrackerView and
// posts WM_TRACKER_UPDATE. It owns the tracker list (every tracker is known
// by its index there) and the device enumeration of the last search, and
// stores runs under the tracker's address.
//
// Each operation is one row of the worker's operation table: its code, the
// status line's text while it runs, what kind of work it is, and what runs
// it. Queueing a code the table does not have is a fault of the program:
// it is refused and said (debugger output and standard error), never queued.
//
// Setting the clock erases the tracker's history, so the worker first
// downloads and stores it and has the store write it through to the disk;
// when the download is incomplete or a run cannot be stored or secured,
// the clock is left alone, the status line says so and nothing is posted.
// The clock command follows the write-through at once: whatever the
// tracker records meanwhile is erased with the rest. After a download the
// status line tells how many runs were stored and how many could not be,
// after setting the clock what was done; every text about a tracker's work
// begins with the tracker's name, and a download that others follow says
// which it is of how many ("tracker 2 of 3").
//
// A tracker rests for a while after each history download: its next
// command waits until the rest is over (the clock command excepted), while
// work for other trackers goes on. Operations for a resting tracker are
// kept aside in the order queued, and so is whatever must follow them: a
// search, which talks to every tracker and renumbers them (it also waits
// for every rest to end), and an operation for no tracker (the window's
// mark that everything queued before it has run).
//
// Work the window queues for a tracker also carries the tracker's address,
// because a search may renumber the trackers before it runs (a search that
// waits for a rest holds back what is queued after it, while the window
// still shows the old list). When it runs, the tracker at its index must
// still have that address: setting the clock follows its tracker to the
// index the search gave it, and says on the status line when the search
// did not find it again; device information and live totals for an index
// that now names another tracker are dropped unrun (after a search the
// window asks again for the tracker it shows).
//
// Use: construct; Start with the GATT backend (the Windows stack, or a
// simulated one), the view and the store; queue operations; Stop before the
// view, the store or the backend go (Stop keeps the caller's messages
// flowing while it waits).
#pragma once

#include <windows.h>

#include <deque>
#include <vector>

#include "app/tracker/HistoryDecoder.h"
#include "app/tracker/TickSource.h"
#include "app/tracker/TrackerList.h"
#include "core/CriticalSection.h"
#include "core/Event.h"
#include "core/IntrusiveList.h"
#include "core/WideString.h"
#include "core/Worker.h"

class ActivityStore;
class GattBackend;
class GattEnumerator;
class TrackerView;

// Operation codes of the work items; each has its row in the worker's
// operation table.
enum TrackerOperation : int {
  OperationSearch = 0,
  OperationDeviceInfo = 1,
  OperationHistory = 2,
  OperationLiveTotals = 3,
  OperationSetTime = 4,
};

extern const wchar_t TRACKER_SERVICE_UUID[];         // "{FC1CFF01-71F1-887F-C5FA-A19B3DCA3230}"
extern const wchar_t TRACKER_CHARACTERISTIC_UUID[];  // "{FC1CFF08-71F1-887F-C5FA-A19B3DCA3230}"

// What the last search and the downloads after it came to, for a run that
// closes by itself and ends with a code a task scheduler can use.
struct TrackerRunSummary {
  unsigned found = 0;       // trackers the last search found
  unsigned downloaded = 0;  // of them, those whose last download was whole and wholly stored
  WideString problems;      // one line per tracker whose last download was not
};

// Waits of the operations (milliseconds); tests shorten them.
struct TrackerWorkerTimings {
  DWORD commandTimeoutMs = 10000;   // every command's answer
  DWORD historyPeriodMs = 10000;    // one period of the history wait
  DWORD beforeQueriesMs = 1000;     // before the device information queries
  DWORD afterHistoryMs = 10000;     // the tracker's rest after a history download
  DWORD stopLimitMs = 5000;         // how long Stop waits for the running operation
};

class TrackerWorker {
public:
  TrackerWorker();
  ~TrackerWorker();  // stops
  TrackerWorker(const TrackerWorker&) = delete;
  TrackerWorker& operator=(const TrackerWorker&) = delete;

  // Starts the thread and queues the first search. backend, view and store
  // are not owned and must outlive the worker's run (until Stop); without a
  // store no run is stored. 1/0.
  int Start(GattBackend* backend, TrackerView* view, ActivityStore* store);
  // Lets the running operation finish (its pauses and its waits for the
  // tracker's answers are cut short, so a lost answer does not hold the
  // program open), drops the queued ones, waits for the thread while
  // dispatching the caller's messages, empties the tracker list and then
  // frees the device enumeration. Harmless when repeated. 1 when the thread
  // has ended; 0 when it is still held after timings.stopLimitMs (a
  // platform call that does not return): then the links and the
  // enumeration stay, and the caller must keep the view, the store object
  // and the backend as they are and end the process rather than destroy
  // the worker (Abandoned tells).
  int Stop();
  bool Abandoned() const { return abandoned_; }

  // Queues the operation for the tracker at the index (flag: live totals 1
  // on, 0 off); never blocks. address (none or empty: the index alone) is
  // the address text that tracker had when the work was asked for (see
  // above). 1 when queued; 0 when it could not be, or for an operation the
  // table does not have (said, see above).
  int Queue(TrackerOperation operation, int trackerIndex, int flag = 0, const wchar_t* address = nullptr);
  // The same for each operation; never block; 1 when queued.
  int QueueSearch();
  int QueueDeviceInfo(int trackerIndex, const wchar_t* address = nullptr);
  // Device information that runs next, before the operations queued so far
  // (the tracker the user has just picked).
  int QueueDeviceInfoNext(int trackerIndex, const wchar_t* address = nullptr);
  int QueueHistory(int trackerIndex);
  int QueueLiveTotals(int trackerIndex, int on, const wchar_t* address = nullptr);
  int QueueSetTime(int trackerIndex, const wchar_t* address = nullptr);

  // History downloads (and clock settings, which download first) queued or
  // running and not yet stored; runningTracker (may be none) gets the
  // tracker index of the one running, or -1. Any thread.
  int DownloadsPending(int* runningTracker) const;

  TrackerList& Trackers() { return trackers_; }
  int GetTrackerAddress(int trackerIndex, WideString& text) { return trackers_.GetTrackerAddress(trackerIndex, text); }
  int GetLiveTotals(int trackerIndex, unsigned& steps, unsigned& calories, unsigned& metres,
                    bool* arrived = nullptr) {
    return trackers_.GetLiveTotals(trackerIndex, steps, calories, metres, arrived);
  }

  // Any thread.
  void Summary(TrackerRunSummary& out);

  TrackerWorkerTimings timings;  // set before Start
  // The clock of the rests (not owned; none: the system's). Set before
  // Start; with a manual tick, call Wake after moving it.
  TickSource* ticks = nullptr;
  // Has the worker look again at the operations waiting for a rest to end.
  int Wake();

private:
  class WorkItem;
  struct OperationRow;
  // An operation taken from the queue: run, or kept aside.
  struct Waiting {
    const OperationRow* row;
    int argument;        // the tracker index it was queued with
    int flag;
    WideString address;  // the tracker's address when queued; empty: the index alone
  };

  // The operation table, and its row of an operation code (none: unknown).
  static const OperationRow kOperations[];
  static const OperationRow* FindOperation(int operation);
  static DWORD Handle(int phase, ListItem* item, void* self);
  void Run(const Waiting& work);
  // The index the operation is for in the list as it is now (see above);
  // kTrackerGone when it is for a tracker the list no longer has there.
  static const int kTrackerGone = -2;
  int TrackerFor(const Waiting& work);
  // An operation whose tracker is gone: uncounted, and said when its row
  // has words for it.
  void Drop(const Waiting& work);
  // Whether the operation must wait: for its tracker's rest, or behind the
  // first `earlier` operations kept aside.
  bool MustWait(const Waiting& work, size_t earlier);
  // Runs, in order, each operation kept aside that need not wait any
  // longer; then asks to be woken when the next rest ends.
  void RunWaiting();
  bool Resting(TrackerLink& link);
  unsigned long long Ticks();
  // Posts a work item (first: to run next); counts a download. 1/0.
  int Post(const OperationRow& row, int trackerIndex, int flag, const wchar_t* address, bool first);
  // A counted download is over (once per operation).
  void DownloadEnded(int trackerIndex);
  // Each operation returns the status line's text for after it (usually
  // empty).
  void Search(WideString& after);
  void DeviceInfo(int trackerIndex);
  void History(int trackerIndex, WideString& after);
  void LiveTotals(int trackerIndex, int on);
  void SetTime(int trackerIndex, WideString& after);
  // Before links are dropped: a tracker left sending live totals would send
  // them on into the next connection's downloads.
  void SwitchLiveTotalsOff();
  // Downloads the history, decodes and stores it; 1 when both frames came
  // and every run was stored. added: a run was new or had grown.
  int DownloadHistory(TrackerLink& link, int trackerIndex, HistoryTally& tally, int& complete,
                      bool* added = nullptr);
  // Waits unless Stop is under way; 0 when it was cut short.
  int Pause(DWORD milliseconds);

  Worker worker_;
  GattEnumerator* enumerator_ = nullptr;
  TrackerList trackers_;
  TrackerView* view_ = nullptr;
  ActivityStore* store_ = nullptr;
  Event stopping_;  // manual-reset, set by Stop
  CriticalSection summaryLock_;
  std::vector<WideString> outcomes_;  // per tracker of the last search: "" stored, else what went wrong
  std::vector<bool> downloaded_;
  // Counted when queued, uncounted when the runs are stored (a history
  // download) or the operation ends (a clock setting).
  volatile LONG downloadsPending_ = 0;
  volatile LONG downloadRunning_ = -1;
  SystemTickSource systemTicks_;
  std::deque<Waiting> waiting_;  // worker thread only
  // Downloads queued for a tracker and not begun yet, and those begun since
  // none was queued (worker thread): the status line counts them.
  volatile LONG downloadsQueued_ = 0;
  unsigned downloadsBegun_ = 0;
  bool abandoned_ = false;  // Stop gave the thread up
};
