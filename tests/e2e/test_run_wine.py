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
cdrom q
cdrom x empty
box InstallQuestion yes
box FinishedNotice ok
exit 0
broadcasts 1
expect value "cmr12 (TrueType)" sz "cmr12.ttf"
expect file "cmr12.ttf" font disc readonly
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


def box_line(index, name, buttons, icon, answer, codepage="cp932"):
    """A box as the answerer writes it on a Windows of that ANSI code page,
    where the ANSI functions read the Unicode text in that code page."""
    text = run_wine.MESSAGES[name][0].decode("cp932")
    caption = run_wine.CAPTION.decode("cp932")
    return (f"box {index} caption {caption.encode(codepage, 'replace').hex()} "
            f"text {text.encode(codepage, 'replace').hex()} "
            f"wcaption {caption.encode('utf-16-le').hex()} wtext {text.encode('utf-16-le').hex()} "
            f"buttons {buttons} icon {icon} topmost 0 owner 0 answer {answer}")


def file_line(name, content, attributes=0x20):
    return (f"file {name.hex()} {attributes:08x} {len(content)} "
            f"{run_wine.fnv1a(content):016x}")


def good_transcript():
    return [
        "drive c 3",
        "drive q 5",
        box_line(1, "InstallQuestion", "yes,no", 1, "yes"),
        box_line(2, "FinishedNotice", "ok", 0, "ok"),
        "exit 0",
        "broadcasts 1",
        "key 1",
        # names compare without regard to case
        f"value {b'CMR12 (TrueType)'.hex()} 1 {b'cmr12.ttf'.hex()}00",
        f"value {b'Courier'.hex()} 1 {b'coure.fon'.hex()}00",
        file_line(b"cmr12.TTF", run_wine.font_bytes("cmr12", "disc"), 0x21),
        file_line("ソフト.ttf".encode("cp932"), run_wine.PLAIN_TEXT),
        # the system's own font, there before the run
        file_line(b"coure.fon", b"MZ"),
        "before " + " ".join(n.hex() for n in
                             (b"CMR10.TTF", "ソフト.ttf".encode("cp932"), b"COURE.FON")),
        "end",
        "windows 2 10 0 19043",
        "codepage 932",
        "drive x 5",
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
    return lines + ["windows 2 10 0 19043", "codepage 932", "end"]


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


def at(lines, start):
    """The index of the first line that starts with these words."""
    return next(i for i, line in enumerate(lines) if line.startswith(start + " "))


def drop(index):
    return lambda lines: lines[:index] + lines[index + 1:]


class RunnerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scenario = read_scenario(SCENARIO)

    def judge(self, lines, version=None, codepage=932):
        return run_wine.compare(self.scenario, run_wine.parse_transcript("\n".join(lines)),
                                version, codepage)

    def test_reading(self):
        s = self.scenario
        self.assertEqual(s.families, ["nt", "9x"])
        self.assertEqual(s.drives, {"q", "x"})
        self.assertEqual(s.cdroms, {"q": "disc", "x": "empty"})
        self.assertFalse(s.ascii_names())
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
            ("unicode text", put(2, good[2].replace(
                "wtext " + "Mireva".encode("utf-16-le").hex(), "wtext " + "Mireve".encode(
                    "utf-16-le").hex())), "Unicode text"),
            ("unicode caption", put(2, good[2].replace(
                "wcaption " + "Q".encode("utf-16-le").hex(), "wcaption " + "q".encode(
                    "utf-16-le").hex())), "Unicode caption"),
            ("no unicode text", put(2, good[2].split(" wcaption ")[0] + " buttons yes,no icon 1 "
                                    "topmost 0 owner 0 answer yes"), "Unicode text"),
            ("not read-only", put(9, file_line(b"cmr12.TTF", run_wine.font_bytes("cmr12", "disc"))),
             "not read-only"),
            ("read-only", put(10, file_line("ソフト.ttf".encode("cp932"), run_wine.PLAIN_TEXT, 1)),
             "read-only"),
            ("not a cdrom", put(1, "drive q 3"), "drives"),
            ("empty cdrom missing", drop(at(good, "drive x")), "drives"),
            ("other version", put(at(good, "windows"), "windows 2 6 1 7601"), "expected win10"),
            ("9x", put(at(good, "windows"), "windows 1 4 10 1998"), "expected win10"),
            ("no version", drop(at(good, "windows")), "expected win10"),
            ("other code page", put(at(good, "codepage"), "codepage 1252"), "code page 1252"),
        ]
        for name, change, word in cases:
            with self.subTest(name):
                diffs = self.judge(change(good))
                self.assertTrue(any(word in d for d in diffs), diffs)

    def test_version_and_code_page_asked_for(self):
        lines = good_transcript()
        windows = at(lines, "windows")
        self.assertEqual(self.judge(put(windows, "windows 1 4 0 950")(lines), "win95"), [])
        self.assertTrue(self.judge(lines, "win95"))
        self.assertTrue(self.judge(put(windows, "windows 1 4 10 1998")(lines), "win95"))

    def test_another_code_page_compares_the_unicode_text(self):
        # On an English Windows the ANSI functions read the boxes in code
        # page 1252: only the Unicode text tells.
        english = [box_line(1, "InstallQuestion", "yes,no", 1, "yes", "cp1252"),
                   box_line(2, "FinishedNotice", "ok", 0, "ok", "cp1252")]
        lines = good_transcript()
        box = at(lines, "box 1")
        lines[box:box + 2] = english
        codepage = at(lines, "codepage")
        lines[codepage] = "codepage 1252"
        self.assertEqual(self.judge(lines, codepage=1252), [])
        # The same boxes on a Japanese Windows: the ANSI bytes are wrong.
        lines[codepage] = "codepage 932"
        self.assertTrue(any("box 1: text" in d for d in self.judge(lines)))
        # Mojibake in the Unicode text fails under any code page.
        mojibake = run_wine.MESSAGES["FinishedNotice"][0].decode("cp1252", "replace")
        lines[box + 1] = lines[box + 1].replace(
            run_wine.MESSAGES["FinishedNotice"][0].decode("cp932").encode("utf-16-le").hex(),
            mojibake.encode("utf-16-le").hex())
        lines[codepage] = "codepage 1252"
        self.assertTrue(any("box 2: Unicode text" in d for d in self.judge(lines, codepage=1252)))


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


class PlanTest(unittest.TestCase):
    def scenario(self, text):
        return read_scenario(text + "\nexit 0\n")

    def test_versions_run_the_scenarios_of_their_family(self):
        nt, both = self.scenario("family nt"), self.scenario("family both")
        ninex = self.scenario("family 9x")
        host = self.scenario("only host")
        sjis = self.scenario('family both\nvalue "ソ (TrueType)" sz "s.ttf"')
        cases = [
            # versions, lang, runs, skipped
            ([], "ja_JP.UTF-8", [(nt, "win10"), (both, "win10"), (both, "win98"),
                                 (ninex, "win98"), (sjis, "win10"), (sjis, "win98")],
             [host]),
            (["win95", "nt40"], "ja_JP.UTF-8",
             [(nt, "nt40"), (both, "win95"), (both, "nt40"), (ninex, "win95"),
              (sjis, "win95"), (sjis, "nt40")], [host]),
            (["winme"], "ja_JP.UTF-8", [(both, "winme"), (ninex, "winme"), (sjis, "winme")],
             [nt, host]),
            ([], "en_US.UTF-8", [(nt, "win10"), (both, "win10"), (both, "win98"),
                                 (ninex, "win98")], [host, sjis]),
        ]
        for versions, lang, runs, skipped in cases:
            with self.subTest(versions=versions, lang=lang):
                got_runs, got_skipped = run_wine.plan([nt, both, ninex, host, sjis],
                                                      versions, lang)
                self.assertEqual(got_runs, runs)
                self.assertEqual([s for s, _ in got_skipped], skipped)

    def test_a_held_file_with_a_japanese_name_is_not_ascii(self):
        self.assertTrue(self.scenario('held "a.ttf"').ascii_names())
        self.assertFalse(self.scenario('held "ソ.ttf"').ascii_names())

    def test_version_names(self):
        self.assertEqual(run_wine.version_list(["win95,nt40", "win95"]), ["win95", "nt40"])
        with self.assertRaises(SystemExit):
            run_wine.version_list(["win11"])

    def test_an_empty_cdrom_drive_holds_nothing(self):
        for text in ('cdrom e empty\nfile e "a.ttf" text', "cdrom e empty\ncd e disc",
                     "cdrom e empty\ncd e disc later"):
            with self.subTest(text):
                with self.assertRaises(run_wine.ScenarioError):
                    self.scenario(text)

    def test_registry_file_values(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "user.reg")
            with open(path, "w") as f:
                f.write('WINE REGISTRY Version 2\n\n[Software\\\\Wine] 1\n#time=1\n'
                        '"Version"="win7"\n"Other"="x"\n\n[Software\\\\Wine\\\\Fonts] 2\n')
            run_wine.add_reg_values(path, "Software\\Wine", [("Version", "win95")])
            run_wine.add_reg_values(path, "Software\\Wine\\Drives", [("q:", "cdrom")])
            with open(path) as f:
                lines = f.read().split("\n")
        self.assertEqual(lines[:9], ["WINE REGISTRY Version 2", "", "[Software\\\\Wine] 1",
                                     "#time=1", '"Version"="win95"', '"Other"="x"', "",
                                     "[Software\\\\Wine\\\\Fonts] 2", ""])
        self.assertTrue(lines[9].startswith("[Software\\\\Wine\\\\Drives] "))
        self.assertEqual(lines[10:], ['"q:"="cdrom"', ""])


if __name__ == "__main__":
    unittest.main()
