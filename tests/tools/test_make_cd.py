"""Tests for tools/make_cd.py, the generator of the stand-in fonts.

Run with: /usr/bin/python3 -m unittest discover -s tests/tools
"""

import io
import os
import subprocess
import sys
import tempfile
import unittest

from fontTools.ttLib import TTFont

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                     os.pardir, os.pardir, "tools")
sys.path.insert(0, TOOLS)
import make_cd  # noqa: E402

SCRIPT = os.path.join(TOOLS, "make_cd.py")
REQUIRED_TABLES = {"head", "hhea", "maxp", "OS/2", "hmtx", "cmap",
                   "loca", "glyf", "name", "post"}


def read_font(data):
    """Parse every table, so a broken one fails here."""
    font = TTFont(io.BytesIO(data), checkChecksums=2)
    for tag in font.keys():
        font[tag]
    return font


def names_of(font, name_id):
    return {(rec.platformID, rec.platEncID, rec.langID): rec.toUnicode()
            for rec in font["name"].names if rec.nameID == name_id}


class FontTest(unittest.TestCase):
    def test_font_is_complete_truetype_named_stem_tag(self):
        font = read_font(make_cd.make_font("cmr10", "disc"))
        self.assertTrue(REQUIRED_TABLES <= set(font.keys()))
        self.assertNotIn("CFF ", font)
        self.assertEqual(font.sfntVersion, "\0\1\0\0")

        cmap = font["cmap"].getcmap(3, 1)
        self.assertEqual(cmap.format, 4)
        self.assertIsNotNone(font["cmap"].getcmap(1, 0))
        self.assertIn(ord("A"), cmap.cmap)
        self.assertGreater(font["glyf"][cmap.cmap[ord("A")]].numberOfContours, 0)

        self.assertEqual(names_of(font, 1), {(3, 1, 0x409): "cmr10 disc",
                                             (1, 0, 0): "cmr10 disc"})
        self.assertEqual(set(names_of(font, 4).values()), {"cmr10 disc"})
        self.assertEqual(set(names_of(font, 6).values()), {"cmr10-disc"})

    def test_same_inputs_same_bytes_other_inputs_other_bytes(self):
        # Equal bytes within one second would not show a clock-dependent
        # timestamp, so check the timestamps themselves too.
        head = read_font(make_cd.make_font("cmr10", "a"))["head"]
        self.assertEqual((head.created, head.modified),
                         (make_cd.FIXED_TIMESTAMP, make_cd.FIXED_TIMESTAMP))
        fonts = {key: make_cd.make_font(*key)
                 for key in [("cmr10", "a"), ("cmr10", "b"), ("cmr9", "a")]}
        self.assertEqual(make_cd.make_font("cmr10", "a"), fonts["cmr10", "a"])
        self.assertEqual(len(set(fonts.values())), 3)

    def test_postscript_name_is_printable_ascii_without_blanks(self):
        cases = [
            ("cmr10", "disc", "cmr10-disc"),
            ("cmr10", "run 2", "cmr10-run2"),
            ("cmr10", "", "cmr10"),
            ("cmr10", "(x)/[y]%", "cmr10-xy"),
            ("\u65e5\u672c", "\u30bf\u30b0", "font"),
            ("c" * 60, "tag", "c" * 60 + "-ta"),
        ]
        for stem, tag, expected in cases:
            with self.subTest(stem=stem, tag=tag):
                self.assertEqual(make_cd.postscript_name(stem, tag), expected)

    def test_non_ascii_names_still_give_a_valid_font(self):
        family = "\u65e5\u672c\u8a9e \u30bf\u30b0"
        font = read_font(make_cd.make_font("\u65e5\u672c\u8a9e",
                                           "\u30bf\u30b0"))
        self.assertEqual(names_of(font, 1)[3, 1, 0x409], family)


class NamesTest(unittest.TestCase):
    def test_default_names_are_the_programs_own_set(self):
        names = make_cd.default_names()
        self.assertEqual(len(names), 140)
        self.assertEqual((names[0], names[-1]), ("cmb10", "msbm9"))
        self.assertEqual(len(set(names)), 140)

    def test_block_ends_at_blank_line_or_next_header(self):
        cases = [
            "[Other] x\nnot1\n\n[NewFontSet] cmvtt10\nA\nB\n\nnot2\n",
            "[NewFontSet] cmvtt10\nA\nB\n[Other] x\nnot2\n",
            "[NewFontSet] cmvtt10\nA\nB",
        ]
        for text in cases:
            with self.subTest(text=text), tempfile.TemporaryDirectory() as d:
                path = os.path.join(d, "sets.txt")
                with open(path, "w", encoding="utf-8") as f:
                    f.write(text)
                self.assertEqual(make_cd.default_names(path), ["A", "B"])

    def test_missing_block_is_an_error(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "sets.txt")
            with open(path, "w", encoding="utf-8") as f:
                f.write("[LegacyFontSetA] ASCGRP\nASCGRP\n")
            with self.assertRaises(ValueError):
                make_cd.default_names(path)


class CommandLineTest(unittest.TestCase):
    def run_tool(self, *args):
        return subprocess.run([sys.executable, SCRIPT, *args],
                              capture_output=True, text=True, check=True)

    def test_outdir_gets_name_ttf_per_name(self):
        with tempfile.TemporaryDirectory() as d:
            out = os.path.join(d, "CM-TrueType")
            self.run_tool(out, "--tag", "t1", "cmr10", "cmbx12")
            self.assertEqual(sorted(os.listdir(out)),
                             ["cmbx12.ttf", "cmr10.ttf"])
            with open(os.path.join(out, "cmbx12.ttf"), "rb") as f:
                self.assertEqual(f.read(), make_cd.make_font("cmbx12", "t1"))

    def test_file_writes_exact_path_whatever_its_name(self):
        for file_name in ["CMR10.TTF", "\u30d5\u30a9\u30f3\u30c8.ttf"]:
            with self.subTest(file_name=file_name), \
                    tempfile.TemporaryDirectory() as d:
                path = os.path.join(d, file_name)
                self.run_tool("--file", path, "--stem", "cmr10", "--tag", "x")
                self.assertEqual(os.listdir(d), [file_name])
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), make_cd.make_font("cmr10", "x"))

    def test_list_prints_default_names_and_writes_nothing(self):
        with tempfile.TemporaryDirectory() as d:
            out = os.path.join(d, "out")
            result = self.run_tool(out, "--list")
            self.assertEqual(result.stdout.split(), make_cd.default_names())
            self.assertFalse(os.path.exists(out))

    def test_missing_tag_is_refused(self):
        with tempfile.TemporaryDirectory() as d:
            result = subprocess.run([sys.executable, SCRIPT, d, "cmr10"],
                                    capture_output=True, text=True)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn("--tag", result.stderr)
            self.assertEqual(os.listdir(d), [])


if __name__ == "__main__":
    unittest.main()
