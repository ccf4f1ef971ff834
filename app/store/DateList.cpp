#include "app/store/DateList.h"

#include <vector>

#include "app/store/ActivityStore.h"
#include "ui/ImageCombo.h"

int FillDateList(ActivityStore& store, int trackerIndex, ImageCombo& dates, int table) {
  std::vector<StoredRun> runs;
  store.ListRuns(trackerIndex, table, runs);  // an unknown tracker lists nothing
  dates.LockRedraw();
  while (dates.Count() > 0) {
    if (!dates.Delete(0)) break;
  }
  for (const StoredRun& run : runs) {
    dates.AddItem(run.label.CStr(), static_cast<int>(run.start), DATE_LIST_ICON, nullptr);
  }
  int count = dates.Count();
  dates.UnlockRedraw();
  HWND control = dates.Control();
  if (count <= 0) {
    if (control) EnableWindow(control, FALSE);
    return 0;
  }
  if (control) EnableWindow(control, TRUE);
  dates.Select(count - 1);
  return count;
}
