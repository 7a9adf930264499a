#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: the debug build; the
# unit and integration tests once more, optimised with debug info (undefined
# behaviour and races often show only then); the AddressSanitizer +
# UndefinedBehaviorSanitizer build; the concurrency tests under
# ThreadSanitizer; a short run of every fuzz target (scripts/fuzz-ci.sh);
# and the Windows builds (scripts/test-windows.sh: the DLLs
# checked, the 64-bit suite under Wine, one render compared).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=$(nproc)
for preset in dev opt asan tsan; do
  echo "== $preset =="
  cmake --preset "$preset"
  if [ "$preset" = tsan ]; then
    # ThreadSanitizer runs the concurrency tests only.
    cmake --build --preset "$preset" -j "$jobs" --target vy_concurrency_tests
  else
    cmake --build --preset "$preset" -j "$jobs"
  fi
  ctest --preset "$preset" -j "$jobs" --no-tests=error
done
echo "== fuzz =="
./scripts/fuzz-ci.sh
./scripts/test-windows.sh
echo "== all tests passed =="
