// Ten years of walks in the Walking page's date list: 15,000 runs (four a
// day) in a real Pellton.sql, listed and labelled by the store, then filled
// into the real page's owner-drawn combo box; each the best of five rounds.
// Not a test: run it and read the figures.  date_list_benchmark [runs]
#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/store/DateList.h"
#include "app/store/RunLabel.h"
#include "app/window/PageTable.h"
#include "app/window/WalkingPage.h"
#include "tests/app/window/StandInContext.h"
#include "tests/common/TempFolder.h"

template <class Work>
double BestOfFive(Work work) {
  double best = 1e9;
  LARGE_INTEGER begin, end, frequency;
  QueryPerformanceFrequency(&frequency);
  for (int round = 0; round < 5; ++round) {
    QueryPerformanceCounter(&begin);
    work();
    QueryPerformanceCounter(&end);
    best = std::min(best, static_cast<double>(end.QuadPart - begin.QuadPart) * 1000.0 / frequency.QuadPart);
  }
  return best;
}

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 15000;
  const wchar_t address[] = L"00:1A:7D:DA:71:13";
  OleInitialize(nullptr);
  TempFolder folder;
  ActivityStore store;
  if (!store.Open(folder.Path().c_str())) return 1;
  ByteBuffer pattern;  // two hours of quarter hours
  for (int i = 0; i < 8; ++i) BufferAppend(pattern, "\x00\x10\x00\x20\x00\x03", 6);
  store.BeginRuns();
  for (int i = 0; i < count; ++i) {
    store.InsertRun(WalkingTable, address, 1451606400u + static_cast<unsigned>(i / 4 * 86400 + i % 4 * 18000), pattern);
  }
  store.EndRuns();
  BufferClear(pattern);

  StandInContext context;
  HWND host = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 450, nullptr, nullptr, nullptr,
                              nullptr);
  std::unique_ptr<TabPage> made(PageTable[1].make(context));
  WalkingPage* page = static_cast<WalkingPage*>(made.get());
  if (!page->CreateModeless(GetModuleHandleW(nullptr), PageTable[1].templateId, 0, host)) return 1;
  std::vector<StoredRun> runs;
  const double listing = BestOfFive([&] { store.ListRunsOf(address, WalkingTable, runs); });
  const double labels = BestOfFive([&] { LabelRunsByDay(runs); });
  const double filling = BestOfFive([&] { FillDateList(runs, page->Dates()); });
  WideString last;
  page->Dates().Item(page->Dates().Count() - 1, &last, nullptr);
  char utf8[256] = {};
  WideCharToMultiByte(CP_UTF8, 0, last.CStr(), -1, utf8, sizeof(utf8), nullptr, nullptr);
  std::printf("date list of %d walking runs (%d listed)\n", count, page->Dates().Count());
  std::printf("  the store lists and labels them  %8.1f ms (the labels alone %.1f ms)\n", listing, labels);
  std::printf("  the page's combo is filled       %8.1f ms (target: under 100 ms)\n", filling);
  std::printf("  last label: %s\n", utf8);
  made.reset();
  DestroyWindow(host);
  store.Close();
  OleUninitialize();
  return 0;
}
