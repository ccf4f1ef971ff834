#include "app/store/ActivityStore.h"

#include <windows.h>

#include "app/store/RunLabel.h"
#include "app/tracker/TrackerList.h"
#include "core/ProgramFolder.h"
#include "core/SystemErrorText.h"

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

// A file left where it is: nothing is stored this time.
void DescribeUnusedFile(const wchar_t* path, const StoreFileVerdict& verdict, WideString& notice) {
  WideString reason;
  if (verdict.systemError) SystemErrorText(verdict.systemError, reason);
  WideString problem;
  if (verdict.state == StoreFileInUse || reason.IsEmpty()) {
    problem.Assign(verdict.problem.IsEmpty() ? L"could not be opened" : verdict.problem.CStr());
  } else {
    problem.Format(L"%s (%s)", verdict.problem.CStr(), reason.CStr());
  }
  const wchar_t* after = verdict.state == StoreFileInUse
                             ? L"Downloaded runs cannot be stored until that program closes it and Pellton is started "
                               L"again."
                             : L"Downloaded runs cannot be stored.";
  notice.Format(L"The file %s %s. %s", path, problem.CStr(), after);
}

// A file that should have gone aside but could not be moved.
void DescribeUnmovedFile(const wchar_t* path, const StoreFileVerdict& verdict, DWORD error, WideString& notice) {
  WideString reason;
  SystemErrorText(error, reason);
  notice.Format(L"The file %s %s and could not be moved aside (%s). It is left as it is; downloaded "
                L"runs cannot be stored until it is moved or deleted.",
                path, verdict.problem.CStr(), reason.CStr());
}

void DescribeMovedFile(const wchar_t* path, const StoreFileVerdict& verdict, const StoreOpening& opening, int fresh,
                       WideString& notice) {
  WideString what;
  if (!fresh) {
    what.Assign(L"A new one could not be made: downloaded runs cannot be stored.");
  } else if (opening.rescued.copyError) {
    WideString reason;
    SystemErrorText(opening.rescued.copyError, reason);
    what.Format(L"A new, empty %s was begun: the runs in the old file could not be copied (%s).",
                ActivityStore::FileName, reason.CStr());
  } else if (opening.rescued.unstored) {
    // The disk refused them: the old file is where they still are.
    what.Format(L"A new %s was begun with %u runs; %u more runs read from the old file could not be written into "
                L"it and are still in the old file only.",
                ActivityStore::FileName, opening.rescued.copied, opening.rescued.unstored);
  } else if (opening.rescued.copied == 0) {
    what.Format(L"A new, empty %s was begun: no run could be read from the old file.", ActivityStore::FileName);
  } else if (opening.rescued.cut || opening.rescued.refused) {
    what.Format(L"A new %s was begun with the %u runs that could still be read; the damaged part could not be read.",
                ActivityStore::FileName, opening.rescued.copied);
  } else {
    what.Format(L"A new %s was begun with all %u runs it held.", ActivityStore::FileName, opening.rescued.copied);
  }
  notice.Format(L"The file %s %s. It was moved to %s and is kept there unchanged. %s", path,
                verdict.problem.CStr(), opening.asidePath.CStr(), what.CStr());
}

// Nothing can be written where the file is: what cannot be written and
// why, whether its runs are shown, and how to get them stored.
void DescribeReadOnly(const wchar_t* path, DWORD error, bool fileItself, bool exists, const wchar_t* unshown,
                      WideString& notice) {
  WideString reason, folder, what, shown;
  SystemErrorText(error, reason);
  folder.Assign(path);
  folder.Left(folder.FindLastChar(L'\\'));
  if (fileItself) {
    what.Format(L"The file %s cannot be written (%s).", path, reason.CStr());
  } else {
    what.Format(L"Pellton cannot write in the folder %s (%s).", folder.CStr(), reason.CStr());
  }
  if (!exists) {
    shown.Assign(L"Downloaded runs cannot be stored.");
  } else if (unshown) {
    shown.Format(L"The runs stored in %s cannot be shown either: it %s. Downloaded runs cannot be stored.", path,
                 unshown);
  } else {
    shown.Format(L"The runs stored in %s are shown, but downloaded runs cannot be stored.", path);
  }
  WideString remedy;
  if (fileItself) {
    remedy.Assign(L"To store them, make the file writable (clear its read-only attribute or change its permissions) "
                  L"and start Pellton again.");
  } else {
    remedy.Format(L"To store them, close Pellton, move the program%s%s into a folder of your own (for example in "
                  L"Documents) and start it from there.",
                  exists ? L" together with " : L"", exists ? ActivityStore::FileName : L"");
  }
  notice.Format(L"%s %s %s", what.CStr(), shown.CStr(), remedy.CStr());
}

bool KnownTable(int table) { return table == WalkingTable || table == SleepingTable; }

}  // namespace

ActivityStore::~ActivityStore() { Close(); }

void ActivityStore::SetTrackers(TrackerList* trackers) {
  SectionLock hold(lock_);
  trackers_ = trackers;
}

int ActivityStore::Open(const wchar_t* folder) {
  SectionLock hold(lock_);
  CloseDatabase();
  stored_ = 0;
  failed_ = 0;
  opening_ = StoreOpening();
  WideString where;
  if (folder && *folder) {
    if (!where.Assign(folder)) return 0;
    if (!where.EnsureTrailing(L'\\')) return 0;
  } else if (!ProgramFolder(where)) {
    return 0;
  }
  if (!path_.Format(L"%s%s", where.CStr(), FileName)) return 0;
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
  if (!path || !*path) return 0;
  DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
  if (!needed || !path_.Reset(needed + 1) || !GetFullPathNameW(path, needed + 1, path_.Buffer(), nullptr)) return 0;
  path_.UpdateLength();
  SYSTEMTIME now;
  GetLocalTime(&now);
  return OpenChecked(now);
}

int ActivityStore::OpenChecked(const SYSTEMTIME& now) {
  DWORD refusal = 0;
  bool fileItself = false;
  if (!MayWriteStoreFile(path_.CStr(), refusal, fileItself)) return OpenReadOnly(refusal, fileItself);
  StoreFileVerdict verdict;
  if (!CheckStoreFile(path_.CStr(), verdict)) {
    verdict.state = StoreFileUnreadable;
    verdict.problem.Assign(L"could not be read");
    verdict.systemError = ERROR_NOT_ENOUGH_MEMORY;
  }
  opening_.state = verdict.state;
  if (verdict.state == StoreFileInUse || verdict.state == StoreFileUnreadable) {
    DescribeUnusedFile(path_.CStr(), verdict, opening_.notice);
    return 0;
  }
  if (!StoreFileGoesAside(verdict.state)) {
    if (OpenConnection()) return 1;
    verdict.problem.Assign(verdict.state == StoreFileMissing ? L"could not be made"
                                                              : L"could not be prepared for new runs");
    DescribeUnusedFile(path_.CStr(), verdict, opening_.notice);
    return 0;
  }
  DWORD error = 0;
  if (!MoveStoreFileAside(path_.CStr(), now, opening_.asidePath, error)) {
    DescribeUnmovedFile(path_.CStr(), verdict, error, opening_.notice);
    opening_.asidePath.Assign(L"");
    return 0;
  }
  opening_.movedAside = true;
  int ok = OpenConnection();
  if (ok) CopyReadableRuns(opening_.asidePath.CStr(), *this, opening_.rescued);
  // The copies are not the user's downloads.
  stored_ = 0;
  failed_ = 0;
  DescribeMovedFile(path_.CStr(), verdict, opening_, ok, opening_.notice);
  return ok;
}

int ActivityStore::OpenReadOnly(DWORD refusal, bool fileItself) {
  // Reading the file in place would need its journal and index beside it:
  // it is read from a copy in the temporary folder instead, which is looked
  // at as the file itself would be. The file is never written.
  readOnly_ = true;
  const bool exists = GetFileAttributesW(path_.CStr()) != INVALID_FILE_ATTRIBUTES;
  opening_.state = exists ? StoreFileUnreadable : StoreFileMissing;
  WideString unshown;
  if (exists && !CopyStoreFileToTemp(path_.CStr(), workingCopy_)) {
    WideString reason;
    SystemErrorText(GetLastError(), reason);
    unshown.Format(L"could not be copied to be read (%s)", reason.CStr());
  } else if (exists) {
    StoreFileVerdict verdict;
    if (!CheckStoreFile(workingCopy_.CStr(), verdict)) verdict.problem.Assign(L"could not be read");
    opening_.state = verdict.state;
    if (verdict.state != StoreFileUsable) {
      unshown.Assign(verdict.problem);
    } else if (!OpenConnection(workingCopy_.CStr())) {
      unshown.Assign(L"could not be read");
    }
  }
  DescribeReadOnly(path_.CStr(), refusal, fileItself, exists, unshown.IsEmpty() ? nullptr : unshown.CStr(),
                   opening_.notice);
  if (unshown.IsEmpty()) return exists;
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
  database_.Close();
  if (!workingCopy_.IsEmpty()) RemoveStoreFileCopy(workingCopy_);
  workingCopy_.Assign(L"");
  readOnly_ = false;
}

bool ActivityStore::IsOpen() {
  SectionLock hold(lock_);
  return database_.IsOpen();
}

int ActivityStore::IsAddressText(const wchar_t* address) {
  if (!address) return 0;
  for (int i = 0; i < 17; ++i) {
    wchar_t c = address[i];
    if (i % 3 == 2) {
      if (c != L':') return 0;
    } else if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) {
      return 0;
    }
  }
  return address[17] == 0;
}

int ActivityStore::AddressOf(int trackerIndex, WideString& address) {
  TrackerList* trackers;
  {
    SectionLock hold(lock_);
    trackers = trackers_;
  }
  return trackers && trackers->GetTrackerAddress(trackerIndex, address);
}

int ActivityStore::InsertRun(int table, const wchar_t* address, unsigned start, const ByteBuffer& pattern) {
  SectionLock hold(lock_);
  WideString sql;
  int ok = !readOnly_ && KnownTable(table) && IsAddressText(address) &&
           sql.Format(L"INSERT OR REPLACE INTO `%s` (`mac`,`start`,`pattern`) VALUES ('%s','%u',@001);",
                      kTableNames[table], address, start);
  if (ok) {
    BlobParameters blobs;
    blobs.parameters[0] = &pattern;
    ok = database_.Execute(sql.CStr(), nullptr, &blobs);
  }
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

int ActivityStore::InsertWalking(int trackerIndex, unsigned start, const ByteBuffer& pattern) {
  WideString address;
  if (!AddressOf(trackerIndex, address)) {
    SectionLock hold(lock_);
    ++failed_;
    return 0;
  }
  return InsertRun(WalkingTable, address.CStr(), start, pattern);
}

int ActivityStore::InsertSleeping(int trackerIndex, unsigned start, const ByteBuffer& pattern) {
  WideString address;
  if (!AddressOf(trackerIndex, address)) {
    SectionLock hold(lock_);
    ++failed_;
    return 0;
  }
  return InsertRun(SleepingTable, address.CStr(), start, pattern);
}

int ActivityStore::StoreWalkingRun(int trackerIndex, unsigned start, const ByteBuffer& pattern) {
  return InsertWalking(trackerIndex, start, pattern);
}

int ActivityStore::StoreSleepingRun(int trackerIndex, unsigned start, const ByteBuffer& pattern) {
  return InsertSleeping(trackerIndex, start, pattern);
}

int ActivityStore::ListRunsOf(const wchar_t* address, int table, std::vector<StoredRun>& runs) {
  runs.clear();
  if (!KnownTable(table) || !IsAddressText(address)) return 0;
  WideString sql;
  if (!sql.Format(L"SELECT start FROM `%s` WHERE mac='%s' ORDER BY start ASC;", kTableNames[table], address)) {
    return 0;
  }
  std::vector<unsigned> starts;
  {
    SectionLock hold(lock_);
    if (!database_.IsOpen()) return 0;
    // No row is no result set, as is a failed query: both list nothing.
    QueryResult rows = database_.Query(sql.CStr());
    if (rows) {
      do {
        int start = 0;
        if (rows->GetInt(-1, 0, start)) starts.push_back(static_cast<unsigned>(start));
      } while (rows->MoveNext());
    }
  }
  runs.resize(starts.size());
  RunLabelFormat labels;
  for (size_t i = 0; i < starts.size(); ++i) {
    runs[i].start = starts[i];
    labels.Format(starts[i], runs[i].label);
  }
  return 1;
}

int ActivityStore::ListRuns(int trackerIndex, int table, std::vector<StoredRun>& runs) {
  runs.clear();
  WideString address;
  if (!AddressOf(trackerIndex, address)) return 0;
  return ListRunsOf(address.CStr(), table, runs);
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

int ActivityStore::ReadPattern(int table, int trackerIndex, unsigned start, ByteBuffer& pattern) {
  WideString address;
  if (!AddressOf(trackerIndex, address)) return 0;
  return ReadPattern(table, address.CStr(), start, pattern);
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
