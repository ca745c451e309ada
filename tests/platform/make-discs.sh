#!/usr/bin/env bash
# Writes the discs platform_drive_test expects (its expected tables follow these options).
set -eu
python=$1 gen=$2 out=$3
rm -rf "$out"
# Mixed mode: data track first, first audio track 4, INDEX 00 gaps, injected read errors.
"$python" "$gen" --out "$out/mixed" --first 3 --lengths 4500,2250,1500 --data first \
  --data-sectors 300 --index0 150 --read-error 1000:2:3 --read-error 2000:1:-1 >/dev/null
# Plain: one BIN per track, 5000 audio sectors (11.7 MB).
"$python" "$gen" --out "$out/plain" --lengths 3000,2000 --split >/dev/null
# WAVE files with a PREGAP that no file holds.
"$python" "$gen" --out "$out/wave" --lengths 300,200 --wave --pregap 75 >/dev/null
# A data track last in the audio's session, and an enhanced disc with it in a second one.
"$python" "$gen" --out "$out/data-last" --lengths 150,300 --data last >/dev/null
"$python" "$gen" --out "$out/enhanced" --lengths 150,300 --data last --data-session 2 >/dev/null
mkdir -p "$out/broken" "$out/empty"
