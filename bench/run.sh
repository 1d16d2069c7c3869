#!/bin/bash
# Whole-program benchmarks of the 64-bit build under Wine, all figures from one run:
#   bench/run.sh <win64-build-dir> [startup|idle|play|memory ...]
# Needs the build's bin/vantrel_mp3.exe, bin/vbmp3.dll, e2e/vdrv.exe and
# e2e/vtwin.exe; makes its tracks with sox and lame. Uses its own Xvfb and the
# Wine prefix <build>/wineprefix-bench (made on first use, about 20 s).
# The decoder's own benchmarks: bench/decoder/run.sh (see bench/decoder/README.md).
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 <win64-build-dir> [part...]" >&2; exit 2; }
here="$(cd "$(dirname "$0")" && pwd)"
exec /usr/bin/python3 "$here/bench.py" "$@"
