#!/usr/bin/env bash
# Builds the Windows programs with MinGW-w64 (cmake --preset windows, warnings as errors) and runs their
# tests under Wine, in a Wine prefix of the build folder's own. Arguments go to ctest. Skips with a note
# when the cross compiler or Wine is missing (scripts/setup.sh installs both).
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
  { ! command -v wine64 >/dev/null && [ ! -x /usr/lib/wine/wine64 ]; }; then
  echo "test-windows: MinGW-w64 or Wine is not installed; the Windows tests are skipped"
  exit 0
fi

build=${BUILD_WINDOWS_DIR:-build-windows}
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBACKUP_WERROR=ON
cmake --build "$build" --parallel "$(nproc)"
started=$(date +%s)
status=0
(cd "$build" && ctest --output-on-failure --parallel "$(nproc)" --timeout 300 "$@") || status=$?
echo "test-windows: the Wine tests took $(($(date +%s) - started)) s"
# The prefix's wineserver ends a few seconds after its last program; nothing is left running.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
WINEPREFIX="$PWD/$build/wine-prefix" "$wineserver" -w 2>/dev/null || true
exit $status
