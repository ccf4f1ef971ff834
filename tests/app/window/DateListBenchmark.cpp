// What ten years of walks cost the Walking page's date list: 15,000 runs
// (about four a day) in a real Pellton.sql, listed and labelled by the store,
// then filled into the real page's owner-drawn combo box. Each figure is the
// best of five rounds, beside the same combo filled the plain way (one
// CB_ADDSTRING a run, no room reserved, drawing on).
//
// Not a test: run it and read the figures.  date_list_benchmark [runs]
#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/store/DateList.h"
#include "app/store/RunLabel.h"
#include "app/window/PageTable.h"
#include "app/window/WalkingPage.h"
#include "tests/app/window/StandInContext.h"
#include "tests/common/TempFolder.h"

namespace {

const wchar_t kAddress[] = L"00:1A:7D:DA:71:13";

double Now() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / frequency.QuadPart;
}

// The runs come from the real store.
class StoreContext : public StandInContext {
public:
  explicit StoreContext(ActivityStore& store) : store_(store) {}
  int ListRuns(const wchar_t* address, int table, std::vector<StoredRun>& out) override {
    return store_.ListRunsOf(address, table, out);
  }

private:
  ActivityStore& store_;
};

template <class Work>
double BestOfFive(Work work) {
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    const double begin = Now();
    work();
    best = std::min(best, Now() - begin);
  }
  return best * 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 15000;
  OleInitialize(nullptr);
  TempFolder folder;
  ActivityStore store;
  if (!store.Open(folder.Path().c_str())) return 1;
  // Four walks a day from 2016 on, each two hours of quarter-hour records.
  ByteBuffer pattern;
  for (int i = 0; i < 8; ++i) BufferAppend(pattern, "\x00\x10\x00\x20\x00\x03", 6);
  store.BeginRuns();
  for (int i = 0; i < count; ++i) {
    const unsigned start = 1451606400u + static_cast<unsigned>(i / 4) * 86400u + static_cast<unsigned>(i % 4) * 18000u;
    store.InsertRun(WalkingTable, kAddress, start, pattern);
  }
  store.EndRuns();
  BufferClear(pattern);

  StoreContext context(store);
  context.selected.index = 0;
  context.selected.address.Assign(kAddress);
  HWND host = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 450, nullptr, nullptr, nullptr,
                              nullptr);
  std::unique_ptr<TabPage> made(PageTable[1].make(context));
  WalkingPage* page = static_cast<WalkingPage*>(made.get());
  if (!page->CreateModeless(GetModuleHandleW(nullptr), PageTable[1].templateId, 0, host)) return 1;
  ShowWindow(page->Window(), SW_SHOW);

  std::vector<StoredRun> runs;
  const double listing = BestOfFive([&] { store.ListRunsOf(kAddress, WalkingTable, runs); });
  const double filling = BestOfFive([&] { FillDateList(runs, page->Dates()); });
  const double refill = BestOfFive([&] { page->FillDates(); });
  ImageCombo& dates = page->Dates();
  const double bare = BestOfFive([&] {
    SendMessageW(dates.Control(), CB_RESETCONTENT, 0, 0);
    for (const StoredRun& run : runs) {
      SendMessageW(dates.Control(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(run.label.CStr()));
    }
  });
  const double labels = BestOfFive([&] { LabelRunsByDay(runs); });
  WideString last;
  dates.Item(dates.Count() - 1, &last, nullptr);
  std::printf("date list of %d walking runs (%d listed)\n", count, dates.Count());
  std::printf("  store lists and labels them      %8.1f ms\n", listing);
  std::printf("    of which the labels            %8.1f ms\n", labels);
  std::printf("  the page's combo is filled       %8.1f ms  (target: under 100 ms)\n", filling);
  std::printf("  the page refills its list        %8.1f ms  (both of the above)\n", refill);
  std::printf("  the labels added as they are     %8.1f ms  (no reserved room, drawing on)\n", bare);
  char utf8[256] = {};
  WideCharToMultiByte(CP_UTF8, 0, last.CStr(), -1, utf8, sizeof(utf8), nullptr, nullptr);
  std::printf("  last label: %s\n", utf8);
  made.reset();
  DestroyWindow(host);
  store.Close();
  OleUninitialize();
  return 0;
}
