#!/usr/bin/env bash
# A longer fuzzing campaign:
#   scripts/fuzz.sh [MINUTES [TARGET...]]
# runs every target (or the TARGETs named) for MINUTES minutes each
# (default 5), one after the other, in the fuzz preset (two campaigns on
# different targets may run side by side), on a corpus kept in build/fuzz/corpus/<target>/ and
# grown across runs (the seeds and regression inputs are read too). Prints
# per target the executions, coverage (cov/ft) and whether it crashed; the
# inputs of a crash stay in build/fuzz/crashes/<target>/ (minimise one with
# `build/fuzz/fuzz/<target> -minimize_crash=1 -runs=10000 FILE`, then put it
# into fuzz/regressions/<target>/). Exits 1 when any target crashed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/fuzz-common.sh
minutes=${1:-5}
shift $(($# > 0 ? 1 : 0))
targets=("${@:-${fuzz_targets[@]}}")
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null
./scripts/fuzz-seeds.sh >/dev/null
failed=0
for target in "${targets[@]}"; do
  fuzz_run "$target" $((minutes * 60)) "$fuzz_build/corpus/$target" "$fuzz_build/seeds/$target" \
    "fuzz/regressions/$target" || failed=1
done
exit "$failed"
