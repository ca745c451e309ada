#!/usr/bin/env bash
# Sets up everything on a Debian 12 machine, builds, and starts Corvane under Wine
# on the embedded demo disc. With no X display it starts a virtual one (Xvfb) and
# says how to look at it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
trap stop_all EXIT INT TERM

phase packages;     choose_target; ensure_packages
phase wine;         ensure_wine
phase dependencies; ensure_deps
phase build;        ensure_build
phase start
user_display=${DISPLAY:-}
user_home=$HOME
wine_env
# On a real desktop the program plays through the user's own sound device; only a
# virtual display gets the tests' silent one.
if [ -n "$user_display" ]; then export HOME=$user_home; fi
export WINEPREFIX=$build/wineprefix-run$wine_suffix
start_display
start_wine
# A real desktop's window manager places and activates the windows; Xvfb has none.
if [ -n "$started_xvfb" ]; then set_managed_windows N; else set_managed_windows Y; fi
# The embedded default: a demo disc image (made once) on a Wine CD-ROM letter, and its
# album in the local cache so the titles show without a network.
demo=$build/demo-disc
if [ ! -f "$demo/disc.cue" ]; then
  python3 "$repo/platform/tools/make_test_disc.py" --out "$demo" --lengths 13500,9750,16125,11250,7875 >/dev/null
fi
wine "$build/bin/cdmount.exe" /d D: >/dev/null 2>&1 || true
wine "$build/bin/cdmount.exe" D: "$demo" >/dev/null
wine "$build/bin/seedcache.exe" D: "Maren Oakridge" "The Lantern Hours" 2019 "Folk" \
  "Harbour Lights" "Slow Tide" "Paper Compass" "The Long Field" "Lantern Song" >/dev/null
[ -z "$user_display" ] && echo "No display: running on Xvfb $DISPLAY (screenshot: DISPLAY=$DISPLAY import -window root shot.png)"
phase ""
status=0
wine "$build/bin/Corvane.exe" || status=$?
stop_all
exit $status
