#include "app/window/ChartPage.h"

#include <algorithm>
#include <vector>

#include "app/charts/ChartTheme.h"
#include <commctrl.h>

#include "app/charts/DayTable.h"
#include "app/store/DateList.h"
#include "app/trends/TrendSettings.h"
#include "core/DateTime.h"
#include "resources/ResourceIds.h"
#include "ui/ColourScheme.h"
#include "ui/Dpi.h"

namespace {

static_assert(IDC_WALKING_DATES == IDC_SLEEPING_DATES, "the chart pages share their date list's id");
const int kDatesId = IDC_WALKING_DATES;
// A day typed or stepped in the picker is gone to once the keys pause this
// long (or the picker loses the focus): each digit and arrow step changes
// the picker's date, and the day half typed is not the one meant.
const UINT_PTR kDayTimer = 0x4441;
// Timer messages come only when nothing else waits (the chart being drawn
// included): the whole list is read after that.
const UINT_PTR kListTimer = 0x4C49;
const UINT kDayPauseMs = 700;

}  // namespace

ChartPage::ChartPage(PageContext& context, int table, int chartTop)
    : TabPage(context), table_(table), chartTop_(chartTop) {}

int ChartPage::OnInitDialog() {
  dates_.Attach(Item(kDatesId), Module(), ImageComboComboBox, 16, 16);
  AddControl(&dates_);
  // The open list shows whole labels, wider than the field.
  droppedWidth_ = DialogUnitsToPixelsX(230);
  createdDpi_ = std::max(1, DpiGetForWindow(Window()));
  SendMessageW(dates_.Control(), CB_SETDROPPEDWIDTH, static_cast<WPARAM>(droppedWidth_), 0);
  // The chart fills the page below the date list, 10 dialog units in from
  // the sides, and grows with the page.
  RECT client;
  GetClientRect(Window(), &client);
  chartRect_.left = DialogUnitsToPixelsX(CHART_SIDE_MARGIN);
  chartRect_.top = DialogUnitsToPixelsY(chartTop_);
  chartRect_.right = client.right - DialogUnitsToPixelsX(CHART_SIDE_MARGIN);
  chartRect_.bottom = client.bottom;
  if (view_.Create(Window(), HtmlViewPageOptions)) {
    view_.Move(chartRect_.left, chartRect_.top, chartRect_.right, chartRect_.bottom);
    AddAnchor(view_.Window(), AnchorGrow);
  } else {
    // No browser: the page's own chart, and the link on the line below it,
    // both placed by PlaceNativeChart as the page's size and scale change.
    if (native_.Create(Window(), IDC_CHART_NATIVE, chartRect_)) {
      native_.SetColours(ChartColoursFor(CurrentColourScheme()));
    }
    view_.Move(chartRect_.left, chartRect_.top, chartRect_.right, chartRect_.bottom);
    if (HWND link = view_.Window()) {
      // The chart comes before its link in the tab order.
      if (native_.Window()) SetWindowPos(link, native_.Window(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    PlaceNativeChart();
  }
  tips_.Create(Window());
  tips_.Set(Item(IDC_RUN_PREVIOUS), L"Earlier run (Ctrl+Left)");
  tips_.Set(Item(IDC_RUN_NEXT), L"Later run (Ctrl+Right)");
  tips_.Set(Item(IDC_RUN_DAY), L"Go to the first run of a day");
  ShowPosition();
  if (runTable_.Create(Window(), IDC_CHART_TABLE, chartRect_)) {
    AddAnchor(runTable_.Control(), AnchorGrow);
    AddControl(&runTable_);
  }
  OnCreated();
  return 1;
}

int ChartPage::OnCommand(int id, WPARAM wParam, LPARAM) {
  if (id == kDatesId && HIWORD(wParam) == CBN_SELCHANGE) {
    OnDateChanged();
    ShowPosition();
    return 1;
  }
  if ((id == IDC_RUN_PREVIOUS || id == IDC_RUN_NEXT) && HIWORD(wParam) == BN_CLICKED) {
    StepRun(id == IDC_RUN_PREVIOUS ? -1 : 1);
    return 1;
  }
  if (id == IDC_CHART_TABLE_SWITCH && HIWORD(wParam) == BN_CLICKED) {
    ShowTable(IsDlgButtonChecked(Window(), IDC_CHART_TABLE_SWITCH) == BST_CHECKED);
    return 1;
  }
  // Escape and the like belong to the main window, never to a page.
  return 0;
}

int ChartPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    ApplyAnchors(wParam, lParam);
    if (wParam != SIZE_MINIMIZED) PlaceNativeChart();
    return 0;
  }
  if (message == WM_SETTINGCHANGE || message == WM_SYSCOLORCHANGE) {
    if (native_.Window()) native_.SetColours(ChartColoursFor(CurrentColourScheme()));
    runTable_.ApplyColours();
    if (!view_.HasBrowser() && view_.Window()) SendMessageW(view_.Window(), WM_SYSCOLORCHANGE, 0, 0);
    // Only the colours change: the run, and the zoom the user chose, stay.
    if (!plain_.IsEmpty()) {
      WideString page;
      page.Assign(plain_);
      ApplyCurrentChartTheme(page);
      WriteDocument(page);
    }
    return 0;
  }
  if (message == WmDpiChangedAfterParent) {
    dates_.FollowDpi();
    SendMessageW(dates_.Control(), CB_SETDROPPEDWIDTH,
                 static_cast<WPARAM>(MulDiv(droppedWidth_, DpiGetForWindow(Window()), createdDpi_)), 0);
    // The page's font has followed the scale; the table made here takes it again.
    runTable_.FollowDpi(reinterpret_cast<HFONT>(SendMessageW(Window(), WM_GETFONT, 0, 0)));
    // Windows tells the chart and its link itself; where it does not, they
    // hear it from here (following twice is harmless).
    if (native_.Window()) SendMessageW(native_.Window(), WmDpiChangedAfterParent, 0, 0);
    if (!view_.HasBrowser() && view_.Window()) SendMessageW(view_.Window(), WmDpiChangedAfterParent, 0, 0);
    PlaceNativeChart();
    return 0;
  }
  if (message == WM_NOTIFY && lParam) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    // Only a day the user picked: the picker following the selection
    // sends nothing.
    if (header->idFrom == IDC_RUN_DAY && header->code == DTN_DATETIMECHANGE) {
      const NMDATETIMECHANGE* change = reinterpret_cast<const NMDATETIMECHANGE*>(lParam);
      if (change->dwFlags != GDT_VALID) return 1;
      pickedDay_ = change->st;
      dayPending_ = true;
      // The calendar's day is taken when it closes.
      if (!calendarOpen_) SetTimer(Window(), kDayTimer, kDayPauseMs, nullptr);
      return 1;
    }
    if (header->idFrom == IDC_RUN_DAY && header->code == DTN_DROPDOWN) calendarOpen_ = true;
    if (header->idFrom == IDC_RUN_DAY && (header->code == DTN_CLOSEUP || header->code == NM_KILLFOCUS)) {
      // The focus going to the open calendar is no end of the choice.
      if (header->code == DTN_CLOSEUP) calendarOpen_ = false;
      if (!calendarOpen_) GoToPickedDay();
      return 1;
    }
  }
  if (message == WM_RUNS_LISTED) {
    if (wParam != 0) {
      TakeListedRuns(static_cast<unsigned>(wParam));
    } else if (waiting_ && !SetTimer(Window(), kListTimer, USER_TIMER_MINIMUM, nullptr)) {
      ReleaseRuns();
    }
    return 1;
  }
  if (message == WM_TIMER && wParam == kListTimer) {
    KillTimer(Window(), kListTimer);
    if (waiting_) ReleaseRuns();
    return 1;
  }
  if (message == WM_TIMER && wParam == kDayTimer) {
    GoToPickedDay();
    return 1;
  }
  return Dialog::OnMessage(message, wParam, lParam);
}

int ChartPage::CanClose(INT_PTR) {
  // The browser goes while its parent is still whole.
  view_.Destroy();
  return 1;
}

int ChartPage::OnDestroy() {
  KillTimer(Window(), kDayTimer);
  KillTimer(Window(), kListTimer);
  dayPending_ = false;
  if (waiting_) context_.DropRuns(table_);
  waiting_ = false;
  tips_.Destroy();
  view_.Destroy();
  native_.Destroy();
  RemoveControl(&dates_);
  RemoveControl(&runTable_);
  dates_.Detach();
  return Dialog::OnDestroy();
}

void ChartPage::PlaceNativeChart() {
  if (!native_.Window()) return;
  // The chart's area reaches from where it began to the page's bottom and
  // its right margin; the link's line, at the current scale, is its foot.
  RECT client;
  GetClientRect(Window(), &client);
  const int left = chartRect_.left, top = chartRect_.top;
  const int right = std::max(left + 1, static_cast<int>(client.right) - DialogUnitsToPixelsX(CHART_SIDE_MARGIN));
  const int bottom = std::max(top + 1, static_cast<int>(client.bottom));
  const int split = std::max(top + 1, bottom - DpiScale(Window(), HtmlView::FallbackLinkHeight));
  MoveWindow(native_.Window(), left, top, right - left, split - top, TRUE);
  view_.Move(left, split, right, std::max(split, bottom));
}

void ChartPage::FillDates() {
  SelectedTracker tracker;
  // No tracker lists nothing.
  const bool any = context_.Selected(tracker) && !tracker.address.IsEmpty();
  // The same tracker again: its list shows until the new one is read.
  if (any && listed_ && listedAddress_ == tracker.address.CStr() && ListInBackground(tracker.address, false)) return;
  std::vector<StoredRun> runs;
  bool complete = true;
  if (any) context_.ListNewestRuns(tracker.address.CStr(), table_, FirstRuns, runs, complete);
  if (waiting_) context_.DropRuns(table_);
  waiting_ = false;
  redrawOnSwap_ = false;
  FillDateList(runs, dates_);
  listed_ = true;
  listedAddress_.Assign(any ? tracker.address.CStr() : L"");
  // Without a thread to read the rest the whole list is read here.
  if (!complete && !ListInBackground(tracker.address, false) &&
      context_.ListRuns(tracker.address.CStr(), table_, runs)) {
    FillDateList(runs, dates_);
  }
  // A day being chosen in the picker (a download may end meanwhile) is
  // neither overwritten nor dropped: it is gone to in the new list.
  ShowPosition();
}

void ChartPage::RefreshStored(unsigned flags, const StoredRuns& stored) {
  SelectedTracker tracker;
  if (!stored.added || !context_.Selected(tracker) || tracker.index != stored.tracker || tracker.address.IsEmpty()) {
    return;
  }
  if (listed_ && listedAddress_ == tracker.address.CStr() && ListInBackground(tracker.address, true)) return;
  Refresh(flags);
}

int ChartPage::ListInBackground(const WideString& address, bool redraw) {
  // A request overtaking another keeps the run selected when the first
  // began: one chosen since is the user's.
  const bool first = !waiting_;
  if (++ticket_ == 0) ++ticket_;
  if (!context_.RequestRuns(address.CStr(), table_, Window(), WM_RUNS_LISTED, ticket_)) {
    // An earlier request would otherwise stay wanted by nobody.
    if (waiting_) context_.DropRuns(table_);
    waiting_ = false;
    return 0;
  }
  if (first) {
    int start = 0;
    requestSelected_ = dates_.Selection(nullptr, nullptr, &start) != 0;
    requestStart_ = static_cast<unsigned>(start);
    redrawOnSwap_ = false;
  }
  waiting_ = true;
  redrawOnSwap_ = redrawOnSwap_ || redraw;
  requestAddress_.Assign(address.CStr());
  return 1;
}

void ChartPage::ReleaseRuns() {
  if (context_.ReleaseRuns(table_)) return;
  // No thread to list them: the whole list is read here.
  std::vector<StoredRun> runs;
  waiting_ = false;
  if (context_.ListRuns(requestAddress_.CStr(), table_, runs)) SwapInRuns(runs);
}

void ChartPage::TakeListedRuns(unsigned ticket) {
  std::vector<StoredRun> runs;
  const int taken = waiting_ && ticket == ticket_ ? context_.TakeRuns(table_, ticket, runs) : 0;
  if (!taken) return;
  waiting_ = false;
  // A list that could not be read leaves the one shown as it is.
  if (taken > 0) SwapInRuns(runs);
}

void ChartPage::SwapInRuns(const std::vector<StoredRun>& runs) {
  SelectedTracker tracker;
  // Another tracker's fill has begun (or is on its way) instead.
  if (!context_.Selected(tracker) || requestAddress_ != tracker.address.CStr()) return;
  int start = 0;
  const bool had = dates_.Selection(nullptr, nullptr, &start) != 0;
  const unsigned before = static_cast<unsigned>(start);
  // The run chosen while the list was read stays; else the latest, as
  // after every refill.
  const bool chosen = had && (!requestSelected_ || before != requestStart_);
  const int count = FillDateList(runs, dates_);
  listed_ = true;
  listedAddress_.Assign(requestAddress_.CStr());
  if (chosen && count > 0) {
    const auto at = std::lower_bound(runs.begin(), runs.end(), before,
                                     [](const StoredRun& run, unsigned value) { return run.start < value; });
    if (at != runs.end() && at->start == before) dates_.Select(static_cast<int>(at - runs.begin()));
  }
  const bool goToDay = dayBeforeList_ && had && before == listDayRun_;
  dayBeforeList_ = false;
  if (goToDay && count > 0) {
    // Selects and draws the day's run in the whole list.
    const bool keep = keepPickedDay_;
    keepPickedDay_ = true;
    GoToDay(listDay_);
    keepPickedDay_ = keep;
    redrawOnSwap_ = false;
    return;
  }
  const bool has = dates_.Selection(nullptr, nullptr, &start) != 0;
  const bool redraw = redrawOnSwap_ || has != had || static_cast<unsigned>(start) != before;
  redrawOnSwap_ = false;
  if (redraw) OnDateChanged();
  ShowPosition();
}

void ChartPage::SelectRun(int index) {
  dates_.Select(index);
  OnDateChanged();
  ShowPosition();
}

int ChartPage::StepRun(int delta) {
  int index = -1;
  if (!dates_.Selection(&index, nullptr, nullptr)) return 0;
  const int to = index + delta;
  if (to < 0 || to >= dates_.Count()) return 0;
  SelectRun(to);
  return 1;
}

int ChartPage::GoToDay(const SYSTEMTIME& day) {
  const int count = dates_.Count();
  if (count <= 0) return 0;
  // The day's local midnight and the next one's, as Unix seconds (a day of
  // a clock change is 23 or 25 hours long).
  SYSTEMTIME midnight = {};
  midnight.wYear = day.wYear, midnight.wMonth = day.wMonth, midnight.wDay = day.wDay;
  SYSTEMTIME next;
  long long from = 0, to = 0;
  int ok = 0;
  const long long dayAsUtc = ToUnixTime(midnight, &ok);
  if (!ok || !UnixTimeFromLocal(from, midnight) || !FromUnixTime(next, dayAsUtc + 86400, 0) ||
      !UnixTimeFromLocal(to, next)) {
    return 0;
  }
  // The runs are listed oldest first: the first that starts at or after
  // the day's midnight.
  int low = 0, high = count;
  while (low < high) {
    const int middle = (low + high) / 2;
    int start = 0;
    dates_.Item(middle, nullptr, &start);
    if (static_cast<long long>(static_cast<unsigned>(start)) < from) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  int first = 0;
  const bool onTheDay = low < count && dates_.Item(low, nullptr, &first) &&
                        static_cast<long long>(static_cast<unsigned>(first)) < to;
  SelectRun(onTheDay ? low : (low > 0 ? low - 1 : 0));
  // The day may lie before the newest days listed so far.
  int chosen = 0;
  dayBeforeList_ = waiting_ && dates_.Selection(nullptr, nullptr, &chosen);
  listDay_ = day;
  listDayRun_ = static_cast<unsigned>(chosen);
  return 1;
}

void ChartPage::GoToPickedDay() {
  KillTimer(Window(), kDayTimer);
  if (!dayPending_) return;
  dayPending_ = false;
  // The picker keeps the user's day, also one without runs: written back,
  // the next step or digit would start again from the run's day.
  keepPickedDay_ = true;
  GoToDay(pickedDay_);
  keepPickedDay_ = false;
}

void ChartPage::ShowPosition() {
  int index = -1, start = 0;
  const int count = dates_.Count();
  const bool selected = dates_.Selection(&index, nullptr, &start);
  HWND focus = GetFocus();
  const HWND previous = Item(IDC_RUN_PREVIOUS), next = Item(IDC_RUN_NEXT);
  EnableWindow(previous, selected && index > 0);
  EnableWindow(next, selected && index + 1 < count);
  // A button that went disabled under the focus hands it to the list, so
  // the keyboard is never left nowhere.
  if ((focus == previous || focus == next) && !IsWindowEnabled(focus) && IsWindowEnabled(dates_.Control())) {
    SetFocus(dates_.Control());
  }
  HWND picker = Item(IDC_RUN_DAY);
  EnableWindow(picker, count > 0);
  SYSTEMTIME local;
  if (selected && !keepPickedDay_ && !dayPending_ && FromUnixTime(local, static_cast<unsigned>(start), 1)) {
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&local));
  }
}

int ChartPage::ShowChart() {
  SelectedTracker tracker;
  int start = 0;
  WideString page;
  int shown = context_.Selected(tracker) && !tracker.address.IsEmpty() &&
              dates_.Selection(nullptr, nullptr, &start) &&
              context_.BuildChart(table_, tracker.address.CStr(), static_cast<unsigned>(start), page);
  if (!shown) page.Assign(L"");
  plain_.Assign(page);
  if (shown && native_.Window()) native_.SetColours(ChartColoursFor(CurrentColourScheme()));
  // In the colours of the Windows setting, as the rest of the window.
  if (shown) ApplyCurrentChartTheme(page);
  WriteDocument(page);
  if (native_.Window()) {
    NativeChartData chart;
    if (!shown || !context_.BuildNativeChart(table_, tracker.address.CStr(), static_cast<unsigned>(start), chart)) {
      chart = NativeChartData();
    }
    native_.SetData(chart);
  }
  return shown;
}

int ChartPage::ThemedDocument(ColourScheme scheme, WideString& out) const {
  out.Assign(plain_);
  return !plain_.IsEmpty() && ApplyChartTheme(scheme, ChartColoursFor(scheme), out);
}

void ChartPage::WriteDocument(const WideString& document) {
  document_.Assign(document);
  view_.WriteDocument(document_.CStr());
  // Nothing to show: the page's own chart is emptied with the document.
  if (document_.IsEmpty()) plain_.Assign(L"");
  if (document_.IsEmpty() && native_.Window()) native_.SetData(NativeChartData());
  if (tableShown_) FillTable();
}

void ChartPage::ShowTable(bool table) {
  tableShown_ = table && runTable_.Control();
  CheckDlgButton(Window(), IDC_CHART_TABLE_SWITCH, tableShown_ ? BST_CHECKED : BST_UNCHECKED);
  if (tableShown_) FillTable();
  if (view_.Window()) ShowWindow(view_.Window(), tableShown_ ? SW_HIDE : SW_SHOW);
  if (native_.Window()) ShowWindow(native_.Window(), tableShown_ ? SW_HIDE : SW_SHOW);
  if (runTable_.Control()) ShowWindow(runTable_.Control(), tableShown_ ? SW_SHOW : SW_HIDE);
}

void ChartPage::FillTable() {
  runTable_.Clear();
  SelectedTracker tracker;
  int start = 0;
  ByteBuffer pattern;
  // The table shows what the chart shows: nothing when it shows nothing.
  if (document_.IsEmpty() || !context_.Selected(tracker) || tracker.address.IsEmpty() ||
      !dates_.Selection(nullptr, nullptr, &start) ||
      !context_.RunPattern(table_, tracker.address.CStr(), static_cast<unsigned>(start), pattern)) {
    return;
  }
  const size_t size = static_cast<size_t>(pattern.size);
  if (table_ == WalkingTable) {
    runTable_.ShowWalking(WalkingRows(pattern.data, size), static_cast<unsigned>(start),
                          ReadDistanceUnit(context_.Settings()));
  } else {
    runTable_.ShowSleeping(SleepingRanges(pattern.data, size), static_cast<unsigned>(start));
  }
  BufferClear(pattern);
}

void ChartPage::NameControls(AccessibleNames& names) {
  names.Name(runTable_.Control(), table_ == WalkingTable ? L"Quarter hours of the walk" : L"Stretches of the night");
}
