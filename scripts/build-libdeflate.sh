#!/usr/bin/env bash
# Builds libdeflate 1.14 as a static library for i686-w64-mingw32 (or the host
# KAPTOR_WIN_HOST names) from Debian 12's own source package (libdeflate) with Debian's
# patches, and installs libdeflate.h and lib/libdeflate.a under the prefix given as the first
# argument. There is no mingw build in any registry.
#
# Quick when already built: a stamp file in the prefix records what was built there. The
# source is fetched once into a cache beside the prefix and never enters the repository.
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: $0 PREFIX" >&2
  exit 2
fi

version=1.14
host=${KAPTOR_WIN_HOST:-i686-w64-mingw32}
mkdir -p "$1"
prefix=$(cd "$1" && pwd)
parent=$(dirname "$prefix")
cache=$parent/libdeflate-src
work=$parent/libdeflate-build
stamp=$prefix/.libdeflate-stamp
want="libdeflate $version $host static"
log=$parent/libdeflate-build.log

done_line() { echo "libdeflate $version ($host, static): $prefix"; }
have_all() {
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] &&
    [ -f "$prefix/include/libdeflate.h" ] && [ -f "$prefix/lib/libdeflate.a" ]
}
if have_all; then done_line; exit 0; fi

# Two builds configuring at once must not both unpack into the same folders.
exec 9>"$parent/.libdeflate.lock"
flock 9
if have_all; then done_line; exit 0; fi

fail() {
  echo "build-libdeflate: $1 (log: $log)" >&2
  exit 1
}
: >"$log"

# 1. The source package, once.
mkdir -p "$cache"
orig=$(ls "$cache"/libdeflate_${version}.orig.tar.* 2>/dev/null | head -n 1 || true)
if [ -z "$orig" ]; then
  if ! (cd "$cache" && apt-get source --download-only libdeflate) >>"$log" 2>&1; then
    # The deb-src entry may be present without its index fetched yet.
    apt-get update -qq >>"$log" 2>&1 || true
    (cd "$cache" && apt-get source --download-only libdeflate) >>"$log" 2>&1 ||
      fail "apt-get source libdeflate failed (is the deb-src entry configured? see scripts/setup.sh)"
  fi
  orig=$(ls "$cache"/libdeflate_${version}.orig.tar.* 2>/dev/null | head -n 1 || true)
  [ -n "$orig" ] || fail "Debian's source package libdeflate does not hold version $version"
fi

# 2. Unpack afresh, with Debian's own patches on top.
rm -rf "$work"
mkdir -p "$work"
tar -xf "$orig" -C "$work" >>"$log" 2>&1 || fail "cannot unpack $orig"
src=$work/libdeflate-$version
[ -d "$src" ] || fail "$orig does not hold libdeflate-$version"
debian_tar=$(ls "${orig%%.orig.tar.*}"-*.debian.tar.xz 2>/dev/null | sort | tail -n 1 || true)
if [ -n "$debian_tar" ]; then
  tar -xJf "$debian_tar" -C "$src" >>"$log" 2>&1 || fail "cannot unpack $debian_tar"
  if [ -f "$src/debian/patches/series" ]; then
    while read -r p _; do
      case "$p" in '' | '#'*) continue ;; esac
      patch -d "$src" -p1 -s -N <"$src/debian/patches/$p" >>"$log" 2>&1 || fail "patch $p does not apply"
    done <"$src/debian/patches/series"
  fi
fi

# 3. The static library only, through its own Makefile (it knows mingw by the compiler's
# target, and names the library libdeflatestatic.lib). Optimised as the native package is.
make -C "$src" -j2 libdeflatestatic.lib CC=$host-gcc AR=$host-ar CFLAGS="-O2" >>"$log" 2>&1 ||
  fail "libdeflate build failed"
mkdir -p "$prefix/include" "$prefix/lib"
install -m 644 "$src/libdeflate.h" "$prefix/include/"
install -m 644 "$src/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
echo "$want" >"$stamp"
rm -rf "$work"
done_line
