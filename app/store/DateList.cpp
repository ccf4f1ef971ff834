#include "app/store/DateList.h"

#include "app/store/ActivityStore.h"
#include "resources/ResourceIds.h"
#include "ui/ImageCombo.h"

int FillDateList(const std::vector<StoredRun>& runs, ImageCombo& dates) {
  dates.LockRedraw();
  dates.Clear();
  size_t text = 0;
  for (const StoredRun& run : runs) text += run.label.Length() + 1;
  dates.Reserve(static_cast<int>(runs.size()), static_cast<int>(text * sizeof(wchar_t)));
  for (const StoredRun& run : runs) {
    dates.AddItem(run.label.CStr(), static_cast<int>(run.start), IDI_DATE, nullptr);
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
