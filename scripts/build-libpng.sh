#!/usr/bin/env bash
# Builds zlib and libpng 1.6 as static libraries for i686-w64-mingw32 (or the host
# KAPTOR_WIN_HOST names) from Debian 12's own source packages (zlib, libpng1.6) with Debian's
# patches, and installs zlib.h, zconf.h, png.h, pngconf.h, pnglibconf.h, lib/libz.a and
# lib/libpng.a under the prefix given as the first argument. There is no mingw build of either in any registry, hence this script.
#
# Quick when already built: a stamp file in the prefix records what was built there. The
# sources are fetched once into a cache beside the prefix and never enter the repository.
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: $0 PREFIX" >&2
  exit 2
fi

zlib_version=1.2.13
png_version=1.6.39
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
host=${KAPTOR_WIN_HOST:-i686-w64-mingw32}
toolchain=$here/../cmake/mingw-${host%%-*}.cmake
mkdir -p "$1"
prefix=$(cd "$1" && pwd)
parent=$(dirname "$prefix")
cache=$parent/libpng-src
work=$parent/libpng-build
stamp=$prefix/.libpng-stamp
want="zlib $zlib_version libpng $png_version $host static"
log=$parent/libpng-build.log

done_line() { echo "zlib $zlib_version + libpng $png_version ($host, static): $prefix"; }

have_all() {
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] &&
    for f in lib/libz.a lib/libpng.a include/zlib.h include/zconf.h include/png.h include/pngconf.h include/pnglibconf.h; do
      [ -f "$prefix/$f" ] || return 1
    done
}

if have_all; then done_line; exit 0; fi

# Two builds configuring at once must not both unpack into the same folders.
exec 9>"$parent/.libpng.lock"
flock 9
if have_all; then done_line; exit 0; fi

fail() {
  echo "build-libpng: $1 (log: $log)" >&2
  exit 1
}
: >"$log"

# 1. The source packages, once. $1 = source package, $2 = file name pattern of its tarball.
fetch() {
  local found
  found=$(ls "$cache"/$2 2>/dev/null | head -n 1 || true)
  if [ -z "$found" ]; then
    if ! (cd "$cache" && apt-get source --download-only "$1") >>"$log" 2>&1; then
      # The deb-src entry may be present without its index fetched yet.
      apt-get update -qq >>"$log" 2>&1 || true
      (cd "$cache" && apt-get source --download-only "$1") >>"$log" 2>&1 ||
        fail "apt-get source $1 failed (is the deb-src entry configured? see scripts/setup.sh)"
    fi
    found=$(ls "$cache"/$2 2>/dev/null | head -n 1 || true)
    [ -n "$found" ] || fail "Debian's source package $1 does not hold $2"
  fi
  echo "$found"
}
mkdir -p "$cache"
zlib_orig=$(fetch zlib "zlib_${zlib_version}*.orig.tar.*")
png_orig=$(fetch libpng1.6 "libpng1.6_${png_version}.orig.tar.*")

# 2. Unpack afresh, with Debian's own patches on top. $1 = orig tarball, $2 = folder inside.
unpack() {
  local orig=$1 dir=$2 debian_tar series p
  tar -xf "$orig" -C "$work" >>"$log" 2>&1 || fail "cannot unpack $orig"
  [ -d "$work/$dir" ] || fail "$orig does not hold $dir"
  debian_tar=$(ls "${orig%%.orig.tar.*}"-*.debian.tar.xz 2>/dev/null | sort | tail -n 1 || true)
  [ -n "$debian_tar" ] || return 0
  tar -xJf "$debian_tar" -C "$work/$dir" >>"$log" 2>&1 || fail "cannot unpack $debian_tar"
  series=$work/$dir/debian/patches/series
  [ -f "$series" ] || return 0
  while read -r p _; do
    case "$p" in '' | '#'*) continue ;; esac
    patch -d "$work/$dir" -p1 -s -N <"$work/$dir/debian/patches/$p" >>"$log" 2>&1 || fail "patch $p does not apply"
  done <"$series"
}
rm -rf "$work"
mkdir -p "$work"
unpack "$zlib_orig" "zlib-$zlib_version.dfsg"
unpack "$png_orig" "libpng-$png_version"
zsrc=$work/zlib-$zlib_version.dfsg
psrc=$work/libpng-$png_version

# 3. zlib through its own CMake build: the static library only. (Debian's repacked source
# has no win32 makefile.) Its configure step moves zconf.h into the build folder.
cmake -S "$zsrc" -B "$work/zbuild" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release >>"$log" 2>&1 ||
  fail "zlib cmake configure failed"
cmake --build "$work/zbuild" --target zlibstatic -j2 >>"$log" 2>&1 || fail "zlib build failed"
zlib_a=$(ls "$work/zbuild"/lib*.a 2>/dev/null | head -n 1 || true)
[ -n "$zlib_a" ] || fail "zlib build gave no static library"
mkdir -p "$prefix/include" "$prefix/lib"
install -m 644 "$zsrc/zlib.h" "$work/zbuild/zconf.h" "$prefix/include/"
install -m 644 "$zlib_a" "$prefix/lib/libz.a"

# 4. libpng against that zlib: the static library only, no tools, no tests.
cmake -S "$psrc" -B "$work/build" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_FRAMEWORK=OFF \
  -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a" >>"$log" 2>&1 ||
  fail "libpng cmake configure failed"
cmake --build "$work/build" --target png_static -j2 >>"$log" 2>&1 || fail "libpng build failed"
lib=$(ls "$work/build"/libpng*.a 2>/dev/null | head -n 1 || true)
[ -n "$lib" ] || fail "libpng build gave no static library"
install -m 644 "$psrc/png.h" "$psrc/pngconf.h" "$work/build/pnglibconf.h" "$prefix/include/"
install -m 644 "$lib" "$prefix/lib/libpng.a"
echo "$want" >"$stamp"
rm -rf "$work"
done_line
