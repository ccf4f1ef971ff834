// Looks at an existing activity database before the store opens it for
// writing. The look is taken through a read-only connection, so a damaged
// file is never written into (a writing connection would, for one, copy its
// journal back into it on close): the file is read through whole (SQLite's
// integrity check, which also compares every index with its table) and its
// two tables are checked for the columns the store writes. Other tables,
// and extra columns that may stay empty, are fine.
#pragma once

#include "core/WideString.h"

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
int CheckStoreFile(const wchar_t* path, StoreFileVerdict& verdict);

// Copies the file and its journals ("-journal", "-wal") to a new name in the
// temporary folder; 1 with the copy's path, 0 with the system's error code
// (nothing is left behind). RemoveStoreFileCopy deletes the copy, its
// journals and its index.
int CopyStoreFileToTemp(const wchar_t* path, WideString& copy);
void RemoveStoreFileCopy(const WideString& copy);

// A damaged, foreign or incompatible file is moved aside; a file in use or
// unreadable is left where it is.
inline bool StoreFileGoesAside(StoreFileState state) {
  return state == StoreFileNotDatabase || state == StoreFileDamaged || state == StoreFileIncompatible;
}
