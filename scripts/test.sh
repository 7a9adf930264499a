#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: the debug build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, and the concurrency
# tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=$(nproc)
for preset in dev asan tsan; do
  echo "== $preset =="
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs" --no-tests=ignore
done
echo "== all tests passed =="
