#!/usr/bin/env bash
# Runs the rip job tests that hold the progress window for pictures (running, paused,
# finished) and takes each picture from the X server: bash tests/engine/rip-screenshots.sh
# OUTDIR. Not a test; the pictures are for looking at.
set -eu
out=$(realpath -m "${1:-/tmp/rip-shots}")
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$repo/scripts/common.sh"
trap stop_all EXIT INT TERM
mkdir -p "$out"
rm -f "$out"/*.ready "$out"/*.png
wine_env
start_display
start_wine
cd "$build/tests/engine"
CORVANE_SHOT_DIR="Z:${out//\//\\}" wine "$build/bin/engine_rip_test.exe" \
  --gtest_filter='*StereoCdRate*:*ReadFailingTwice*:*CancelMid*' >"$out/test.log" 2>&1 &
test_pid=$!
while kill -0 $test_pid 2>/dev/null; do
  for ready in "$out"/*.ready; do
    [ -e "$ready" ] || continue
    sleep 0.5
    import -window root "${ready%.ready}.png"
    rm -f "$ready"
  done
  sleep 0.1
done
wait $test_pid || echo "the tests failed; see $out/test.log"
ls "$out"/*.png
