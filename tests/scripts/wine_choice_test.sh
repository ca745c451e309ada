#!/usr/bin/env bash
# Which Wine the scripts choose, on this host and on one that runs 64-bit user code only.
# That host is stood in for by a program this kernel refuses just as such a kernel refuses
# any i386 program (execve: ENOEXEC): the probe's own bytes with another machine type.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
passed=0 failed=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $1: expected '$2', got '$3'"
  fi
}

refused=$build/refused
printf "$(printf '%s' "$i386_probe" | sed 's/^\(\(\\x..\)\{18\}\)\\x03/\1\\x28/')" >"$refused"
chmod +x "$refused"
check "stand-in is the probe for another machine" "ELF 32-bit LSB executable, ARM" \
  "$(file -b "$refused" | cut -d, -f1-2)"
check "the kernel refuses the stand-in" "Exec format error" \
  "$( ("$refused") 2>&1 | grep -o 'Exec format error')"
capable=$build/capable
printf '#!/bin/sh\nexit 42\n' >"$capable"
chmod +x "$capable"

# The probe itself: a real i386 program, and its verdict agrees with the 32-bit loader's.
runs_32bit_linux && verdict=yes || verdict=no
check "probe is an i386 program" "ELF 32-bit LSB executable, Intel 80386" \
  "$(file -b "$build/.i386-probe" | cut -d, -f1-2)"
if [ -e /lib/ld-linux.so.2 ]; then
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 && loader=yes || loader=no
  check "probe agrees with /lib/ld-linux.so.2" "$loader" "$verdict"
fi
runs_32bit_linux "$refused" && check "refused stand-in runs 32-bit code" no yes

# CORVANE_WINE, host -> chosen Wine (or "error").
while read -r setting host expected; do
  wine_kind=error
  program=$capable; [ "$host" = 64-bit-only ] && program=$refused
  [ "$setting" = - ] && setting=""
  CORVANE_WINE=$setting choose_wine "$program" 2>/dev/null || wine_kind=error
  check "CORVANE_WINE='$setting' on a $host host" "$expected" "$wine_kind"
done <<'CASES'
-      32-bit-capable system
auto   32-bit-capable system
auto   64-bit-only    wow64
-      64-bit-only    wow64
wow64  32-bit-capable wow64
wow64  64-bit-only    wow64
system 32-bit-capable system
system 64-bit-only    error
win32  32-bit-capable error
CASES

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
