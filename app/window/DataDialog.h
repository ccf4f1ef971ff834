// The "Export and backup" dialog (template IDD_DATA), opened by the fourth
// icon button of the main window: what to export (the four CSV kinds or a
// copy of the database), whose (the selected tracker or all), which dates
// (two date pickers, empty for all), then the standard Save As dialog; the
// automatic backups (folder, how many to keep); "Back up now"; "Import...".
//
// The work runs on a thread of its own with the progress bar moving and
// Cancel enabled; a cancelled export leaves no file. An export reads a copy
// of the database made from the store's connection (so the store is held
// only for moments and downloads go on), removed afterwards.
//
// The dialog knows its context, not the window that opened it.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

#include "app/data/StoredUnits.h"
#include "ui/Dialog.h"
#include "ui/ProgressBar.h"

class ActivityStore;
class SettingsStore;

enum DataPathKind : int {
  PathSaveCsv,       // a CSV export
  PathSaveDatabase,  // a copy of the database
  PathOpenDatabase,  // a database to import
  PathBackupFolder,  // the automatic backups' folder
};

struct DataDialogContext {
  ActivityStore* store = nullptr;
  SettingsStore* settings = nullptr;
  WideString selectedTracker;  // address text; empty: none selected
  HWND window = nullptr;       // told WM_TRACKER_UPDATE after an import
  // Asks the user for a file or a folder (the standard dialogs); path holds
  // a suggestion. 1 when one was chosen. Tests put their own.
  int (*choosePath)(HWND owner, DataPathKind kind, WideString& path) = nullptr;
};

class DataDialog : public Dialog {
public:
  // The messages of the work's thread.
  static const UINT WM_DATA_PROGRESS = WM_APP + 20;  // wParam: per mille done
  static const UINT WM_DATA_DONE = WM_APP + 21;      // lParam: the result text (WideString*, taken over)

  explicit DataDialog(const DataDialogContext& context) : context_(context) {}
  ~DataDialog() override;

  int OnInitDialog() override;
  int OnCommand(int id, WPARAM wParam, LPARAM lParam) override;
  int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int CanClose(INT_PTR result) override;

  bool Busy() const { return busy_; }
  // The status line's text after the last work (for checks).
  const WideString& Status() const { return status_; }

  static int ChooseWithSystemDialogs(HWND owner, DataPathKind kind, WideString& path);

private:
  void Start(std::function<void(WideString&)> work, bool refreshAfter);
  void Finish(WideString* result);
  void SetStatus(const wchar_t* text);
  void Export();
  void BackUpNow();
  void Import();
  void Browse();
  void KeepChoices();
  void ShowChoicesOfKind();
  int DateOf(int id);

  DataDialogContext context_;
  ProgressBar progress_;
  std::thread thread_;
  std::atomic<bool> cancel_{false};
  bool busy_ = false;
  bool refreshAfter_ = false;
  bool ready_ = false;  // the controls hold the settings (changes are written)
  WideString status_;
};

// Progress of the dialog's work: per mille between low and high posted to
// the dialog when it changes; stops when cancelled.
class DialogProgress : public ReadProgress {
public:
  DialogProgress(HWND window, const std::atomic<bool>& cancel, int low, int high)
      : window_(window), cancel_(cancel), low_(low), high_(high) {}
  int Runs(unsigned long long done, unsigned long long total) override;

private:
  HWND window_;
  const std::atomic<bool>& cancel_;
  int low_;
  int high_;
  int last_ = -1;
};
