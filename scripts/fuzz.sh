#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, address and undefined-behaviour sanitizers) and runs each
# one for the given number of seconds (default 600) over its seed corpus, then prints the executions
# and findings per target. Exits non-zero when a target has a finding or does not run.
#
#   scripts/fuzz.sh [seconds]
#   FUZZ_JOBS=2        targets run at the same time (default 1)
#   FUZZ_TARGETS="..." only these targets
#   BUILD_DIR=...      the build folder (default build-fuzz)
#
# New inputs that reach new paths go to <build>/fuzz-run/<target>/corpus, not into the repository's
# seeds; a finding is written to <build>/fuzz-run/<target>/findings/ (crash-*, leak-*, timeout-*,
# oom-*). Keep a fixed finding as fuzz/corpus/<target>/regression-<what>.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-600}
jobs=${FUZZ_JOBS:-1}
build=${BUILD_DIR:-build-fuzz}
all_targets="fuzz_profile_reader fuzz_database_name fuzz_attach_params fuzz_output_line
             fuzz_characteristics fuzz_firebird_version fuzz_statement_info fuzz_jpeg"
read -r -a targets <<< "$(echo ${FUZZ_TARGETS:-$all_targets})"

scripts/setup.sh fuzz

# Warnings as errors are the gcc build's job (scripts/test.sh); here clang's own extra warnings in the
# libraries must not keep the fuzzers from running. The fuzz targets are always built with -Werror.
mkdir -p "$build"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBACKUP_FUZZ=ON -DBACKUP_SANITIZE=ON -DBACKUP_WERROR=OFF > "$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 1; }
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]}"

export UBSAN_OPTIONS="print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

runs="$build/fuzz-run"
run_target() {
  local target=$1 work="$runs/$1"
  mkdir -p "$work/corpus" "$work/findings"
  # -timeout: no input of these parsers should take a second; ten is a hang.
  nice -n 10 "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/findings/" "$work/corpus" "fuzz/corpus/$target" \
    > "$work/log" 2>&1 || true
}

running=0
for target in "${targets[@]}"; do
  echo "fuzz: $target for ${seconds}s"
  run_target "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait || true

status=0
printf '\n%-24s %14s %10s %8s %s\n' target executions "execs/s" corpus findings
for target in "${targets[@]}"; do
  work="$runs/$target"
  executions=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/log" | awk '{print $2}' | tail -1)
  per_second=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$work/log" | awk '{print $2}' | tail -1)
  corpus=$(find "$work/corpus" -type f | wc -l)
  findings=$(find "$work/findings" -type f | wc -l)
  printf '%-24s %14s %10s %8s %s\n' "$target" "${executions:-none}" "${per_second:--}" "$corpus" "$findings"
  if [ -z "$executions" ] || [ "$findings" -ne 0 ]; then
    status=1
    echo "---- $target: $work/log"
    grep -E -A30 'ERROR|runtime error|broken promise' "$work/log" | head -60 || tail -30 "$work/log"
    find "$work/findings" -type f -exec echo "finding: {}" \;
  fi
done
exit $status
