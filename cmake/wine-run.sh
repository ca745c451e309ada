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
exec wine "$@"
