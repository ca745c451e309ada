#!/usr/bin/env bash
# Writes the discs engine_rip_test loads (its expectations follow these options).
set -eu
python=$1 gen=$2 out=$3
rm -rf "$out"
# Tracks 8 to 10: the right channel's counter is negative (0x8xxx ...), the left a tone.
"$python" "$gen" --out "$out/main" --first 8 --lengths 150,77,41 >/dev/null
# The read of sectors 130 to 155 fails twice, then succeeds; the writer is still busy with
# the long first track when the retry lines arrive.
"$python" "$gen" --out "$out/retry" --lengths 2000,100 --read-error 130:1:2 >/dev/null
# Sector 1300 never reads; it lies further into the disc than the rip ring reaches ahead
# of the writer, so track 1 is complete before the reader gives up.
"$python" "$gen" --out "$out/broken" --lengths 150,1200 --read-error 1300:1:-1 >/dev/null
# Three tracks of 3 s; sector 300, in track 2, never reads. The reader reaches it long
# before the writer is through track 1: what it read before must still be encoded.
"$python" "$gen" --out "$out/early-error" --lengths 225,225,225 --read-error 300:1:-1 >/dev/null
# Long enough to cancel in the middle of the first track.
"$python" "$gen" --out "$out/long" --lengths 3000,3000 >/dev/null
# Three tracks of 705,600 bytes for a 1 MB file system.
"$python" "$gen" --out "$out/full" --lengths 300,300,300 >/dev/null
