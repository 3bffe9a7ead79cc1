#!/usr/bin/env bash
# Prints the mingw-w64 target the Windows build is made for: i686-w64-mingw32, the program
# users get, unless KAPTOR_WIN_HOST says otherwise or this machine's kernel runs no 32-bit
# code (Wine's 32-bit loader then fails with "Exec format error"), where the same sources are
# built and tested as x86_64-w64-mingw32 under Wine's 64-bit side.
if [ -n "${KAPTOR_WIN_HOST:-}" ]; then
  echo "$KAPTOR_WIN_HOST"
elif [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1 &&
  [ -x /usr/lib/wine/wine64 ]; then
  echo x86_64-w64-mingw32
else
  echo i686-w64-mingw32
fi
