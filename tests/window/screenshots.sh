#!/usr/bin/env bash
# Takes the pictures a window test asks for: runs the test with CORVANE_SHOT_DIR set; each
# time it writes <name>.ready there and holds its window, the screen becomes <name>.png
# and the .ready file goes, which lets the test go on. Not a test.
# Use: bash tests/window/screenshots.sh OUTDIR AREA TEST GTEST_FILTER
#   (AREA: the test's folder under tests/, TEST: its executable's name)
set -eu
out=$(realpath -m "$1")
area=$2 test=$3 filter=$4
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$repo/scripts/common.sh"
trap stop_all EXIT INT TERM
mkdir -p "$out"
rm -f "$out"/*.ready "$out"/*.png
wine_env
start_display
start_wine
cd "$build/tests/$area"
CORVANE_SHOT_DIR="Z:${out//\//\\}" wine "$build/bin/$test.exe" --gtest_filter="$filter" \
  >"$out/test.log" 2>&1 &
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
