#!/usr/bin/env python3
"""Writes cases.txt: substitutions for the regular-expression engine, one per line: random
patterns (literals, sets, classes, anchors, word boundaries, look-around, groups of every kind,
greedy and lazy quantifiers, back-references, alternations of words that share prefixes) with
random replacement texts (group references, the text before and after the match, case
operations), flags and subject ranges, over short subjects where empty matches, case and
non-ASCII letters meet.

Deterministic: the same file on every run. expected.txt beside it holds what the engine gave for
each case (shared/regex/tests/regex_corpus_test.cpp compares with it and writes it afresh only
when asked to).

Line format: flags, range start, range length (-1: to the end), pattern, replacement and subject,
separated by TAB; texts escaped as testing/corpus_text.py says.
Usage: generate.py [output-file]"""
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from corpus_text import escape  # noqa: E402

NOCASE, GLOBAL, MULTILINE, SINGLELINE, RIGHTMOST = 0x1, 0x2, 0x4, 0x8, 0x10
FIRSTBACKREFS, ALLBACKREFS, NORMALIZE = 0x40, 0x80, 0x100

CHARS = ["a", "a", "b", "b", "c", "A", "B", " ", "-", "1", "\u00e9", "\u0105", "\u0104", "\\.", "_"]
CLASSES = [".", "[abc]", "[^a]", "[a-c]", "[A-Z]", "[0-9]", "\\w", "\\d", "\\s", "\\W", "[\u0105\u0104b]",
           "[[:alpha:]]", "[^\\w ]"]
ASSERTIONS = ["\\b", "\\B", "^", "$", "(?=a)", "(?!b)", "(?<=a)", "(?<!b)", "(?<=\\w)", "\\A", "\\z"]
WORDS = ["a", "ab", "abc", "b", "ba", "bab", "c", "AB", "\u0105b", "cab", "abcab"]
QUANTS = ["*", "+", "?", "{1,3}", "{2}", "{0,2}", "*?", "+?", "??", "{1,2}?"]
SUBJECT = ["a", "a", "a", "b", "b", "c", "A", "B", " ", " ", "-", ".", "1", "\n", "\u00e9", "\u0105", "\u0104", "_"]
REPLACEMENTS = ["", "x", "$&", "[$&]", "<$1>", "$`", "$'", "\\U$&\\E", "\\u$1", "\\l$&", "\\L$1x\\E!", "($2)",
                "\\Q$1\\E", "$1$1", "-\\u", "\\t"]


class Gen:
    def __init__(self, rnd):
        self.rnd = rnd
        self.groups = 0

    def atom(self, depth):
        r = self.rnd.random()
        if r < 0.35:
            return self.rnd.choice(CHARS)
        if r < 0.55:
            return self.rnd.choice(CLASSES)
        if r < 0.62:
            return self.rnd.choice(ASSERTIONS)
        if r < 0.72 and self.groups:
            return "\\%d" % self.rnd.randint(1, self.groups)
        if r < 0.82:
            return "(?:%s)" % "|".join(self.rnd.sample(WORDS, self.rnd.randint(2, 5)))
        if depth > 2:
            return self.rnd.choice(CHARS)
        kind = self.rnd.choice(["(", "(", "(?:", "(?>", "(?="])
        if kind == "(":
            self.groups += 1
        return kind + self.alternation(depth + 1) + ")"

    def sequence(self, depth):
        items = []
        for _ in range(self.rnd.choice([1, 1, 2, 2, 3, 4])):
            a = self.atom(depth)
            if self.rnd.random() < 0.35 and a not in ASSERTIONS and not a.startswith("(?="):
                a += self.rnd.choice(QUANTS)
            items.append(a)
        return "".join(items)

    def alternation(self, depth):
        return "|".join(self.sequence(depth) for _ in range(self.rnd.choice([1, 1, 1, 2, 3])))


def pattern(rnd):
    g = Gen(rnd)
    if rnd.random() < 0.15:  # an alternation of words alone, as a whole pattern or one group
        words = rnd.sample(WORDS, rnd.randint(2, 8))
        p = "|".join(words)
        if rnd.random() < 0.4:
            g.groups = 1
            p = "(" + p + ")" + rnd.choice(["", "b", "\\b", "c?", "x*"])
        return p, g.groups
    return g.alternation(0), g.groups


def flags(rnd):
    f = GLOBAL if rnd.random() < 0.85 else 0
    for bit, p in [(NOCASE, 0.3), (MULTILINE, 0.15), (SINGLELINE, 0.15), (RIGHTMOST, 0.05), (FIRSTBACKREFS, 0.1),
                   (ALLBACKREFS, 0.1), (NORMALIZE, 0.05)]:
        if rnd.random() < p:
            f |= bit
    return f




def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "cases.txt")
    rnd = random.Random(20240604)
    lines = []
    for _ in range(4000):
        pat, groups = pattern(rnd)
        repl = rnd.choice(REPLACEMENTS)
        while ("$2" in repl and groups < 2 or "$1" in repl and groups < 1) and rnd.random() < 0.9:
            repl = rnd.choice(REPLACEMENTS)
        subject = "".join(rnd.choice(SUBJECT) for _ in range(rnd.randint(0, 40)))
        start, length = 0, -1
        if rnd.random() < 0.1:
            start = rnd.randint(0, len(subject))
            length = rnd.choice([-1, rnd.randint(0, len(subject))])
        fields = [str(flags(rnd)), str(start), str(length), escape(pat), escape(repl), escape(subject)]
        lines.append("\t".join(fields))
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
