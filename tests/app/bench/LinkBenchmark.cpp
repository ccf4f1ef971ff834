// Host CPU cost of downloading history through a TrackerLink in 20-byte
// notifications, beside the cost of merely copying the same bytes in the
// same pieces. Not a test: run it and read the figures.
//
//   link_benchmark [rounds]
//
// The frame length field has 16 bits, so one frame holds at most 65,535
// bytes; a mebibyte of history is therefore measured as 16 of the largest
// walking frames, and separately as one 1 MiB walking frame whose length
// field cannot describe it (the link drops it and the history wait ends at
// its 1 MiB bound).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/simulation/SimulatedTracker.h"
#include "app/simulation/TrackerHistoryGenerator.h"
#include "app/tracker/TrackerLink.h"

namespace {

const size_t kPiece = 20;
const long long kStart = 1401580800LL;  // 2014-06-01 00:00:00

double Seconds(const FILETIME& kernel, const FILETIME& user) {
  ULARGE_INTEGER k, u;
  k.LowPart = kernel.dwLowDateTime, k.HighPart = kernel.dwHighDateTime;
  u.LowPart = user.dwLowDateTime, u.HighPart = user.dwHighDateTime;
  return (k.QuadPart + u.QuadPart) / 1e7;
}

double ProcessCpu() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  return Seconds(kernel, user);
}

double WallClock() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / frequency.QuadPart;
}

// A walking frame of exactly `size` bytes of realistic records.
Bytes WalkingFrame(size_t size) {
  Bytes stream;
  unsigned x = 12345;
  while (stream.size() < size - 24) {
    x = x * 1103515245u + 12345u;
    unsigned steps = (x >> 16) % 1500;
    unsigned char record[6] = {static_cast<unsigned char>(steps >> 8), static_cast<unsigned char>(steps),
                               0, static_cast<unsigned char>(steps / 25), 0,
                               static_cast<unsigned char>(steps * 3 / 40)};
    stream.insert(stream.end(), record, record + 6);
  }
  stream.resize(size - 24);
  Bytes frame;
  TrackerHistoryGenerator::MakeWalkingFrame(kStart, stream, frame);
  return frame;
}

Bytes EmptySleepingFrame() {
  Bytes frame;
  TrackerHistoryGenerator::MakeSleepingFrame(kStart, Bytes(), frame);
  return frame;
}

// Baseline 1: copy the bytes in 20-byte pieces into a buffer of the right
// size. Baseline 2: append them to a ByteBuffer, which reallocates to the
// exact size on every append, as the link's collecting buffer does.
double CopyCost(const Bytes& data, bool byteBuffer) {
  double before = WallClock();
  if (byteBuffer) {
    ByteBuffer buffer;
    for (size_t at = 0; at < data.size(); at += kPiece) {
      BufferAppend(buffer, data.data() + at, std::min(kPiece, data.size() - at));
    }
    volatile unsigned char sink = buffer.data[buffer.size - 1];
    (void)sink;
    BufferClear(buffer);
  } else {
    Bytes copy(data.size());
    for (size_t at = 0; at < data.size(); at += kPiece) {
      memcpy(copy.data() + at, data.data() + at, std::min(kPiece, data.size() - at));
    }
    volatile unsigned char sink = copy.back();
    (void)sink;
  }
  return WallClock() - before;
}

// The link alone: a characteristic whose "device" hands the prepared
// pieces to the link's handler on a thread of its own as soon as the
// command is written. That thread never waits, so its elapsed time is the
// link's reassembly cost (Wine's thread times are too coarse for it).
class Feeder : public CharacteristicChannel {
public:
  explicit Feeder(const std::vector<Bytes>* pieces) : pieces_(pieces) {}
  int WriteValue(const unsigned char*, unsigned) override {
    thread_ = CreateThread(nullptr, 0, &Feeder::Run, this, 0, nullptr);
    return thread_ != nullptr;
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
  double Finish() {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    return cpu_;
  }

private:
  static DWORD WINAPI Run(void* self) {
    Feeder& me = *static_cast<Feeder*>(self);
    double before = WallClock();
    for (const Bytes& piece : *me.pieces_) {
      me.handler_(static_cast<unsigned>(piece.size()), piece.data(), me.context_);
    }
    me.cpu_ = WallClock() - before;
    return 0;
  }
  const std::vector<Bytes>* pieces_;
  ChannelHandler handler_ = nullptr;
  void* context_ = nullptr;
  HANDLE thread_ = nullptr;
  double cpu_ = 0;
};

std::vector<Bytes> Pieces(const Bytes& walking, const Bytes& sleeping) {
  std::vector<Bytes> pieces;
  for (const Bytes* frame : {&walking, &sleeping}) {
    for (size_t at = 0; at < frame->size(); at += kPiece) {
      pieces.emplace_back(frame->begin() + at, frame->begin() + std::min(frame->size(), at + kPiece));
    }
  }
  return pieces;
}

struct Download {
  int result;
  bool walkingKept;
  double cpu;
  double wall;
};

Download LinkAlone(const std::vector<Bytes>& pieces, const Bytes& walking, DWORD period) {
  Feeder feeder(&pieces);
  TrackerLink link;
  link.Attach(&feeder);
  link.historyPeriodMs = period;
  ByteBuffer response;
  double start = WallClock();
  Download d;
  d.result = link.SendCommand(CMD_HISTORY, nullptr, 0, RSP_SLEEPING, response, 0);
  d.cpu = feeder.Finish();
  d.wall = WallClock() - start;
  d.walkingKept = link.walkingFrame.size == walking.size() &&
                  memcmp(link.walkingFrame.data, walking.data(), walking.size()) == 0;
  BufferClear(response);
  return d;
}

// End to end: the simulated tracker splits and sends, the link reassembles;
// the whole process's CPU time.
Download ThroughTracker(const Bytes& walking, const Bytes& sleeping, DWORD period) {
  TrackerScenario scenario;
  scenario.hasWalking = scenario.hasSleeping = true;
  scenario.walking = walking;
  scenario.sleeping = sleeping;
  scenario.notificationSize = kPiece;
  SimulatedTracker tracker;
  tracker.Configure(scenario);
  TrackerLink link;
  link.Attach(&tracker);
  link.historyPeriodMs = period;
  link.SendSetUp(LINK_TIMEOUT_MS);  // the tracker answers no history request before it
  ByteBuffer response;
  double cpu = ProcessCpu(), start = WallClock();
  Download d;
  d.result = link.SendCommand(CMD_HISTORY, nullptr, 0, RSP_SLEEPING, response, 0);
  tracker.WaitUntilIdle(INFINITE);
  d.cpu = ProcessCpu() - cpu;
  d.wall = WallClock() - start;
  d.walkingKept = link.walkingFrame.size == walking.size() &&
                  memcmp(link.walkingFrame.data, walking.data(), walking.size()) == 0;
  link.Detach();
  BufferClear(response);
  return d;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
  const Bytes largest = WalkingFrame(FRAME_SIZE_MAX);  // 65,535 bytes
  const Bytes mebibyte = WalkingFrame(1 << 20);        // length field wraps
  const Bytes sleeping = EmptySleepingFrame();
  const int framesPerMebibyte = 16;
  Bytes sixteen;
  for (int i = 0; i < framesPerMebibyte; ++i) sixteen.insert(sixteen.end(), largest.begin(), largest.end());
  const std::vector<Bytes> largePieces = Pieces(largest, sleeping);
  const std::vector<Bytes> mebibytePieces = Pieces(mebibyte, sleeping);

  std::vector<double> copy, append, alone16, tracker16, trackerWall16, aloneMiB, trackerMiB;
  double returnedAfter = 0;
  bool allKept = true, mebibyteKept = false, allReturned = true;
  for (int r = 0; r < rounds; ++r) {
    copy.push_back(CopyCost(sixteen, false));
    double appendCost = 0;
    for (int i = 0; i < framesPerMebibyte; ++i) appendCost += CopyCost(largest, true);
    append.push_back(appendCost);

    double alone = 0, cpu = 0, wall = 0;
    for (int i = 0; i < framesPerMebibyte; ++i) {
      Download d = LinkAlone(largePieces, largest, LINK_TIMEOUT_MS);
      alone += d.cpu;
      allKept = allKept && d.walkingKept && d.result == 1;
      Download e = ThroughTracker(largest, sleeping, LINK_TIMEOUT_MS);
      cpu += e.cpu;
      wall += e.wall;
      allKept = allKept && e.walkingKept && e.result == 1;
    }
    alone16.push_back(alone);
    tracker16.push_back(cpu);
    trackerWall16.push_back(wall);

    // One 1 MiB frame: nothing completes, so the wait runs one period (1 s
    // here instead of 10) and then stops at the 1 MiB bound.
    Download d = LinkAlone(mebibytePieces, mebibyte, 1000);
    aloneMiB.push_back(d.cpu);
    mebibyteKept = mebibyteKept || d.walkingKept;
    allReturned = allReturned && d.result == 1;
    Download e = ThroughTracker(mebibyte, sleeping, 1000);
    trackerMiB.push_back(e.cpu);
    mebibyteKept = mebibyteKept || e.walkingKept;
    allReturned = allReturned && e.result == 1;
    returnedAfter = std::max(returnedAfter, e.wall);
  }

  const double ms = 1000.0;
  printf("History download through %u-byte notifications: medians of %d rounds, milliseconds\n\n",
         static_cast<unsigned>(kPiece), rounds);
  printf("1 MiB as 16 walking frames of 65,535 bytes (1,048,560 bytes, %u notifications)\n",
         static_cast<unsigned>(largePieces.size() * framesPerMebibyte));
  printf("  baseline: memcpy in 20-byte pieces into a ready buffer   %9.2f\n", Median(copy) * ms);
  printf("  baseline: ByteBuffer appends of 20 bytes (exact growth)  %9.2f\n", Median(append) * ms);
  printf("  link alone: OnLinkNotification for every piece           %9.2f\n", Median(alone16) * ms);
  printf("  simulated tracker + link: process CPU time               %9.2f\n", Median(tracker16) * ms);
  printf("  simulated tracker + link: elapsed until the last frame   %9.2f\n", Median(trackerWall16) * ms);
  printf("  every frame arrived whole: %s\n\n", allKept ? "yes" : "NO");
  printf("One walking frame of 1,048,576 bytes (%u notifications; its length field cannot describe it)\n",
         static_cast<unsigned>(mebibytePieces.size()));
  printf("  link alone: OnLinkNotification for every piece           %9.2f\n", Median(aloneMiB) * ms);
  printf("  simulated tracker + link: process CPU time               %9.2f\n", Median(trackerMiB) * ms);
  printf("  the history command returned 1 each time: %s (after %.2f s at most, one 1 s period)\n",
         allReturned ? "yes" : "NO", returnedAfter);
  printf("  the frame was kept: %s\n", mebibyteKept ? "yes" : "no (the link cannot frame it)");
  printf("\nProcess CPU times come from GetProcessTimes (Wine's resolution is 10 ms); the other\n"
         "figures are QueryPerformanceCounter time of a thread that never waits.\n");
  return allKept && allReturned ? 0 : 1;
}
