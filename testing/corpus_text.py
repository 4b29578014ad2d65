"""Line format of the generated test corpora (read by shared/regex/tests/corpus_text.h): one text
per line; printable ASCII stands for itself except the backslash; "\\\\" is a backslash, "\\n",
"\\r", "\\t" are LF, CR and TAB, and "\\u{HEX}" any other character."""


def escape(text):
    out = []
    for c in text:
        o = ord(c)
        if c == "\\":
            out.append("\\\\")
        elif c == "\n":
            out.append("\\n")
        elif c == "\r":
            out.append("\\r")
        elif c == "\t":
            out.append("\\t")
        elif 32 <= o < 127:
            out.append(c)
        else:
            out.append("\\u{%X}" % o)
    return "".join(out)
