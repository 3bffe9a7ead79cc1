#!/usr/bin/env bash
# Builds libjpeg-turbo (IJG API, SIMD through nasm) as a static library for
# i686-w64-mingw32 (or the host KAPTOR_WIN_HOST names) from Debian 12's own source package,
# and installs jpeglib.h, jconfig.h, jmorecfg.h, jerror.h and lib/libjpeg.a under the prefix
# given as the first argument. There is no mingw build of it in any registry, hence this
# script.
#
# Quick when already built: a stamp file in the prefix records what was built there. The
# source is fetched once into a cache beside the prefix and never enters the repository.
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: $0 PREFIX" >&2
  exit 2
fi

upstream=2.1.5
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
host=${KAPTOR_WIN_HOST:-i686-w64-mingw32}
toolchain=$here/../cmake/mingw-${host%%-*}.cmake
mkdir -p "$1"
prefix=$(cd "$1" && pwd)
parent=$(dirname "$prefix")
cache=$parent/libjpeg-turbo-src
work=$parent/libjpeg-turbo-build
stamp=$prefix/.libjpeg-turbo-stamp
want="libjpeg-turbo $upstream $host static simd"
log=$parent/libjpeg-turbo-build.log

done_line() { echo "libjpeg-turbo $upstream ($host, static): $prefix"; }

have_all() {
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] && [ -f "$prefix/lib/libjpeg.a" ] &&
    for h in jpeglib.h jconfig.h jmorecfg.h jerror.h; do [ -f "$prefix/include/$h" ] || return 1; done
}

if have_all; then done_line; exit 0; fi

# Two builds configuring at once must not both unpack into the same folders.
exec 9>"$parent/.libjpeg-turbo.lock"
flock 9
if have_all; then done_line; exit 0; fi

fail() {
  echo "build-libjpeg: $1 (log: $log)" >&2
  exit 1
}
: >"$log"

# 1. The source package, once.
mkdir -p "$cache"
orig=$(ls "$cache"/libjpeg-turbo_"$upstream".orig.tar.gz 2>/dev/null || true)
if [ -z "$orig" ]; then
  if ! (cd "$cache" && apt-get source --download-only libjpeg-turbo) >>"$log" 2>&1; then
    # The deb-src entry may be present without its index fetched yet.
    apt-get update -qq >>"$log" 2>&1 || true
    (cd "$cache" && apt-get source --download-only libjpeg-turbo) >>"$log" 2>&1 ||
      fail "apt-get source libjpeg-turbo failed (is the deb-src entry configured? see scripts/setup.sh)"
  fi
  orig=$(ls "$cache"/libjpeg-turbo_"$upstream".orig.tar.gz 2>/dev/null || true)
  [ -n "$orig" ] || fail "Debian's source package is not libjpeg-turbo $upstream"
fi
debian_tar=$(ls "$cache"/libjpeg-turbo_"$upstream"-*.debian.tar.xz 2>/dev/null | sort | tail -n 1 || true)

# 2. Unpack afresh, with Debian's own patches on top.
rm -rf "$work"
mkdir -p "$work"
tar -xzf "$orig" -C "$work" >>"$log" 2>&1 || fail "cannot unpack $orig"
src=$work/libjpeg-turbo-$upstream
if [ -n "$debian_tar" ]; then
  tar -xJf "$debian_tar" -C "$src" >>"$log" 2>&1 || fail "cannot unpack $debian_tar"
  if [ -f "$src/debian/patches/series" ]; then
    while read -r p _; do
      case "$p" in '' | '#'*) continue ;; esac
      patch -d "$src" -p1 -s -N <"$src/debian/patches/$p" >>"$log" 2>&1 || fail "patch $p does not apply"
    done <"$src/debian/patches/series"
  fi
fi

# 3. Configure and build the static library only.
cmake -S "$src" -B "$work/build" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_ASM_NASM_COMPILER=nasm \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
  -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF \
  -DCMAKE_INSTALL_PREFIX="$prefix" >>"$log" 2>&1 || fail "cmake configure failed"
cmake --build "$work/build" --target jpeg-static -j2 >>"$log" 2>&1 || fail "build failed"

# 4. Install what a program compiling against the IJG API needs.
mkdir -p "$prefix/include" "$prefix/lib"
install -m 644 "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$work/build/jconfig.h" "$prefix/include/"
install -m 644 "$work/build/libjpeg.a" "$prefix/lib/libjpeg.a"
echo "$want" >"$stamp"
rm -rf "$work"
done_line
