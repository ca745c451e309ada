#!/usr/bin/env bash
# Cross-builds the third-party libraries from Debian's source packages into a
# prefix outside the repo. The prefix is keyed by a hash of this script and the
# package versions, so a second run with nothing changed only prints its path.
#
#   scripts/build-deps.sh            builds (or reuses) and prints the prefix
#   CORVANE_CACHE=/some/dir ...      where prefixes and downloads live
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cache=${CORVANE_CACHE:-$HOME/.cache/corvane}
host=i686-w64-mingw32
jobs=$(nproc)

# Source package -> version. A change here (or to this script) makes a new prefix.
declare -A versions=(
  [googletest]=1.12.1-0.2
  [libogg]=1.3.5-3
  [libvorbis]=1.3.7-1
  [lame]=3.100-6
  [taglib]=1.13-2+deb12u1
  [portaudio19]=19.6.0-1.2
  [sox]=14.4.2+git20190427-3.5
)

key=$( { cat "${BASH_SOURCE[0]}"; for p in $(printf '%s\n' "${!versions[@]}" | sort); do echo "$p=${versions[$p]}"; done; } | sha256sum | cut -c1-16)
prefix=$cache/deps-$key
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

log() { echo "[deps] $*" >&2; }
src=$cache/src
work=$cache/work-$key
mkdir -p "$src" "$prefix"
rm -rf "$work"; mkdir -p "$work"

# Fetches the .orig tarball of a source package. apt-get may fail on a missing
# Debian patch tarball (sox); the orig tarball is all we need.
fetch_orig() {
  local pkg=$1 ver=${versions[$1]}
  local upstream=${ver%-*}; upstream=${upstream#*:}
  local found
  found=$(ls "$src"/"${pkg}"_"${upstream}".orig.tar.* 2>/dev/null | head -n1 || true)
  if [ -z "$found" ]; then
    (cd "$src" && apt-get source --download-only "$pkg=$ver" >/dev/null 2>&1 || true)
    found=$(ls "$src"/"${pkg}"_"${upstream}".orig.tar.* 2>/dev/null | head -n1 || true)
  fi
  [ -n "$found" ] || { echo "build-deps: could not download the source of $pkg $ver" >&2; exit 1; }
  echo "$found"
}

# Unpacks a package's orig tarball into $work/<pkg> and prints that folder.
unpack() {
  local pkg=$1 tarball dir
  tarball=$(fetch_orig "$pkg")
  dir=$work/$pkg
  mkdir -p "$dir"
  tar -xf "$tarball" -C "$dir" --strip-components=1
  echo "$dir"
}

cmake_cross() {
  cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/../cmake/toolchain-i686-mingw.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_PREFIX_PATH="$prefix" "$@"
}

autotools_env() {
  export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib
  export CFLAGS="-O2" CXXFLAGS="-O2"
  export CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib -static-libgcc"
  export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
}

build_googletest() {
  local dir; dir=$(unpack googletest)
  cmake_cross -S "$dir" -B "$dir/build" -Dgtest_disable_pthreads=OFF -DBUILD_SHARED_LIBS=OFF >/dev/null
  cmake --build "$dir/build" -j "$jobs" >/dev/null
  cmake --install "$dir/build" >/dev/null
}

# Each builder is run in its own subshell so environment changes stay local.
for step in googletest; do
  log "building $step"
  ( "build_$step" ) || { echo "build-deps: $step failed" >&2; exit 1; }
done

rm -rf "$work"
touch "$prefix/.complete"
echo "$prefix"
