#!/usr/bin/env bash
# Rip speed: rips a generated 30-minute virtual disc to WAV, MP3 and Ogg Vorbis through the
# rip job window under Wine + Xvfb and prints each speed in x realtime and its CPU time per
# minute of audio, next to a plain copy of the same bytes (cp of the BIN) in the same run.
# Not a test.
#   scripts/bench-rip.sh [minutes]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
trap stop_all EXIT INT TERM
minutes=${1:-30}
work=$build/bench-rip
disc=$work/disc
out=$work/out
rm -rf "$work"
mkdir -p "$out"
sectors=$((minutes * 60 * 75 / 10))
python3 "$repo/platform/tools/make_test_disc.py" --out "$disc" \
  --lengths "$(printf "$sectors,%.0s" $(seq 10))" >/dev/null
cmake --build "$build" --target rip_bench >/dev/null
wine_env
start_display
start_wine

bin_bytes=$(stat -c %s "$disc/disc.bin")
audio_seconds=$((minutes * 60))
start=$(date +%s.%N)
cp "$disc/disc.bin" "$out/copy.bin"
end=$(date +%s.%N)
copy=$(echo "$end - $start" | bc -l)
printf 'cp of the BIN: %d MB in %.2f s = %.1fx realtime\n' $((bin_bytes / 1048576)) "$copy" \
  "$(echo "$audio_seconds / $copy" | bc -l)"
rm -f "$out/copy.bin"

winout="Z:${out//\//\\}\\"
wine "$build/bin/rip_bench.exe" "$disc" "$winout" 1 7
rm -rf "$out"/*
wine "$build/bin/rip_bench.exe" "$disc" "$winout" 0 4
rm -rf "$out"/*
wine "$build/bin/rip_bench.exe" "$disc" "$winout" 1 7 2
rm -rf "$out"/*
wine "$build/bin/rip_bench.exe" "$disc" "$winout" 1 7 3
