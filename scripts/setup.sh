#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the demo and the hand-run tools need
# (python3 runs scripts/mutate.sh). Safe to run again: packages already present are skipped. Works as
# root or through sudo.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libjpeg62-turbo-dev
  # Access lists of the backup folder, and the heartbeat's http and https.
  libacl1-dev libcurl4-openssl-dev
  firebird-dev libfbclient2 firebird3.0-server firebird3.0-utils
  libgtest-dev
  clang libclang-rt-14-dev
  xvfb xauth trayer xdotool x11-utils x11-apps imagemagick libxcb1-dev
  # The real program's benchmark clicks through XTEST on a connection of its own, without a tool's start-up.
  libxcb-xtest0-dev
  fonts-dejavu-core fonts-liberation
  procps iproute2
  # scripts/bench.sh: BENCH_PROFILE records the real program during a job with perf.
  linux-perf
  python3
  # The Debian package (cpack runs dpkg-shlibdeps, file and strip; the icon is rendered from its SVG) and
  # its test (lintian, the menu entry's validator, the maintainer scripts' setfacl and groupadd).
  dpkg-dev file binutils librsvg2-bin gzip lintian desktop-file-utils man-db acl passwd apt
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: every package is present"
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
