# Shared set-up for the run and test commands. Sourced, not run.
# Every step is idempotent and quick when there is nothing to do.

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The build folder of a target: build/ for i686, build-x86_64/ for x86_64, or $CORVANE_BUILD.
build_for() { if [ "$1" = x86_64 ]; then echo "${CORVANE_BUILD:-$repo/build-x86_64}"; else echo "${CORVANE_BUILD:-$repo/build}"; fi; }
arch=${CORVANE_ARCH:-i686}
build=$(build_for "$arch")

phase_start=0
phase() {  # phase NAME: prints the time the previous phase took, starts the next
  local now; now=$(date +%s)
  [ -n "${phase_name:-}" ] && printf '[time] %-13s %4ds\n' "$phase_name" $((now - phase_start))
  phase_name=$1; phase_start=$now
  if [ -n "$1" ]; then echo "== $1"; fi
}

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(cmake ninja-build xvfb xauth x11-utils imagemagick dpkg-dev xz-utils bzip2
  pkg-config file sox clang-format python3 libdiscid0)
# The cross compilers of a target (i686 or x86_64 in Debian's spelling).
toolchain_packages() {
  local a=${1//_/-}
  echo "g++-mingw-w64-$a-posix gcc-mingw-w64-$a-posix binutils-mingw-w64-$a mingw-w64-$a-dev"
}
# Debian's Wine runs 32-bit programs through a 32-bit Linux loader, 64-bit ones
# through its 64-bit loader; the WoW64 Wine (scripts/build-wine.sh) brings its
# own build dependencies.
system_wine_packages_i686=(wine wine32:i386)
system_wine_packages_x86_64=(wine wine64)

# A 96-byte static i386 Linux program that exits with status 42. A kernel that
# runs 64-bit user code only refuses it (execve: ENOEXEC), whatever uname says.
i386_probe='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80'

# Some hosts refuse 32-bit code altogether, not only 32-bit Linux programs (some
# paravirtual machines): there not even the WoW64 Wine runs a 32-bit Windows
# program. A 188-byte static x86_64 Linux program tells: it forks, and the child
# far-returns into the 32-bit user code segment (selector 0x23), far-jumps back
# to 64-bit code (0x33) and exits with 42; where the jump faults, only the child
# dies. The program exits with the child's status. Its code, at 0x400078:
#   mov $57,%eax; syscall; test %eax,%eax; jz child          # fork
#   mov %eax,%edi; push %rax; mov %rsp,%rsi; xor %edx,%edx
#   xor %r10d,%r10d; mov $61,%eax; syscall                   # wait4(pid, &status)
#   pop %rdi; shr $8,%edi; mov $60,%eax; syscall             # exit(status >> 8)
#   child: push $0x23; push $code32; lretq
#   .code32; code32: ljmp $0x33,$back
#   .code64; back: mov $42,%edi; mov $60,%eax; syscall
ia32_probe='\x7f\x45\x4c\x46\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x3e\x00\x01\x00\x00\x00\x78\x00\x40\x00\x00\x00\x00\x00\x40\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x40\x00\x38\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x05\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x40\x00\x00\x00\x00\x00\x00\x00\x40\x00\x00\x00\x00\x00\xbc\x00\x00\x00\x00\x00\x00\x00\xbc\x00\x00\x00\x00\x00\x00\x00\x00\x10\x00\x00\x00\x00\x00\x00\xb8\x39\x00\x00\x00\x0f\x05\x85\xc0\x74\x1d\x89\xc7\x50\x48\x89\xe6\x31\xd2\x45\x31\xd2\xb8\x3d\x00\x00\x00\x0f\x05\x5f\xc1\xef\x08\xb8\x3c\x00\x00\x00\x0f\x05\x6a\x23\x68\xa9\x00\x40\x00\x48\xcb\xea\xb0\x00\x40\x00\x33\x00\xbf\x2a\x00\x00\x00\xb8\x3c\x00\x00\x00\x0f\x05'

# Where the probes are written. Not in /tmp: a noexec mount there would look like a
# host that runs 64-bit code only.
probe_dir=${CORVANE_BUILD:-$repo/build}

# runs_probe BYTES NAME [PROGRAM]: whether the probe (or PROGRAM in its place) exits with 42.
runs_probe() {
  local program=${3:-} status=0
  if [ -z "$program" ]; then
    mkdir -p "$probe_dir"
    program=$probe_dir/$2
    printf "$1" >"$program"
    chmod +x "$program"
  fi
  "$program" >/dev/null 2>&1 || status=$?
  [ "$status" = 42 ]
}
# runs_32bit_linux [PROGRAM]: whether this host executes 32-bit Linux programs.
runs_32bit_linux() { runs_probe "$i386_probe" .i386-probe "$@"; }
# runs_32bit_code [PROGRAM]: whether this host runs 32-bit code inside a 64-bit process.
runs_32bit_code() { runs_probe "$ia32_probe" .ia32-probe "$@"; }

# Sets arch (i686 or x86_64), build (its folder) and wine_kind: "system" (Debian's
# Wine) or "wow64" (our own build). By default the 32-bit program is built and runs
# under Debian's Wine where the host runs 32-bit Linux programs, under the WoW64
# Wine where it runs 32-bit code only inside 64-bit processes; where it runs no
# 32-bit code at all, the 64-bit program is built and runs under Debian's 64-bit
# Wine. CORVANE_ARCH=i686 or x86_64 and CORVANE_WINE=system or wow64 choose.
# The probes can be stood in for: choose_target [LINUX_PROBE [CODE_PROBE]].
choose_target() {
  local linux=no code=no
  if runs_32bit_linux "${1:-}"; then linux=yes code=yes; elif runs_32bit_code "${2:-}"; then code=yes; fi
  case ${CORVANE_ARCH:-auto} in
    auto) if [ $code = yes ]; then arch=i686; else arch=x86_64; fi ;;
    i686)
      [ $code = yes ] || {
        echo "CORVANE_ARCH=i686: this host runs no 32-bit code; use CORVANE_ARCH=x86_64" >&2
        return 1
      }
      arch=i686 ;;
    x86_64) arch=x86_64 ;;
    *) echo "CORVANE_ARCH is i686 or x86_64, not '$CORVANE_ARCH'" >&2; return 1 ;;
  esac
  case ${CORVANE_WINE:-auto} in
    auto) if [ $linux = yes ] || [ $arch = x86_64 ]; then wine_kind=system; else wine_kind=wow64; fi ;;
    wow64) wine_kind=wow64 ;;
    system)
      [ $linux = yes ] || [ $arch = x86_64 ] || {
        echo "CORVANE_WINE=system: this host cannot run 32-bit Linux programs; use the WoW64 Wine" >&2
        return 1
      }
      wine_kind=system ;;
    *) echo "CORVANE_WINE is auto, system or wow64, not '$CORVANE_WINE'" >&2; return 1 ;;
  esac
  build=$(build_for $arch)
}

# Installs what building $arch needs and, once a Wine is chosen, Debian's Wine for it.
ensure_packages() {
  local missing=() p wanted=("${packages[@]}")
  # shellcheck disable=SC2207
  wanted+=($(toolchain_packages "$arch"))
  if [ "${wine_kind:-}" = system ]; then
    local -n system_wine=system_wine_packages_$arch
    wanted+=("${system_wine[@]}")
  fi
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  # The dependency builder fetches Debian source packages.
  local src=/etc/apt/sources.list.d/corvane-deb-src.sources
  local need_src=0
  grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ || grep -qs '^deb-src' /etc/apt/sources.list || need_src=1
  [ ${#missing[@]} -eq 0 ] && [ $need_src = 0 ] && return 0
  if [ $need_src = 1 ]; then
    as_root tee "$src" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  fi
  if [ "${wine_kind:-}" = system ] && [ "$arch" = i686 ]; then
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  fi
  as_root apt-get update -q
  [ ${#missing[@]} -eq 0 ] || as_root env DEBIAN_FRONTEND=noninteractive apt-get \
    -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${missing[@]}"
}

ensure_deps() {
  deps_prefix=$(CORVANE_ARCH=$arch bash "$repo/scripts/build-deps.sh")
}

ensure_build() {
  cmake -G Ninja -S "$repo" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-$arch-mingw.cmake" \
    -DCORVANE_DEPS="$deps_prefix" >/dev/null
  cmake --build "$build" -j "$(nproc)"
}

# Puts the chosen Wine first on PATH (building the WoW64 one if needed), sets
# wine_arch and wine_suffix (of the prefixes' folder names: the two Wines need
# prefixes of their own), notes the choice for cmake/wine-run.sh and prints it.
ensure_wine() {
  local bin="" version
  if [ "$wine_kind" = wow64 ]; then
    bin=$(bash "$repo/scripts/build-wine.sh") || return 1
    bin=$bin/bin
    export PATH=$bin:$PATH
    wine_arch=win64 wine_suffix=-wow64
  elif [ "$arch" = x86_64 ]; then
    # Debian's wine command would take the 32-bit loader wherever one is installed;
    # Wine starts its other processes through WINELOADER.
    bin=$build/wine64-bin
    mkdir -p "$bin"
    # Renamed into place: never written through an older link to the loader itself,
    # never missing for a program starting meanwhile.
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec "$WINELOADER" "$@"\n' >"$bin/wine.$$"
    chmod +x "$bin/wine.$$"
    mv -f "$bin/wine.$$" "$bin/wine"
    export PATH=$bin:$PATH
    wine_arch=win64 wine_suffix=""
  else
    wine_arch=win32 wine_suffix=""
  fi
  version=$(wine --version) || return 1
  version=${version#wine-}; version=${version%% *}
  mkdir -p "$build"
  printf 'wine_bin=%q\nwine_arch=%s\nwine_prefix=%q\n' "$bin" "$wine_arch" \
    "$build/wineprefix$wine_suffix" >"$build/wine.env"
  echo "[wine] $wine_kind $version $wine_arch $arch"
}

# Wine in the build tree's own prefix, with a private HOME whose ALSA default
# device is a file over a null sink: PortAudio finds an output (under Wine's driver it
# runs faster than real time, so tests never rely on pace) and what was played lands
# in $HOME/played.raw.
wine_env() {
  [ -n "${wine_arch:-}" ] || { choose_target && ensure_wine; } || return 1
  export WINEPREFIX=$build/wineprefix$wine_suffix WINEARCH=$wine_arch WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export CORVANE_HOME=$build/home
  mkdir -p "$CORVANE_HOME"
  cat > "$CORVANE_HOME/.asoundrc" <<ASOUND
pcm.!default {
  type file
  slave.pcm "null"
  file "$CORVANE_HOME/played.raw"
  format "raw"
}
pcm.null { type null }
ASOUND
  export HOME=$CORVANE_HOME
}

started_xvfb=""
start_display() {
  if [ -z "${DISPLAY:-}" ] || [ "${CORVANE_XVFB:-}" = 1 ]; then
    local n=${CORVANE_DISPLAY:-97}
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
    started_xvfb=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  fi
}

start_wine() {
  mkdir -p "$WINEPREFIX"
  wineserver -p 2>/dev/null || true  # already running is fine
  # Without this warm-up the first program's Wine services keep ctest's pipe open.
  wine cmd /c exit >/dev/null 2>&1 || true
}

# set_managed_windows Y|N: whether Wine's X11 driver leaves the prefix's top-level
# windows to a window manager. Managed, it waits for one to map and withdraw them, with a
# time-out each time, which on a bare Xvfb is all it ever does. Only written when it differs.
set_managed_windows() {
  if awk -v want="\"Managed\"=\"$1\"" '
      /^\[/ { in_key = index($0, "[Software\\\\Wine\\\\X11 Driver]") == 1; next }
      in_key && $0 == want { found = 1 }
      END { exit !found }' "$WINEPREFIX/user.reg" 2>/dev/null; then
    return 0
  fi
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$1" /f >/dev/null 2>&1
}

# Keeps one Wine desktop process up until stop_all, and returns once it is there. Wine
# ends its desktop a moment after the last window leaves it; the next program then starts
# a new one that inherits its standard handles, and under ctest that is the pipe ctest
# reads until that desktop ends. The holder's and its desktop's handles are /dev/null.
started_holder=""
hold_desktop() {
  local holder=$build/bin/holddesktop.exe
  [ -f "$holder" ] || { echo "no $holder: build first" >&2; return 1; }
  wine "$holder" </dev/null >/dev/null 2>&1 &
  started_holder=$!
  wine "$holder" /wait </dev/null >/dev/null 2>&1 ||
    echo "[wine] the desktop holder did not show up; tests may wait on late desktops" >&2
}

stop_display() {
  [ -n "$started_xvfb" ] && kill "$started_xvfb" 2>/dev/null || true
  started_xvfb=""
}

stop_all() {
  [ -n "$started_holder" ] && kill "$started_holder" 2>/dev/null || true
  started_holder=""
  wineserver -k 2>/dev/null || true
  stop_display
}
