"""The scenario files of tests/scenarios/ (their README gives the format)
and the comparison of an answer_boxes.exe transcript with them."""
import os
import re

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DATA = os.path.join(ROOT, "tests", "data")


def _blocks(path):
    """{name: (rest of the [Name] line, [lines])} of a tests/data file."""
    blocks, current = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f.read().split("\n"):
            if not line:
                current = None
            elif line.startswith("#"):
                continue
            elif line.startswith("["):
                name, rest = re.match(r"\[(\w+)\] ?(.*)", line).groups()
                current = blocks.setdefault(name, (rest, []))
            elif current is not None:
                current[1].append(line)
    return blocks


FONT_SETS = {name: lines for name, (_, lines) in _blocks(os.path.join(DATA, "font_sets.txt")).items()}
OWN_SET = FONT_SETS["NewFontSet"]
MESSAGES = {name: ("\n".join(lines).encode("cp932"), int(rest, 16) if rest else 0)
            for name, (rest, lines) in _blocks(os.path.join(DATA, "messages.txt")).items()}


class Value:
    def __init__(self, name, type_, data):
        self.name, self.type, self.data = name, type_, data


class File:
    def __init__(self, drive, path, font, tag, read_only=False, later=False):
        self.drive, self.path, self.font, self.tag = drive, path, font, tag
        self.read_only, self.later = read_only, later


class Box:
    def __init__(self, name, answer):
        self.name, self.answer = name, answer


class Scenario:
    def __init__(self, name):
        self.name = name
        self.families = ["nt"]
        self.host_only = False
        self.values, self.files, self.directories, self.drives = [], [], [], []
        self.boxes = []
        self.exit_code = None
        self.broadcasts = None
        self.expected_values, self.expected_files = [], []


def _words(line):
    """Words of a line; a quoted word becomes ("str", its code page 932 bytes)."""
    words, i = [], 0
    while i < len(line):
        if line[i] in " \t":
            i += 1
            continue
        if line[i] != '"':
            end = i
            while end < len(line) and line[end] not in " \t":
                end += 1
            words.append(line[i:end])
            i = end
            continue
        data, i = b"", i + 1
        while True:
            if i >= len(line):
                raise ValueError("unterminated string")
            c = line[i]
            if c == '"':
                break
            if c == "\\":
                nxt = line[i + 1] if i + 1 < len(line) else ""
                if nxt == "x":
                    data += bytes([int(line[i + 2:i + 4], 16)])
                    i += 4
                    continue
                if nxt in '\\"':
                    data += nxt.encode()
                    i += 2
                    continue
                raise ValueError("unknown escape")
            data += c.encode("cp932")
            i += 1
        words.append(("str", data))
        i += 1
    return words


def _str(words, i):
    if i >= len(words) or not isinstance(words[i], tuple):
        raise ValueError("string expected at word %d" % (i + 1))
    return words[i][1]


def _value(words, i):
    name, kind = _str(words, i), words[i + 1]
    if kind == "sz":
        return Value(name, 1, _str(words, i + 2) + b"\0")
    if kind == "raw":
        return Value(name, int(words[i + 2]), _str(words, i + 3))
    raise ValueError("sz or raw expected")


def _content(words, i, drive, path, later=False):
    font = words[i] == "font"
    if not font and words[i] != "text":
        raise ValueError("font or text expected")
    tag = words[i + 1] if font else None
    rest = i + 2 if font else i + 1
    read_only = rest < len(words) and words[rest] == "readonly"
    return File(drive, path, font, tag, read_only, later)


def _statement(w, s):
    k = w[0]
    if k == "family":
        s.families = ["nt", "9x"] if w[1] == "both" else [w[1]]
    elif k == "only" and w[1] == "host":
        s.host_only = True
    elif k == "rights":
        s.host_only = True  # Wine cannot refuse the rights check
    elif k == "value":
        s.values.append(_value(w, 1))
    elif k == "file":
        drive = None if w[1] == "fonts" else w[1]
        s.files.append(_content(w, 3, drive, _str(w, 2)))
        if drive:
            s.drives.append(drive)
    elif k == "dir":
        s.directories.append((w[1], _str(w, 2)))
        s.drives.append(w[1])
    elif k == "drive":
        s.drives.append(w[1])
    elif k == "cd":
        later = len(w) > 3 and w[3] == "later"
        for name in OWN_SET:
            s.files.append(File(w[1], b"CM-TrueType\\" + name.encode() + b".ttf", True, w[2],
                                False, later))
        s.drives.append(w[1])
    elif k == "installed":
        for name in OWN_SET:
            s.values.append(Value((name + " (TrueType)").encode(), 1, (name + ".ttf\0").encode()))
            s.files.append(File(None, (name + ".ttf").encode(), True, w[1]))
    elif k == "box":
        s.boxes.append(Box(w[1], w[2]))
    elif k == "exit":
        s.exit_code = int(w[1])
    elif k == "broadcasts":
        s.broadcasts = int(w[1])
    elif k == "expect" and w[1] == "value":
        s.expected_values.append(_value(w, 2))
    elif k == "expect" and w[1] == "file":
        s.expected_files.append(_content(w, 3, None, _str(w, 2)))
    elif k == "expect" and w[1] == "set":
        for name in OWN_SET:
            s.expected_values.append(
                Value((name + " (TrueType)").encode(), 1, (name + ".ttf\0").encode()))
            s.expected_files.append(File(None, (name + ".ttf").encode(), True, w[2]))
    else:
        raise ValueError("unknown statement " + k)


def parse(name, text):
    s = Scenario(name)
    for number, line in enumerate(text.split("\n"), 1):
        if not line.strip() or line.strip().startswith("#"):
            continue
        try:
            _statement(_words(line), s)
        except (ValueError, IndexError) as e:
            raise ValueError("%s:%d: %s" % (name, number, e))
    if s.exit_code is None:
        raise ValueError("%s: no exit statement" % name)
    return s


def load_all(folder, names=()):
    result = []
    for file in sorted(os.listdir(folder)):
        if not file.endswith(".scn"):
            continue
        stem = file[:-4]
        if names and stem not in names and file not in names:
            continue
        with open(os.path.join(folder, file), encoding="utf-8") as f:
            result.append(parse(stem, f.read()))
    return result


def fixture_stem(name):
    dot = name.rfind(b".")
    return name if dot <= 0 else name[:dot]


def lower(data):
    """ASCII letters only, as Windows compares these names."""
    return bytes(c + 32 if 65 <= c <= 90 else c for c in data)


def read_transcript(text):
    t = {"boxes": [], "exit": None, "fontchange": None, "values": [], "files": [], "errors": []}
    for line in text.splitlines():
        word, _, rest = line.partition(" ")
        if word == "box":
            fields = dict(item.split("=", 1) for item in rest.split(" "))
            t["boxes"].append(fields)
        elif word == "exit":
            t["exit"] = int(rest)
        elif word == "fontchange":
            t["fontchange"] = int(rest)
        elif word == "value":
            name, type_, data = (rest.split(" ") + [""])[:3]
            t["values"].append(Value(bytes.fromhex(name), int(type_), bytes.fromhex(data)))
        elif word == "file":
            name, attributes = rest.split(" ")
            t["files"].append((bytes.fromhex(name), int(attributes, 16)))
        elif word == "error":
            t["errors"].append(rest)
    return t


BUTTONS = {0: "ok", 1: "ok,cancel", 4: "yes,no"}


def _box_name(text):
    for name, (data, _) in MESSAGES.items():
        if data == text:
            return name
    return "unknown"


def compare(s, t, read_font_file, content):
    """The differences between the scenario's expectations and a transcript."""
    problems = ["answerer: " + e for e in t["errors"]]
    shown = [_box_name(bytes.fromhex(b["text"])) for b in t["boxes"]]
    if shown != [b.name for b in s.boxes]:
        problems.append("boxes %s, expected %s" % (shown, [b.name for b in s.boxes]))
    for i, (box, expected) in enumerate(zip(t["boxes"], s.boxes)):
        text, flags = MESSAGES[expected.name]
        if bytes.fromhex(box["caption"]) != MESSAGES["SetupTitle"][0]:
            problems.append("box %d: caption %r" % (i, bytes.fromhex(box["caption"])))
        if bytes.fromhex(box["text"]) != text:
            problems.append("box %d: text differs from %s" % (i, expected.name))
        if box["buttons"] != BUTTONS[flags & 0xF]:
            problems.append("box %d: buttons %s, expected %s" % (i, box["buttons"], BUTTONS[flags & 0xF]))
        if box["icon"] != ("1" if flags & 0xF0 else "0"):
            problems.append("box %d: icon %s" % (i, box["icon"]))
        if box["owner"] != "0":
            problems.append("box %d: has an owner" % i)
    if t["exit"] != s.exit_code:
        problems.append("exit code %s, expected %d" % (t["exit"], s.exit_code))
    if s.broadcasts is not None and t["fontchange"] != s.broadcasts:
        problems.append("WM_FONTCHANGE %s times, expected %d" % (t["fontchange"], s.broadcasts))

    watched = {lower((n + " (TrueType)").encode()) for names in FONT_SETS.values() for n in names}
    watched |= {lower(v.name) for v in s.values + s.expected_values}
    actual = {lower(v.name): v for v in t["values"] if lower(v.name) in watched}
    for v in s.expected_values:
        found = actual.pop(lower(v.name), None)
        if found is None:
            problems.append("value missing: %r" % v.name)
        elif (found.type, found.data) != (v.type, v.data):
            problems.append("value %r is %d %r, expected %d %r"
                            % (v.name, found.type, found.data, v.type, v.data))
    for v in actual.values():
        problems.append("value not expected: %r = %r" % (v.name, v.data))

    watched = {lower((n + ".ttf").encode()) for names in FONT_SETS.values() for n in names}
    watched |= {lower(f.path) for f in s.files if f.drive is None}
    watched |= {lower(f.path) for f in s.expected_files}
    files = {lower(name): name for name, _ in t["files"] if lower(name) in watched}
    for f in s.expected_files:
        name = files.pop(lower(f.path), None)
        if name is None:
            problems.append("file missing: %r" % f.path)
        elif read_font_file(name) != content(f, f.path):
            problems.append("file %r does not hold %s" % (f.path, f.tag or "the text"))
    for name in files.values():
        problems.append("file not expected: %r" % name)
    return problems
