#!/usr/bin/env bash
# Sets everything up, builds the release configuration of mtrk-render (and
# the plug-in it loads) and runs it on its demo: writes the demo set (four
# synthesised stems, a .mtrk, a .mchx, an inline name and a timeline) into
# build/demo/ and renders it to build/demo/demo.wav with the picture
# build/demo/demo.svg.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset release
cmake --build --preset release -j "$(nproc)" --target mtrk-render
build/release/tools/mtrk-render/mtrk-render --demo build/demo "$@"
