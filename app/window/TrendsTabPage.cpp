#include "app/window/TrendsTabPage.h"

#include <vector>

#include "app/tracker/TrackerUpdate.h"
#include "app/trends/TrendSettings.h"
#include "app/trends/TrendsPage.h"
#include "core/LocaleNumbers.h"
#include "resources/ResourceIds.h"

namespace {

// In the order of TrendPeriodKind.
const wchar_t* const kPeriodNames[] = {L"Week", L"Month", L"Year", L"All"};

}  // namespace

int TrendsTabPage::OnInitDialog() {
  HWND periods = Item(IDC_TRENDS_PERIOD);
  for (const wchar_t* name : kPeriodNames) SendMessageW(periods, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  firstWeekday_ = LocaleFirstWeekday();
  period_ = PeriodHolding(PeriodMonth, context_.Today(), firstWeekday_);
  SendMessageW(periods, CB_SETCURSEL, PeriodMonth, 0);
  SendDlgItemMessageW(Window(), IDC_TRENDS_GOAL, EM_LIMITTEXT, 6, 0);

  // The chart fills the page right of the figures and grows with it.
  RECT client;
  GetClientRect(Window(), &client);
  view_.Create(Window(), HtmlViewPageOptions);
  view_.Move(DialogUnitsToPixelsX(TRENDS_CHART_LEFT), DialogUnitsToPixelsY(TRENDS_CHART_TOP),
             client.right - DialogUnitsToPixelsX(CHART_SIDE_MARGIN), client.bottom);
  AddAnchor(view_.Window(), AnchorGrow);
  ClearFigures();
  context_.PostUpdate(UpdateWalking | UpdateSleeping | UpdatePageMade);
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
  if ((id == IDC_TRENDS_PREVIOUS || id == IDC_TRENDS_NEXT) && code == BN_CLICKED) {
    MovePeriod(id == IDC_TRENDS_PREVIOUS ? -1 : 1);
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
  return Dialog::OnMessage(message, wParam, lParam);
}

int TrendsTabPage::CanClose(INT_PTR) {
  // The browser goes while its parent is still whole.
  view_.Destroy();
  return 1;
}

int TrendsTabPage::OnDestroy() {
  view_.Destroy();
  return Dialog::OnDestroy();
}

void TrendsTabPage::Refresh(unsigned flags) {
  if (flags & (UpdateWalking | UpdateSleeping)) ShowFigures();
}

void TrendsTabPage::ChoosePeriod(TrendPeriodKind kind) {
  SendDlgItemMessageW(Window(), IDC_TRENDS_PERIOD, CB_SETCURSEL, kind, 0);
  period_ = PeriodHolding(kind, context_.Today(), firstWeekday_);
  ShowFigures();
}

void TrendsTabPage::MovePeriod(int direction) {
  period_ = ::MovePeriod(period_, direction, firstWeekday_);
  ShowFigures();
}

int TrendsTabPage::SetGoal(unsigned steps) {
  GoalList goals;
  WideString problem, text;
  // A stored text that was refused is replaced: the new goal holds from
  // today, and earlier days have the default.
  ReadGoals(context_.Settings(), goals, problem);
  if (!goals.Set(context_.Today(), steps)) {
    text.Format(L"The goal was not changed: it must be a number of steps from %u to %u a day.",
                GoalList::MinSteps, GoalList::MaxSteps);
    SetItemText(IDC_TRENDS_STATUS, text.CStr());
    return 0;
  }
  if (!WriteGoals(context_.Settings(), goals)) {
    SetItemText(IDC_TRENDS_STATUS, L"The goal could not be stored in the settings; it was not changed.");
    return 0;
  }
  ShowFigures();
  return 1;
}

void TrendsTabPage::ShowFigures() {
  SelectedTracker tracker;
  const bool chosen = context_.Selected(tracker) && !tracker.address.IsEmpty();
  EnableItem(IDC_TRENDS_PREVIOUS, chosen && period_.kind != PeriodAll);
  EnableItem(IDC_TRENDS_NEXT, chosen && period_.kind != PeriodAll);
  SetItemText(IDC_TRENDS_STATUS, L"");
  if (!chosen) {
    ClearFigures();
    return;
  }
  TrendRequest request;
  const wchar_t* address = tracker.address.CStr();
  for (size_t i = 0; i + 1 < sizeof request.tracker && address[i]; ++i) request.tracker[i] = static_cast<char>(address[i]);
  request.period = period_;
  request.today = context_.Today();
  request.firstWeekday = firstWeekday_;
  WideString problem, status;
  if (!ReadGoals(context_.Settings(), request.goals, problem)) {
    status.Format(L"The stored goals were not used (%s); the goal is %u steps a day.", problem.CStr(),
                  GoalList::DefaultSteps);
  }
  // Years of history not summed up yet take a moment.
  HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  TrendFigures figures;
  const int read = context_.ReadTrends(request, figures, problem);
  SetCursor(before);
  if (!read) {
    ClearFigures();
    status.Format(L"The figures could not be read: %s", problem.CStr());
    SetItemText(IDC_TRENDS_STATUS, status.CStr());
    return;
  }
  figures_ = figures;
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
  SetDlgItemInt(Window(), IDC_TRENDS_GOAL, request.goals.GoalOf(request.today), FALSE);
  WideString page;
  if (!BuildTrendsPage(figures_, numbers, unit, page, Module())) {
    page.Assign(L"");
    if (status.IsEmpty()) status.Assign(L"The chart page could not be built.");
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
