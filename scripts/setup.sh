#!/usr/bin/env bash
# Installs the Debian packages that the given purposes need, and no others:
#   scripts/setup.sh [build|demo|test|package|bench|fuzz|mutate|windows]...   (every purpose when none is given)
# Each script asks for its own purpose; every purpose includes build. Safe to run again: packages already
# present are skipped. Works as root or through sudo.
set -euo pipefail

# Configuring and building the tree: the compilers and libraries (access lists of the backup folder, the
# heartbeat's http and https), GoogleTest (the tests, the demo and the benchmarks share its support code),
# and what the configure step itself asks for: the package's icon and manual pages (rsvg-convert, gzip)
# and the real program's benchmark (XCB and its XTEST extension).
build=(g++ cmake ninja-build pkg-config qt6-base-dev libjpeg62-turbo-dev libacl1-dev libcurl4-openssl-dev
  firebird-dev libfbclient2 libgtest-dev librsvg2-bin gzip libxcb1-dev libxcb-xtest0-dev)
# scripts/demo.sh: a private Firebird server and its tools, a virtual display with the clicks and window
# look-ups on it, and fonts for the window.
demo=(firebird3.0-server firebird3.0-utils xvfb xauth xdotool x11-utils fonts-dejavu-core fonts-liberation)
# The Debian package (cpack runs dpkg-shlibdeps, file and strip).
package=(dpkg-dev file binutils)
fuzz=(clang libclang-rt-14-dev)
# The Windows build (cmake --preset windows, scripts/package-windows.sh) and its tests under Wine; GoogleTest
# for it is built from Debian's source of it.
windows=(g++-mingw-w64-x86-64-posix wine64 googletest)
# scripts/test.sh: the demo's and the package's needs, the end-to-end tests' tray (trayer) and screenshots
# (imagemagick), a private session bus for the tests of notifications and of the channel between two
# starts (dbus-daemon), the faketime label's libfaketime, the package's test (lintian, the menu entry's
# validator, man, the maintainer scripts' setfacl and groupadd), the fuzz smoke and the Windows tests.
test=("${demo[@]}" "${package[@]}" "${fuzz[@]}" "${windows[@]}" trayer x11-apps imagemagick dbus-daemon procps
  iproute2 faketime lintian desktop-file-utils man-db acl passwd apt)
# scripts/bench.sh: the real program on a display with a tray, gbak as the reference; BENCH_PROFILE
# records the program during a job with perf.
bench=("${demo[@]}" trayer procps linux-perf)
# scripts/mutate.sh runs the tests of every planted fault.
mutate=("${test[@]}" python3)

purposes=("$@")
if [ ${#purposes[@]} -eq 0 ]; then purposes=(demo test package bench fuzz mutate windows); fi
packages=("${build[@]}")
for purpose in "${purposes[@]}"; do
  case "$purpose" in
    build) ;;
    demo) packages+=("${demo[@]}") ;;
    test) packages+=("${test[@]}") ;;
    package) packages+=("${package[@]}") ;;
    bench) packages+=("${bench[@]}") ;;
    fuzz) packages+=("${fuzz[@]}") ;;
    mutate) packages+=("${mutate[@]}") ;;
    windows) packages+=("${windows[@]}") ;;
    *) echo "setup: unknown purpose $purpose (build, demo, test, package, bench, fuzz, mutate, windows)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if [[ " ${missing[*]} " == *" $p "* ]]; then continue; fi
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: every package for ${purposes[*]} is present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
# The server package must not start or configure a system-wide server for us; the tests and the
# demo run private instances.
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
