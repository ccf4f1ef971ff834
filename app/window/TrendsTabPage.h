// The Trends page (dialog 123): for the selected tracker and a period the
// user picks (a week, month or year, moved by Previous and Next, or all
// days), the Trends figures as label and value texts on the left, the
// Trends chart page beside them, and the goal box: Set stores a change of
// the steps-per-day goal from today on (the "Goals" setting; earlier days
// keep theirs) and shows the figures again.
//
// The figures come from the summary tables, which are brought up to date
// first; after a download only the days its runs touch are computed again,
// but the first time for years of history takes a moment, under the wait
// cursor. Numbers use the locale's separators and the "DistanceUnit".
#pragma once

#include "app/trends/TrendFigures.h"
#include "app/window/TabPage.h"
#include "core/WideString.h"
#include "ui/HtmlView.h"

// Set with the flags a page posts for its first refresh, so the window never
// takes that post for the end of a download (the walking and sleeping flags).
const unsigned UpdatePageMade = 0x200;

class TrendsTabPage : public TabPage {
public:
  explicit TrendsTabPage(PageContext& context) : TabPage(context) {}

  int OnInitDialog() override;
  int OnCommand(int id, WPARAM wParam, LPARAM lParam) override;
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int CanClose(INT_PTR result) override;
  int OnDestroy() override;

  // The figures and chart of the selected tracker again (a download, a
  // tracker picked).
  void Refresh(unsigned flags) override;
  // The period list has no label: it is named "Period".
  void NameControls(AccessibleNames& names) override;

  // The period of that kind holding today, as the period list does.
  void ChoosePeriod(TrendPeriodKind kind);
  // The period before (direction < 0) or after, as Previous and Next do.
  void MovePeriod(int direction);
  // The goal from today on, as Set does; 1 when stored (else the page says
  // why).
  int SetGoal(unsigned steps);

  const TrendPeriod& Period() const { return period_; }
  const TrendFigures& Figures() const { return figures_; }
  // The chart page last given to the view ("" for none).
  const WideString& Document() const { return document_; }

private:
  void ShowFigures();
  void ClearFigures();

  HtmlView view_;
  WideString document_;
  TrendPeriod period_;
  int firstWeekday_ = 0;
  TrendFigures figures_;
};
