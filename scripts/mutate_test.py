"""Checks of the mutation harness itself: which faults it plants where, and the parts of a run that
must repeat exactly. Run by scripts/mutate.sh --self-test."""

import os
import tempfile
import unittest

import mutate
import mutate_ops


def mutants_of(code, path="lib/x.cpp"):
    """(operator, original text, replacement) of every mutant of the code."""
    return [(m.operator, m.original, m.replacement) for m in mutate_ops.find_mutants(path, code)]


def body(statements):
    return "void f(int a, int b) {\n" + statements + "\n}\n"


class OperatorTest(unittest.TestCase):
    # (what, code, operator, expected (original, replacement) pairs of that operator)
    CASES = [
        ("a spaced comparison is flipped at its boundary",
         body("  if (a < b) g();"), "boundary", [("<", "<=")]),
        ("both boundaries of a range",
         body("  ok = a >= 1 && a <= 9;"), "boundary", [(">=", ">"), ("<=", "<")]),
        ("template brackets, arrows and shifts are no comparisons",
         body("  std::vector<int> v = h<int>(a->b >> 2, a << 1);"), "boundary", []),
        ("a template head is no comparison", "template <typename T>\nT g(T t);\n", "boundary", []),
        ("equality both ways", body("  ok = a == b || a != 0;"), "equality", [("==", "!="), ("!=", "==")]),
        ("comments and literals hide operators",
         body('  g("a < b", \'<\'); // a == b\n  /* a > b */ h(R"(x >= y)");'), "equality", []),
        ("an if condition is negated whole", body("  if (a < b && b) g();"), "negate",
         [("a < b && b", "!(a < b && b)")]),
        ("only the condition after an init-statement is negated",
         body("  if (int c = a; c > 1) g();"), "negate", [("c > 1", "!(c > 1)")]),
        ("a declaring condition is not negated", body("  if (auto p = h()) g();"), "negate", []),
        ("a while condition spanning lines",
         body("  while (a <\n         b)\n    ++a;"), "negate", [("a <\n         b", "!(a <\n         b)")]),
        ("a call and an assignment alone on their lines are deleted with the lines",
         body("  g(a);\n  a = 2;"), "delete", [("g(a);", ""), ("a = 2;", "")]),
        ("declarations, returns and control statements stay",
         body("  int c = a;\n  std::string s(\"x\");\n  Foo* p = nullptr;\n  return;\n  break;"),
         "delete", []),
        ("a brace-less body becomes an empty block",
         body("  if (a) g(a);\n  else b = 1;\n  for (;;)\n    ++a;"), "delete",
         [("g(a);", "{}"), ("b = 1;", "{}"), ("++a;", "{}")]),
        ("member declarations of a class are no statements",
         "class C {\n public:\n  C(int a);\n  void g();\n  int n_ = 0;\n};\n", "delete", []),
        ("a member function defined in its class is code",
         "struct S {\n  void g() const { h(1); }\n};\n", "delete", [("h(1);", "")]),
        ("decimal, hex and separated integers change by one, floats do not",
         body("  a = 9 + 0x1F + 1'000 + 2.5 + 7u;"), "int+1",
         [("9", "10"), ("0x1F", "0x20"), ("1'000", "1001"), ("7u", "8u")]),
        ("zero goes down to minus one; hex keeps its width", body("  a = 0 + 0x10;"), "int-1",
         [("0", "-1"), ("0x10", "0x0f")]),
        ("a pure virtual '= 0' stays", "struct S {\n  virtual void g() = 0;\n};\n", "int-1", []),
        ("neighbouring call arguments swap", body("  g(a, b, c);"), "swap-args",
         [("a, b", "b, a"), ("b, c", "c, b")]),
        ("parameters of a declaration and keywords' parentheses do not swap",
         "void g(int a, int b);\n" + body("  for (a = 0, b = 1; a < b; ++a) {}"), "swap-args", []),
        ("template arguments stay inside their entry",
         body("  g(std::pair<int, int>(1, 2), a);"), "swap-args",
         [("std::pair<int, int>(1, 2), a", "a, std::pair<int, int>(1, 2)"), ("1, 2", "2, 1")]),
        ("neighbouring entries of a braced list swap; a literal never swaps with another kind",
         'const Pair kTable[] = {{"a", 1}, {"b", 2}};\n', "swap-list",
         [('{"a", 1}, {"b", 2}', '{"b", 2}, {"a", 1}')]),
        ("enumerators and designated initializers do not swap",
         "enum class E { A, B };\nconst S s = {.a = 1, .b = 2};\n", "swap-list", []),
        ("returned values by kind",
         "bool t() { return true; }\nint n() { return 5; }\nconst char* s() { return \"x\"; }\n"
         "int e(int a) { return a + 1; }\nvoid v() { return; }\nint* p() { return nullptr; }\n", "return",
         [("true", "false"), ("5", "0"), ('"x"', '""'), ("a + 1", "{}")]),
    ]

    def test_operators(self):
        for what, code, operator, expected in self.CASES:
            with self.subTest(what):
                found = [(o, r) for op, o, r in mutants_of(code) if op == operator]
                self.assertEqual(found, expected)

    def test_excluded_lines(self):
        code = ('#include <a<b>>\n#pragma once\nstatic_assert(sizeof(int) == 4);\n'
                "const int kLimit = 5;  // mutate: off\n"
                "#define WIDTH 3\n")
        self.assertEqual(mutants_of(code), [("int+1", "3", "4"), ("int-1", "3", "2")])

    def test_long_lists_are_data(self):
        picture = "const unsigned char kPicture[] = {" + ", ".join(["0x1"] * 256) + "};\n"
        table = "const int kTable[] = {" + ", ".join(["1"] * 255) + "};\n"
        self.assertEqual(mutants_of(picture), [])
        self.assertEqual(len(mutants_of(table)), 255 * 2)

    def test_deleted_line_leaves_the_others(self):
        text = body("  g(a);\n  h(b);")
        mutant = next(m for m in mutate_ops.find_mutants("x.cpp", text) if m.operator == "delete")
        self.assertEqual(mutant.apply(text), body("  h(b);"))

    def test_names_number_repeated_operators_of_a_line(self):
        text = body("  ok = a < b && b < 3;")
        names = [m.ident for m in mutate_ops.find_mutants("lib/x.cpp", text) if m.operator == "boundary"]
        self.assertEqual(names, ["lib/x.cpp:2:boundary#1", "lib/x.cpp:2:boundary#2"])


class RunPartsTest(unittest.TestCase):
    def test_the_same_seed_draws_the_same_mutants(self):
        text = body("\n".join(f"  g(a, {n});" for n in range(40)))
        mutants = mutate_ops.find_mutants("lib/x.cpp", text)
        first = [m.ident for m in mutate.sample(mutants, 10, seed=7)]
        self.assertEqual(first, [m.ident for m in mutate.sample(mutants, 10, seed=7)])
        self.assertNotEqual(first, [m.ident for m in mutate.sample(mutants, 10, seed=8)])
        self.assertEqual(len(set(first)), 10)

    def test_named_mutants(self):
        mutants = mutate_ops.find_mutants("lib/x.cpp", body("  ok = a < b && b < 3;"))
        self.assertEqual([m.ident for m in mutate.select_named(mutants, ["lib/x.cpp:2:boundary"])],
                         ["lib/x.cpp:2:boundary#1", "lib/x.cpp:2:boundary#2"])
        self.assertEqual([m.replacement for m in mutate.select_named(mutants, ["lib/x.cpp:2:boundary#2"])],
                         ["<="])
        with self.assertRaisesRegex(mutate.Failure, "that line has: .*boundary#1"):
            mutate.select_named(mutants, ["lib/x.cpp:2:negate"])

    def test_only_sources_outside_tests_fuzz_and_bench(self):
        files = ["db/a.cpp", "db/a.h", "db/CMakeLists.txt", "db/tests/b.cpp", "db/src/c.cpp",
                 "dbx/d.cpp", "fuzz/e.cpp", "services/f.cpp", "db/bench/g.h"]
        self.assertEqual(mutate.mutable_files(files, ["db"]), ["db/a.cpp", "db/a.h", "db/src/c.cpp"])

    def test_map_lines_and_the_longest_folder(self):
        with tempfile.NamedTemporaryFile("w", suffix=".map", delete=False) as handle:
            handle.write("# comment\ndb  test_db -- -E '^Slow[.]'\ndb/src/dataset  test_dataset\n\n")
        try:
            entries = mutate.read_map(handle.name)
        finally:
            os.unlink(handle.name)
        self.assertEqual(mutate.coverage_of("db/src/dataset/x.cpp", entries, "m").programs, ["test_dataset"])
        self.assertEqual(mutate.coverage_of("db/src/datasetx.cpp", entries, "m").ctest_args,
                         ["-E", "^Slow[.]"])
        with self.assertRaisesRegex(mutate.Failure, "covers app/y.cpp"):
            mutate.coverage_of("app/y.cpp", entries, "m")

    def test_ctest_names_are_matched_exactly(self):
        self.assertEqual(mutate.ctest_regex(["A.b", "P/C.d/0"]), "^(A[.]b|P[/]C[.]d[/]0)$")

    def test_ctest_failures_tell_timeouts_apart(self):
        output = ("The following tests FAILED:\n\t  3 - Suite.Hangs (Timeout)\n"
                  "\t 12 - Suite.Fails (Failed)\nErrors while running CTest\n")
        self.assertEqual(mutate.failed_tests(output), [("Suite.Hangs", "Timeout"), ("Suite.Fails", "Failed")])

    def test_the_compilers_error_line_is_kept_not_its_command(self):
        output = ("FAILED: lib/x.o\n/usr/bin/c++ -Wall -Werror -c /w/src/lib/x.cpp\n"
                  "/w/src/lib/x.h:28:30: error: unused parameter 'option' [-Werror=unused-parameter]\n")
        self.assertEqual(mutate.first_error(output, "/w/src"),
                         "lib/x.h:28:30: error: unused parameter 'option' [-Werror=unused-parameter]")

    def test_every_write_is_newer_than_the_one_before(self):
        with tempfile.TemporaryDirectory() as folder:
            stamp, path, times = mutate.Stamp(), os.path.join(folder, "f.cpp"), []
            for content in (b"mutant", b"original", b"mutant"):
                stamp.write(path, content)
                times.append(os.stat(path).st_mtime_ns)
            self.assertTrue(times[0] < times[1] < times[2])

    def test_score_counts_timeouts_as_killed_and_leaves_out_what_did_not_compile(self):
        outcomes = [mutate.Outcome(None, v, "", 0) for v in ("killed", "timeout", "survived", "not-compiled")]
        self.assertEqual(mutate.tally(outcomes)[1], "67% (2/3)")


if __name__ == "__main__":
    unittest.main()
