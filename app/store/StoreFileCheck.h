// Looks at an existing activity database before the store opens it for
// writing. The look is taken through a read-only connection, so a damaged
// file is never written into (a writing connection would, for one, copy its
// journal back into it on close): the file is read through whole (SQLite's
// integrity check, which also compares every index with its table) and its
// two tables are checked for the columns the store writes. Other tables,
// and extra columns that may stay empty, are fine.
#pragma once

#include "core/WideString.h"

class Database;

enum StoreFileState : int {
  StoreFileMissing,       // no file: a new one is made
  StoreFileUsable,        // the store can use it as it is
  StoreFileInUse,         // another program holds it locked: leave it alone
  StoreFileUnreadable,    // it could not be opened or read (a folder, no access, a read error)
  StoreFileNotDatabase,   // not an SQLite database at all (a foreign file, or its first page is gone)
  StoreFileDamaged,       // an SQLite database with damaged pages
  StoreFileIncompatible,  // a sound database whose walking or sleeping table the store cannot write
};

struct StoreFileVerdict {
  StoreFileState state = StoreFileMissing;
  // What is wrong, in a few plain words to follow the file's name ("is
  // damaged"); empty for a missing or usable file.
  WideString problem;
  unsigned long systemError = 0;  // StoreFileUnreadable: the system's error code, when one is known
};

// 1 when the verdict was reached (every state above); 0 only when memory ran out.
// A file that SQLite must write to before it can be read (a journal to roll
// back after a program ended in the middle of a transaction) is checked in a
// copy in the temporary folder, where that writing is done; a file found
// usable is tried there too, with an insert into each table taken back (a
// file damaged where a write goes is damaged, though it passes the check).
// leftCleanly: the file is as the store closed it last (StoreLeftCleanly);
// then only its tables are looked at, without the read-through and the trial.
int CheckStoreFile(const wchar_t* path, StoreFileVerdict& verdict, bool leftCleanly = false);

// Whether the store may write the file and make its journal ("-wal") beside
// it: 0 with the system's error code when the system refuses (no right to
// write there, a write-protected medium), and fileItself set when it is the
// file that cannot be written rather than its folder. A journal that is not
// there yet is made and removed at once. Other failures (a file in use, a
// missing folder) are left to the look at the file and the opening: 1.
int MayWriteStoreFile(const wchar_t* path, unsigned long& error, bool& fileItself);

// Copies the file and its journals ("-journal", "-wal") to a new name in the
// temporary folder, where they can be written; 1 with the copy's path, 0
// with the system's error code (nothing is left behind). RemoveStoreFileCopy
// deletes the copy, its journals and its index.
int CopyStoreFileToTemp(const wchar_t* path, WideString& copy);
void RemoveStoreFileCopy(const WideString& copy);

// The unique index on a table's (`mac`, `start`) that makes a download of a
// run stored before replace its row instead of adding a second one. table:
// 0 walking, 1 sleeping. HasRunKey: 1 when answered (has: the table has
// one, under any name). EnsureRunKey, inside the caller's transaction: when
// the table has none (a start cut short between making the table and its
// index), removes the duplicate rows, keeping the longest pattern of each
// run and, of equal ones, the row stored last, then makes "walking_start"
// or "sleeping_start"; 1 when the table has its key.
int HasRunKey(Database& database, int table, bool& has);
int EnsureRunKey(Database& database, int table);

// A damaged, foreign or incompatible file is moved aside; a file in use or
// unreadable is left where it is.
inline bool StoreFileGoesAside(StoreFileState state) {
  return state == StoreFileNotDatabase || state == StoreFileDamaged || state == StoreFileIncompatible;
}
