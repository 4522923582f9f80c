#!/usr/bin/python3
"""Runs the scenarios of tests/scenarios/ under Wine with the Windows build.

Every scenario runs once for each family it names (a `family both` scenario
twice), under the family's default Windows version (win10 for NT, win98 for
the 95/98 family), in a fresh copy of one Wine prefix made for the whole
run: the Windows version is set in the copy's registry, the scenario's
drives are mapped under dosdevices/ (and nothing else but c:) with their
drive types, its Fonts folder files and media are laid out, and
answerer.exe seeds the system font list, starts setup.exe, answers its
boxes and writes a transcript, which is then compared with the scenario's
expectations as tests/scenarios/README.md says. The transcript also tells
the Windows version and ANSI code page the programs saw; a run that saw
other ones than were asked for fails.

    run_wine.py [--setup PATH] [--answerer PATH] [--keep] [--jobs N]
                [--timeout SECONDS] [--version NAME[,NAME...]]
                [--lang LOCALE] [SCENARIO ...]

--version runs the scenarios under the named Windows versions instead
(repeatable; see VERSIONS); a scenario runs under a version only when it
names the version's family. --lang is the Unix locale Wine runs in, which
gives Windows its ANSI code page: ja_JP.UTF-8 (932, the default) or
en_US.UTF-8 (1252, an English Windows); under the latter a scenario whose
names are not all ASCII is skipped.

SCENARIO is a path or a name (install_fresh, install_fresh.scn). Prints one
line per run with the seconds it took, prefix and all, and the seconds
setup.exe itself ran (one figure for each start of setup.exe in the
scenario), and closes with "N passed, N failed[, N skipped]"; the exit code
is 1 when a run failed. --timeout bounds each start of setup.exe (270
seconds by default); one that takes longer is terminated and fails.
"""
import argparse
import concurrent.futures
import itertools
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SCENARIOS = os.path.join(ROOT, "tests", "scenarios")
DATA = os.path.join(ROOT, "tests", "data")
sys.path.insert(0, os.path.join(ROOT, "tools"))

import make_cd  # noqa: E402

# With wine64 beside wine32 the prefix is a 64-bit one: Wine's own services
# then run natively, and only setup.exe and answerer.exe, 32-bit programs,
# run through wine32 (emulated where the kernel has no 32-bit support). As
# on a 64-bit Windows, they see the 32-bit view of the registry.
if os.access("/usr/lib/wine/wine64", os.X_OK):
    WINE, WINEARCH = "/usr/lib/wine/wine64", "win64"
else:
    WINE, WINEARCH = "/usr/lib/wine/wine", "win32"
WINESERVER = "/usr/lib/wine/wineserver"
KEYS = {
    "nt": "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    "9x": "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts",
}
# The Windows versions Wine 8 offers (HKCU\Software\Wine\Version), with
# their family and what GetVersionExA then reports: platform id, major and
# minor version. Wine has no win11: Windows 11 reports itself as 10.0.
VERSIONS = {
    "win95": ("9x", 1, 4, 0),
    "win98": ("9x", 1, 4, 10),
    "winme": ("9x", 1, 4, 90),
    "nt40": ("nt", 2, 4, 0),
    "win2k": ("nt", 2, 5, 0),
    "winxp": ("nt", 2, 5, 1),
    "vista": ("nt", 2, 6, 0),
    "win7": ("nt", 2, 6, 1),
    "win8": ("nt", 2, 6, 2),
    "win81": ("nt", 2, 6, 3),
    "win10": ("nt", 2, 10, 0),
}
# The version a family's scenarios run under when none is asked for.
DEFAULT_VERSIONS = {"nt": "win10", "9x": "win98"}
# The Unix locales Wine can run in (scripts/bootstrap makes them), and the
# ANSI code page each gives Windows.
LANGS = {"ja_JP.UTF-8": 932, "en_US.UTF-8": 1252}
# GetDriveTypeA's numbers for the drive types the scenarios make.
DRIVE_FIXED, DRIVE_CDROM = 3, 5
FILE_ATTRIBUTE_READONLY = 0x1
PLAIN_TEXT = b"plain text, not a font\r\n"
MEDIA_FOLDER = b"CM-TrueType"
BUTTONS = {0x0: "ok", 0x1: "ok,cancel", 0x4: "yes,no"}
SETUP_TIMEOUT = 270  # seconds for one start of setup.exe, by default
# The exit code that a run ended by a cut gets from TerminateProcess.
CUT_EXIT = 137


class ScenarioError(Exception):
    pass


# --- the data files --------------------------------------------------------

def read_blocks(path):
    """{name: (rest of its [Name] line, [lines])} of a tests/data file."""
    blocks, current = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f.read().split("\n"):
            if line.startswith("#"):
                continue
            if not line.strip():
                current = None
            elif line.startswith("["):
                name, _, rest = line[1:].partition("]")
                current = blocks.setdefault(name, (rest.strip(), []))[1]
            elif current is not None:
                current.append(line)
    return blocks


FONT_SETS = {name: lines for name, (_, lines) in
             read_blocks(os.path.join(DATA, "font_sets.txt")).items()}
OWN_SET = FONT_SETS["NewFontSet"]
MESSAGES = {name: ("\n".join(lines).encode("cp932"), int(rest, 16) if rest else None)
            for name, (rest, lines) in
            read_blocks(os.path.join(DATA, "messages.txt")).items()}
CAPTION = MESSAGES["SetupTitle"][0]


# --- byte strings and names --------------------------------------------------

def fold(name):
    """A key under which names compare without regard to case, as Windows
    compares them: only letters change, never the second byte of a
    double-byte character."""
    text = name.decode("cp932", errors="surrogateescape")
    return "".join(c.upper() if "a" <= c <= "z" else c for c in text)


def wide_show(text):
    """Unicode text, or None, as readable text in a message."""
    if text is None:
        return "(none)"
    return '"' + text.replace("\n", "\\n").replace("\0", "\\0") + '"'


def show(data):
    """Bytes as readable text in a message."""
    text = data.decode("cp932", errors="backslashreplace")
    return '"' + text.replace("\n", "\\n").replace("\0", "\\0") + '"'


def components(path):
    """The components of a code page 932 path, as text. The split is made
    on characters, since the second byte of a double-byte character can be
    a backslash (0x5C, as in ソ)."""
    try:
        return [p for p in path.decode("cp932").split("\\") if p]
    except UnicodeDecodeError:
        raise ScenarioError(f"{show(path)} is no code page 932 name")


def to_unix(path):
    """The Unix path, relative, that Wine shows as this code page 932 path
    (Wine runs in a UTF-8 locale, so Unix names are UTF-8)."""
    return os.path.join(*[p.encode("utf-8") for p in components(path)])


def stem_of(name):
    """The fixture stem of a file name: its last path component up to the
    last dot."""
    base = components(name)[-1]
    dot = base.rfind(".")
    return base[:dot] if dot > 0 else base


_fonts = {}


def font_bytes(stem, tag):
    if (stem, tag) not in _fonts:
        _fonts[stem, tag] = make_cd.make_font(stem, tag)
    return _fonts[stem, tag]


def fnv1a(data):
    h = 0xcbf29ce484222325
    for b in data:
        h = ((h ^ b) * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF
    return h


# --- scenario files ----------------------------------------------------------

def tokenize(line, where):
    """Words and strings of one line; strings come back as bytes."""
    words, i = [], 0
    while i < len(line):
        c = line[i]
        if c in " \t":
            i += 1
        elif c == '"':
            out, text, i = bytearray(), [], i + 1
            while True:
                if i >= len(line):
                    raise ScenarioError(f"{where}: unterminated string")
                c = line[i]
                if c == '"':
                    i += 1
                    break
                if c == "\\":
                    nxt = line[i + 1:i + 2]
                    if nxt in ('"', "\\"):
                        text.append(nxt)
                        i += 2
                        continue
                    if nxt == "x":
                        out += "".join(text).encode("cp932")
                        text = []
                        out.append(int(line[i + 2:i + 4], 16))
                        i += 4
                        continue
                    raise ScenarioError(f"{where}: unknown escape \\{nxt}")
                text.append(c)
                i += 1
            out += "".join(text).encode("cp932")
            words.append(bytes(out))
        else:
            start = i
            while i < len(line) and line[i] not in " \t":
                i += 1
            words.append(line[start:i])
    return words


def own_names(options, where):
    """The own set's names, or the first N after "first N"; and the words
    after those."""
    if options[:1] == ["first"]:
        if len(options) < 2 or not options[1].isdigit():
            raise ScenarioError(f"{where}: first N")
        return OWN_SET[:int(options[1])], options[2:]
    return OWN_SET, options


class Run:
    """One start of setup.exe: its boxes and how it ends."""

    def __init__(self):
        self.boxes = []           # (message name, answer)
        self.exit = None
        self.broadcasts = None
        self.cut = None           # ended right after this broadcast
        self.releases = []        # held files let go before the start


class Scenario:
    def __init__(self, path):
        self.path = path
        self.name = os.path.splitext(os.path.basename(path))[0]
        self.families = ["nt"]
        self.host_only = False
        self.host_reason = None
        self.values = []          # (name, type, data)
        self.fonts_files = []     # (name, content, readonly)
        self.media_files = []     # (letter, path, content)
        self.dirs = []            # (letter, path)
        self.drives = set()
        self.cdroms = {}          # letter -> "disc" or "empty"
        self.later = None         # (letter, tag, names)
        self.hung = False
        self.held = []            # names in the Fonts folder
        self.runs = [Run()]
        self.expect_values = {}   # fold(name) -> (name, type, data)
        self.expect_files = {}    # fold(name) -> (name, content, readonly)
        self.parse()

    def content(self, name, kind, rest, where):
        if kind == "font" and len(rest) >= 1:
            return font_bytes(stem_of(name), rest[0]), rest[1:]
        if kind == "text":
            return PLAIN_TEXT, rest
        raise ScenarioError(f"{where}: expected font TAG or text")

    def value(self, words, where):
        name = words[0]
        if words[1] == "sz" and len(words) == 3:
            return name, 1, words[2] + b"\0"
        if words[1] == "raw" and len(words) == 4:
            return name, int(words[2]), words[3]
        raise ScenarioError(f"{where}: bad value")

    def parse(self):
        with open(self.path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        for number, line in enumerate(lines, 1):
            where = f"{self.path}:{number}"
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            w = tokenize(line, where)
            op, rest = w[0], w[1:]
            if op == "family":
                self.families = {"nt": ["nt"], "9x": ["9x"], "both": ["nt", "9x"]}[rest[0]]
            elif op == "only" and rest == ["host"]:
                self.host_only = True
            elif op == "rights":
                self.host_reason = "a refused rights check"
            elif op == "value":
                self.values.append(self.value(rest, where))
            elif op == "installed":
                names, options = own_names(rest[1:], where)
                if options not in ([], ["readonly"]):
                    raise ScenarioError(f"{where}: installed TAG [first N] [readonly]")
                for n in names:
                    self.values.append(((n + " (TrueType)").encode(), 1, (n + ".ttf\0").encode()))
                    self.fonts_files.append(((n + ".ttf").encode(), font_bytes(n, rest[0]),
                                             options == ["readonly"]))
            elif op == "file" and rest[0] == "fonts":
                content, tail = self.content(rest[1], rest[2], rest[3:], where)
                self.fonts_files.append((rest[1], content, tail == ["readonly"]))
            elif op == "file":
                letter = rest[0]
                content, _ = self.content(rest[1], rest[2], rest[3:], where)
                self.media_files.append((letter, rest[1], content))
                self.drives.add(letter)
            elif op == "dir":
                self.dirs.append((rest[0], rest[1]))
                self.drives.add(rest[0])
            elif op == "cd":
                letter, tag = rest[0], rest[1]
                names, options = own_names(rest[2:], where)
                self.drives.add(letter)
                if options == ["later"]:
                    self.later = (letter, tag, names)
                elif options:
                    raise ScenarioError(f"{where}: cd LETTER TAG [first N] [later]")
                else:
                    for n in names:
                        self.media_files.append((letter, b"CM-TrueType\\" + (n + ".ttf").encode(),
                                                 font_bytes(n, tag)))
            elif op == "drive":
                self.drives.add(rest[0])
            elif op == "cdrom" and rest[1:] in ([], ["empty"]):
                self.cdroms[rest[0]] = "empty" if rest[1:] else "disc"
                self.drives.add(rest[0])
            elif op == "window" and rest == ["hung"]:
                self.hung = True
            elif op == "held" and len(rest) == 1 and isinstance(rest[0], bytes):
                self.held.append(rest[0])
            elif op == "release" and len(rest) == 1 and isinstance(rest[0], bytes):
                if len(self.runs) == 1 or fold(rest[0]) not in {fold(n) for n in self.held}:
                    raise ScenarioError(f"{where}: release a held file in a later run")
                self.runs[-1].releases.append(rest[0])
            elif op == "box":
                if rest[0] not in MESSAGES or MESSAGES[rest[0]][1] is None:
                    raise ScenarioError(f"{where}: unknown box {rest[0]}")
                if rest[1] == "fail":
                    self.host_reason = "a box that fails"
                self.runs[-1].boxes.append((rest[0], rest[1]))
            elif op == "exit":
                self.runs[-1].exit = int(rest[0])
            elif op == "broadcasts":
                self.runs[-1].broadcasts = int(rest[0])
            elif op == "cut" and rest[:1] == ["broadcasts"] and len(rest) == 2:
                if int(rest[1]) < 1:
                    raise ScenarioError(f"{where}: a cut comes after a broadcast")
                self.runs[-1].cut = int(rest[1])
            elif op == "rerun" and not rest:
                self.runs.append(Run())
            elif op == "expect" and rest[0] == "value":
                name, type_, data = self.value(rest[1:], where)
                self.expect_values[fold(name)] = (name, type_, data)
            elif op == "expect" and rest[0] == "file":
                content, tail = self.content(rest[1], rest[2], rest[3:], where)
                self.expect_files[fold(rest[1])] = (rest[1], content, tail == ["readonly"])
            elif op == "expect" and rest[0] == "set":
                names, options = own_names(rest[2:], where)
                if options not in ([], ["readonly"]):
                    raise ScenarioError(f"{where}: expect set TAG [first N] [readonly]")
                for n in names:
                    name = (n + " (TrueType)").encode()
                    self.expect_values[fold(name)] = (name, 1, (n + ".ttf\0").encode())
                    file = (n + ".ttf").encode()
                    self.expect_files[fold(file)] = (file, font_bytes(n, rest[1]),
                                                     options == ["readonly"])
            else:
                raise ScenarioError(f"{where}: unknown statement")
        for letter, state in self.cdroms.items():
            if state == "empty" and (letter in {m[0] for m in self.media_files}
                                     or letter in {d[0] for d in self.dirs}
                                     or (self.later and self.later[0] == letter)):
                raise ScenarioError(f"{self.path}: the empty CD-ROM drive {letter} holds files")
        for number, run in enumerate(self.runs, 1):
            if (run.exit is None) == (run.cut is None):
                raise ScenarioError(f"{self.path}: run {number} needs an exit or a cut, "
                                    "not both")
            if run.cut is not None and run.broadcasts is not None:
                raise ScenarioError(f"{self.path}: run {number} is cut: its broadcasts "
                                    "are the cut's")

    def ascii_names(self):
        """Whether every name and value the scenario writes or expects is
        ASCII: only those read the same on a Windows that is not Japanese."""
        strings = [b for v in self.values for b in (v[0], v[2])]
        strings += [f[0] for f in self.fonts_files] + [m[1] for m in self.media_files]
        strings += [d[1] for d in self.dirs] + self.held
        strings += [b for v in self.expect_values.values() for b in (v[0], v[2])]
        strings += [f[0] for f in self.expect_files.values()]
        strings += [n for run in self.runs for n in run.releases]
        return all(b < 0x80 for s in strings for b in s)

    def watched_values(self):
        names = {fold(n.encode() + b" (TrueType)") for s in FONT_SETS.values() for n in s}
        names |= {fold(v[0]) for v in self.values}
        return names | set(self.expect_values)

    def watched_files(self):
        names = {fold(n.encode() + b".ttf") for s in FONT_SETS.values() for n in s}
        names |= {fold(f[0]) for f in self.fonts_files}
        names |= {fold(n) for n in self.held}
        return names | set(self.expect_files)


# --- Wine --------------------------------------------------------------------

def wine_env(prefix, lang="ja_JP.UTF-8"):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": prefix,
        "WINEARCH": WINEARCH,
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "LANG": lang,
        "LC_ALL": lang,
    })
    env.pop("DISPLAY", None)
    return env


_displays = itertools.count()


def xvfb_run(script, **kwargs):
    """Runs a shell script under a display of its own. Each call starts its
    search for a free display number somewhere else, so that runs started
    at the same moment do not race for the same one."""
    first = 400 + 10 * (next(_displays) % 50)
    return subprocess.run(["xvfb-run", "-a", "-n", str(first), "sh", "-c", script],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kwargs)


def make_prefix(prefix, lang="ja_JP.UTF-8"):
    """A fresh prefix, made once for the whole run."""
    script = f'"{WINE}" wineboot --init; "{WINESERVER}" -w'
    result = xvfb_run(script, env=wine_env(prefix, lang), timeout=900)
    if not os.path.isfile(os.path.join(prefix, "system.reg")):
        sys.stdout.write(result.stdout.decode(errors="replace"))
        raise SystemExit("run_wine: wineboot made no prefix")


def add_reg_values(reg_file, key, values):
    """Adds string values to a key of a stopped prefix's registry file
    (system.reg for HKLM, user.reg for HKCU). Wine reads some settings only
    as its services start, the drive types among them, so they go into the
    files before any Wine process runs."""
    def quoted(text):
        return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'

    lines = [f"{quoted(name)}={quoted(data)}" for name, data in values]
    with open(reg_file, encoding="utf-8", errors="surrogateescape") as f:
        text = f.read().rstrip("\n").split("\n")
    header = "[" + key.replace("\\", "\\\\") + "]"
    at = next((i for i, line in enumerate(text) if line.split(" ")[0] == header), None)
    if at is None:
        text += ["", f"{header} {int(time.time())}"] + lines
    else:
        # The section runs to the next one; a value given anew replaces
        # the one it has.
        end = next((i for i in range(at + 1, len(text)) if text[i].startswith("[")), len(text))
        names = tuple(quoted(name) + "=" for name, _ in values)
        section = [line for line in text[at + 1:end] if not line.startswith(names)]
        text[at + 1:end] = [line for line in section if line.startswith("#")] + lines + \
            [line for line in section if not line.startswith("#")]
    with open(reg_file, "w", encoding="utf-8", errors="surrogateescape") as f:
        f.write("\n".join(text) + "\n")


def set_version(prefix, version):
    """The Windows version every program of the prefix sees."""
    add_reg_values(os.path.join(prefix, "user.reg"), "Software\\Wine",
                   [("Version", version)])


def set_cdrom_drives(prefix, letters):
    """Makes the drive letters CD-ROM drives."""
    if letters:
        add_reg_values(os.path.join(prefix, "system.reg"), "Software\\Wine\\Drives",
                       [(letter + ":", "cdrom") for letter in sorted(letters)])


def press(folder):
    """Makes the files below the folder read-only, as on a pressed disc:
    Wine shows a file without write permission as read-only."""
    for top, _, names in os.walk(folder):
        for name in names:
            os.chmod(os.path.join(top, name), 0o444)


def hexs(data):
    return data.hex() if data else "-"


def lay_out(scenario, version, template, work, setup, answerer, timeout):
    """Make the system the scenario starts on; returns the prefix."""
    family = VERSIONS[version][0]
    prefix = os.path.join(work, "prefix")
    subprocess.run(["cp", "-a", "--reflink=auto", template, prefix], check=True)
    set_version(prefix, version)
    set_cdrom_drives(prefix, scenario.cdroms)
    drive_c = os.path.join(prefix, "drive_c")
    dosdevices = os.path.join(prefix, "dosdevices")
    # Only c: and the scenario's drives: the scan sees nothing else.
    for entry in os.listdir(dosdevices):
        if len(entry) == 2 and entry[1] == ":" and entry != "c:":
            os.remove(os.path.join(dosdevices, entry))
    roots = {"c": drive_c.encode()}
    for letter in sorted(scenario.drives):
        if letter == "c":
            continue
        root = os.path.join(work, "drive_" + letter)
        # A CD-ROM drive without a disc: the letter leads nowhere. Wine
        # reports it as a CD-ROM drive whose root cannot be searched.
        if scenario.cdroms.get(letter) != "empty":
            os.makedirs(root)
        os.symlink(root, os.path.join(dosdevices, letter + ":"))
        roots[letter] = root.encode()

    def unix_path(root, path):
        return os.path.join(root, to_unix(path))

    for letter, path in scenario.dirs:
        os.makedirs(unix_path(roots[letter], path), exist_ok=True)
    for letter, path, content in scenario.media_files:
        target = unix_path(roots[letter], path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(content)
    for letter in scenario.cdroms:
        press(roots[letter])

    fonts = os.path.join(drive_c, "windows", "Fonts").encode()
    os.makedirs(fonts, exist_ok=True)
    for name, content, readonly in scenario.fonts_files:
        target = unix_path(fonts, name)
        with open(target, "wb") as f:
            f.write(content)
        if readonly:
            # Wine shows a file without write permission as read-only, and
            # refuses to delete it until SetFileAttributesA gives it back.
            os.chmod(target, 0o444)

    e2e = os.path.join(drive_c, "e2e")
    os.makedirs(e2e)
    shutil.copy(setup, os.path.join(e2e, "setup.exe"))
    shutil.copy(answerer, os.path.join(e2e, "answerer.exe"))
    control = [
        "transcript " + hexs(b"C:\\e2e\\transcript.txt"),
        "setup " + hexs(b"C:\\e2e\\setup.exe"),
        "key " + hexs(KEYS[family].encode()),
        "timeout " + str(timeout),
    ]
    for name, type_, data in scenario.values:
        control.append(f"value {hexs(name)} {type_} {hexs(data)}")
    if scenario.hung:
        control.append("hang")
    for name in scenario.held:
        control.append("hold " + hexs(name))
    if scenario.later:
        # The later disc waits on c:, outside the drive that it goes into.
        letter, tag, names = scenario.later
        staged = os.path.join(e2e, "later", "CM-TrueType")
        os.makedirs(staged)
        for n in names:
            with open(os.path.join(staged, n + ".ttf"), "wb") as f:
                f.write(font_bytes(n, tag))
        if letter in scenario.cdroms:
            press(staged)
    for number, run in enumerate(scenario.runs):
        if number:
            control.append("run")
        if run.cut is not None:
            control.append(f"cut {run.cut} {CUT_EXIT}")
        for name in run.releases:
            control.append("release " + hexs(name))
        for _, answer in run.boxes:
            if answer == "insert":
                if not scenario.later:
                    raise ScenarioError("an insert answer without a later disc")
                source = b"C:\\e2e\\later\\CM-TrueType"
                target = scenario.later[0].encode() + b":\\CM-TrueType"
                control.append(f"answer insert {hexs(source)} {hexs(target)}")
            else:
                control.append("answer " + answer)
    with open(os.path.join(e2e, "control.txt"), "w") as f:
        f.write("\n".join(control) + "\n")
    return prefix


def run_answerer(prefix, timeout, lang="ja_JP.UTF-8"):
    """Runs answerer.exe; `timeout` is the longest the whole of it may take."""
    script = (f'"{WINE}" "C:\\\\e2e\\\\answerer.exe" "C:\\\\e2e\\\\control.txt"; '
              f'"{WINESERVER}" -k')
    try:
        result = xvfb_run(script, env=wine_env(prefix, lang),
                          cwd=os.path.join(prefix, "drive_c"), timeout=timeout)
        log = result.stdout.decode(errors="replace")
    except subprocess.TimeoutExpired as e:
        subprocess.run([WINESERVER, "-k"], env=wine_env(prefix, lang))
        log = (e.stdout or b"").decode(errors="replace") + "\n(killed after the timeout)"
    path = os.path.join(prefix, "drive_c", "e2e", "transcript.txt")
    try:
        with open(path, "rb") as f:
            return f.read().decode("ascii"), log
    except OSError:
        return None, log


# --- the comparison ----------------------------------------------------------

def unhex(text):
    return b"" if text == "-" else bytes.fromhex(text)


def new_run():
    return {"boxes": [], "moved": [], "exit": None, "broadcasts": None, "cut": None,
            "time": None}


def parse_transcript(text):
    """The transcript as a record; the lines of each start of setup.exe go
    to its own entry of "runs" (lines before any "run" line to the first)."""
    t = {"runs": [], "values": {}, "files": {}, "drives": {}, "errors": [],
         "hung": None, "held": {}, "before": None, "end": False, "windows": None,
         "codepage": None, "manifest": None}

    def run():
        if not t["runs"]:
            t["runs"].append(new_run())
        return t["runs"][-1]

    for line in text.split("\n"):
        w = line.split()
        if not w:
            continue
        if w[0] == "run":
            t["runs"].append(new_run())
        elif w[0] == "box":
            f = dict(zip(w[2::2], w[3::2]))
            wide = {k: unhex(f[k]).decode("utf-16-le", errors="replace") if k in f else None
                    for k in ("wcaption", "wtext")}
            run()["boxes"].append({"caption": unhex(f["caption"]), "text": unhex(f["text"]),
                                   "wcaption": wide["wcaption"], "wtext": wide["wtext"],
                                   "buttons": f["buttons"], "icon": f["icon"] == "1",
                                   "topmost": f["topmost"] == "1", "owner": f["owner"] == "1",
                                   "answer": f["answer"]})
        elif w[0] == "value":
            name = unhex(w[1])
            t["values"][fold(name)] = (name, int(w[2]), unhex(w[3]))
        elif w[0] == "file":
            name = unhex(w[1])
            t["files"][fold(name)] = (name, int(w[2], 16), int(w[3]), int(w[4], 16))
        elif w[0] == "drive":
            t["drives"][w[1]] = int(w[2])
        elif w[0] == "windows":
            t["windows"] = tuple(int(n) for n in w[1:5])
        elif w[0] == "codepage":
            t["codepage"] = int(w[1])
        elif w[0] == "before":
            t["before"] = {fold(unhex(name)) for name in w[1:]}
        elif w[0] == "manifest":
            t["manifest"] = "none" if w[1:] == ["none"] else tuple(
                unhex(v).decode("ascii", errors="replace") for v in w[1:3])
        elif w[0] in ("exit", "broadcasts", "cut", "time"):
            run()[w[0]] = int(w[1])
        elif w[0] == "moved":
            run()["moved"].append(w[1] == "1")
        elif w[0] == "hung":
            t["hung"] = w[1] == "1"
        elif w[0] == "held":
            t["held"][fold(unhex(w[1]))] = w[2] == "1"
        elif w[0] == "error":
            t["errors"].append(line[6:])
        elif w[0] == "end":
            t["end"] = True
    return t


def compare_boxes(want_boxes, got_boxes, label, codepage=932):
    diffs = []
    for i in range(max(len(want_boxes), len(got_boxes))):
        got = got_boxes[i] if i < len(got_boxes) else None
        if i >= len(want_boxes):
            diffs.append(f"{label}box {i + 1}: unexpected box {wide_show(got['wtext'])}")
            continue
        name, _ = want_boxes[i]
        if got is None:
            diffs.append(f"{label}box {i + 1}: {name} never came")
            continue
        text, flags = MESSAGES[name]
        where = f"{label}box {i + 1}"
        # On a Japanese Windows the ANSI text is the program's own bytes;
        # elsewhere only the Unicode text can be compared, with the texts
        # read as code page 932.
        if codepage == 932 and got["text"] != text:
            diffs.append(f"{where}: text {show(got['text'])}, expected {name} {show(text)}")
        if codepage == 932 and got["caption"] != CAPTION:
            diffs.append(f"{where}: caption {show(got['caption'])}, expected {show(CAPTION)}")
        if got["wtext"] != text.decode("cp932"):
            diffs.append(f"{where}: Unicode text {wide_show(got['wtext'])}, expected {name} "
                         f"{wide_show(text.decode('cp932'))}")
        if got["wcaption"] != CAPTION.decode("cp932"):
            diffs.append(f"{where}: Unicode caption {wide_show(got['wcaption'])}, expected "
                         f"{wide_show(CAPTION.decode('cp932'))}")
        if got["buttons"] != BUTTONS[flags & 0xF]:
            diffs.append(f"{where} ({name}): buttons {got['buttons']}, "
                         f"expected {BUTTONS[flags & 0xF]}")
        if got["icon"] != bool(flags & 0xF0):
            diffs.append(f"{where} ({name}): icon {int(got['icon'])}, "
                         f"expected {int(bool(flags & 0xF0))}")
        if got["owner"]:
            diffs.append(f"{where} ({name}): has an owner window")
    return diffs


def compare_run(want, got, label, codepage=932):
    diffs = compare_boxes(want.boxes, got["boxes"], label, codepage)
    if not all(got["moved"]):
        diffs.append(f"{label}the later disc could not be moved into place")
    if want.cut is not None:
        if got["cut"] != want.cut:
            diffs.append(f"{label}not cut at broadcast {want.cut}: it ended with exit code "
                         f"{got['exit']} after {got['broadcasts']} broadcasts")
        elif got["exit"] != CUT_EXIT:
            diffs.append(f"{label}cut, but its exit code is {got['exit']}, "
                         f"not the cut's {CUT_EXIT}")
        return diffs
    if want.exit is not None and got["exit"] != want.exit:
        diffs.append(f"{label}exit code {got['exit']}, expected {want.exit}")
    if want.broadcasts is not None and got["broadcasts"] != want.broadcasts:
        diffs.append(f"{label}{got['broadcasts']} broadcasts, expected {want.broadcasts}")
    return diffs


# What Windows makes of the manifest's DPI settings: dpiAware from Vista
# on, the first level of dpiAwareness that it knows from Windows 10 1607 on.
DPI_AWARE = {"true", "true/pm", "per monitor"}
DPI_LEVELS = {"unaware", "system", "permonitor", "permonitorv2"}


def manifest_problems(t):
    """What keeps the system from drawing setup.exe's boxes DPI-aware, from
    the settings that the system's own parser read from its manifest."""
    if t["manifest"] is None:
        return ["the transcript does not tell the manifest's settings"]
    if t["manifest"] == "none":
        return ["the system could not read setup.exe's manifest"]
    aware, awareness = t["manifest"]
    problems = []
    if aware.strip().lower() not in DPI_AWARE:
        problems.append(f"the manifest's dpiAware is {aware or 'absent'}: "
                        "not DPI-aware before Windows 10 1607")
    if awareness:
        known = [v.strip().lower() for v in awareness.split(",")
                 if v.strip().lower() in DPI_LEVELS]
        if not known or known[0] == "unaware":
            problems.append(f"the manifest's dpiAwareness {awareness} is DPI-unaware")
    return problems


def compare(scenario, t, version=None, codepage=932):
    """The differences between the scenario's expectations and a parsed
    transcript of a run under the Windows version (the family's default
    when None) and ANSI code page, as lines of text; none when they
    agree."""
    version = version or DEFAULT_VERSIONS[scenario.families[0]]
    diffs = [f"answerer: {e}" for e in t["errors"]]
    if not t["end"]:
        diffs.append("the transcript is incomplete")
    seen = t["windows"][:3] if t["windows"] else None
    if seen != VERSIONS[version][1:]:
        diffs.append(f"Windows {seen} (platform, major, minor), expected {version} "
                     f"{VERSIONS[version][1:]}")
    if t["codepage"] != codepage:
        diffs.append(f"code page {t['codepage']}, expected {codepage}")
    want_drives = {letter: DRIVE_CDROM if letter in scenario.cdroms else DRIVE_FIXED
                   for letter in scenario.drives | {"c"}}
    if t["drives"] != want_drives:
        diffs.append(f"drives {sorted(t['drives'].items())}, "
                     f"expected {sorted(want_drives.items())}")

    several = len(scenario.runs) > 1
    if len(t["runs"]) != len(scenario.runs):
        diffs.append(f"setup.exe ran {len(t['runs'])} times, expected {len(scenario.runs)}")
    for number, (want, got) in enumerate(zip(scenario.runs, t["runs"]), 1):
        diffs += compare_run(want, got, f"run {number}: " if several else "", codepage)

    # The bench itself: a window that the system does not take for hung, or
    # a held file that another program could replace, proves nothing.
    if scenario.hung and t["hung"] is not True:
        diffs.append("the window that should hang was not a hung one to the system")
    for name in scenario.held:
        if fold(name) not in t["held"]:
            diffs.append(f"file {show(name)} was not held")
        elif not t["held"][fold(name)]:
            diffs.append(f"file {show(name)} was held, yet deleted or replaced")

    for key in sorted(scenario.watched_values()):
        want, got = scenario.expect_values.get(key), t["values"].get(key)
        if want and not got:
            diffs.append(f"value {show(want[0])} missing")
        elif got and not want:
            diffs.append(f"value {show(got[0])} should be gone (type {got[1]}, {show(got[2])})")
        elif want and (want[1], want[2]) != (got[1], got[2]):
            diffs.append(f"value {show(want[0])}: type {got[1]} {show(got[2])}, "
                         f"expected type {want[1]} {show(want[2])}")

    # Besides the watched files, every file that was not there before the
    # first run: a run must leave nothing of its own behind (a scratch
    # copy, say) that the scenario does not expect.
    watched = scenario.watched_files()
    if t["before"] is None:
        diffs.append("the transcript does not list the Fonts folder before the first run")
    else:
        watched |= set(t["files"]) - t["before"]
    for key in sorted(watched):
        want, got = scenario.expect_files.get(key), t["files"].get(key)
        if want and not got:
            diffs.append(f"file {show(want[0])} missing")
        elif got and not want:
            diffs.append(f"file {show(got[0])} should be gone")
        elif want and (got[2], got[3]) != (len(want[1]), fnv1a(want[1])):
            diffs.append(f"file {show(want[0])}: other content ({got[2]} bytes)")
        elif want and bool(got[1] & FILE_ATTRIBUTE_READONLY) != want[2]:
            diffs.append(f"file {show(want[0])}: " +
                         ("not read-only" if want[2] else "read-only") +
                         f" (attributes {got[1]:x})")
    return diffs


# --- the run -------------------------------------------------------------------

def find_scenarios(selection):
    if not selection:
        return sorted(os.path.join(SCENARIOS, n) for n in os.listdir(SCENARIOS)
                      if n.endswith(".scn"))
    paths = []
    for item in selection:
        if os.path.exists(item):
            paths.append(item)
        else:
            name = item if item.endswith(".scn") else item + ".scn"
            path = os.path.join(SCENARIOS, name)
            if not os.path.exists(path):
                raise SystemExit(f"run_wine: no scenario {item}")
            paths.append(path)
    return paths


def setup_times(t):
    """The seconds each start of setup.exe ran, as "setup.exe 1.2 + 3.4 s"."""
    times = [r["time"] for r in t["runs"] if r["time"] is not None]
    if not times:
        return ""
    return "setup.exe " + " + ".join(f"{ms / 1000:.1f}" for ms in times) + " s"


def run_one(scenario, version, template, args, workroot):
    """Returns the differences, and a note with the times (and the kept
    prefix) for the run's line."""
    work = tempfile.mkdtemp(prefix=f"{scenario.name}-{version}-", dir=workroot)
    started = time.monotonic()
    times = ""
    try:
        prefix = lay_out(scenario, version, template, work, args.setup, args.answerer,
                         args.timeout)
        text, log = run_answerer(prefix, len(scenario.runs) * (args.timeout + 30), args.lang)
        if text is None:
            diffs = ["no transcript"] + log.strip().split("\n")[-5:]
        else:
            t = parse_transcript(text)
            diffs = compare(scenario, t, version, LANGS[args.lang]) + manifest_problems(t)
            times = ", " + setup_times(t) if setup_times(t) else ""
    except ScenarioError as e:
        diffs = [str(e)]
    note = f"{time.monotonic() - started:.0f} s{times}"
    if args.keep:
        note += f" (kept in {work})"
    else:
        shutil.rmtree(work, ignore_errors=True)
    return diffs, note


def version_list(values):
    """The versions of the --version options, in order, each once."""
    versions = []
    for value in values:
        for name in value.split(","):
            if name not in VERSIONS:
                raise SystemExit(f"run_wine: no Windows version {name}; "
                                 f"Wine offers {', '.join(VERSIONS)}")
            if name not in versions:
                versions.append(name)
    return versions


def plan(scenarios, versions, lang):
    """The runs (scenario, version) and the scenarios skipped, with why."""
    runs, skipped = [], []
    for scenario in scenarios:
        if scenario.host_only or scenario.host_reason:
            reason = scenario.host_reason or "only host"
            if not scenario.host_only:
                reason += ", which Wine cannot show, without 'only host'"
            skipped.append((scenario, reason))
            continue
        if LANGS[lang] != 932 and not scenario.ascii_names():
            skipped.append((scenario, f"names that are not ASCII, which read otherwise "
                                      f"under code page {LANGS[lang]}"))
            continue
        if versions:
            mine = [v for v in versions if VERSIONS[v][0] in scenario.families]
            if not mine:
                skipped.append((scenario, "no Windows version of its family asked for"))
        else:
            mine = [DEFAULT_VERSIONS[family] for family in scenario.families]
        runs += [(scenario, version) for version in mine]
    return runs, skipped


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--setup", default=os.path.join(ROOT, "build", "win32", "setup.exe"))
    parser.add_argument("--answerer", default=os.path.join(ROOT, "build", "win32", "answerer.exe"))
    parser.add_argument("--keep", action="store_true", help="keep the prefixes for debugging")
    parser.add_argument("--jobs", type=int, default=2, help="runs at the same time")
    parser.add_argument("--timeout", type=int, default=SETUP_TIMEOUT,
                        help="seconds one start of setup.exe may take")
    parser.add_argument("--version", action="append", default=[],
                        help="Windows versions to run under, e.g. win95,nt40 (repeatable)")
    parser.add_argument("--lang", default="ja_JP.UTF-8", choices=sorted(LANGS),
                        help="the Unix locale, which gives Windows its ANSI code page")
    parser.add_argument("scenarios", nargs="*")
    args = parser.parse_args()
    for path in (args.setup, args.answerer):
        if not os.path.isfile(path):
            raise SystemExit(f"run_wine: {path} is missing; build with cmake --workflow --preset win32")
    versions = version_list(args.version)

    scenarios = []
    for path in find_scenarios(args.scenarios):
        try:
            scenarios.append(Scenario(path))
        except ScenarioError as e:
            print(f"FAIL {os.path.basename(path)}: {e}")
            return 1
    runs, skipped = plan(scenarios, versions, args.lang)

    workroot = tempfile.mkdtemp(prefix="run_wine-")
    failed = 0
    try:
        started = time.monotonic()
        template = os.path.join(workroot, "template")
        make_prefix(template, args.lang)
        print(f"prefix made in {time.monotonic() - started:.0f} s ({args.lang}, "
              f"code page {LANGS[args.lang]})", flush=True)
        for scenario, reason in skipped:
            print(f"skip {scenario.name}: {reason}", flush=True)
        with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
            futures = [(s, v, pool.submit(run_one, s, v, template, args, workroot))
                       for s, v in runs]
            for scenario, version, future in futures:
                diffs, note = future.result()
                if diffs:
                    failed += 1
                    print(f"FAIL {scenario.name} ({version}) {note}: {diffs[0]}")
                    for d in diffs[1:20]:
                        print(f"     {d}")
                    if len(diffs) > 20:
                        print(f"     ... and {len(diffs) - 20} more")
                else:
                    print(f"ok   {scenario.name} ({version}) {note}")
                sys.stdout.flush()
        print(f"wine time {time.monotonic() - started:.0f} s")
    finally:
        if not args.keep:
            shutil.rmtree(workroot, ignore_errors=True)
    summary = f"{len(runs) - failed} passed, {failed} failed"
    if skipped:
        summary += f", {len(skipped)} skipped"
    print(summary)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
