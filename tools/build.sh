#!/usr/bin/env bash
# Configures (once) and builds the trees under build/: x86_64 and i686 Windows with
# MinGW-w64, the host build of the portable core, and the same core as 32-bit code.
#   build.sh [TREE...]   TREE is x86_64, i686, host or host32; all four when none is named
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# VANTREL_BUILD_ROOT puts the trees elsewhere (one per developer working side by side).
out=${VANTREL_BUILD_ROOT:-$root/build}
trees=("$@")
((${#trees[@]})) || trees=(x86_64 i686 host host32)

for tree in "${trees[@]}"; do
  dir="$out/$tree"
  if [ ! -f "$dir/build.ninja" ]; then
    case "$tree" in
      x86_64|i686) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$tree-w64-mingw32.cmake") ;;
      host) args=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
      host32) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-linux-gnu.cmake") ;;
      *) echo "build.sh: unknown tree $tree" >&2; exit 2 ;;
    esac
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${args[@]}" >/dev/null
  fi
  echo "build.sh: building $tree"
  ninja -C "$dir" | grep -v '^\[' || true
  test "${PIPESTATUS[0]}" -eq 0
done
