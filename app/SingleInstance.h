// One Pellton at a time per database. The activity store holds its database
// file with an exclusive lock, so a second copy working on the same file
// would fail every statement silently and drop whole downloads. The claim is
// a named mutex in the global namespace, so copies in other sessions that
// share the program folder (and with it the file) are kept out too; the
// name is made from the folder's resolved path, so copies in different
// folders, each with its own file, run side by side.
//
// The running copy marks its main window with a window property of the same
// key; a second start finds that window and brings it to the front.
#pragma once

#include <windows.h>

#include "core/WideString.h"

class SingleInstance {
public:
  enum ClaimResult {
    Claimed,         // this process is the one
    RunningElsewhere,  // another process holds the folder
    ClaimFailed,     // the mutex could not be made; nothing is known
  };

  SingleInstance() = default;
  // Gives the claim up.
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Claims the folder that holds the database (a path of an existing
  // folder; other spellings of the same folder give the same claim).
  ClaimResult Claim(const wchar_t* folder);
  // Gives the claim up early.
  void Release();

  // Marks the running copy's main window; the mark is removed by Unmark
  // (call it before the window goes).
  int MarkWindow(HWND window);
  void UnmarkWindow(HWND window);

  // The marked window of the copy that holds the claim, or none. The copy
  // may still be starting: the search is repeated until the time-out.
  HWND FindRunningWindow(DWORD timeoutMs);
  // Brings that window (or the dialog it is showing) to the front; 1 when a
  // window was found.
  int ActivateRunning(DWORD timeoutMs);

  // The mutex and property names, for checks.
  const wchar_t* MutexName() const { return mutexName_.CStr(); }
  const wchar_t* PropertyName() const { return propertyName_.CStr(); }

  // The key of a folder: FNV-1a over its resolved, upper-cased path.
  static unsigned long long FolderKey(const wchar_t* folder);

private:
  int MakeNames(const wchar_t* folder);

  HANDLE mutex_ = nullptr;
  WideString mutexName_;
  WideString propertyName_;
};
