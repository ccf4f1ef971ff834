#include "app/store/ActivityStore.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>

#include "app/store/RunLabel.h"
#include "app/store/StoreFingerprint.h"
#include "core/ProgramFolder.h"
#include "core/SettingsStore.h"

const wchar_t ActivityStore::FileName[] = L"Pellton.sql";

namespace {

const wchar_t* const kTableNames[2] = {L"walking", L"sleeping"};

struct TableSchema {
  int table;
  const wchar_t* probe;
  const wchar_t* create;
  const wchar_t* index;
};

const TableSchema kSchema[2] = {
    {SleepingTable, L"SELECT * FROM sleeping LIMIT 1;",
     L"CREATE TABLE IF NOT EXISTS `sleeping` (  `id` INTEGER PRIMARY KEY AUTOINCREMENT,  `mac` varchar(20) "
     L"NOT NULL,  `start` INTEGER,  `pattern` BLOB NOT NULL);",
     L"CREATE UNIQUE INDEX sleeping_start ON sleeping (mac, start);"},
    {WalkingTable, L"SELECT * FROM walking LIMIT 1;",
     L"CREATE TABLE IF NOT EXISTS `walking` (  `id` INTEGER PRIMARY KEY AUTOINCREMENT,  `mac` varchar(20) "
     L"NOT NULL,  `start` INTEGER,  `pattern` BLOB NOT NULL);",
     L"CREATE UNIQUE INDEX walking_start ON walking (mac, start);"},
};

bool KnownTable(int table) { return table == WalkingTable || table == SleepingTable; }

// The store as the rescue of a moved file sees it.
class RescueInto : public RescueTarget {
public:
  explicit RescueInto(ActivityStore& store) : store_(store) {}
  void BeginRuns() override { store_.BeginRuns(); }
  int InsertRun(int table, const wchar_t* address, unsigned start, const ByteBuffer& pattern) override {
    return store_.InsertRun(table, address, start, pattern);
  }
  unsigned EndRuns() override { return store_.EndRuns(); }

private:
  ActivityStore& store_;
};

}  // namespace

ActivityStore::~ActivityStore() { Close(); }

int ActivityStore::Open(const wchar_t* folder) {
  SectionLock hold(lock_);
  CloseDatabase();
  stored_ = 0;
  failed_ = 0;
  opening_ = StoreOpening();
  path_.Assign(L"");
  WideString where;
  DWORD error = 0;
  if (folder && *folder) {
    if (!where.Assign(folder) || !where.EnsureTrailing(L'\\')) error = ERROR_NOT_ENOUGH_MEMORY;
  } else if (!ProgramFolder(where)) {
    error = GetLastError() ? GetLastError() : ERROR_BAD_PATHNAME;
  } else if (where.Length() + wcslen(FileName) >= MAX_PATH) {
    // The store's file calls take paths shorter than MAX_PATH: a longer one
    // is refused, but its folder still named in the notice.
    error = ERROR_FILENAME_EXCED_RANGE;
  }
  // The file's path, also for the notice of a folder that cannot be used.
  if (!where.IsEmpty() && !path_.Format(L"%s%s", where.CStr(), FileName) && !error) error = ERROR_NOT_ENOUGH_MEMORY;
  if (error) return NotOpened(error);
  SYSTEMTIME now;
  GetLocalTime(&now);
  return OpenChecked(now);
}

int ActivityStore::OpenFile(const wchar_t* path) {
  SectionLock hold(lock_);
  CloseDatabase();
  stored_ = 0;
  failed_ = 0;
  opening_ = StoreOpening();
  path_.Assign(L"");
  if (!path || !*path) return NotOpened(ERROR_INVALID_NAME);
  DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
  if (!needed || !path_.Reset(needed + 1) || !GetFullPathNameW(path, needed + 1, path_.Buffer(), nullptr)) {
    const DWORD error = GetLastError() ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
    path_.Assign(path);  // as given: the notice names it
    return NotOpened(error);
  }
  path_.UpdateLength();
  SYSTEMTIME now;
  GetLocalTime(&now);
  return OpenChecked(now);
}

int ActivityStore::NotOpened(unsigned long error) {
  opening_.outcome = StoreNotOpened;
  opening_.systemError = error;
  return 0;
}

int ActivityStore::OpenChecked(const SYSTEMTIME& now) {
  DWORD refusal = 0;
  bool fileItself = false;
  if (!MayWriteStoreFile(path_.CStr(), refusal, fileItself)) return OpenReadOnly(refusal, fileItself);
  // The file as this store closed it last needs no read-through. The record
  // goes before anything may write: a program ending while the file is open
  // leaves none, and the next opening reads the file through.
  bool leftCleanly = false;
  if (settings_) {
    leftCleanly = StoreLeftCleanly(*settings_, path_.CStr());
    WideString recorded;
    if (settings_->ReadText(kStoreCheckedSetting, recorded) && !recorded.IsEmpty() &&
        !settings_->WriteText(kStoreCheckedSetting, L"")) {
      leftCleanly = false;  // a record that cannot be taken back is not trusted
    }
  }
  StoreFileVerdict verdict;
  if (!CheckStoreFile(path_.CStr(), verdict, leftCleanly)) {
    verdict.state = StoreFileUnreadable;
    verdict.problem.Assign(L"could not be read");
    verdict.systemError = ERROR_NOT_ENOUGH_MEMORY;
  }
  opening_.state = verdict.state;
  opening_.problem.Assign(verdict.problem);
  if (verdict.state == StoreFileInUse || verdict.state == StoreFileUnreadable) {
    opening_.outcome = StoreLeftAlone;
    opening_.systemError = verdict.systemError;
    return 0;
  }
  if (!StoreFileGoesAside(verdict.state)) {
    // A file whose tables could not be made ready stays open to be read.
    opening_.writable = OpenConnection() != 0;
    opening_.opened = database_.IsOpen();
    recordOnClose_ = opening_.writable;
    if (!opening_.writable) opening_.outcome = StoreNotReady;
    return opening_.writable;
  }
  DWORD error = 0;
  if (!MoveStoreFileAside(path_.CStr(), now, opening_.asidePath, error)) {
    opening_.outcome = StoreNotMoved;
    opening_.systemError = error;
    opening_.asidePath.Assign(L"");
    return 0;
  }
  opening_.outcome = StoreMovedAside;
  opening_.movedAside = true;
  opening_.writable = OpenConnection() != 0;
  opening_.opened = database_.IsOpen();
  recordOnClose_ = opening_.writable;
  if (opening_.writable) {
    RescueInto into(*this);
    CopyReadableRuns(opening_.asidePath.CStr(), into, opening_.rescued);
  }
  // The copies are not the user's downloads.
  stored_ = 0;
  failed_ = 0;
  return opening_.writable;
}

int ActivityStore::OpenReadOnly(DWORD refusal, bool fileItself) {
  // Reading the file in place would need its journal and index beside it:
  // it is read from a copy in the temporary folder instead, which is looked
  // at as the file itself would be. The file is never written.
  readOnly_ = true;
  opening_.outcome = StoreReadOnly;
  opening_.systemError = refusal;
  opening_.fileItself = fileItself;
  opening_.fileExists = GetFileAttributesW(path_.CStr()) != INVALID_FILE_ATTRIBUTES;
  opening_.state = opening_.fileExists ? StoreFileUnreadable : StoreFileMissing;
  if (!opening_.fileExists) return 0;
  if (!CopyStoreFileToTemp(path_.CStr(), workingCopy_)) {
    opening_.copyError = GetLastError() ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
    CloseDatabase();
    return 0;
  }
  StoreFileVerdict verdict;
  if (!CheckStoreFile(workingCopy_.CStr(), verdict)) verdict.problem.Assign(L"could not be read");
  opening_.state = verdict.state;
  if (verdict.state == StoreFileUsable) opening_.opened = OpenConnection(workingCopy_.CStr()) != 0;
  if (opening_.opened) return 1;
  opening_.problem.Assign(verdict.problem);
  CloseDatabase();
  return 0;
}

int ActivityStore::OpenConnection(const wchar_t* file) {
  // synchronous is set to NORMAL below: with the write-ahead journal that
  // keeps the file consistent through a power cut.
  if (!database_.Open(file ? file : path_.CStr(), Database::WaitForDisk, Database::ExclusiveLocking,
                      Database::WriteAheadJournal))
    return 0;
  database_.Execute(L"PRAGMA synchronous = NORMAL;");
  if (EnsureTables()) return 1;
  // A download would go into a table that may not keep runs apart: what the
  // file holds is shown, nothing is stored.
  readOnly_ = true;
  return 0;
}

int ActivityStore::EnsureTables() {
  // One transaction: a start cut short leaves all of it or nothing, never a
  // table without the index that keeps a run downloaded again from being
  // added a second time. A file already left so gets its index now.
  if (!database_.Execute(L"BEGIN;")) return 0;
  int ok = 1;
  for (int i = 0; ok && i < 2; ++i) {
    const TableSchema& table = kSchema[i];
    if (database_.Execute(table.probe)) {
      ok = EnsureRunKey(database_, table.table);
    } else {
      ok = database_.Execute(table.create) && database_.Execute(table.index);
    }
    // SQLite ends the transaction by itself on a failed write: what follows
    // would be committed on its own.
    ok = ok && database_.InTransaction();
  }
  if (ok && database_.Execute(L"COMMIT;")) return 1;
  if (database_.InTransaction()) database_.Execute(L"ROLLBACK;");
  return 0;
}

void ActivityStore::Close() {
  SectionLock hold(lock_);
  CloseDatabase();
}

void ActivityStore::CloseDatabase() {
  if (batchOpen_) {
    // Closed by the thread that is storing a download: what it wrote so far
    // is kept.
    database_.Execute(L"COMMIT;");
    batchOpen_ = false;
  }
  // A session in which a run was refused may have met a damaged page: the
  // next opening reads the file through.
  const bool record = recordOnClose_ && !readOnly_ && database_.IsOpen() && failed_ == 0;
  recordOnClose_ = false;
  database_.Close();
  if (record) RecordCleanClose();
  if (!workingCopy_.IsEmpty()) RemoveStoreFileCopy(workingCopy_);
  workingCopy_.Assign(L"");
  readOnly_ = false;
}

void ActivityStore::RecordCleanClose() {
  // Closed cleanly: the write-ahead journal went back into the file and was
  // removed. A journal left beside it (the copy back failed) is no clean
  // close, and nothing is recorded.
  WideString fingerprint;
  if (!settings_ || StoreJournalBeside(path_.CStr()) || !StoreFingerprint(path_.CStr(), fingerprint)) return;
  settings_->WriteText(kStoreCheckedSetting, fingerprint.CStr());
}

bool ActivityStore::IsOpen() {
  SectionLock hold(lock_);
  return database_.IsOpen();
}

int ActivityStore::InsertRun(int table, const wchar_t* address, unsigned start, const ByteBuffer& pattern,
                             bool* changed) {
  SectionLock hold(lock_);
  WideString sql;
  int ok = !readOnly_ && KnownTable(table) && IsAddressText(address);
  BlobParameters blobs;
  blobs.parameters[0] = &pattern;
  if (ok && changed) {
    // A download brings the tracker's whole history again: most of its runs
    // are stored already, byte for byte.
    int same = 0;
    QueryResult rows;
    *changed = !sql.Format(L"SELECT count(*) FROM `%s` WHERE mac='%s' AND start=%u AND pattern=@001;",
                           kTableNames[table], address, start) ||
               !database_.Execute(sql.CStr(), rows, &blobs) || !rows || !rows->GetInt(-1, 0, same) || same == 0;
  }
  ok = ok && sql.Format(L"INSERT OR REPLACE INTO `%s` (`mac`,`start`,`pattern`) VALUES ('%s','%u',@001);",
                        kTableNames[table], address, start);
  if (ok) ok = database_.Execute(sql.CStr(), nullptr, &blobs);
  if (ok) {
    ++stored_;
    if (batchOpen_) ++batchStored_;
  } else {
    ++failed_;
    if (batchOpen_ && !database_.InTransaction()) {
      // SQLite took the whole transaction back with this run: the download's
      // runs written before it are gone too. The rest of the download goes
      // into a transaction of its own.
      batchLost_ += batchStored_;
      stored_ -= batchStored_;
      failed_ += batchStored_;
      batchStored_ = 0;
      batchOpen_ = database_.Execute(L"BEGIN;") != 0;
    }
  }
  return ok;
}

void ActivityStore::BeginRuns() {
  lock_.Enter();  // held until EndRuns
  if (batchDepth_++ > 0) return;
  batchStored_ = 0;
  batchLost_ = 0;
  batchOpen_ = !readOnly_ && database_.IsOpen() && database_.Execute(L"BEGIN;");
}

unsigned ActivityStore::EndRuns() {
  unsigned lost = 0;
  if (batchDepth_ > 0 && --batchDepth_ == 0) {
    lost = batchLost_;
    batchLost_ = 0;
    if (batchOpen_) {
      batchOpen_ = false;
      if (!database_.Execute(L"COMMIT;")) {
        database_.Execute(L"ROLLBACK;");
        lost += batchStored_;
        stored_ -= batchStored_;
        failed_ += batchStored_;
      }
      batchStored_ = 0;
    }
  }
  lock_.Leave();
  return lost;
}

int ActivityStore::SecureRuns() {
  SectionLock hold(lock_);
  if (readOnly_ || !database_.IsOpen() || batchOpen_) return 0;
  // The row is (busy, journal frames, frames copied); busy 0 means every
  // frame reached the file. Outside write-ahead mode every commit has been
  // synced already and the answer is 0, -1, -1.
  QueryResult rows = database_.Query(L"PRAGMA wal_checkpoint(FULL);");
  if (!rows) return 0;
  int busy = 1;
  return rows->GetInt(-1, 0, busy) && busy == 0;
}

int ActivityStore::ReadRuns(const wchar_t* sql, int table, std::vector<StoredRun>& runs) {
  // A walking record of six bytes is a quarter hour; a sleeping byte holds
  // four minutes.
  SectionLock hold(lock_);
  if (!database_.IsOpen()) return 0;
  // No row is no result set, as is a failed query: the error code tells
  // them apart. A read cut short is no shorter list, but a failure.
  QueryResult rows = database_.Query(sql);
  if (!rows) return database_.ErrorCode() == DatabaseOk;
  do {
    int start = 0, bytes = 0;
    if (!rows->GetInt(-1, 0, start)) continue;
    rows->GetInt(-1, 1, bytes);
    StoredRun run;
    run.start = static_cast<unsigned>(start);
    const unsigned length = bytes > 0 ? static_cast<unsigned>(bytes) : 0;
    run.end = run.start + (table == WalkingTable ? length / 6 * 15 * 60 : length * 4 * 60);
    runs.push_back(run);
  } while (rows->MoveNext());
  return !rows->StepFailed();
}

int ActivityStore::ListRunsOf(const wchar_t* address, int table, std::vector<StoredRun>& runs) {
  runs.clear();
  if (!KnownTable(table) || !IsAddressText(address)) return 0;
  // In slices along the index, each under the lock on its own: a chart
  // read or a download waits for one slice, never for years of runs.
  const unsigned kSlice = 1024;
  WideString sql;
  for (;;) {
    const size_t before = runs.size();
    const bool first = runs.empty();
    if (!(first ? sql.Format(L"SELECT start, length(pattern) FROM `%s` WHERE mac='%s' ORDER BY start ASC LIMIT %u;",
                             kTableNames[table], address, kSlice)
                : sql.Format(L"SELECT start, length(pattern) FROM `%s` WHERE mac='%s' AND start>%u ORDER BY start ASC "
                             L"LIMIT %u;",
                             kTableNames[table], address, runs.back().start, kSlice)) ||
        !ReadRuns(sql.CStr(), table, runs)) {
      runs.clear();
      return 0;
    }
    if (runs.size() - before < kSlice) break;
  }
  LabelRunsByDay(runs);
  return 1;
}

int ActivityStore::ListNewestRunsOf(const wchar_t* address, int table, unsigned limit, std::vector<StoredRun>& runs,
                                    bool& complete) {
  runs.clear();
  complete = false;
  if (!KnownTable(table) || !IsAddressText(address) || limit == 0) return 0;
  WideString sql;
  if (!sql.Format(L"SELECT start, length(pattern) FROM `%s` WHERE mac='%s' ORDER BY start DESC LIMIT %u;",
                  kTableNames[table], address, limit) ||
      !ReadRuns(sql.CStr(), table, runs)) {
    return 0;
  }
  std::reverse(runs.begin(), runs.end());
  complete = runs.size() < limit;
  if (!complete) {
    // The oldest day read may have earlier runs: it goes, unless it is the
    // only one.
    const int oldest = LocalDayOf(runs.front().start);
    size_t first = 0;
    while (first < runs.size() && LocalDayOf(runs[first].start) == oldest) ++first;
    if (first < runs.size()) runs.erase(runs.begin(), runs.begin() + static_cast<std::ptrdiff_t>(first));
  }
  LabelRunsByDay(runs);
  return 1;
}

int ActivityStore::ReadPattern(int table, const wchar_t* address, unsigned start, ByteBuffer& pattern) {
  if (!KnownTable(table) || !IsAddressText(address)) return 0;
  WideString sql;
  if (!sql.Format(L"SELECT pattern FROM `%s` WHERE mac='%s' AND start=%u;", kTableNames[table], address, start)) {
    return 0;
  }
  SectionLock hold(lock_);
  if (!database_.IsOpen()) return 0;
  QueryResult rows = database_.Query(sql.CStr());
  if (!rows) return 0;
  return rows->GetBlob(-1, 0, pattern);
}

int ActivityStore::WithConnection(int (*work)(Database& database, void* context), void* context) {
  SectionLock hold(lock_);
  if (!work || !database_.IsOpen()) return 0;
  return work(database_, context);
}

int ActivityStore::WithWritableConnection(int (*work)(Database& database, void* context), void* context) {
  SectionLock hold(lock_);
  if (!work || !database_.IsOpen() || readOnly_) return 0;
  return work(database_, context);
}

bool ActivityStore::IsReadOnly() {
  SectionLock hold(lock_);
  return database_.IsOpen() && readOnly_;
}

unsigned ActivityStore::RunsStored() {
  SectionLock hold(lock_);
  return stored_;
}

unsigned ActivityStore::RunsFailed() {
  SectionLock hold(lock_);
  return failed_;
}

int ActivityStore::QueryText(const wchar_t* sql, WideString& value) {
  SectionLock hold(lock_);
  QueryResult rows = database_.Query(sql);
  if (!rows) return 0;
  return rows->GetText(-1, 0, value);
}
