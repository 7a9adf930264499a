#!/usr/bin/env bash
# Checks that the project's codec builds decode exactly the samples the
# system's libraries decode: the benchmark stems (8 stereo 60 s stems in
# Opus and Vorbis, and the variety set) and the demo, each decoded by the
# same program linked both ways (compare-decodes.sh).
#
#   bench/bitexact.sh
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)" --target vy_bench_stems vy_decode_dump vy_decode_dump_system mtrk-render >/dev/null
stems=build/bench-peers
if [ ! -f "$stems/vorbis.mtrk" ] || [ build/dev/bench/vy_bench_stems -nt "$stems/vorbis.mtrk" ]; then
  build/dev/bench/vy_bench_stems "$stems"
fi
build/dev/tools/mtrk-render/mtrk-render --demo build/bitexact-demo -q >/dev/null
bench/compare-decodes.sh build/dev/bench/vy_decode_dump build/dev/bench/vy_decode_dump_system \
  "$stems" build/bitexact-demo
