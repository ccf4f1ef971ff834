#!/bin/sh
# Refuses an #include that runs against the layers (exit 1, naming each one).
#   app -> support -> ui -> core;  app -> ble -> core;  product code never
#   includes the test stand-ins in tools/.
#   Inside app/: program -> window -> charts, store, worker -> tracker;
#   program -> simulation -> tracker; charts may read the store, the worker
#   may store; trends reads data, charts and the store; nothing below window
#   includes a window header.
# Usage: tools/check-layers.sh [source folder]
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$top" || exit 2
bad=0
refuse() {  # folder, then the folders it must not include
  from=$1; shift
  [ -d "$from" ] || return 0
  for to in "$@"; do
    hits=$(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]+\"$to/" "$from" \
           --include='*.h' --include='*.cpp' --include='*.c' --include='*.rc' 2>/dev/null)
    if [ -n "$hits" ]; then
      echo "$from must not include $to/:"
      echo "$hits" | sed 's/^/  /'
      bad=1
    fi
  done
}
refuse core app ble ui support tools
refuse ble app ui support tools
refuse ui app ble support tools
refuse support app ble tools
refuse app tools
refuse app/tracker app/simulation app/store app/charts app/worker app/window app/program
refuse app/simulation app/store app/charts app/worker app/window app/program
refuse app/store app/simulation app/charts app/worker app/window app/program
refuse app/charts app/simulation app/worker app/window app/program
refuse app/worker app/simulation app/charts app/window app/program
refuse app/window app/program app/simulation
# The Trends figures and page read the data folder's totals and nights, the
# store and the chart page filling; they know no worker.
refuse app/trends app/simulation app/worker app/window app/program
# New feature folders (app/<name>/ beside these) sit below the window too.
for d in app/*/; do
  d=${d%/}
  case $d in app/tracker|app/simulation|app/store|app/charts|app/worker|app/window|app/program|app/trends) continue ;; esac
  refuse "$d" app/window app/program app/simulation
done
# No source file lies directly in app/.
loose=$(find app -maxdepth 1 -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) 2>/dev/null)
if [ -n "$loose" ]; then
  echo "source files directly in app/ (each belongs in a folder of its own):"
  echo "$loose" | sed 's/^/  /'
  bad=1
fi
[ $bad = 0 ] && echo "layers: every include follows the arrows"
exit $bad
