#!/usr/bin/env bash
# Builds the fuzz targets of the file readers with clang's libFuzzer (AddressSanitizer and UBSan) and runs each for
# SECONDS seconds (default 60), one after the other, starting from the seeds in tests/fuzz/seeds/<target>/.
# The corpus grows in build-fuzz/corpus/<target>/; a crash, leak or timeout is kept in build-fuzz/findings/<target>/
# and makes the script exit with 1. Usage: bash tools/fuzz.sh [SECONDS] [TARGET...]
# BRENVIK_FUZZ_MAX_LEN sets the largest input (default 65536), e.g. 4194304 for archives that inflate far.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(xlsx xls text_layout index_files building_files legacy_export)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRENVIK_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}" >/dev/null
export QT_QPA_PLATFORM=offscreen
# Process-lifetime allocations of the libraries (Qt's and glib's type registries) are no finding.
export ASAN_OPTIONS="detect_leaks=0"
max_len=${BRENVIK_FUZZ_MAX_LEN:-65536}
status=0
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$t
  findings=build-fuzz/findings/$t
  mkdir -p "$corpus" "$findings"
  cp -n tests/fuzz/seeds/"$t"/* "$corpus"/ 2>/dev/null || true
  log=build-fuzz/fuzz_$t.log
  if build-fuzz/fuzz_"$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 -max_len="$max_len" \
       -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    result="keine Funde"
  else
    result="FUND: $(ls "$findings" | head -n 3 | tr '\n' ' ')"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)
  printf 'fuzz_%-15s %6ss  max_len %-8s %10s Durchläufe  %5s MB  %s\n' "$t" "$seconds" "$max_len" "${runs:-?}" \
    "${rss:-?}" "$result"
done
exit $status
