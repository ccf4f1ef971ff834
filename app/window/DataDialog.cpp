#include "app/window/DataDialog.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <memory>

#include "app/store/ActivityStore.h"
#include "app/tracker/TrackerUpdate.h"
#include "app/data/AutomaticBackup.h"
#include "app/data/CsvExport.h"
#include "app/data/DatabaseMerge.h"
#include "resources/ResourceIds.h"
#include "core/SettingsStore.h"

namespace {

const wchar_t* const kWhat[5] = {L"Walking: every quarter hour (CSV)", L"Sleeping: every minute (CSV)",
                                 L"Daily totals (CSV)", L"Nights (CSV)", L"A copy of the database"};
const int kCopyOfDatabase = 4;
// The work's progress: the copy an export reads takes the first fifth.
const int kSnapshotShare = 200;

// Deletes the file when it goes.
struct TemporaryFile {
  WideString path;
  ~TemporaryFile() {
    if (!path.IsEmpty()) DeleteFileW(path.CStr());
  }
};

}  // namespace

int DialogProgress::Runs(unsigned long long done, unsigned long long total) {
  if (cancel_) return 0;
  int now = low_ + static_cast<int>(total ? (high_ - low_) * done / total : 0);
  if (now != last_) {
    last_ = now;
    PostMessageW(window_, DataDialog::WM_DATA_PROGRESS, static_cast<WPARAM>(now), 0);
  }
  return 1;
}

DataDialog::~DataDialog() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
}

int DataDialog::OnInitDialog() {
  HWND what = Item(IDC_DATA_KIND);
  for (const wchar_t* text : kWhat) SendMessageW(what, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  SendMessageW(what, CB_SETCURSEL, 0, 0);
  const bool selected = !context_.selectedTracker.IsEmpty();
  EnableItem(IDC_DATA_SELECTED, selected);
  CheckButton(selected ? IDC_DATA_SELECTED : IDC_DATA_ALL, 1);
  for (int id : {IDC_DATA_FROM, IDC_DATA_TO}) SendMessageW(Item(id), DTM_SETSYSTEMTIME, GDT_NONE, 0);
  progress_.Attach(Item(IDC_DATA_PROGRESS), ProgressBarNoTaskbar);
  progress_.SetRange(0, 1000, 1);

  BackupSettings backups;
  if (context_.settings) backups.Read(*context_.settings);
  CheckButton(IDC_DATA_AUTO, backups.automatic ? 1 : 0);
  SetItemText(IDC_DATA_FOLDER, backups.folder.CStr());
  SendMessageW(Item(IDC_DATA_KEEP_SPIN), UDM_SETRANGE32, 1, BackupSettings::MostKept);
  SendMessageW(Item(IDC_DATA_KEEP_SPIN), UDM_SETPOS32, 0, static_cast<LPARAM>(backups.keep));
  ready_ = true;
  return 1;
}

// A copy of the database is whole: no tracker or dates to choose.
void DataDialog::ShowChoicesOfKind() {
  const bool rows = SendMessageW(Item(IDC_DATA_KIND), CB_GETCURSEL, 0, 0) != kCopyOfDatabase;
  EnableItem(IDC_DATA_SELECTED, rows && !context_.selectedTracker.IsEmpty());
  for (int id : {IDC_DATA_ALL, IDC_DATA_FROM, IDC_DATA_TO}) EnableItem(id, rows);
}

int DataDialog::DateOf(int id) {
  SYSTEMTIME date = {};
  if (SendMessageW(Item(id), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date)) != GDT_VALID) return 0;
  return DateKeyOf(date.wYear, date.wMonth, date.wDay);
}

void DataDialog::SetStatus(const wchar_t* text) {
  status_.Assign(text);
  SetItemText(IDC_DATA_STATUS, text);
}

void DataDialog::Start(std::function<void(WideString&)> work, bool refreshAfter) {
  if (thread_.joinable()) thread_.join();
  busy_ = true;
  refreshAfter_ = refreshAfter;
  cancel_ = false;
  for (int id : {IDC_DATA_EXPORT, IDC_DATA_BACKUP_NOW, IDC_DATA_IMPORT}) EnableItem(id, false);
  EnableItem(IDC_DATA_CANCEL, true);
  progress_.SetPosition(0);
  SetStatus(L"");
  HWND window = Window();
  thread_ = std::thread([work, window] {
    std::unique_ptr<WideString> result(new WideString());
    work(*result);
    if (PostMessageW(window, WM_DATA_DONE, 0, reinterpret_cast<LPARAM>(result.get()))) result.release();
  });
}

void DataDialog::Finish(WideString* result) {
  std::unique_ptr<WideString> text(result);
  if (thread_.joinable()) thread_.join();
  busy_ = false;
  for (int id : {IDC_DATA_EXPORT, IDC_DATA_BACKUP_NOW, IDC_DATA_IMPORT}) EnableItem(id, true);
  EnableItem(IDC_DATA_CANCEL, false);
  progress_.SetPosition(0);
  SetStatus(text->CStr());
  if (refreshAfter_ && context_.window) PostMessageW(context_.window, WM_TRACKER_UPDATE, UpdateWalking | UpdateSleeping, 0);
}

void DataDialog::Export() {
  const int what = static_cast<int>(SendMessageW(Item(IDC_DATA_KIND), CB_GETCURSEL, 0, 0));
  ExportRequest request;
  request.kind = static_cast<ExportKind>(what >= 0 && what < kCopyOfDatabase ? what : 0);
  request.dates.from = DateOf(IDC_DATA_FROM);
  request.dates.to = DateOf(IDC_DATA_TO);
  if (request.dates.from && request.dates.to && request.dates.from > request.dates.to) {
    SetStatus(L"The first date is after the last one.");
    return;
  }
  if (IsButtonChecked(IDC_DATA_SELECTED)) {
    WideCharToMultiByte(CP_ACP, 0, context_.selectedTracker.CStr(), -1, request.tracker, sizeof request.tracker,
                        nullptr, nullptr);
  }
  WideString path;
  if (what == kCopyOfDatabase) {
    path.Assign(L"Pellton copy.sql");
    if (!context_.choosePath(Window(), PathSaveDatabase, path)) return;
    ActivityStore* store = context_.store;
    HWND window = Window();
    std::atomic<bool>& cancel = cancel_;
    Start([store, path, window, &cancel](WideString& result) {
      StoreSource source(*store);
      DialogProgress progress(window, cancel, 0, 1000);
      WideString problem;
      if (CopyDatabaseTo(source, path.CStr(), &progress, problem)) {
        result.Format(L"A copy of the database was written to %s.", path.CStr());
      } else {
        result.Format(cancel ? L"The copy was cancelled; no file was written." : L"No copy was written: %s.",
                      problem.CStr());
      }
    }, false);
    return;
  }
  path.Format(L"%s.csv", ExportKindName(request.kind));
  if (!context_.choosePath(Window(), PathSaveCsv, path)) return;
  std::shared_ptr<OutputFile> file(new OutputFile());
  WideString problem;
  if (!file->Open(path.CStr(), problem)) {
    WideString text;
    text.Format(L"The file %s %s.", path.CStr(), problem.CStr());
    SetStatus(text.CStr());
    return;
  }
  ActivityStore* store = context_.store;
  HWND window = Window();
  std::atomic<bool>& cancel = cancel_;
  Start([store, request, file, window, &cancel](WideString& result) {
    // The rows are read from a copy, so the store is held only while each
    // part of the copy is made.
    TemporaryFile snapshot;
    wchar_t folder[MAX_PATH + 1] = {}, name[MAX_PATH + 1] = {};
    WideString problem;
    ExportOutcome outcome;
    ExportResult done = ExportFailed;
    if (GetTempPathW(MAX_PATH, folder) && GetTempFileNameW(folder, L"pel", 0, name)) {
      snapshot.path.Assign(name);
      StoreSource source(*store);
      DialogProgress copying(window, cancel, 0, kSnapshotShare);
      if (CopyDatabase(source, name, &copying, problem)) {
        ReadOnlyDatabase database;
        DialogProgress writing(window, cancel, kSnapshotShare, 1000);
        if (database.Open(name, problem)) done = WriteExport(database.Handle(), request, *file, &writing, outcome);
        if (done == ExportFailed && !outcome.problem.IsEmpty()) problem.Assign(outcome.problem);
      } else if (cancel) {
        done = ExportCancelled;
      }
    } else {
      problem.Assign(L"no copy of the database could be made in the temporary folder");
    }
    file->Abandon();
    if (done == ExportDone) {
      result.Format(L"%I64u rows were written to %s.", outcome.rows, file->Target().CStr());
    } else if (done == ExportCancelled) {
      result.Assign(L"The export was cancelled; no file was written.");
    } else {
      result.Format(L"Nothing was exported: %s.", problem.CStr());
    }
  }, false);
}

void DataDialog::BackUpNow() {
  BackupSettings chosen;
  chosen.Read(*context_.settings);
  if (chosen.folder.IsEmpty()) {
    SetStatus(L"Choose a folder for the backups first (Browse).");
    return;
  }
  ActivityStore* store = context_.store;
  HWND window = Window();
  std::atomic<bool>& cancel = cancel_;
  Start([store, chosen, window, &cancel](WideString& result) {
    StoreSource source(*store);
    DialogProgress progress(window, cancel, 0, 1000);
    WideString path, problem;
    if (BackUpInto(source, chosen.folder.CStr(), &progress, path, problem)) {
      PruneBackups(chosen.folder.CStr(), chosen.keep);
      result.Format(L"Backed up to %s.", path.CStr());
    } else {
      result.Format(cancel ? L"The backup was cancelled." : L"No backup was made: %s.", problem.CStr());
    }
  }, false);
}

void DataDialog::Import() {
  WideString path;
  if (!context_.choosePath(Window(), PathOpenDatabase, path)) return;
  WideString problem, text;
  if (!CheckMergeFile(path.CStr(), problem)) {
    text.Format(L"The file %s %s; nothing was imported.", path.CStr(), problem.CStr());
    SetStatus(text.CStr());
    return;
  }
  if (SameFile(path.CStr(), context_.store->Path().CStr())) {
    SetStatus(L"That file is this database itself; nothing was imported.");
    return;
  }
  ActivityStore* store = context_.store;
  HWND window = Window();
  std::atomic<bool>& cancel = cancel_;
  Start([store, path, window, &cancel](WideString& result) {
    StoreSource ours(*store);
    DialogProgress progress(window, cancel, 0, 1000);
    MergeTally tally;
    WideString problem;
    if (MergeRuns(ours, path.CStr(), &progress, tally, problem)) {
      result.Format(L"%I64u added, %I64u replaced, %I64u unchanged.", tally.added, tally.replaced, tally.unchanged);
    } else {
      result.Format(L"Nothing was imported: %s.", problem.CStr());
    }
  }, true);
}

void DataDialog::Browse() {
  WideString folder;
  BackupSettings chosen;
  chosen.Read(*context_.settings);
  folder.Assign(chosen.folder);
  if (!context_.choosePath(Window(), PathBackupFolder, folder)) return;
  SetItemText(IDC_DATA_FOLDER, folder.CStr());
  KeepChoices();
}

void DataDialog::KeepChoices() {
  if (!ready_ || !context_.settings) return;
  BackupSettings chosen;
  chosen.Read(*context_.settings);
  chosen.automatic = IsButtonChecked(IDC_DATA_AUTO);
  wchar_t folder[MAX_PATH + 1] = {};
  GetDlgItemTextW(Window(), IDC_DATA_FOLDER, folder, MAX_PATH);
  chosen.folder.Assign(folder);
  BOOL valid = FALSE;
  UINT keep = GetDlgItemInt(Window(), IDC_DATA_KEEP, &valid, FALSE);
  if (valid && keep >= 1 && keep <= BackupSettings::MostKept) chosen.keep = keep;
  chosen.WriteChoices(*context_.settings);
}

int DataDialog::OnCommand(int id, WPARAM wParam, LPARAM lParam) {
  switch (id) {
    case IDC_DATA_EXPORT:
      Export();
      return 1;
    case IDC_DATA_BACKUP_NOW:
      BackUpNow();
      return 1;
    case IDC_DATA_IMPORT:
      Import();
      return 1;
    case IDC_DATA_CANCEL:
      cancel_ = true;
      return 1;
    case IDC_DATA_BROWSE:
      Browse();
      return 1;
    case IDC_DATA_AUTO:
      KeepChoices();
      return 1;
    case IDC_DATA_KEEP:
      if (HIWORD(wParam) == EN_CHANGE) KeepChoices();
      return 1;
    case IDC_DATA_KIND:
      if (HIWORD(wParam) == CBN_SELCHANGE) ShowChoicesOfKind();
      return 1;
    default:
      return Dialog::OnCommand(id, wParam, lParam);
  }
}

int DataDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DATA_PROGRESS) {
    if (busy_) progress_.SetPosition(static_cast<int>(wParam));
    return 1;
  }
  if (message == WM_DATA_DONE) {
    Finish(reinterpret_cast<WideString*>(lParam));
    return 1;
  }
  return Dialog::OnMessage(message, wParam, lParam);
}

int DataDialog::CanClose(INT_PTR) {
  // Closing cancels the work and waits for it: nothing is left half done.
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
  MSG pending;
  while (PeekMessageW(&pending, Window(), WM_DATA_DONE, WM_DATA_DONE, PM_REMOVE)) {
    delete reinterpret_cast<WideString*>(pending.lParam);
  }
  busy_ = false;
  progress_.Detach();
  return 1;
}

int DataDialog::ChooseWithSystemDialogs(HWND owner, DataPathKind kind, WideString& path) {
  if (kind == PathBackupFolder) {
    BROWSEINFOW browse = {};
    browse.hwndOwner = owner;
    browse.lpszTitle = L"The folder for the automatic backups:";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen) return 0;
    wchar_t folder[MAX_PATH] = {};
    int ok = SHGetPathFromIDListW(chosen, folder);
    CoTaskMemFree(chosen);
    return ok && path.Assign(folder);
  }
  wchar_t file[MAX_PATH] = {};
  wcsncpy(file, path.CStr(), MAX_PATH - 1);
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  if (kind == PathSaveCsv) {
    dialog.lpstrFilter = L"CSV files (*.csv)\0*.csv\0All files\0*.*\0";
    dialog.lpstrDefExt = L"csv";
  } else {
    dialog.lpstrFilter = L"Pellton databases (*.sql)\0*.sql\0All files\0*.*\0";
    dialog.lpstrDefExt = L"sql";
  }
  dialog.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  BOOL chosen;
  if (kind == PathOpenDatabase) {
    dialog.Flags |= OFN_FILEMUSTEXIST;
    chosen = GetOpenFileNameW(&dialog);
  } else {
    dialog.Flags |= OFN_OVERWRITEPROMPT;
    chosen = GetSaveFileNameW(&dialog);
  }
  return chosen && path.Assign(file);
}
