#!/usr/bin/env python3
"""Writes inputs.txt: token soups for the HTML conversions, one per line, built from the pieces
the conversions' passes look for (tag names, tag brackets, spaces, slashes, references, line
ends) thrown together at random, so that tags and references open, close, nest and break off in
every order. A few soups are long, so that candidates fail far from the end of the text.

Deterministic: the same file on every run. The expected outputs beside it (plaintext.txt,
header.txt, tohtml.txt) are what the conversions give for each soup; the tests compare with them
and write them afresh only when asked to (see shared/regex/html/tests/golden_test.cpp).

Line format: as testing/corpus_text.py says.
Usage: generate.py [output-file]"""
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
from corpus_text import escape  # noqa: E402

NAMES = ["head", "HEAD", "Head", "script", "SCRIPT", "style", "Style", "td", "TD", "th", "thead", "br", "BR",
         "li", "LI", "div", "DIV", "tr", "track", "p", "P", "pre", "param", "body", "BODY", "html", "HTML", "meta",
         "META", "!doctype", "!DOCTYPE", "b", "i", "a", "img", "span", "title", "o:p"]
REFS = ["nbsp", "NBSP", "bull", "lsaquo", "rsaquo", "trade", "frasl", "lt", "gt", "LT", "copy", "reg", "amp", "quot",
        "oacute", "Oacute", "euro", "apos", "#8364", "#x20AC", "#X105", "#0", "#150", "#x110000", "#xD800", "#",
        "#x", "ab", "abcdefg", "x1", "AT", "T", "unknown", "averylongname"]
PIECES = ["<", "<", "<", ">", ">", "</", "/", "/>", " ", " ", "  ", "   ", "\t", "\n", "\r", "\r\n", "\n\n", "\n \n",
          "&", "&", ";", ";", "#", "x", "=", '"', "'", "!", "-", "--", "<!--", "-->", "ala", "kot", "Zażółć", "zł",
          "ąę", "ŁÓDŹ", "100", "7", "\u00a0", "\U0001F600", "\u0130", "\u212a", "*", "|"]
FRAGMENTS = ["<td>", "< td >", "<TD width=1>", "<th>", "<br>", "< br >", "<br/>", "<BR >", "<li>", "<li class=x>",
             "<div>", "<div style=\"a\">", "<tr>", "<p>", "<P align=center>", "</p>", "</ td >", "< / head >",
             "</HEAD>", "<head>", "<head><title>t</title></head>", "<script>x=1</script>", "<SCRIPT>", "</script>",
             "< / script >", "<style>b{}</style>", "<style>", "</style >", "<body>", "<BODY bgcolor=1>", "</body>",
             "< / body >", "<html>", "</html>", "<meta x>", "</meta>", "<!doctype html>", "<!DOCTYPE a\nb>",
             "&nbsp;", "&lt;", "&gt;", "&lt", "&amp;", "&amp;lt;", "&#261;", "&#x105;", "&copy;", "&reg;",
             "&trade;", "&bull;", "&frasl;", "&lsaquo;", "&rsaquo;", "AT&T;", "&a;", "&ab;c;", "&abcdefgh;"]


def token(rnd):
    k = rnd.random()
    if k < 0.30:
        return rnd.choice(PIECES)
    if k < 0.55:
        return rnd.choice(NAMES)
    if k < 0.70:
        return rnd.choice(REFS)
    return rnd.choice(FRAGMENTS)


def soup(rnd, tokens):
    return "".join(token(rnd) for _ in range(tokens))




def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "inputs.txt")
    rnd = random.Random(20240603)
    soups = [""]
    for _ in range(2400):
        soups.append(soup(rnd, rnd.choice([1, 2, 3, 5, 8, 13, 21, 34, 55])))
    for _ in range(40):
        soups.append(soup(rnd, rnd.randint(200, 700)))
    # Long stretches of one failing candidate and a single distant tail.
    for unit, tail in [("&b ", ";"), ("a & b ", ";"), ("<brx ", ">"), ("</bodyx ", ">"), ("< td", ">"),
                       ("&#12", ";"), ("<head ", "</head>"), ("\n \n", "\n")]:
        soups.append(unit * rnd.randint(150, 400) + tail + soup(rnd, 20))
    with open(path, "w", encoding="ascii", newline="\n") as f:
        for s in soups:
            f.write(escape(s) + "\n")


if __name__ == "__main__":
    main()
