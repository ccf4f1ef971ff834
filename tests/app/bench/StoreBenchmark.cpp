// What a download costs on the host after the bytes have arrived, for a year
// of simulated history (five downloads of 73 days: a frame holds at most 90)
// and for a walking and a sleeping frame of nearly the largest size the
// 16-bit length field allows. Each step is shown beside a baseline measured
// in the same run:
//
//   reassembly  the link collecting 20-byte notifications  | copying the same pieces
//   decoding    cutting both frames into runs (in memory)  | copying the frames' bytes
//   storing     the store's inserts, a transaction per     | the same rows in one transaction, raw SQLite
//               download (and once more, a commit per run)
//   date list   filling a date list with the walking runs  | the same SELECT, raw SQLite
//
// Not a test: run it and read the figures.  store_benchmark [folder]
#include <windows.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/store/ActivityStore.h"
#include "app/store/DateList.h"
#include "app/tracker/HistoryDecoder.h"
#include "app/simulation/TrackerHistoryGenerator.h"
#include "app/tracker/TrackerLink.h"
#include "tests/common/TempFolder.h"
#include "ui/ImageCombo.h"

namespace {

const size_t kPiece = 20;
const wchar_t kAddress[] = L"00:1A:7D:DA:71:13";
const long long kYearEnd = 1419984000LL;  // 2014-12-31 00:00:00 UTC

double Now() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / frequency.QuadPart;
}

struct Run {
  int table;
  unsigned start;
  Bytes pattern;
};

class MemorySink : public HistoryRunSink {
public:
  int StoreWalkingRun(int, unsigned start, const ByteBuffer& p) override {
    runs.push_back({WalkingTable, start, Bytes(p.data, p.data + p.size)});
    return 1;
  }
  int StoreSleepingRun(int, unsigned start, const ByteBuffer& p) override {
    runs.push_back({SleepingTable, start, Bytes(p.data, p.data + p.size)});
    return 1;
  }
  std::vector<Run> runs;
};

// Hands the pieces to the link's handler from inside the write, so the
// link's own work is all that is timed (the answer is complete before the
// wait starts, which then returns at once).
class Feeder : public CharacteristicChannel {
public:
  std::vector<Bytes> pieces;
  int WriteValue(const unsigned char*, unsigned) override {
    for (const Bytes& piece : pieces) handler_(static_cast<unsigned>(piece.size()), piece.data(), context_);
    return 1;
  }
  int SetValueHandler(ChannelHandler handler, void* context) override {
    handler_ = handler;
    context_ = context;
    return 1;
  }
  int GetDeviceAddress(unsigned char address[6]) const override {
    memset(address, 0, 6);
    return 1;
  }

private:
  ChannelHandler handler_ = nullptr;
  void* context_ = nullptr;
};

struct Pair {
  Bytes walking, sleeping;
};

struct Figures {
  double reassembly = 0, copyPieces = 0;
  double decoding = 0, copyFrames = 0;
  double storing = 0, rawInserts = 0, storingEach = 0;
  std::vector<size_t> pairRuns;  // runs of each frame pair
  double dateList = 0, rawSelect = 0;
  double opening = 0, rawOpening = 0;  // the stored file opened again at a start
  size_t bytes = 0, runs = 0, listed = 0;
};

double Reassemble(const Pair& pair) {
  Feeder feeder;
  for (const Bytes* frame : {&pair.walking, &pair.sleeping}) {
    for (size_t at = 0; at < frame->size(); at += kPiece) {
      feeder.pieces.emplace_back(frame->begin() + at, frame->begin() + std::min(frame->size(), at + kPiece));
    }
  }
  TrackerLink link;
  link.Attach(&feeder);
  ByteBuffer response;
  double before = Now();
  link.SendCommand(CMD_HISTORY, nullptr, 0, RSP_SLEEPING, response, 0);
  double spent = Now() - before;
  if (link.walkingFrame.size != pair.walking.size() || response.size != pair.sleeping.size()) {
    fprintf(stderr, "reassembly lost bytes\n");
  }
  BufferClear(response);
  link.Detach();
  return spent;
}

double CopyPieces(const Pair& pair) {
  double before = Now();
  for (const Bytes* frame : {&pair.walking, &pair.sleeping}) {
    Bytes copy(frame->size());
    for (size_t at = 0; at < frame->size(); at += kPiece) {
      memcpy(copy.data() + at, frame->data() + at, std::min(kPiece, frame->size() - at));
    }
    volatile unsigned char last = copy.back();
    (void)last;
  }
  return Now() - before;
}

void Measure(const std::vector<Pair>& pairs, const wchar_t* folder, Figures& f) {
  // Reassembly and its baseline.
  for (const Pair& pair : pairs) {
    f.reassembly += Reassemble(pair);
    f.copyPieces += CopyPieces(pair);
    f.bytes += pair.walking.size() + pair.sleeping.size();
  }

  // Decoding into memory, and copying the frames.
  MemorySink sink;
  for (const Pair& pair : pairs) {
    ByteBuffer walking, sleeping;
    BufferAppend(walking, pair.walking.data(), pair.walking.size());
    BufferAppend(sleeping, pair.sleeping.data(), pair.sleeping.size());
    double before = Now();
    size_t first = sink.runs.size();
    DecodeWalkingHistory(0, walking, sink);
    DecodeSleepingHistory(0, sleeping, sink);
    f.decoding += Now() - before;
    f.pairRuns.push_back(sink.runs.size() - first);
    before = Now();
    Bytes copy(pair.walking);
    Bytes copy2(pair.sleeping);
    f.copyFrames += Now() - before;
    volatile unsigned char last = copy.back() ^ copy2.back();
    (void)last;
    BufferClear(walking);
    BufferClear(sleeping);
  }
  f.runs = sink.runs.size();

  // Storing through the store, each insert its own statement and commit.
  WideString storeFolder, rawPath;
  storeFolder.Format(L"%s\\store", folder);
  rawPath.Format(L"%s\\raw.sql", folder);
  CreateDirectoryW(storeFolder.CStr(), nullptr);
  {
    WideString old;
    old.Format(L"%s\\Pellton.sql", storeFolder.CStr());
    DeleteFileW(old.CStr());
    DeleteFileW(rawPath.CStr());
  }
  ActivityStore store;
  if (!store.Open(storeFolder.CStr())) {
    fprintf(stderr, "cannot open the store\n");
    return;
  }
  // As a download stores: one transaction per download (frame pair).
  double before = Now();
  size_t next = 0;
  for (size_t pair = 0; pair < f.pairRuns.size(); ++pair) {
    store.BeginRuns();
    for (size_t end = next + f.pairRuns[pair]; next < end; ++next) {
      const Run& run = sink.runs[next];
      ByteBuffer pattern;
      BufferAppend(pattern, run.pattern.data(), run.pattern.size());
      if (!store.InsertRun(run.table, kAddress, run.start, pattern)) fprintf(stderr, "an insert failed\n");
      BufferClear(pattern);
    }
    if (store.EndRuns()) fprintf(stderr, "a commit failed\n");
  }
  f.storing = Now() - before;

  // The same rows again, each insert its own commit (they replace the rows).
  before = Now();
  for (const Run& run : sink.runs) {
    ByteBuffer pattern;
    BufferAppend(pattern, run.pattern.data(), run.pattern.size());
    if (!store.InsertRun(run.table, kAddress, run.start, pattern)) fprintf(stderr, "an insert failed\n");
    BufferClear(pattern);
  }
  f.storingEach = Now() - before;

  // The same rows, one transaction, one prepared statement per table.
  sqlite3* raw = nullptr;
  char path[MAX_PATH * 3];
  WideCharToMultiByte(CP_UTF8, 0, rawPath.CStr(), -1, path, sizeof path, nullptr, nullptr);
  sqlite3_open(path, &raw);
  sqlite3_exec(raw, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                    "CREATE TABLE walking (id INTEGER PRIMARY KEY AUTOINCREMENT, mac varchar(20) NOT NULL, start INTEGER, pattern BLOB NOT NULL);"
                    "CREATE UNIQUE INDEX walking_start ON walking (mac, start);"
                    "CREATE TABLE sleeping (id INTEGER PRIMARY KEY AUTOINCREMENT, mac varchar(20) NOT NULL, start INTEGER, pattern BLOB NOT NULL);"
                    "CREATE UNIQUE INDEX sleeping_start ON sleeping (mac, start);",
               nullptr, nullptr, nullptr);
  before = Now();
  sqlite3_stmt* insert[2] = {};
  sqlite3_prepare_v2(raw, "INSERT OR REPLACE INTO walking (mac,start,pattern) VALUES ('00:1A:7D:DA:71:13',?1,?2);", -1,
                     &insert[0], nullptr);
  sqlite3_prepare_v2(raw, "INSERT OR REPLACE INTO sleeping (mac,start,pattern) VALUES ('00:1A:7D:DA:71:13',?1,?2);", -1,
                     &insert[1], nullptr);
  sqlite3_exec(raw, "BEGIN;", nullptr, nullptr, nullptr);
  for (const Run& run : sink.runs) {
    sqlite3_stmt* statement = insert[run.table];
    sqlite3_bind_int64(statement, 1, run.start);
    sqlite3_bind_blob(statement, 2, run.pattern.data(), static_cast<int>(run.pattern.size()), SQLITE_STATIC);
    sqlite3_step(statement);
    sqlite3_reset(statement);
  }
  sqlite3_exec(raw, "COMMIT;", nullptr, nullptr, nullptr);
  sqlite3_finalize(insert[0]);
  sqlite3_finalize(insert[1]);
  f.rawInserts = Now() - before;

  // The walking date list, and the same SELECT raw.
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                               0, 0, 200, 150, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  ImageCombo dates;
  dates.Attach(combo, GetModuleHandleW(nullptr), ImageComboComboBox, 0, 0);
  // A page's date list: the runs listed, then filled in.
  std::vector<StoredRun> runs;
  before = Now();
  store.ListRunsOf(kAddress, WalkingTable, runs);
  FillDateList(runs, dates);
  f.dateList = Now() - before;
  f.listed = runs.size();
  dates.Detach();
  DestroyWindow(parent);

  before = Now();
  sqlite3_stmt* select = nullptr;
  std::vector<long long> starts;
  sqlite3_prepare_v2(raw, "SELECT start FROM walking WHERE mac='00:1A:7D:DA:71:13' ORDER BY start ASC;", -1, &select,
                     nullptr);
  while (sqlite3_step(select) == SQLITE_ROW) starts.push_back(sqlite3_column_int64(select, 0));
  sqlite3_finalize(select);
  f.rawSelect = Now() - before;
  sqlite3_close(raw);
  store.Close();

  // A start: the store looks at the file (integrity check, tables) before
  // opening it; beside it, SQLite opening the file and counting its rows.
  WideString storePath;
  storePath.Format(L"%s\\Pellton.sql", storeFolder.CStr());
  WideCharToMultiByte(CP_UTF8, 0, storePath.CStr(), -1, path, sizeof path, nullptr, nullptr);
  before = Now();
  if (!store.Open(storeFolder.CStr()) || store.Opening().outcome != StoreOpenedAsFound) {
    fprintf(stderr, "the reopening failed\n");
  }
  f.opening = Now() - before;
  store.Close();
  before = Now();
  sqlite3_open(path, &raw);
  sqlite3_exec(raw, "SELECT count(*) FROM walking; SELECT count(*) FROM sleeping;", nullptr, nullptr, nullptr);
  f.rawOpening = Now() - before;
  sqlite3_close(raw);
  DeleteFileW(rawPath.CStr());
}

void Print(const char* title, const Figures& f) {
  printf("%s: %u bytes of frames, %u runs, %u walking runs listed\n", title, static_cast<unsigned>(f.bytes),
         static_cast<unsigned>(f.runs), static_cast<unsigned>(f.listed));
  struct Row {
    const char* name;
    double value;
    const char* baseName;
    double base;
  } rows[] = {
      {"reassembly", f.reassembly, "copy of the pieces", f.copyPieces},
      {"decoding", f.decoding, "copy of the frames", f.copyFrames},
      {"storing", f.storing, "raw inserts, one transaction", f.rawInserts},
      {"(commit each)", f.storingEach, "raw inserts, one transaction", f.rawInserts},
      {"date list fill", f.dateList, "raw SELECT", f.rawSelect},
      {"opening again", f.opening, "raw open + row counts", f.rawOpening},
  };
  for (const Row& row : rows) {
    printf("  %-15s %10.3f ms   %-29s %10.3f ms   ratio %8.1f\n", row.name, row.value * 1000, row.baseName,
           row.base * 1000, row.base > 0 ? row.value / row.base : 0.0);
  }
  printf("  decoding + storing: %.3f ms\n", (f.decoding + f.storing) * 1000);
}

Bytes LargeWalkingFrame() {
  Bytes stream;
  unsigned x = 12345;
  while (stream.size() + 6 <= 0xFFFF - 24) {
    x = x * 1103515245u + 12345u;
    unsigned steps = (x >> 16) % 7 < 3 ? 0 : (x >> 8) % 1500;  // walks with pauses
    unsigned char record[6] = {static_cast<unsigned char>(steps >> 8), static_cast<unsigned char>(steps), 0,
                               static_cast<unsigned char>(steps / 25), 0, static_cast<unsigned char>(steps * 3 / 40)};
    stream.insert(stream.end(), record, record + 6);
  }
  Bytes frame;
  TrackerHistoryGenerator::MakeWalkingFrame(1401580800LL, stream, frame);
  return frame;
}

Bytes LargeSleepingFrame() {
  Bytes stream;
  unsigned x = 777;
  while (stream.size() < 0xFFFF - 18) {
    x = x * 1103515245u + 12345u;
    // Nights of sleep bytes between days of fully active periods.
    size_t minute = stream.size() % 360;
    stream.push_back(minute < 120 ? static_cast<unsigned char>(0x40 | ((x >> 16) & 0x15)) : 0xAA);
  }
  Bytes frame;
  TrackerHistoryGenerator::MakeSleepingFrame(1401580800LL, stream, frame);
  return frame;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  TempFolder temp(L"store-benchmark");  // unless a folder is given
  const wchar_t* folder = argc > 1 ? argv[1] : temp.Path().c_str();
  CreateDirectoryW(folder, nullptr);

  std::vector<Pair> year;
  for (int part = 0; part < 5; ++part) {
    Pair pair;
    long long end = kYearEnd - (4 - part) * 73LL * 86400;
    if (!TrackerHistoryGenerator(11 + part).Generate(end, 73, pair.walking, pair.sleeping)) {
      fprintf(stderr, "cannot generate the history\n");
      return 1;
    }
    year.push_back(pair);
  }
  Figures yearFigures;
  Measure(year, folder, yearFigures);
  Print("a year of history (five downloads of 73 days)", yearFigures);

  std::vector<Pair> large(1);
  large[0].walking = LargeWalkingFrame();
  large[0].sleeping = LargeSleepingFrame();
  Figures largeFigures;
  Measure(large, folder, largeFigures);
  Print("a walking and a sleeping frame of 65,535 bytes", largeFigures);
  RemoveDirectoryW(folder);
  return 0;
}
