#include "app/program/CommandLine.h"

#include "app/window/MainWindow.h"

#include <shellapi.h>
#include <wchar.h>

const wchar_t CommandLine::Usage[] =
    L"Pellton.exe [--simulate | --simulate=N] [--scenario FILE]... [--quit-when-idle]\n"
    L"            [--settings-key KEY] [--screenshots FOLDER] [--database FILE]\n"
    L"Pellton.exe --export FILE --kind walking|sleeping|days|nights [--tracker ADDRESS]\n"
    L"            [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--database FILE]\n"
    L"Pellton.exe --backup FOLDER [--database FILE]\n"
    L"Pellton.exe --import FILE [--database FILE]\n"
    L"Pellton.exe --trends-page FILE --tracker ADDRESS [--period week|month|year|all]\n"
    L"            [--today YYYY-MM-DD] [--settings-key KEY] [--database FILE]\n"
    L"  --simulate, --simulate=N  one (N, 1-16) simulated trackers with generated history\n"
    L"  --scenario FILE           a simulated tracker set up by the file (repeatable)\n"
    L"  --quit-when-idle          close once the search and the downloads have finished\n"
    L"  --settings-key KEY        settings under HKEY_CURRENT_USER\\KEY\n"
    L"  --screenshots FOLDER      once idle, save pictures of the tabs there and close\n"
    L"  --database FILE           use this database instead of Pellton.sql beside the program\n"
    L"  --export FILE             write the stored runs of a kind as CSV (local dates --from, --to)\n"
    L"  --backup FOLDER           write a checked copy of the database into the folder\n"
    L"  --import FILE             merge the runs of another Pellton database into this one\n"
    L"  --trends-page FILE        write the Trends page of a tracker for the period holding today\n";

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

const wchar_t* const kDataSwitches[] = {L"--export", L"--kind",        L"--tracker", L"--from",
                                        L"--to",     L"--backup",      L"--import",  L"--database",
                                        L"--trends-page", L"--period", L"--today"};

bool IsDataSwitch(const wchar_t* name) {
  for (const wchar_t* known : kDataSwitches) {
    if (wcscmp(name, known) == 0) return true;
  }
  return false;
}

// YYYY-MM-DD of a real date; its key or 0.
int ParseDate(const wchar_t* text) {
  if (wcslen(text) != 10 || text[4] != L'-' || text[7] != L'-') return 0;
  int fields[3] = {0, 0, 0};
  const int starts[3] = {0, 5, 8};
  const int lengths[3] = {4, 2, 2};
  for (int f = 0; f < 3; ++f) {
    for (int i = 0; i < lengths[f]; ++i) {
      wchar_t c = text[starts[f] + i];
      if (c < L'0' || c > L'9') return 0;
      fields[f] = fields[f] * 10 + (c - L'0');
    }
  }
  return DateKeyOf(fields[0], fields[1], fields[2]);
}

// An address as the store keys rows by it; lower case and '-' separators
// are taken too. 1 with the stored form.
int ParseAddress(const wchar_t* text, char (&address)[18]) {
  if (wcslen(text) != 17) return 0;
  for (int i = 0; i < 17; ++i) {
    wchar_t c = text[i];
    if (i % 3 == 2) {
      if (c != L':' && c != L'-') return 0;
      address[i] = ':';
    } else if ((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')) {
      address[i] = static_cast<char>(c);
    } else if (c >= L'a' && c <= L'f') {
      address[i] = static_cast<char>(c - L'a' + 'A');
    } else {
      return 0;
    }
  }
  address[17] = 0;
  return 1;
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
                      wcscmp(name, L"--screenshots") == 0 || IsDataSwitch(name);
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
    if (IsDataSwitch(name)) {
      if (!TakeData(name, value, error)) ok = 0;
      continue;
    }
    if (wcscmp(name, L"--simulate") == 0 || wcscmp(name, L"--scenario") == 0 ||
        wcscmp(name, L"--quit-when-idle") == 0 || wcscmp(name, L"--screenshots") == 0) {
      windowSwitches_ = true;
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
  if (!CheckDataSwitches(error)) ok = 0;
  return ok;
}

int CommandLine::TakeData(const wchar_t* name, const wchar_t* value, WideString& error) {
  WideString problem;
  DataAction action = DataNone;
  if (wcscmp(name, L"--export") == 0) action = DataExport;
  if (wcscmp(name, L"--backup") == 0) action = DataBackup;
  if (wcscmp(name, L"--import") == 0) action = DataImport;
  if (wcscmp(name, L"--trends-page") == 0) action = DataTrendsPage;
  if (action != DataNone) {
    if (dataAction != DataNone) {
      problem.Format(L"only one of --export, --backup, --import and --trends-page can be given, not \"%s\" as well",
                     name);
      AddProblem(error, problem);
      return 0;
    }
    dataAction = action;
    if (!*value) {
      problem.Format(L"%s needs a %s name", name, action == DataBackup ? L"folder" : L"file");
      AddProblem(error, problem);
      return 0;
    }
    dataPath.Assign(value);
    return 1;
  }
  if (wcscmp(name, L"--kind") == 0) {
    kindGiven_ = true;
    if (!ParseExportKind(value, exportRequest.kind)) {
      problem.Format(L"--kind needs walking, sleeping, days or nights, not \"%s\"", value);
      AddProblem(error, problem);
      return 0;
    }
    return 1;
  }
  if (wcscmp(name, L"--period") == 0) {
    trendsGiven_ = true;
    if (!ParsePeriodKind(value, trendsPeriod)) {
      problem.Format(L"--period needs week, month, year or all, not \"%s\"", value);
      AddProblem(error, problem);
      return 0;
    }
    return 1;
  }
  if (wcscmp(name, L"--today") == 0) {
    trendsGiven_ = true;
    trendsToday = ParseDate(value);
    if (!trendsToday) {
      problem.Format(L"--today needs a date as YYYY-MM-DD, not \"%s\"", value);
      AddProblem(error, problem);
      return 0;
    }
    return 1;
  }
  if (wcscmp(name, L"--tracker") == 0) {
    trackerGiven_ = true;
    if (!ParseAddress(value, exportRequest.tracker)) {
      problem.Format(L"--tracker needs an address such as 02:50:4C:54:4E:01, not \"%s\"", value);
      AddProblem(error, problem);
      return 0;
    }
    return 1;
  }
  if (wcscmp(name, L"--from") == 0 || wcscmp(name, L"--to") == 0) {
    rangeGiven_ = true;
    int date = ParseDate(value);
    if (!date) {
      problem.Format(L"%s needs a date as YYYY-MM-DD, not \"%s\"", name, value);
      AddProblem(error, problem);
      return 0;
    }
    (name[2] == L'f' ? exportRequest.dates.from : exportRequest.dates.to) = date;
    return 1;
  }
  // --database: the folder must be there; the file is made when missing.
  DWORD needed = *value ? GetFullPathNameW(value, 0, nullptr, nullptr) : 0;
  WideString folder;
  if (needed && databasePath.Reset(needed + 1) && GetFullPathNameW(value, needed + 1, databasePath.Buffer(), nullptr)) {
    databasePath.UpdateLength();
    folder.Assign(databasePath);
    int slash = folder.FindLastChar(L'\\');
    if (slash >= 0 && slash + 1 < static_cast<int>(folder.Length())) folder.Left(slash + 1);
    else folder.Assign(L"");
  }
  DWORD attributes = folder.IsEmpty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(folder.CStr());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    problem.Format(L"--database needs a file in an existing folder, not \"%s\"", value);
    AddProblem(error, problem);
    databasePath.Assign(L"");
    return 0;
  }
  return 1;
}

int CommandLine::CheckDataSwitches(WideString& error) {
  int ok = 1;
  if (dataAction == DataExport && !kindGiven_) {
    AddProblem(error, L"--export needs --kind walking, sleeping, days or nights");
    ok = 0;
  }
  if (dataAction != DataExport && (kindGiven_ || rangeGiven_)) {
    AddProblem(error, L"--kind, --from and --to go with --export only");
    ok = 0;
  }
  if (dataAction != DataExport && dataAction != DataTrendsPage && trackerGiven_) {
    AddProblem(error, L"--tracker goes with --export or --trends-page only");
    ok = 0;
  }
  if (dataAction != DataTrendsPage && trendsGiven_) {
    AddProblem(error, L"--period and --today go with --trends-page only");
    ok = 0;
  }
  if (dataAction == DataTrendsPage && !trackerGiven_) {
    AddProblem(error, L"--trends-page needs --tracker ADDRESS");
    ok = 0;
  }
  const DateRange& dates = exportRequest.dates;
  if (dates.from && dates.to && dates.from > dates.to) {
    AddProblem(error, L"--from is after --to");
    ok = 0;
  }
  if (dataAction != DataNone && windowSwitches_) {
    AddProblem(error, L"--export, --backup, --import and --trends-page run without the window: --simulate, --scenario, "
                      L"--quit-when-idle and --screenshots do not go with them");
    ok = 0;
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
