#!/usr/bin/env bash
# Sets up and builds one target, program and tests, without running anything:
# CORVANE_ARCH=i686 (the default) into build/, CORVANE_ARCH=x86_64 into build-x86_64/
# (or $CORVANE_BUILD). Any host builds either; scripts/test.sh runs the one it can.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
case $arch in
  i686 | x86_64) ;;
  *) echo "CORVANE_ARCH is i686 or x86_64, not '$arch'" >&2; exit 2 ;;
esac

echo "[build] $arch in $build"
phase packages;     ensure_packages
phase dependencies; ensure_deps
phase build;        ensure_build
phase ""
