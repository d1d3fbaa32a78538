#!/usr/bin/env bash
# Runs a program of the Windows build under Wine: wine-run.sh PROGRAM.exe [ARGUMENTS...]
# CTest and the build use it as the cross-compiling emulator. The Wine prefix is private to the build
# folder (<build>/wine-prefix, made on first use; WINEPREFIX overrides it), so nothing of the user's own
# ~/.wine is read or changed, and it needs no display: Wine's null driver answers window calls.
set -euo pipefail

wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
if [ ! -x "$wine" ]; then
  echo "wine-run.sh: wine64 is not installed (scripts/setup.sh installs it)" >&2
  exit 127
fi

program=$1
if [ -z "${WINEPREFIX:-}" ]; then
  # The build folder is the nearest folder above the program that holds CMakeCache.txt.
  folder=$(cd "$(dirname "$program")" && pwd)
  while [ "$folder" != / ] && [ ! -f "$folder/CMakeCache.txt" ]; do folder=$(dirname "$folder"); done
  [ "$folder" != / ] || folder=$(cd "$(dirname "$program")" && pwd)
  export WINEPREFIX=$folder/wine-prefix
fi

export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs while the prefix is made: the programs need neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # Test programs run two at a time: the first makes the prefix, the other waits for it.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot --init >/dev/null 2>&1 || true
    "$(command -v wineserver || echo /usr/lib/wine/wineserver)" -w || true
  fi
  flock -u 9
  exec 9>&-
fi

exec "$wine" "$@"
