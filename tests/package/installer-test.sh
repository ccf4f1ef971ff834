#!/bin/sh
# The installer end to end under 64-bit Wine, in a Wine prefix made afresh for
# the scenario: silent install, the installed program run with a simulated
# tracker, then the scenario's own steps, each checked on the files, the
# Start-menu shortcut and the installed-apps entry.
#   installer-test.sh SCENARIO SETUP.EXE PELLTON.EXE FOLDER WINE64
#   uninstall: Uninstall.exe /S removes the program, its shortcut and its
#              entry, and leaves Pellton.sql, a set-aside copy and the
#              user's own file as they were
#   reinstall: a second install keeps Pellton.sql; the program runs on it;
#              Uninstall.exe /S /REMOVEDATA removes the data and settings
#              too, and still not the user's own file
scenario=$1 setup=$2 program=$3 work=$4 wine=$5
server=$(dirname "$wine")/wineserver
fail() { printf 'FAIL (%s): %s\n' "$scenario" "$*" >&2; exit 1; }
[ -f "$setup" ] || fail "no installer '$setup' (makensis missing? tools/setup-machine.sh installs nsis)"
rm -rf "$work" && mkdir -p "$work" && work=$(cd "$work" && pwd) || fail "cannot make $work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
# No Mono and Gecko installers, and no menu entries on this machine's desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap '"$server" -k >/dev/null 2>&1' EXIT
clock() { date +%s.%N; }
lap() { echo "$1: $(awk "BEGIN { printf \"%.1f\", $(clock) - $2 }") s"; }

t=$(clock)
"$wine" wineboot --init >/dev/null 2>&1 && "$server" -w || fail "cannot make the Wine prefix"
lap "fresh prefix" "$t"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pellton'
value() { "$wine" reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z]* *//p"; }
unix() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
folder=$(unix "$("$wine" cmd /c 'echo %LOCALAPPDATA%\Programs\Pellton' | tr -d '\r')")
shortcut=$(unix "$("$wine" cmd /c 'echo %APPDATA%\Microsoft\Windows\Start Menu\Programs\Pellton.lnk' | tr -d '\r')")
rows() { sqlite3 "$folder/Pellton.sql" 'SELECT (SELECT count(*) FROM walking) || " " || (SELECT count(*) FROM sleeping);'; }

install() {
  t=$(clock)
  "$wine" "$setup" /S || fail "setup.exe /S ended with $?"
  lap "install" "$t"
  for f in Pellton.exe README.txt LICENSES.txt Uninstall.exe; do
    [ -f "$folder/$f" ] || fail "$f not installed in $folder"
  done
  cmp -s "$folder/Pellton.exe" "$program" || fail "installed Pellton.exe differs"
  [ -f "$shortcut" ] || fail "no Start-menu shortcut"
  [ "$(value DisplayName)" = Pellton ] && [ "$(value Publisher)" = Vantrel ] &&
    [ "$(value DisplayVersion)" = "$(basename "$setup" | sed 's/^Pellton-\(.*\)-setup.exe$/\1/')" ] &&
    [ "$(unix "$(value InstallLocation)")" = "$folder" ] &&
    [ "$(value DisplayIcon)" = "$(value InstallLocation)\\Pellton.exe,0" ] &&
    [ "$(value UninstallString)" = "\"$(value InstallLocation)\\Uninstall.exe\"" ] &&
    [ $(($(value EstimatedSize) + 0)) -gt 1000 ] || fail "installed-apps entry: $("$wine" reg query "$key")"
}
run() {
  t=$(clock)
  "$wine" "$folder/Pellton.exe" --simulate --quit-when-idle || fail "the installed Pellton.exe ended with $?"
  lap "run" "$t"
  [ -f "$folder/Pellton.sql" ] || fail "no Pellton.sql beside the installed program"
  case $(rows) in "0 "*|*" 0"|"") fail "Pellton.sql holds no history: $(rows)" ;; esac
}
uninstall() { # options
  command=$(value UninstallString)
  [ -n "$command" ] || fail "no uninstall command"
  # The uninstaller runs from a copy of itself and ends before that copy
  # does: wait for every process of the prefix.
  t=$(clock)
  "$wine" "$(printf '%s' "$command" | tr -d '"')" /S "$@" && "$server" -w || fail "Uninstall.exe /S $* failed"
  lap "uninstall" "$t"
  for f in Pellton.exe README.txt LICENSES.txt Uninstall.exe; do
    [ ! -e "$folder/$f" ] || fail "$f still there after uninstalling"
  done
  [ ! -e "$shortcut" ] || fail "the Start-menu shortcut is still there"
  ! "$wine" reg query "$key" >/dev/null 2>&1 || fail "the installed-apps entry is still there"
}

install
run
echo "my notes" > "$folder/notes.txt"
cp "$folder/Pellton.sql" "$folder/Pellton-set-aside-20240102-030405.sql"
sums() { (cd "$folder" && sha256sum Pellton.sql Pellton-set-aside-20240102-030405.sql notes.txt); }
before=$(sums)
case $scenario in
  uninstall)
    # While Pellton runs from the folder the uninstaller refuses and leaves
    # everything. Run in place (_?=), it ends when it is done.
    "$wine" "$folder/Pellton.exe" --simulate >/dev/null 2>&1 &
    i=0
    until [ -e "$folder/Pellton.sql-wal" ]; do
      i=$((i + 1)) && [ $i -lt 600 ] || fail "Pellton did not start"
      sleep 0.1
    done
    "$wine" "$folder/Uninstall.exe" /S "_?=$(value InstallLocation)"
    [ $? -eq 3 ] || fail "Uninstall.exe /S did not refuse while Pellton runs"
    [ -f "$folder/Pellton.exe" ] && [ -f "$folder/README.txt" ] && [ -f "$shortcut" ] &&
      [ -n "$(value DisplayName)" ] || fail "Uninstall.exe /S removed parts while Pellton runs"
    "$server" -k && wait
    before=$(sums)
    uninstall
    [ "$(sums)" = "$before" ] || fail "the data did not stay as it was: $(sums)"
    ;;
  reinstall)
    rows=$(rows)
    install
    [ "$(sums)" = "$before" ] || fail "installing again changed the data: $(sums)"
    run
    [ "$(rows)" = "$rows" ] || fail "the second run found other runs: $(rows), before $rows"
    "$wine" reg query 'HKCU\Software\Vantrel\Pellton' >/dev/null 2>&1 || fail "Pellton kept no settings"
    uninstall /REMOVEDATA
    [ "$(ls "$folder")" = notes.txt ] || fail "left after removing the data: $(ls "$folder")"
    ! "$wine" reg query 'HKCU\Software\Vantrel\Pellton' >/dev/null 2>&1 || fail "the settings are still there"
    ;;
  *) fail "unknown scenario" ;;
esac
echo "PASS ($scenario)"
