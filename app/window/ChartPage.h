// What the Walking and Sleeping pages share: a date list (control 1015,
// the tracker's stored runs of the page's table, latest selected) and a
// chart view below it that shows the selected run as a chart page. A
// selection change in the date list refreshes the page.
//
// The "Table" switch puts a table of the same run (RunTable) in the
// chart's place, for screen readers and for copying the numbers.
//
// A tracker's list is filled afresh (first fill, another tracker) in two
// steps: its newest runs at once, the newest selected and charted, and the
// whole list, read off the window thread, swapped in whole when it comes,
// keeping the run chosen meanwhile (or the day being chosen in the picker).
// A refill of the same tracker reads the whole list off the window thread
// too and swaps it in the same way; the list shown stays until then.
//
// When no chart can be built (no tracker, no run) the view is given an
// empty document, so a page never goes on showing a run of a tracker that
// is no longer selected.
//
// Where no browser engine can be hosted (Wine without one, a locked-down
// Windows) the page draws the run itself (NativeChart, in the colours of
// the Windows setting) and keeps the view's link to open the chart page in
// the user's browser on a line of its own below it. A change of the Windows
// colours (WM_SETTINGCHANGE, WM_SYSCOLORCHANGE, when the window passes them
// on) colours the chart again.
#pragma once

#include "app/window/RunTable.h"
#include "app/window/TabPage.h"
#include "core/WideString.h"
#include "ui/HtmlView.h"
#include "ui/ImageCombo.h"
#include "ui/ColourScheme.h"
#include "ui/NativeChart.h"
#include "ui/ToolTips.h"

class ChartPage : public TabPage {
public:
  // The whole list has been read (wParam: the ticket of its request).
  static const UINT WM_RUNS_LISTED = WM_APP + 32;
  // The runs listed at once when a tracker's list is filled afresh (cut
  // back to whole days).
  static const unsigned FirstRuns = 100;

  ChartPage(PageContext& context, int table, int chartTop);

  int OnInitDialog() override;
  int OnCommand(int id, WPARAM wParam, LPARAM lParam) override;
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int CanClose(INT_PTR result) override;
  int OnDestroy() override;

  // Refills the date list with the selected tracker's runs (see above).
  void FillDates();
  // After a download: the list is read again only when the runs of the
  // selected tracker were stored and some were new or had grown.
  void RefreshStored(unsigned flags, const StoredRuns& stored) override;
  // The whole list is still being read.
  bool Listing() const { return waiting_; }
  // Builds the chart of the selected run into the view (empty when there
  // is none). 1 when a chart was shown.
  int ShowChart();
  // Selects the run delta places later (negative: earlier) and shows it;
  // 1 when there was one to go to.
  int StepRun(int delta);
  // Selects the run the day picker would go to for that local day and
  // shows it; 1 when the list has runs. The picker goes there once the
  // user has chosen: its calendar closed, a typed day after a pause or
  // when the focus leaves it.
  int GoToDay(const SYSTEMTIME& day);

  const ToolTips& Tips() const { return tips_; }

  ImageCombo& Dates() { return dates_; }
  HtmlView& View() { return view_; }
  // The document last given to the view, in the colours of the Windows
  // setting.
  const WideString& Document() const { return document_; }
  // The same chart page in the colours of a scheme; 0 when none is shown.
  int ThemedDocument(ColourScheme scheme, WideString& out) const;
  // The area of the chart view in the page's client coordinates.
  RECT ChartRect() const { return chartRect_; }
  // The chart drawn by the page; its window is none while a browser shows
  // the chart.
  NativeChart& Native() { return native_; }
  RunTable& Table() { return runTable_; }
  // Shows the table (or the chart) in the chart's place, as the switch does.
  void ShowTable(bool table);
  bool TableShown() const { return tableShown_; }
  void NameControls(AccessibleNames& names) override;

protected:
  // After the page's own controls are attached: the page's first refresh.
  virtual void OnCreated() = 0;
  // A new date was selected in the list.
  virtual void OnDateChanged() = 0;
  void WriteDocument(const WideString& document);

private:
  // Asks for the tracker's whole list off the window thread; redraw: the
  // selected run is shown again when it comes. 1 when asked.
  int ListInBackground(const WideString& address, bool redraw);
  // Lets the thread read the whole list asked for (or reads it here).
  void ReleaseRuns();
  // The whole list of the request with the ticket has come: swapped in.
  void TakeListedRuns(unsigned ticket);
  // The whole list of the request's tracker in place of the one shown,
  // keeping a run chosen meanwhile.
  void SwapInRuns(const std::vector<StoredRun>& runs);
  // The picker shows the selected run's day (not while the user chooses a
  // day in it, nor when it chose the run: it keeps the user's day); the
  // buttons are enabled where they lead somewhere.
  void ShowPosition();
  void SelectRun(int index);
  // The day last chosen in the picker, when not yet gone to.
  void GoToPickedDay();
  // The selected run in the table (empty while no chart is shown).
  void FillTable();
  // The native chart and its link below it in the chart's area, for the
  // page's size and the current DPI.
  void PlaceNativeChart();

  int table_;
  int chartTop_;
  ImageCombo dates_;
  HtmlView view_;
  NativeChart native_;
  WideString document_;
  WideString plain_;  // the chart page as built, before its colours
  RECT chartRect_ = {};
  ToolTips tips_;
  RunTable runTable_;
  bool tableShown_ = false;
  SYSTEMTIME pickedDay_ = {};
  bool dayPending_ = false;
  bool keepPickedDay_ = false;
  bool calendarOpen_ = false;
  // The list holds the runs of listedAddress_ (listed_: it has been filled).
  bool listed_ = false;
  WideString listedAddress_;
  // The newest request for the whole list, waited for: its tracker, and the
  // run selected when the first of the waits began.
  unsigned ticket_ = 0;
  bool waiting_ = false;
  WideString requestAddress_;
  bool requestSelected_ = false;
  unsigned requestStart_ = 0;
  bool redrawOnSwap_ = false;
  // A day gone to while only the newest days were listed, and the run that
  // chose: the whole list goes to the day again unless the user moved on.
  bool dayBeforeList_ = false;
  SYSTEMTIME listDay_ = {};
  unsigned listDayRun_ = 0;
  // The open date list's width as set at the DPI the page was made at.
  int droppedWidth_ = 0;
  int createdDpi_ = 96;
};
