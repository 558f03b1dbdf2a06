#!/usr/bin/env bash
# Lorvex's decoding of a real backup file against evtexport's listing of the same file.
#   compare_with_evtexport.sh WINE_RUN PREFIX DUMP_EXE FILE
# Account names are compared elsewhere: evtexport prints SIDs, Lorvex account texts.
set -euo pipefail
wine_run=$1 prefix=$2 dump=$3 file=$4
if [ ! -f "$file" ]; then
  echo "SKIPPED: fixture $file is not beside the checkout"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
evtexport "$file" | grep -v '^User security identifier' > "$work/evtexport.txt"
winfile="Z:${file//\//\\}"
TZ=UTC "$wine_run" --prefix "$prefix" "$dump" "$winfile" > "$work/lorvex.txt"
if ! diff -q "$work/evtexport.txt" "$work/lorvex.txt" >/dev/null; then
  diff "$work/evtexport.txt" "$work/lorvex.txt" | head -40
  echo "FAILED: Lorvex and evtexport disagree"
  exit 1
fi
echo "$(grep -c '^Event number' "$work/lorvex.txt") records identical"
