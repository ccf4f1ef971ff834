#include "tests/reliability/FailingDiskVfs.h"

#include <windows.h>
#include <sqlite3.h>

#include <cstring>

#include "core/Database.h"

namespace {

sqlite3_vfs* g_system = nullptr;
sqlite3_vfs g_shim;
volatile LONG g_armed = 0;
volatile LONG g_kind = FailWrites;
volatile LONG g_countdown = 0;
volatile LONG g_failures = 0;
volatile LONG g_calls[2] = {0, 0};

// A file of the shim: the system's file follows it in the same block.
struct ShimFile {
  sqlite3_file base;
  sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

bool FailNow(FailingDiskCall kind) {
  InterlockedIncrement(&g_calls[kind]);
  if (!g_armed || g_kind != kind) return false;
  if (InterlockedDecrement(&g_countdown) > 0) return false;
  InterlockedIncrement(&g_failures);
  return true;
}

ShimFile* Shim(sqlite3_file* file) { return reinterpret_cast<ShimFile*>(file); }

int Close(sqlite3_file* f) { return Shim(f)->real()->pMethods->xClose(Shim(f)->real()); }
int Read(sqlite3_file* f, void* b, int n, sqlite3_int64 o) { return Shim(f)->real()->pMethods->xRead(Shim(f)->real(), b, n, o); }
int Write(sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
  if (FailNow(FailWrites)) return SQLITE_FULL;
  return Shim(f)->real()->pMethods->xWrite(Shim(f)->real(), b, n, o);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  if (FailNow(FailWrites)) return SQLITE_IOERR_TRUNCATE;
  return Shim(f)->real()->pMethods->xTruncate(Shim(f)->real(), size);
}
int Sync(sqlite3_file* f, int flags) {
  if (FailNow(FailSyncs)) return SQLITE_IOERR_FSYNC;
  return Shim(f)->real()->pMethods->xSync(Shim(f)->real(), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) { return Shim(f)->real()->pMethods->xFileSize(Shim(f)->real(), size); }
int Lock(sqlite3_file* f, int l) { return Shim(f)->real()->pMethods->xLock(Shim(f)->real(), l); }
int Unlock(sqlite3_file* f, int l) { return Shim(f)->real()->pMethods->xUnlock(Shim(f)->real(), l); }
int CheckReservedLock(sqlite3_file* f, int* out) { return Shim(f)->real()->pMethods->xCheckReservedLock(Shim(f)->real(), out); }
int FileControl(sqlite3_file* f, int op, void* arg) { return Shim(f)->real()->pMethods->xFileControl(Shim(f)->real(), op, arg); }
int SectorSize(sqlite3_file* f) { return Shim(f)->real()->pMethods->xSectorSize(Shim(f)->real()); }
int DeviceCharacteristics(sqlite3_file* f) { return Shim(f)->real()->pMethods->xDeviceCharacteristics(Shim(f)->real()); }
int ShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
  return Shim(f)->real()->pMethods->xShmMap(Shim(f)->real(), page, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) { return Shim(f)->real()->pMethods->xShmLock(Shim(f)->real(), offset, n, flags); }
void ShmBarrier(sqlite3_file* f) { Shim(f)->real()->pMethods->xShmBarrier(Shim(f)->real()); }
int ShmUnmap(sqlite3_file* f, int remove) { return Shim(f)->real()->pMethods->xShmUnmap(Shim(f)->real(), remove); }

const sqlite3_io_methods kMethods = {
    2, Close, Read, Write, Truncate, Sync, FileSize, Lock, Unlock, CheckReservedLock, FileControl,
    SectorSize, DeviceCharacteristics, ShmMap, ShmLock, ShmBarrier, ShmUnmap, nullptr, nullptr};

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  ShimFile* shim = Shim(file);
  shim->base.pMethods = nullptr;
  int rc = g_system->xOpen(g_system, name, shim->real(), flags, outFlags);
  if (rc == SQLITE_OK && shim->real()->pMethods) shim->base.pMethods = &kMethods;
  return rc;
}

int Delete(sqlite3_vfs*, const char* name, int syncDir) { return g_system->xDelete(g_system, name, syncDir); }
int Access(sqlite3_vfs*, const char* name, int flags, int* out) { return g_system->xAccess(g_system, name, flags, out); }
int FullPathname(sqlite3_vfs*, const char* name, int n, char* out) { return g_system->xFullPathname(g_system, name, n, out); }
void* DlOpen(sqlite3_vfs*, const char* name) { return g_system->xDlOpen(g_system, name); }
void DlError(sqlite3_vfs*, int n, char* out) { g_system->xDlError(g_system, n, out); }
void (*DlSym(sqlite3_vfs*, void* handle, const char* name))(void) { return g_system->xDlSym(g_system, handle, name); }
void DlClose(sqlite3_vfs*, void* handle) { g_system->xDlClose(g_system, handle); }
int Randomness(sqlite3_vfs*, int n, char* out) { return g_system->xRandomness(g_system, n, out); }
int SleepFor(sqlite3_vfs*, int micro) { return g_system->xSleep(g_system, micro); }
int CurrentTime(sqlite3_vfs*, double* out) { return g_system->xCurrentTime(g_system, out); }
int LastError(sqlite3_vfs*, int n, char* out) { return g_system->xGetLastError ? g_system->xGetLastError(g_system, n, out) : 0; }
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) { return g_system->xCurrentTimeInt64(g_system, out); }

}  // namespace

int FailingDisk::Install() {
  if (g_system) return 1;
  // The database wrapper shuts SQLite down when its last connection
  // closes, and SQLite then makes its own VFS the default again: one
  // connection kept for the whole process keeps the shim in place.
  static Database keepAlive;
  if (!keepAlive.Open(L":memory:", 1, 0, 0)) return 0;
  g_system = sqlite3_vfs_find(nullptr);
  if (!g_system) return 0;
  memset(&g_shim, 0, sizeof g_shim);
  g_shim.iVersion = 2;
  g_shim.szOsFile = static_cast<int>(sizeof(ShimFile)) + g_system->szOsFile;
  g_shim.mxPathname = g_system->mxPathname;
  g_shim.zName = "pellton-failing-disk";
  g_shim.xOpen = Open;
  g_shim.xDelete = Delete;
  g_shim.xAccess = Access;
  g_shim.xFullPathname = FullPathname;
  g_shim.xDlOpen = DlOpen;
  g_shim.xDlError = DlError;
  g_shim.xDlSym = DlSym;
  g_shim.xDlClose = DlClose;
  g_shim.xRandomness = Randomness;
  g_shim.xSleep = SleepFor;
  g_shim.xCurrentTime = CurrentTime;
  g_shim.xGetLastError = LastError;
  g_shim.xCurrentTimeInt64 = CurrentTimeInt64;
  return sqlite3_vfs_register(&g_shim, 1) == SQLITE_OK;
}

void FailingDisk::Arm(FailingDiskCall kind, unsigned n) {
  InterlockedExchange(&g_armed, 0);
  InterlockedExchange(&g_kind, kind);
  InterlockedExchange(&g_countdown, static_cast<LONG>(n));
  InterlockedExchange(&g_failures, 0);
  InterlockedExchange(&g_armed, 1);
}

void FailingDisk::Recover() { InterlockedExchange(&g_armed, 0); }

unsigned FailingDisk::Failures() { return static_cast<unsigned>(g_failures); }

unsigned FailingDisk::Calls(FailingDiskCall kind) { return static_cast<unsigned>(g_calls[kind]); }
