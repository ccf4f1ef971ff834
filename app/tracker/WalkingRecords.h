// The walking history's quarter-hour records: 6 bytes each, the steps, the
// calories and the distance in units of 10 m as 16-bit big-endian numbers.
// The walking frame's stream holds them with marker blocks between them; a
// stored run's pattern holds nothing but records. Every reader of records
// (the history decoder, the chart series, the exports) goes through
// WalkingRecordReader, and every writer through PutWalkingRecord.
#pragma once

#include "app/tracker/TrackerProtocol.h"

struct WalkingRecord {
  unsigned steps = 0;  // 0: no activity in that quarter hour
  unsigned calories = 0;
  unsigned distance = 0;  // in units of DISTANCE_UNIT_METRES
};

// The record in the WALKING_RECORD_SIZE bytes at `bytes`.
inline WalkingRecord ReadWalkingRecord(const unsigned char* bytes) {
  WalkingRecord record;
  record.steps = ReadBig16(bytes + WALKING_STEPS_OFFSET);
  record.calories = ReadBig16(bytes + WALKING_CALORIES_OFFSET);
  record.distance = ReadBig16(bytes + WALKING_DISTANCE_OFFSET);
  return record;
}

// Writes the record's WALKING_RECORD_SIZE bytes; each field keeps its low 16 bits.
void PutWalkingRecord(const WalkingRecord& record, unsigned char* bytes);

// Whole records in a pattern of `size` bytes; a shorter tail is no record.
inline unsigned long long WalkingRecordCount(unsigned long long size) { return size / WALKING_RECORD_SIZE; }

// What the bytes are: a stored pattern (records only) or a walking frame's
// stream (records and marker blocks).
enum class WalkingBytes { Pattern, Stream };

// Goes through the records in order:
//   for (WalkingRecordReader records(bytes, size); records.Next();) use(records.Record());
// Next answers false at the end, leaving a tail shorter than a record
// unread; no byte past `size` is ever read. In a stream, a marker at a
// record's place that has its whole block (WALKING_MARKER_BLOCK bytes)
// before the end is skipped with its block; a marker without room for its
// block is read as a record.
class WalkingRecordReader {
public:
  WalkingRecordReader(const unsigned char* bytes, unsigned long long size,
                      WalkingBytes kind = WalkingBytes::Pattern)
      : bytes_(bytes), size_(bytes ? size : 0), stream_(kind == WalkingBytes::Stream) {}

  bool Next() {
    if (stream_) SkipMarkerBlocks();
    if (size_ - at_ < WALKING_RECORD_SIZE) return false;
    current_ = bytes_ + at_;
    at_ += WALKING_RECORD_SIZE;
    record_ = ReadWalkingRecord(current_);
    return true;
  }

  const WalkingRecord& Record() const { return record_; }
  // The current record's WALKING_RECORD_SIZE bytes as they stand.
  const unsigned char* Bytes() const { return current_; }

private:
  void SkipMarkerBlocks() {
    while (IsMarkerBlock(bytes_ + at_, size_ - at_, WALKING_MARKER_BLOCK)) at_ += WALKING_MARKER_BLOCK;
  }

  const unsigned char* bytes_;
  unsigned long long size_;
  unsigned long long at_ = 0;
  bool stream_;
  const unsigned char* current_ = nullptr;
  WalkingRecord record_;
};
