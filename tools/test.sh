#!/usr/bin/env bash
# Builds everything and runs every test: the host tests of the portable core under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows tests under wine64.
# The i686 build is compiled only; this kernel cannot run 32-bit programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh" host x86_64 i686

out=${VANTREL_BUILD_ROOT:-$root/build}
status=0
ctest --test-dir "$out/host" --output-on-failure -j "$(nproc)" || status=1
ctest --test-dir "$out/x86_64" --output-on-failure -j "$(nproc)" || status=1
exit $status
