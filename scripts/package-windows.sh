#!/usr/bin/env bash
# Builds the Windows runner with MinGW-w64 (Release, static runtime) in a build folder of its own and makes
# the folder to ship as a zip: kelmora-backup-run.exe, a sample sistema.ini, the credentials file's template
# and LEIA-ME.txt (how to install it, where fbclient.dll comes from, the Task Scheduler line). Prints the
# zip's path. fbclient.dll is not in it: it comes from the server's own Firebird installation.
# -O2 as Debian's own builds: at CMake's -O3 gcc 12 sees an overlap in std::string that is not there.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${SKIP_SETUP:-0}" != "1" ]; then scripts/setup.sh windows >&2; fi

build=${WINDOWS_PACKAGE_BUILD_DIR:-build-windows-package}
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBACKUP_WERROR=ON -DBACKUP_TESTS=OFF \
  "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG" >&2
cmake --build "$build" --target runner --parallel "${PACKAGE_JOBS:-2}" >&2

version=$(sed -n 's/^project(KelmoraBackup VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=kelmora-backup-windows-$version
stage=$build/zip/$name
rm -rf "$build/zip"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/kelmora-backup-run.exe" "$build/runner/kelmora-backup-run.exe"
# Notepad and the profile functions read CR LF; the texts stay UTF-8 as written, but sistema.ini and the
# credentials are read as the program reads them (UTF-8 or code page 1252).
for file in sistema.ini credenciais LEIA-ME.txt; do
  sed 's/$/\r/' "packaging/windows/$file" >"$stage/$file"
done
(cd "$build/zip" && cmake -E tar cf "$name.zip" --format=zip "$name")
realpath "$build/zip/$name.zip"
