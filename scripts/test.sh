#!/usr/bin/env bash
# Sets up everything on a Debian 12 machine, builds, and runs the tests under Wine.
# Extra arguments go to ctest (for example -R ring).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
trap stop_all EXIT INT TERM

phase packages;     choose_target; ensure_packages
phase wine;         ensure_wine
phase dependencies; ensure_deps
phase build;        ensure_build
phase format;       bash "$repo/scripts/check-format.sh"
phase tests
wine_env
start_display
start_wine
# Xvfb has no window manager to wait for.
set_managed_windows N
hold_desktop
status=0
# Window tests share one X display, its foreground and clipboard: under a fully loaded
# machine one of them can lose a race with another program's window. Such a test gets
# one more run; its first failure stays in the output for whoever looks.
(cd "$build" && ctest --output-on-failure --repeat until-pass:2 -j "$(nproc)" "$@") || status=$?
phase ""
exit $status
