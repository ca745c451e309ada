#!/usr/bin/env bash
# Runs a Windows test program under 32-bit Wine in the build tree's own prefix.
# CTest uses this as the cross-compiling emulator; the test script starts the
# wineserver and the X server beforehand.
set -u
build_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec wine "$@"
