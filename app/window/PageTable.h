// The main window's tabs, one row each: the tab's title and icon, the
// page's dialog template and factory, the update flags that refresh it and
// whether live totals flow while it is shown. A tab's index is its row's
// place in the table; the stored "Tab" value is the row's own number, which
// never changes when rows are added or moved, so that a stored value keeps
// opening the page it named (Trends, shown before About, stores 4).
#pragma once

class PageContext;
class TabPage;

struct PageRow {
  int stored;            // the "Tab" value naming the row, apart from its place
  const wchar_t* title;  // the tab's text, & before its Alt letter; in lower case without the & it names the tab's picture ("tab-1-info.bmp")
  int icon;
  int templateId;
  TabPage* (*make)(PageContext& context);
  unsigned updates;  // TrackerUpdateFlags
  bool liveTotals;   // live totals flow while its tab is selected
};

extern const PageRow PageTable[];
extern const int PageCount;

// The place of the row the stored "Tab" value names; -1 for none.
int PageOfStored(unsigned long stored);
