#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12. Idempotent: packages already
# present are not asked for again, so a second run costs a few dpkg queries.
set -euo pipefail

need_root() { if [ "$(id -u)" -ne 0 ]; then echo "sudo"; fi; }
SUDO=$(need_root)

packages=(
  # cross compiler (posix thread model lives in the same packages)
  g++-mingw-w64-i686 mingw-w64-i686-dev cmake make nasm
  # native toolchain and test libraries
  g++ clang libgtest-dev libbenchmark-dev
  # Wine on a virtual display, Japanese locale and fonts
  wine wine32:i386 wine64 xvfb x11-utils xdotool imagemagick locales
  fonts-ipafont-gothic fonts-wine
  # font caches made once at install, not by the first Wine session or print job of each
  # user; colour pointers for Wine's 64-bit desktop process (only recommended by Wine)
  fontconfig libxcursor1
  # a real printer for the print tests
  cups printer-driver-cups-pdf libcups2:i386 poppler-utils
  # reference decoders for the GIF and PNG benchmarks, native libjpeg, libpng, zlib and
  # libdeflate, libFuzzer runtime
  libgif-dev libspng-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev libdeflate-dev libclang-rt-14-dev
  # fetching the libjpeg-turbo, zlib, libpng1.6 and libdeflate source packages
  dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

src_list=/etc/apt/sources.list.d/kaptor-src.sources
if [ ! -f "$src_list" ]; then
  # Source entries for the libjpeg-turbo, zlib, libpng1.6 and libdeflate source packages.
  $SUDO tee "$src_list" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  updated_needed=1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  updated_needed=1
fi

if [ "${#missing[@]}" -gt 0 ] || [ -n "${updated_needed:-}" ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  $SUDO sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi

# A kernel that runs no 32-bit code: the Windows build and its tests are made for x86_64.
if [ "$(bash "$(dirname "$0")/winhost.sh")" = x86_64-w64-mingw32 ]; then
  x64=()
  for p in g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || x64+=("$p")
  done
  if [ "${#x64[@]}" -gt 0 ]; then
    echo "setup: this machine runs no 32-bit code; installing ${x64[*]}"
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${x64[@]}" >/dev/null
  fi
fi
