#!/usr/bin/env bash
# Sets everything up, builds the release configuration and runs the main job
# on the bundled demo: writes the demo's stems and opens each one through the
# plug-in's decoders.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset release
cmake --build --preset release -j "$(nproc)" --target vy_make_demo vyprobe
demo=build/release/demo
build/release/tools/vy_make_demo "$demo"
cp examples/demo/bgm.mtrk "$demo/"
build/release/tools/vyprobe "$demo" drums.opus bass.opus pads.ogg
