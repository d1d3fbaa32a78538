#!/usr/bin/env bash
# Sets up everything on a fresh machine and runs one backup of a demo database in the program's
# window: a private Firebird server, a demo database, the program in manual mode, a click on
# "Iniciar". Prints the log block and the backup files the job wrote.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh demo

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBACKUP_TESTS=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target backup backup_demo
exec "$build/tools/backup_demo"
