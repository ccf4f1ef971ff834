#include "app/tracker/TrackerProtocol.h"

void GetHostId(unsigned char id[HOST_ID_SIZE]) {
  // "PELLTN" in ASCII: easy to spot in a trace of the link.
  id[0] = 0x50;
  id[1] = 0x45;
  id[2] = 0x4C;
  id[3] = 0x4C;
  id[4] = 0x54;
  id[5] = 0x4E;
}
