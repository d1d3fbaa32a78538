#!/usr/bin/env bash
# Builds the Debian package in a Release build folder of its own, with Debian's hardening flags, and prints
# the package's path. Install it with: apt install ./<that path>
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${SKIP_SETUP:-0}" != "1" ]; then scripts/setup.sh package >&2; fi

build=${PACKAGE_BUILD_DIR:-build-package}
# The flags Debian builds its own packages with (-O2, stack protector, fortified functions, full RELRO); they
# replace CMake's -O3 of a Release build, at which gcc 12 sees an overlap in std::string that is not there.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
cflags=$(dpkg-buildflags --get CFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBACKUP_WERROR=ON -DBACKUP_TESTS=OFF \
  "-DCMAKE_CXX_FLAGS=$cppflags $cxxflags" "-DCMAKE_C_FLAGS=$cppflags $cflags" \
  -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG \
  "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" >&2
cmake --build "$build" --target deb --parallel "${PACKAGE_JOBS:-2}" >&2

shopt -s nullglob
packages=("$build"/package/kelmora-backup_*.deb)
if [ ${#packages[@]} -ne 1 ]; then
  echo "package: expected one package in $build/package, found ${#packages[@]}" >&2
  exit 1
fi
realpath "${packages[0]}"
