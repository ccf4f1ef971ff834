// Writes an activity file the way the program does (exclusive lock,
// write-ahead journal, BLOB parameters) for the check that the file opens
// with SQLite's own command-line tool on another system.
//   database_interop_writer <file>
// Exit code 0 when every statement succeeded.
#include <windows.h>

#include <cstdio>

#include "core/Database.h"
#include "core/WideString.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fputs("usage: database_interop_writer <file>\n", stderr);
    return 2;
  }
  WideString path;
  if (!path.AssignNarrow(argv[1])) return 2;

  Database db;
  if (!db.Open(path.CStr(), 0, 1, 1)) return 3;
  const wchar_t* schema[] = {
      L"CREATE TABLE IF NOT EXISTS `sleeping` (  `id` INTEGER PRIMARY KEY AUTOINCREMENT,  "
      L"`mac` varchar(20) NOT NULL,  `start` INTEGER,  `pattern` BLOB NOT NULL);",
      L"CREATE UNIQUE INDEX sleeping_start ON sleeping (mac, start);",
      L"CREATE TABLE IF NOT EXISTS `walking` (  `id` INTEGER PRIMARY KEY AUTOINCREMENT,  "
      L"`mac` varchar(20) NOT NULL,  `start` INTEGER,  `pattern` BLOB NOT NULL);",
      L"CREATE UNIQUE INDEX walking_start ON walking (mac, start);",
  };
  for (const wchar_t* sql : schema)
    if (!db.Execute(sql)) return 4;

  struct Run {
    const wchar_t* table;
    const wchar_t* mac;
    unsigned start;
    unsigned char pattern[4];
  };
  const Run runs[] = {
      {L"sleeping", L"00:1A:7D:DA:71:13", 1401580800u, {0x00, 0x01, 0xFE, 0xFF}},
      {L"sleeping", L"00:1A:7D:DA:71:13", 1401667200u, {0x10, 0x20, 0x30, 0x40}},
      {L"walking", L"00:1A:7D:DA:71:13", 1401580800u, {0xDE, 0xAD, 0xBE, 0xEF}},
  };
  for (const Run& run : runs) {
    ByteBuffer pattern;
    if (!BufferAppend(pattern, run.pattern, sizeof run.pattern)) return 5;
    WideString sql;
    sql.Format(L"INSERT OR REPLACE INTO `%s` (`mac`,`start`,`pattern`) VALUES ('%s','%u',@001);",
               run.table, run.mac, run.start);
    BlobParameters parameters;
    parameters.parameters[0] = &pattern;
    int ok = db.Execute(sql.CStr(), nullptr, &parameters);
    BufferClear(pattern);
    if (!ok) return 6;
  }
  db.Close();
  return 0;
}
