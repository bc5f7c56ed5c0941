#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time on a fresh seed corpus.
# usage: run_fuzz.sh FUZZER SEED_MAKER SECONDS [SEED_MAKER...]
# Fails when the fuzzer reports a crash, a leak, a timeout or an
# out-of-memory; prints the number of executions.
set -euo pipefail
fuzzer=$1 seeds=$2 seconds=${3:-60}
shift 3 || shift $#
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/seeds"
for maker in "$seeds" "$@"; do
  "$maker" "$work/seeds"
done
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/" "$work/corpus" "$work/seeds" >"$work/log" 2>&1 || {
  tail -40 "$work/log"
  mkdir -p "${SONIVEL_FUZZ_ARTIFACTS:-/tmp/sonivel-fuzz-artifacts}"
  cp "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* \
     "${SONIVEL_FUZZ_ARTIFACTS:-/tmp/sonivel-fuzz-artifacts}/" 2>/dev/null || true
  echo "fuzzer $(basename "$fuzzer") found a problem"
  exit 1
}
grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$work/log" || tail -3 "$work/log"
