#!/usr/bin/env bash
# Builds Wine in its 64-bit-only form ("new WoW64": 32-bit Windows programs run
# inside a 64-bit Linux process, no 32-bit Linux code at all) from Debian's
# source package, for hosts whose kernel cannot execute 32-bit Linux programs.
# The install lives outside the repo, keyed by a hash of this script and the
# source version, so a second run with nothing changed only prints its path.
#
#   scripts/build-wine.sh            builds (or reuses) and prints the prefix
#   CORVANE_CACHE=/some/dir ...      where prefixes, downloads and build logs live
#   CORVANE_WINE_JOBS=N              parallel make jobs (default: all cores, niced)
#
# Debian 13's Wine 10.0 source is fetched through a private apt state (the
# system's own lists stay bookworm's); Debian 12's Wine 8.0 source is the
# fall-back. Build dependencies come from bookworm; the few arch-independent
# data packages that the source's generators read (Unicode tables, the
# OpenGL and Vulkan registries) come from the same suite as the source.
set -euo pipefail

cache=${CORVANE_CACHE:-$HOME/.cache/corvane}
jobs=${CORVANE_WINE_JOBS:-$(nproc)}
archive=http://deb.debian.org/debian
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

# Suite and source version, in order of preference.
candidates=("trixie 10.0~repack-6" "bookworm 8.0~repack-4")
data_packages=(unicode-data unicode-idna unicode-cldr-core khronos-api libvulkan-dev)
build_packages=(gcc-mingw-w64-i686-win32 gcc-mingw-w64-x86-64-win32 flex bison autoconf
  autotools-dev gettext libgettextpo-dev perl libxml-libxml-perl python3 librsvg2-bin icoutils imagemagick
  fontforge-nox unzip lzma sharutils dpkg-dev pkg-config
  libx11-dev libxext-dev libxrender-dev libxrandr-dev libxi-dev libxcursor-dev libxfixes-dev
  libxinerama-dev libxcomposite-dev libfreetype-dev libfontconfig-dev libasound2-dev libgnutls28-dev)

key_of() { { cat "${BASH_SOURCE[0]}"; echo "$1"; } | sha256sum | cut -c1-16; }

for c in "${candidates[@]}"; do
  if [ -f "$cache/wine-$(key_of "$c")/.complete" ]; then
    echo "$cache/wine-$(key_of "$c")"
    exit 0
  fi
done

log() { echo "[wine] $*" >&2; }
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
mkdir -p "$cache"
# Several checkouts may ask at once: one builds, the others wait and reuse.
exec 9>"$cache/wine.lock"
flock 9
for c in "${candidates[@]}"; do
  if [ -f "$cache/wine-$(key_of "$c")/.complete" ]; then
    echo "$cache/wine-$(key_of "$c")"
    exit 0
  fi
done

# Whatever an earlier, unfinished or outdated build left is no use now (we hold the lock).
for d in "$cache"/wine-work-* "$cache"/wine-*/; do
  d=${d%/}
  case $d in */wine-apt | */wine.lock) continue ;; esac
  [ -e "$d" ] && [ ! -f "$d/.complete" ] && rm -rf "$d"
done

start=$(date +%s)
missing=()
for p in "${build_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  log "installing build dependencies: ${missing[*]}"
  as_root apt-get update -q >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -q \
    --no-install-recommends "${missing[@]}" >&2
fi

# A private apt state per suite: its own sources list, lists and package cache.
apt_for() {
  local suite=$1 dir=$cache/wine-apt/$1
  mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial"
  printf 'deb-src [signed-by=%s] %s %s main\ndeb [arch=amd64 signed-by=%s] %s %s main\n' \
    "$keyring" "$archive" "$suite" "$keyring" "$archive" "$suite" > "$dir/sources.list"
  apt_opts=(-o "Dir::Etc::sourcelist=$dir/sources.list" -o Dir::Etc::sourceparts=-
    -o "Dir::State::Lists=$dir/lists" -o "Dir::Cache=$dir/cache" -o APT::Sandbox::User=root)
}

src=$cache/src
mkdir -p "$src"
suite="" version=""
for c in "${candidates[@]}"; do
  read -r s v <<<"$c"
  apt_for "$s"
  if [ -f "$src/wine_$v.dsc" ] ||
     { apt-get "${apt_opts[@]}" -q update >&2 &&
       (cd "$src" && apt-get "${apt_opts[@]}" -q source --download-only "wine=$v" >&2); }; then
    suite=$s version=$v
    break
  fi
  log "no Wine source $v from $s; trying the next"
done
[ -n "$suite" ] || { echo "build-wine: no Wine source could be fetched" >&2; exit 1; }

key=$(key_of "$suite $version")
prefix=$cache/wine-$key
work=$cache/wine-work-$key
rm -rf "$work" "$prefix"
mkdir -p "$work/logs" "$work/data/debs"
log "building Wine $version ($suite source) in $work; log in $work/logs"

# Runs one named step with its output in a log; on failure shows the log's end.
step() {
  local name=$1; shift
  local t0; t0=$(date +%s)
  # In the background: under "if", errexit would be off inside the step too.
  ( set -euo pipefail; "$@" ) >"$work/logs/$name.log" 2>&1 &
  if ! wait $!; then
    echo "build-wine: $name failed; the end of $work/logs/$name.log:" >&2
    tail -n 30 "$work/logs/$name.log" >&2
    exit 1
  fi
  log "$name $(( $(date +%s) - t0 ))s"
}

fetch() {
  apt-get "${apt_opts[@]}" -q update || true
  cd "$work/data/debs"
  apt-get "${apt_opts[@]}" -q download "${data_packages[@]}"
  for d in ./*.deb; do dpkg-deb -x "$d" "$work/data"; done
  dpkg-source -x "$src/wine_$version.dsc" "$work/wine"
}

# What debian/rules does before configure: the repack drops generated files
# (Unicode tables, server protocol, spec files, OpenGL/Vulkan thunks, icons),
# and the source's own generators remake them. Its commands are taken from the
# rules' configure override, up to configure itself, without its compiler
# banners and its removal of the bundled zlib. The generators read their data
# from /usr/share; they are pointed at the unpacked data packages instead.
generate() {
  local data=$work/data line
  cd "$work/wine"
  sed -i "s|/usr/share/unicode|$data/usr/share/unicode|g; s|/usr/share/doc/unicode-data|$data/usr/share/doc/unicode-data|g" \
    tools/make_unicode
  sed -i "s|/usr/share/khronos-api|$data/usr/share/khronos-api|g" dlls/opengl32/make_opengl
  awk '/^override_dh_auto_configure:/ { on = 1; next }
       on && /^[^\t]/ && !/^(ifeq|ifneq|else|endif)/ { exit }
       on && /^\t/ { sub(/^\t/, ""); print }' debian/rules |
    grep -v -e '^#' -e '\$(' -e '^\./configure' -e 'rm -rf libs/zlib' |
    sed "s|/usr/share/vulkan/|$data/usr/share/vulkan/|g" >"$work/logs/rules-configure.sh"
  grep -q make_unicode "$work/logs/rules-configure.sh"
  while IFS= read -r line; do
    echo "+ $line"
    (eval "$line") || return 1
  done <"$work/logs/rules-configure.sh"
  # Debian links the Windows side against a zlib1.dll from another package;
  # the bundled static zlib keeps this Wine self-contained.
  if [ -f debian/patches/system/zlib.patch ]; then patch -R -p1 <debian/patches/system/zlib.patch; fi
  autoreconf -f
}

# Maintainer mode is needed to remake the icons from their SVG sources; it also
# turns warnings into errors, which -Wno-error (after it on every command line)
# undoes: bookworm's compilers warn where trixie's do not.
# Lean: no debug information, no tests, none of the subsystems the program does
# not use (printing, scanners, cameras, video, Vulkan, OpenCL, GStreamer, ...).
configure_wine() {
  cd "$work/wine"
  ./configure --prefix="$prefix" --enable-archs=i386,x86_64 --enable-maintainer-mode \
    --disable-tests \
    --with-x --with-alsa --with-freetype --with-fontconfig --with-gnutls \
    --without-gstreamer --without-vulkan --without-opencl --without-opengl --without-osmesa \
    --without-cups --without-sane --without-gphoto --without-pcap --without-v4l2 --without-oss \
    --without-pulse --without-sdl --without-usb --without-udev --without-dbus --without-krb5 \
    --without-netapi --without-pcsclite --without-capi --without-wayland --without-ffmpeg \
    --without-unwind --without-xxf86vm \
    i386_CC=i686-w64-mingw32-gcc x86_64_CC=x86_64-w64-mingw32-gcc \
    CFLAGS="-O2 -g0 -Wno-error" CROSSCFLAGS="-O2 -g0 -Wno-error" LDFLAGS="-s" CROSSLDFLAGS="-s"
}

make_wine() {
  cd "$work/wine"
  nice -n 10 make -j "$jobs" -C include
  nice -n 10 make -j "$jobs"
}

install_wine() {
  cd "$work/wine"
  make install-lib
  # Symbol tables are not needed to run programs (the Windows side links with -s).
  find "$prefix" -type f \( -name '*.so' -o -perm -u+x \) -print0 |
    xargs -0 -r sh -c 'for f; do file -b "$f" | grep -q "^ELF" && strip --strip-unneeded "$f"; done' sh
  "$prefix/bin/wine" --version
}

# configure takes the target from a compiler named *-gcc; the win32-thread
# compilers are named *-gcc-win32, whatever the system's default is.
mkdir -p "$work/bin"
ln -sf /usr/bin/i686-w64-mingw32-gcc-win32 "$work/bin/i686-w64-mingw32-gcc"
ln -sf /usr/bin/x86_64-w64-mingw32-gcc-win32 "$work/bin/x86_64-w64-mingw32-gcc"
export PATH=$work/bin:$PATH
# The version string names where this Wine came from (make install remakes it too).
export VENDOR="Debian $version source, new WoW64 build"
step fetch fetch
step generate generate
step configure configure_wine
step make make_wine
step install install_wine
# Keep the logs, drop the sources and objects.
rm -rf "${work:?}/wine" "${work:?}/data"
log "Wine $version built in $(( $(date +%s) - start ))s; installed $(du -sh "$prefix" | cut -f1)"
touch "$prefix/.complete"
echo "$prefix"
