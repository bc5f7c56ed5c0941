#!/usr/bin/env bash
# Builds and runs every test: the suite in the debug build, again under
# AddressSanitizer + UBSan and under ThreadSanitizer, and each fuzz target for
# SONIVEL_FUZZ_SECONDS (default 60). Installs what it needs first.
# SONIVEL_SANITIZERS=0 leaves out the two sanitizer runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

passed=0 failed=0
timings=()
run_suite() {
  local preset=$1
  shift
  local started=$SECONDS
  cmake --preset "$preset" "$@" >/dev/null
  cmake --build --preset "$preset"
  local log
  log=$(mktemp)
  local status=0
  # Three tests a core: the suite mostly waits (the real clock, sound
  # servers, started programs), a tenth of its time on a processor. The
  # fuzzers work all of their time: one a core, so each does as much.
  local jobs=$(($(nproc) * 3))
  [ "$preset" != fuzz ] || jobs=$(nproc)
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log" || status=1
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  rm -f "$log"
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    return
  fi
  local total bad
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  [ "$status" -eq 0 ] || [ "$bad" -gt 0 ] || failed=$((failed + 1))
  timings+=("$preset: $((SECONDS - started)) s (build and tests)")
}

run_suite debug
if [ "${SONIVEL_SANITIZERS:-1}" != 0 ]; then
  run_suite asan
  run_suite tsan
fi
# The Windows build (engine, converter, engine tests) cross-built with
# mingw-w64 and run under Wine, its converter compared with this one's.
if [ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null || command -v wine >/dev/null; then
  run_suite windows -DSONIVEL_LINUX_CONVERT="$PWD/build/debug/app/sonivel-convert"
else
  echo "Wine not found: the Windows build and its tests are skipped"
fi
if command -v clang++ >/dev/null; then
  run_suite fuzz -DSONIVEL_FUZZ_SECONDS="${SONIVEL_FUZZ_SECONDS:-60}"
else
  echo "clang++ not found: fuzz targets skipped"
fi

printf '%s\n' "${timings[@]}"
echo "${passed} passed, ${failed} failed"
[ "$failed" -eq 0 ]
