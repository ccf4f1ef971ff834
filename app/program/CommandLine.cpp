#include "app/program/CommandLine.h"

#include "app/window/MainWindow.h"

#include <shellapi.h>
#include <wchar.h>

const wchar_t CommandLine::Usage[] =
    L"Pellton.exe [--simulate | --simulate=N] [--scenario FILE]... [--quit-when-idle]\n"
    L"            [--settings-key KEY] [--screenshots FOLDER]\n"
    L"  --simulate, --simulate=N  one (N, 1-16) simulated trackers with generated history\n"
    L"  --scenario FILE           a simulated tracker set up by the file (repeatable)\n"
    L"  --quit-when-idle          close once the search and the downloads have finished\n"
    L"  --settings-key KEY        settings under HKEY_CURRENT_USER\\KEY\n"
    L"  --screenshots FOLDER      once idle, save pictures of the tabs there and close\n";

namespace {

// A switch with the value that came after '=' in the same argument, if any.
struct Switch {
  WideString name;
  const wchar_t* inlineValue = nullptr;
};

void SplitSwitch(const wchar_t* argument, Switch& out) {
  const wchar_t* equals = wcschr(argument, L'=');
  if (equals) {
    out.name.Assign(argument, static_cast<unsigned>(equals - argument));
    out.inlineValue = equals + 1;
  } else {
    out.name.Assign(argument);
  }
}

void AddProblem(WideString& error, const WideString& problem) {
  if (!error.IsEmpty()) error.Append(L"\n");
  error.Append(problem);
}

}  // namespace

CommandLine::CommandLine() : simulatedCount(0), quitWhenIdle(false), settingsKey(MainWindow::DefaultSettingsKey) {}

int CommandLine::Parse(int count, const wchar_t* const* arguments, WideString& error) {
  error.Assign(L"");
  WideString problem;
  int ok = 1;
  for (int i = 0; i < count; ++i) {
    const wchar_t* argument = arguments[i] ? arguments[i] : L"";
    Switch sw;
    SplitSwitch(argument, sw);
    const wchar_t* name = sw.name.CStr();
    bool takesValue = wcscmp(name, L"--scenario") == 0 || wcscmp(name, L"--settings-key") == 0 ||
                      wcscmp(name, L"--screenshots") == 0;
    const wchar_t* value = sw.inlineValue;
    if (takesValue && !value) {
      if (i + 1 < count && arguments[i + 1]) {
        value = arguments[++i];
      } else {
        problem.Format(L"%s needs a value", name);
        AddProblem(error, problem);
        ok = 0;
        continue;
      }
    }
    if (wcscmp(name, L"--simulate") == 0) {
      if (!sw.inlineValue) {
        simulatedCount = 1;
      } else if (!TakeSimulateCount(sw.inlineValue, error)) {
        ok = 0;
      }
    } else if (wcscmp(name, L"--scenario") == 0) {
      if (!TakeScenario(value, error)) ok = 0;
    } else if (wcscmp(name, L"--quit-when-idle") == 0 && !sw.inlineValue) {
      quitWhenIdle = true;
    } else if (wcscmp(name, L"--settings-key") == 0) {
      // An empty key or one with a leading backslash would name the root of
      // HKEY_CURRENT_USER itself.
      if (!*value || *value == L'\\') {
        problem.Format(L"--settings-key needs a key path below HKEY_CURRENT_USER, not \"%s\"", value);
        AddProblem(error, problem);
        ok = 0;
      } else {
        settingsKey.Assign(value);
      }
    } else if (wcscmp(name, L"--screenshots") == 0) {
      // An unattended run even when the folder is wrong: its problems go to
      // standard error, not into a message box nobody will answer.
      quitWhenIdle = true;
      DWORD attributes = GetFileAttributesW(value);
      if (!*value || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        problem.Format(L"--screenshots needs an existing folder, not \"%s\"", value);
        AddProblem(error, problem);
        ok = 0;
      } else {
        screenshotFolder.Assign(value);
        screenshotFolder.RemoveTrailing(L'\\');
      }
    } else {
      problem.Format(L"unknown argument \"%s\"", argument);
      AddProblem(error, problem);
      ok = 0;
    }
  }
  return ok;
}

int CommandLine::ParseCommandLine(const wchar_t* commandLine, WideString& error) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(commandLine ? commandLine : L"", &count);
  if (!arguments) {
    error.Assign(L"the command line cannot be read");
    return 0;
  }
  // The first element is the program.
  int ok = Parse(count > 0 ? count - 1 : 0, arguments + 1, error);
  LocalFree(arguments);
  return ok;
}

int CommandLine::TakeSimulateCount(const wchar_t* text, WideString& error) {
  wchar_t* end = nullptr;
  unsigned long n = 0;
  bool digits = *text >= L'0' && *text <= L'9';
  if (digits) n = wcstoul(text, &end, 10);
  if (!digits || *end || n < 1 || n > MaxSimulated) {
    WideString problem;
    problem.Format(L"--simulate=N needs a number of trackers from 1 to %u, not \"%s\"", MaxSimulated,
                   text);
    AddProblem(error, problem);
    return 0;
  }
  simulatedCount = static_cast<unsigned>(n);
  return 1;
}

int CommandLine::TakeScenario(const wchar_t* path, WideString& error) {
  TrackerScenario scenario;
  WideString problem;
  if (!*path) {
    AddProblem(error, L"--scenario needs a file name");
    return 0;
  }
  if (!scenario.LoadFile(path, problem)) {
    AddProblem(error, problem);
    return 0;
  }
  scenarios.push_back(scenario);
  return 1;
}
