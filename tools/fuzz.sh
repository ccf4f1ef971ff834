#!/bin/sh
# Runs one fuzz driver (or all) for a number of inputs under Wine and prints
# the inputs per second and every finding. A failing input is saved in
# $PELLTON_BUILD/x64/fuzz-findings/ as TARGET-SEED-INDEX.bin; check it again
# with: tools/fuzz.sh TARGET --replay FILE
#   tools/fuzz.sh TARGET COUNT [SEED]    TARGET: link decoder scenario xml
#                                        update-answer zip settings placement
#                                        address multipart-upload store-file,
#                                        or all
#   PELLTON_BUILD   build folder (default: build); the 64-bit build is used
# Long runs go at the lowest priority, so that they leave the machine to
# other work.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=${PELLTON_BUILD:-$top/build}
dir=$build/x64
if [ $# -lt 2 ]; then
  echo "usage: tools/fuzz.sh TARGET COUNT [SEED] | tools/fuzz.sh TARGET --replay FILE" >&2
  exit 2
fi
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-w64-mingw32.cmake" \
        -DPELLTON_WERROR=ON >/dev/null
fi
cmake --build "$dir" --target pellton_fuzz -- --no-print-directory -s >&2
cd "$dir"
exec nice -n 19 "$dir/wine-run" "$dir/tests/fuzz/pellton_fuzz.exe" "$@"
