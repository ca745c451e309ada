#!/usr/bin/env bash
# Cross-builds the third-party libraries from Debian's source packages into a
# prefix outside the repo. The prefix is keyed by a hash of this script, the
# toolchain file and the package versions, so a second run with nothing changed
# only prints its path.
#
#   scripts/build-deps.sh            builds (or reuses) and prints the prefix
#   CORVANE_ARCH=i686|x86_64 ...     the target (i686 by default)
#   CORVANE_CACHE=/some/dir ...      where prefixes, downloads and build logs live
#
# Everything is static except lame_enc.dll, which the program loads by name.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
arch=${CORVANE_ARCH:-i686}
case $arch in
  i686 | x86_64) ;;
  *) echo "CORVANE_ARCH is i686 or x86_64, not '$arch'" >&2; exit 2 ;;
esac
toolchain=$here/../cmake/toolchain-$arch-mingw.cmake
cache=${CORVANE_CACHE:-$HOME/.cache/corvane}
host=$arch-w64-mingw32
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
# Build order: vorbis needs ogg, lame_dll needs lame.
steps=(googletest ogg vorbis lame lame_dll taglib portaudio sox)

# The signal-processing libraries (the encoders and libsox) do their floating point in SSE2
# rather than on the x87 unit: every processor the program runs on has SSE2, and LAME runs
# about 1.5 times, libvorbis 1.35 times as fast. GCC realigns the stack where SSE needs it
# (-mstackrealign is the MinGW default), so callers with 4-byte stacks are fine.
simd="-msse2 -mfpmath=sse"

key=$( { cat "${BASH_SOURCE[0]}" "$here"/../cmake/toolchain-*-mingw.cmake; echo "$arch"
         for p in $(printf '%s\n' "${!versions[@]}" | sort); do echo "$p=${versions[$p]}"; done
       } | sha256sum | cut -c1-16)
prefix=$cache/deps-$key
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

log() { echo "[deps] $*" >&2; }
src=$cache/src
work=$cache/work-$key
mkdir -p "$cache"
# Several checkouts may ask at once: one builds, the others wait and reuse.
exec 9>"$cache/deps-$key.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
rm -rf "$work" "$prefix"
mkdir -p "$src" "$prefix" "$work/logs"

# LAME's assembly routines (FFT, table choice) need nasm. They are i386 code only: the
# 64-bit build uses LAME's C and SSE routines.
if [ "$arch" = i686 ] && ! command -v nasm >/dev/null; then
  log "installing nasm"
  sudo=(); [ "$(id -u)" = 0 ] || sudo=(sudo)
  apt_install() {
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 \
      install -y -q --no-install-recommends nasm
  }
  if ! { apt_install || { "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=900 update -q && apt_install; }; } \
    >"$work/logs/nasm.log" 2>&1; then
    echo "build-deps: could not install nasm; the end of $work/logs/nasm.log:" >&2
    tail -n 25 "$work/logs/nasm.log" >&2
    exit 1
  fi
fi

# Fetches the .orig tarball of a source package. apt-get may fail on a missing
# Debian patch tarball (sox); the orig tarball is all we need.
fetch_orig() {
  local pkg=$1 ver=${versions[$1]}
  local upstream=${ver%-*}; upstream=${upstream#*:}
  local found
  found=$(ls "$src"/"${pkg}"_"${upstream}".orig.tar.* 2>/dev/null | head -n1 || true)
  if [ -z "$found" ]; then
    (cd "$src" && apt-get source --download-only "$pkg=$ver" >&2 || true)
    found=$(ls "$src"/"${pkg}"_"${upstream}".orig.tar.* 2>/dev/null | head -n1 || true)
  fi
  [ -n "$found" ] || { echo "could not download the source of $pkg $ver" >&2; return 1; }
  echo "$found"
}

# Unpacks a package's orig tarball into $work/<pkg> and prints that folder.
unpack() {
  local pkg=$1 tarball dir
  tarball=$(fetch_orig "$pkg")
  dir=$work/$pkg
  rm -rf "$dir"; mkdir -p "$dir"
  tar -xf "$tarball" -C "$dir" --strip-components=1
  echo "$dir"
}

cmake_cross() {
  cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF "$@"
}

# Unpacks, configures, builds and installs a CMake project: cmake_build PKG [OPTIONS...]
# (A failing $(...) inside an argument would not stop the step: assign it first.)
cmake_build() {
  local dir; dir=$(unpack "$1"); shift
  cmake_cross -S "$dir" -B "$dir/build" "$@"
  cmake --build "$dir/build" -j "$jobs"
  cmake --install "$dir/build"
}

autotools_env() {
  export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib
  export CFLAGS="-O2" CXXFLAGS="-O2"
  export CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib -static-libgcc"
  export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
}

configure_cross() {
  ./configure --host=$host --prefix="$prefix" --enable-static --disable-shared "$@"
}

build_googletest() {
  cmake_build googletest -Dgtest_disable_pthreads=OFF
}

build_ogg() {
  cmake_build libogg -DINSTALL_DOCS=OFF
}

build_vorbis() {
  # Point vorbis straight at our ogg: the toolchain's find root hides the prefix.
  # (The Release build type adds -O3.)
  cmake_build libvorbis -DOGG_INCLUDE_DIR="$prefix/include" \
    -DOGG_LIBRARY="$prefix/lib/libogg.a" -DCMAKE_C_FLAGS="$simd"
}

build_lame() {
  local dir; dir=$(unpack lame); cd "$dir"
  autotools_env
  # -O3 as LAME's own configure would pick, but not its -ffast-math: that would change the
  # encoded bytes further than the change of floating-point unit does.
  export CFLAGS="-O3 $simd"
  if [ "$arch" = i686 ]; then
    configure_cross --disable-frontend --disable-decoder --disable-gtktest --enable-nasm
    grep -q '^#define HAVE_NASM 1' config.h || { echo "lame: configure found no nasm" >&2; return 1; }
  else
    configure_cross --disable-frontend --disable-decoder --disable-gtktest --disable-nasm
  fi
  make -j "$jobs" -C libmp3lame
  make -C libmp3lame install
  make -C include install
}

# LAME's own encoder DLL from its Dll/ folder, linked against the static libmp3lame.
build_lame_dll() {
  cd "$work/lame/Dll"
  # The sources name the Windows headers with capitals; MinGW's are lower case.
  sed -i 's/<Windows\.h>/<windows.h>/; s/<Windef\.h>/<windef.h>/' BladeMP3EncDLL.c BladeMP3EncDLL.h
  # Under GCC the header only marks the pointer typedefs packed, so BE_CONFIG
  # comes out at 332 bytes. Callers pass the 331-byte record: pack it for every
  # compiler.
  perl -0pi -e 's/#ifdef __GNUC__\s*\n#define ATTRIBUTE_PACKED[^\n]*\n#else\n#define ATTRIBUTE_PACKED\n#pragma pack\(push\)\n#pragma pack\(1\)\n#endif/#define ATTRIBUTE_PACKED\n#pragma pack(push, 1)/; s/#ifndef __GNUC__\n#pragma pack\(pop\)\n#endif/#pragma pack(pop)/' BladeMP3EncDLL.h
  grep -q '^#pragma pack(push, 1)' BladeMP3EncDLL.h && ! grep -q '__GNUC__' BladeMP3EncDLL.h \
    || { echo "BladeMP3EncDLL.h: packing patch did not apply" >&2; return 1; }
  $host-gcc-posix -O2 $simd -shared -D_BLADEDLL -I"$prefix/include/lame" -I../include \
    -o lame_enc.dll BladeMP3EncDLL.c BladeMP3EncDLL.def \
    -L"$prefix/lib" -lmp3lame -static-libgcc -Wl,--kill-at -s
  install -D -m 755 lame_enc.dll "$prefix/bin/lame_enc.dll"
  install -D -m 644 BladeMP3EncDLL.h "$prefix/include/BladeMP3EncDLL.h"
}

build_taglib() {
  cmake_build taglib -DBUILD_BINDINGS=OFF -DBUILD_TESTING=OFF -DBUILD_EXAMPLES=OFF \
    -DWITH_ZLIB=OFF
}

build_portaudio() {
  local dir; dir=$(unpack portaudio19); cd "$dir"
  autotools_env
  configure_cross --with-winapi=wmme,directx
  # The default target also builds the examples and tests; we need the library.
  make -j "$jobs" lib/libportaudio.la
  make install
}

build_sox() {
  local dir; dir=$(unpack sox); cd "$dir"
  autotools_env
  export CFLAGS="-O2 $simd"
  local off=(magic png ladspa mad id3tag lame twolame oggvorbis opus flac amrwb amrnb wavpack
    sndio coreaudio alsa ao pulseaudio waveaudio sndfile oss sunaudio mp3 gsm lpc10)
  # No stack protector: it would make every consumer link libssp.
  configure_cross "${off[@]/#/--without-}" --disable-openmp --without-libltdl \
    --disable-stack-protector
  # Only the library (it always takes in the bundled GSM and LPC-10 codecs);
  # the sox program itself is not needed.
  make -j "$jobs" -C libgsm
  make -j "$jobs" -C lpc10
  make -j "$jobs" -C src libsox.la
  make -C src install-libLTLIBRARIES install-includeHEADERS
}

# Each step runs in its own subshell with errexit (so environment changes stay
# local and the first failing command ends the step), its output in a log.
for step in "${steps[@]}"; do
  log "building $step"
  steplog=$work/logs/$step.log
  ( set -euo pipefail; "build_$step" ) >"$steplog" 2>&1 &
  if ! wait $!; then
    echo "build-deps: $step failed; the end of $steplog:" >&2
    tail -n 25 "$steplog" >&2
    exit 1
  fi
done

# Keep the logs, drop the unpacked sources.
for step in "${!versions[@]}"; do rm -rf "${work:?}/$step"; done
touch "$prefix/.complete"
echo "$prefix"
