#!/bin/sh
# Builds Pellton (64-bit) and starts it under Wine with a simulated tracker.
# On a fresh Debian machine, run as root: it installs what is missing first.
#
# With a display ($DISPLAY set) the window opens for you; the script ends
# when you close it. Without one the program runs under Xvfb: once the
# history has been downloaded and shown it saves a picture of each of the
# four tabs and the two chart pages it built, closes by itself, and the
# script turns the pictures into PNG files under out/ (the chart pages are
# rendered by headless Chromium when it is installed), writes the Trends
# page of the tracker with the latest walk for this year and this month
# (Pellton.exe --trends-page) and renders them too, prints where they are
# and exits 0.
#
#   PELLTON_BUILD   build folder (default: build)
#   PELLTON_OUT     where the headless run puts its pictures (default: out)
# Arguments replace the default "--simulate" (for example --simulate=3, or
# --scenario FILE with a Windows path such as Z:\path\to\file).
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=${PELLTON_BUILD:-$top/build}
out=${PELLTON_OUT:-$top/out}
dir=$build/x64
jobs=$(nproc 2>/dev/null || echo 2)

"$top/tools/setup-machine.sh"

if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-w64-mingw32.cmake" \
        -DPELLTON_WERROR=ON >/dev/null
fi
echo "== building Pellton.exe"
cmake --build "$dir" -j "$jobs" --target Pellton wineprefix -- --no-print-directory -s

exe=$dir/app/program/Pellton.exe
[ $# -gt 0 ] || set -- --simulate

# A Wine prefix of the run's own, apart from the tests' one (made on the
# first run), without Wine's Mono and Gecko installers.
export WINEPREFIX="$dir/run-prefix"
export WINEDEBUG="${PELLTON_WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64

# The program keeps its database (Pellton.sql) beside itself, in the build.
if [ -n "$DISPLAY" ]; then
  echo "== starting Pellton.exe $* (close the window to end)"
  # A window manager draws the frame; Wine must not draw its own.
  "$wine" reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
  exec "$wine" "$exe" "$@"
fi

echo "== no display: running Pellton.exe $* under Xvfb"
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/tab-*.bmp "$out"/tab-*.png "$out"/chart-*.html "$out"/chart-*.png "$out"/trends-*.html "$out"/trends-*.png
# Wine's Z: drive is the Linux root.
windows_out="Z:$(printf '%s' "$out" | tr '/' '\\')"
# Xvfb has no window manager: Wine draws the window frame and title itself,
# so the pictures show them.
cat > "$out/.run-in-xvfb.sh" <<INNER
#!/bin/sh
"$wine" reg add 'HKCU\\Software\\Wine\\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
exec "$wine" "$exe" "\$@" --screenshots "\$PELLTON_PICTURES"
INNER
chmod +x "$out/.run-in-xvfb.sh"
rc=0
PELLTON_PICTURES=$windows_out xvfb-run -a -s "-screen 0 1280x1024x24" "$out/.run-in-xvfb.sh" "$@" || rc=$?
# The same tabs once more with Windows' dark mode for apps set in the
# prefix ("AppsUseLightTheme" 0), as out/dark/tab-*.png.
personalize='HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize'
if [ $rc -eq 0 ]; then
  mkdir -p "$out/dark"
  rm -f "$out"/dark/*
  "$wine" reg add "$personalize" /v AppsUseLightTheme /t REG_DWORD /d 0 /f >/dev/null 2>&1
  PELLTON_PICTURES="$windows_out\\dark" xvfb-run -a -s "-screen 0 1280x1024x24" "$out/.run-in-xvfb.sh" "$@" ||
    rc=$?
  "$wine" reg delete "$personalize" /v AppsUseLightTheme /f >/dev/null 2>&1 || true
  rm -f "$out"/dark/chart-*.html
fi
rm -f "$out/.run-in-xvfb.sh"
if [ $rc -ne 0 ]; then
  echo "Pellton.exe ended with exit code $rc" >&2
  exit $rc
fi

for bmp in "$out"/tab-*.bmp "$out"/dark/tab-*.bmp; do
  [ -f "$bmp" ] || { echo "Pellton.exe saved no pictures" >&2; exit 1; }
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
# The Trends pages of the tracker with the latest walk (the first simulated
# tracker when the file cannot be read here), from the same database.
tracker=$(sqlite3 "$dir/app/program/Pellton.sql" "SELECT mac FROM walking ORDER BY start DESC LIMIT 1;" 2>/dev/null ||
          true)
[ -n "$tracker" ] || tracker=02:50:4C:54:4E:01
for period in year month; do
  "$wine" "$exe" --trends-page "$windows_out\\trends-$period.html" --tracker "$tracker" --period $period >/dev/null ||
    echo "Pellton.exe wrote no Trends page for the $period" >&2
done

if command -v chromium >/dev/null 2>&1; then
  for page in "$out"/chart-*.html "$out"/trends-*.html; do
    [ -s "$page" ] || continue
    # The charts draw with scripts: give them virtual time to finish. The
    # Trends pages are taller (a year has twelve month calendars).
    case $page in
      */trends-year.html) size=1200,2960 ;;
      */trends-*.html) size=1200,1320 ;;
      *) size=1200,600 ;;
    esac
    chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --virtual-time-budget=5000 \
             --window-size=$size --screenshot="${page%.html}.png" "file://$page" >/dev/null 2>&1 ||
      echo "Chromium could not render $page" >&2
  done
else
  echo "(Chromium is not installed: the chart pages are kept as HTML only)"
fi

echo "== pictures of the window, the chart pages and the Trends pages:"
for f in "$out"/tab-*.png "$out"/dark/tab-*.png "$out"/chart-* "$out"/trends-*; do
  [ -f "$f" ] && echo "   $f"
done
exit 0
