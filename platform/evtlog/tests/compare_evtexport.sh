#!/usr/bin/env bash
# Compares evtexport's listing of a log file with an expected listing.
#   compare_evtexport.sh FILE EXPECTED     exit 77 (skipped) without evtexport
set -euo pipefail
command -v evtexport >/dev/null || { echo "evtexport (libevt-utils) is not installed"; exit 77; }
# evtexport starts with its banner and a blank line.
diff -u "$2" <(evtexport "$1" | tail -n +3)
echo "evtexport lists the same records"
