#!/usr/bin/env python3
"""Builds the reader's KWX fixtures from the UTF-8 samples.

For every samples/NAME-SRC[-TGT].utf8 this writes NAME-SRC[-TGT].txt (the KWX
lines in code page SRC, CR LF line ends, as the text writer stores them) and
NAME-SRC[-TGT].rtf (the same lines as the RTF writer stores them: prolog and
font table of SRC, an f4 font for TGT when it differs, colour table, style
sheet, A4 page, one paragraph per line with tags in character-style groups).
Run it from any folder; it writes next to itself.
"""
import pathlib
import re

HERE = pathlib.Path(__file__).resolve().parent

FONTS = {
    932: (r"\fmodern\fcharset128\fprq2 \'82\'6c\'82\'72 \'82\'6f\'83\'53\'83\'56\'83\'62\'83\'4e",
          r"\fmodern\fcharset128\fprq1 \'82\'6c\'82\'72 \'83\'53\'83\'56\'83\'62\'83\'4e",
          r"\froman\fcharset128\fprq1 \'82\'6c\'82\'72 \'96\'be\'92\'a9"),
    936: (r"\fnil\fcharset134\fprq2 \'ba\'da\'cc\'e5",
          r"\fmodern\fcharset134\fprq1 \'b7\'c2\'cb\'ce_GB2312",
          r"\fnil\fcharset134\fprq2 \'cb\'ce\'cc\'e5"),
    949: (r"\froman\fcharset129\fprq1 \'b9\'d9\'c5\'c1\'c3\'bc",
          r"\fmodern\fcharset129\fprq2 \'b1\'bc\'b8\'b2",
          r"\froman\fcharset129\fprq2 \'b9\'d9\'c5\'c1"),
    950: (r"\fmodern\fcharset136\fprq1 \'b2\'d3\'a9\'fa\'c5\'e9",
          r"\fmodern\fcharset136\fprq1 \'bc\'d0\'b7\'a2\'c5\'e9",
          r"\fnil\fcharset136\fprq2 \'b7\'73\'b2\'d3\'a9\'fa\'c5\'e9"),
    1250: (r"\fmodern\fcharset238\fprq1 Courier New CE", r"\fswiss\fcharset238\fprq2 Arial CE",
           r"\froman\fcharset238\fprq2 Times New Roman CE"),
    1251: (r"\fmodern\fcharset204\fprq1 Courier New CYR", r"\fswiss\fcharset204\fprq2 Arial CYR",
           r"\froman\fcharset204\fprq2 Times New Roman CYR"),
    1252: (r"\fmodern\fcharset0\fprq1 Courier New", r"\fswiss\fcharset0\fprq2 Arial",
           r"\froman\fcharset0\fprq2 Times New Roman"),
    1253: (r"\fmodern\fcharset161\fprq1 Courier New Greek", r"\fswiss\fcharset161\fprq2 Arial Greek",
           r"\froman\fcharset161\fprq2 Times New Roman Greek"),
    1254: (r"\fmodern\fcharset162\fprq1 Courier New TUR", r"\fswiss\fcharset162\fprq2 Arial TUR",
           r"\froman\fcharset162\fprq2 Times New Roman TUR"),
    1257: (r"\fmodern\fcharset186\fprq1 Courier New Baltic", r"\fswiss\fcharset186\fprq2 Arial Baltic",
           r"\froman\fcharset186\fprq2 Times New Roman Baltic"),
}

COLOURS = [
    r"{\colortbl \red0\green0\blue0;\red0\green0\blue0;\red0\green0\blue255;\red0\green255\blue255;\red0\green255\blue0;",
    r"\red255\green0\blue255;\red255\green0\blue0;\red255\green255\blue0;\red255\green255\blue255;\red0\green0\blue128;",
    r"\red0\green128\blue128;\red0\green128\blue0;\red128\green0\blue128;\red128\green0\blue0;\red128\green128\blue0;",
    r"\red128\green128\blue128;\red192\green192\blue192;}",
]

STYLES = [
    r"{\cs1 \additive \v\cf12\sub\f1 qd4lynMark;}",
    r"{\cs2 \cf4\fs40\f1 qd4lynError;}",
    r"{\cs3 \f1\cf11 qd4lynPopup;}",
    r"{\cs4 \f1\cf10 qd4lynJump;}",
    r"{\cs5 \additive \cf15\f1\lang1024 qd4lynExternal;}",
    r"{\cs6 \additive \cf6\f1\lang1024 qd4lynInternal;}",
    r"{\cs7 \cf2 qd4lynTerm;}",
    r"{\cs8 \additive Default Paragraph Font;}}",
]


def font_size(cp):
    return {936: r"\fs21", 950: r"\fs24"}.get(cp, r"\fs20")


def opening(cp):
    return r"\pard\plain\s0\sb0\slmult1\widctlpar" + font_size(cp) + r"\f3 "


def convert_lines(lines, cp):
    """Each line becomes a paragraph body; tag depth carries over lines."""
    depth, in_group, out = 0, False, []
    for line in lines:
        body = [opening(cp)]
        for i, b in enumerate(line):
            c = chr(b)
            if b == 9:
                body.append(r"\tab ")
            elif c == "<":
                depth += 1
                if not in_group:
                    nxt = line[i + 1] if i + 1 < len(line) else 0
                    body.append(r"{\cs6\cf6\f1\lang1024 " if nxt == ord(":") else r"{\cs5\cf15\f1\lang1024 ")
                    in_group = True
                body.append("<")
            elif c == ">":
                body.append(">")
                depth -= 1
                if depth <= 0:
                    depth = 0
                    if in_group:
                        body.append("}")
                        in_group = False
            elif c == "\\":
                body.append(r"\'5c")
            elif c == "{":
                body.append(r"\'7b")
            elif c == "}":
                body.append(r"\'7d")
            elif b >= 128:
                body.append("\\'%02x" % b)
            else:
                body.append(c)
        out.append("".join(body))
    return out


def write_rtf(path, lines, src, tgt):
    f1, f2, f3 = FONTS[src]
    parts = [r"{\rtf1\ansi\ansicpg%d \deff3\deflang1024 " % src, "\r\n", r"{\fonttbl ", "\r\n",
             r"{\f1 " + f1 + ";}", "\r\n", r"{\f2 " + f2 + ";}", "\r\n", r"{\f3 " + f3 + ";}"]
    if tgt == src:
        parts += ["}", "\r\n"]
    else:
        parts += ["\r\n", r"{\f4 " + FONTS.get(tgt, FONTS[1252])[2] + ";}}", "\r\n"]
    for colour in COLOURS:
        parts += [colour, "\r\n"]
    parts += [r"{\stylesheet ", "\r\n",
              r"{\s0 \sb0\slmult1\widctlpar" + font_size(src) + r"\f3 \snext0 Normal;}", "\r\n"]
    for style in STYLES:
        parts += [style, "\r\n"]
    parts += [r"\paperw11907\paperh16840" + opening(src), "\r\n"]
    for n, line in enumerate(convert_lines(lines, src)):
        if n:
            parts.append(r"\par ")
        parts += [line, "\r\n"]
    parts.append("}")
    path.write_bytes("".join(parts).encode("latin-1"))


def main():
    for sample in sorted((HERE / "samples").glob("*.utf8")):
        name = sample.stem
        m = re.search(r"-(\d+)(?:-(\d+))?$", name)
        src = int(m.group(1))
        tgt = int(m.group(2) or src)
        text = sample.read_text(encoding="utf-8")
        lines = [line.encode("cp%d" % src) for line in text.split("\n")[:-1]]
        (HERE / (name + ".txt")).write_bytes(b"".join(line + b"\r\n" for line in lines))
        write_rtf(HERE / (name + ".rtf"), lines, src, tgt)


if __name__ == "__main__":
    main()
