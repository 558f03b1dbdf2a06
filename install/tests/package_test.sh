#!/usr/bin/env bash
# The installation package of a Windows tree holds exactly what install.cmd takes from its
# folder, and the build's bin exactly those modules (no test program or double, which a
# manual installation would copy and register); the programs are stripped and name their
# debug information, which stays in the build. Leaves the package unpacked in
# BUILD_DIR/package-test/unpacked for the end-to-end scenario, which installs from it.
#   package_test.sh ROOT BUILD_DIR
set -euo pipefail
root=$1 build=$2
fail() { echo "FAIL: $*"; exit 1; }
tree=$(basename "$build")
case "$tree" in x86_64) triple=x86_64-w64-mingw32 ;; i686) triple=i686-w64-mingw32 ;; *) fail "tree $tree" ;; esac
work=$build/package-test
rm -rf "$work"
mkdir -p "$work"
zip=$(VANTREL_BUILD_ROOT=$(dirname "$build") "$root/tools/package.sh" --out "$work" "$tree") || fail "package.sh"
[ -f "$zip" ] || fail "no package: $zip"

# What the installer reads: the files it names in its source folder, the scripts beside it.
install="$root/tools/install.cmd"
{
  grep -o '%SRC%\\[A-Za-z0-9_.]*' "$install" | sed 's/^%SRC%\\//'
  grep -o '%~dp0[A-Za-z0-9_.]*' "$install" | sed 's/^%~dp0//'
} | grep -v '^$' | sort -u > "$work/needed"
modules=$(cat "$work/needed")
printf '%s\n' $modules install.cmd uninstall.cmd | sort -u > "$work/expected"
folder=$(basename "$zip" .zip)
unzip -Z1 "$zip" | sed -n "s|^$folder/||p" | grep -v '^$' | sort > "$work/listed"
diff "$work/expected" "$work/listed" > "$work/package.diff" ||
  { cat "$work/package.diff"; fail "the package does not hold exactly what install.cmd needs (< missing, > extra)"; }
ls "$build/bin" | sort > "$work/bin"
grep -vx 'silent_run.vbs' "$work/needed" | diff - "$work/bin" > "$work/bin.diff" ||
  { cat "$work/bin.diff"; fail "the build's bin does not hold exactly what an installation needs (< missing, > extra)"; }

unzip -q "$zip" -d "$work/unpacked"
for f in "$work/unpacked/$folder"/*.exe "$work/unpacked/$folder"/*.dll "$work/unpacked/$folder"/*.ocx; do
  base=$(basename "$f")
  sections=$("$triple-objdump" -h "$f")
  grep -q '\.debug_info' <<<"$sections" && fail "$base still carries its debug information"
  grep -q '\.gnu_debuglink' <<<"$sections" || fail "$base does not name its debug file"
  debug="$build/debug/$base.debug"
  [ -f "$debug" ] || fail "no $debug"
done
# Quenloc.exe is the one module whose debug information is most of its size.
"$triple-objdump" -h "$build/debug/Quenloc.exe.debug" | grep -q '\.debug_info' || fail "Quenloc.exe.debug holds no debug information"
echo "package: $(basename "$zip"), Quenloc.exe $(stat -c %s "$build/bin/Quenloc.exe") bytes built," \
     "$(stat -c %s "$work/unpacked/$folder/Quenloc.exe") packed"
echo "package_contents: all checks passed"
