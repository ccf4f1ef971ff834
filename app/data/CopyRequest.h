// A Pellton started from the command line for a backup or an export while
// another Pellton runs on the same database cannot read the file (the
// running one holds it locked): it asks the running one's window for a
// copy instead. The request is a WM_COPYDATA message carrying the path of
// an empty file the asking program made; the running Pellton copies its
// database into it with the online backup (a download being stored goes in
// whole or not at all) and answers when done.
#pragma once

#include <windows.h>

#include "core/WideString.h"

class ActivityStore;

// The asking side: a copy of the database at the path (the window copies
// only the file its store has open). 1 when the window copied it into the
// file (which must exist and be empty); -1 when the window runs on another
// database (the file asked for is not held by it); else 0 with the problem.
int RequestCopy(HWND running, const wchar_t* destination, const wchar_t* database, DWORD timeoutMs,
                WideString& problem);

// The running side, for WM_COPYDATA: true when the message is such a
// request; Answer then makes the copy and gives the value to set as the
// message's result.
bool IsCopyRequest(LPARAM lParam);
LRESULT AnswerCopyRequest(ActivityStore& store, LPARAM lParam);
