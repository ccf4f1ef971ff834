// What the main window adds for the two services of the maker: the problem
// reporter, configured once at start so that a crash produces a report, and
// the automatic update check, which runs at start unless bit 0 of the
// "Flags" setting is set (the About page's "Automatically check for
// updates" box, control 1006). Ticking the box runs one check at once,
// without touching the stored "LastCheck" time; unticking it sets bit 0,
// which the main window stores at its end, so it counts from the next start.
// While that check runs the box says so, and once it has ended the box
// tells when it ran and what came of it (the owner calls PollCheck until
// it answers 0).
//
// Window thread only.
#pragma once

#include <windows.h>

#include "core/WideString.h"
#include "support/UpdateClient.h"

// Bit 0 of "Flags": no automatic update check.
const DWORD NoAutomaticUpdateCheck = 0x1;

// Configures the process's crash reporter (when there is one) with icon
// 101, the report host (none: the build's report host) and the report path.
void ConfigureProblemReporter(const wchar_t* reportHost = nullptr);

class UpdateHooks {
public:
  UpdateHooks() = default;
  ~UpdateHooks() { Shutdown(); }
  UpdateHooks(const UpdateHooks&) = delete;
  UpdateHooks& operator=(const UpdateHooks&) = delete;

  // The service address (none or empty: the build's update service).
  void SetServiceUrl(const wchar_t* url);
  // Starts the automatic check with the "LastCheck" bookkeeping under the
  // settings key, unless flags has NoAutomaticUpdateCheck. 1 when started.
  int StartAutomaticCheck(HWND window, DWORD flags, HKEY root, const wchar_t* keyPath);
  // The box's new state: ticked clears the bit and checks at once, unticked
  // sets it. The new flags.
  DWORD OnCheckBox(HWND window, bool checked, DWORD flags);
  // "Automatically check for updates", with " [Last Check: ...]" when the
  // automatic check knows its last time.
  void CheckBoxText(WideString& out);
  // Sets the box's text and state, and keeps the box for what a check
  // started from it says.
  void InitCheckBox(HWND page, int id, DWORD flags);
  // After a check started from the box: 1 while it runs; once it has ended
  // the box's text says when and how, and the answer is 0.
  int PollCheck();
  // Ends a running check (questions meanwhile are answered No).
  void Shutdown() { client_.Shutdown(); }

  UpdateClient& Client() { return client_; }

private:
  UpdateClient client_;
  WideString url_;
  HWND page_ = nullptr;
  int boxId_ = 0;
  bool boxCheckRunning_ = false;
};
