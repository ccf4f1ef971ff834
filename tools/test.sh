#!/bin/sh
# Builds Pellton for 64-bit and 32-bit Windows and runs every test under Wine.
# On a fresh Debian machine, run as root: it installs what is missing first.
# A second run rebuilds only what changed.
#   PELLTON_BUILD   build folder (default: build)
#   PELLTON_ARCHS   architectures to build (default: "x64 x86"; tests run on x64)
#   CTEST_ARGS      extra arguments for ctest (for example "-R core")
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=${PELLTON_BUILD:-$top/build}
archs=${PELLTON_ARCHS:-"x64 x86"}
jobs=$(nproc 2>/dev/null || echo 2)

"$top/tools/setup-machine.sh"

for arch in $archs; do
  case $arch in
    x64) triple=x86_64-w64-mingw32 ;;
    x86) triple=i686-w64-mingw32 ;;
    *) echo "unknown architecture $arch" >&2; exit 2 ;;
  esac
  dir=$build/$arch
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-$triple.cmake" \
          -DPELLTON_WERROR=ON >/dev/null
  fi
  echo "== building $arch"
  cmake --build "$dir" -j "$jobs" -- --no-print-directory -s
done

case " $archs " in
  *" x64 "*) ;;
  *) exit 0 ;;
esac
echo "== testing x64 under Wine"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$top/tools/ctest-wine.sh" "$build/x64" $CTEST_ARGS
