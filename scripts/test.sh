#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors, runs every test (the Windows build's
# under Wine too) and a short smoke of the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh test

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBACKUP_WERROR=ON
cmake --build "$build" --parallel "$(nproc)"
(cd "$build" && ctest --output-on-failure --parallel "$(nproc)" --timeout 300 "$@")

# The Windows programs, cross-built with MinGW-w64 and tested under Wine.
if [ "${SKIP_WINDOWS:-0}" != "1" ]; then
  scripts/test-windows.sh
fi

# A short smoke of every fuzz target (clang, address and undefined-behaviour sanitizers) over the kept seeds;
# scripts/fuzz.sh with a longer time is the real campaign.
if [ "${SKIP_FUZZ_SMOKE:-0}" != "1" ]; then
  env -u BUILD_DIR scripts/fuzz.sh "${FUZZ_SMOKE_SECONDS:-10}"
fi
