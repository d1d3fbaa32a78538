#!/usr/bin/env bash
# Measures the program against its references and prints a table of medians and ratios:
#   job      the backup job with the window shown against gbak, on a data-heavy (~200 MB, 60 tables) and
#            a metadata-heavy (1,500 tables) database built on a private Firebird server
#   output   the job's output loop against the client library double replaying 200,000 lines
#   copy     CopyFileBytes on a 1 GiB file against cp
#   cleanup  the job's clean-up of 20,000 expired files against find -delete
#   startup  the real program under Xvfb: start to window shown, and idle memory in automatic mode
#   real     the real program under Xvfb against gbak on both databases: a job started by a click on
#            "Iniciar" (manual mode) and one started by its schedule time (automatic mode), with the CPU
#            of the program and the server per job, and the CPU and context switches per output line of
#            the program beside gbak's; BENCH_REAL gives bench_real its arguments: "quiet loaded" measures
#            as the machine is and then under a fixed background load (one CPU-bound process at normal
#            priority during every timed run of either side), "runner" adds the runner with the [Backup]
#            key BENCH_QUIET_KEY names (default OmitirDetalhes) against gbak -b -se without -v
#   transfer the runner receiving the backup (Transferir=1) against `gbak -b -se ... stdout > file`, both
#            databases, in bytes per second: the runner whole, and its transfer alone (from the part file's
#            creation to its rename)
# Run by hand, never from CTest: scripts/bench.sh [job|output|copy|cleanup|startup|real|transfer]... (all by
# default).
# BUILD_DIR (default build-bench) is the build folder, BENCH_DATA (default <build>/bench-data) keeps the
# databases and the 1 GiB file between runs (about 2 GB), BENCH_RUNS overrides each benchmark's rounds.
# The full set takes about ten minutes on an idle machine plus some twenty seconds per round of `real` and
# condition (11 rounds by default), plus a few minutes the first time to build the databases.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh bench

build=${BUILD_DIR:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBACKUP_TESTS=ON >/dev/null
nice -n 10 cmake --build "$build" --parallel "$(nproc)" --target benchmarks
export BENCH_DATA=${BENCH_DATA:-$PWD/$build/bench-data}
mkdir -p "$BENCH_DATA"

benchmarks=("$@")
if [ ${#benchmarks[@]} -eq 0 ]; then benchmarks=(job output copy cleanup startup real transfer); fi

log="$BENCH_DATA/bench-$(date +%Y%m%d-%H%M%S).log"
results=$(mktemp)
trap 'rm -f "$results"' EXIT

load() { echo "machine load: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) on $(nproc) cores"; }

echo "$(uname -srm); $(load)" | tee "$log"
for name in "${benchmarks[@]}"; do
  case "$name" in
    job) program=bench_job ;;
    output) program=bench_output_loop ;;
    copy) program=bench_copy ;;
    cleanup) program=bench_cleanup ;;
    startup) program=bench_startup ;;
    real) program=bench_real ;;
    transfer) program=bench_transfer ;;
    *) echo "unknown benchmark $name (job, output, copy, cleanup, startup, real, transfer)" >&2; exit 2 ;;
  esac
  arguments=()
  if [ "$name" = real ]; then read -r -a arguments <<<"${BENCH_REAL:-}"; fi
  echo "== $name: $(load)" | tee -a "$log"
  "$build/bench/$program" "${arguments[@]}" 2>&1 | grep -v '^QStandardPaths' | tee -a "$log" | tee -a "$results" | grep -v '^RESULT|'
done
echo "== done: $(load)" | tee -a "$log"

{
  echo
  echo "| measure | ours | reference | ratio | target | |"
  echo "|---|---|---|---|---|---|"
  grep '^RESULT|' "$results" | sed -e 's/^RESULT|//' -e 's/|/ | /g' -e 's/^/| /' -e 's/$/ |/'
} | tee -a "$log"
echo
echo "full output: $log"
if grep -q '|MISSED$' "$results"; then exit 1; fi
