#!/bin/sh
# Installs what the build and the tests need and is missing (Debian; run as
# root). Nothing 32-bit: the 32-bit build only compiles and links. nsis, zip
# and openssl make the installer, the release ZIP files and their signatures.
set -e
want="cmake make mingw-w64 wine64 xvfb xauth googletest libz-mingw-w64-dev
      imagemagick sqlite3 ca-certificates chromium python3 openssl libgnutls30 nsis zip"
missing=""
for p in $want; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
# Node.js may come from elsewhere with its own npm: only the commands matter.
command -v node >/dev/null 2>&1 || missing="$missing nodejs"
command -v npm >/dev/null 2>&1 || missing="$missing npm"
if [ -n "$missing" ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "Missing packages:$missing (run as root to install them)" >&2
    exit 1
  fi
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq $missing >/dev/null
fi
