#!/bin/sh
# Runs a test program with the wall clock set to a time of today: RunAtTime.sh hh:mm:ss program [args...]
# Each process the program starts begins again at that time (libfaketime's "@"), and from there the clock
# runs on. The monotonic clock, which timers and waits use, and the file stamps the kernel writes stay
# real, so that a stamp a test compares with the faked date is one from today.
set -eu
library=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
if [ ! -e "$library" ]; then
  echo "RunAtTime: $library is missing; scripts/setup.sh test installs it (package faketime)" >&2
  exit 1
fi
time=$1
shift
started=$(mktemp)
status=0
FAKETIME="@$(date +%F) $time" FAKETIME_DONT_FAKE_MONOTONIC=1 NO_FAKE_STAT=1 \
  LD_PRELOAD="$library${LD_PRELOAD:+:$LD_PRELOAD}" "$@" || status=$?
# libfaketime keeps a semaphore and a memory object per process that starts it. A process under another
# account (a server under its own uid) cannot open ours and makes its own, which stays behind when the
# process is killed: remove those of this run whose process has ended.
find /dev/shm -maxdepth 1 -newer "$started" \( -name 'faketime_shm_*' -o -name 'sem.faketime_sem_*' \) |
  while read -r object; do
    if [ ! -e "/proc/${object##*_}" ]; then rm -f "$object"; fi
  done
rm -f "$started"
exit "$status"
