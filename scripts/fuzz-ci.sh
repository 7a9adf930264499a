#!/usr/bin/env bash
# The short fuzzing step of the test suite: builds the fuzz preset (clang,
# libFuzzer, AddressSanitizer + UndefinedBehaviorSanitizer), writes the
# seeds, and runs every target for VY_FUZZ_SECONDS (default 30) seconds on
# its seeds and its regression inputs, collecting new inputs in a scratch
# corpus (build/fuzz/ci-corpus/, emptied first). Fails when any target
# crashes, leaks or breaks a check; prints one line per target.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/fuzz-common.sh
seconds=${VY_FUZZ_SECONDS:-30}
cmake --preset fuzz
cmake --build --preset fuzz -j "$(nproc)"
./scripts/fuzz-seeds.sh
failed=0
for target in "${fuzz_targets[@]}"; do
  scratch="$fuzz_build/ci-corpus/$target"
  rm -rf "$scratch"
  fuzz_run "$target" "$seconds" "$scratch" "$fuzz_build/seeds/$target" "fuzz/regressions/$target" || failed=1
done
if [ "$failed" -ne 0 ]; then
  echo "fuzz: a target failed (see above)" >&2
  exit 1
fi
echo "fuzz: all targets ran ${seconds} s without a crash"
