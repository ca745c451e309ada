#!/usr/bin/env bash
# Rip speed: rips a generated 30-minute virtual disc to WAV, MP3 and Ogg Vorbis through the
# rip job window under Wine + Xvfb and prints each speed in x realtime and its CPU time per
# minute of audio, next to a plain copy of the same bytes (cp of the BIN) in the same run.
# For MP3 (the program's 128 kbit/s settings) and Ogg Vorbis (quality 3) it also encodes the
# same audio with the bare encoders of this build (encoder_bench: the same libraries and
# calls under the same Wine, without the rip job) and with Debian's native encoders
# (lame -b 128 -q 9, oggenc -q 3; installed when missing), and ends with one line per format:
#   mp3: rip <x>x, bare <x>x, native <x>x, rip/bare <r>, rip/native <r>
# rip/bare shows what the job adds to the encoder (its rip figure counts the job's 0.5 s start
# delay, about 5% of an MP3 rip of 30 minutes); rip/native how close the 32-bit build comes
# to the native one. Figures move with the machine's load: compare the ratios of one
# run. Not a test.
#   scripts/bench-rip.sh [minutes]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
trap stop_all EXIT INT TERM
choose_target
minutes=${1:-30}
work=$build/bench-rip
disc=$work/disc
out=$work/out
rm -rf "$work"
mkdir -p "$out"
sectors=$((minutes * 60 * 75 / 10))
python3 "$repo/platform/tools/make_test_disc.py" --out "$disc" \
  --lengths "$(printf "$sectors,%.0s" $(seq 10))" >/dev/null
cmake --build "$build" --target rip_bench encoder_bench >/dev/null
if ! command -v lame >/dev/null || ! command -v oggenc >/dev/null; then
  native_install() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -q \
      --no-install-recommends lame vorbis-tools >/dev/null
  }
  native_install || { as_root apt-get -o DPkg::Lock::Timeout=900 update -q >/dev/null && native_install; }
fi
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

winpath() { local p=${1//\//\\}; echo "Z:$p"; }
winout="$(winpath "$out")\\"
# The speed figure of a line "... = <x>x realtime ...".
speed_of() { sed -n 's/.*= \([0-9.]*\)x realtime.*/\1/p' <<<"$1" | head -n1; }

wine "$build/bin/rip_bench.exe" "$disc" "$winout" 1 7
rm -rf "$out"/*
wine "$build/bin/rip_bench.exe" "$disc" "$winout" 0 4
rm -rf "$out"/*

# The native encoders read the same samples as a WAV file.
wav=$work/disc.wav
python3 - "$disc/disc.bin" "$wav" <<'PY'
import os, shutil, struct, sys
src, dst = sys.argv[1:]
size = os.path.getsize(src)
with open(dst, "wb") as out, open(src, "rb") as pcm:
    out.write(b"RIFF" + struct.pack("<I", 36 + size) + b"WAVE" + b"fmt " +
              struct.pack("<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16) + b"data" + struct.pack("<I", size))
    shutil.copyfileobj(pcm, out, 1 << 20)
PY

# native FORMAT: encodes the WAV with Debian's encoder on one core; prints the speed.
native() {
  local start end
  start=$(date +%s.%N)
  case $1 in
    mp3) lame --quiet -b 128 -q 9 "$wav" "$out/native.mp3" ;;
    ogg) oggenc --quiet -q 3 -o "$out/native.ogg" "$wav" ;;
  esac
  end=$(date +%s.%N)
  echo "$audio_seconds / ($end - $start)" | bc -l
}

summary=()
for format in mp3 ogg; do
  case $format in mp3) code=2 name="lame -b 128 -q 9" ;; ogg) code=3 name="oggenc -q 3" ;; esac
  line=$(wine "$build/bin/rip_bench.exe" "$disc" "$winout" 1 7 $code)
  echo "$line"
  rip=$(speed_of "$line")
  rm -rf "$out"/*
  line=$(wine "$build/bin/encoder_bench.exe" $format "$(winpath "$disc/disc.bin")" "${winout}bare" \
    $((sectors * 1176)))
  echo "$line"
  bare=$(speed_of "$line")
  rm -rf "$out"/*
  nat=$(native $format)
  printf 'native %s: %.1f min of audio = %.1fx realtime\n' "$name" "$(echo "$audio_seconds / 60" | bc -l)" "$nat"
  rm -rf "$out"/*
  [ -n "$rip" ] && [ -n "$bare" ] && [ -n "$nat" ] || { echo "bench-rip: a $format run failed" >&2; exit 1; }
  summary+=("$(printf '%s: rip %.1fx, bare %.1fx, native %.1fx, rip/bare %.2f, rip/native %.2f' \
    $format "$rip" "$bare" "$nat" "$(echo "$rip / $bare" | bc -l)" "$(echo "$rip / $nat" | bc -l)")")
done
rm -f "$wav"
printf '%s\n' "${summary[@]}"
