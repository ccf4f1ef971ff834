#!/bin/sh
# Runs CTest in a build folder with one Wine session kept alive for the whole
# run, so each test program starts in a fraction of a second.
dir=$1; shift
# Every process of the run, Windows or not, sees the tests' time zone.
TZ=$("$dir/wine-run" --zone) || exit 1
export TZ
# Start the wineserver and Wine's own services first, with no inherited
# output: otherwise they hold the first test's output pipe open and CTest
# waits for them.
"$dir/wine-run" wineserver -p >/dev/null 2>&1 </dev/null
"$dir/wine-run" cmd /c exit >/dev/null 2>&1 </dev/null
cd "$dir" && ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)" "$@"
rc=$?
"$dir/wine-run" wineserver -k >/dev/null 2>&1
exit $rc
