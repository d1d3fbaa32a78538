"""Finds the places in a C++ source where one small fault can be planted.

Works on text, not on a parse tree: the sources follow the project's clang-format style, so a binary
comparison always has a blank on both sides and a template's angle brackets never have one before
them, and the braces of a function body follow a ')' or a keyword such as 'const' or 'else'. That is
enough to tell code from declarations without a compiler, and a mutant that the guess gets wrong does
not compile and is reported as such.
"""

import dataclasses
import re

OFF_MARKER = "// mutate: off"
# Braced lists with this many entries or more are data (pictures, byte tables), not logic.
DATA_LIST_ENTRIES = 256

KEYWORDS = frozenset(
    """alignas alignof and asm auto bool break case catch char char8_t char16_t char32_t class co_await
    co_return co_yield concept const consteval constexpr constinit const_cast continue decltype default
    delete do double dynamic_cast else enum explicit export extern false float for friend goto if inline
    int long mutable namespace new noexcept not nullptr operator or private protected public register
    reinterpret_cast requires return short signed sizeof static static_assert static_cast struct switch
    template this thread_local throw true try typedef typeid typename union unsigned using virtual void
    volatile wchar_t while""".split())

# Keywords after which a '{' opens a block of statements.
CODE_BLOCK_KEYWORDS = frozenset(
    ["else", "do", "try", "const", "noexcept", "override", "final", "mutable", "constexpr"])
DECL_HEAD = re.compile(r"\b(class|struct|union|enum|namespace|extern)\b")
TRAILING_RETURN = re.compile(r"->\s*[\w:<>,\s*&]+$")
LABEL_BEFORE_COLON = re.compile(r"^\s*(case\b.*|default|public|private|protected|[A-Za-z_]\w*)\s*$")
INTEGER = re.compile(r"^(0[xX][0-9a-fA-F']+|0[bB][01']+|[0-9][0-9']*)([uUlLzZ]*)$")
CALL_KEYWORDS = KEYWORDS  # a '(' after any keyword is not a call

OPERATORS = sorted(
    """<=> <<= >>= ->* ... :: -> ++ -- << >> <= >= == != && || += -= *= /= %= &= |= ^= .*""".split(),
    key=len,
    reverse=True)
ASSIGNMENTS = frozenset("= += -= *= /= %= &= |= ^= <<= >>=".split())


@dataclasses.dataclass(frozen=True)
class Mutant:
    path: str  # relative to the tree's root, with '/'
    start: int  # offset of the replaced text in the file
    end: int
    replacement: str
    operator: str
    line: int  # 1-based line of start
    original: str
    ident: str = ""  # path:line:operator, with '#k' when the line has more than one of that operator

    def apply(self, text):
        return text[:self.start] + self.replacement + text[self.end:]

    def describe(self):
        def short(s):
            s = " ".join(s.split())
            return s if len(s) <= 60 else s[:57] + "..."

        if self.replacement == "":
            return f"delete '{short(self.original)}'"
        return f"'{short(self.original)}' -> '{short(self.replacement)}'"


def mask(text):
    """The text with comments and the insides of string and character literals blanked (same length,
    newlines kept), so that no operator inside them is ever seen."""
    out = list(text)
    i, n = 0, len(text)

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    def blank_literal(i):
        """Blanks the string or character literal whose quote is at i, up to its closing quote or the end
        of the line, and gives the index after it."""
        j = i + 1
        while j < n and text[j] != text[i] and text[j] != "\n":
            j += 2 if text[j] == "\\" else 1
        blank(i + 1, min(j, n))
        return j + 1

    while i < n:
        c = text[i]
        if c == "/" and text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif c == "/" and text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif c == '"':
            raw = re.search(r'(?:\b|^)(?:u8|u|U|L)?R$', text[max(0, i - 3):i])
            if raw:
                m = re.match(r'"([^ ()\\\t\n]{0,16})\(', text[i:])
                if m:
                    close = ")" + m.group(1) + '"'
                    j = text.find(close, i + m.end())
                    j = n if j < 0 else j + len(close)
                    blank(i + 1, j - 1)
                    i = j
                    continue
            i = blank_literal(i)
        elif c == "'":
            # A quote inside a number is a digit separator (1'000), not a character literal.
            k = i
            while k > 0 and (text[k - 1].isalnum() or text[k - 1] in "_'."):
                k -= 1
            if k < i and text[k].isdigit():
                i += 1
                continue
            i = blank_literal(i)
        else:
            i += 1
    return "".join(out)


@dataclasses.dataclass
class Token:
    kind: str  # 'id', 'num', 'str', 'op'
    text: str
    start: int
    end: int


TOKEN = re.compile(r"""
    (?P<id>[A-Za-z_]\w*)
  | (?P<num>\.?[0-9](?:[eEpP][+-]|[0-9A-Za-z_.'])*)
  | (?P<str>"[^"\n]*"\w*|'[^'\n]*'\w*)
  | (?P<op>""" + "|".join(re.escape(o) for o in OPERATORS) + r"""|[^\sA-Za-z_0-9])
""", re.X)


def tokenize(masked):
    tokens = []
    for m in TOKEN.finditer(masked):
        kind = m.lastgroup
        tokens.append(Token(kind, m.group(), m.start(), m.end()))
    return tokens


class Source:
    """One file, masked and tokenized, with what kind of block every token stands in."""

    def __init__(self, path, text):
        self.path = path
        self.text = text
        self.masked = mask(text)
        self.tokens = tokenize(self.masked)
        self.line_starts = [0] + [m.end() for m in re.finditer("\n", text)]
        self._excluded_lines = self._find_excluded_lines()
        self._classify()

    def line_of(self, offset):
        lo, hi = 0, len(self.line_starts) - 1
        while lo < hi:
            mid = (lo + hi + 1) // 2
            if self.line_starts[mid] <= offset:
                lo = mid
            else:
                hi = mid - 1
        return lo + 1

    def _find_excluded_lines(self):
        excluded = set()
        lines = self.text.split("\n")
        masked_lines = self.masked.split("\n")
        in_directive = False
        for number, (line, masked_line) in enumerate(zip(lines, masked_lines), start=1):
            stripped = masked_line.strip()
            if in_directive or (stripped.startswith("#") and not re.match(r"#\s*define\b", stripped)):
                excluded.add(number)
                in_directive = masked_line.rstrip().endswith("\\")
            if OFF_MARKER in line:
                excluded.add(number)
        return excluded

    def _classify(self):
        """Gives every token the kind of the innermost bracket around it: 'code' (a block of
        statements), 'decl' (file, namespace, class or enum body), 'init' (a braced list), 'paren'
        or 'bracket'; and pairs every opening bracket with its closing one."""
        toks = self.tokens
        self.scope = [""] * len(toks)
        self.match = {}
        self.brace_kind = {}
        stack = []
        static_assert_from = None
        self.static_asserts = []
        for i, tok in enumerate(toks):
            self.scope[i] = stack[-1][1] if stack else "decl"
            t = tok.text
            if t in ("(", "[", "{"):
                kind = {"(": "paren", "[": "bracket"}.get(t) or self._brace_kind(i)
                if t == "{":
                    self.brace_kind[i] = kind
                stack.append((i, kind))
                if t == "(" and i > 0 and toks[i - 1].text == "static_assert":
                    static_assert_from = (i, len(stack))
            elif t in (")", "]", "}") and stack:
                opened, _ = stack.pop()
                self.match[opened] = i
                self.match[i] = opened
                if static_assert_from and static_assert_from[1] == len(stack) + 1:
                    self.static_asserts.append((toks[static_assert_from[0]].start, tok.end))
                    static_assert_from = None

    def _prev_sig(self, i):
        return self.tokens[i - 1] if i > 0 else None

    def _brace_kind(self, i):
        toks = self.tokens
        prev = self._prev_sig(i)
        if prev is None:
            return "decl"
        if prev.text in (")", "]", ";", ":", "}"):
            # a body after parameters or a condition, a lambda, a bare block, a case's block, or the
            # body after a constructor's braced member initializers
            return "code"
        # The head: the tokens back to the previous ';', '{' or '}' outside parentheses.
        depth, k = 0, i - 1
        while k >= 0:
            t = toks[k].text
            if t in (")", "]"):
                depth += 1
            elif t in ("(", "["):
                depth -= 1
            elif depth == 0 and t in (";", "{", "}"):
                break
            k -= 1
        head = self.masked[toks[k + 1].start if k + 1 < i else prev.start:prev.end]
        if DECL_HEAD.search(head) and not re.search(r"[=(]", head):
            return "decl"
        if prev.text in CODE_BLOCK_KEYWORDS:
            return "code"
        if TRAILING_RETURN.search(head) and re.search(r"[)\]]\s*(mutable\s*)?(noexcept\s*)?->", head):
            return "code"
        return "init"

    def excluded(self, start, end):
        first, last = self.line_of(start), self.line_of(max(start, end - 1))
        if any(n in self._excluded_lines for n in range(first, last + 1)):
            return True
        return any(a < end and start < b for a, b in self.static_asserts)

    # -- the operators --------------------------------------------------------------------------------

    def mutants(self):
        found = []
        found += self._comparisons()
        found += self._negations()
        found += self._deletions()
        found += self._constants()
        found += self._call_swaps()
        found += self._list_swaps()
        found += self._returns()
        found = [m for m in found if not self.excluded(m.start, m.end)]
        data = [(self.tokens[i].start, self.tokens[self.match[i]].end) for i, kind in self.brace_kind.items()
                if kind == "init" and i in self.match and self._long_list(i)]
        found = [m for m in found if not any(a <= m.start and m.end <= b for a, b in data)]
        found.sort(key=lambda m: (m.start, m.operator, m.end, m.replacement))
        return name_mutants(found)

    def _mutant(self, start, end, replacement, operator):
        return Mutant(self.path, start, end, replacement, operator, self.line_of(start),
                      self.text[start:end])

    def _spaced(self, tok):
        before = self.masked[tok.start - 1] if tok.start > 0 else "\n"
        after = self.masked[tok.end] if tok.end < len(self.masked) else "\n"
        return before.isspace() and after.isspace()

    def _comparisons(self):
        flips = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
        out = []
        for i, tok in enumerate(self.tokens):
            if tok.kind != "op" or tok.text not in flips or not self._spaced(tok):
                continue
            if i > 0 and self.tokens[i - 1].text in ("operator", "template"):
                continue
            op = "equality" if tok.text in ("==", "!=") else "boundary"
            out.append(self._mutant(tok.start, tok.end, flips[tok.text], op))
        return out

    def _negations(self):
        out = []
        toks = self.tokens
        for i, tok in enumerate(toks):
            if tok.text not in ("if", "while") or i + 1 >= len(toks) or toks[i + 1].text != "(":
                continue
            if i > 0 and toks[i - 1].text == "constexpr":
                continue
            open_i = i + 1
            close_i = self.match.get(open_i)
            if close_i is None:
                continue
            # With an init-statement only the condition after the last ';' is negated.
            first = open_i + 1
            for k in range(open_i + 1, close_i):
                if toks[k].text == ";" and self._depth_between(open_i, k) == 0:
                    first = k + 1
            if first >= close_i:
                continue
            if any(toks[k].text == "=" and self._depth_between(open_i, k) == 0
                   for k in range(first, close_i)):
                continue  # a declaration in the condition
            start, end = toks[first].start, toks[close_i - 1].end
            cond = self.text[start:end]
            out.append(self._mutant(start, end, "!(" + cond + ")", "negate"))
        return out

    def _depth_between(self, open_i, k):
        """Bracket depth of token k relative to the bracket opened at open_i."""
        depth = 0
        for j in range(open_i + 1, k):
            t = self.tokens[j].text
            if t in ("(", "[", "{"):
                depth += 1
            elif t in (")", "]", "}"):
                depth -= 1
        return depth

    def _statement_end(self, i):
        """Index of the ';' that ends the statement starting at token i, or None."""
        depth = 0
        for k in range(i, len(self.tokens)):
            t = self.tokens[k].text
            if t in ("(", "[", "{"):
                depth += 1
            elif t in (")", "]", "}"):
                depth -= 1
                if depth < 0:
                    return None
            elif t == ";" and depth == 0:
                return k
        return None

    def _is_expression_statement(self, i):
        toks = self.tokens
        t = toks[i]
        if t.text in ("++", "--", "*", "::"):
            return True
        if t.kind != "id" or (t.text in KEYWORDS and t.text != "this"):
            return False
        k = i
        while k + 2 < len(toks) and toks[k + 1].text in ("::",) and toks[k + 2].kind == "id":
            k += 2
        nxt = toks[k + 1] if k + 1 < len(toks) else None
        if nxt is None:
            return False
        if nxt.text in ("(", ".", "->", "[", "++", "--") or nxt.text in ASSIGNMENTS:
            return True
        return nxt.text in ("<<", ">>") and self._spaced(nxt)

    def _deletions(self):
        out = []
        toks = self.tokens
        for i, tok in enumerate(toks):
            if self.scope[i] != "code":
                continue
            prev = toks[i - 1] if i > 0 else None
            line_start = self.masked.rfind("\n", 0, tok.start) + 1
            body_of = self._controlled_statement(i)
            if body_of is None:
                if prev is None:
                    continue
                if prev.text == ":":
                    before = self.masked[self.masked.rfind("\n", 0, prev.start) + 1:prev.start]
                    if not LABEL_BEFORE_COLON.match(before):
                        continue
                elif prev.text not in (";", "{", "}"):
                    continue
            if not self._is_expression_statement(i):
                continue
            end_i = self._statement_end(i)
            if end_i is None:
                continue
            start, end = tok.start, toks[end_i].end
            if body_of is not None:
                out.append(self._mutant(start, end, "{}", "delete"))
                continue
            # A statement alone on its lines goes with its lines, which keeps the diff plain.
            line_end = self.text.find("\n", end)
            line_end = len(self.text) if line_end < 0 else line_end
            if self.masked[line_start:start].strip() == "" and self.masked[end:line_end].strip() == "":
                m = self._mutant(start, end, "", "delete")
                out.append(dataclasses.replace(m, start=line_start, end=min(line_end + 1, len(self.text)),
                                               original=self.text[start:end]))
            else:
                out.append(self._mutant(start, end, "", "delete"))
        return out

    def _controlled_statement(self, i):
        """For a statement that is the brace-less body of if/else/while/for, the index of its
        controlling keyword; otherwise None."""
        toks = self.tokens
        if i == 0:
            return None
        prev = toks[i - 1]
        if prev.text == "else":
            return i - 1
        if prev.text == ")":
            opened = self.match.get(i - 1)
            if opened is not None and opened > 0 and toks[opened - 1].text in ("if", "while", "for"):
                return opened - 1
        return None

    def _constants(self):
        out = []
        toks = self.tokens
        for i, tok in enumerate(toks):
            if tok.kind != "num":
                continue
            m = INTEGER.match(tok.text)
            if not m:
                continue
            # '= 0;' of a pure virtual function
            if (i >= 2 and toks[i - 1].text == "=" and toks[i - 2].text in (")", "const", "override")
                    and self.scope[i] == "decl"):
                continue
            digits, suffix = m.group(1).replace("'", ""), m.group(2)
            if digits[:2] in ("0x", "0X"):
                value = int(digits, 16)
                fmt = lambda v, d=digits: d[:2] + format(v, "X" if any(c.isupper() for c in d[2:]) else "x"
                                                           ).zfill(len(d) - 2)
            elif digits[:2] in ("0b", "0B"):
                value = int(digits[2:], 2)
                fmt = lambda v, d=digits: d[:2] + format(v, "b").zfill(len(d) - 2)
            elif len(digits) > 1 and digits[0] == "0":
                value = int(digits, 8)
                fmt = lambda v: "0" + format(v, "o")
            else:
                value = int(digits)
                fmt = str
            out.append(self._mutant(tok.start, tok.end, fmt(value + 1) + suffix, "int+1"))
            lower = fmt(value - 1) + suffix if value > 0 else "-1" + suffix
            out.append(self._mutant(tok.start, tok.end, lower, "int-1"))
        return out

    def _long_list(self, open_i):
        """A list of more entries than anyone reads as logic: a picture or a byte table."""
        commas, depth = 0, 0
        for k in range(open_i + 1, self.match[open_i]):
            t = self.tokens[k].text
            if t in ("(", "[", "{"):
                depth += 1
            elif t in (")", "]", "}"):
                depth -= 1
            elif t == "," and depth == 0:
                commas += 1
        return commas + 1 >= DATA_LIST_ENTRIES

    def _entries(self, open_i):
        """Start and end token indices of the comma-separated entries inside a bracket pair."""
        close_i = self.match.get(open_i)
        if close_i is None or close_i == open_i + 1:
            return []
        entries, first, depth, angle = [], open_i + 1, 0, 0
        for k in range(open_i + 1, close_i):
            tok = self.tokens[k]
            t = tok.text
            if t in ("(", "[", "{"):
                depth += 1
            elif t in (")", "]", "}"):
                depth -= 1
            elif t == "<" and not self.masked[tok.start - 1].isspace() and self.tokens[k - 1].kind == "id":
                angle += 1
            elif t in (">", ">>") and angle > 0:
                angle = max(0, angle - len(t))
            elif t == "," and depth == 0 and angle == 0:
                entries.append((first, k - 1))
                first = k + 1
        if first < close_i:
            entries.append((first, close_i - 1))
        return entries

    def _swaps(self, open_i, operator):
        out = []
        entries = self._entries(open_i)
        for (a0, a1), (b0, b1) in zip(entries, entries[1:]):
            if a1 < a0 or b1 < b0:
                continue
            a_start, a_end = self.tokens[a0].start, self.tokens[a1].end
            b_start, b_end = self.tokens[b0].start, self.tokens[b1].end
            a, b = self.text[a_start:a_end], self.text[b_start:b_end]
            if a == b or a.startswith(".") or b.startswith("."):
                continue
            if literal_kind(a) != literal_kind(b) and (literal_kind(a) or literal_kind(b)):
                continue  # a literal swapped with something of another kind seldom compiles
            between = self.text[a_end:b_start]
            m = self._mutant(a_start, b_end, b + between + a, operator)
            out.append(m)
        return out

    def _call_swaps(self):
        out = []
        toks = self.tokens
        for i, tok in enumerate(toks):
            if tok.text != "(" or i == 0 or self.scope[i] == "decl":
                continue
            prev = toks[i - 1]
            template_call = prev.text == ">" and not self.masked[prev.start - 1].isspace()
            if not template_call and (prev.kind != "id" or prev.text in CALL_KEYWORDS):
                continue
            out += self._swaps(i, "swap-args")
        return out

    def _list_swaps(self):
        out = []
        for i, kind in self.brace_kind.items():
            if kind == "init":
                out += self._swaps(i, "swap-list")
        return out

    def _returns(self):
        out = []
        toks = self.tokens
        for i, tok in enumerate(toks):
            if tok.text != "return" or self.scope[i] != "code":
                continue
            end_i = self._statement_end(i + 1)
            if end_i is None or end_i == i + 1:
                continue
            start, end = toks[i + 1].start, toks[end_i - 1].end
            expr = self.text[start:end]
            kind = toks[i + 1].kind if end_i == i + 2 else ""
            if expr in ("{}", "nullptr"):
                continue
            if expr in ("true", "false"):
                replacement = "false" if expr == "true" else "true"
            elif kind == "num" and INTEGER.match(expr):
                replacement = "1" if int(INTEGER.match(expr).group(1).replace("'", ""), 0) == 0 else "0"
            elif kind == "str" and expr.startswith('"') and expr.endswith('"'):
                if expr == '""':
                    continue
                replacement = '""'
            else:
                replacement = "{}"
            out.append(self._mutant(start, end, replacement, "return"))
        return out


def literal_kind(entry):
    """'text', 'bool', 'number' or 'list' for an entry that is such a literal, '' otherwise."""
    entry = entry.strip()
    if entry.startswith('"') or re.match(r'^(u8|u|U|L)?R?"', entry):
        return "text"
    if entry in ("true", "false"):
        return "bool"
    if re.match(r"^-?([0-9]|'.*'$)", entry) and not re.search(r"\s[-+*/%&|^<>]", entry):
        return "number"
    if entry.startswith("{"):
        return "list"
    return ""


def name_mutants(mutants):
    """Gives each mutant its name path:line:operator, adding '#k' (1-based, in the order of the line)
    when the line holds more than one mutant of that operator."""
    groups = {}
    for m in mutants:
        groups.setdefault((m.path, m.line, m.operator), []).append(m)
    named = []
    for m in mutants:
        group = groups[(m.path, m.line, m.operator)]
        ident = f"{m.path}:{m.line}:{m.operator}"
        if len(group) > 1:
            ident += f"#{group.index(m) + 1}"
        named.append(dataclasses.replace(m, ident=ident))
    return named


def find_mutants(path, text):
    return Source(path, text).mutants()
