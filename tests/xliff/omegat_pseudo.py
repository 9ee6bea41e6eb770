#!/usr/bin/python3
"""Turns the translation memory that OmegaT's console mode made with
--pseudotranslatetype=equal into a pseudo-translation: in the second <seg>
of every <tu>, the letter case of all text outside OmegaT's tag shortcuts
(<f0>, </f0>, <x1/>, ...) is swapped.

usage: omegat_pseudo.py MEMORY.tmx
"""
import re
import sys

from lxml import etree

SHORTCUT = re.compile(r"(</?[a-zA-Z]+[0-9]+/?>)")


def swap(text):
    return "".join(p if SHORTCUT.fullmatch(p) else p.swapcase() for p in SHORTCUT.split(text))


tree = etree.parse(sys.argv[1])
count = 0
for tu in tree.iter("tu"):
    segs = tu.findall("tuv/seg")
    if len(segs) == 2 and segs[1].text:
        segs[1].text = swap(segs[1].text)
        count += 1
tree.write(sys.argv[1], encoding="UTF-8", xml_declaration=True)
print("pseudo-translated %d memory entries" % count)
