# Sourced by scripts/fuzz-ci.sh and scripts/fuzz.sh: the fuzz targets, their
# options, and one libFuzzer run with its one-line summary.

fuzz_build=build/fuzz
fuzz_targets=(fuzz_tracklists fuzz_sources fuzz_script_calls fuzz_timeline)

# The options of target $1: its input size cap and dictionary.
fuzz_options() {
  case "$1" in
    fuzz_tracklists) echo "-max_len=1024 -dict=fuzz/tracklists.dict" ;;
    fuzz_sources) echo "-max_len=16384" ;;
    fuzz_script_calls) echo "-max_len=256" ;;
    fuzz_timeline) echo "-max_len=1024 -dict=fuzz/timeline.dict" ;;
  esac
}

# fuzz_run TARGET SECONDS CORPUS [READ-ONLY CORPUS...]: fuzzes for SECONDS,
# adding new inputs to CORPUS; crash inputs go to build/fuzz/crashes/TARGET/,
# the log to build/fuzz/logs/TARGET.log. Prints "TARGET: N execs, cov C, ft F"
# and whether it crashed; returns libFuzzer's exit code.
fuzz_run() {
  local target=$1 seconds=$2 corpus=$3
  shift 3
  local crashes="$fuzz_build/crashes/$target" log="$fuzz_build/logs/$target.log"
  mkdir -p "$crashes" "$fuzz_build/logs" "$corpus"
  local status=0
  # shellcheck disable=SC2046 # the options are words
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    nice "$fuzz_build/fuzz/$target" $(fuzz_options "$target") -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes/" \
      "$corpus" "$@" >"$log" 2>&1 || status=$?
  local execs cov ft
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  local verdict="no crash"
  if [ "$status" -ne 0 ]; then
    verdict="CRASH (exit $status; inputs in $crashes, log $log)"
  fi
  echo "$target: ${execs:-?} execs, cov ${cov:-?}, ft ${ft:-?}, $verdict"
  return "$status"
}
