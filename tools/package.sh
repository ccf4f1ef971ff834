#!/bin/sh
# Makes a Pellton release from this checkout into out/ (Debian; as root it
# first installs what is missing):
#   Pellton-<version>-win64.zip, Pellton-<version>-win32.zip
#       portable: Pellton.exe, README.txt, LICENSES.txt
#   Pellton-<version>-setup.exe
#       per-user installer of the 64-bit program
#   Pellton-<version>-update-win64.xml, Pellton-<version>-update-win32.xml
#       the update service's answers offering the ZIP files above to
#       installed copies, each file with its SHA-256 and its signature
#       (only with a release key)
#
# The version is the "FileVersion" of resources/Pellton.rc. Building twice
# from the same commit gives the same ZIP files, byte for byte: the programs
# are linked without a time stamp and the ZIP entries carry the time of the
# last commit, sorted, with fixed permissions and no extra fields.
#
#   tools/package.sh [--key FILE] [--download-url URL] [--update-url URL]
#                    [--out DIR] [--clean]
#   --key FILE          the release key (PEM, EC P-256); also PELLTON_RELEASE_KEY.
#                       The programs are built to trust its public key, and the
#                       update answers are signed with it. Without one no
#                       update answer is made. It must lie outside the checkout.
#                       An encrypted key asks for its passphrase, or takes
#                       openssl's -passin from PELLTON_RELEASE_KEY_PASSIN.
#   --download-url URL  where the update ZIP files will be served (default:
#                       https:// and the host of the update service)
#   --update-url URL    the update service the programs ask (default: the
#                       build's PELLTON_UPDATE_URL); the 32-bit program asks
#                       it with arch=win32 added
#   --out DIR           where the packages go (default: out)
#   --clean             start the release builds (build-release/) afresh
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
out=$top/out
key=${PELLTON_RELEASE_KEY:-}
download_url=
update_url=
clean=0
jobs=$(nproc 2>/dev/null || echo 2)

die() { echo "package.sh: $*" >&2; exit 1; }
while [ $# -gt 0 ]; do
  case $1 in
    --key) [ $# -ge 2 ] || die "--key needs a file"; key=$2; shift 2 ;;
    --download-url) [ $# -ge 2 ] || die "--download-url needs a URL"; download_url=$2; shift 2 ;;
    --update-url) [ $# -ge 2 ] || die "--update-url needs a URL"; update_url=$2; shift 2 ;;
    --out) [ $# -ge 2 ] || die "--out needs a folder"; out=$2; shift 2 ;;
    --clean) clean=1; shift ;;
    -h|--help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) die "unknown argument $1 (see --help)" ;;
  esac
done

"$top/tools/setup-machine.sh"

# The time every ZIP entry carries: the last commit's, or a fixed one.
if epoch=$(git -C "$top" log -1 --format=%ct 2>/dev/null) && [ -n "$epoch" ]; then
  if [ -n "$(git -C "$top" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
    echo "package.sh: warning: the checkout has uncommitted changes; the packages hold them" >&2
  fi
else
  epoch=1388534400
fi
export SOURCE_DATE_EPOCH=$epoch

passin() { [ -z "${PELLTON_RELEASE_KEY_PASSIN:-}" ] || printf '%s\n' "-passin" "$PELLTON_RELEASE_KEY_PASSIN"; }
public_key=
if [ -n "$key" ]; then
  [ -r "$key" ] || die "cannot read the release key $key"
  key=$(cd "$(dirname "$key")" && pwd -P)/$(basename "$key")
  case $key in
    "$(cd "$top" && pwd -P)"/*) die "the release key $key lies inside the checkout; keep it outside" ;;
  esac
  # shellcheck disable=SC2046
  text=$(openssl ec -in "$key" $(passin) -noout -text 2>/dev/null) || die "$key is no EC private key openssl can read"
  case $text in
    *prime256v1*|*P-256*) ;;
    *) die "$key is not a P-256 key" ;;
  esac
  # The uncompressed public point is the last 65 bytes of the DER public
  # key: 04, then X and Y.
  # shellcheck disable=SC2046
  point=$(openssl ec -in "$key" $(passin) -pubout -outform DER 2>/dev/null | tail -c 65 | od -An -v -tx1 | tr -d ' \n')
  case $point in
    04*) public_key=${point#04} ;;
  esac
  [ ${#public_key} -eq 128 ] || die "cannot read the public key of $key"
fi

# The release builds: Release, linked without time stamps, tests neither
# built nor registered.
configure() { # arch triple [cmake arguments]
  dir=$top/build-release/$1
  [ $clean -eq 0 ] || rm -rf "$dir"
  mkdir -p "$dir"
  toolchain=$top/cmake/toolchain-$2.cmake
  shift 2
  if [ -n "$public_key" ]; then
    set -- "$@" -DPELLTON_UPDATE_PUBLIC_KEY="$public_key"
  else
    set -- "$@" -UPELLTON_UPDATE_PUBLIC_KEY
  fi
  cmake -S "$top" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DPELLTON_RUN_TESTS=OFF -DPELLTON_WERROR=ON \
        -DCMAKE_EXE_LINKER_FLAGS=-Wl,--no-insert-timestamp \
        "$@" >/dev/null 2>"$dir.log" || { cat "$dir.log" >&2; die "configuring $dir failed"; }
  if grep -A4 "not used by the project" "$dir.log" | grep -q PELLTON_UPDATE_PUBLIC_KEY; then
    echo "package.sh: warning: this checkout's program takes no PELLTON_UPDATE_PUBLIC_KEY:" \
         "it does not check the signatures of its updates" >&2
  fi
}
if [ -n "$update_url" ]; then
  configure x64 x86_64-w64-mingw32 -DPELLTON_UPDATE_URL="$update_url"
else
  configure x64 x86_64-w64-mingw32 -UPELLTON_UPDATE_URL
  update_url=$(sed -n 's/^PELLTON_UPDATE_URL:STRING=//p' "$top/build-release/x64/CMakeCache.txt")
fi
case $update_url in
  *\?*) update_url_32="$update_url&arch=win32" ;;
  *) update_url_32="$update_url?arch=win32" ;;
esac
configure x86 i686-w64-mingw32 -DPELLTON_UPDATE_URL="$update_url_32"

version=$(cat "$top/build-release/x64/tools/installer/version.txt")
[ -n "$version" ] || die "no version from resources/Pellton.rc"
[ -n "$download_url" ] || download_url=$(printf '%s\n' "$update_url" | sed -n 's,^\(https://[^/?#]*\).*,\1/,p')
[ -n "$download_url" ] || die "no https host in $update_url: give --download-url"
case $download_url in */) ;; *) download_url=$download_url/ ;; esac

for arch in x64 x86; do
  echo "== building the $arch release"
  targets="Pellton"
  [ $arch = x86 ] || targets="Pellton pellton_setup"
  # shellcheck disable=SC2086
  cmake --build "$top/build-release/$arch" -j "$jobs" --target $targets -- --no-print-directory -s
done

mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$out/.stage
rm -rf "$stage"
rm -f "$out/Pellton-$version-"*
for arch in x64 x86; do
  bits=64
  [ $arch = x64 ] || bits=32
  dir=$top/build-release/$arch
  zipfile=$out/Pellton-$version-win$bits.zip
  mkdir -p "$stage/$arch"
  cp "$dir/app/program/Pellton.exe" "$dir/tools/installer/texts/README.txt" \
     "$dir/tools/installer/texts/LICENSES.txt" "$stage/$arch/"
  chmod 644 "$stage/$arch/"*
  touch -d "@$epoch" "$stage/$arch/"*
  # The entries in a fixed order; DOS times are local times, so UTC.
  (cd "$stage/$arch" && TZ=UTC LC_ALL=C zip -q -X -D -9 "$zipfile" $(ls | LC_ALL=C sort))
done
cp "$top/build-release/x64/tools/installer/Pellton-$version-setup.exe" "$out/"

# The signature as the update client reads it: r and s of the ECDSA
# signature, each 32 bytes big-endian, in lower-case hex. The value is
# checked by turning it back into DER and verifying that.
sign() { # file
  # shellcheck disable=SC2046
  openssl dgst -sha256 $(passin) -sign "$key" -out "$stage/sig.der" "$1" || die "signing $1 failed"
  rs=$(openssl asn1parse -inform DER -in "$stage/sig.der" | sed -n 's/.*INTEGER *://p' |
       tr 'A-F' 'a-f' | while read -r n; do printf '%64s' "$n" | tr ' ' 0; done)
  [ ${#rs} -eq 128 ] || die "unexpected signature of $1"
  printf 'asn1=SEQUENCE:sig\n[sig]\nr=INTEGER:0x%s\ns=INTEGER:0x%s\n' \
    "$(printf '%s' "$rs" | cut -c1-64)" "$(printf '%s' "$rs" | cut -c65-128)" > "$stage/sig.cnf"
  openssl asn1parse -genconf "$stage/sig.cnf" -out "$stage/sig2.der" -noout >/dev/null &&
    openssl dgst -sha256 -verify "$stage/public.pem" -signature "$stage/sig2.der" "$1" >/dev/null ||
    die "the signature of $1 does not verify"
  printf '%s' "$rs"
}
xml() { printf '%s' "$1" | sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g; s/"/\&quot;/g'; }

if [ -n "$key" ]; then
  # shellcheck disable=SC2046
  openssl ec -in "$key" $(passin) -pubout -out "$stage/public.pem" 2>/dev/null
  for bits in 64 32; do
    zip=Pellton-$version-win$bits.zip
    sha=$(sha256sum "$out/$zip" | cut -c1-64)
    signature=$(sign "$out/$zip")
    cat > "$out/Pellton-$version-update-win$bits.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<update>
  <version>$version</version>
  <application>Pellton</application>
  <info><en>Pellton $version is available. Download and install it now?</en></info>
  <restart><en>Pellton $version is installed. Restart Pellton now?</en></restart>
  <files>
    <url name="Pellton.exe" zip="$zip" sha256="$sha" signature="$signature">$(xml "$download_url$zip")</url>
  </files>
</update>
XML
  done
fi
rm -rf "$stage"

echo "== Pellton $version in $out"
(cd "$out" && sha256sum Pellton-"$version"-*)
if [ -n "$key" ]; then
  echo "The programs trust the public key $public_key."
  echo "The update service answers Pellton-$version-update-win32.xml to requests with arch=win32"
  echo "($update_url_32), Pellton-$version-update-win64.xml to the others; the ZIP files go to $download_url."
else
  echo "No release key given (--key): no update answers made, and the programs trust no release key."
fi
