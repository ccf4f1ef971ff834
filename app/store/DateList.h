// Fills a page's date list (an ImageCombo) with a tracker's recorded runs
// from the activity store.
#pragma once

class ActivityStore;
class ImageCombo;

const int DATE_LIST_ICON = 118;  // every run's item icon

// Empties the list and adds the tracker's runs of the table (WalkingTable,
// SleepingTable), oldest first: the run's label, item data = its start,
// icon DATE_LIST_ICON. The last (latest) run is selected; a list without
// items is disabled, otherwise enabled. Window thread. The number of items.
int FillDateList(ActivityStore& store, int trackerIndex, ImageCombo& dates, int table);
