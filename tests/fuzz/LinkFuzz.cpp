// Notification streams into a TrackerLink: frames of 0-512 bytes split at
// random, lying length fields, commands armed and not, live totals in
// between (kept out of history frames). Each step is compared with a model of
// the reassembly rules; every kept frame is as long as its length field says.
#include <cstdio>
#include <vector>

#include "app/tracker/TrackerLink.h"
#include "tests/fuzz/FuzzDriver.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// Input: steps of [kind][length high][length low][bytes...]. Kind 0 arms
// with the code in the first byte, 1 delivers a notification, 2 disarms.
enum { kArm = 0, kNotify = 1, kDisarm = 2 };

void AddStep(std::string& input, unsigned char kind, const Bytes& bytes) {
  input.push_back(static_cast<char>(kind));
  input.push_back(static_cast<char>(bytes.size() >> 8));
  input.push_back(static_cast<char>(bytes.size() & 0xFF));
  input.append(bytes.begin(), bytes.end());
}

const unsigned char kCodes[] = {128, 129, 131, 132, 133, 139, 140, 142};

struct Model {
  unsigned char expected = 0;
  bool armed = false;
  Bytes pending;
  Bytes walking, sleeping;
  unsigned steps = 0, calories = 0, distance = 0;
  bool signalled = false;
  Bytes held;  // live totals in shape, kept out of a history frame

  size_t Total() const { return ((pending[0] * 256u + pending[1]) + 2) % 65536; }
  bool InHistoryFrame() const {
    return armed && expected != 0 && pending.size() >= 3 && (pending[2] == 131 || pending[2] == 132) &&
           pending.size() < Total();
  }
  void Notify(const Bytes& data) {
    // A held one ended the frame when it fits exactly and the next does not.
    Bytes last;
    last.swap(held);
    if (!last.empty() && InHistoryFrame() && pending.size() + 10 == Total() && pending.size() + data.size() > Total())
      Collect(last);
    if (InHistoryFrame() && data.size() == 10 && data[0] == 0 && data[1] == 8 && data[2] == 129) held = data;
    else Collect(data);
  }
  void Collect(const Bytes& data) {
    if (armed && expected != 0) {
      pending.insert(pending.end(), data.begin(), data.end());
      if (pending.size() < 3) return;
      size_t total = Total();
      if (pending.size() > total) {
        pending.clear();
        return;
      }
      if (pending.size() < total) return;
      if (pending[2] == 131) walking = pending;
      if (pending[2] == 132) sleeping = pending;
      if (pending[2] == expected) {
        signalled = true;
        expected = 0;
      } else {
        pending.clear();
      }
      return;
    }
    if (data.size() == 10 && data[2] == 129) {
      steps = data[3] * 65536u + data[4] * 256u + data[5];
      calories = data[6] * 256u + data[7];
      distance = data[8] * 256u + data[9];
    }
  }
};

Bytes AsBytes(const ByteBuffer& buffer) {
  return buffer.size ? Bytes(buffer.data, buffer.data + buffer.size) : Bytes();
}

bool KeptFrameIsWhole(const Bytes& frame, unsigned char code) {
  if (frame.empty()) return true;
  return frame.size() >= 3 && frame[2] == code && frame.size() == frame[0] * 256u + frame[1] + 2u;
}

}  // namespace

void GenerateLink(FuzzRandom& random, std::string& input) {
  unsigned frames = 1 + random.Below(12);
  for (unsigned f = 0; f < frames; ++f) {
    if (random.OneIn(3)) AddStep(input, kArm, Bytes{random.Pick(kCodes)});
    // A frame of up to 512 bytes, its length field true most of the time.
    unsigned size = random.OneIn(10) ? random.Below(3) : 3 + random.Below(510);
    Bytes frame(size);
    for (auto& b : frame) b = random.Byte();
    if (size >= 3) {
      unsigned length = size - 2;
      if (random.OneIn(5)) length = random.OneIn(2) ? random.Below(0x10000) : length + random.Below(5) - 2;
      frame[0] = static_cast<unsigned char>(length >> 8);
      frame[1] = static_cast<unsigned char>(length);
      frame[2] = random.Pick(kCodes);
    }
    // Delivered in pieces, now and then with a live-totals notification
    // (or a disarm) between them.
    size_t at = 0;
    do {
      size_t piece = random.OneIn(3) ? 1 + random.Below(3) : 1 + random.Below(200);
      if (piece > frame.size() - at) piece = frame.size() - at;
      AddStep(input, kNotify, Bytes(frame.begin() + at, frame.begin() + at + piece));
      at += piece;
      if (random.OneIn(12)) {
        Bytes live(10);
        for (auto& b : live) b = random.Byte();
        live[0] = 0;
        live[1] = 8;
        live[2] = 129;
        AddStep(input, kNotify, live);
      }
      if (random.OneIn(40)) AddStep(input, kDisarm, Bytes());
    } while (at < frame.size());
    if (random.OneIn(6)) AddStep(input, kDisarm, Bytes());
  }
}

int CheckLink(const std::string& input, std::string& finding) {
  TrackerLink link;
  ByteBuffer response;
  Model model;
  size_t at = 0;
  unsigned step = 0;
  char where[64];
  while (at + 3 <= input.size()) {
    unsigned char kind = static_cast<unsigned char>(input[at]) % 3;
    size_t length = static_cast<unsigned char>(input[at + 1]) * 256u + static_cast<unsigned char>(input[at + 2]);
    at += 3;
    if (length > input.size() - at) length = input.size() - at;
    Bytes data(input.begin() + at, input.begin() + at + length);
    at += length;
    ++step;
    snprintf(where, sizeof where, "step %u: ", step);
    if (kind == kArm) {
      unsigned char code = data.empty() ? 0 : data[0];
      link.lock.Enter();
      link.expectedCode = code;
      BufferClear(response);
      link.pendingResponse = &response;
      link.lock.Leave();
      model.armed = true;
      model.expected = code;
      model.pending.clear();
      model.signalled = false;
    } else if (kind == kDisarm) {
      link.lock.Enter();
      link.expectedCode = 0;
      link.pendingResponse = nullptr;
      link.lock.Leave();
      model.armed = false;
      model.expected = 0;
    } else {
      TrackerLink::OnLinkNotification(static_cast<unsigned>(data.size()),
                                      data.empty() ? nullptr : data.data(), &link);
      model.Notify(data);
    }
    if (!KeptFrameIsWhole(AsBytes(link.walkingFrame), 131) ||
        !KeptFrameIsWhole(AsBytes(link.sleepingFrame), 132)) {
      finding = std::string(where) + "a kept frame's size differs from its length field";
      BufferClear(response);
      return 0;
    }
    const char* differs = nullptr;
    if (AsBytes(link.walkingFrame) != model.walking) differs = "walking frame";
    else if (AsBytes(link.sleepingFrame) != model.sleeping) differs = "sleeping frame";
    else if (link.liveSteps != model.steps || link.liveCalories != model.calories ||
             link.liveDistance != model.distance) differs = "live totals";
    else if (link.expectedCode != model.expected) differs = "expected code";
    else if (model.armed && AsBytes(response) != model.pending) differs = "collected response";
    else if (model.signalled) {
      if (!link.responseEvent.Wait(0)) differs = "response event";
      model.signalled = false;
    } else if (kind != kNotify && link.responseEvent.Wait(0)) {
      // Checked at arming and disarming only (each look costs a system
      // call): an event set without its frame is still set then.
      differs = "response event set without its frame";
    }
    if (differs) {
      finding = std::string(where) + differs + " differs from the reassembly rules";
      BufferClear(response);
      return 0;
    }
  }
  BufferClear(response);
  return 1;
}
