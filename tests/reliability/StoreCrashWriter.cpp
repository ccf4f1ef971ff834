// Stores a large history into Pellton.sql in a folder, run after run, and
// reports each run on standard output ("stored N") once the store said it
// was written: the crash test kills this program at random moments and
// then expects every reported run in the file. Runs go in as single
// inserts and as downloads of 25 runs in one transaction, as the tracker
// worker stores them.
//   store_crash_writer FOLDER FIRST COUNT
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/store/ActivityStore.h"
#include "tests/reliability/StoreRunPattern.h"


int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  unsigned first = static_cast<unsigned>(wcstoul(argv[2], nullptr, 10));
  unsigned count = static_cast<unsigned>(wcstoul(argv[3], nullptr, 10));
  ActivityStore store;
  if (!store.Open(argv[1])) return 3;
  ByteBuffer pattern;
  unsigned n = first;
  while (n < first + count) {
    if ((n / 25) % 2 == 0) {
      FillBuffer(pattern, RunPattern(n));
      if (store.InsertRun(WalkingTable, kReliabilityAddress, RunStart(n), pattern)) {
        printf("stored %u\n", n);
        fflush(stdout);
      }
      ++n;
      continue;
    }
    unsigned batchEnd = n + 25 < first + count ? n + 25 : first + count;
    unsigned from = n;
    unsigned stored = 0;
    store.BeginRuns();
    for (; n < batchEnd; ++n) {
      FillBuffer(pattern, RunPattern(n));
      stored += store.InsertRun(WalkingTable, kReliabilityAddress, RunStart(n), pattern);
    }
    unsigned lost = store.EndRuns();
    if (lost == 0 && stored == batchEnd - from) {
      for (unsigned k = from; k < batchEnd; ++k) printf("stored %u\n", k);
      fflush(stdout);
    }
  }
  BufferClear(pattern);
  store.Close();
  return 0;
}
