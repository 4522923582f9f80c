"""The Wine runner's own reading of scenario files and judging of
transcripts, without Wine: a runner that passes what it should fail proves
nothing."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import run_wine  # noqa: E402

SCENARIO = r'''# a small run with every kind of expectation
family both
value "cmr10 (TrueType)" sz "cmr10.ttf"
file fonts "CMR10.TTF" font old readonly
file fonts "ソフト.ttf" text
file q "CM-TrueType\\cmr12.ttf" font disc
box InstallQuestion yes
box FinishedNotice ok
exit 0
broadcasts 1
expect value "cmr12 (TrueType)" sz "cmr12.ttf"
expect file "cmr12.ttf" font disc
expect file "ソフト.ttf" text
'''


def box_line(index, name, buttons, icon, answer):
    text = run_wine.MESSAGES[name][0]
    return (f"box {index} caption {run_wine.CAPTION.hex()} text {text.hex()} buttons {buttons} "
            f"icon {icon} topmost 0 owner 0 answer {answer}")


def file_line(name, content):
    return f"file {name.hex()} 00000020 {len(content)} {run_wine.fnv1a(content):016x}"


def good_transcript():
    return [
        "drive c 3",
        "drive q 3",
        box_line(1, "InstallQuestion", "yes,no", 1, "yes"),
        box_line(2, "FinishedNotice", "ok", 0, "ok"),
        "exit 0",
        "broadcasts 1",
        "key 1",
        # names compare without regard to case
        f"value {b'CMR12 (TrueType)'.hex()} 1 {b'cmr12.ttf'.hex()}00",
        f"value {b'Courier'.hex()} 1 {b'coure.fon'.hex()}00",
        file_line(b"cmr12.TTF", run_wine.font_bytes("cmr12", "disc")),
        file_line("ソフト.ttf".encode("cp932"), run_wine.PLAIN_TEXT),
        "end",
    ]


class RunnerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with tempfile.NamedTemporaryFile("w", suffix=".scn", delete=False,
                                         encoding="utf-8") as f:
            f.write(SCENARIO)
        cls.scenario = run_wine.Scenario(f.name)
        os.remove(f.name)

    def judge(self, lines):
        return run_wine.compare(self.scenario, run_wine.parse_transcript("\n".join(lines)))

    def test_reading(self):
        s = self.scenario
        self.assertEqual(s.families, ["nt", "9x"])
        self.assertEqual(s.drives, {"q"})
        self.assertEqual(s.fonts_files[0][0], b"CMR10.TTF")
        self.assertTrue(s.fonts_files[0][2])
        self.assertEqual(s.fonts_files[0][1], run_wine.font_bytes("CMR10", "old"))
        self.assertEqual(s.values, [(b"cmr10 (TrueType)", 1, b"cmr10.ttf\0")])
        # The second byte of ソ is a backslash: the path keeps its name.
        self.assertEqual(run_wine.to_unix("d\\ソフト.ttf".encode("cp932")),
                         os.path.join(b"d", "ソフト.ttf".encode("utf-8")))
        self.assertEqual(run_wine.stem_of("ソフト.ttf".encode("cp932")), "ソフト")
        self.assertEqual(run_wine.tokenize(r'value "a\x81\\\"" sz', "x"),
                         ["value", b'a\x81\\"', "sz"])

    def test_the_expected_run_passes(self):
        self.assertEqual(self.judge(good_transcript()), [])

    def test_every_difference_is_reported(self):
        good = good_transcript()
        value = b"cmr12 (TrueType)".hex()

        def put(index, line):      # replace line INDEX
            return lambda lines: lines[:index] + [line] + lines[index + 1:]

        def add(index, line):      # insert before line INDEX
            return lambda lines: lines[:index] + [line] + lines[index:]

        def drop(index):
            return lambda lines: lines[:index] + lines[index + 1:]

        cases = [
            ("box text", put(2, box_line(1, "FinishedNotice", "yes,no", 1, "yes")), "text"),
            ("buttons", put(2, box_line(1, "InstallQuestion", "ok", 1, "yes")), "buttons"),
            ("icon", put(2, box_line(1, "InstallQuestion", "yes,no", 0, "yes")), "icon"),
            ("owner", put(2, good[2].replace("owner 0", "owner 1")), "owner"),
            ("caption", put(2, good[2].replace(run_wine.CAPTION.hex(), "78")), "caption"),
            ("a box more", add(4, box_line(3, "FinishedNotice", "ok", 0, "close")),
             "unexpected"),
            ("a box less", drop(3), "never came"),
            ("exit code", put(4, "exit 1"), "exit code"),
            ("broadcasts", put(5, "broadcasts 2"), "broadcasts"),
            ("value data", put(7, f"value {value} 1 7800"), "cmr12"),
            ("value type", put(7, f"value {value} 2 {b'cmr12.ttf'.hex()}00"), "type 2"),
            ("value missing", drop(7), "missing"),
            ("value left", add(8, f"value {b'CMR10 (TrueType)'.hex()} 1 00"), "should be gone"),
            ("file content", put(9, file_line(b"cmr12.ttf", run_wine.font_bytes("cmr12", "x"))),
             "other content"),
            ("file missing", drop(10), "missing"),
            ("file left", add(10, file_line(b"cmr10.ttf", b"")), "should be gone"),
            ("a drive more", add(1, "drive z 3"), "drives"),
            ("no end", drop(11), "incomplete"),
            ("answerer error", add(11, "error timeout after 270 s"), "timeout"),
            ("insert failed", add(4, "moved 0 2"), "moved"),
        ]
        for name, change, word in cases:
            with self.subTest(name):
                diffs = self.judge(change(good))
                self.assertTrue(any(word in d for d in diffs), diffs)

if __name__ == "__main__":
    unittest.main()
