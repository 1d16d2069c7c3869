#!/bin/bash
# Runs the end-to-end tests of a 64-bit Windows build under Wine:
#   e2e/run.sh <win64-build-dir> [test name filter...]
# Uses its own Xvfb display and a Wine prefix under the build folder
# (<build>/wineprefix-e2e, made on first use), and ends both when done.
set -u
if [ $# -lt 1 ]; then echo "usage: $0 <win64-build-dir> [filter...]" >&2; exit 2; fi
build="$(cd "$1" && pwd)" || exit 2
shift
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
for tool in Xvfb wineserver /usr/lib/wine/wine64 xwd; do
  command -v "$tool" >/dev/null 2>&1 || { echo "missing: $tool (apt-get install wine64 xvfb x11-apps)" >&2; exit 2; }
done
/usr/bin/python3 -c 'import Xlib' 2>/dev/null || { echo "missing: python3-xlib (apt-get install python3-xlib)" >&2; exit 2; }
for f in e2e/vdrv.exe e2e/vprobe.dll fakedll/vbmp3.dll; do
  [ -f "$build/$f" ] || { echo "missing: $build/$f (build the win64 preset first)" >&2; exit 2; }
done
export VANTREL_E2E_BUILD="$build"
exec /usr/bin/python3 "$here/run_tests.py" "$@"
