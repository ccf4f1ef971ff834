// What the Walking and Sleeping pages share: a date list (control 1015,
// the tracker's stored runs of the page's table, latest selected) and a
// chart view below it that shows the selected run as a chart page. A
// selection change in the date list refreshes the page.
//
// The "Table" switch puts a table of the same run (RunTable) in the
// chart's place, for screen readers and for copying the numbers.
//
// When no chart can be built (no tracker, no run) the view is given an
// empty document, so a page never goes on showing a run of a tracker that
// is no longer selected.
#pragma once

#include "app/window/RunTable.h"
#include "app/window/TabPage.h"
#include "core/WideString.h"
#include "ui/HtmlView.h"
#include "ui/ImageCombo.h"

class ChartPage : public TabPage {
public:
  ChartPage(PageContext& context, int table, int chartTop);

  int OnInitDialog() override;
  int OnCommand(int id, WPARAM wParam, LPARAM lParam) override;
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int CanClose(INT_PTR result) override;
  int OnDestroy() override;

  // Refills the date list with the selected tracker's runs.
  void FillDates();
  // Builds the chart of the selected run into the view (empty when there
  // is none). 1 when a chart was shown.
  int ShowChart();

  ImageCombo& Dates() { return dates_; }
  HtmlView& View() { return view_; }
  // The document last given to the view.
  const WideString& Document() const { return document_; }
  // The area of the chart view in the page's client coordinates.
  RECT ChartRect() const { return chartRect_; }
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
  // The selected run in the table (empty while no chart is shown).
  void FillTable();

  int table_;
  int chartTop_;
  ImageCombo dates_;
  HtmlView view_;
  WideString document_;
  RECT chartRect_ = {};
  RunTable runTable_;
  bool tableShown_ = false;
};
