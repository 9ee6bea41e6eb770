#!/usr/bin/env python3
"""Makes the word-processor fixtures of this folder, once, with LibreOffice Writer.

The KWX RTF file of ../convert/golden/text_runs/input.mif (forward conversion by the
morvane command line, as wp.mif in a fixed scratch folder, so that the source-path line
of every fixture names /tmp/morvane-wp-fixture/src/wp.mif) is opened in Writer
(headless, through UNO) and edited as a translator would, each text portion (text that
is in no tag character style) being overtyped; the result is saved as RTF under the
fixture's name. The tests replace the fixed source path by their own and never run
Writer.

Fixtures (name: target language, edit):
  linebreaks: English (US); in every text portion with two words or more the blank after
      the first word becomes a line break (Shift+Enter); in the first such portion a
      paragraph break (Enter) goes after the second word, and a no-break space, a soft
      hyphen, a non-breaking hyphen and an em space are typed after the last word
  japanese: Japanese; every text portion becomes JAPANESE (second Shift-JIS byte 0x5C in
      most of its characters) with a line break in the middle
  japanese-symbols: Japanese; as japanese, and the first portion also gets " (c) (tm) *"
      typed as the characters U+00A9, U+2122 and U+2022, which code page 932 lacks
  chinese-simplified, chinese-traditional, korean: every text portion becomes the
      language's sample text

Usage: /usr/bin/python3 make-fixtures.py MORVANE  (the built command line, e.g. build/cli/morvane)
Needs soffice and python3-uno (Debian: libreoffice-writer-nogui, python3-uno).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.text.ControlCharacter import LINE_BREAK, PARAGRAPH_BREAK

HERE = os.path.dirname(os.path.abspath(__file__))
SCRATCH = "/tmp/morvane-wp-fixture"
SOURCE_MIF = os.path.join(HERE, "..", "convert", "golden", "text_runs", "input.mif")

JAPANESE = "\u8868\u793a\u30bd\u30d5\u30c8\u5341\u80fd\u4e88\u5b9a"  # 表示ソフト十能予定
SAMPLES = {
    "japanese": JAPANESE,
    "japanese-symbols": JAPANESE,
    "chinese-simplified": "\u4e2d\u6587\u8868\u793a\u529f\u80fd\u4e57",  # 中文表示功能乗
    "chinese-traditional": "\u8a31\u529f\u84cb\u4e2d\u6587",  # 許功蓋中文
    "korean": "\ud55c\uad6d\uc5b4 \ud14d\uc2a4\ud2b8 \ud45c\uc2dc",  # 한국어 텍스트 표시
}
SYMBOLS = " \u00a9\u2122\u2022"
SPECIALS = "\u00a0x\u00ady\u2011z\u2003"


def pv(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def tag_styles(path):
    data = open(path, "rb").read()
    return {m.group(1).decode() for m in re.finditer(rb"\\cs\d+[^;{}]*? (qd4lyn\w+);", data)}


def paragraphs(doc):
    en = doc.Text.createEnumeration()
    while en.hasMoreElements():
        p = en.nextElement()
        if p.supportsService("com.sun.star.text.Paragraph"):
            yield p


def portions(para):
    out, off = [], 0
    en = para.createEnumeration()
    while en.hasMoreElements():
        por = en.nextElement()
        s = por.getString()
        out.append((off, s, por.CharStyleName, por.TextPortionType))
        off += len(s)
    return out


def cursor_at(text, para, offset, select=0):
    cur = text.createTextCursorByRange(para.getStart())
    cur.goRight(offset, False)
    if select:
        cur.goRight(select, True)
    return cur


def overtype(text, para, off, old, new):
    """Replaces old (at off) by new, keeping old's formatting as overtyping does."""
    text.insertString(cursor_at(text, para, off + 1), new, False)
    cursor_at(text, para, off, 1).setString("")
    if len(old) > 1:
        cursor_at(text, para, off + len(new), len(old) - 1).setString("")


def edit(doc, styles, name):
    text = doc.Text
    first = True
    count = 0
    # Paragraph breaks typed by the edits add paragraphs: collect first.
    for para in list(paragraphs(doc)):
        last = None  # edits that split the paragraph come after all others in it
        for off, s, style, kind in reversed(portions(para)):
            if kind != "Text" or not s.strip() or style in styles:
                continue
            if name == "linebreaks":
                m = re.match(r"\s*\S+( )(?=\S)", s)
                if not m:
                    continue
                if first:
                    first = False
                    last = (off, s)
                # A line break for the blank: the text keeps its length.
                cursor_at(text, para, off + m.start(1), 1).setString("")
                text.insertControlCharacter(cursor_at(text, para, off + m.start(1)), LINE_BREAK, False)
            else:
                new = SAMPLES[name]
                if name == "japanese-symbols" and first:
                    new += SYMBOLS
                first = False
                overtype(text, para, off, s, new)
                if name.startswith("japanese"):
                    text.insertControlCharacter(cursor_at(text, para, off + 2), LINE_BREAK, False)
            count += 1
        if last:
            off, s = last
            text.insertString(cursor_at(text, para, off + len(s.rstrip())), SPECIALS, False)
            second = re.match(r"\s*\S+\s\S+", s)
            if second and second.end() < len(s.rstrip()):
                text.insertControlCharacter(cursor_at(text, para, off + second.end()), PARAGRAPH_BREAK, False)
    return count


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    morvane = os.path.abspath(sys.argv[1])
    shutil.rmtree(SCRATCH, ignore_errors=True)
    os.makedirs(SCRATCH + "/src")
    os.makedirs(SCRATCH + "/org")
    shutil.copy(SOURCE_MIF, SCRATCH + "/src/wp.mif")
    subprocess.run([morvane, "convert-mif", "--org-dir", SCRATCH + "/org", "--format", "rtf", "--no-ancillary",
                    SCRATCH + "/src/wp.mif"], check=True, stdout=subprocess.DEVNULL)
    source = SCRATCH + "/org/wp.rtf"
    styles = tag_styles(source)
    profile = tempfile.mkdtemp(prefix="lo_profile_")
    pipe = "morvane_wp_%d" % os.getpid()
    office = subprocess.Popen(["soffice", "-env:UserInstallation=" + uno.systemPathToFileUrl(profile), "--headless",
                               "--invisible", "--norestore", "--accept=pipe,name=%s;urp;" % pipe],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        for _ in range(300):
            try:
                ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
                break
            except Exception:
                time.sleep(0.2)
        else:
            raise SystemExit("could not connect to soffice")
        desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
        for name in ["linebreaks"] + list(SAMPLES):
            doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(source), "_blank", 0, (pv("Hidden", True),))
            n = edit(doc, styles, name)
            out = os.path.join(HERE, name + ".rtf")
            doc.storeToURL(uno.systemPathToFileUrl(out), (pv("FilterName", "Rich Text Format"),))
            doc.close(True)
            print("%s: %d text portions edited" % (name, n))
        try:
            desktop.terminate()
        except Exception:
            pass
    finally:
        try:
            office.wait(timeout=60)
        except subprocess.TimeoutExpired:
            office.kill()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    main()
