// The cost of the data commands for ten years of history of two trackers
// (0.7 million walking quarter hours, 3.5 million sleeping minutes), each
// beside a baseline measured in the same run:
//
//   walking, sleeping export   rows per second      | writing the same rows through one buffered stream
//   peak working set           Pellton.exe --export of the sleeping minutes, as the system counts it
//   backup                     --backup's copy, checked | a plain file copy of the database
//
// Not a test: run it and read the figures.  data_benchmark [folder]
#include <windows.h>
#include <psapi.h>

#include <sqlite3.h>

#include <cstdio>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/data/CsvExport.h"
#include "app/data/DatabaseCopy.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"

namespace {

const wchar_t* const kTrackers[2] = {L"02:50:4C:54:4E:01", L"02:50:4C:54:4E:02"};
const long long kFirstDay = 1104537600LL;  // 2005-01-01 00:00 UTC
const int kDays = 3650;

double Now() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / frequency.QuadPart;
}

// Four walks of six hours a day (every quarter hour of the day) and a night
// of eight hours, for each tracker.
int MakeHistory(const wchar_t* path) {
  ActivityStore store;
  if (!store.OpenFile(path)) return 0;
  ByteBuffer walk, night;
  for (int i = 0; i < 24; ++i) {
    unsigned char record[6] = {0, static_cast<unsigned char>(10 + i), 0, 3, 0, static_cast<unsigned char>(i % 7)};
    BufferAppend(walk, record, 6);
  }
  for (int i = 0; i < 120; ++i) {
    unsigned char levels = static_cast<unsigned char>(i % 5 == 0 ? 0x54 : 0x55);
    BufferAppend(night, &levels, 1);
  }
  int ok = 1;
  for (const wchar_t* tracker : kTrackers) {
    store.BeginRuns();
    for (int day = 0; day < kDays && ok; ++day) {
      long long midnight = kFirstDay + day * 86400LL;
      for (int walkIndex = 0; walkIndex < 4; ++walkIndex) {
        ok &= store.InsertRun(WalkingTable, tracker, static_cast<unsigned>(midnight + walkIndex * 21600), walk);
      }
      ok &= store.InsertRun(SleepingTable, tracker, static_cast<unsigned>(midnight + 22 * 3600), night);
    }
    store.EndRuns();
  }
  BufferClear(walk);
  BufferClear(night);
  return ok;
}

// Seconds to write the file's rows again, one fwrite a row, through one
// buffered stream (the file is read into memory first, not counted).
double Baseline(const wchar_t* from, const wchar_t* to) {
  const std::string bytes = ReadFileText(from);
  if (bytes == "<missing>") return 0;
  std::vector<size_t> ends;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') ends.push_back(i + 1);
  }
  FILE* out = _wfopen(to, L"wb");
  if (!out) return 0;
  double start = Now();
  size_t at = 0;
  for (size_t end : ends) {
    fwrite(bytes.data() + at, 1, end - at, out);
    at = end;
  }
  fclose(out);
  double spent = Now() - start;
  DeleteFileW(to);
  return spent;
}

void ExportFigures(sqlite3* connection, ExportKind kind, const WideString& folder) {
  WideString target, copy;
  target.Format(L"%s\\%s.csv", folder.CStr(), ExportKindName(kind));
  copy.Format(L"%s\\baseline.csv", folder.CStr());
  OutputFile file;
  WideString problem;
  ExportRequest request;
  request.kind = kind;
  ExportOutcome outcome;
  double start = Now();
  if (!file.Open(target.CStr(), problem) || WriteExport(connection, request, file, nullptr, outcome) != ExportDone) {
    printf("%S export failed: %S%S\n", ExportKindName(kind), problem.CStr(), outcome.problem.CStr());
    return;
  }
  double spent = Now() - start;
  double baseline = Baseline(target.CStr(), copy.CStr());
  printf("%-8S export  %9llu rows %7.2f s %10.0f rows/s | same rows, one stream %7.2f s %10.0f rows/s  (%.2fx)\n",
         ExportKindName(kind), outcome.rows, spent, outcome.rows / spent, baseline, outcome.rows / baseline,
         spent / baseline);
  DeleteFileW(target.CStr());
}

void PeakOfProgram(const WideString& folder, const wchar_t* database) {
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  *wcsrchr(exe, L'\\') = 0;
  WideString line, target;
  target.Format(L"%s\\peak.csv", folder.CStr());
  line.Format(L"\"%s\\Pellton.exe\" --database \"%s\" --export \"%s\" --kind sleeping", exe, database, target.CStr());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, line.Buffer(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    printf("Pellton.exe could not be started beside this program\n");
    return;
  }
  // The peak as last read while it ran (the counters of an ended process
  // are not always kept).
  SIZE_T peak = 0;
  do {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof(counters)) && counters.PeakWorkingSetSize > peak) {
      peak = counters.PeakWorkingSetSize;
    }
  } while (WaitForSingleObject(process.hProcess, 5) == WAIT_TIMEOUT);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  printf("Pellton.exe --export --kind sleeping: exit %lu, peak working set %.1f MB (goal: under 64 MB)\n", code,
         peak / 1048576.0);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  DeleteFileW(target.CStr());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  TempFolder temp(L"data-benchmark");  // unless a folder is given
  WideString folder;
  folder.Assign(argc > 1 ? argv[1] : temp.Path().c_str());
  CreateDirectoryW(folder.CStr(), nullptr);
  WideString database;
  database.Format(L"%s\\history.sql", folder.CStr());
  DeleteFileW(database.CStr());
  double start = Now();
  if (!MakeHistory(database.CStr())) {
    printf("the history could not be stored in %S\n", database.CStr());
    return 1;
  }
  WIN32_FILE_ATTRIBUTE_DATA size = {};
  GetFileAttributesExW(database.CStr(), GetFileExInfoStandard, &size);
  printf("ten years of two trackers: %.1f MB, stored in %.1f s\n", size.nFileSizeLow / 1048576.0, Now() - start);

  char utf8[4 * MAX_PATH];
  WideCharToMultiByte(CP_UTF8, 0, database.CStr(), -1, utf8, sizeof utf8, nullptr, nullptr);
  sqlite3* connection = nullptr;
  sqlite3_open_v2(utf8, &connection, SQLITE_OPEN_READONLY, nullptr);
  ExportFigures(connection, ExportWalking, folder);
  ExportFigures(connection, ExportSleeping, folder);
  PeakOfProgram(folder, database.CStr());

  WideString backups, path, problem, plain;
  backups.Format(L"%s\\backups", folder.CStr());
  CreateDirectoryW(backups.CStr(), nullptr);
  ConnectionSource source(connection);
  start = Now();
  int made = BackUpInto(source, backups.CStr(), nullptr, path, problem);
  double backup = Now() - start;
  start = Now();
  CheckDatabaseFile(path.CStr(), problem);
  printf("(of which the integrity check about %.2f s)\n", Now() - start);
  plain.Format(L"%s\\plain.sql", folder.CStr());
  start = Now();
  CopyFileW(database.CStr(), plain.CStr(), FALSE);
  double copy = Now() - start;
  printf("backup (online copy and integrity check) %.2f s%S | plain file copy %.2f s  (%.2fx)\n", backup,
         made ? L"" : L" FAILED", copy, backup / copy);
  sqlite3_close(connection);
  DeleteFileW(path.CStr());
  RemoveDirectoryW(backups.CStr());
  DeleteFileW(plain.CStr());
  DeleteFileW(database.CStr());
  RemoveDirectoryW(folder.CStr());
  return 0;
}
