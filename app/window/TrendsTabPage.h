// The Trends page (dialog 123): for the selected tracker and a period the
// user picks (a week, month or year, moved by Previous and Next, or all
// days), the Trends figures as label and value texts on the left, the
// Trends chart page beside them, and the goal box: Set stores a change of
// the steps-per-day goal from today on (the "Goals" setting; earlier days
// keep theirs) and shows the figures again; "Distance in:" chooses the
// unit of every distance shown (the "DistanceUnit" setting). While the goal box has the
// focus, Set is the main window's default button, so Enter sets the goal
// (and never presses Close); a refresh leaves a goal the user is typing
// alone. A period that held today moves on with it after midnight.
//
// The figures come from the summary tables, which are brought up to date
// first; after a download only the days its runs touch are computed again,
// but the first time for years of history takes a moment: they are read off
// the window thread (PageContext::RequestTrends) while the page says
// "Working…", and shown when they come back. Refreshes that come while the
// page is hidden wait until it is shown. Numbers use the locale's
// separators and the "DistanceUnit".
#pragma once

#include "app/trends/TrendFigures.h"
#include "app/window/TabPage.h"
#include "core/LocaleNumbers.h"
#include "core/WideString.h"
#include "ui/HtmlView.h"

// Set with the flags a page posts for its first refresh, so the window never
// takes that post for the end of a download (the walking and sleeping flags).
const unsigned UpdatePageMade = 0x200;

class TrendsTabPage : public TabPage {
public:
  // The figures asked for have been read (wParam: the request's ticket).
  static const UINT WM_TRENDS_BUILT = WM_APP + 30;
  // Shown again after refreshes that came while hidden.
  static const UINT WM_TRENDS_STALE = WM_APP + 31;
  // The page's timer for the next local midnight: when it goes off on a
  // new day, the figures are read again (today's goal and streak, a
  // period holding today follows it). It goes off at most five minutes
  // apart, so that a clock set or a sleep of the PC (WM_TIMECHANGE reaches
  // only the main window) is caught soon after.
  static const UINT_PTR MidnightTimer = 1;

  explicit TrendsTabPage(PageContext& context) : TabPage(context) {}

  int OnInitDialog() override;
  int OnCommand(int id, WPARAM wParam, LPARAM lParam) override;
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int CanClose(INT_PTR result) override;
  int OnDestroy() override;

  // The figures and chart of the selected tracker again (a download, a
  // tracker picked).
  void Refresh(unsigned flags) override;
  // After a download only when it added runs of the selected tracker: the
  // figures are of that tracker's runs alone.
  void RefreshStored(unsigned flags, const StoredRuns& stored) override;
  // The period list has no label: it is named "Period".
  void NameControls(AccessibleNames& names) override;

  // The period of that kind holding today, as the period list does.
  void ChoosePeriod(TrendPeriodKind kind);
  // The period before (direction < 0) or after, as Previous and Next do.
  void MovePeriod(int direction);
  // Distances in the unit from now on, as "Distance in:" does: stored in
  // the "DistanceUnit" setting, the figures and the chart page written
  // again, and the Walking page told; 1 when stored (else the page says so).
  int ChooseDistanceUnit(DistanceUnit unit);
  // The goal from today on, as Set does; 1 when it holds (the page says so,
  // also when the settings file takes it only when Pellton closes), else 0
  // and the page says why. Stored goals that were refused are kept as they
  // are: Set with the same goal again replaces them.
  int SetGoal(unsigned steps);

  const TrendPeriod& Period() const { return period_; }
  // Figures asked for have not come back yet.
  bool Working() const { return building_; }
  const TrendFigures& Figures() const { return figures_; }
  // The chart page last given to the view ("" for none).
  const WideString& Document() const { return document_; }

private:
  // Asks for the figures of the selected tracker and period (when shown).
  void ShowFigures();
  void OnBuilt(unsigned ticket);
  // The figures, their texts and the chart page.
  void ShowBuilt();
  void ClearFigures();
  // The goal into the box, unless the user is typing one and it has not
  // changed.
  void ShowGoal(unsigned goal);
  // The goal box takes (true) or gives back the main window's default button.
  void TakeDefaultButton(bool take);
  // Sets MidnightTimer for the next local midnight (five minutes at most).
  void ArmMidnightTimer();

  HtmlView view_;
  WideString document_;
  TrendPeriod period_;
  int firstWeekday_ = 0;
  int periodToday_ = 0;  // the today of the last refresh
  TrendFigures figures_;
  WideString notice_;          // said once with the next figures (a goal set)
  WideString status_;          // said with the figures being read
  unsigned ticket_ = 0;        // of the newest request
  TrendRequest asked_;         // the newest request
  bool building_ = false;      // its figures have not come back yet
  bool again_ = false;         // asked for again meanwhile: asked once more when they come
  bool stale_ = false;         // refreshed while hidden
  unsigned goalToday_ = 0;     // today's goal of the newest request
  unsigned goalShown_ = 0;     // the goal last written into the box
  bool goalEdited_ = false;    // the user has typed into the box since
  bool writingGoal_ = false;   // the page itself writes the box
  LRESULT defaultBefore_ = 0;  // the main window's DM_GETDEFID before the box took it
  bool tookDefault_ = false;
  unsigned replaceRefused_ = 0;  // the goal the user was told would replace refused stored goals
};
