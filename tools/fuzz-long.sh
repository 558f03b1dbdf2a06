#!/usr/bin/env bash
# Long libFuzzer runs of the host build's fuzz targets, each from its seeds and its own
# growing corpus, a few targets at a time (the machine is shared). Prints, per target, the
# inputs run, the coverage reached and whether a fault was found.
#   fuzz-long.sh [-r RUNS] [-t SECONDS] [-w WORKERS] [TARGET...]
#   RUNS per target (default 10000000), SECONDS at most per target (default: no limit),
#   WORKERS targets at once (default 2); TARGET names a fuzz program of build/host
#   (default: every target that vantrel_fuzz made).
# Corpora and the inputs that made a target fail stay in build/host/fuzz/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
host=${VANTREL_BUILD_ROOT:-$root/build}/host
runs=10000000
seconds=0
workers=2
while getopts "r:t:w:" opt; do
  case $opt in
    r) runs=$OPTARG ;;
    t) seconds=$OPTARG ;;
    w) workers=$OPTARG ;;
    *) sed -n '5,8p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
fuzz=$host/fuzz
[ -d "$fuzz" ] || { echo "fuzz-long.sh: no $fuzz; build the host tree first (tools/build.sh host)" >&2; exit 2; }
targets=("$@")
if ((${#targets[@]} == 0)); then
  for seeds in "$fuzz"/*.seeds; do targets+=("$(basename "$seeds" .seeds)"); done
fi

run_one() {
  local name=$1 program log
  program=$(find "$host" -type f -name "$name" -perm -u+x | head -n 1)
  log=$fuzz/$name.log
  if [ -z "$program" ]; then
    echo "$name: no program built" >"$log.summary"
    return
  fi
  mkdir -p "$fuzz/corpus/$name" "$fuzz/artifacts"
  local status=0
  "$program" -runs="$runs" -max_total_time="$seconds" -max_len="$(cat "$fuzz/$name.max_len")" -seed_inputs=@"$fuzz/$name.seeds" \
    -artifact_prefix="$fuzz/artifacts/$name-" -print_final_stats=1 -print_pcs=0 \
    "$fuzz/corpus/$name" >"$log" 2>&1 || status=$?
  local done_line executed
  done_line=$(grep -E '^#[0-9]+[[:space:]]+(DONE|NEW|REDUCE|pulse|INITED)' "$log" | tail -n 1 || true)
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  local cov ft corp
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$done_line")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$done_line")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$done_line")
  local result=clean
  if ((status != 0)); then
    result="FAULT (exit $status): $(ls -t "$fuzz/artifacts/$name-"* 2>/dev/null | head -n 1)"
  fi
  printf '%s: runs %s, coverage %s, features %s, corpus %s, %s\n' \
    "$name" "${executed:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}" "$result" >"$log.summary"
}

pids=()
for name in "${targets[@]}"; do
  run_one "$name" &
  pids+=($!)
  while (($(jobs -rp | wc -l) >= workers)); do wait -n || true; done
done
wait
failed=0
for name in "${targets[@]}"; do
  cat "$fuzz/$name.log.summary"
  grep -q FAULT "$fuzz/$name.log.summary" && failed=1
done
exit $failed
