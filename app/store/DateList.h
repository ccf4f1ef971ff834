// Fills a page's date list (an ImageCombo) with a tracker's recorded runs
// as the activity store lists them.
#pragma once

#include <vector>

struct StoredRun;
class ImageCombo;

// Empties the list and adds the runs in their order (the store lists them
// oldest first): the run's label, item data = its start, the date icon. The
// last (latest) run is selected; a list without items is disabled,
// otherwise enabled. Window thread. The number of items.
int FillDateList(const std::vector<StoredRun>& runs, ImageCombo& dates);
