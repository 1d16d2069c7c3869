#!/usr/bin/env bash
# Makes the release packages
#
#   dist/vantrel-1.0-win32.zip   (Windows 95/98/Me/NT 4.0/2000/XP)
#   dist/vantrel-1.0-win64.zip   (64-bit Windows)
#
# each holding vantrel_mp3.exe, vbmp3.dll and README.txt, the user guide
# docs/README-ja.txt converted to Shift_JIS (code page 932) with CRLF line
# ends, so that Notepad on Japanese Windows reads it.
#
# Uses the builds in build/win32/bin and build/win64/bin; a build that is
# missing is made with its CMake preset (-j2). VANTREL_REBUILD=1 runs the
# build step of both presets even when the files exist. Running the script
# again rebuilds both zips from scratch; with unchanged inputs they come out
# byte for byte the same.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
VERSION=1.0
GUIDE=docs/README-ja.txt
DIST=dist

if ! command -v zip >/dev/null; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    echo "package: installing zip"
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends zip >/dev/null ||
      { apt-get update >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends zip >/dev/null; }
  else
    echo "package: zip is missing (apt-get install zip)" >&2
    exit 1
  fi
fi
command -v iconv >/dev/null || { echo "package: iconv is missing" >&2; exit 1; }

# PE machine of a file: 014c (i386) or 8664 (x86-64).
pe_machine() {
  local off
  off=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  [ "$(od -An -c -j"$off" -N4 "$1" | tr -d ' ')" = 'PE\0\0' ] || { echo none; return; }
  od -An -tx2 -j$((off + 4)) -N2 "$1" | tr -d ' '
}

build_if_needed() { # PRESET
  local bin="build/$1/bin"
  if [ "${VANTREL_REBUILD:-0}" = 1 ] || [ ! -f "$bin/vantrel_mp3.exe" ] || [ ! -f "$bin/vbmp3.dll" ]; then
    echo "package: building preset $1"
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" -j2
  fi
}

# The guide as the package carries it: Shift_JIS, CRLF. iconv fails on any
# character that code page 932 lacks, rather than dropping it.
mkdir -p "$DIST"
STAGE=$(mktemp -d "$ROOT/$DIST/.stage.XXXXXX")
trap 'rm -rf "$STAGE"' EXIT
sed 's/\r$//; s/$/\r/' "$GUIDE" | iconv -f UTF-8 -t CP932 >"$STAGE/README.txt"
touch -r "$GUIDE" "$STAGE/README.txt"

made=()
for arch in win32 win64; do
  build_if_needed "$arch"
  bin="build/$arch/bin"
  want=$([ "$arch" = win32 ] && echo 014c || echo 8664)
  for f in vantrel_mp3.exe vbmp3.dll; do
    got=$(pe_machine "$bin/$f")
    [ "$got" = "$want" ] || { echo "package: $bin/$f is not a $arch PE file (machine $got)" >&2; exit 1; }
  done

  dir="$STAGE/$arch"
  mkdir -p "$dir"
  cp -p "$bin/vantrel_mp3.exe" "$bin/vbmp3.dll" "$dir/"
  cp -p "$STAGE/README.txt" "$dir/README.txt"

  zipfile="$ROOT/$DIST/vantrel-$VERSION-$arch.zip"
  rm -f "$zipfile"
  # -X: no Unix extra fields, -D: no directory entries; names stay flat.
  (cd "$dir" && zip -q -X -D -9 "$zipfile" vantrel_mp3.exe vbmp3.dll README.txt)
  made+=("$zipfile")
done

for z in "${made[@]}"; do
  echo
  echo "$z ($(stat -c %s "$z") bytes)"
  if command -v unzip >/dev/null; then
    unzip -l "$z" | sed 's/^/  /'
  else
    zip -sf "$z" | sed 's/^/  /'
  fi
done
