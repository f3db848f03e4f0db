#!/usr/bin/env bash
# The README's test command: installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
cd build
ctest --output-on-failure -j2 "$@"
