// The activity database: every downloaded walking and sleeping run, one row
// each in the tables `walking` and `sleeping` of "Pellton.sql" beside the
// program, keyed by the tracker's address text and the run's start (Unix
// seconds of the tracker's UTC clock). Downloading a run again replaces its
// row. The store also lists a tracker's runs for the date lists and reads
// one run's pattern back for the charts. It knows trackers only by their
// address text; which tracker of a search that is, is the worker's business.
//
// The file is opened with the write-ahead journal, synchronous NORMAL (a
// power cut loses at most the last runs written, never the file) and the
// exclusive lock (no other program uses the file while this one runs; the
// journal "Pellton.sql-wal" lies beside it until Close).
//
// Threads: the worker thread inserts, the window thread lists runs and
// reads patterns, on one connection. Every statement, together with the
// reading of its rows, runs under the store's own lock, so statements never
// interleave and a result set never crosses threads. No window call is made
// under the lock (a date list is filled from the runs listed before).
//
// The store says what it found and did (StoreOpening), never how to put
// that to the user: the window and the data commands word it
// (app/window/StoreNotice).
#pragma once

#include <vector>

#include "app/store/RunKey.h"
#include "app/store/StoreFileCheck.h"
#include "app/store/StoreRescue.h"
#include "core/ByteBuffer.h"
#include "core/CriticalSection.h"
#include "core/Database.h"
#include "core/WideString.h"

class SettingsStore;

// One run as a date list shows it.
struct StoredRun {
  unsigned start = 0;
  WideString label;
  unsigned end = 0;  // start plus the time its pattern covers
};

// What the last Open did with the file.
enum StoreOpenOutcome : int {
  StoreOpenedAsFound,  // used as it was, or a missing file made: nothing to tell
  StoreLeftAlone,      // in use by another program, or unreadable: nothing opened
  StoreNotReady,       // missing or usable, but it could not be made or prepared for new runs: nothing stored
  StoreNotMoved,       // it had to go aside but could not be moved (systemError): left as it is, nothing opened
  StoreMovedAside,     // moved to asidePath; a new file begun (opened) with the runs rescued from it
  StoreReadOnly,       // nothing can be written where it is (systemError): its runs are read from a copy
  // The file could not even be named: the program's folder is not known or
  // too long, or no usable path was given (systemError; Path() is the file
  // when it is known, else empty). Nothing opened.
  StoreNotOpened,
};

// How the last Open found the file: facts for the window to tell the user.
struct StoreOpening {
  StoreOpenOutcome outcome = StoreOpenedAsFound;
  StoreFileState state = StoreFileMissing;
  // What the look at the file found wrong (StoreFileVerdict::problem); with
  // StoreReadOnly, what is wrong with the copy its runs are read from.
  WideString problem;
  // The system's error code behind the outcome: the look's (StoreLeftAlone),
  // the move's (StoreNotMoved), the refusal to write (StoreReadOnly), what
  // kept the file from being named or reached (StoreNotOpened; may be 0).
  unsigned long systemError = 0;
  bool opened = false;      // a file is open: its runs can be listed
  bool writable = false;    // and downloaded runs can be stored in it (what Open answers)
  bool fileItself = false;  // StoreReadOnly: the file cannot be written, rather than its folder
  bool fileExists = false;  // StoreReadOnly: there is a file to read
  unsigned long copyError = 0;  // StoreReadOnly: no copy to read it from could be made
  bool movedAside = false;  // the file was moved to asidePath and a new one begun
  WideString asidePath;
  RescueTally rescued;      // the runs copied from the moved file
};

class ActivityStore {
public:
  static const wchar_t FileName[];  // "Pellton.sql"

  ActivityStore() = default;
  ~ActivityStore();
  ActivityStore(const ActivityStore&) = delete;
  ActivityStore& operator=(const ActivityStore&) = delete;

  // Opens "Pellton.sql" in the folder (none: the folder holding the program
  // file), creating the file and whatever tables and indexes are missing,
  // all in one transaction. A table found without its unique index (a first
  // start cut short by an older make) loses its duplicate rows and gets it.
  // 1 when the file is open with both tables and their indexes; 0 otherwise
  // (every later insert then fails, and is counted as failed; the runs the
  // file holds may still be listed and read).
  //
  // An existing file is looked at first without writing to it. A damaged
  // file, a file that is no SQLite database, or one whose tables cannot
  // take runs is moved aside under a new name and a new file is begun with
  // every run that can still be read from the old one; a file in use by
  // another program or unreadable is left alone and nothing is opened.
  // Other tables and extra columns are used as they are. A file that cannot
  // be written, or whose folder takes no journal, is read from a copy in the
  // temporary folder and nothing is stored: 1 when its runs can be listed.
  // Opening() tells what was found.
  int Open(const wchar_t* folder = nullptr);
  // The same for a database file of another name or place (a full or
  // relative path; its folder must exist).
  int OpenFile(const wchar_t* path);
  const StoreOpening& Opening() const { return opening_; }
  // The settings that keep the fingerprint of the file this store closed
  // cleanly last ("StoreChecked"; none: nothing is kept, every opening reads
  // the file through). An opening for writing removes it first; a clean
  // close (the journal gone back into the file) writes it; an opening that
  // finds the file as it was recorded skips reading it through. The
  // settings must outlive the store's last Close.
  void KeepCheckIn(SettingsStore* settings) { settings_ = settings; }
  void Close();
  bool IsOpen();
  const WideString& Path() const { return path_; }

  // Stores a run of the tracker with the address text
  // ("%02X:%02X:%02X:%02X:%02X:%02X"; anything else is refused), replacing
  // the row with the same address and start. 1 when the row is written;
  // changed (when given) is set when the table did not hold the run with
  // this very pattern before (a new run, or one that has grown).
  int InsertRun(int table, const wchar_t* address, unsigned start, const ByteBuffer& pattern,
                bool* changed = nullptr);

  // The tracker's runs in the table, oldest first, with their ends and
  // their labels grouped by day (LabelRunsByDay). 1 when the query ran (the list may be empty), 0 for no
  // address or a failed query (runs emptied).
  int ListRunsOf(const wchar_t* address, int table, std::vector<StoredRun>& runs);
  // The same for the tracker's newest runs only, at most limit of them read
  // through the index (mac, start) and cut back to whole local days (the
  // days' places in the labels are right): what a date list shows at once
  // while the whole list is read. complete: the tracker has no other runs.
  // A newest day of more than limit runs is listed with those read.
  int ListNewestRunsOf(const wchar_t* address, int table, unsigned limit, std::vector<StoredRun>& runs,
                       bool& complete);

  // Appends the pattern of the tracker's run starting at start to the
  // buffer (empty it first). 1 when the run was found.
  int ReadPattern(int table, const wchar_t* address, unsigned start, ByteBuffer& pattern);

  // Inserts since Open: written and refused (a refused one is a run lost).
  unsigned RunsStored();
  unsigned RunsFailed();

  // The first column of the first row of a statement as text (for checks
  // of the connection's settings, "PRAGMA journal_mode;"); 1/0.
  int QueryText(const wchar_t* sql, WideString& value);

  // The inserts between BeginRuns and EndRuns (a download's runs) go into
  // one transaction (one commit instead of one per run); the calling thread
  // holds the store's lock from BeginRuns to EndRuns. When the commit fails
  // the transaction is rolled back and its runs count as failed; EndRuns
  // answers how many. So do the runs written before an insert that made
  // SQLite end the transaction by itself.
  void BeginRuns();
  unsigned EndRuns();
  // A commit with synchronous NORMAL may sit in the write-ahead journal
  // until the system writes it out: this copies the journal into the file
  // and waits for the disk (both synced). 1 when done.
  int SecureRuns();

  // Runs work on the store's connection under the store's lock, so that no
  // other statement of the store runs meanwhile (a download's runs are
  // stored wholly before or after it); for copies, exports and merges of
  // the whole file. 0 when the store is not open, else what work answers.
  int WithConnection(int (*work)(Database& database, void* context), void* context);
  // The same for work that writes: 0 as well when the store is read-only
  // (its connection is then a temporary copy that goes when it closes).
  int WithWritableConnection(int (*work)(Database& database, void* context), void* context);
  bool IsReadOnly();

private:
  // The rows (start, length(pattern)) of the query as runs, in its order.
  int ReadRuns(const wchar_t* sql, int table, std::vector<StoredRun>& runs);
  int EnsureTables();
  int NotOpened(unsigned long error);  // StoreNotOpened with the system's error; 0
  int OpenChecked(const SYSTEMTIME& now);  // under the lock
  int OpenReadOnly(DWORD refusal, bool fileItself);  // under the lock
  int OpenConnection(const wchar_t* file = nullptr);  // the file (none: path_), with its tables
  void CloseDatabase();  // under the lock

  void RecordCleanClose();  // under the lock, after the connection closed

  CriticalSection lock_;  // every statement and the reading of its rows
  SettingsStore* settings_ = nullptr;
  bool recordOnClose_ = false;  // the file itself is open for writing: a clean close is recorded
  Database database_;
  WideString path_;
  WideString workingCopy_;  // read-only: the copy of the file that is read
  StoreOpening opening_;
  unsigned stored_ = 0;
  unsigned failed_ = 0;
  int batchDepth_ = 0;       // BeginRuns without EndRuns yet
  bool readOnly_ = false;    // nothing is stored: the file cannot be written, or its tables made ready
  bool batchOpen_ = false;   // the transaction began
  unsigned batchStored_ = 0;  // runs written inside it
  unsigned batchLost_ = 0;    // runs of this download taken back with a transaction SQLite ended
};
