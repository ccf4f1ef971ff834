#include "app/window/TrendsTabPage.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "app/charts/ChartTheme.h"
#include "app/tracker/TrackerUpdate.h"
#include "app/trends/TrendSettings.h"
#include "app/trends/TrendsPage.h"
#include "core/LocaleNumbers.h"
#include "resources/ResourceIds.h"

namespace {

// In the order of TrendPeriodKind.
const wchar_t* const kPeriodNames[] = {L"Week", L"Month", L"Year", L"All"};
const wchar_t* const kUnitNames[] = {L"kilometres", L"miles"};
const DistanceUnit kUnitChoices[] = {DistanceKilometres, DistanceMiles};

}  // namespace

int TrendsTabPage::OnInitDialog() {
  HWND periods = Item(IDC_TRENDS_PERIOD);
  for (const wchar_t* name : kPeriodNames) SendMessageW(periods, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  firstWeekday_ = LocaleFirstWeekday();
  periodToday_ = context_.Today();
  period_ = PeriodHolding(PeriodMonth, periodToday_, firstWeekday_);
  SendMessageW(periods, CB_SETCURSEL, PeriodMonth, 0);
  SendDlgItemMessageW(Window(), IDC_TRENDS_GOAL, EM_LIMITTEXT, 6, 0);
  // In the order of kUnitChoices; the locale's unit until one is chosen.
  HWND units = Item(IDC_TRENDS_UNIT);
  for (const wchar_t* name : kUnitNames) SendMessageW(units, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  const DistanceUnit unit = LocaleNumbers().Resolve(ReadDistanceUnit(context_.Settings()));
  SendMessageW(units, CB_SETCURSEL, unit == DistanceMiles ? 1 : 0, 0);

  // The chart fills the page right of the figures and grows with it.
  RECT client;
  GetClientRect(Window(), &client);
  view_.Create(Window(), HtmlViewPageOptions);
  view_.Move(DialogUnitsToPixelsX(TRENDS_CHART_LEFT), DialogUnitsToPixelsY(TRENDS_CHART_TOP),
             client.right - DialogUnitsToPixelsX(CHART_SIDE_MARGIN), client.bottom);
  AddAnchor(view_.Window(), AnchorGrow);
  ClearFigures();
  // Only this page's own refresh: the walking and sleeping flags would have
  // those pages fill their date lists again and lose the run picked there.
  context_.PostUpdate(UpdatePageMade);
  ArmMidnightTimer();
  return 1;
}

void TrendsTabPage::NameControls(AccessibleNames& names) { names.Name(Item(IDC_TRENDS_PERIOD), L"Period"); }

int TrendsTabPage::OnCommand(int id, WPARAM wParam, LPARAM) {
  const WORD code = HIWORD(wParam);
  if (id == IDC_TRENDS_PERIOD && code == CBN_SELCHANGE) {
    LRESULT kind = SendDlgItemMessageW(Window(), IDC_TRENDS_PERIOD, CB_GETCURSEL, 0, 0);
    if (kind >= PeriodWeek && kind <= PeriodAll) ChoosePeriod(static_cast<TrendPeriodKind>(kind));
    return 1;
  }
  if (id == IDC_TRENDS_UNIT && code == CBN_SELCHANGE) {
    LRESULT choice = SendDlgItemMessageW(Window(), IDC_TRENDS_UNIT, CB_GETCURSEL, 0, 0);
    if (choice >= 0 && choice < 2) ChooseDistanceUnit(kUnitChoices[choice]);
    return 1;
  }
  if ((id == IDC_TRENDS_PREVIOUS || id == IDC_TRENDS_NEXT) && code == BN_CLICKED) {
    MovePeriod(id == IDC_TRENDS_PREVIOUS ? -1 : 1);
    return 1;
  }
  if (id == IDC_TRENDS_GOAL) {
    if (code == EN_SETFOCUS) TakeDefaultButton(true);
    if (code == EN_KILLFOCUS) TakeDefaultButton(false);
    if (code == EN_CHANGE && !writingGoal_) goalEdited_ = true;
    return 1;
  }
  if (id == IDC_TRENDS_SET_GOAL && code == BN_CLICKED) {
    BOOL number = FALSE;
    const UINT steps = GetDlgItemInt(Window(), IDC_TRENDS_GOAL, &number, FALSE);
    SetGoal(number ? steps : 0);
    return 1;
  }
  // Escape and the like belong to the main window, never to a page.
  return 0;
}

int TrendsTabPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    ApplyAnchors(wParam, lParam);
    return 0;
  }
  if (message == WM_TRENDS_BUILT) {
    OnBuilt(static_cast<unsigned>(wParam));
    return 1;
  }
  // Shown again after refreshes that came while hidden.
  if (message == WM_SHOWWINDOW && wParam && stale_) PostMessageW(Window(), WM_TRENDS_STALE, 0, 0);
  if (message == WM_TRENDS_STALE) {
    if (stale_) ShowFigures();
    return 1;
  }
  if (message == WM_TIMER && wParam == MidnightTimer) {
    if (context_.Today() != periodToday_) ShowFigures();
    ArmMidnightTimer();
    return 1;
  }
  return Dialog::OnMessage(message, wParam, lParam);
}

void TrendsTabPage::ArmMidnightTimer() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  const long long passed = ((now.wHour * 60LL + now.wMinute) * 60 + now.wSecond) * 1000 + now.wMilliseconds;
  // A second past midnight, so that the date has surely turned.
  const long long untilMidnight = 24LL * 3600 * 1000 - passed + 1000;
  SetTimer(Window(), MidnightTimer, static_cast<UINT>(std::min(untilMidnight, 5LL * 60 * 1000)), nullptr);
}

int TrendsTabPage::CanClose(INT_PTR) {
  TakeDefaultButton(false);
  // The browser goes while its parent is still whole.
  view_.Destroy();
  return 1;
}

int TrendsTabPage::OnDestroy() {
  KillTimer(Window(), MidnightTimer);
  view_.Destroy();
  return Dialog::OnDestroy();
}

void TrendsTabPage::Refresh(unsigned flags) {
  if (flags & (UpdateWalking | UpdateSleeping | UpdatePageMade)) ShowFigures();
}

void TrendsTabPage::RefreshStored(unsigned flags, const StoredRuns& stored) {
  SelectedTracker tracker;
  if (stored.added && context_.Selected(tracker) && tracker.index == stored.tracker) Refresh(flags);
}

void TrendsTabPage::ChoosePeriod(TrendPeriodKind kind) {
  SendDlgItemMessageW(Window(), IDC_TRENDS_PERIOD, CB_SETCURSEL, kind, 0);
  periodToday_ = context_.Today();
  period_ = PeriodHolding(kind, periodToday_, firstWeekday_);
  ShowFigures();
}

void TrendsTabPage::MovePeriod(int direction) {
  period_ = ::MovePeriod(period_, direction, firstWeekday_);
  ShowFigures();
}

int TrendsTabPage::ChooseDistanceUnit(DistanceUnit unit) {
  SendDlgItemMessageW(Window(), IDC_TRENDS_UNIT, CB_SETCURSEL, unit == DistanceMiles ? 1 : 0, 0);
  const int written = WriteDistanceUnit(context_.Settings(), unit);
  if (!written && ReadDistanceUnit(context_.Settings()) != unit) {
    SetItemText(IDC_TRENDS_STATUS, L"The distance unit could not be stored in the settings; it was not changed.");
    const DistanceUnit kept = LocaleNumbers().Resolve(ReadDistanceUnit(context_.Settings()));
    SendDlgItemMessageW(Window(), IDC_TRENDS_UNIT, CB_SETCURSEL, kept == DistanceMiles ? 1 : 0, 0);
    return 0;
  }
  // A settings file that could not be replaced just now keeps the change
  // and is written again when Pellton closes: said as for the goal.
  if (!written) {
    status_.Format(L"Distances are in %s from now on. The settings file could not be written just now; Pellton "
                   L"writes it again when it closes.",
                   unit == DistanceMiles ? L"miles" : L"kilometres");
    if (!building_) SetItemText(IDC_TRENDS_STATUS, status_.CStr());
  }
  // The figures shown are written again in the unit (figures still being
  // read come in it); the Walking page follows.
  if (!building_ && !document_.IsEmpty()) ShowBuilt();
  context_.PostUpdate(UpdateDistanceUnit);
  return 1;
}

int TrendsTabPage::SetGoal(unsigned steps) {
  GoalList goals;
  WideString problem, text;
  const int today = context_.Today();
  if (!ReadGoals(context_.Settings(), goals, problem) && replaceRefused_ != steps) {
    // Stored goals that cannot be read stay as they are until the user
    // chooses to replace them: they may be all the past days' goals.
    WideString number;
    LocaleNumbers().Integer(steps, number);
    text.Format(L"The goal was not changed: the stored goals cannot be read (%s). Set %s again to replace them "
                L"with this goal from today on.",
                problem.CStr(), number.CStr());
    SetItemText(IDC_TRENDS_STATUS, text.CStr());
    replaceRefused_ = steps;
    return 0;
  }
  replaceRefused_ = 0;
  if (!goals.Set(today, steps, problem)) {
    text.Format(L"The goal was not changed: %s.", problem.CStr());
    SetItemText(IDC_TRENDS_STATUS, text.CStr());
    return 0;
  }
  WideString number;
  LocaleNumbers().Integer(steps, number);
  if (!WriteGoals(context_.Settings(), goals)) {
    // A settings file that could not be replaced just now keeps the change
    // and is written again when Pellton closes; anything else lost it.
    GoalList back;
    WideString unused;
    if (!ReadGoals(context_.Settings(), back, unused) || back.GoalOf(today) != steps) {
      SetItemText(IDC_TRENDS_STATUS, L"The goal could not be stored in the settings; it was not changed.");
      return 0;
    }
    notice_.Format(L"The goal is %s steps a day from today on. The settings file could not be written just now; "
                   L"Pellton writes it again when it closes.",
                   number.CStr());
  } else {
    notice_.Format(L"The goal is %s steps a day from today on.", number.CStr());
  }
  goalEdited_ = false;
  ShowFigures();
  return 1;
}

namespace {

bool SameRequest(const TrendRequest& a, const TrendRequest& b) {
  return memcmp(a.tracker, b.tracker, sizeof a.tracker) == 0 && a.period.kind == b.period.kind &&
         a.period.first == b.period.first && a.period.last == b.period.last && a.today == b.today &&
         a.firstWeekday == b.firstWeekday && a.goals.Changes() == b.goals.Changes();
}

}  // namespace

void TrendsTabPage::ShowFigures() {
  // A hidden page is brought up to date when it is shown again.
  if (!(GetWindowLongW(Window(), GWL_STYLE) & WS_VISIBLE)) {
    stale_ = true;
    return;
  }
  stale_ = false;
  SelectedTracker tracker;
  const bool chosen = context_.Selected(tracker) && !tracker.address.IsEmpty();
  // A period that held today follows it past midnight.
  const int today = context_.Today();
  if (today != periodToday_ && period_.Holds(periodToday_)) period_ = PeriodHolding(period_.kind, today, firstWeekday_);
  periodToday_ = today;
  EnableItem(IDC_TRENDS_PREVIOUS, chosen && period_.kind != PeriodAll);
  EnableItem(IDC_TRENDS_NEXT, chosen && period_.kind != PeriodAll);
  WideString status(notice_);
  notice_.Assign(L"");
  if (!chosen) {
    ++ticket_;
    building_ = again_ = false;
    status_.Assign(status);
    ClearFigures();
    SetItemText(IDC_TRENDS_STATUS, status_.CStr());
    return;
  }
  TrendRequest request;
  const wchar_t* address = tracker.address.CStr();
  for (size_t i = 0; i + 1 < sizeof request.tracker && address[i]; ++i) request.tracker[i] = static_cast<char>(address[i]);
  request.period = period_;
  request.today = today;
  request.firstWeekday = firstWeekday_;
  WideString problem;
  if (!ReadGoals(context_.Settings(), request.goals, problem)) {
    WideString said(status);
    status.Format(L"%s%sThe stored goals cannot be read and were not used (%s); every day has the goal of %u steps.",
                  said.CStr(), said.IsEmpty() ? L"" : L" ", problem.CStr(), GoalList::DefaultSteps);
  }
  // The same figures asked for while they are being read (a download that
  // ends as the window opens): those under way are shown when they come,
  // and asked for once more then.
  if (building_ && status.IsEmpty() && SameRequest(request, asked_)) {
    again_ = true;
    return;
  }
  ++ticket_;
  again_ = false;
  asked_ = request;
  status_.Assign(status);
  goalToday_ = request.goals.GoalOf(today);
  // Years of history not summed up yet take a moment: the figures are read
  // off the window thread and come back as WM_TRENDS_BUILT.
  building_ = context_.RequestTrends(request, Window(), WM_TRENDS_BUILT, ticket_) != 0;
  if (!building_) {
    ClearFigures();
    SetItemText(IDC_TRENDS_STATUS, L"The figures could not be read: the program is closing.");
    return;
  }
  SetItemText(IDC_TRENDS_STATUS, L"Working\u2026");
}

void TrendsTabPage::OnBuilt(unsigned ticket) {
  int read = 0;
  TrendFigures figures;
  WideString problem;
  // An answer overtaken by a newer request is not shown. The newest may be
  // answered again (figures corrected by the check that follows them).
  if (ticket != ticket_ || !context_.TakeTrends(ticket, read, figures, problem)) return;
  building_ = false;
  if (!read) {
    ClearFigures();
    WideString said(status_);
    status_.Format(L"%s%sThe figures could not be read: %s", said.CStr(), said.IsEmpty() ? L"" : L" ",
                   problem.CStr());
    SetItemText(IDC_TRENDS_STATUS, status_.CStr());
  } else {
    figures_ = std::move(figures);
    ShowGoal(goalToday_);
    ShowBuilt();
  }
  if (again_) {
    again_ = false;
    ShowFigures();
  }
}

void TrendsTabPage::ShowBuilt() {
  const LocaleNumbers numbers;
  const DistanceUnit unit = ReadDistanceUnit(context_.Settings());
  std::vector<TrendFigureText> texts;
  TrendFigureTexts(figures_, numbers, unit, texts);
  for (int i = 0; i < TRENDS_FIGURE_COUNT; ++i) {
    const bool shown = static_cast<size_t>(i) < texts.size();
    SetItemText(IDC_TRENDS_LABEL + i, shown ? texts[static_cast<size_t>(i)].label : L"");
    SetItemText(IDC_TRENDS_VALUE + i, shown ? texts[static_cast<size_t>(i)].value.CStr() : L"");
  }
  WideString title;
  TrendPeriodTitle(figures_.period, title);
  SetItemText(IDC_TRENDS_TITLE, title.CStr());
  WideString page, status(status_);
  if (!BuildTrendsPage(figures_, numbers, unit, page, Module())) {
    page.Assign(L"");
    if (status.IsEmpty()) status.Assign(L"The chart page could not be built.");
  } else {
    ApplyCurrentChartTheme(page);
  }
  document_.Assign(page);
  view_.WriteDocument(document_.CStr());
  SetItemText(IDC_TRENDS_STATUS, status.CStr());
}

void TrendsTabPage::ClearFigures() {
  figures_ = TrendFigures();
  std::vector<TrendFigureText> texts;
  TrendFigureTexts(figures_, LocaleNumbers(), DistanceFromLocale, texts);
  for (int i = 0; i < TRENDS_FIGURE_COUNT; ++i) {
    const bool shown = static_cast<size_t>(i) < texts.size();
    SetItemText(IDC_TRENDS_LABEL + i, shown ? texts[static_cast<size_t>(i)].label : L"");
    SetItemText(IDC_TRENDS_VALUE + i, L"");
  }
  SetItemText(IDC_TRENDS_TITLE, L"");
  document_.Assign(L"");
  view_.WriteDocument(document_.CStr());
}

void TrendsTabPage::ShowGoal(unsigned goal) {
  HWND box = Item(IDC_TRENDS_GOAL);
  const bool typing = goalEdited_ || GetFocus() == box;
  if (goal == goalShown_ && typing) return;
  writingGoal_ = true;
  SetDlgItemInt(Window(), IDC_TRENDS_GOAL, goal, FALSE);
  writingGoal_ = false;
  goalShown_ = goal;
  goalEdited_ = false;
}

void TrendsTabPage::TakeDefaultButton(bool take) {
  HWND main = GetAncestor(Window(), GA_ROOT);
  if (!main || main == Window()) return;
  if (take) {
    if (!tookDefault_) defaultBefore_ = SendMessageW(main, DM_GETDEFID, 0, 0);
    tookDefault_ = true;
    SendMessageW(main, DM_SETDEFID, IDC_TRENDS_SET_GOAL, 0);
  } else if (tookDefault_) {
    // Back to what it was: none (IDOK, which the window ignores) when it had none.
    SendMessageW(main, DM_SETDEFID, HIWORD(defaultBefore_) == DC_HASDEFID ? LOWORD(defaultBefore_) : IDOK, 0);
    defaultBefore_ = 0;
    tookDefault_ = false;
  }
}
