#!/usr/bin/python3
"""Checks XLIFF files written by `morvane to-xliff` and pseudo-translates them
with translate-toolkit's own XLIFF storage.

usage: toolkit_pseudo.py EXPECTED.tsv FILE.xlf...

For each file: the document structure is checked against the rules of XLIFF
1.2 that the files use (root, <file> attributes, header before body, unit ids
unique, a <source> in every unit, inline codes with ids, <bpt>/<ept> paired
inside each element); translate-toolkit must load every trans-unit; each unit
that is not translate="no" gets a target in which every text run has its
letter case swapped and every inline code is kept; the store is saved in
place by translate-toolkit. EXPECTED.tsv receives, per unit, the swapped
whole words (four letters or more) of its text runs, for the caller to find
in the back-converted MIF file. Exits 1 with a message on the first fault.
"""
import copy
import re
import sys

from lxml import etree
from translate.storage import xliff
from translate.storage.placeables import StringElem

NS = "{urn:oasis:names:tc:xliff:document:1.2}"
CODES = {"ph", "bpt", "ept", "it", "x", "bx", "ex", "g", "sub", "mrk"}


def fail(message):
    print("toolkit_pseudo: " + message)
    sys.exit(1)


def check_structure(path):
    root = etree.parse(path).getroot()
    if root.tag != NS + "xliff" or root.get("version") != "1.2":
        fail(path + ": the root is not <xliff version=\"1.2\"> in the XLIFF 1.2 namespace")
    files = root.findall(NS + "file")
    if not files:
        fail(path + ": no <file>")
    units = 0
    for f in files:
        for attribute in ("original", "source-language", "datatype"):
            if not f.get(attribute):
                fail(path + ": <file> lacks " + attribute)
        children = [c.tag for c in f if isinstance(c.tag, str)]
        if children != [NS + "header", NS + "body"]:
            fail(path + ": <file> must hold <header> then <body>, not " + repr(children))
        ids = set()
        for unit in f.iter(NS + "trans-unit"):
            units += 1
            uid = unit.get("id")
            if not uid or uid in ids:
                fail(path + ": unit id missing or repeated: " + repr(uid))
            ids.add(uid)
            if unit.get("translate") not in (None, "yes", "no"):
                fail(path + ": unit " + uid + " has translate=" + unit.get("translate"))
            if unit.get("{http://www.w3.org/XML/1998/namespace}space") != "preserve":
                fail(path + ": unit " + uid + " lacks xml:space=\"preserve\"")
            kids = [c for c in unit if isinstance(c.tag, str)]
            if not kids or kids[0].tag != NS + "source":
                fail(path + ": unit " + uid + " does not begin with <source>")
            for part in kids:
                if part.tag not in (NS + "source", NS + "target"):
                    continue
                open_pairs = []
                for code in part.iter():
                    if code is part:
                        continue
                    name = code.tag[len(NS):]
                    if name not in CODES:
                        fail(path + ": unit " + uid + " holds <" + name + ">")
                    if name != "mrk" and name != "sub" and not code.get("id"):
                        fail(path + ": unit " + uid + ": <" + name + "> without id")
                    ctype = code.get("ctype")
                    if ctype is not None and not ctype.startswith("x-"):
                        fail(path + ": unit " + uid + ": ctype " + ctype + " is not a user-defined value")
                    if name == "bpt":
                        open_pairs.append(code.get("id"))
                    elif name == "ept":
                        if code.get("id") not in open_pairs:
                            fail(path + ": unit " + uid + ": <ept> without its <bpt>")
                        open_pairs.remove(code.get("id"))
                if open_pairs:
                    fail(path + ": unit " + uid + ": <bpt> without its <ept>")
    return units


def swap(elem):
    for i, sub in enumerate(elem.sub):
        if isinstance(sub, str):
            elem.sub[i] = sub.swapcase()
        elif type(sub) is StringElem:
            swap(sub)


def main():
    expected = open(sys.argv[1], "w", encoding="utf-8")
    for path in sys.argv[2:]:
        units_in_file = check_structure(path)
        store = xliff.xlifffile.parsefile(path)
        units = [u for u in store.units if not u.isheader()]
        if len(units) != units_in_file:
            fail(path + ": translate-toolkit loaded %d of %d units" % (len(units), units_in_file))
        translated = 0
        for unit in units:
            if unit.xmlelement.get("translate") == "no":
                continue
            rich = [copy.deepcopy(s) for s in unit.rich_source]
            for r in rich:
                swap(r)
            unit.rich_target = rich
            translated += 1
            # The whole words of each text run, which back conversion must
            # put into the MIF file as they are.
            target = unit.xmlelement.find(NS + "target")
            runs = [target.text or ""] + [c.tail or "" for c in target]
            words = [w for run in runs for w in run.split() if re.fullmatch(r"[A-Za-z]{4,}", w)]
            if words:
                expected.write(path + "\t" + " ".join(words) + "\n")
        store.savefile(path)
        print("%s: %d units, %d pseudo-translated" % (path, len(units), translated))


main()
