#!/usr/bin/env bash
# Which target and Wine the scripts choose, on this host and on the two kinds of host
# that run 64-bit user code only: one that still runs 32-bit code inside a 64-bit process,
# one that runs no 32-bit code at all. A program this kernel refuses just as such a kernel
# refuses any i386 program (execve: ENOEXEC) stands in for a probe that fails: the i386
# probe's own bytes with another machine type. The code probe with a null code selector
# stands in for one whose jump faults.
set -u
unset CORVANE_ARCH CORVANE_WINE CORVANE_BUILD
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"
probe_dir=$(mktemp -d)
trap 'rm -rf "$probe_dir"' EXIT
passed=0 failed=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $1: expected '$2', got '$3'"
  fi
}

refused=$probe_dir/refused
printf "$(printf '%s' "$i386_probe" | sed 's/^\(\(\\x..\)\{18\}\)\\x03/\1\\x28/')" >"$refused"
chmod +x "$refused"
check "stand-in is the probe for another machine" "ELF 32-bit LSB executable, ARM" \
  "$(file -b "$refused" | cut -d, -f1-2)"
check "the kernel refuses the stand-in" "Exec format error" \
  "$( ("$refused") 2>&1 | grep -o 'Exec format error')"
capable=$probe_dir/capable
printf '#!/bin/sh\nexit 42\n' >"$capable"
chmod +x "$capable"
faulting=$probe_dir/faulting
printf "${ia32_probe/\\x6a\\x23/\\x6a\\x00}" >"$faulting"
chmod +x "$faulting"
status=0
"$faulting" || status=$?
check "the probe outlives its child's fault" 0 "$status"
runs_32bit_code "$faulting" && check "faulting stand-in runs 32-bit code" no yes

# The probes themselves: real programs, and their verdicts agree with each other and
# with the 32-bit loader's.
runs_32bit_linux && linux=yes || linux=no
runs_32bit_code && code=yes || code=no
check "i386 probe is an i386 program" "ELF 32-bit LSB executable, Intel 80386" \
  "$(file -b "$probe_dir/.i386-probe" | cut -d, -f1-2)"
check "code probe is an x86-64 program" "ELF 64-bit LSB executable, x86-64" \
  "$(file -b "$probe_dir/.ia32-probe" | cut -d, -f1-2)"
[ $linux = yes ] && check "where 32-bit Linux programs run, 32-bit code runs" yes $code
if [ -e /lib/ld-linux.so.2 ]; then
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 && loader=yes || loader=no
  check "probe agrees with /lib/ld-linux.so.2" "$loader" "$linux"
fi
runs_32bit_linux "$refused" && check "refused stand-in runs 32-bit code" no yes
echo "this host: 32-bit Linux programs $linux, 32-bit code $code"

check "i686 build folder" "$repo/build" "$(build_for i686)"
check "x86_64 build folder" "$repo/build-x86_64" "$(build_for x86_64)"
check "CORVANE_BUILD names the folder" /b "$(CORVANE_BUILD=/b build_for x86_64)"

# CORVANE_ARCH, CORVANE_WINE, host -> chosen target and Wine (or "error").
while read -r arch_setting wine_setting host expected; do
  arch=error wine_kind=error
  case $host in
    32-bit-capable) probes=("$capable" "$capable") ;;
    64-bit-linux) probes=("$refused" "$capable") ;;
    no-32-bit) probes=("$refused" "$faulting") ;;
  esac
  [ "$arch_setting" = - ] && arch_setting=""
  [ "$wine_setting" = - ] && wine_setting=""
  CORVANE_ARCH=$arch_setting CORVANE_WINE=$wine_setting choose_target "${probes[@]}" 2>/dev/null ||
    arch=error wine_kind=error
  got="$arch/$wine_kind"; [ "$got" = error/error ] && got=error
  check "CORVANE_ARCH='$arch_setting' CORVANE_WINE='$wine_setting' on a $host host" "$expected" "$got"
done <<'CASES'
-      -      32-bit-capable i686/system
-      -      64-bit-linux   i686/wow64
-      -      no-32-bit      x86_64/system
auto   auto   no-32-bit      x86_64/system
i686   -      32-bit-capable i686/system
i686   -      64-bit-linux   i686/wow64
i686   -      no-32-bit      error
x86_64 -      32-bit-capable x86_64/system
x86_64 -      64-bit-linux   x86_64/system
x86_64 -      no-32-bit      x86_64/system
x86_64 wow64  no-32-bit      x86_64/wow64
-      wow64  32-bit-capable i686/wow64
-      wow64  64-bit-linux   i686/wow64
-      system 32-bit-capable i686/system
-      system 64-bit-linux   error
-      system no-32-bit      x86_64/system
i686   system no-32-bit      error
-      win32  32-bit-capable error
amd64  -      32-bit-capable error
CASES

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
