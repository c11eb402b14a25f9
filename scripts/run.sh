#!/usr/bin/env bash
# The main job: installs what is missing, builds the command-line host and
# plays the bundled fire example for three seconds, printing its summary and
# rendering it to pictures in out/ (frames, a contact sheet and a GIF).
# Extra arguments go to the host, for example: scripts/run.sh --seconds 5
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target pyrelune-run
build/bin/pyrelune-run examples/fire.xml --seconds 3 --fps 30 \
  --out out/fire --frames 12 --sheet out/fire_sheet.png --gif out/fire.gif "$@"
echo "Pictures: out/fire_sheet.png (contact sheet), out/fire.gif (animation), out/fire/*.png (frames)"
