// One Pellton at a time per database. The activity store holds its database
// file with an exclusive lock, so a second copy working on the same file
// would fail every statement silently and drop whole downloads. The claim is
// a named mutex in the global namespace, so copies in other sessions that
// share the program folder (and with it the file) are kept out too; the
// name is made from the folder's resolved path, so copies in different
// folders, each with its own file, run side by side.
//
// The running copy marks its main window with a window property of the same
// key; a second start finds that window and brings it to the front. A copy
// that is still starting has no marked window yet, and one that is closing
// has none any more while it still holds the claim (it writes its settings
// and closes the database after its window has gone): a second start then
// waits on the claim itself until the window shows or the claim is given up.
#pragma once

#include <windows.h>

#include "app/window/WindowMarker.h"
#include "core/KernelHandle.h"
#include "core/WideString.h"

class SingleInstance final : public WindowMarker {
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
  // After RunningElsewhere the mutex stays open (not held) for WaitForRunning.
  ClaimResult Claim(const wchar_t* folder);
  // After Claim answered RunningElsewhere: waits up to timeoutMs, on the
  // mutex itself, for the copy that holds the claim either to show its
  // marked window or to give the claim up (it was closing, or it ended
  // without giving it up). Answers Claimed when the claim is now this
  // process's; RunningElsewhere with *window set to the running window; or
  // RunningElsewhere with *window none when neither happened in time;
  // ClaimFailed when the wait itself failed. When the mutex belongs to
  // another account and may not be waited on, only the window is looked
  // for, for the whole time.
  ClaimResult WaitForRunning(DWORD timeoutMs, HWND* window);
  // 1 while this process holds the claim.
  int Held() const { return held_ ? 1 : 0; }
  // 1 after Claim answered RunningElsewhere because the claim was made by
  // another account (another user, or a copy with administrator rights):
  // its window may be on another desktop, and its end cannot be seen when
  // the mutex may not be waited on.
  int HeldByAnotherAccount() const { return otherAccount_ ? 1 : 0; }
  // Gives the claim up early.
  void Release();

  // Marks the running copy's main window; the mark is removed by Unmark
  // (call it before the window goes).
  int MarkWindow(HWND window) override;
  void UnmarkWindow(HWND window) override;

  // The marked window of the copy that holds the claim, or none. The copy
  // may still be starting: the search is repeated until the time-out.
  HWND FindRunningWindow(DWORD timeoutMs);
  // The marked window that is shown now (a hidden one is starting or
  // closing), or none.
  HWND ShownRunningWindow() const;
  // Brings a running copy's window (or the dialog it is showing) to the
  // front.
  static void Activate(HWND window);

  // The mutex and property names, for checks.
  const wchar_t* MutexName() const { return mutexName_.CStr(); }
  const wchar_t* PropertyName() const { return propertyName_.CStr(); }

  // The key of a folder: FNV-1a over its resolved, upper-cased path.
  static unsigned long long FolderKey(const wchar_t* folder);

private:
  int MakeNames(const wchar_t* folder);

  KernelHandle mutex_;  // open after Claimed and after RunningElsewhere
  bool held_ = false;
  bool otherAccount_ = false;
  WideString mutexName_;
  WideString propertyName_;
};
