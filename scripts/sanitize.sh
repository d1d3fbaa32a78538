#!/usr/bin/env bash
# Builds everything with the address and undefined-behaviour sanitizers and runs the whole test suite
# under them. Extra arguments go to ctest (e.g. -L unit). BUILD_DIR picks the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh test

build=${BUILD_DIR:-build-sanitize}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBACKUP_WERROR=ON -DBACKUP_SANITIZE=ON
cmake --build "$build" --parallel "$(nproc)"

# Every finding ends the process that has it, so a test cannot pass over one. Leaks are checked at
# exit; the suppression file names the little that outside libraries keep on purpose.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

cd "$build"
# Not the faketime label: it runs the same programs again with libfaketime preloaded ahead of the address
# sanitizer's runtime, which refuses to start that way.
ctest --output-on-failure --parallel "$(nproc)" --timeout 900 -LE faketime "$@"
