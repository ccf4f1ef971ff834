// Merging the runs of another Pellton database (a replaced PC's, a copy
// from a backup) into ours: a run (tracker address and start) that ours
// does not hold is added; one ours holds with a shorter pattern is replaced
// by the longer one; anything else is kept as ours has it. The merge is one
// transaction: it lands whole or not at all.
//
// The other file is judged first as the store judges its own (integrity,
// tables): a damaged or foreign file is refused with the reason before ours
// is touched. It is never written to: its runs are read from a copy in the
// temporary folder (where a journal left by a program that ended
// mid-transaction is rolled back, as it would be in the file).
#pragma once

#include "app/data/DatabaseCopy.h"

struct MergeTally {
  unsigned long long added = 0;
  unsigned long long replaced = 0;
  unsigned long long unchanged = 0;
  unsigned long long skipped = 0;  // rows of the other file that hold no run
};

// 1 when the file can be merged; else 0 with the problem to follow its
// name ("does not exist", "is damaged").
int CheckMergeFile(const wchar_t* path, WideString& problem);

// 1 when both paths name one file (the same file under two names too).
bool SameFile(const wchar_t* first, const wchar_t* second);

// Merges the runs of the file into the database of ours. 1/0 with problem;
// on 0 ours is as it was. The progress is told the other file's runs.
int MergeRuns(DatabaseSource& ours, const wchar_t* theirs, ReadProgress* progress, MergeTally& tally,
              WideString& problem);
