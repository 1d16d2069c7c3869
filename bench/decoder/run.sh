#!/bin/bash
# Decoder benchmarks, all figures from one run.
#   bench/decoder/run.sh <win64 build dir>
# Makes its test files with sox and lame, times mpg123 as the yardstick, and
# runs vbmp3_bench.exe under Wine (own prefix, ALSA null device).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:?usage: $0 <win64 build dir>}" && pwd)"
exe="$build/bin/vbmp3_bench.exe"
[ -f "$exe" ] || { echo "missing $exe" >&2; exit 2; }
work="$build/decoder-bench"
mkdir -p "$work"
cd "$work"

# 60 s of 128 kbit/s stereo music-like sound (a chord over noise).
if [ ! -f long60.mp3 ]; then
  sox -q -n -r 44100 -c 2 -b 16 long60.wav synth 60 pinknoise synth 60 sine mix 220 gain -n -3
  lame --quiet -b 128 long60.wav long60.mp3
  rm -f long60.wav
fi
# About 10 MB: 9 minutes at 128 kbit/s behind a 1 MB ID3v2 picture tag.
if [ ! -f big10m.mp3 ]; then
  sox -q -n -r 44100 -c 2 -b 16 big.wav synth 540 pinknoise gain -n -6
  lame --quiet -b 128 big.wav big-audio.mp3
  python3 - <<'PY'
import os
def ss(v): return bytes([(v >> 21) & 0x7F, (v >> 14) & 0x7F, (v >> 7) & 0x7F, v & 0x7F])
pic = b"\x00image/jpeg\x00\x03\x00" + os.urandom(1 << 20)
title = b"\x00Big File"
frames = b"TIT2" + len(title).to_bytes(4, "big") + b"\0\0" + title
frames += b"APIC" + len(pic).to_bytes(4, "big") + b"\0\0" + pic
tag = b"ID3\x03\x00\x00" + ss(len(frames)) + frames
open("big10m.mp3", "wb").write(tag + open("big-audio.mp3", "rb").read())
PY
  rm -f big.wav big-audio.mp3
fi
ls -l long60.mp3 big10m.mp3 | awk '{print "file", $NF, $5, "bytes"}'

# CPU seconds (user + system) of a command, from the kernel's accounting.
cpu_of() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
r0 = resource.getrusage(resource.RUSAGE_CHILDREN)
t0 = time.monotonic()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
t1 = time.monotonic()
r1 = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.4f %.4f" % (r1.ru_utime - r0.ru_utime + r1.ru_stime - r0.ru_stime, t1 - t0))
PY
}

# Yardstick: mpg123 decoding without output, best of 5.
mpg=""
for i in 1 2 3 4 5; do
  read -r cpu wall < <(cpu_of mpg123 -q -t long60.mp3)
  if [ -z "$mpg" ] || awk "BEGIN{exit !($cpu < $mpg)}"; then mpg=$cpu; fi
done
mpg_ms=$(awk "BEGIN{printf \"%.1f\", $mpg*1000}")
echo "mpg123_cpu_ms $mpg_ms (whole process, best of 5)"
# The same with mpg123's portable C decoder (no SIMD), for context: the
# codec inside Wine is a plain C build.
gen=""
for i in 1 2 3; do
  read -r cpu wall < <(cpu_of mpg123 --cpu generic -q -t long60.mp3)
  if [ -z "$gen" ] || awk "BEGIN{exit !($cpu < $gen)}"; then gen=$cpu; fi
done
gen_ms=$(awk "BEGIN{printf \"%.1f\", $gen*1000}")
echo "mpg123_generic_cpu_ms $gen_ms (--cpu generic, best of 3)"

export VANTREL_WINEPREFIX="${VANTREL_WINEPREFIX:-$root/build/wineprefix-decoder}"
export VANTREL_XVFB=1
. "$root/scripts/wine-env.sh"
trap vwine_down EXIT
wpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
cd "$build/bin"
"$VWINE" ./vbmp3_bench.exe noop >/dev/null 2>&1 || true   # warm the prefix

# Wine start overhead: a program that does nothing, best of 3.
ws=""
for i in 1 2 3; do
  read -r cpu wall < <(cpu_of "$VWINE" ./vbmp3_bench.exe noop)
  if [ -z "$ws" ] || awk "BEGIN{exit !($cpu < $ws)}"; then ws=$cpu; wswall=$wall; fi
done
echo "wine_start_cpu_ms $(awk "BEGIN{printf \"%.0f\", $ws*1000}") (wine64 process only; wall $(awk "BEGIN{printf \"%.0f\", $wswall*1000}") ms)"

# The library's decoding path, 20 passes over the same file, timed inside
# the process (so without the Wine start).
"$VWINE" ./vbmp3_bench.exe decode "$(wpath "$work/long60.mp3")" 20 | tr -d '\r' | tee "$work/decode.txt"
lib=$(awk '/decode_cpu_ms_per_pass/{print $2}' "$work/decode.txt")
libwall=$(awk '/decode_wall_ms_per_pass/{print $2}' "$work/decode.txt")
echo "ratio_decode_cpu_vs_mpg123 $(awk "BEGIN{printf \"%.2f\", $lib / $mpg_ms}") (goal <= 1.5)"
echo "ratio_decode_wall_vs_mpg123_cpu $(awk "BEGIN{printf \"%.2f\", $libwall / $mpg_ms}")"
echo "ratio_decode_cpu_vs_mpg123_generic $(awk "BEGIN{printf \"%.2f\", $lib / $gen_ms}")"

# vbmp3_open on the 10 MB file with the 1 MB tag.
"$VWINE" ./vbmp3_bench.exe open "$(wpath "$work/big10m.mp3")" 50 | tr -d '\r'

# CPU of the whole process while the DLL plays for 30 s.
"$VWINE" ./vbmp3_bench.exe play "$(wpath "$work/long60.mp3")" 30 | tr -d '\r'
