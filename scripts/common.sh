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
  mingw-w64-i686-dev wine wine32:i386 xvfb xauth x11-utils imagemagick dpkg-dev xz-utils bzip2
  pkg-config file sox clang-format python3 libdiscid0)

ensure_packages() {
  local missing=() p
  for p in "${packages[@]}"; do
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
  dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  as_root apt-get update -q
  [ ${#missing[@]} -eq 0 ] || as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

ensure_deps() {
  deps_prefix=$(bash "$repo/scripts/build-deps.sh")
}

ensure_build() {
  cmake -G Ninja -S "$repo" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-i686-mingw.cmake" \
    -DCORVANE_DEPS="$deps_prefix" >/dev/null
  cmake --build "$build" -j "$(nproc)"
}

# Wine in the build tree's own prefix, with a private HOME whose ALSA default
# device is a file over a null sink: PortAudio finds an output (under Wine's driver it
# runs faster than real time, so tests never rely on pace) and what was played lands
# in $HOME/played.raw.
wine_env() {
  export WINEPREFIX=$build/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
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

stop_all() {
  wineserver -k 2>/dev/null || true
  [ -n "$started_xvfb" ] && kill "$started_xvfb" 2>/dev/null || true
  started_xvfb=""
}
