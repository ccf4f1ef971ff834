#!/bin/sh
# chart-check.sh WINE_RUN WRITER NODE PLAYWRIGHT_CORE CHECK_SCRIPT OUT_DIR
# Writes the pages with the program's builders under Wine, then checks them
# in headless Chromium.
set -e
wine_run=$1 writer=$2 node=$3 playwright=$4 check=$5 out=$6
if [ ! -x /usr/bin/chromium ]; then
  echo "chart-check: /usr/bin/chromium is missing (tools/setup-machine.sh installs it)" >&2
  exit 1
fi
rm -rf "$out"
mkdir -p "$out"
# The writer works in its current folder, which Wine maps to a drive path.
(cd "$out" && "$wine_run" "$writer")
# The browser reads local time in the zone the program ran in.
TZ=$("$wine_run" --zone)
export TZ
exec "$node" "$check" "$playwright" "$out"
