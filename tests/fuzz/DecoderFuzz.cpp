// Walking and sleeping frames, with any bytes and any header date, into
// the history decoders. The runs handed to the store must be those of a
// plain reading of the rules, start and end as described (a walking run
// with an active quarter hour at both ends, whole records only), and start
// at the header time plus whole slots.
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/tracker/HistoryDecoder.h"
#include "app/tracker/TrackerProtocol.h"
#include "app/tracker/TrackerTime.h"
#include "tests/fuzz/FuzzDriver.h"

namespace {

typedef std::vector<unsigned char> Bytes;
struct Run {
  long long start;
  Bytes pattern;
  bool operator==(const Run& o) const { return start == o.start && pattern == o.pattern; }
};

class Collect : public HistoryRunSink {
public:
  int StoreWalkingRun(int, unsigned start, const ByteBuffer& pattern) override {
    return Keep(start, pattern);
  }
  int StoreSleepingRun(int, unsigned start, const ByteBuffer& pattern) override {
    return Keep(start, pattern);
  }
  std::vector<Run> runs;

private:
  int Keep(unsigned start, const ByteBuffer& pattern) {
    runs.push_back({start, pattern.size ? Bytes(pattern.data, pattern.data + pattern.size) : Bytes()});
    return 1;
  }
};

const unsigned char kMarker[8] = {0x7F, 0x7F, 0x7F, 0x7F, 0x6D, 0x6D, 0x6D, 0x6D};

bool MarkerAt(const Bytes& s, size_t i) { return memcmp(s.data() + i, kMarker, 8) == 0; }

// The rules read plainly; runs that cannot be timed (no real date, or a
// start past the store's 32-bit column) are left out.
std::vector<Run> WalkingRuns(const Bytes& frame) {
  std::vector<Run> runs;
  if (frame.size() <= 24) return runs;
  size_t n = frame.size() - 24;
  if (n <= 5) return runs;
  TrackerTime header = GetTrackerTime(frame.data() + 7);
  if (!IsValidTrackerTime(header)) return runs;
  long long t = TrackerTimeToSeconds(header);
  Bytes s(frame.begin() + 20, frame.begin() + 20 + n);
  bool recording = false;
  long long start = 0;
  unsigned empty = 0;
  Bytes run;
  auto store = [&]() {
    if (run.size() >= 6u * empty) run.resize(run.size() - 6u * empty);
    if (start <= 0xFFFFFFFFLL) runs.push_back({start, run});
  };
  for (size_t i = 0; i + 5 < n;) {
    if (n - i >= 21 && MarkerAt(s, i)) {
      i += 21;
      continue;
    }
    unsigned steps = s[i] * 256u + s[i + 1];
    if (!recording && steps == 0) {
      t += 900;
      i += 6;
      continue;
    }
    if (!recording) {
      recording = true;
      start = t;
    }
    run.insert(run.end(), s.begin() + i, s.begin() + i + 6);
    if (steps != 0) {
      empty = 0;
    } else if (++empty > 4) {
      store();
      run.clear();
      recording = false;
      empty = 0;
    }
    t += 900;
    i += 6;
  }
  if (recording) store();
  return runs;
}

std::vector<Run> SleepingRuns(const Bytes& frame) {
  std::vector<Run> runs;
  if (frame.size() <= 18) return runs;
  size_t n = frame.size() - 18;
  TrackerTime header = GetTrackerTime(frame.data() + 7);
  if (!IsValidTrackerTime(header)) return runs;
  long long t = TrackerTimeToSeconds(header);
  Bytes s(frame.begin() + 14, frame.begin() + 14 + n);
  bool recording = false, started = false;
  long long start = 0;
  unsigned active = 0;
  Bytes run;
  auto store = [&]() {
    unsigned k = active > 2 ? active - 1 : active;
    if (run.size() >= k) run.resize(run.size() - k);
    if (start <= 0xFFFFFFFFLL) runs.push_back({start, run});
  };
  for (size_t i = 0; i < n;) {
    unsigned char b = s[i];
    if (b == 0x7F && n - i >= 14 && MarkerAt(s, i)) {
      i += 14;
      continue;
    }
    if (!recording && b == 0xAA) {
      if (run.empty()) run.push_back(0xAA);
      start = t;
      started = true;
      t += 240;
      i += 1;
      continue;
    }
    if (!recording) {
      if (!started) start = t;
      started = true;
      recording = true;
    }
    run.push_back(b);
    if (b != 0xAA) {
      active = 0;
    } else if (++active > 15) {
      store();
      run.clear();
      recording = started = false;
      active = 0;
    }
    t += 240;
    i += 1;
  }
  if (recording) store();
  return runs;
}

void Append(std::string& input, const Bytes& bytes) { input.append(bytes.begin(), bytes.end()); }

}  // namespace

// Input: one byte (even: walking, odd: sleeping), then the frame.
void GenerateDecoder(FuzzRandom& random, std::string& input) {
  bool walking = random.OneIn(2);
  input.push_back(walking ? 0 : 1);
  Bytes frame(walking ? 20 : 14);
  for (auto& b : frame) b = random.Byte();
  // Mostly real dates (near the ends of the range too), sometimes any bytes.
  if (!random.OneIn(6)) {
    frame[7] = random.OneIn(10) ? static_cast<unsigned char>(250 + random.Below(6)) : random.Below(30);
    frame[8] = 1 + random.Below(12);
    frame[9] = 1 + random.Below(random.OneIn(20) ? 31 : 28);
    frame[10] = random.Below(24);
    frame[11] = random.Below(60);
    frame[12] = random.Below(60);
  }
  unsigned elements = random.OneIn(10) ? random.Below(4) : random.Below(walking ? 200 : 900);
  for (unsigned e = 0; e < elements; ++e) {
    if (random.OneIn(40)) {
      Bytes block(kMarker, kMarker + 8);
      block.resize(walking ? 21 : 14, random.Byte());
      if (random.OneIn(4)) block.resize(random.Below(static_cast<unsigned>(block.size())));
      frame.insert(frame.end(), block.begin(), block.end());
      continue;
    }
    if (walking) {
      bool active = random.Below(3) == 0;
      Bytes record(6);
      for (auto& b : record) b = random.Byte();
      if (!active) record[0] = record[1] = 0;
      if (random.OneIn(30)) record.resize(random.Below(6));
      frame.insert(frame.end(), record.begin(), record.end());
    } else {
      static const unsigned char kSleep[] = {0xAA, 0xAA, 0xAA, 0x55, 0x00, 0x7F, 0x15, 0xFF};
      frame.push_back(random.Pick(kSleep));
    }
  }
  for (int i = 0; i < 4; ++i) frame.push_back(random.Byte());
  Append(input, frame);
  if (random.OneIn(15) && input.size() > 2) input.resize(1 + random.Below(static_cast<unsigned>(input.size())));
}

int CheckDecoder(const std::string& input, std::string& finding) {
  if (input.empty()) return 1;
  bool walking = (input[0] & 1) == 0;
  Bytes frame(input.begin() + 1, input.end());
  ByteBuffer buffer;
  if (!frame.empty()) BufferAppend(buffer, frame.data(), frame.size());
  Collect sink;
  HistoryTally tally;
  if (walking) {
    DecodeWalkingHistory(0, buffer, sink, &tally);
  } else {
    DecodeSleepingHistory(0, buffer, sink, &tally);
  }
  BufferClear(buffer);
  std::vector<Run> expected = walking ? WalkingRuns(frame) : SleepingRuns(frame);
  char text[160];
  if (sink.runs.size() != tally.stored) {
    finding = "the tally's stored count differs from the runs stored";
    return 0;
  }
  // The shape of every run, on its own.
  long long header = 0;
  if (!sink.runs.empty()) {
    TrackerTime time = GetTrackerTime(frame.data() + 7);
    if (!IsValidTrackerTime(time)) {
      finding = "a run was stored from a header that holds no date";
      return 0;
    }
    header = TrackerTimeToSeconds(time);
  }
  long long previous = -1;
  for (size_t r = 0; r < sink.runs.size(); ++r) {
    const Run& run = sink.runs[r];
    unsigned slot = walking ? 900 : 240;
    const char* wrong = nullptr;
    if (run.start < header || (run.start - header) % slot != 0) wrong = "does not start a whole slot after the header time";
    else if (run.start <= previous) wrong = "does not start after the run before it";
    else if (run.pattern.empty()) wrong = "is empty";
    else if (walking && run.pattern.size() % 6 != 0) wrong = "holds a part of a record";
    else if (walking && (run.pattern[0] * 256 + run.pattern[1] == 0 ||
                         run.pattern[run.pattern.size() - 6] * 256 + run.pattern[run.pattern.size() - 5] == 0))
      wrong = "does not start and end with an active quarter hour";
    if (wrong) {
      snprintf(text, sizeof text, "run %u (start %lld, %u bytes) ", static_cast<unsigned>(r), run.start,
               static_cast<unsigned>(run.pattern.size()));
      finding = std::string(text) + wrong;
      return 0;
    }
    previous = run.start;
  }
  if (!(sink.runs == expected)) {
    snprintf(text, sizeof text, "%u runs stored where the rules give %u, or they differ",
             static_cast<unsigned>(sink.runs.size()), static_cast<unsigned>(expected.size()));
    finding = text;
    return 0;
  }
  return 1;
}
