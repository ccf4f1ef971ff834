#include "app/program/ProgramEntry.h"

#include "app/program/CommandLine.h"
#include "app/window/MainWindow.h"
#include "app/simulation/SimulatedDevices.h"
#include "app/program/SingleInstance.h"
#include "core/StandardError.h"
#include "app/program/DataCommand.h"
#include "resources/ResourceIds.h"
#include "support/CrashReporter.h"
#include "core/ProgramFolder.h"

namespace {

// How long a second start waits for the copy holding the claim to show its
// window (it may still be opening) or to give the claim up (it may be
// closing: writing its settings, closing the database).
const DWORD kWaitForRunningMs = 10000;

void Report(const wchar_t* problem, bool toStandardError) {
  WideString text;
  if (toStandardError) {
    text.Format(L"Pellton: %s\n", problem);
    WriteStandardError(text.CStr());
  } else {
    MessageBoxW(nullptr, problem, L"Pellton", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  }
}

}  // namespace

int RunProgram(HINSTANCE instance, const wchar_t* commandLine) {
  // Exists before the main window, which configures it; its filter stays
  // installed until the program ends.
  static CrashReporter reporter;
  CommandLine line;
  WideString error;
  if (!line.ParseCommandLine(commandLine, error)) {
    WideString text;
    if (line.dataAction != CommandLine::DataNone) {
      // A command's problems, one line each.
      WideString problem;
      for (int more = error.StartLines(problem); more; more = error.ReadLine(problem)) Report(problem.CStr(), true);
      return ExitBadCommandLine;
    }
    text.Format(L"The command line is not right:\n%s\n\nUsage:\n%s", error.CStr(), CommandLine::Usage);
    Report(text.CStr(), line.Unattended());
    return ExitBadCommandLine;
  }
  if (line.dataAction != CommandLine::DataNone) return RunDataCommand(line);
  const bool quitWhenIdle = line.quitWhenIdle || !line.screenshotFolder.IsEmpty();

  // One Pellton per database folder: by default the database lies beside
  // the program.
  WideString folder;
  if (line.databasePath.IsEmpty()) {
    ProgramFolder(folder);
  } else {
    folder.Assign(line.databasePath);
    folder.Left(folder.FindLastChar(L'\\'));
  }
  SingleInstance single;
  if (single.Claim(folder.CStr()) == SingleInstance::RunningElsewhere) {
    HWND running = single.ShownRunningWindow();
    SingleInstance::ClaimResult waited = SingleInstance::RunningElsewhere;
    if (!running) {
      // Said before the wait, so whoever runs the program unattended sees
      // why it has not started yet.
      if (quitWhenIdle) {
        Report(L"another Pellton holds this folder's database and shows no window yet; waiting for it", true);
      }
      waited = single.WaitForRunning(kWaitForRunningMs, &running);
    }
    if (running) {
      SingleInstance::Activate(running);
      if (!quitWhenIdle) return 0;
      Report(L"another Pellton is already running on this folder's database; its window was brought to the front",
             true);
      return ExitAlreadyRunning;
    }
    if (waited == SingleInstance::RunningElsewhere && single.HeldByAnotherAccount()) {
      // Its window, if any, is on another desktop, and it may be running
      // as it should: nothing here says it is closing or hanging.
      Report(L"Another Pellton is running on this folder's database under another user account or with other "
             L"rights (as administrator), and shows no window here. Only one Pellton at a time can use the "
             L"database: close that Pellton first.",
             quitWhenIdle);
      return ExitStillRunning;
    }
    if (waited == SingleInstance::RunningElsewhere) {
      Report(L"Another Pellton is still running on this folder's database but shows no window. It may still be "
             L"starting or closing, or not be answering; wait a moment and start Pellton again, or end the other "
             L"Pellton in the Task Manager if this goes on.",
             quitWhenIdle);
      return ExitStillRunning;
    }
    // Claimed: the other copy has ended. ClaimFailed: nothing is known, as
    // when the claim could not be made at all; the start goes on.
  }

  SimulatedDevices simulated;
  if (line.Simulated() && !simulated.AddTrackers(line.scenarios, line.simulatedCount)) {
    Report(L"the simulated trackers could not be set up", quitWhenIdle);
    return ExitBadCommandLine;
  }

  MainWindowSetup setup;
  setup.settingsKey.Assign(line.settingsKey);
  setup.databasePath.Assign(line.databasePath);
  setup.devices = line.Simulated() ? simulated.Backend() : nullptr;
  setup.simulated = line.Simulated();
  setup.quitWhenIdle = quitWhenIdle;
  setup.pictureFolder.Assign(line.screenshotFolder);
  setup.instance = &single;
  MainWindow window(setup);
  const int result = static_cast<int>(window.RunModal(instance, IDD_MAIN, 0, nullptr));
  // The window gave up a tracker worker held in a platform call that does
  // not return, after closing the store and writing the settings: the
  // process ends now, before anything that thread may still use goes.
  if (window.Worker().Abandoned()) ExitProcess(static_cast<UINT>(result));
  return result;
}
