#!/usr/bin/env bash
# Configures (once) and builds one tree incrementally:
#   build.sh native   portable code and its tests under ASan + UBSan (build/native)
#   build.sh fuzz     libFuzzer targets with clang (build/fuzz)
#   build.sh win      the Windows program and its tests, cross-built (build/win) for the
#                     target scripts/winhost.sh names
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=$1
dir=$root/build/$kind
case "$kind" in
  native) args=(-DKAPTOR_SANITIZE=ON) ;;
  fuzz) args=(-DKAPTOR_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  win)
    host=$(bash "$root/scripts/winhost.sh")
    args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-${host%%-*}.cmake")
    # A tree configured for the other target starts again.
    if [ -f "$dir/CMakeCache.txt" ] && ! grep -qx "CMAKE_TOOLCHAIN_FILE:[A-Z]*=${args[0]#*=}" "$dir/CMakeCache.txt"; then
      rm -rf "$dir"
    fi
    ;;
  *) echo "build.sh: native, fuzz or win" >&2; exit 2 ;;
esac
mkdir -p "$root/build"
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$dir" "${args[@]}" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
fi
rc=0
make -C "$dir" -j2 --no-print-directory >"$dir.build.log" 2>&1 || rc=$?
# Compiler diagnostics only, not the progress lines.
grep -vE '^\[ *[0-9]+%\]|^make(\[[0-9]+\])?:|^-- |Consolidate compiler|Scanning dependencies|Built target' "$dir.build.log" || true
exit $rc
