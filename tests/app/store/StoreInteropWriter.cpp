// Opens the activity store in the folder given on the command line (a fresh
// Pellton.sql), stores two runs and closes it, for store-interop.sh to read
// with the Linux sqlite3 tool. While open, it checks that the write-ahead
// journal lies beside the file. Exit code 0 on success.
#include <windows.h>

#include <cstdio>

#include "app/store/ActivityStore.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fwprintf(stderr, L"usage: store_interop_writer <folder>\n");
    return 2;
  }
  ActivityStore store;
  if (!store.Open(argv[1])) {
    fwprintf(stderr, L"cannot open the store in %ls\n", argv[1]);
    return 1;
  }
  ByteBuffer walking, sleeping;
  const unsigned char walk[] = {0x00, 0x05, 0x00, 0x01, 0x00, 0x02};
  const unsigned char night[] = {0xAA, 0x55, 0x55, 0xAA};
  BufferAppend(walking, walk, sizeof walk);
  BufferAppend(sleeping, night, sizeof night);
  int ok = store.InsertRun(WalkingTable, L"00:1A:7D:DA:71:13", 1401581700u, walking) &&
           store.InsertRun(SleepingTable, L"00:1A:7D:DA:71:13", 1401581040u, sleeping);
  WideString journal;
  journal.Format(L"%s-wal", store.Path().CStr());
  bool journalThere = GetFileAttributesW(journal.CStr()) != INVALID_FILE_ATTRIBUTES;
  store.Close();
  BufferClear(walking);
  BufferClear(sleeping);
  if (!ok) {
    fwprintf(stderr, L"an insert failed\n");
    return 1;
  }
  if (!journalThere) {
    fwprintf(stderr, L"no write-ahead journal beside the open file\n");
    return 1;
  }
  return 0;
}
