#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer (SETUP_SANITIZE=ON) into
# build-asan and runs every test but the end-to-end ones. Passes only when every test passes and no
# process (the tests, their forked children, programs they start) wrote a sanitizer report: reports go
# to files under build-asan/sanitizer-reports, which must stay empty. Prints the time each step took.
#
#   scripts/sanitize.sh [CTEST_ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-asan}
reports=$PWD/$build/sanitizer-reports

began=$(date +%s)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSETUP_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
built=$(date +%s)

rm -rf "$reports"
mkdir -p "$reports"
export ASAN_OPTIONS="log_path=$reports/asan:detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="log_path=$reports/ubsan:print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="log_path=$reports/lsan:suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
status=0
# The FLTK backend's tests need a display: give the run a private one, as the normal test run does.
display=()
[[ -z ${DISPLAY:-} ]] && command -v xvfb-run >/dev/null && display=(xvfb-run -a -s "-screen 0 1024x768x24 -noreset")
(cd "$build" && "${display[@]}" ctest --output-on-failure --timeout 300 -j"$(nproc)" -LE e2e "$@") || status=$?
tested=$(date +%s)

found=$(find "$reports" -type f | wc -l)
if ((found > 0)); then
  echo "sanitizer reports:"
  for report in "$reports"/*; do
    echo "== $report"
    head -40 "$report"
  done
  status=1
fi
echo
echo "sanitized build: $((built - began)) s; tests: $((tested - built)) s; reports: $found; result: $( ((status == 0)) && echo pass || echo FAIL)"
exit "$status"
