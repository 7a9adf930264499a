#!/usr/bin/env bash
# Times mtrk-render against the tools a user would mix the same stems with
# instead: ffmpeg's amix (its own decoders, one thread, same gains, float
# output) and sox -m (Vorbis only: Debian's sox reads no Opus). Eight stereo
# 60-second stems per format, written by vy_bench_stems.
#
#   bench/peers.sh [ROUNDS]      (default 9)
#
# Measures CPU time (user + system) of each whole process. The runs are
# paired: every round runs each command once, in an order that rotates from
# round to round, and the ratio is taken within the round, so that a slow
# spell of the machine weighs on both sides. Prints per format and peer the
# median CPU times and the median ratio ours/peer with its range over the
# rounds; a ratio below 1 means mtrk-render used less CPU.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-9}

./scripts/setup.sh
missing=()
for p in ffmpeg sox libsox-fmt-all; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "peers: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target mtrk-render vy_bench_stems >/dev/null

dir=build/bench-peers
stems_tool=build/release/bench/vy_bench_stems
if [ ! -f "$dir/vorbis.mtrk" ] || [ "$stems_tool" -nt "$dir/vorbis.mtrk" ]; then
  "$stems_tool" "$dir"
fi
render=build/release/tools/mtrk-render/mtrk-render

# The command line of `tool` mixing the stems of extension `ext`.
command_for() {
  local tool=$1 ext=$2 list=$3 args=()
  case "$tool" in
    # The peers measure no loudness either.
    mtrk-render) args=("$render" -q --no-loudness "$dir/$list" -o "$dir/out-ours-$ext.wav") ;;
    ffmpeg)
      args=(ffmpeg -v error -y -threads 1 -filter_threads 1)
      for i in $(seq 1 8); do args+=(-i "$dir/stem$i.$ext"); done
      args+=(-filter_complex amix=inputs=8:normalize=0 -c:a pcm_f32le "$dir/out-ffmpeg-$ext.wav") ;;
    sox)
      args=(sox -V1 -m)
      for i in $(seq 1 8); do args+=(-v 1 "$dir/stem$i.$ext"); done
      args+=(-e floating-point -b 32 "$dir/out-sox-$ext.wav") ;;
  esac
  printf '%q ' "${args[@]}"
}

# CPU seconds (user + system) of one run of a command line.
cpu_seconds() {
  local TIMEFORMAT='%3U %3S' times
  times=$( { time eval "$1" >/dev/null 2>&1; } 2>&1 )
  awk '{ printf "%.3f", $1 + $2 }' <<<"$times"
}

# median and range of the numbers on standard input
summary() {
  sort -g | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.3f (%.3f .. %.3f)", m, v[1], v[NR] }'
}

measure() {
  local ext=$1 list=$2; shift 2
  local tools=(mtrk-render "$@") results
  results=$(mktemp)
  local -A lines
  for tool in "${tools[@]}"; do lines[$tool]=$(command_for "$tool" "$ext" "$list"); done
  for tool in "${tools[@]}"; do eval "${lines[$tool]}" >/dev/null 2>&1; done # warm the caches
  for ((r = 0; r < rounds; r++)); do
    local n=${#tools[@]} row=""
    local -A cpu=()
    for ((k = 0; k < n; k++)); do
      local tool=${tools[$(((k + r) % n))]}
      cpu[$tool]=$(cpu_seconds "${lines[$tool]}")
    done
    for tool in "${tools[@]}"; do row+="${cpu[$tool]} "; done
    echo "$row" >>"$results"
  done
  printf '%-6s mtrk-render %s s\n' "$ext" "$(cut -d' ' -f1 "$results" | summary)"
  local column=2
  for peer in "$@"; do
    printf '%-6s %-11s %s s   ratio ours/%s %s\n' "$ext" "$peer" \
      "$(cut -d' ' -f"$column" "$results" | summary)" "$peer" \
      "$(awk -v c="$column" '{ printf "%.4f\n", $1 / $c }' "$results" | summary)"
    column=$((column + 1))
  done
  rm -f "$results"
}

echo "CPU time of mixing 8 stereo 60 s stems, median (range) over $rounds paired rounds:"
measure opus opus.mtrk ffmpeg
measure ogg vorbis.mtrk ffmpeg sox
