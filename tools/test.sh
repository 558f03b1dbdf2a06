#!/usr/bin/env bash
# Builds everything and runs every test: the host tests of the portable core under
# AddressSanitizer and UndefinedBehaviorSanitizer, the same core as 32-bit code under
# qemu-i386, the Windows tests under wine64, and the i686 Windows build's tests under
# emulated 32-bit Wine (tools/test-i686.sh, two at a time, as measured).
set -euo pipefail
. "$(dirname "$0")/fixed_layout.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh" host host32 x86_64 i686

out=${VANTREL_BUILD_ROOT:-$root/build}
status=0
ctest --test-dir "$out/host" --output-on-failure -j "$(nproc)" || status=1
ctest --test-dir "$out/host32" --output-on-failure -j "$(nproc)" || status=1
ctest --test-dir "$out/x86_64" --output-on-failure -j "$(nproc)" || status=1
"$root/tools/test-i686.sh" 2 || status=1
exit $status
