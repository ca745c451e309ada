# Shared set-up for the run and test commands. Sourced, not run.
# Every step is idempotent and quick when there is nothing to do.

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${CORVANE_BUILD:-$repo/build}

phase_start=0
phase() {  # phase NAME: prints the time the previous phase took, starts the next
  local now; now=$(date +%s)
  [ -n "${phase_name:-}" ] && printf '[time] %-13s %4ds\n' "$phase_name" $((now - phase_start))
  phase_name=$1; phase_start=$now
  if [ -n "$1" ]; then echo "== $1"; fi
}

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(cmake ninja-build g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  mingw-w64-i686-dev xvfb xauth x11-utils imagemagick dpkg-dev xz-utils bzip2
  pkg-config file sox clang-format python3 libdiscid0)
# Debian's Wine runs 32-bit programs through a 32-bit Linux loader; the WoW64
# Wine (scripts/build-wine.sh) brings its own build dependencies.
system_wine_packages=(wine wine32:i386)

# A 96-byte static i386 Linux program that exits with status 42. A kernel that
# runs 64-bit user code only refuses it (execve: ENOEXEC), whatever uname says.
i386_probe='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80'

# runs_32bit_linux [PROGRAM]: whether this host executes 32-bit Linux programs,
# found by running one (the probe above, or PROGRAM in its place).
runs_32bit_linux() {
  local program=${1:-} status=0
  if [ -z "$program" ]; then
    # Not in /tmp: a noexec mount there would look like a 64-bit-only kernel.
    mkdir -p "$build"
    program=$build/.i386-probe
    printf "$i386_probe" >"$program"
    chmod +x "$program"
  fi
  "$program" >/dev/null 2>&1 || status=$?
  [ "$status" = 42 ]
}

# Sets wine_kind: "system" (Debian's Wine) where the host runs 32-bit Linux
# programs, "wow64" (our own build) where it does not; CORVANE_WINE=system or
# wow64 chooses.
choose_wine() {
  case ${CORVANE_WINE:-auto} in
    auto) if runs_32bit_linux "$@"; then wine_kind=system; else wine_kind=wow64; fi ;;
    wow64) wine_kind=wow64 ;;
    system)
      runs_32bit_linux "$@" || {
        echo "CORVANE_WINE=system: this host cannot run 32-bit Linux programs; use the WoW64 Wine" >&2
        return 1
      }
      wine_kind=system ;;
    *) echo "CORVANE_WINE is auto, system or wow64, not '$CORVANE_WINE'" >&2; return 1 ;;
  esac
}

ensure_packages() {
  local missing=() p wanted=("${packages[@]}")
  [ "${wine_kind:-}" = wow64 ] || wanted+=("${system_wine_packages[@]}")
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
  if [ "${wine_kind:-}" != wow64 ]; then
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  fi
  as_root apt-get update -q
  [ ${#missing[@]} -eq 0 ] || as_root env DEBIAN_FRONTEND=noninteractive apt-get \
    -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${missing[@]}"
}

ensure_deps() {
  deps_prefix=$(bash "$repo/scripts/build-deps.sh")
}

ensure_build() {
  cmake -G Ninja -S "$repo" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-i686-mingw.cmake" \
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
  else
    wine_arch=win32 wine_suffix=""
  fi
  version=$(wine --version) || return 1
  version=${version#wine-}; version=${version%% *}
  mkdir -p "$build"
  printf 'wine_bin=%q\nwine_arch=%s\nwine_prefix=%q\n' "$bin" "$wine_arch" \
    "$build/wineprefix$wine_suffix" >"$build/wine.env"
  echo "[wine] $wine_kind $version $wine_arch"
}

# Wine in the build tree's own prefix, with a private HOME whose ALSA default
# device is a file over a null sink: PortAudio finds an output (under Wine's driver it
# runs faster than real time, so tests never rely on pace) and what was played lands
# in $HOME/played.raw.
wine_env() {
  [ -n "${wine_arch:-}" ] || { choose_wine && ensure_wine; } || return 1
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

stop_display() {
  [ -n "$started_xvfb" ] && kill "$started_xvfb" 2>/dev/null || true
  started_xvfb=""
}

stop_all() {
  wineserver -k 2>/dev/null || true
  stop_display
}
