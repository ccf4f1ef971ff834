// What tells a store file apart from any other state of it: its size, its
// last-write time, SQLite's file change counter (header bytes 24 to 27,
// raised by every writer that does not keep a write-ahead journal) and its
// path. The store records it in the settings when it has closed the file
// cleanly, and at the next opening a file that still shows it, with no
// journal beside it, is the file Pellton left: its full read-through check
// is not needed again.
#pragma once

#include "core/WideString.h"

class SettingsStore;

// The settings value that holds the fingerprint of the file closed last.
extern const wchar_t kStoreCheckedSetting[];  // "StoreChecked"

// 1 with the file's fingerprint as one line of text; 0 when the file
// cannot be looked at or is shorter than an SQLite header.
int StoreFingerprint(const wchar_t* path, WideString& fingerprint);

// Whether a rollback ("-journal") or write-ahead ("-wal") journal lies
// beside the file: it was not closed cleanly, or is in use.
bool StoreJournalBeside(const wchar_t* path);

// Whether the settings hold the fingerprint the file shows now, and no
// journal lies beside it.
bool StoreLeftCleanly(SettingsStore& settings, const wchar_t* path);
