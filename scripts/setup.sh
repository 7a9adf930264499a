#!/usr/bin/env bash
# Installs what the build needs on Debian 12 (run as root; skips apt when
# everything is present already), then builds the codec libraries the
# presets link (scripts/codecs.sh; cached under build/codecs).
set -euo pipefail
packages=(cmake make gcc g++ pkg-config binutils dpkg-dev xz-utils
          libogg-dev libvorbis-dev libopus-dev libopusfile-dev libopusenc-dev
          libgtest-dev libbenchmark-dev)
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
