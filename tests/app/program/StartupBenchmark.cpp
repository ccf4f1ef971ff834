// Cold start of Pellton.exe under Wine, measured against the smallest
// dialog program started the same way in the same run: the time from
// CreateProcess to the program's window on the screen, and for Pellton also
// to the window showing the history downloaded from one simulated tracker
// (the Sleeping tab, selected at start, has filled its date list). Each
// Pellton run starts in a fresh folder with no database. Prints figures; a
// program to run by hand, not a test:
//
//   build/x64/wine-run build/x64/tests/app/program/startup_benchmark.exe [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/common/TempFolder.h"

namespace {

const int kSleepingTab = 2;
const int kDateList = 1015;

std::wstring Beside(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.find_last_of(L'\\') + 1) + name;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM context) {
  Search* search = reinterpret_cast<Search*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND VisibleWindowOf(DWORD processId) {
  Search search = {processId, nullptr};
  EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK FindFilledDateList(HWND child, LPARAM context) {
  if (GetDlgCtrlID(child) == kDateList && IsWindowVisible(child) &&
      SendMessageW(child, CB_GETCOUNT, 0, 0) > 0) {
    *reinterpret_cast<bool*>(context) = true;
    return FALSE;
  }
  return TRUE;
}

bool ShowsHistory(HWND window) {
  bool filled = false;
  EnumChildWindows(window, FindFilledDateList, reinterpret_cast<LPARAM>(&filled));
  return filled;
}

struct Timing {
  double window = -1;   // ms to a visible window
  double history = -1;  // ms to the history shown (Pellton only)
};

// Starts the program, watches for its window (and its history), then
// closes it and waits for its end. Polls every millisecond.
Timing Measure(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder,
               bool waitForHistory) {
  Timing timing;
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  LARGE_INTEGER start, now;
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    return timing;
  }
  HWND window = nullptr;
  const ULONGLONG limit = GetTickCount64() + 60000;
  while (GetTickCount64() < limit && WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT) {
    if (!window) {
      window = VisibleWindowOf(process.dwProcessId);
      if (window) {
        QueryPerformanceCounter(&now);
        timing.window = Milliseconds(start, now);
        if (!waitForHistory) break;
      }
    }
    if (window && ShowsHistory(window)) {
      QueryPerformanceCounter(&now);
      timing.history = Milliseconds(start, now);
      break;
    }
  }
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return timing;
}

double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Report(const char* what, const std::vector<double>& values) {
  if (values.empty()) {
    std::printf("%-44s  no successful run\n", what);
    return;
  }
  std::printf("%-44s  median %7.1f ms   min %7.1f ms   max %7.1f ms   (%u runs)\n", what, Median(values),
              *std::min_element(values.begin(), values.end()), *std::max_element(values.begin(), values.end()),
              static_cast<unsigned>(values.size()));
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::wstring pellton = Beside(L"Pellton.exe");
  std::wstring empty = Beside(L"empty_dialog.exe");
  std::wstring key = L"Software\\Vantrel\\PelltonBenchmark-" + std::to_wstring(GetCurrentProcessId());
  // Start on the Sleeping tab, so that the first window already lists runs
  // once the download is shown.
  DWORD tab = kSleepingTab;
  RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Tab", REG_DWORD, &tab, sizeof(tab));
  // No automatic update check: its network traffic is no part of the start.
  DWORD flags = 1;
  RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Flags", REG_DWORD, &flags, sizeof(flags));

  // One start of each first, not counted: the files come into the cache.
  Measure(empty, L"", L"", false);
  std::vector<double> baseline, window, history;
  for (int i = 0; i < runs; ++i) {
    Timing plain = Measure(empty, L"", L"", false);
    if (plain.window >= 0) baseline.push_back(plain.window);

    TempFolder folder(L"startup");
    std::wstring copy = folder.File(L"Pellton.exe");
    CopyFileW(pellton.c_str(), copy.c_str(), FALSE);
    Timing run = Measure(copy, L"--simulate --settings-key " + key, folder.Path(), true);
    if (run.window >= 0) window.push_back(run.window);
    if (run.history >= 0) history.push_back(run.history);
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());

  std::printf("Start-up under this system, from CreateProcess:\n");
  Report("empty dialog program: window on the screen", baseline);
  Report("Pellton.exe: window on the screen", window);
  Report("Pellton.exe: downloaded history shown", history);
  if (!baseline.empty() && !history.empty()) {
    std::printf("Pellton's history shown %.1f ms after the empty dialog's window (medians)\n",
                Median(history) - Median(baseline));
  }
  return history.size() == static_cast<size_t>(runs) ? 0 : 1;
}
