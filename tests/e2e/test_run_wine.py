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


# A cut first run, a second run, a hung window and a held file.
RERUN_SCENARIO = r'''window hung
held "cmb10.ttf"
installed old first 2
cd q disc first 2
cut broadcasts 1
rerun
box FinishedNotice ok
exit 0
broadcasts 3
rerun
release "CMB10.TTF"
exit 0
expect set disc first 2
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
        # the system's own font, there before the run
        file_line(b"coure.fon", b"MZ"),
        "before " + " ".join(n.hex() for n in
                             (b"CMR10.TTF", "ソフト.ttf".encode("cp932"), b"COURE.FON")),
        "end",
    ]


def rerun_transcript():
    lines = ["drive c 3", "drive q 3",
             "run 1", "cut 1", f"exit {run_wine.CUT_EXIT}", "broadcasts 1", "time 800",
             "run 2", box_line(1, "FinishedNotice", "ok", 0, "ok"), "exit 0", "broadcasts 3",
             "time 900",
             f"held {b'cmb10.ttf'.hex()} 1", "run 3", "exit 0", "time 100",
             "hung 1", "before", "key 1"]
    for n in ("cmb10", "cmbsy10"):
        lines.append(f"value {(n + ' (TrueType)').encode().hex()} 1 {(n + '.ttf').encode().hex()}00")
        lines.append(file_line((n + ".ttf").encode(), run_wine.font_bytes(n, "disc")))
    return lines + ["end"]


def read_scenario(text):
    with tempfile.NamedTemporaryFile("w", suffix=".scn", delete=False, encoding="utf-8") as f:
        f.write(text)
    try:
        return run_wine.Scenario(f.name)
    finally:
        os.remove(f.name)


def put(index, line):      # replace line INDEX
    return lambda lines: lines[:index] + [line] + lines[index + 1:]


def add(index, line):      # insert before line INDEX
    return lambda lines: lines[:index] + [line] + lines[index:]


def drop(index):
    return lambda lines: lines[:index] + lines[index + 1:]


class RunnerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scenario = read_scenario(SCENARIO)

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
            ("no end", drop(13), "incomplete"),
            ("a file of the run's own left", add(11, file_line(b"cmr12.ttf.part", b"")),
             "should be gone"),
            ("no list of the files before", drop(12), "before the first run"),
            ("answerer error", add(11, "error timeout after 270 s"), "timeout"),
            ("insert failed", add(4, "moved 0 2"), "moved"),
        ]
        for name, change, word in cases:
            with self.subTest(name):
                diffs = self.judge(change(good))
                self.assertTrue(any(word in d for d in diffs), diffs)


class RerunTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scenario = read_scenario(RERUN_SCENARIO)

    def judge(self, lines):
        return run_wine.compare(self.scenario, run_wine.parse_transcript("\n".join(lines)))

    def test_reading(self):
        s = self.scenario
        self.assertTrue(s.hung)
        self.assertEqual(s.held, [b"cmb10.ttf"])
        self.assertEqual([(len(r.boxes), r.exit, r.cut, r.releases) for r in s.runs],
                         [(0, None, 1, []), (1, 0, None, []), (0, 0, None, [b"CMB10.TTF"])])
        self.assertEqual([f[0] for f in s.media_files], ["q", "q"])
        self.assertEqual(sorted(s.expect_values), ["CMB10 (TRUETYPE)", "CMBSY10 (TRUETYPE)"])
        self.assertEqual(len(s.values), 2)

    def test_malformed_runs_are_refused(self):
        for text, word in [
            ("exit 0\ncut broadcasts 2\n", "not both"),
            ("cut broadcasts 2\nrerun\n", "run 2"),
            ("cut broadcasts 2\nbroadcasts 2\nrerun\nexit 0\n", "cut"),
            ("cut broadcasts 0\nrerun\nexit 0\n", "after a broadcast"),
            ("cd q disc first\nexit 0\n", "first"),
            ('held "a.ttf"\nrelease "a.ttf"\nexit 0\n', "later run"),
            ('held "a.ttf"\nexit 0\nrerun\nrelease "b.ttf"\nexit 0\n', "held file"),
        ]:
            with self.subTest(text):
                with self.assertRaises(run_wine.ScenarioError) as caught:
                    read_scenario(text)
                self.assertIn(word, str(caught.exception))

    def test_the_expected_runs_pass(self):
        self.assertEqual(self.judge(rerun_transcript()), [])
        self.assertEqual(run_wine.setup_times(run_wine.parse_transcript(
            "\n".join(rerun_transcript()))), "setup.exe 0.8 + 0.9 + 0.1 s")

    def test_every_difference_is_reported(self):
        good = rerun_transcript()
        cases = [
            ("first run not cut", drop(3), "not cut at broadcast 1"),
            ("cut elsewhere", put(3, "cut 2"), "not cut at broadcast 1"),
            ("cut, other exit", put(4, "exit 3"), "exit code is 3"),
            ("second run's box", put(8, box_line(1, "InstallQuestion", "yes,no", 1, "yes")),
             "run 2: box 1"),
            ("second run's exit", put(9, "exit 1"), "run 2: exit code 1"),
            ("second run's broadcasts", put(10, "broadcasts 4"), "run 2: 4 broadcasts"),
            ("one run less", lambda lines: lines[:2] + lines[7:], "ran 2 times"),
            ("a run more", add(16, "run 4"), "ran 4 times"),
            ("held file replaced", put(12, f"held {b'cmb10.ttf'.hex()} 0"), "deleted or replaced"),
            ("not held", drop(12), "was not held"),
            ("not hung", put(16, "hung 0"), "not a hung one"),
            ("no hung window", drop(16), "not a hung one"),
        ]
        for name, change, word in cases:
            with self.subTest(name):
                diffs = self.judge(change(good))
                self.assertTrue(any(word in d for d in diffs), diffs)

class ManifestTest(unittest.TestCase):
    """The DPI settings that the system read from setup.exe's manifest."""

    def test_dpi_settings(self):
        def line(aware, awareness):
            return f"manifest {run_wine.hexs(aware)} {run_wine.hexs(awareness)}\nend\n"

        cases = [  # (what, transcript, a word of the problem or None)
            ("both aware", line(b"true", b"PerMonitorV2, System"), None),
            ("dpiAware alone", line(b"True/PM", b""), None),
            ("no manifest line", "end\n", "does not tell"),
            ("unreadable manifest", "manifest none\nend\n", "could not read"),
            ("no dpiAware", line(b"", b"PerMonitorV2"), "absent"),
            ("dpiAware false", line(b"false", b""), "dpiAware is false"),
            ("dpiAwareness unaware", line(b"true", b"unaware, system"), "DPI-unaware"),
            ("no level known", line(b"true", b"sharp"), "DPI-unaware"),
        ]
        for what, text, word in cases:
            with self.subTest(what):
                problems = run_wine.manifest_problems(run_wine.parse_transcript(text))
                if word is None:
                    self.assertEqual(problems, [])
                else:
                    self.assertTrue(any(word in p for p in problems), problems)


if __name__ == "__main__":
    unittest.main()
