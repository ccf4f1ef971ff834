#include "app/program/DataCommand.h"

#include <sqlite3.h>

#include <cstring>
#include <string>

#include "app/store/ActivityStore.h"
#include "app/program/CommandLine.h"
#include "app/program/SingleInstance.h"
#include "app/window/StoreNotice.h"
#include "core/StandardError.h"
#include "app/data/CopyRequest.h"
#include "app/data/CsvExport.h"
#include "app/data/DatabaseMerge.h"
#include "app/trends/TrendSettings.h"
#include "app/trends/TrendsPage.h"
#include "core/ModuleVersion.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"

namespace {

const int kExitDone = 0;
const int kExitFailed = 1;
const int kExitWrongUse = 2;
const int kExitRunning = 3;
const int kExitStillHeld = 4;

// How long a command waits for a Pellton that holds the database but shows
// no window (starting or closing), as a second start of the window does.
const DWORD kWaitForRunningMs = 10000;
// How long the running Pellton may take to copy its database.
const DWORD kCopyTimeoutMs = 10 * 60 * 1000;

void Say(const wchar_t* text) {
  WideString line;
  line.Format(L"Pellton: %s\n", text);
  WriteStandardError(line.CStr());
}

int Fail(int code, const wchar_t* format, const wchar_t* a, const wchar_t* b = L"") {
  WideString text;
  text.Format(format, a, b);
  Say(text.CStr());
  return code;
}

void Print(const WideString& text) {
  WideString line;
  line.Format(L"%s\n", text.CStr());
  WriteStandardOutput(line.CStr());
}

bool IsFile(const wchar_t* path) {
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The database and the folder it lies in.
int DatabasePath(const CommandLine& line, WideString& path, WideString& folder) {
  if (!line.databasePath.IsEmpty()) {
    path.Assign(line.databasePath);
  } else {
    WideString programFolder;
    if (!ProgramFolder(programFolder)) return 0;
    programFolder.EnsureTrailing(L'\\');
    path.Format(L"%s%s", programFolder.CStr(), ActivityStore::FileName);
  }
  folder.Assign(path);
  int slash = folder.FindLastChar(L'\\');
  if (slash < 0) return 0;
  folder.Left(slash);
  return 1;
}

// Who has the database: this process now (Claimed), a running Pellton
// with its window (Running), or nobody that could be reached.
enum Holder { HeldHere, HeldByWindow, HeldSilently, HolderUnknown };

Holder ClaimDatabase(SingleInstance& single, const wchar_t* folder, HWND& window) {
  window = nullptr;
  SingleInstance::ClaimResult claim = single.Claim(folder);
  if (claim == SingleInstance::Claimed) return HeldHere;
  if (claim == SingleInstance::ClaimFailed) return HolderUnknown;
  window = single.ShownRunningWindow();
  if (window) return HeldByWindow;
  Say(L"another Pellton holds this database and shows no window yet; waiting for it");
  claim = single.WaitForRunning(kWaitForRunningMs, &window);
  if (claim == SingleInstance::Claimed) return HeldHere;
  if (window) return HeldByWindow;
  return claim == SingleInstance::ClaimFailed ? HolderUnknown : HeldSilently;
}

int StillHeld() {
  Say(L"another Pellton is still running on this database but shows no window; try again once it has closed");
  return kExitStillHeld;
}

// A copy of the running Pellton's database in the temporary folder.
class Snapshot {
public:
  ~Snapshot() {
    if (!path_.IsEmpty()) DeleteFileW(path_.CStr());
  }
  // 1 with the copy; -1 when the window runs on another database.
  int Take(HWND running, const wchar_t* database, WideString& problem) {
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t name[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH, folder);
    if (n == 0 || n > MAX_PATH || !GetTempFileNameW(folder, L"pel", 0, name)) {
      problem.Assign(L"no copy of the database could be made in the temporary folder");
      return 0;
    }
    path_.Assign(name);
    return RequestCopy(running, path_.CStr(), database, kCopyTimeoutMs, problem);
  }
  const WideString& Path() const { return path_; }

private:
  WideString path_;
};

int Export(const CommandLine& line, const WideString& database, const WideString& folder) {
  OutputFile file;
  WideString problem;
  if (!file.Open(line.dataPath.CStr(), problem)) {
    return Fail(kExitWrongUse, L"the file %s %s", line.dataPath.CStr(), problem.CStr());
  }
  if (!IsFile(database.CStr())) return Fail(kExitWrongUse, L"there is no database %s", database.CStr());
  // Replacing the database with its own export would lose every run.
  if (SameFile(file.Target().CStr(), database.CStr())) {
    return Fail(kExitWrongUse, L"the file %s is the database itself", line.dataPath.CStr());
  }
  SingleInstance single;
  HWND running = nullptr;
  Holder holder = ClaimDatabase(single, folder.CStr(), running);
  if (holder == HeldSilently) return StillHeld();
  Snapshot snapshot;
  const wchar_t* source = database.CStr();
  if (holder == HeldByWindow) {
    // A window on another file of this folder does not hold this one: it is
    // read itself.
    int taken = snapshot.Take(running, database.CStr(), problem);
    if (!taken) return Fail(kExitFailed, L"nothing was exported: %s", problem.CStr());
    if (taken > 0) source = snapshot.Path().CStr();
  }
  ReadOnlyDatabase connection;
  if (!connection.Open(source, problem)) {
    return Fail(kExitFailed, L"the database %s could not be read (%s)", database.CStr(), problem.CStr());
  }
  ExportOutcome outcome;
  if (WriteExport(connection.Handle(), line.exportRequest, file, nullptr, outcome) != ExportDone) {
    return Fail(kExitFailed, L"nothing was exported: %s", outcome.problem.CStr());
  }
  WideString result;
  result.Format(L"%I64u rows written to %s", outcome.rows, file.Target().CStr());
  Print(result);
  if (outcome.skipped) {
    result.Format(L"%I64u stored rows that hold no run were left out", outcome.skipped);
    Say(result.CStr());
  }
  return kExitDone;
}

// The Trends page of one tracker, read like an export: from the file, or
// from a copy the running Pellton makes. The summaries the page needs are
// kept in the connection's temporary schema (the file is not written).
int TrendsPage(const CommandLine& line, const WideString& database, const WideString& folder) {
  OutputFile file;
  WideString problem;
  if (!file.Open(line.dataPath.CStr(), problem)) {
    return Fail(kExitWrongUse, L"the file %s %s", line.dataPath.CStr(), problem.CStr());
  }
  if (!IsFile(database.CStr())) return Fail(kExitWrongUse, L"there is no database %s", database.CStr());
  if (SameFile(file.Target().CStr(), database.CStr())) {
    return Fail(kExitWrongUse, L"the file %s is the database itself", line.dataPath.CStr());
  }
  SettingsStore settings;
  TrendRequest request;
  settings.Open(SettingsRegistry, HKEY_CURRENT_USER, line.settingsKey.CStr());
  if (!ReadGoals(settings, request.goals, problem)) {
    Fail(0, L"the stored goals are not used, every day has the goal of 10,000 steps: %s", problem.CStr());
  }
  const DistanceUnit unit = ReadDistanceUnit(settings);
  SingleInstance single;
  HWND running = nullptr;
  Holder holder = ClaimDatabase(single, folder.CStr(), running);
  if (holder == HeldSilently) return StillHeld();
  Snapshot snapshot;
  const wchar_t* source = database.CStr();
  if (holder == HeldByWindow) {
    int taken = snapshot.Take(running, database.CStr(), problem);
    if (!taken) return Fail(kExitFailed, L"no Trends page was written: %s", problem.CStr());
    if (taken > 0) source = snapshot.Path().CStr();
  }
  ReadOnlyDatabase connection;
  if (!connection.Open(source, problem)) {
    return Fail(kExitFailed, L"the database %s could not be read (%s)", database.CStr(), problem.CStr());
  }
  memcpy(request.tracker, line.exportRequest.tracker, sizeof request.tracker);
  request.today = line.trendsToday;
  if (!request.today) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    request.today = DateKeyOf(now.wYear, now.wMonth, now.wDay);
  }
  request.firstWeekday = LocaleFirstWeekday();
  request.period = PeriodHolding(line.trendsPeriod, request.today, request.firstWeekday);
  TrendFigures figures;
  WideString page;
  if (!ReadTrendFigures(connection.Handle(), request, figures, problem)) {
    return Fail(kExitFailed, L"no Trends page was written: %s", problem.CStr());
  }
  if (!BuildTrendsPage(figures, LocaleNumbers(), unit, page)) {
    return Fail(kExitFailed, L"no Trends page was written: %s", L"the page could not be made");
  }
  // The page as UTF-8, as its meta tag says.
  int bytes = WideCharToMultiByte(CP_UTF8, 0, page.CStr(), static_cast<int>(page.Length()), nullptr, 0, nullptr,
                                  nullptr);
  std::string utf8(bytes > 0 ? bytes : 0, '\0');
  if (bytes > 0) {
    WideCharToMultiByte(CP_UTF8, 0, page.CStr(), static_cast<int>(page.Length()), &utf8[0], bytes, nullptr, nullptr);
  }
  if (bytes <= 0 || !file.Write(utf8.data(), utf8.size()) || !file.Commit(problem)) {
    if (problem.IsEmpty()) problem.Assign(file.WriteProblem());
    return Fail(kExitFailed, L"no Trends page was written: the file %s", problem.CStr());
  }
  WideString title, result;
  TrendPeriodTitle(figures.period, title);
  if (figures.daysWithData == 0 && figures.nights.empty()) {
    result.Format(L"no walk and no night of %S lies in %s", request.tracker, title.CStr());
    Say(result.CStr());
  }
  result.Format(L"Trends page of %S for %s written to %s", request.tracker, title.CStr(), file.Target().CStr());
  Print(result);
  return kExitDone;
}

int Backup(const CommandLine& line, const WideString& database, const WideString& folder) {
  BackupFile backup;
  WideString problem;
  if (!backup.Begin(line.dataPath.CStr(), problem)) {
    return Fail(kExitWrongUse, L"the folder %s %s", line.dataPath.CStr(), problem.CStr());
  }
  if (!IsFile(database.CStr())) return Fail(kExitWrongUse, L"there is no database %s", database.CStr());
  SingleInstance single;
  HWND running = nullptr;
  Holder holder = ClaimDatabase(single, folder.CStr(), running);
  if (holder == HeldSilently) return StillHeld();
  int copied = 0;
  if (holder == HeldByWindow) {
    copied = RequestCopy(running, backup.Temporary().CStr(), database.CStr(), kCopyTimeoutMs, problem);
    if (!copied) return Fail(kExitFailed, L"no backup was made: %s", problem.CStr());
  }
  if (copied <= 0) {
    ReadOnlyDatabase connection;
    if (!connection.Open(database.CStr(), problem)) {
      return Fail(kExitFailed, L"the database %s could not be read (%s)", database.CStr(), problem.CStr());
    }
    ConnectionSource source(connection.Handle());
    if (!CopyDatabase(source, backup.Temporary().CStr(), nullptr, problem)) {
      return Fail(kExitFailed, L"no backup was made: %s", problem.CStr());
    }
  }
  SYSTEMTIME now;
  GetLocalTime(&now);
  WideString path;
  if (!backup.Finish(now, path, problem)) return Fail(kExitFailed, L"no backup was made: %s", problem.CStr());
  Print(path);
  return kExitDone;
}

int Import(const CommandLine& line, const WideString& database, const WideString& folder) {
  WideString problem;
  const wchar_t* theirs = line.dataPath.CStr();
  if (!CheckMergeFile(theirs, problem)) return Fail(kExitWrongUse, L"the file %s %s", theirs, problem.CStr());
  if (SameFile(theirs, database.CStr())) return Fail(kExitWrongUse, L"the file %s is this database itself", theirs);
  SingleInstance single;
  HWND running = nullptr;
  Holder holder = ClaimDatabase(single, folder.CStr(), running);
  if (holder == HeldSilently) return StillHeld();
  if (holder == HeldByWindow) {
    Say(L"another Pellton is running on this database; close it first, or use Import in its window");
    return kExitRunning;
  }
  // The window's record of the file it closed last: this opening takes it
  // back, and a clean close leaves the file's new state in it.
  SettingsStore settings;
  settings.Open(SettingsRegistry, HKEY_CURRENT_USER, line.settingsKey.CStr());
  ActivityStore store;
  store.KeepCheckIn(&settings);
  int opened = store.OpenFile(database.CStr());
  WideString notice;
  if (DescribeStoreOpening(store.Path().CStr(), store.Opening(), notice)) Say(notice.CStr());
  if (!opened) return Fail(kExitFailed, L"nothing was imported: the database %s could not be opened", database.CStr());
  StoreSource ours(store);
  MergeTally tally;
  if (!MergeRuns(ours, theirs, nullptr, tally, problem)) {
    return Fail(kExitFailed, L"nothing was imported: %s", problem.CStr());
  }
  store.Close();
  WideString result;
  result.Format(L"%I64u added, %I64u replaced, %I64u unchanged", tally.added, tally.replaced, tally.unchanged);
  Print(result);
  if (tally.skipped) {
    result.Format(L"%I64u rows of %s that hold no run were left out", tally.skipped, theirs);
    Say(result.CStr());
  }
  return kExitDone;
}

}  // namespace

int RunDataCommand(const CommandLine& line) {
  WideString database, folder;
  if (!DatabasePath(line, database, folder)) return Fail(kExitFailed, L"%s", L"the program's folder is not known");
  switch (line.dataAction) {
    case CommandLine::DataExport:
      return Export(line, database, folder);
    case CommandLine::DataBackup:
      return Backup(line, database, folder);
    case CommandLine::DataImport:
      return Import(line, database, folder);
    case CommandLine::DataTrendsPage:
      return TrendsPage(line, database, folder);
    default:
      return kExitWrongUse;
  }
}
