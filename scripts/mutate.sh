#!/usr/bin/env bash
# Mutation testing, run by hand (not part of CI): plants one small fault at a time into a copy of the
# tree and tells which of them the tests catch. The logic is in mutate.py beside this script.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: scripts/mutate.sh [options] FOLDER...
       scripts/mutate.sh --only FILE:LINE:OPERATOR[#K] [--only ...]

Plants one fault at a time into a copy of the tree (never this checkout), rebuilds only the test
programs that cover the mutated folder, runs their tests, and reports per folder how many faults were
killed (a test failed), timed out (counted as killed), survived (every test passed) or did not
compile, with the diff of every survivor.

  scripts/mutate.sh -n 100 --seed 7 services fbclient   100 mutants drawn with seed 7
  scripts/mutate.sh --list -n 100 --seed 7 services     show the same draw without running it
  scripts/mutate.sh --only services/src/TIBControlAndQueryService.cpp:42:delete
                                                        run one named mutant (names as --list shows)

Options:
  -n N            how many mutants to draw (default 20; 0 = every possible one)
  --seed S        the seed of the draw (default 1); the same seed, N, folders and tree draw the same
                  mutants
  --list          print the drawn mutants (name and change) and stop
  --only NAME     run the named mutant instead of a draw; FILE:LINE:OPERATOR runs every mutant of
                  that operator on the line, FILE:LINE:OPERATOR#K only the K-th; may be repeated
  --work DIR      where the copy, its build and the reports live (default /tmp/kelmora-mutate, or
                  $MUTATE_WORK); kept between runs so that only what changed is rebuilt
  --report FILE   where to write the report (default DIR/report-seedS-nN-DATE.md, or
                  DIR/report-named-DATE.md with --only)
  --map FILE      which tests cover which folder (default scripts/mutate.map)
  --timeout SEC   each test's timeout (default: 3 times the slowest test of the unmutated run,
                  at least 30 s)
  --build-timeout SEC   a mutant whose build takes longer counts as not compiled (default 1800)
  -j 1|2          build and test jobs (default 2, the machine's shared cores)
  --no-baseline   skip the run of the tests on the unmutated copy (which must pass)
  --self-test     check the harness itself (where it plants which fault) and stop
  -h, --help      this text

Operators: boundary (< <=, > >=), equality (== !=), negate (if/while condition), delete (an
expression statement or assignment; a brace-less body becomes {}), int+1 / int-1 (an integer
constant), swap-args (two neighbouring arguments of a call), swap-list (two neighbouring entries of
a braced list), return (the returned value becomes {}, 0/1, false/true or ""). Comments, string
literals, preprocessor lines, static_assert, braced lists of 256 entries or more (pictures, byte
tables) and every line that carries the comment "// mutate: off" are never mutated, nor anything
in tests/, fuzz/ or bench/ folders.

The copy is built like CI (RelWithDebInfo, warnings as errors), so a fault the compiler warns about
counts as not compiled. Score: (killed + timed out) / (killed + timed out + survived).

Time: the first run builds the covering test programs in the copy (a few minutes). After that each
mutant costs its recompiles, the links and the covering tests (stopped at the first failure):
"-n 100 --seed 11 services" took 30 minutes on this 2-core machine shared with other builds (load
average 5 to 9), 13 s per mutant in a .cpp file and 38 s per mutant in a header, which rebuilds
every object that includes it.
EOF
}

here=$(cd "$(dirname "$0")" && pwd)
# Bytecode would land in the tree and then in the copy; the scripts are small enough to compile each time.
export PYTHONDONTWRITEBYTECODE=1
for arg in "$@"; do
  case "$arg" in
    -h | --help) usage; exit 0 ;;
    --self-test) cd "$here" && exec python3 -m unittest -v mutate_test ;;
  esac
done
if [ $# -eq 0 ]; then
  usage >&2
  exit 2
fi

exec python3 "$here/mutate.py" "$@"
