#!/usr/bin/env bash
# Fuzzes the Windows-services layer with libFuzzer (clang, AddressSanitizer and UndefinedBehaviorSanitizer):
# the path mapper, the hive text parser and writer, the shell-link builder and parser. Each target runs
# for SECONDS (default 180) from the seeds in fuzz/corpus/<target>; new inputs go to a working corpus in
# build-fuzz, never into the seeds; a crash leaves its input in build-fuzz/artifacts. Prints one line per
# target with its executions and exits 1 when any target failed.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]      targets: paths registry_text shell_link
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
seconds=${1:-180}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(paths registry_text shell_link)
build=$repo/build-fuzz  # absolute: a target may change its working directory

command -v clang++ >/dev/null || { echo "fuzzing needs clang (Debian package clang)"; exit 1; }
CXX=clang++ cmake -S fuzz -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
mkdir -p "$build/artifacts"

failed=0
summary=()
for target in "${targets[@]}"; do
  work=$build/corpus/$target
  mkdir -p "$work"
  log=$build/$target.log
  extra=()
  [[ -f fuzz/$target.dict ]] && extra+=(-dict="$repo/fuzz/$target.dict")
  echo "fuzzing $target for ${seconds}s (log: $log)"
  status=0
  "$build/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 -timeout=10 \
    -artifact_prefix="$build/artifacts/$target-" "${extra[@]}" "$work" "$repo/fuzz/corpus/$target" >"$log" 2>&1 ||
    status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  per_second=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  result=ok
  if ((status != 0)); then
    result="FAILED (see $log)"
    failed=1
  fi
  summary+=("$(printf '%-14s %12s %10s %8s  %s' "$target" "${runs:-?}" "${per_second:-?}" "${coverage:-?}" "$result")")
done

echo
printf '%-14s %12s %10s %8s  %s\n' target executions "execs/s" coverage result
printf '%s\n' "${summary[@]}"
exit "$failed"
