#!/usr/bin/python3
"""Runs the scenarios of tests/scenarios/ under Wine with the Windows build.

For each scenario and family: a fresh copy of one Wine prefix made for the
whole run, the scenario's Fonts folder files and media laid out, the drive
letters mapped, and answer_boxes.exe (the user) starting setup.exe. Its
transcript is compared with the scenario's expectations, as the host runner
compares the emulation's state.

    wine_scenarios.py [--setup PATH] [--answerer PATH] [--keep DIR] [NAME ...]

The prefix is a 64-bit one: Wine's own services then run natively, while
setup.exe and answer_boxes.exe, both 32-bit, run through its WoW64 support.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, HERE)

import make_cd  # noqa: E402
import scenarios  # noqa: E402

NT_KEY = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
WIN9X_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts"
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver64"
PLAIN_TEXT = b"plain text, not a font\r\n"
LATER_SUFFIX = ".later"


def wine_env(prefix, display):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": prefix,
        "WINEARCH": "win64",
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "LANG": "ja_JP.UTF-8",
        "LC_ALL": "ja_JP.UTF-8",
        "DISPLAY": display,
    })
    return env


def start_display():
    """An Xvfb of our own; returns (process, ":N")."""
    read, write = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read, 16)
        if not chunk:
            raise RuntimeError("Xvfb did not start")
        number += chunk
    os.close(read)
    return server, ":" + number.decode().strip()


def make_base_prefix(prefix, display):
    subprocess.run([WINE, "wineboot", "--init"], env=wine_env(prefix, display),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                   timeout=900)
    # Ends Wine's services; the server writes the registry out as it stops.
    subprocess.run([WINESERVER, "-k"], env=wine_env(prefix, display), timeout=120)
    subprocess.run([WINESERVER, "-w"], env=wine_env(prefix, display), timeout=120)


def unix_name(name_bytes):
    """Wine maps file names through the UTF-8 locale."""
    return name_bytes.decode("cp932")


def content(file, name_bytes):
    if not file.font:
        return PLAIN_TEXT
    return make_cd.make_font(unix_name(scenarios.fixture_stem(name_bytes)), file.tag)


def write_file(path, data, read_only):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)
    # Wine reports a file without write permission as read-only.
    os.chmod(path, 0o444 if read_only else 0o644)


def lay_out(scenario, family, prefix, media):
    fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
    devices = os.path.join(prefix, "dosdevices")
    # Only the scenario's drives, and c:, exist.
    for entry in os.listdir(devices):
        if len(entry) == 2 and entry[1] == ":" and entry != "c:":
            os.remove(os.path.join(devices, entry))
    for letter in sorted(set(scenario.drives)):
        root = os.path.join(media, letter)
        os.makedirs(root, exist_ok=True)
        os.symlink(root, os.path.join(devices, letter + ":"))
    for letter, path in scenario.directories:
        os.makedirs(os.path.join(media, letter, *unix_name(path).split("\\")), exist_ok=True)
    for file in scenario.files:
        name = file.path.rsplit(b"\\", 1)[-1]
        if file.drive is None:
            target = os.path.join(fonts, unix_name(file.path))
        else:
            parts = unix_name(file.path).split("\\")
            if file.later:
                parts[0] += LATER_SUFFIX
            target = os.path.join(media, file.drive, *parts)
        write_file(target, content(file, name), file.read_only)
    if family == "9x":
        # Only setup.exe sees the 95/98 family; the answerer stays on NT.
        with open(os.path.join(prefix, "user.reg"), "a", encoding="ascii") as reg:
            reg.write('\n[Software\\\\Wine\\\\AppDefaults\\\\setup.exe] 1700000000\n'
                      '"Version"="win98"\n')


def answers_for(scenario):
    lines = []
    for box in scenario.boxes:
        if box.answer == "insert":
            letters = [f.drive for f in scenario.files if f.later]
            folder = "%s:\\CM-TrueType" % letters[0]
            lines.append("answer insert %s %s" % ((folder + LATER_SUFFIX).encode().hex(),
                                                  folder.encode().hex()))
        else:
            lines.append("answer " + box.answer)
    return lines


def run_one(scenario, family, base, setup, answerer, display, keep):
    work = tempfile.mkdtemp(prefix="wine-scenario-")
    prefix = os.path.join(work, "prefix")
    media = os.path.join(work, "media")
    try:
        subprocess.run(["cp", "-a", "--reflink=auto", base, prefix], check=True)
        lay_out(scenario, family, prefix, media)
        drive_c = os.path.join(prefix, "drive_c")
        shutil.copy(setup, os.path.join(drive_c, "setup.exe"))
        shutil.copy(answerer, os.path.join(drive_c, "answer_boxes.exe"))
        key = NT_KEY if family == "nt" else WIN9X_KEY
        lines = ["setup C:\\setup.exe", "key " + key, "timeout 300"]
        for value in scenario.values:
            lines.append("value %s %d %s" % (value.name.hex(), value.type, value.data.hex()))
        lines += answers_for(scenario)
        with open(os.path.join(drive_c, "in.txt"), "w", encoding="ascii") as out:
            out.write("\n".join(lines) + "\n")

        env = wine_env(prefix, display)
        subprocess.run([WINE, "C:\\answer_boxes.exe", "C:\\in.txt", "C:\\out.txt"], env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=420)
        subprocess.run([WINESERVER, "-k"], env=env, stderr=subprocess.DEVNULL)
        transcript_path = os.path.join(drive_c, "out.txt")
        if not os.path.exists(transcript_path):
            return ["no transcript: answer_boxes.exe did not run"]
        with open(transcript_path, "rb") as f:
            transcript = scenarios.read_transcript(f.read().decode("ascii"))
        fonts = os.path.join(drive_c, "windows", "Fonts")
        return scenarios.compare(scenario, transcript,
                                 lambda name: read_bytes(os.path.join(fonts, unix_name(name))),
                                 content)
    finally:
        if keep:
            target = os.path.join(keep, "%s-%s" % (scenario.name, family))
            shutil.rmtree(target, ignore_errors=True)
            shutil.move(work, target)
        else:
            shutil.rmtree(work, ignore_errors=True)


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--setup", default=os.path.join(ROOT, "build/win32/setup.exe"))
    parser.add_argument("--answerer", default=os.path.join(ROOT, "build/win32/answer_boxes.exe"))
    parser.add_argument("--keep", help="keep each scenario's prefix below this folder")
    parser.add_argument("names", nargs="*", help="scenario files or names (default: all)")
    args = parser.parse_args()

    selected = scenarios.load_all(os.path.join(ROOT, "tests", "scenarios"), args.names)
    server, display = start_display()
    base = tempfile.mkdtemp(prefix="wine-base-")
    passed = failed = skipped = 0
    try:
        started = time.time()
        prefix = os.path.join(base, "prefix")
        make_base_prefix(prefix, display)
        print("Wine prefix made in %.0f s" % (time.time() - started), flush=True)
        for scenario in selected:
            for family in scenario.families:
                label = "%s (%s)" % (scenario.name, family)
                if scenario.host_only:
                    print("skip %s: host only" % label, flush=True)
                    skipped += 1
                    continue
                started = time.time()
                try:
                    problems = run_one(scenario, family, prefix, args.setup, args.answerer,
                                       display, args.keep)
                except subprocess.TimeoutExpired:
                    problems = ["timed out"]
                seconds = time.time() - started
                if problems:
                    failed += 1
                    print("FAIL %s, %.0f s:" % (label, seconds), flush=True)
                    for problem in problems:
                        print("     " + problem, flush=True)
                else:
                    passed += 1
                    print("ok   %s, %.0f s" % (label, seconds), flush=True)
    finally:
        subprocess.run([WINESERVER, "-k"], env=wine_env(os.path.join(base, "prefix"), display),
                       stderr=subprocess.DEVNULL)
        server.terminate()
        shutil.rmtree(base, ignore_errors=True)
    summary = "%d passed, %d failed" % (passed, failed)
    if skipped:
        summary += ", %d skipped" % skipped
    print(summary)
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
