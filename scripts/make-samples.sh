#!/usr/bin/env bash
# Makes the three sample tracks in samples/ from synthesised sound (sox) and
# encodes them with lame. Everything here is our own sound: sine chords, bell
# partials and filtered pink noise, no recordings.
#
#   samples/01-dawn.mp3   "夜明けの和音"  five changing chords   128 kbit/s CBR
#   samples/02-noise.mp3  "青い雑音"      four bands of noise     VBR (lame -V 2)
#   samples/03-bells.mp3  "三つの鐘"      three bell strikes      128 kbit/s CBR
#
# All are stereo, 44.1 kHz, about 5 to 6 seconds, with sound in each band the
# spectrum display shows (bass about 50-150 Hz, low mids 250-500 Hz, mids
# 1-2 kHz, upper mids about 3-5 kHz) all through the track. Title and
# artist go into an ID3v2 tag as UTF-16 with byte order mark. sox runs with
# -R (fixed random numbers), so the noise and the dither are the same on
# every run. At the end the script checks the tags and the band content.
#
# Needs: sox, lame, mpg123 (for the check), python3.
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=samples
mkdir -p "$OUT"

for tool in sox lame mpg123 python3; do
  command -v "$tool" >/dev/null || { echo "make-samples: $tool is missing" >&2; exit 1; }
done

# lame converts --tt/--ta from the locale's character set to UTF-16, so the
# arguments (UTF-8 here) need a UTF-8 locale.
if locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  export LC_ALL=ja_JP.UTF-8
else
  export LC_ALL=C.UTF-8
fi

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

RATE=44100
ARTIST="Vantrel サンプル"
ALBUM="Vantrel サンプル集"

# sox with fixed random numbers, quiet, 32-bit float intermediates.
sx() { sox -R -V1 "$@"; }
F32=(-e floating-point -b 32)

# tones OUT SECONDS FREQ:LEFT:RIGHT ...
# A stereo chord of sine tones, each with its own level in the left and the
# right channel.
tones() {
  local out=$1 len=$2; shift 2
  local n=$# specs=() lmix=() rmix=() i=1 f l r t
  for t in "$@"; do
    IFS=: read -r f l r <<<"$t"
    specs+=(sine "$f")
    lmix+=("${i}v${l}")
    rmix+=("${i}v${r}")
    i=$((i + 1))
  done
  local IFS=,
  sx -n -r "$RATE" -c "$n" "${F32[@]}" -t wav - synth "$len" "${specs[@]}" |
    sx -t wav - -c 2 "${F32[@]}" "$out" remix -m "${lmix[*]}" "${rmix[*]}"
}

# encode WAV MP3 TITLE TRACKNO LAME-RATE-OPTIONS...
encode() {
  local wav=$1 mp3=$2 title=$3 no=$4; shift 4
  lame --quiet --noreplaygain -q 2 "$@" \
    --add-id3v2 --id3v2-only --id3v2-utf16 \
    --tt "$title" --ta "$ARTIST" --tl "$ALBUM" --tn "$no/3" \
    "$wav" "$mp3"
}

# Final stage: 16-bit, normalised to -1 dBFS, short fades at both ends.
finish() { sx "$1" -b 16 -e signed-integer "$2" gain -n -1 fade h 0.02 -0 0.15; }

# --- 01: 夜明けの和音 (dawn chords) -------------------------------------------
# C, Am, F/C, G7sus4, C over a held C6: per chord two bass tones (55-131 Hz),
# two low-mid tones (260-440 Hz, one of them E4 or F4 near 340 Hz), two mid
# tones (the held C6 at 1047 Hz and one more up to 1.8 kHz) and two upper-mid
# tones (3.1-4.7 kHz). Each chord swells in and dies away; left and right are
# weighted a little differently. Under the chords a soft band of noise
# (2.7-5 kHz) breathes in and out, so the top of the range never falls silent.
chord() { # OUT SECONDS b1 b2 lm1 lm2 m1 m2 u1 u2
  local out=$1 len=$2
  tones "$TMP/raw.wav" "$len" \
    "$3:0.22:0.20" "$4:0.14:0.16" "$5:0.16:0.12" "$6:0.11:0.15" \
    "$7:0.10:0.09" "$8:0.07:0.09" "$9:0.05:0.04" "${10}:0.04:0.05"
  sx "$TMP/raw.wav" "${F32[@]}" "$out" fade q 0.08 -0 0.35 tremolo 3 20
}
chord "$TMP/c1.wav" 1.0 65.41 130.81 329.63 392.00 1046.50 1318.51 3135.96 4186.01
chord "$TMP/c2.wav" 1.0 55.00 110.00 261.63 329.63 1046.50 1318.51 3520.00 4186.01
chord "$TMP/c3.wav" 1.0 65.41 87.31 349.23 440.00 1046.50 1760.00 3520.00 4186.01
chord "$TMP/c4.wav" 1.0 73.42 98.00 293.66 349.23 1046.50 1567.98 3135.96 4698.64
chord "$TMP/c5.wav" 1.5 65.41 130.81 329.63 392.00 1046.50 1567.98 3135.96 4186.01
sx "$TMP"/c{1,2,3,4,5}.wav "$TMP"/c{1,2,3,4,5}.wav "${F32[@]}" "$TMP/chords.wav"
sx -n -r "$RATE" -c 2 "${F32[@]}" "$TMP/air.wav" synth 11.0 whitenoise whitenoise \
  sinc 2700-5000 gain -18 tremolo 0.7 50
sx -m -v 1 "$TMP/chords.wav" -v 1 "$TMP/air.wav" "${F32[@]}" "$TMP/dawn.wav"
finish "$TMP/dawn.wav" "$TMP/dawn16.wav"
encode "$TMP/dawn16.wav" "$OUT/01-dawn.mp3" "夜明けの和音" 1 -b 128 --cbr

# --- 02: 青い雑音 (blue noise) --------------------------------------------------
# Pink noise, split into four bands, each band swelling at its own slow rate,
# so the bars rise and fall in turn. The two channels get independent noise.
band() { # OUT LOW-HIGH GAIN-dB TREMOLO-Hz
  sx -n -r "$RATE" -c 2 "${F32[@]}" "$1" synth 14.0 pinknoise pinknoise \
    sinc "$2" gain "$3" tremolo "$4" 70
}
band "$TMP/n1.wav" 45-150 0 0.6
band "$TMP/n2.wav" 250-500 -2 0.9
band "$TMP/n3.wav" 1000-2000 0 1.3
band "$TMP/n4.wav" 2700-5000 2 1.7
sx -m "$TMP"/n{1,2,3,4}.wav "${F32[@]}" "$TMP/noise.wav"
finish "$TMP/noise.wav" "$TMP/noise16.wav"
encode "$TMP/noise16.wav" "$OUT/02-noise.mp3" "青い雑音" 2 -V 2

# --- 03: 三つの鐘 (three bells) ------------------------------------------------
# Three strikes 1.6 s apart. Each bell is a set of inharmonic partials: a low
# group (a hum near 60 Hz, one more bass partial and three between 260 and
# 470 Hz) that rings 2.6 s and a high group (1.0-4.7 kHz) that dies away in
# 2 s. Bell one leans left, bell two is in the middle, bell three leans right.
bell() { # OUT LEFT RIGHT LOW-GROUP(5 values in Hz) HIGH-GROUP(5 values in Hz)
  local out=$1 l=$2 r=$3; shift 3
  local lv=(0.30 0.18 0.14 0.16 0.10) hv=(0.12 0.09 0.08 0.07 0.05) lo=() hi=() i
  for i in 0 1 2 3 4; do
    lo+=("$(awk -v f="$1" -v a="${lv[$i]}" -v l="$l" -v r="$r" \
      'BEGIN { printf "%s:%.4f:%.4f", f, a * l, a * r }')")
    shift
  done
  for i in 0 1 2 3 4; do
    hi+=("$(awk -v f="$1" -v a="${hv[$i]}" -v l="$l" -v r="$r" \
      'BEGIN { printf "%s:%.4f:%.4f", f, a * l, a * r }')")
    shift
  done
  tones "$TMP/lo.wav" 2.6 "${lo[@]}"
  tones "$TMP/hi.wav" 2.0 "${hi[@]}"
  sx "$TMP/lo.wav" "${F32[@]}" "$TMP/lo2.wav" fade t 0.004 -0 2.55
  sx "$TMP/hi.wav" "${F32[@]}" "$TMP/hi2.wav" fade t 0.002 -0 1.95 pad 0 0.6
  sx -m -v 1 "$TMP/lo2.wav" -v 1 "$TMP/hi2.wav" "${F32[@]}" "$out"
}
bell "$TMP/b1.wav" 1.0 0.6 \
  55.0 110.0 275.0 343.0 412.0   1072 1650 2880 3710 4620
bell "$TMP/b2.wav" 0.85 0.85 \
  61.7 123.5 296.0 338.0 440.0   1061 1480 2870 3330 4440
bell "$TMP/b3.wav" 0.6 1.0 \
  65.4 146.8 261.6 349.0 466.0   1080 1870 2890 3920 4700
sx "$TMP/b2.wav" "${F32[@]}" "$TMP/b2p.wav" pad 1.6
sx "$TMP/b3.wav" "${F32[@]}" "$TMP/b3p.wav" pad 3.2
sx -m -v 1 "$TMP/b1.wav" -v 1 "$TMP/b2p.wav" -v 1 "$TMP/b3p.wav" "${F32[@]}" "$TMP/bells.wav"
finish "$TMP/bells.wav" "$TMP/bells16.wav"
encode "$TMP/bells16.wav" "$OUT/03-bells.mp3" "三つの鐘" 3 -b 128 --cbr

# --- check: tags and bands ----------------------------------------------------
for f in 01-dawn 02-noise 03-bells; do
  mpg123 -q -w "$TMP/$f.dec.wav" "$OUT/$f.mp3"
done
python3 - "$OUT" "$TMP" "$ARTIST" <<'PY'
import cmath, math, struct, sys, wave

out, tmp, artist = sys.argv[1], sys.argv[2], sys.argv[3]
want = {"01-dawn": "夜明けの和音", "02-noise": "青い雑音", "03-bells": "三つの鐘"}
bands = [("60-150", 60, 150), ("250-500", 250, 500), ("1k-2k", 1000, 2000), ("3k-5k", 3000, 5000)]
ok = True

def frames(data):
    """ID3v2.3/2.4 frames of the tag at the start of data: {id: body}."""
    assert data[:3] == b"ID3", "no ID3v2 tag"
    ver = data[3]
    size = (data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]
    pos, end, res = 10, 10 + size, {}
    while pos + 10 <= end and data[pos] != 0:
        fid = data[pos:pos + 4].decode("latin-1")
        b = data[pos + 4:pos + 8]
        n = ((b[0] << 21) | (b[1] << 14) | (b[2] << 7) | b[3]) if ver == 4 else struct.unpack(">I", b)[0]
        res[fid] = data[pos + 10:pos + 10 + n]
        pos += 10 + n
    return ver, res

def fft(x):
    n = len(x)
    if n == 1:
        return x
    even, odd = fft(x[0::2]), fft(x[1::2])
    tw = [cmath.exp(-2j * math.pi * k / n) * odd[k] for k in range(n // 2)]
    return [even[k] + tw[k] for k in range(n // 2)] + [even[k] - tw[k] for k in range(n // 2)]

for name, title in want.items():
    path = f"{out}/{name}.mp3"
    data = open(path, "rb").read()
    ver, fr = frames(data)
    for fid, text in (("TIT2", title), ("TPE1", artist)):
        body = fr.get(fid, b"")
        enc, bom = body[:1], body[1:3]
        good = enc == b"\x01" and bom in (b"\xff\xfe", b"\xfe\xff")
        got = body[1:].decode("utf-16").rstrip("\0") if good else None
        if not good or got != text:
            ok = False
        print(f"{path}: ID3v2.{ver} {fid} encoding byte {enc.hex()} BOM {bom.hex()} -> {got!r}"
              f" {'ok' if good and got == text else 'WRONG'}")
    if data[-128:-125] == b"TAG":
        print(f"{path}: unexpected ID3v1 tag"); ok = False

    w = wave.open(f"{tmp}/{name}.dec.wav")
    rate, ch, n = w.getframerate(), w.getnchannels(), w.getnframes()
    pcm = struct.unpack(f"<{n * ch}h", w.readframes(n))
    N = 4096
    hann = [0.5 - 0.5 * math.cos(2 * math.pi * i / N) for i in range(N)]
    rows = []
    for t in [0.5 + 0.5 * k for k in range(int((n / rate - 1.0) / 0.5))]:
        s = int(t * rate)
        for c in range(ch):
            spectrum = fft([pcm[(s + i) * ch + c] / 32768.0 * hann[i] for i in range(N)])
            db = []
            for _, lo, hi in bands:
                e = sum(abs(spectrum[k]) ** 2 for k in range(int(lo * N / rate), int(hi * N / rate) + 1))
                db.append(10 * math.log10(e + 1e-12))
            rows.append((t, "LR"[c], db))
    print(f"{path}: {n / rate:.2f} s, {ch} ch, {rate} Hz, {len(data)} bytes; band energy dB"
          f" ({', '.join(b[0] for b in bands)}), min/max over {len(rows)} windows:")
    for i, (label, _, _) in enumerate(bands):
        vals = [r[2][i] for r in rows]
        print(f"    {label:>8}: {min(vals):6.1f} .. {max(vals):6.1f}")
        if min(vals) < 0.0:   # about -60 dB below a full-scale sine in this window
            ok = False; print(f"    {label}: too quiet somewhere")
    if ch != 2 or rate != 44100:
        ok = False
sys.exit(0 if ok else 1)
PY
ls -l "$OUT"/*.mp3
