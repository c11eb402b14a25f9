#!/usr/bin/env bash
# The main job: installs what is missing, builds the command-line host and
# plays the bundled fire example for three seconds, printing its summary.
# Extra arguments go to the host, for example: scripts/run.sh --seconds 5
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target pyrelune-run
build/bin/pyrelune-run examples/fire.xml --seconds 3 --fps 30 "$@"
