#!/usr/bin/env bash
# Runs the About box and start-up tip tests holding each window for a picture and takes
# the pictures from the X server: bash tests/app/about-screenshots.sh OUTDIR. Not a test.
set -eu
out=$(realpath -m "${1:-/tmp/about-shots}")
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$repo/scripts/common.sh"
trap stop_all EXIT INT TERM
mkdir -p "$out"
rm -f "$out"/*.ready "$out"/*.png
wine_env
start_display
start_wine
cd "$build/tests/app"
CORVANE_SHOT_DIR="Z:${out//\//\\}" wine "$build/bin/app_about_tip_test.exe" \
  --gtest_filter='*AboutCommandRuns*:*StartupTipShows*' >"$out/test.log" 2>&1 &
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
