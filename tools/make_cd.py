#!/usr/bin/python3
"""Write small stand-in TrueType fonts for the demo CD folder and the tests.

Every font is drawn here from scratch with fontTools: a .notdef box, a space,
and digits, letters and a little punctuation drawn as seven-segment style bars
(lower-case letters share the upper-case outlines).  Only the name table
differs between fonts: the family name is "STEM TAG", so each (stem, tag)
pair gives a face of its own.  That matters because Wine's AddFontResourceA
returns 0 for a face it has already loaded, so separate runs of the tests
give their fonts separate tags.

Output is deterministic: the same stem and tag always give the same bytes.

Command line:
    make_cd.py OUTDIR --tag TAG [NAME ...]
        Write OUTDIR/NAME.ttf for each NAME (the stem is NAME).  Without
        NAME, use the 140 names of the program's own font set, read from
        ../tests/data/font_sets.txt next to this script.
    make_cd.py --file OUTPATH --stem STEM --tag TAG
        Write one font for STEM to exactly OUTPATH; the file name may differ
        from the stem (CMR10.TTF, a non-ASCII name, ...).
    make_cd.py [OUTDIR NAME ...] --list     (or with --file OUTPATH)
        Print the names that would be written (or OUTPATH), one per line,
        and stop; OUTDIR and --tag may be left out.

As a module:
    make_font(stem, tag) -> bytes
    write_font(path, stem, tag)
    default_names() -> list of the 140 names
"""

import argparse
import io
import os
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, newTable
from fontTools.ttLib.tables._c_m_a_p import CmapSubtable

FONT_SETS = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                         os.pardir, "tests", "data", "font_sets.txt")
OWN_SET_HEADER = "[NewFontSet] cmvtt10"

# 1904-01-01 based seconds for 2000-01-01T00:00:00Z; any fixed value will do,
# what matters is that nothing in the file depends on the clock.
FIXED_TIMESTAMP = 3029529600

UNITS_PER_EM = 1000
ASCENT = 800
DESCENT = 200
ADVANCE = 600
SPACE_ADVANCE = 300

# Seven-segment cell: x from LEFT to RIGHT, y from 0 to TOP, bars THICK wide.
LEFT, RIGHT, TOP, THICK = 80, 520, 700, 80
MID = (TOP - THICK) // 2

# Segments as (x0, y0, x1, y1).  Horizontal bars run the full width, vertical
# bars fill the space between them, so no two rectangles overlap.
SEGMENTS = {
    "a": (LEFT, TOP - THICK, RIGHT, TOP),                 # top
    "b": (RIGHT - THICK, MID + THICK, RIGHT, TOP - THICK),  # upper right
    "c": (RIGHT - THICK, THICK, RIGHT, MID),              # lower right
    "d": (LEFT, 0, RIGHT, THICK),                         # bottom
    "e": (LEFT, THICK, LEFT + THICK, MID),                # lower left
    "f": (LEFT, MID + THICK, LEFT + THICK, TOP - THICK),  # upper left
    "g": (LEFT, MID, RIGHT, MID + THICK),                 # middle
}

# Characters and their segments; letters are rough seven-segment shapes.
SHAPES = {
    "0": "abcdef", "1": "bc", "2": "abdeg", "3": "abcdg", "4": "bcfg",
    "5": "acdfg", "6": "acdefg", "7": "abc", "8": "abcdefg", "9": "abcdfg",
    "A": "abcefg", "B": "cdefg", "C": "adef", "D": "bcdeg", "E": "adefg",
    "F": "aefg", "G": "acdef", "H": "bcefg", "I": "ef", "J": "bcde",
    "K": "bcefg", "L": "def", "M": "abcef", "N": "ceg", "O": "abcdef",
    "P": "abefg", "Q": "abcfg", "R": "eg", "S": "acdfg", "T": "defg",
    "U": "bcdef", "V": "cde", "W": "bcdef", "X": "bcefg", "Y": "bcdfg",
    "Z": "abdeg", "-": "g", "_": "d", "=": "dg",
}
GLYPH_NAMES = {
    "0": "zero", "1": "one", "2": "two", "3": "three", "4": "four",
    "5": "five", "6": "six", "7": "seven", "8": "eight", "9": "nine",
    "-": "hyphen", "_": "underscore", "=": "equal", ".": "period",
}

# Characters PostScript names may not contain besides blanks and non-ASCII.
PS_FORBIDDEN = set("[](){}<>/%")
PS_NAME_MAX = 63


def _rect(pen, x0, y0, x1, y1, hole=False):
    """Add a rectangle contour: clockwise (filled), or counter-clockwise
    for a hole inside a filled contour."""
    points = [(x0, y0), (x0, y1), (x1, y1), (x1, y0)]
    if hole:
        points.reverse()
    pen.moveTo(points[0])
    for point in points[1:]:
        pen.lineTo(point)
    pen.closePath()


def _build_glyphs():
    """Return (glyph order, glyphs, metrics, unicode -> glyph name)."""
    glyphs, metrics, cmap = {}, {}, {}

    pen = TTGlyphPen(None)
    _rect(pen, 50, 0, 550, TOP)
    _rect(pen, 50 + THICK, THICK, 550 - THICK, TOP - THICK, hole=True)
    glyphs[".notdef"] = pen.glyph()
    metrics[".notdef"] = (ADVANCE, 50)

    glyphs["space"] = TTGlyphPen(None).glyph()
    metrics["space"] = (SPACE_ADVANCE, 0)
    cmap[0x20] = "space"

    pen = TTGlyphPen(None)
    _rect(pen, 260, 0, 260 + THICK, THICK)
    glyphs["period"] = pen.glyph()
    metrics["period"] = (ADVANCE, 260)
    cmap[ord(".")] = "period"

    for char, segments in SHAPES.items():
        name = GLYPH_NAMES.get(char, char)
        pen = TTGlyphPen(None)
        for segment in segments:
            _rect(pen, *SEGMENTS[segment])
        glyphs[name] = pen.glyph()
        lsb = min(SEGMENTS[segment][0] for segment in segments)
        metrics[name] = (ADVANCE, lsb)
        cmap[ord(char)] = name
        if char.isalpha():
            cmap[ord(char.lower())] = name

    order = [".notdef", "space", "period"] + [
        GLYPH_NAMES.get(char, char) for char in SHAPES]
    return order, glyphs, metrics, cmap


def family_name(stem, tag):
    """The family (and full) name of the font for stem and tag."""
    return f"{stem} {tag}" if tag else stem


def postscript_name(stem, tag):
    """The PostScript name: stem and tag joined by '-', keeping only printable
    ASCII other than blanks and the characters PostScript reserves, at most
    63 characters."""
    def clean(text):
        return "".join(c for c in text
                       if 33 <= ord(c) <= 126 and c not in PS_FORBIDDEN)
    pieces = [piece for piece in (clean(stem), clean(tag)) if piece]
    return ("-".join(pieces) or "font")[:PS_NAME_MAX]


def _mac_safe(text):
    """Macintosh name records are Mac Roman; replace what it cannot hold."""
    return text.encode("mac_roman", errors="replace").decode("mac_roman")


def _name_table(stem, tag):
    family = family_name(stem, tag)
    ps_name = postscript_name(stem, tag)
    records = {
        1: family,
        2: "Regular",
        3: f"{ps_name};1.000",
        4: family,
        5: "Version 1.000",
        6: ps_name,
    }
    table = newTable("name")
    table.names = []
    for name_id, text in records.items():
        table.setName(text, name_id, 3, 1, 0x409)
        table.setName(_mac_safe(text), name_id, 1, 0, 0)
    return table


def _build_base():
    """Compile the font all others are made from; only its name table is
    replaced per font."""
    order, glyphs, metrics, cmap = _build_glyphs()
    builder = FontBuilder(UNITS_PER_EM, isTTF=True)
    builder.setupHead(unitsPerEm=UNITS_PER_EM, created=FIXED_TIMESTAMP,
                      modified=FIXED_TIMESTAMP, fontRevision=1.0)
    builder.setupMaxp()
    builder.setupGlyphOrder(order)
    builder.setupCharacterMap(cmap)
    mac = CmapSubtable.newSubtable(0)
    mac.platformID, mac.platEncID, mac.language = 1, 0, 0
    mac.cmap = dict(cmap)  # ASCII only, so the same codes in Mac Roman
    builder.font["cmap"].tables.append(mac)
    builder.setupGlyf(glyphs)
    builder.setupHorizontalMetrics(metrics)
    builder.setupHorizontalHeader(ascent=ASCENT, descent=-DESCENT)
    builder.setupOS2(
        version=4, fsType=0, achVendID="NONE", fsSelection=0x0040,
        sTypoAscender=ASCENT, sTypoDescender=-DESCENT, sTypoLineGap=0,
        usWinAscent=ASCENT, usWinDescent=DESCENT,
        ulCodePageRange1=1,  # Latin 1
        sxHeight=MID + THICK, sCapHeight=TOP)
    builder.setupPost()
    builder.font["name"] = _name_table("base", "")
    out = io.BytesIO()
    builder.font.save(out)
    return out.getvalue()


_base = None


def make_font(stem, tag):
    """Return the bytes of the font for stem and tag."""
    global _base
    if _base is None:
        _base = _build_base()
    # Read lazily so that every table but the new name table is copied as it
    # is; the timestamps stay as they are in the base font.
    font = TTFont(io.BytesIO(_base), lazy=True,
                  recalcTimestamp=False, recalcBBoxes=False)
    font["name"] = _name_table(stem, tag)
    out = io.BytesIO()
    font.save(out)
    return out.getvalue()


def write_font(path, stem, tag):
    """Write the font for stem and tag to path (any file name)."""
    data = make_font(stem, tag)
    with open(path, "wb") as f:
        f.write(data)


def default_names(path=FONT_SETS):
    """The names of the program's own font set, in table order."""
    names, inside = [], False
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not inside:
                inside = line == OWN_SET_HEADER
            elif not line or line.startswith("["):
                break
            else:
                names.append(line)
    if not names:
        raise ValueError(f"{path}: no names after '{OWN_SET_HEADER}'")
    return names


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Write stand-in TrueType fonts named 'STEM TAG'.")
    parser.add_argument("outdir", nargs="?",
                        help="folder for NAME.ttf files")
    parser.add_argument("names", nargs="*", metavar="NAME",
                        help="font stems (default: the program's 140 fonts)")
    parser.add_argument("--tag", help="second word of every family name")
    parser.add_argument("--file", metavar="OUTPATH",
                        help="write one font to exactly this path")
    parser.add_argument("--stem", help="stem of the font written by --file")
    parser.add_argument("--list", action="store_true",
                        help="print the names that would be written and stop")
    args = parser.parse_intermixed_args(argv)

    if args.list:
        # The arguments mean what they mean without --list; OUTDIR may be
        # left out, --tag is not needed.
        if args.file is not None:
            print(args.file)
        else:
            for name in args.names or default_names():
                print(name)
        return 0

    if args.tag is None:
        parser.error("--tag is required")
    if args.file is not None:
        if args.stem is None or args.outdir is not None:
            parser.error("--file takes --stem and --tag and no other names")
        write_font(args.file, args.stem, args.tag)
        return 0
    if args.outdir is None:
        parser.error("OUTDIR is required")

    os.makedirs(args.outdir, exist_ok=True)
    for name in args.names or default_names():
        write_font(os.path.join(args.outdir, name + ".ttf"), name, args.tag)
    return 0


if __name__ == "__main__":
    sys.exit(main())
