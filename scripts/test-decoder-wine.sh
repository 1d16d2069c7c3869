#!/bin/bash
# Runs the Wine checks of vbmp3.dll.
#   scripts/test-decoder-wine.sh <win64 build dir> [group]
# The build dir must hold bin/vbmp3.dll and bin/vbmp3_wine_test.exe. Audio
# fixtures are written with sox and lame into <build dir>/decoder-fixtures.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:?usage: $0 <win64 build dir> [group]}" && pwd)"
group="${2:-}"
exe="$build/bin/vbmp3_wine_test.exe"
[ -f "$exe" ] && [ -f "$build/bin/vbmp3.dll" ] || { echo "missing $exe or vbmp3.dll (build the win64 tree first)" >&2; exit 2; }

fixtures="$build/decoder-fixtures"
"$root/tests/vbmp3/make_fixtures.sh" "$fixtures"

export VANTREL_WINEPREFIX="${VANTREL_WINEPREFIX:-$root/build/wineprefix-decoder}"
export VANTREL_XVFB="${VANTREL_XVFB:-1}"
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
trap vwine_down EXIT

winpath="Z:$(printf '%s' "$fixtures" | tr / '\\')"
failed=0

# run <log name> <group> [env assignments...]: one run of the test program;
# fails unless it prints a summary line with 0 failed and exits 0.
run() {
  local name=$1 grp=$2
  shift 2
  local log="$build/vbmp3_wine_test-$name.log" rc
  echo "== $name"
  set +e
  (cd "$build/bin" && env "$@" timeout 180 "$VWINE" ./vbmp3_wine_test.exe "$winpath" $grp) 2>&1 | tr -d '\r' | tee "$log"
  rc=${PIPESTATUS[0]}
  set -e
  local summary
  summary="$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -1 || true)"
  if [ -z "$summary" ]; then echo "$name: no summary line (crash or hang), exit $rc" >&2; failed=1; return; fi
  case "$summary" in *" 0 failed") ;; *) failed=1 ;; esac
  [ "$rc" -eq 0 ] || failed=1
}

run main "$group"
if [ -z "$group" ]; then
  # No sound device: ALSA pointed at a card that does not exist.
  printf 'pcm.!default { type hw card 97 }\nctl.!default { type hw card 97 }\n' > "$build/alsa-none.conf"
  run nodevice nodevice ALSA_CONFIG_PATH="$build/alsa-none.conf"
  # No MP3 codec: the prefix's l3codeca.acm disabled for this run.
  run nocodec nocodec WINEDLLOVERRIDES="$WINEDLLOVERRIDES;l3codeca.acm=d"
fi
[ "$failed" -eq 0 ] && echo "vbmp3 Wine tests: all passed" || echo "vbmp3 Wine tests: FAILED" >&2
exit "$failed"
