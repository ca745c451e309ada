#!/usr/bin/env bash
# Runs a Windows program of the build by hand under the Wine this host needs
# (Debian's, or the WoW64 build where 32-bit Linux programs cannot run; Debian's
# 64-bit one for the 64-bit build in build-x86_64/), in the prefix scripts/run.sh
# uses, so its drive letters and album cache are there:
#   bash scripts/wine.sh build/bin/Corvane.exe
#   bash scripts/wine.sh build/bin/cdmount.exe R: /path/to/disc-folder
# Run scripts/run.sh (or scripts/test.sh) once first: it installs and builds.
# Without an X display it starts a virtual one for the program's lifetime.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
[ $# -gt 0 ] || { echo "usage: bash scripts/wine.sh PROGRAM.exe [ARGUMENTS...]" >&2; exit 2; }
choose_target
command -v wine >/dev/null || [ "$wine_kind" = wow64 ] ||
  { echo "Wine is not installed yet: run bash scripts/run.sh once" >&2; exit 1; }
ensure_wine >&2
debug=${WINEDEBUG:--all}
trap stop_display EXIT INT TERM
start_display
if [ -n "$started_xvfb" ]; then
  # No desktop, so no sound card either: the tests' silent device, as in scripts/run.sh.
  wine_env
  echo "No display: running on Xvfb $DISPLAY" >&2
fi
export WINEPREFIX=$build/wineprefix-run$wine_suffix WINEARCH=$wine_arch WINEDEBUG=$debug
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
status=0
wine "$@" || status=$?
exit $status
