#!/usr/bin/env bash
# The README's test command: installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
cd build
# The FLTK backend's own tests need a display: give the run a private one. The end-to-end tests and
# the running-copy tests start displays of their own.
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" ctest --output-on-failure -j2 "$@"
