#!/usr/bin/env bash
# Installs what is missing, builds the three builds and runs every test:
# native unit tests (ASan + UBSan), the checks of the 32-bit release, the
# decoder library's tests under Wine, a short fuzzing run, and the end-to-end
# tests of the program under Wine on a virtual display.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

bash scripts/setup.sh || exit 1

passed=0
failed=0
failures=()
step() {  # step NAME COMMAND...
  local name=$1
  shift
  echo "=== $name"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
  fi
}

build() {  # build PRESET
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j2
}

step "build native" build native
step "unit tests" ctest --preset native --output-on-failure -j2
step "build win64" build win64
step "build win32" build win32
step "32-bit release checks" python3 scripts/check-pe.py build/win32
if [ -x scripts/test-decoder-wine.sh ]; then
  step "decoder tests under Wine" scripts/test-decoder-wine.sh "$ROOT/build/win64"
fi
if [ -x vbmp3/fuzz/run.sh ]; then
  step "decoder fuzzing (short)" vbmp3/fuzz/run.sh 20
fi
if [ -x e2e/run.sh ]; then
  step "end-to-end tests under Wine" e2e/run.sh "$ROOT/build/win64"
fi

echo
if [ $failed -gt 0 ]; then
  printf 'failed: %s\n' "${failures[@]}"
fi
echo "steps: $passed passed, $failed failed"
[ $failed -eq 0 ]
