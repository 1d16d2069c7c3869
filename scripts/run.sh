#!/usr/bin/env bash
# Installs what is missing, builds the player and starts it under Wine.
# With a display, the player simply starts for you. Without one, it runs on a
# virtual display, plays the bundled sample tracks (dropped onto the window),
# prints what the status line showed and saves a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

bash scripts/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2

# The player keeps its settings file beside the exe: give it a folder of its own.
PLAYER_DIR="$ROOT/build/player"
mkdir -p "$PLAYER_DIR"
cp -u build/win64/bin/vantrel_mp3.exe build/win64/bin/vbmp3.dll "$PLAYER_DIR/"

if [ -n "${DISPLAY:-}" ] && [ "${VANTREL_DEMO:-0}" != 1 ]; then
  . scripts/wine-env.sh
  cd "$PLAYER_DIR"
  exec "$VWINE" vantrel_mp3.exe
fi

export VANTREL_XVFB=1
. scripts/wine-env.sh
trap vwine_down EXIT
if [ -f e2e/demo.py ]; then
  /usr/bin/python3 e2e/demo.py --build "$ROOT/build/win64" --player-dir "$PLAYER_DIR" --screenshot "$ROOT/build/screenshot.png"
else
  (cd "$PLAYER_DIR" && "$VWINE" vantrel_mp3.exe) &
  sleep 8
  xwd -root -silent | convert xwd:- "$ROOT/build/screenshot.png"
  echo "screenshot: $ROOT/build/screenshot.png"
fi
