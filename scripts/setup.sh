#!/usr/bin/env bash
# Installs what the build needs on Debian 12 (run as root; skips apt when
# everything is present already), then builds the codec libraries the
# presets link (scripts/codecs.sh; cached under build/codecs). With
# --windows also the MinGW-w64 toolchains, Wine and the Windows codecs.
set -euo pipefail
windows=false
[ "${1:-}" = --windows ] && windows=true
packages=(cmake make gcc g++ pkg-config binutils dpkg-dev xz-utils
          libogg-dev libvorbis-dev libopus-dev libopusfile-dev libopusenc-dev libebur128-dev
          libgtest-dev libbenchmark-dev portaudio19-dev
          clang libclang-rt-14-dev) # the fuzz step: clang with libFuzzer and its sanitizers
if $windows; then
  packages+=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
"$(dirname "$0")/codecs.sh" native >/dev/null
if $windows; then
  "$(dirname "$0")/codecs.sh" i686-w64-mingw32 >/dev/null
  "$(dirname "$0")/codecs.sh" x86_64-w64-mingw32 >/dev/null
fi
