#!/bin/sh
# A file the program writes under Wine opens with SQLite's command-line tool
# on Linux and shows the rows, from the main file alone: Close must have
# written the write-ahead journal back.
#   database-interop.sh <wine-run> <writer.exe> <sqlite3 tool> <scratch folder>
set -u
wine_run=$1 writer=$2 tool=$3 dir=$4
fail() { echo "FAIL: $*" >&2; exit 1; }

[ -x "$tool" ] || fail "$tool is missing (Debian package sqlite3; tools/setup-machine.sh installs it)"
rm -rf "$dir" && mkdir -p "$dir" || fail "cannot make $dir"

"$wine_run" "$writer" "Z:$dir/Pellton.sql" </dev/null
rc=$?
[ $rc -eq 0 ] || fail "the writer ended with $rc"
[ -s "$dir/Pellton.sql" ] || fail "no database file was written"
[ ! -e "$dir/Pellton.sql-wal" ] || fail "the write-ahead journal is still there after Close"

# Only the main file is looked at.
mkdir -p "$dir/copy" && cp "$dir/Pellton.sql" "$dir/copy/Pellton.sql" || fail "cannot copy the file"
db="$dir/copy/Pellton.sql"

check() {
  got=$("$tool" -batch -bail "$db" "$1" 2>&1) || fail "$tool: $got"
  [ "$got" = "$2" ] || fail "$1
expected:
$2
got:
$got"
}
check "PRAGMA integrity_check;" "ok"
check "PRAGMA journal_mode;" "wal"
check "SELECT mac, start, hex(pattern) FROM sleeping ORDER BY start;" "00:1A:7D:DA:71:13|1401580800|0001FEFF
00:1A:7D:DA:71:13|1401667200|10203040"
check "SELECT mac, start, hex(pattern), typeof(pattern) FROM walking;" "00:1A:7D:DA:71:13|1401580800|DEADBEEF|blob"
check "SELECT name FROM sqlite_master WHERE type='index' ORDER BY name;" "sleeping_start
walking_start"
rm -rf "$dir"
echo "database interop: 5 checks passed"
