#include "app/tracker/WalkingRecords.h"

void PutWalkingRecord(const WalkingRecord& record, unsigned char* bytes) {
  WriteBig16(bytes + WALKING_STEPS_OFFSET, record.steps);
  WriteBig16(bytes + WALKING_CALORIES_OFFSET, record.calories);
  WriteBig16(bytes + WALKING_DISTANCE_OFFSET, record.distance);
}
