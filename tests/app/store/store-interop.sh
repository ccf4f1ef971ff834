#!/bin/sh
# A fresh Pellton.sql written by the activity store under Wine, read with
# the Linux sqlite3 tool: its schema is exactly what the store's CREATE
# statements make, the journal mode stays wal, the rows are there, and the
# journal beside it is gone after Close.
#   store-interop.sh <wine-run> <writer.exe> <sqlite3 tool> <scratch folder>
set -u
wine_run=$1 writer=$2 tool=$3 dir=$4
fail() { echo "FAIL: $*" >&2; exit 1; }

[ -x "$tool" ] || fail "$tool is missing (Debian package sqlite3; tools/setup-machine.sh installs it)"
rm -rf "$dir" && mkdir -p "$dir" || fail "cannot make $dir"

"$wine_run" "$writer" "Z:$dir" </dev/null
rc=$?
[ $rc -eq 0 ] || fail "the writer ended with $rc"
db="$dir/Pellton.sql"
[ -s "$db" ] || fail "no database file was written"
[ ! -e "$db-wal" ] || fail "the write-ahead journal is still there after Close"

# The statements the store issues, as sqlite3 keeps them (without IF NOT
# EXISTS), and the sequence table AUTOINCREMENT adds.
expected='CREATE TABLE `sleeping` (  `id` INTEGER PRIMARY KEY AUTOINCREMENT,  `mac` varchar(20) NOT NULL,  `start` INTEGER,  `pattern` BLOB NOT NULL);
CREATE TABLE sqlite_sequence(name,seq);
CREATE UNIQUE INDEX sleeping_start ON sleeping (mac, start);
CREATE TABLE `walking` (  `id` INTEGER PRIMARY KEY AUTOINCREMENT,  `mac` varchar(20) NOT NULL,  `start` INTEGER,  `pattern` BLOB NOT NULL);
CREATE UNIQUE INDEX walking_start ON walking (mac, start);'

# The same statements run by the Linux tool on a file of its own.
reference="$dir/reference.sql"
"$tool" -batch -bail "$reference" 'CREATE TABLE IF NOT EXISTS `sleeping` (  `id` INTEGER PRIMARY KEY AUTOINCREMENT,  `mac` varchar(20) NOT NULL,  `start` INTEGER,  `pattern` BLOB NOT NULL);
CREATE UNIQUE INDEX sleeping_start ON sleeping (mac, start);
CREATE TABLE IF NOT EXISTS `walking` (  `id` INTEGER PRIMARY KEY AUTOINCREMENT,  `mac` varchar(20) NOT NULL,  `start` INTEGER,  `pattern` BLOB NOT NULL);
CREATE UNIQUE INDEX walking_start ON walking (mac, start);' || fail "cannot build the reference file"

check() {
  got=$("$tool" -batch -bail "$db" "$1" 2>&1) || fail "$tool: $got"
  [ "$got" = "$2" ] || fail "$1
expected:
$2
got:
$got"
}
check ".schema" "$expected"
check ".schema" "$("$tool" -batch "$reference" .schema)"
check "PRAGMA journal_mode;" "wal"
check "PRAGMA integrity_check;" "ok"
check "SELECT mac, start, hex(pattern), typeof(start) FROM walking;" "00:1A:7D:DA:71:13|1401581700|000500010002|integer"
check "SELECT mac, start, hex(pattern) FROM sleeping;" "00:1A:7D:DA:71:13|1401581040|AA5555AA"
rm -rf "$dir"
echo "store interop: 6 checks passed"
