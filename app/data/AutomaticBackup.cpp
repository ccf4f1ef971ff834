#include "app/data/AutomaticBackup.h"

#include "app/store/ActivityStore.h"
#include "app/data/DatabaseCopy.h"
#include "app/data/LocalTime.h"
#include "core/SettingsStore.h"

void BackupSettings::Read(SettingsStore& settings) {
  automatic = settings.ReadNumber(L"BackupAuto", 0) == 1;
  settings.ReadText(L"BackupFolder", folder, L"");
  keep = settings.ReadNumber(L"BackupKeep", DefaultKeep);
  if (keep < 1 || keep > MostKept) keep = DefaultKeep;
  lastDay = settings.ReadNumber(L"LastBackup", 0);
}

void BackupSettings::WriteChoices(SettingsStore& settings) const {
  settings.WriteNumber(L"BackupAuto", automatic ? 1 : 0);
  settings.WriteText(L"BackupFolder", folder.CStr());
  settings.WriteNumber(L"BackupKeep", keep);
}

AutomaticBackupResult BackUpAfterDownload(ActivityStore& store, SettingsStore& settings, const SYSTEMTIME& today,
                                          WideString& text) {
  BackupSettings chosen;
  chosen.Read(settings);
  const DWORD day = static_cast<DWORD>(DateKeyOf(today.wYear, today.wMonth, today.wDay));
  if (!chosen.automatic || chosen.folder.IsEmpty() || chosen.lastDay == day) return BackupNotDue;
  StoreSource source(store);
  WideString problem;
  if (!BackUpInto(source, chosen.folder.CStr(), nullptr, text, problem)) {
    text.Format(L"The automatic backup failed: %s", problem.CStr());
    return BackupFailed;
  }
  settings.WriteNumber(L"LastBackup", day);
  PruneBackups(chosen.folder.CStr(), chosen.keep);
  return BackupMade;
}
