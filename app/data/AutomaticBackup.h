// Automatic backups: after the first successful download of each day a
// backup (DatabaseCopy) is written into a folder the user picked, and the
// oldest backups there beyond the number to keep are deleted (only files
// this program named). The settings, in the program's settings key:
//
//   "BackupAuto"    1: on
//   "BackupFolder"  where the backups go
//   "BackupKeep"    how many to keep (default 7)
//   "LastBackup"    the local date (YYYYMMDD) of the last automatic backup
#pragma once

#include <windows.h>

#include "core/WideString.h"

class ActivityStore;
class SettingsStore;

struct BackupSettings {
  static const unsigned DefaultKeep = 7;
  static const unsigned MostKept = 999;

  bool automatic = false;
  WideString folder;
  unsigned keep = DefaultKeep;
  DWORD lastDay = 0;

  void Read(SettingsStore& settings);
  // The user's choices (not the last day).
  void WriteChoices(SettingsStore& settings) const;
};

enum AutomaticBackupResult : int {
  BackupNotDue,  // off, no folder, or made today already
  BackupMade,
  BackupFailed,
};

// Called after a download was stored; today is the local date now. Made:
// text is the backup's path; failed: what went wrong.
AutomaticBackupResult BackUpAfterDownload(ActivityStore& store, SettingsStore& settings, const SYSTEMTIME& today,
                                          WideString& text);
