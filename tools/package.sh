#!/usr/bin/env bash
# Makes the installation packages from built Windows trees: vantrel-<version>-x86_64.zip
# from build/x86_64 and vantrel-<version>-x86.zip from build/i686. Each holds one folder
# with the programs' folder of its build (bin: exactly what an installation needs), the
# programs stripped, and install.cmd, uninstall.cmd and silent_run.vbs; install.cmd run
# there without an argument installs from that folder. The debug information stays in the
# build: build/<tree>/debug/<module>.debug, which each module names (.gnu_debuglink).
#   package.sh [--out DIR] [TREE...]   TREE is x86_64 or i686, both when none is named;
#                                      DIR defaults to build/packages
# Prints the path of each package made.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
builds=${VANTREL_BUILD_ROOT:-$root/build}
out=$builds/packages
if [ "${1:-}" = "--out" ]; then out=$2; shift 2; fi
trees=("$@")
((${#trees[@]})) || trees=(x86_64 i686)
mkdir -p "$out"
out=$(cd "$out" && pwd)

for tree in "${trees[@]}"; do
  case "$tree" in
    x86_64) arch=x86_64 triple=x86_64-w64-mingw32 ;;
    i686) arch=x86 triple=i686-w64-mingw32 ;;
    *) echo "package.sh: unknown tree $tree" >&2; exit 2 ;;
  esac
  build=$builds/$tree
  [ -f "$build/product-version.txt" ] && [ -f "$build/bin/Quenloc.exe" ] ||
    { echo "package.sh: $build is not built (tools/build.sh $tree)" >&2; exit 1; }
  name=vantrel-$(cat "$build/product-version.txt")-$arch
  stage=$out/$name
  rm -rf "$stage" "$out/$name.zip"
  mkdir -p "$stage" "$build/debug"
  for file in "$build"/bin/*; do
    base=$(basename "$file")
    case "$base" in
      *.exe|*.dll|*.ocx)
        # The debug information goes to the build; the module keeps only a link to it.
        "$triple-objcopy" --only-keep-debug "$file" "$build/debug/$base.debug"
        "$triple-objcopy" --strip-all "$file" "$stage/$base"
        (cd "$build/debug" && "$triple-objcopy" --add-gnu-debuglink="$base.debug" "$stage/$base") ;;
      *) cp "$file" "$stage/$base" ;;
    esac
  done
  cp "$root/tools/install.cmd" "$root/tools/uninstall.cmd" "$root/tools/silent_run.vbs" "$stage/"
  (cd "$out" && zip -q -X -r "$name.zip" "$name")
  echo "$out/$name.zip"
done
