# Source this file to get a Wine environment of the project's own:
#   . scripts/wine-env.sh   then   vwine prog.exe args...
# It sets up (once) a 64-bit Wine prefix with code page 932, a Japanese font for
# "ＭＳ Ｐゴシック", an ALSA null sound device, and a virtual X display when none is set.
# Variables you may set before sourcing:
#   VANTREL_WINEPREFIX  prefix folder (default: <repo>/build/wineprefix)
#   VANTREL_XVFB=1      always use a private Xvfb display, even if DISPLAY is set
_vroot="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${VANTREL_WINEPREFIX:-$_vroot/build/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export VWINE=/usr/lib/wine/wine64
mkdir -p "$_vroot/build"
export ALSA_CONFIG_PATH="$_vroot/build/alsa-null.conf"
[ -f "$ALSA_CONFIG_PATH" ] || printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' > "$ALSA_CONFIG_PATH"

vwine() { "$VWINE" "$@"; }

# A private virtual display when there is no display (or when asked for one).
if [ -z "${DISPLAY:-}" ] || [ "${VANTREL_XVFB:-0}" = 1 ]; then
  _vdisp=""
  for n in $(seq 90 130); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then _vdisp=$n; break; fi
  done
  Xvfb ":$_vdisp" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  export VANTREL_XVFB_PID=$!
  export DISPLAY=":$_vdisp"
  for _i in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$_vdisp" ] && break; sleep 0.1; done
fi

# Ends this environment's Wine processes and its Xvfb (if it started one).
vwine_down() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${VANTREL_XVFB_PID:-}" ]; then kill "$VANTREL_XVFB_PID" 2>/dev/null || true; wait "$VANTREL_XVFB_PID" 2>/dev/null || true; unset VANTREL_XVFB_PID; fi
}

if [ ! -f "$WINEPREFIX/.vantrel-ready" ]; then
  mkdir -p "$WINEPREFIX"
  "$VWINE" wineboot -i >/dev/null 2>&1
  wineserver -w
  # The Japanese UI font: IPA P Gothic stands in for the font the window asks for.
  "$VWINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d 'IPAPGothic' /f >/dev/null 2>&1
  "$VWINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d 'IPAGothic' /f >/dev/null 2>&1
  "$VWINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /d 'IPAPGothic' /f >/dev/null 2>&1
  # No crash dialogs: a crash must fail a test, not wait for a click.
  "$VWINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.vantrel-ready"
fi
