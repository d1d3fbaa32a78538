"""Mutation testing of the Kelmora Backup sources: plants one fault at a time into a copy of the tree,
rebuilds only the test programs that cover the mutated folder, runs their tests, and reports which
faults the tests catch. scripts/mutate.sh is the entry point and tells how to use it."""

import argparse
import dataclasses
import datetime
import difflib
import fcntl
import json
import os
import random
import re
import shlex
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mutate_ops  # noqa: E402

NEVER_MUTATED = frozenset(["tests", "fuzz", "bench"])
SOURCE_SUFFIXES = (".cpp", ".h")
CMAKE_ARGS = ["-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DBACKUP_WERROR=ON"]


class Failure(Exception):
    """A reason to stop that the user can act on."""


# -- what to mutate ------------------------------------------------------------------------------------


def tree_files(root):
    """The files of the working tree as git sees them (tracked, and new ones that are not ignored)."""
    out = subprocess.run(["git", "-C", root, "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                         check=True, capture_output=True).stdout
    return sorted(f for f in out.decode().split("\0") if f and os.path.isfile(os.path.join(root, f)))


def mutable_files(files, folders):
    chosen = []
    for f in files:
        parts = f.split("/")
        if not f.endswith(SOURCE_SUFFIXES) or NEVER_MUTATED.intersection(parts[:-1]):
            continue
        if any(f.startswith(folder + "/") for folder in folders):
            chosen.append(f)
    return chosen


def all_mutants(root, files):
    found = []
    for f in files:
        with open(os.path.join(root, f), encoding="utf-8", errors="surrogateescape") as handle:
            found += mutate_ops.find_mutants(f, handle.read())
    return found


def sample(mutants, n, seed):
    """N mutants drawn with the seed from the full list (in its fixed order), then put in file order
    so that consecutive mutants of one file rebuild one object less."""
    if n <= 0 or n >= len(mutants):
        picked = list(mutants)
    else:
        picked = random.Random(seed).sample(mutants, n)
    order = {m.ident: i for i, m in enumerate(mutants)}
    return sorted(picked, key=lambda m: order[m.ident])


def select_named(mutants, names):
    """The mutants named path:line:operator (every one of that operator on the line) or
    path:line:operator#k (exactly that one)."""
    picked = []
    for name in names:
        hits = [m for m in mutants if m.ident == name or m.ident.split("#")[0] == name]
        if not hits:
            near = [m.ident for m in mutants if m.ident.rsplit(":", 1)[0] == name.rsplit(":", 1)[0]]
            hint = ("; that line has: " + ", ".join(near)) if near else ""
            raise Failure(f"no mutant is named {name}{hint}")
        picked += [m for m in hits if m not in picked]
    return picked


def folder_of(path, folders):
    return max((f for f in folders if path.startswith(f + "/")), key=len)


# -- which tests cover a folder ------------------------------------------------------------------------


@dataclasses.dataclass
class Coverage:
    prefix: str
    programs: list
    ctest_args: list


def read_map(path):
    entries = []
    with open(path, encoding="utf-8") as handle:
        for number, raw in enumerate(handle, start=1):
            line = raw.split("#", 1)[0].strip() if not raw.lstrip().startswith("#") else ""
            if not line:
                continue
            words = shlex.split(line)
            extra = []
            if "--" in words:
                cut = words.index("--")
                words, extra = words[:cut], words[cut + 1:]
            if len(words) < 2:
                raise Failure(f"{path}:{number}: a folder and at least one test program are needed")
            entries.append(Coverage(words[0].rstrip("/"), words[1:], extra))
    return entries


def coverage_of(path, entries, map_path):
    hits = [e for e in entries if path == e.prefix or path.startswith(e.prefix + "/")]
    if not hits:
        raise Failure(f"no line of {map_path} covers {path}; add one (folder, then its test programs)")
    return max(hits, key=lambda e: len(e.prefix))


def ctest_regex(names):
    """An exact-name alternation in CMake's regular expressions, where a bracket holds any special
    character literally."""
    def literal(name):
        return "".join(c if c.isalnum() or c == "_" else f"[{c}]" for c in name)

    return "^(" + "|".join(literal(n) for n in names) + ")$"


# -- the copy and its build ----------------------------------------------------------------------------


class Stamp:
    """Fresh modification times: every write gets a time later than the one before, so Ninja always
    sees the mutated file, and then the restored one, as newer than the object built from it."""

    def __init__(self):
        self.last = 0

    def write(self, path, data):
        with open(path, "wb") as handle:
            handle.write(data)
        now = time.time_ns()
        if now <= self.last + 1_000_000:
            time.sleep(0.002)
            now = time.time_ns()
        self.last = now
        os.utime(path, ns=(now, now))


def sync_copy(root, copy, files, stamp):
    """Makes the copy hold exactly the tree's files. Changed and new files get a fresh time so that
    Ninja rebuilds what depends on them; untouched ones keep theirs, so nothing else rebuilds."""
    os.makedirs(copy, exist_ok=True)
    wanted = set(files)
    changed = 0
    for f in files:
        with open(os.path.join(root, f), "rb") as handle:
            data = handle.read()
        target = os.path.join(copy, f)
        try:
            with open(target, "rb") as handle:
                if handle.read() == data:
                    continue
        except FileNotFoundError:
            os.makedirs(os.path.dirname(target), exist_ok=True)
        stamp.write(target, data)
        os.chmod(target, os.stat(os.path.join(root, f)).st_mode & 0o777)
        changed += 1
    for folder, dirs, names in os.walk(copy, topdown=False):
        for name in names:
            rel = os.path.relpath(os.path.join(folder, name), copy)
            if rel not in wanted:
                os.remove(os.path.join(folder, name))
                changed += 1
        if folder != copy and not os.listdir(folder):
            os.rmdir(folder)
    return changed


def run(cmd, log, timeout=None, cwd=None):
    """Runs a command in a process group of its own (so a timeout ends its children as well),
    appending its output to the log; returns (exit code or None on timeout, output)."""
    with subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          start_new_session=True) as proc:
        try:
            output, _ = proc.communicate(timeout=timeout)
            code = proc.returncode
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            output, _ = proc.communicate()
            code = None
        except BaseException:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.communicate()
            raise
    text = output.decode(errors="replace")
    with open(log, "a", encoding="utf-8") as handle:
        handle.write(f"$ {shlex.join(cmd)}\n{text}\n")
    return code, text


class Workspace:
    def __init__(self, args, root):
        self.root = root
        self.work = os.path.abspath(args.work)
        self.copy = os.path.join(self.work, "src")
        self.build = os.path.join(self.work, "build")
        self.log = os.path.join(self.work, "last-run.log")
        self.jobs = args.jobs
        self.stamp = Stamp()
        self.tests = None

    def prepare(self, files):
        os.makedirs(self.work, exist_ok=True)
        open(self.log, "w").close()
        changed = sync_copy(self.root, self.copy, files, self.stamp)
        print(f"mutate: copy {self.copy} ({changed} files brought up to date)", flush=True)
        if not os.path.exists(os.path.join(self.build, "build.ninja")):
            print(f"mutate: configuring {self.build}", flush=True)
            code, out = run(["cmake", "-S", self.copy, "-B", self.build] + CMAKE_ARGS, self.log)
            if code != 0:
                raise Failure(f"configuring the copy failed; see {self.log}")

    def build_targets(self, targets, timeout):
        code, out = run(["ninja", "-C", self.build, f"-j{self.jobs}"] + targets, self.log, timeout=timeout)
        return code, out

    def compiled_sources(self, targets):
        """The files of the copy (relative paths) that the targets compile, headers included, as
        Ninja's deps log knows them after a build."""
        code, out = run(["ninja", "-C", self.build, "-t", "inputs"] + targets, os.devnull)
        objects = [line for line in out.splitlines() if line.endswith(".o")]
        if code != 0 or not objects:
            raise Failure(f"ninja could not tell what {' '.join(targets)} compile")
        code, out = run(["ninja", "-C", self.build, "-t", "deps"] + objects, os.devnull)
        prefix = self.copy + os.sep
        return {line.strip()[len(prefix):] for line in out.splitlines()
                if line.startswith("    ") and line.strip().startswith(prefix)}

    def test_names(self, programs):
        """The CTest tests whose command runs one of the programs (known once they are built)."""
        code, out = run(["ctest", "--show-only=json-v1"], os.devnull, cwd=self.build)
        if code != 0:
            raise Failure("ctest could not list the tests of the copy")
        names = []
        seen = set()
        for test in json.loads(out[out.index("{"):])["tests"]:
            command = test.get("command") or []
            if command:
                seen.add(os.path.basename(command[0]))
                if os.path.basename(command[0]) in programs:
                    names.append(test["name"])
        missing = [p for p in programs if p not in seen]
        if missing:
            raise Failure(f"the build has no tests run by {', '.join(missing)}; "
                          f"fix scripts/mutate.map (programs are: {', '.join(sorted(seen))})")
        return names

    def run_tests(self, names, extra, timeout, stop_on_failure=True):
        cmd = ["ctest", "--output-on-failure", f"--parallel", str(self.jobs), "--timeout", str(timeout),
               "-R", ctest_regex(names)] + extra
        if stop_on_failure:
            cmd.append("--stop-on-failure")
        # A backstop only: CTest ends each test at its own timeout.
        code, out = run(cmd, self.log, timeout=timeout * max(1, len(names)) + 300, cwd=self.build)
        return code, out


def failed_tests(ctest_output):
    """(name, reason) of every failed test in CTest's closing list."""
    failed = []
    tail = ctest_output.split("The following tests FAILED:")[-1] if "FAILED:" in ctest_output else ""
    for line in tail.splitlines():
        m = re.match(r"^\s*\d+ - (\S+) \((.+)\)\s*$", line)
        if m:
            failed.append((m.group(1), m.group(2)))
    return failed


def slowest_test_seconds(ctest_output):
    times = [float(t) for t in re.findall(r"Passed\s+([0-9.]+) sec", ctest_output)]
    return max(times, default=0.0)


def first_error(build_output, copy=""):
    """The compiler's (or linker's) first error line, with the copy's path left out."""
    lines = build_output.splitlines()
    for pattern in (r":\d+:(\d+:)? error: ", r"\berror: ", r"undefined reference"):
        for line in lines:
            if re.search(pattern, line):
                return line.strip().replace(copy + os.sep, "")[:300]
    return "the build failed"


# -- one run -------------------------------------------------------------------------------------------


@dataclasses.dataclass
class Outcome:
    mutant: mutate_ops.Mutant
    verdict: str  # killed, survived, timeout, not-compiled
    detail: str
    seconds: float


VERDICTS = ("killed", "timeout", "survived", "not-compiled")


def run_mutants(ws, mutants, entries, map_path, args, outcomes):
    groups = {}
    for m in mutants:
        groups.setdefault(coverage_of(m.path, entries, map_path).prefix, None)
    by_prefix = {e.prefix: e for e in entries}
    names = {}
    compiled = {}
    test_timeout = {}
    for prefix in groups:
        cover = by_prefix[prefix]
        print(f"mutate: building {' '.join(cover.programs)} for {prefix}/", flush=True)
        code, out = ws.build_targets(cover.programs, timeout=3600)
        if code != 0:
            raise Failure(f"the unmutated copy does not build: {first_error(out, ws.copy)} (see {ws.log})")
        names[prefix] = ws.test_names(cover.programs)
        compiled[prefix] = ws.compiled_sources(cover.programs)
        if args.no_baseline:
            test_timeout[prefix] = args.timeout or 60
            continue
        started = time.time()
        code, out = ws.run_tests(names[prefix], cover.ctest_args, timeout=args.timeout or 300,
                                 stop_on_failure=False)
        if code != 0:
            failed = ", ".join(f"{n} ({r})" for n, r in failed_tests(out)) or "see the log"
            raise Failure(f"the tests of {prefix}/ fail without any mutant: {failed}; "
                          f"fix them or exclude them with '-- -E REGEX' in {map_path} (log: {ws.log})")
        test_timeout[prefix] = args.timeout or max(30, int(3 * slowest_test_seconds(out)) + 1)
        print(f"mutate: baseline of {prefix}/: {len(names[prefix])} tests pass in "
              f"{time.time() - started:.0f} s; each test's timeout {test_timeout[prefix]} s", flush=True)

    for number, m in enumerate(mutants, start=1):
        cover = coverage_of(m.path, entries, map_path)
        if m.path not in compiled[cover.prefix]:
            # No test can see a fault in a file that no test program compiles.
            outcomes.append(Outcome(m, "survived", "no test program of the map compiles this file", 0))
            print(f"mutate: [{number}/{len(mutants)}] survived     {m.ident}  (not compiled into "
                  f"{' '.join(cover.programs)})", flush=True)
            continue
        target = os.path.join(ws.copy, m.path)
        with open(target, "rb") as handle:
            original = handle.read()
        text = original.decode("utf-8", errors="surrogateescape")
        started = time.time()
        try:
            ws.stamp.write(target, m.apply(text).encode("utf-8", errors="surrogateescape"))
            code, out = ws.build_targets(cover.programs, timeout=args.build_timeout)
            if code != 0:
                verdict = "not-compiled"
                detail = "build timed out" if code is None else first_error(out, ws.copy)
            else:
                code, out = ws.run_tests(names[cover.prefix], cover.ctest_args, test_timeout[cover.prefix])
                failed = failed_tests(out)
                if code == 0:
                    verdict, detail = "survived", ""
                elif code is None:
                    verdict, detail = "timeout", "the test run did not end"
                elif failed and all(reason == "Timeout" for _, reason in failed):
                    verdict, detail = "timeout", failed[0][0]
                else:
                    verdict = "killed"
                    detail = failed[0][0] if failed else "ctest failed"
        finally:
            ws.stamp.write(target, original)
        outcome = Outcome(m, verdict, detail, time.time() - started)
        outcomes.append(outcome)
        print(f"mutate: [{number}/{len(mutants)}] {verdict:12} {m.ident}  {m.describe()}"
              f"{'  (' + detail + ')' if detail and verdict != 'not-compiled' else ''}"
              f"  {outcome.seconds:.0f} s", flush=True)


# -- the report ----------------------------------------------------------------------------------------


def tally(outcomes):
    counts = {v: 0 for v in VERDICTS}
    for o in outcomes:
        counts[o.verdict] += 1
    caught = counts["killed"] + counts["timeout"]
    judged = caught + counts["survived"]
    score = f"{100 * caught / judged:.0f}% ({caught}/{judged})" if judged else "-"
    return counts, score


def summary_table(outcomes, folders):
    rows = [("folder", "mutants", "killed", "timeout", "survived", "not-compiled", "score")]
    for folder in folders + ["all"]:
        mine = [o for o in outcomes if folder == "all" or folder_of(o.mutant.path, folders) == folder]
        if not mine or (folder == "all" and len(folders) == 1):
            continue
        counts, score = tally(mine)
        rows.append((folder, str(len(mine))) + tuple(str(counts[v]) for v in VERDICTS) + (score,))
    widths = [max(len(r[i]) for r in rows) for i in range(len(rows[0]))]
    return "\n".join("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip() for r in rows)


def unified_diff(root, m):
    with open(os.path.join(root, m.path), encoding="utf-8", errors="surrogateescape") as handle:
        text = handle.read()
    return "".join(difflib.unified_diff(text.splitlines(True), m.apply(text).splitlines(True),
                                        f"a/{m.path}", f"b/{m.path}", n=2))


def write_report(path, root, outcomes, folders, args, elapsed, commit):
    survivors = [o for o in outcomes if o.verdict == "survived"]
    lines = [
        "# Mutation testing report", "",
        f"- command: scripts/mutate.sh {shlex.join(sys.argv[1:])}",
        f"- tree: {commit}",
        (f"- named mutants, folders: {', '.join(folders)}" if args.only
         else f"- seed {args.seed}, N {args.n}, folders: {', '.join(folders)}"),
        f"- {len(outcomes)} mutants in {elapsed / 60:.1f} min "
        f"(finished {datetime.datetime.now().strftime('%Y-%m-%d %H:%M')}, load average then "
        f"{os.getloadavg()[0]:.1f} on {os.cpu_count()} cores)",
        "- score: (killed + timed out) / (killed + timed out + survived); mutants that do not compile "
        "are left out", "",
        "```", summary_table(outcomes, folders), "```", "",
        "## Every mutant", "",
        "| mutant | change | verdict | detail | s |", "|---|---|---|---|---|",
    ]
    for o in outcomes:
        cells = [o.mutant.ident, o.mutant.describe(), o.verdict, o.detail, f"{o.seconds:.0f}"]
        lines.append("| " + " | ".join(c.replace("|", "\\|").replace("`", "'") for c in cells) + " |")
    lines += ["", f"## Survivors ({len(survivors)})", ""]
    for o in survivors:
        diff = unified_diff(root, o.mutant).rstrip("\n")
        lines += [f"### {o.mutant.ident}", "", "```diff", diff, "```", ""]
    with open(path, "w", encoding="utf-8") as handle:
        handle.write("\n".join(lines) + "\n")


# -- the command ---------------------------------------------------------------------------------------


def parse_args(argv):
    p = argparse.ArgumentParser(prog="scripts/mutate.sh", add_help=False,
                                usage="scripts/mutate.sh [options] FOLDER... (scripts/mutate.sh --help)")
    p.add_argument("folders", nargs="*")
    p.add_argument("-n", type=int, default=20)
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--list", action="store_true")
    p.add_argument("--only", action="append", default=[])
    p.add_argument("--work", default=os.environ.get("MUTATE_WORK", "/tmp/kelmora-mutate"))
    p.add_argument("--report")
    p.add_argument("--map")
    p.add_argument("--timeout", type=int, default=0)
    p.add_argument("--build-timeout", type=int, default=1800)
    p.add_argument("-j", "--jobs", type=int, default=2)
    p.add_argument("--no-baseline", action="store_true")
    args = p.parse_args(argv)
    if not args.folders and not args.only:
        p.error("name at least one folder, or a mutant with --only")
    if not 1 <= args.jobs <= 2:
        p.error("the machine has 2 shared cores: -j 1 or 2")
    return args


def main(argv):
    args = parse_args(argv)
    root = subprocess.run(["git", "-C", os.path.dirname(os.path.abspath(__file__)), "rev-parse",
                           "--show-toplevel"], check=True, capture_output=True, text=True).stdout.strip()
    map_path = args.map or os.path.join(root, "scripts", "mutate.map")
    folders = [os.path.normpath(f).strip("/") for f in args.folders]
    folders += sorted({n.split(":")[0].rsplit("/", 1)[0] for n in args.only} - set(folders))
    for f in folders:
        if not os.path.isdir(os.path.join(root, f)):
            raise Failure(f"no folder {f} in {root}")
        if NEVER_MUTATED.intersection(f.split("/")):
            raise Failure(f"{f}: tests, fuzz and bench folders are never mutated")

    files = tree_files(root)
    candidates = all_mutants(root, mutable_files(files, folders))
    chosen = select_named(candidates, args.only) if args.only else sample(candidates, args.n, args.seed)
    print(f"mutate: {len(candidates)} possible mutants in {', '.join(folders)}; "
          f"{'named' if args.only else f'sampled with seed {args.seed}'}: {len(chosen)}", flush=True)
    if args.list:
        for m in chosen:
            print(f"{m.ident}\t{m.describe()}")
        return 0
    entries = read_map(map_path)
    for m in chosen:
        coverage_of(m.path, entries, map_path)

    os.makedirs(os.path.abspath(args.work), exist_ok=True)
    lock = open(os.path.join(os.path.abspath(args.work), "lock"), "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        raise Failure(f"another run uses {args.work}; wait for it or give --work another folder")

    commit = subprocess.run(["git", "-C", root, "describe", "--always", "--dirty"], capture_output=True,
                            text=True).stdout.strip()
    ws = Workspace(args, root)
    started = time.time()
    ws.prepare(files)
    outcomes = []
    interrupted = False
    try:
        run_mutants(ws, chosen, entries, map_path, args, outcomes)
    except KeyboardInterrupt:
        interrupted = True
    elapsed = time.time() - started
    stamp = datetime.datetime.now().strftime("%Y%m%d-%H%M%S")
    draw = "named" if args.only else f"seed{args.seed}-n{len(chosen)}"
    report = args.report or os.path.join(ws.work, f"report-{draw}-{stamp}.md")
    write_report(report, root, outcomes, folders, args, elapsed, commit)
    print()
    print(summary_table(outcomes, folders))
    for o in outcomes:
        if o.verdict == "survived":
            print(f"survived: {o.mutant.ident}  {o.mutant.describe()}")
    print(f"mutate: {len(outcomes)} mutants in {elapsed / 60:.1f} min; report {report}")
    return 130 if interrupted else 0


if __name__ == "__main__":
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)  # '--list | head' ends quietly
    try:
        sys.exit(main(sys.argv[1:]))
    except Failure as failure:
        print(f"mutate: {failure}", file=sys.stderr)
        sys.exit(2)
