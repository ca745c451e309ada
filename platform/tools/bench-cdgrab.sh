#!/usr/bin/env bash
# Prints the library's read throughput over a generated virtual disc under Wine.
#   platform/tools/bench-cdgrab.sh [build-dir] [minutes]
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/scripts/common.sh"
choose_target
build=$(cd "${1:-$root/build-cdgrab}" && pwd)
minutes=${2:-20}
disc=$build/bench-disc
sectors=$((minutes * 60 * 75 / 4))
python3 "$root/platform/tools/make_test_disc.py" --out "$disc" \
  --lengths "$sectors,$sectors,$sectors,$sectors" >/dev/null
if ! cmake --build "$build" --target cdgrab_bench AudioCDGrabber >/dev/null; then
  [ -x "$build/bin/cdgrab_bench.exe" ] || exit 1
  echo "build failed; measuring the binaries already built" >&2
fi
ensure_wine
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix$wine_suffix} WINEARCH=$wine_arch WINEDEBUG=-all
for per in 8 26; do
  wine "$build/bin/cdgrab_bench.exe" "$disc" "$per"
done
