#!/usr/bin/env python3
"""Writes the KWX line lists the writer golden tests read (<case>.kwx).

Each list is the same small document, its text in the case's code page:
header lines, a page with a text column, a numbered heading, a body
paragraph with a tab, a backslash and braces, a character format, an
escaped less-than sign, a footnote anchor and its block, and a paragraph
continued after a hard return. The files hold the code page's bytes with
one line feed after each line. Run it from this folder; the expected
.rtf and .txt files beside the inputs are checked by hand, not generated.
"""

CASES = [
    # name, codec, language, charset, texts (A, B, C, D)
    ("cp1252_a4", "cp1252", "English (US)", "Normal",
     ("Caf\u00e9 na\u00efve \u00abquote\u00bb", "Price \u20ac 5 \u2013 cheap", "really", "See \u00a7 4.")),
    ("cp1252_to1250_letter", "cp1252", "German", "Symbol",
     ("Gr\u00fc\u00dfe aus K\u00f6ln", "\u00c4rger \u00fcber \u00d6l", "sehr", "Fu\u00dfnote.")),
    ("cp1250", "cp1250", "Czech", "Symbol",
     ("P\u0159\u00edli\u0161 \u017elu\u0165ou\u010dk\u00fd k\u016f\u0148", "\u00fap\u011bl", "\u010f\u00e1belsk\u00e9",
      "\u0141\u00f3d\u017a.")),
    ("cp1251", "cp1251", "Russian", "Normal",
     ("\u0421\u044a\u0435\u0448\u044c \u0436\u0435 \u0435\u0449\u0451", "\u0446\u0435\u043d\u0430", "\u043e\u0447\u0435\u043d\u044c",
      "\u0421\u043d\u043e\u0441\u043a\u0430.")),
    ("cp1253", "cp1253", "Greek", "Normal",
     ("\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac", "\u03c4\u03b9\u03bc\u03ae", "\u03c0\u03bf\u03bb\u03cd",
      "\u03a3\u03b7\u03bc\u03b5\u03af\u03c9\u03c3\u03b7.")),
    ("cp1254", "cp1254", "Turkish", "Symbol",
     ("T\u00fcrk\u00e7e \u0131\u011f\u00fc\u015f\u00f6\u00e7", "fiyat", "\u00e7ok", "Dipnot \u0130.")),
    ("cp1257", "cp1257", "Lithuanian", "Normal",
     ("Lietuvi\u0173 \u0105\u010d\u0119\u0117\u012f\u0161\u0173\u016b\u017e", "kaina", "labai", "Pastaba.")),
    ("cp932", "cp932", "Japanese", "Normal",
     ("\u8868\u793a\u306e\u4e88\u5b9a", "\u500d\u306e\u515a\u30bd\u30d5\u30c8", "\u80fd\u529b", "\u6ce8\u8a18\u3002")),
    ("cp936", "gbk", "Chinese (PRC)", "Symbol",
     ("\u7b80\u4f53\u4e2d\u6587", "\u4e57\u4e84\u4e87", "\u5f88", "\u811a\u6ce8\u3002")),
    ("cp949", "cp949", "Korean", "Symbol",
     ("\ud55c\uad6d\uc5b4 \ud14d\uc2a4\ud2b8", "\uac00\uaca9", "\ub9e4\uc6b0", "\uac01\uc8fc.")),
    ("cp950", "cp950", "Chinese (Taiwan)", "Normal",
     ("\u8a31\u529f\u84cb\u9ebc", "\u53fb\u5425", "\u5f88", "\u8a3b\u8173\u3002")),
]


def lines_for(language, charset, a, b, c, d):
    return [
        '<kwx "F3.00">',
        '<sourcecharset "%s">' % charset,
        '<sourcelanguage "%s">' % language,
        '<sourcehyphenation "Turn Off">',
        '<sourcequotes "As Text">',
        '<sourcepath "/docs/manual.mif">',
        '<page "1">',
        '<tr 12>',
        '<ps "Heading 1" 1><pn "Chapter 1<:t>" 1>' + a,
        '<ps "Body" 2>' + b + '<:t>C:\\path\\{x} <:cs "Emphasis" 1>' + c + '<:/cs> 3 <:lt> 4<:fn 7>',
        '<fn 7>',
        '<ps "Footnote" 3>' + d,
        '</fn>',
        '<ps "Body" 2>' + a,
        '<:hr>' + b,
        '</tr>',
        '</page>',
        '</kwx>',
    ]


if __name__ == "__main__":
    for name, codec, language, charset, texts in CASES:
        data = "".join(line + "\n" for line in lines_for(language, charset, *texts))
        with open(name + ".kwx", "wb") as out:
            out.write(data.encode(codec))
