#!/usr/bin/env bash
# The README's test command: installs what is missing, builds, runs every test, then builds the whole
# project again with AddressSanitizer and UndefinedBehaviorSanitizer and runs the tests there too
# (SKIP_SANITIZED=1 leaves that second pass out, for a quick local run).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
(
  cd build
  # The FLTK backend's own tests need a display: give the run a private one. The end-to-end tests and
  # the running-copy tests start displays of their own.
  # No test may hang the run: one that takes over five minutes fails by name.
  xvfb-run -a -s "-screen 0 1024x768x24 -noreset" ctest --output-on-failure --timeout 300 -j2 "$@"
)
if [ -z "${SKIP_SANITIZED:-}" ]; then
  bash scripts/sanitize.sh
fi
