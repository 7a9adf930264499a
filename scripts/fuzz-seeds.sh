#!/usr/bin/env bash
# Writes the fuzz targets' seed corpora into build/fuzz/seeds/<target>/ with
# the fuzz preset's vy_fuzz_seeds (built first when missing): the test
# sources from the test-audio helper, track lists over them and the
# example lists, call sequences, timelines and command lines. The folders
# are replaced and left read-only.
set -euo pipefail
cd "$(dirname "$0")/.."
seeds=build/fuzz/seeds
if [ ! -x build/fuzz/fuzz/vy_fuzz_seeds ]; then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$(nproc)" --target vy_fuzz_seeds >/dev/null
fi
if [ -d "$seeds" ]; then
  chmod -R u+w "$seeds"
  rm -rf "$seeds"
fi
mapfile -t examples < <(find examples -name '*.mtrk' -o -name '*.mchx' | sort)
build/fuzz/fuzz/vy_fuzz_seeds "$seeds" "${examples[@]}"
chmod -R a-w "$seeds"
