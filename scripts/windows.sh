#!/usr/bin/env bash
# Sets up the MinGW-w64 toolchains and builds the Windows side:
#   build/win32/src/vymultitrack.dll         the 32-bit plug-in a game ships
#   build/win32/modules/wav/vywav.dll        its WAV decoder module
#   build/win64/...                          everything for 64-bit Windows:
#     src/vymultitrack.dll, modules/wav/vywav.dll,
#     tools/mtrk-render/mtrk-render.exe (with hmdevui.dll beside it), and
#     the test programs, which `ctest --preset win64` runs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh --windows
jobs=$(nproc)
for preset in win32 win64; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
echo "== built =="
echo "  build/win32/src/vymultitrack.dll      (the engine's plug-in folder)"
echo "  build/win32/modules/wav/vywav.dll     (beside it)"
echo "  build/win64/tools/mtrk-render/mtrk-render.exe"
