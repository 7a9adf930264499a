#!/usr/bin/env bash
# Decodes every .opus and .ogg file under the given folders with two builds
# of DecodeDump, one linked with the project's codec libraries and one with
# the system's, and fails unless both decode the same samples.
#
#   bench/compare-decodes.sh OURS SYSTEM DIR...
set -euo pipefail
ours=$1 system=$2
shift 2
mapfile -t files < <(find "$@" -type f \( -name '*.opus' -o -name '*.ogg' \) | sort)
if ((${#files[@]} == 0)); then
  echo "compare-decodes: no .opus or .ogg files under $*" >&2
  exit 1
fi
ours_out=$(mktemp) system_out=$(mktemp)
trap 'rm -f "$ours_out" "$system_out"' EXIT
"$ours" "${files[@]}" >"$ours_out"
"$system" "${files[@]}" >"$system_out"
if ! diff "$ours_out" "$system_out" >/dev/null; then
  echo "compare-decodes: the two builds decode differently (file samples hash; < ours, > system):" >&2
  diff "$ours_out" "$system_out" >&2 || true
  exit 1
fi
awk '{ samples += $2 } END { printf "compare-decodes: %d files, %d samples, bit-identical\n", NR, samples }' "$ours_out"
