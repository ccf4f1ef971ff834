#!/bin/sh
# trends-check.sh WINE_RUN WRITER PELLTON NODE PLAYWRIGHT_CORE CHECK_SCRIPT OUT_DIR
# Stores the hand-made history and its goals, has Pellton.exe write the
# days and nights exports and the Trends pages of a month and a year, then
# checks the pages against the exports in headless Chromium.
set -e
wine_run=$1 writer=$2 pellton=$3 node=$4 playwright=$5 check=$6 out=$7
if [ ! -x /usr/bin/chromium ]; then
  echo "trends-check: /usr/bin/chromium is missing (tools/setup-machine.sh installs it)" >&2
  exit 1
fi
rm -rf "$out"
mkdir -p "$out"
cd "$out"
key="Software\\Vantrel\\PelltonTrendsCheck-$$"
tracker=02:50:4C:54:4E:01
"$wine_run" "$writer" "$key"
run() { "$wine_run" "$pellton" --database history.sql "$@"; }
status=0
{
  run --export days.csv --kind days --tracker $tracker &&
  run --export nights.csv --kind nights --tracker $tracker &&
  run --settings-key "$key" --trends-page month.html --tracker $tracker --period month --today 2014-03-31 &&
  run --settings-key "$key" --trends-page year.html --tracker $tracker --period year --today 2014-04-04
} || status=$?
"$wine_run" reg delete "HKCU\\$key" /f >/dev/null 2>&1 || true
[ $status = 0 ] || exit $status
TZ=$("$wine_run" --zone)
export TZ
exec "$node" "$check" "$playwright" "$out"
