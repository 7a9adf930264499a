#!/usr/bin/env bash
# The Windows part of the test suite, after the Linux one (it uses the dev
# build's vy_check_dll and mtrk-render): builds win32 and win64, checks the
# DLLs without running them, runs the win64 suite under Wine, and renders
# one list of 16-bit WAV stems with one timeline on Linux and under Wine:
# the two WAV files must be byte-identical.
#
# This machine runs 64-bit Windows programs only (its kernel has no 32-bit
# support), so the 32-bit DLL is checked statically and its code runs as
# the 64-bit build.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/windows.sh

echo "== the DLLs, read without running them =="
check=build/dev/tools/vy_check_dll
exports=(GetModuleInstance V2Link V2Unlink)
"$check" build/win32/src/vymultitrack.dll i386 src/resources "${exports[@]}"
"$check" build/win32/modules/wav/vywav.dll i386 - GetModuleInstance
"$check" build/win64/src/vymultitrack.dll amd64 src/resources "${exports[@]}" >/dev/null
"$check" build/win64/modules/wav/vywav.dll amd64 - GetModuleInstance >/dev/null

echo "== win64 suite under Wine =="
ctest --preset win64 -j "$(nproc)" --no-tests=error

echo "== one render on Linux and on Windows =="
work=build/windows-render
rm -rf "$work"
mkdir -p "$work/stems" "$work/linux" "$work/windows"
render=build/dev/tools/mtrk-render/mtrk-render
"$render" --demo "$work/demo" -q >/dev/null
for stem in drums.opus bass.opus pad.ogg lead.ogg; do
  "$render" -q --pcm16 "$work/demo/$stem|one.mtrk" -o "$work/stems/${stem%.*}.wav" >/dev/null
done
printf 'drums\tdrums.wav\tvywav.dll\nbass\tbass.wav\npad\tpad.wav\nlead\tlead.wav\n' >"$work/stems/wav.mtrk"
cp "$work/demo/demo.timeline" "$work/stems/"
# Lists name Windows module files, as a game's lists do; on Linux the same
# module sits beside the plug-in under that name.
cp build/dev/src/libvymultitrack.so "$work/linux/"
cp build/dev/modules/wav/libvywav.so "$work/linux/vywav.dll"
cp build/win64/src/vymultitrack.dll build/win64/modules/wav/vywav.dll "$work/windows/"
"$render" -q --plugin "$work/linux/libvymultitrack.so" --timeline "$work/stems/demo.timeline" \
  "$work/stems/wav.mtrk" -o "$work/linux.wav"
WINEDEBUG=-all WINEPREFIX="$PWD/build/win64/wine" DISPLAY= /usr/lib/wine/wine64 \
  build/win64/tools/mtrk-render/mtrk-render.exe -q --plugin "$work/windows/vymultitrack.dll" \
  --timeline "$work/stems/demo.timeline" "$work/stems/wav.mtrk" -o "$work/windows.wav"
cmp "$work/linux.wav" "$work/windows.wav"
echo "linux.wav and windows.wav are byte-identical ($(stat -c %s "$work/linux.wav") bytes)"
echo "== the Windows part took ${SECONDS} s =="
