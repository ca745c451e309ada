#!/usr/bin/env bash
# Runs a Windows test program under Wine in the build tree's own prefix.
# CTest uses this as the cross-compiling emulator; the test script starts the
# wineserver and the X server beforehand and exports the Wine it chose. Run by
# hand (ctest in the build folder), it takes the choice the scripts noted last.
set -u
build_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
wine_bin="" wine_arch=win32 wine_prefix=$build_dir/wineprefix
[ -f "$build_dir/wine.env" ] && . "$build_dir/wine.env"
[ -n "$wine_bin" ] && case ":$PATH:" in *":$wine_bin:"*) ;; *) PATH=$wine_bin:$PATH ;; esac
export WINEPREFIX=${WINEPREFIX:-$wine_prefix}
export WINEARCH=${WINEARCH:-$wine_arch}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# The program writes into a file that is copied to our output as it grows, so ctest's
# pipe is held only by this script: a Wine process the test starts (a desktop, a
# service) inherits the file and may outlive the test without keeping ctest waiting.
output=$(mktemp "${TMPDIR:-/tmp}/corvane-test.XXXXXX") || exit 1
wine "$@" </dev/null >"$output" 2>&1 &
program=$!
tail -s 0.2 -n +1 -f --pid="$program" "$output"
status=0
wait "$program" || status=$?
rm -f "$output"
exit $status
