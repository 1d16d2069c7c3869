#!/bin/sh
# Writes the audio fixtures of the decoder tests into the folder $1 with sox
# and lame. Everything else (hand-made tags, VBRI, damaged files) the tests
# build from these bytes themselves.
set -eu
out="$1"
mkdir -p "$out"
cd "$out"
[ -f .done ] && exit 0

synth() {  # name seconds rate channels effect...
  name=$1 secs=$2 rate=$3 ch=$4
  shift 4
  sox -q -n -r "$rate" -c "$ch" -b 16 "$name.wav" synth "$secs" "$@"
}

# A chord with parts in the bass, low mid, mid and upper mid, in both
# channels (sox gives each synth tone a channel of its own, so four are
# made and mixed into two).
sox -q -r 44100 -c 4 -n -b 16 -c 2 chord.wav synth 3 sine 80 sine 330 sine 1100 sine 3000 \
  remix 1,2,3,4 1,2,3,4 gain -n -3
lame --quiet -b 128 --tt "Chord" --ta "Vantrel" chord.wav cbr44s.mp3
lame --quiet -b 128 --id3v1-only --tt "V1 Title" --ta "V1 Artist" chord.wav id3v1only.mp3
lame --quiet -b 128 chord.wav notag.mp3

# Noise: sound in every band, for the spectrum and the playing clock.
synth noise 5 44100 2 pinknoise gain -n -6
lame --quiet -b 128 --tt "Noise" --ta "Vantrel" noise.wav noise5.mp3
lame --quiet -V 2 noise.wav vbr.mp3

# Sampling rates and a single channel.
synth mono 3 22050 1 sine 300 gain -n -3
lame --quiet -m m -b 64 mono.wav mono22.mp3
synth r32 3 32000 2 sine 500 gain -n -3
lame --quiet -b 128 r32.wav s32.mp3
synth r48 3 48000 2 sine 500 gain -n -3
lame --quiet -b 192 r48.wav s48.mp3
synth r11 3 11025 1 sine 500 gain -n -3
lame --quiet -m m -b 32 r11.wav s11.mp3
synth r8 3 8000 1 sine 500 gain -n -3
lame --quiet -m m -b 16 r8.wav s8.mp3
# An MPEG-2 file with no Xing frame, to be counted frame by frame.
lame --quiet -t -b 64 -m m mono.wav mono22-noxing.mp3

# Not audio at all.
printf 'This is a text file, not music.\n' > text.mp3
: > empty.mp3
mkdir -p folder.mp3
# A small PNG picture (fixed bytes).
printf '\211PNG\r\n\032\n\000\000\000\rIHDR\000\000\000\001\000\000\000\001\010\002\000\000\000\220wS\336\000\000\000\014IDATx\234c\370\377\377?\000\005\376\002\376\247\065\201\204\000\000\000\000IEND\256B`\202' > picture.mp3

rm -f ./*.wav
touch .done
