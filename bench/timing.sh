# Sourced by the benchmark scripts.
# best_of N CMD...: the best wall time of N runs of CMD, in seconds (3 places).
# BEFORE_EACH, when set, is run (untimed) before every run.
best_of() {
  local runs=$1 best=999999 t0 t1 t
  shift
  for _ in $(seq 1 "$runs"); do
    [ -n "${BEFORE_EACH:-}" ] && eval "$BEFORE_EACH"
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s.%N)
    t=$(echo "$t1 - $t0" | bc -l)
    if (( $(echo "$t < $best" | bc -l) )); then best=$t; fi
  done
  printf '%.3f' "$best"
}
