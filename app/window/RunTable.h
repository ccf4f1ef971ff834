// The table view of the Walking and Sleeping pages: a report-style list
// view that shows the selected run as rows a screen reader can read and a
// user can copy. A walk has a row per quarter hour (time, steps, calories,
// distance in the user's unit, two decimals); a night a row per stretch at one level
// ("23:12–01:40", "asleep", "2 h 28 min"). Numbers and times follow the
// user's locale; times are local.
//
// Ctrl+C copies the selected rows (all when none is selected), the column
// titles first, as tab-separated lines; Ctrl+A selects every row. The page
// registers the table as a DialogControl, which hears the list's keys.
// Window thread only.
#pragma once

#include <windows.h>

#include <vector>

#include "app/charts/DayTable.h"
#include "core/LocaleNumbers.h"
#include "core/WideString.h"
#include "ui/DialogControl.h"

class RunTable : public DialogControl {
public:
  RunTable() = default;
  RunTable(const RunTable&) = delete;
  RunTable& operator=(const RunTable&) = delete;

  // A hidden list view with the id in the page. 1/0.
  int Create(HWND page, int id, const RECT& rect);
  HWND Control() const { return list_; }
  // The colour scheme's (ui/ColourScheme) list colours.
  void ApplyColours();
  // The font of the page at its new DPI, and the columns fitted again.
  void FollowDpi(HFONT font);

  // The run starting at start (Unix seconds) in the list, replacing what it showed.
  void ShowWalking(const std::vector<QuarterHourRow>& rows, unsigned start, DistanceUnit unit);
  void ShowSleeping(const std::vector<SleepRange>& ranges, unsigned start);
  void Clear();
  int RowCount() const;

  // The column titles and then the selected rows (all when none is
  // selected), cells joined by tabs, lines ended by CR LF. 1/0.
  int Text(WideString& out) const;
  // Text on the clipboard as Unicode text, what was there kept when it
  // cannot be (then a warning beep). 1/0.
  int Copy() const;

  int OnNotify(const NMHDR* header, LRESULT* result) override;

private:
  // Columns with their titles; numeric ones line up on the right.
  void SetColumns(const wchar_t* const* titles, const bool* numeric, int count);
  void AddRow(const WideString* cells, int count);
  void FitColumns();

  HWND list_ = nullptr;
  int columns_ = 0;
};

// "10:00" of the local time minutes after start; 1/0.
int LocalClockText(unsigned start, unsigned minutes, WideString& out);
