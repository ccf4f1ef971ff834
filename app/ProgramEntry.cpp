#include "app/ProgramEntry.h"

#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/SimulatedDevices.h"
#include "app/SingleInstance.h"
#include "app/StandardError.h"
#include "resources/ResourceIds.h"
#include "support/CrashReporter.h"
#include "ui/ModuleVersion.h"

namespace {

// How long a second start looks for the first one's window, which may still
// be opening.
const DWORD kFindRunningWindowMs = 5000;

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
    text.Format(L"The command line is not right:\n%s\n\nUsage:\n%s", error.CStr(), CommandLine::Usage);
    Report(text.CStr(), line.quitWhenIdle);
    return ExitBadCommandLine;
  }
  const bool quitWhenIdle = line.quitWhenIdle || !line.screenshotFolder.IsEmpty();

  // The database lies beside the program: one Pellton per program folder.
  WideString folder;
  ModuleDirectory(nullptr, folder);
  SingleInstance single;
  if (single.Claim(folder.CStr()) == SingleInstance::RunningElsewhere) {
    int found = single.ActivateRunning(kFindRunningWindowMs);
    if (!quitWhenIdle) return 0;
    Report(found ? L"another Pellton is already running on this folder's database; its window was brought "
                   L"to the front"
                 : L"another Pellton is already running on this folder's database",
           true);
    return ExitAlreadyRunning;
  }

  SimulatedDevices simulated;
  if (line.Simulated() && !simulated.AddFromCommandLine(line)) {
    Report(L"the simulated trackers could not be set up", quitWhenIdle);
    return ExitBadCommandLine;
  }

  MainWindowSetup setup;
  setup.settingsKey.Assign(line.settingsKey);
  setup.devices = line.Simulated() ? simulated.Backend() : nullptr;
  setup.simulated = line.Simulated();
  setup.quitWhenIdle = quitWhenIdle;
  setup.pictureFolder.Assign(line.screenshotFolder);
  setup.instance = &single;
  MainWindow window(setup);
  return static_cast<int>(window.RunModal(instance, IDD_MAIN, 0, nullptr));
}
