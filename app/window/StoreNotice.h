// What the user is told about the activity database after the store has
// opened it (StoreOpening): a file left alone, moved aside with the runs
// rescued from it, or one that cannot be written, in plain words naming the
// file, what was wrong, what became of its runs and what to do. The window
// shows it in a message box, the data commands on standard error.
#pragma once

#include "app/store/ActivityStore.h"
#include "core/WideString.h"

// 1 with the notice for the file at path; 0 (notice emptied) when all went
// well and there is nothing to tell.
int DescribeStoreOpening(const wchar_t* path, const StoreOpening& opening, WideString& notice);
