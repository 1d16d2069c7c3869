#!/bin/sh
# Builds the libFuzzer target of the decoder core and runs it.
#   vbmp3/fuzz/run.sh [seconds]      (default 60)
# Needs clang and libclang-rt (apt-get install clang libclang-rt-14-dev).
# The seed corpus stays untouched; new inputs go to build/fuzz-decoder/corpus.
set -eu
secs="${1:-60}"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
out="$root/build/fuzz-decoder"
mkdir -p "$out/corpus" "$out/crashes"
CXX="${CXX:-clang++}"
$CXX -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root/vbmp3" \
  "$here/fuzz_core.cpp" "$root/vbmp3/core/mp3scan.cpp" "$root/vbmp3/core/tags.cpp" \
  "$root/vbmp3/core/track.cpp" \
  -o "$out/fuzz_core"
cd "$out"
./fuzz_core -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix="$out/crashes/" -print_final_stats=1 corpus "$here/corpus"
