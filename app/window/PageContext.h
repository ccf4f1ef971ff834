// What a tab page may ask of the window it lives in: the selected tracker,
// the stored runs and charts, work for the tracker worker, and a refresh of
// the pages. The main window implements it; a page includes this and never
// the main window, so a stand-in context shows a page working alone.
// Window thread only.
#pragma once

#include <windows.h>

#include <vector>

#include "app/store/ActivityStore.h"
#include "app/trends/RunFigures.h"
#include "app/trends/TrendFigures.h"
#include "core/ByteBuffer.h"
#include "core/WideString.h"
#include "ui/NativeChart.h"

// The device list's current item.
struct SelectedTracker {
  int index = -1;      // in the tracker list; -1: the searching or not-found item, no tracker
  WideString address;  // the store's key of its runs; empty for no tracker
  WideString name;     // as the device list shows it
};

class SettingsStore;

class PageContext {
public:
  virtual ~PageContext() {}

  // 1 with the device list's current item; 0 when it has none.
  virtual int Selected(SelectedTracker& tracker) = 0;
  // The tracker's live totals (metres: its distance units times ten); 1/0.
  // arrived: the tracker has sent them (before that they are only zeros).
  virtual int LiveTotals(int tracker, unsigned& steps, unsigned& calories, unsigned& metres, bool& arrived) = 0;

  // The tracker's stored runs of the table, oldest first (ActivityStore).
  virtual int ListRuns(const wchar_t* address, int table, std::vector<StoredRun>& runs) = 0;
  // The tracker's newest runs of the table, whole local days, at most limit
  // (ListNewestRunsOf); complete: it has no others. A context that reads
  // nothing faster lists them all.
  virtual int ListNewestRuns(const wchar_t* address, int table, unsigned limit, std::vector<StoredRun>& runs,
                             bool& complete) {
    static_cast<void>(limit);
    complete = true;
    return ListRuns(address, table, runs);
  }
  // The tracker's runs of the table (as ListRuns) listed off the window
  // thread: 1 when asked; message is then posted to window with the ticket
  // in wParam, and TakeRuns hands them over (1; 0 when they are not there,
  // or a newer request of the table overtook them; -1 when they could not
  // be read). The listing begins only
  // once the page has handled the message with wParam 0 that the request
  // posts first and called ReleaseRuns (0: it cannot begin), so that the
  // page's own work of the moment, such as drawing the newest run, does not
  // share the processor and the store with it. DropRuns: the page no longer
  // waits for them. A context without that thread answers 0.
  virtual int RequestRuns(const wchar_t* address, int table, HWND window, UINT message, unsigned ticket) {
    static_cast<void>(address), static_cast<void>(table), static_cast<void>(window);
    static_cast<void>(message), static_cast<void>(ticket);
    return 0;
  }
  virtual int TakeRuns(int table, unsigned ticket, std::vector<StoredRun>& runs) {
    static_cast<void>(table), static_cast<void>(ticket), static_cast<void>(runs);
    return 0;
  }
  virtual int ReleaseRuns(int table) {
    static_cast<void>(table);
    return 0;
  }
  virtual void DropRuns(int table) { static_cast<void>(table); }
  // The chart page of the tracker's run of the table starting at start; 1
  // when built, else page is "".
  virtual int BuildChart(int table, const wchar_t* address, unsigned start, WideString& page) = 0;
  // The same run as the chart the page draws itself without a browser; 1
  // when built (a context without one answers 0: nothing is drawn).
  virtual int BuildNativeChart(int table, const wchar_t* address, unsigned start, NativeChartData& chart) {
    static_cast<void>(table), static_cast<void>(address), static_cast<void>(start), static_cast<void>(chart);
    return 0;
  }

  // The stored pattern of the tracker's run of the table starting at start
  // (the bytes the chart is built from); 1 when read.
  virtual int RunPattern(int table, const wchar_t* address, unsigned start, ByteBuffer& pattern) = 0;
  // The figures of one run: a walking run's own sums (1, or 0 when it
  // cannot be read), and the night a sleeping run belongs to
  // (NightOfSleepingRun).
  virtual int WalkingRun(const wchar_t* address, unsigned start, WalkingRunFigures& figures) = 0;
  virtual int NightOfRun(const wchar_t* address, unsigned start, NightRecord& night, WideString& problem) = 0;
  // The Trends figures of the request (ReadTrendFigures), read off the
  // window thread: 1 when asked; message is then posted to window with the
  // ticket in wParam, and TakeTrends hands over the result (1 with read and
  // figures or problem; 0 when it is not there, or a newer request
  // overtook it).
  virtual int RequestTrends(const TrendRequest& request, HWND window, UINT message, unsigned ticket) = 0;
  virtual int TakeTrends(unsigned ticket, int& read, TrendFigures& figures, WideString& problem) = 0;
  // Today's local date key, which the Trends figures count up to.
  virtual int Today() = 0;
  // The program's settings (the Trends goals and distance unit live there).
  virtual SettingsStore& Settings() = 0;

  // Work for the tracker worker, for the tracker as Selected gave it (its
  // index and address: a search that renumbers the trackers before the
  // work runs cannot turn it on another one); 1 when queued. beforeOthers:
  // the device information goes before the work already queued (a tracker
  // just picked).
  virtual int QueueDeviceInfo(const SelectedTracker& tracker, bool beforeOthers) = 0;
  virtual int QueueSetTime(const SelectedTracker& tracker) = 0;
  virtual int QueueLiveTotals(const SelectedTracker& tracker, bool on) = 0;

  // Has the window refresh its pages with the update flags
  // (WM_TRACKER_UPDATE, posted).
  virtual void PostUpdate(unsigned flags) = 0;

  // The About page's box of the automatic update check: its text and
  // state, and a click on it.
  virtual void InitUpdateCheckBox(HWND page, int id) = 0;
  virtual void OnUpdateCheckBox(bool checked) = 0;
};
