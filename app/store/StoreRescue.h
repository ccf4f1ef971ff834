// What happens to an activity database the store cannot use: it is moved
// aside under a new name beside it, with its journals, so that nothing is
// ever written into it and nothing in it is lost; then the runs that can
// still be read from it are copied into the new file.
#pragma once

#include <windows.h>

#include "core/ByteBuffer.h"
#include "core/WideString.h"

// Moves the file, and the journals that belong to it ("-wal", "-journal";
// the "-shm" index is only removed), to "<name>-set-aside-YYYYMMDD-HHMMSS<ext>"
// beside it, with "-2", "-3" ... added when that name is taken; nothing is
// overwritten. 1 with the new path; 0 with the system's error code, and
// then every file is where it was.
int MoveStoreFileAside(const wchar_t* path, const SYSTEMTIME& when, WideString& asidePath, DWORD& error);

struct RescueTally {
  unsigned copied = 0;   // runs written into the store
  unsigned refused = 0;  // rows read whose address, start or pattern is no run
  bool cut = false;      // part of a table could not be read
  unsigned unstored = 0; // runs read but refused by the new file (a full disk): still in the old one
  // No working copy of the file could be made to read it from (the
  // temporary folder is missing or full): the system's error code. Nothing
  // was read then.
  unsigned long copyError = 0;
};

// Where the rescued runs go: the activity store, which takes them between
// BeginRuns and EndRuns into one transaction (EndRuns answers how many runs
// it had taken that were lost with a failed commit after all).
class RescueTarget {
public:
  virtual ~RescueTarget() {}
  virtual void BeginRuns() = 0;
  // 1 when the run was written.
  virtual int InsertRun(int table, const wchar_t* address, unsigned start, const ByteBuffer& pattern) = 0;
  virtual unsigned EndRuns() = 0;
};

// Reads the walking and sleeping rows of the file through a read-only
// connection, skipping over damaged parts, and stores every sound run in
// the target (one transaction). 1 when the file could be opened at all
// (0 also when no working copy could be made: tally.copyError).
int CopyReadableRuns(const wchar_t* fromPath, RescueTarget& into, RescueTally& tally);
