// Time to build the Walking and Sleeping chart pages of the longest run the
// program can store, beside the time to copy the page template once
// (converting the resource's bytes into a wide string, which every page
// build must do at least). Not a test: run it and read the figures.
//
//   chart_benchmark [rounds]
//
// The longest runs: a history frame's length field has 16 bits, so a frame
// is at most 65,537 bytes, and a run is at most the frame's stream: 65,513
// bytes of walking records (10,918 quarter hours) or 65,519 sleeping bytes
// (262,076 minutes). For comparison, an ordinary day and night are measured
// too: 16 hours of walking (64 records) and an 8-hour night (120 bytes). All
// runs are stored in a fresh Pellton.sql in a temporary folder; the page
// build is timed from the store (read the pattern, load the template, fill
// it) and as the fill alone.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/charts/DayChart.h"
#include "app/charts/DayChartPage.h"
#include "core/Stopwatch.h"
#include "core/WideString.h"
#include "tests/app/tracker/LinkTestSupport.h"
#include "tests/common/TempFolder.h"

namespace {

const unsigned kStart = 1401580800u;  // 2014-06-01 00:00:00 UTC
const unsigned kOrdinaryStart = kStart + 86400u;
const size_t kWalkingBytes = (65537 - 24) / 6 * 6;
const size_t kSleepingBytes = 65537 - 18;

template <class Work>
double BestMicroseconds(int rounds, Work work) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    Stopwatch watch;
    watch.SetHighResolution(1);
    watch.Start();
    work();
    watch.Stop();
    times.push_back(static_cast<double>(watch.ElapsedMicroseconds()));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];  // the median
}

void Report(const char* page, double build, double fill, double copy, unsigned length) {
  printf("%-17s %8u chars: build from store %7.0f us, fill alone %7.0f us, "
         "template copy %5.0f us; ratio %.2f (fill %.2f)\n",
         page, length, build, fill, copy, build / copy, fill / copy);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 25;
  if (rounds < 1) rounds = 1;

  Bytes walking, sleeping;
  for (size_t i = 0; i < kWalkingBytes / 6; ++i) {
    unsigned steps = 1 + (i * 37) % 2000, calories = steps / 20, tens = steps / 14;
    for (unsigned v : {steps, calories, tens}) {
      walking.push_back(static_cast<unsigned char>(v >> 8));
      walking.push_back(static_cast<unsigned char>(v));
    }
  }
  for (size_t i = 0; i < kSleepingBytes; ++i) sleeping.push_back(static_cast<unsigned char>(i * 29));
  Bytes day(walking.begin(), walking.begin() + 64 * 6);
  Bytes night(sleeping.begin(), sleeping.begin() + 120);

  TempFolder folder;
  const wchar_t tracker[] = L"00:1A:7D:DA:71:13";
  ActivityStore store;
  if (!store.Open(folder.Path().c_str())) {
    fprintf(stderr, "chart_benchmark: cannot open the store\n");
    return 1;
  }
  ByteBuffer w, s;
  BufferAppend(w, walking.data(), walking.size());
  BufferAppend(s, sleeping.data(), sleeping.size());
  int stored = store.InsertRun(WalkingTable, tracker, kStart, w) && store.InsertRun(SleepingTable, tracker, kStart, s);
  BufferClear(w);
  BufferClear(s);
  BufferAppend(w, day.data(), day.size());
  BufferAppend(s, night.data(), night.size());
  stored = stored && store.InsertRun(WalkingTable, tracker, kOrdinaryStart, w) &&
           store.InsertRun(SleepingTable, tracker, kOrdinaryStart, s);
  BufferClear(w);
  BufferClear(s);
  if (!stored) {
    fprintf(stderr, "chart_benchmark: cannot store the runs\n");
    return 1;
  }

  printf("longest runs: walking %u bytes (%u quarter hours), sleeping %u bytes (%u minutes); "
         "median of %d rounds\n",
         static_cast<unsigned>(walking.size()), static_cast<unsigned>(walking.size() / 6),
         static_cast<unsigned>(sleeping.size()), static_cast<unsigned>(sleeping.size() * 4),
         rounds);
  struct {
    const char* name;
    WORD id;
    const Bytes* pattern;
    unsigned start;
    int (*fromStore)(ActivityStore&, const wchar_t*, unsigned, WideString&, HMODULE);
    int (*fill)(const char*, size_t, const unsigned char*, size_t, unsigned, WideString&,
                ChartPageLayout*);
  } pages[4] = {
      {"walking longest", WalkingChartTemplate, &walking, kStart, BuildWalkingPage,
       BuildWalkingChartPage},
      {"sleeping longest", SleepingChartTemplate, &sleeping, kStart, BuildSleepingPage,
       BuildSleepingChartPage},
      {"walking 16 hours", WalkingChartTemplate, &day, kOrdinaryStart, BuildWalkingPage,
       BuildWalkingChartPage},
      {"sleeping 8 hours", SleepingChartTemplate, &night, kOrdinaryStart, BuildSleepingPage,
       BuildSleepingChartPage}};
  for (const auto& page : pages) {
    const char* text = nullptr;
    size_t size = 0;
    if (!LoadChartTemplate(page.id, &text, &size)) {
      fprintf(stderr, "chart_benchmark: no %s template\n", page.name);
      return 1;
    }
    WideString out, copy;
    int ok = 1;
    double copyTime = BestMicroseconds(rounds, [&] {
      ok &= copy.AssignCodePage(text, static_cast<unsigned>(size), 0, CP_ACP);
    });
    double buildTime = BestMicroseconds(rounds, [&] {
      ok &= page.fromStore(store, tracker, page.start, out, nullptr);
    });
    ChartPageLayout layout;  // scanned by the first round, as the program keeps it
    double fillTime = BestMicroseconds(rounds, [&] {
      ok &= page.fill(text, size, page.pattern->data(), page.pattern->size(), page.start, out,
                      &layout);
    });
    if (!ok) {
      fprintf(stderr, "chart_benchmark: the %s page failed\n", page.name);
      return 1;
    }
    Report(page.name, buildTime, fillTime, copyTime, out.Length());
  }
  store.Close();
  return 0;
}
