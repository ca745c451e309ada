#!/usr/bin/env bash
# Sets up everything on a Debian 12 machine, builds, and starts Corvane under Wine
# on the embedded demo disc. With no X display it starts a virtual one (Xvfb) and
# says how to look at it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

phase packages;     ensure_packages
phase dependencies; ensure_deps
phase build;        ensure_build
phase start
user_display=${DISPLAY:-}
wine_env
export WINEPREFIX=$build/wineprefix-run
start_display
start_wine
[ -z "$user_display" ] && echo "No display: running on Xvfb $DISPLAY (screenshot: DISPLAY=$DISPLAY import -window root shot.png)"
phase ""
status=0
wine "$build/bin/Corvane.exe" || status=$?
stop_all
exit $status
