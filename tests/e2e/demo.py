#!/usr/bin/python3
"""The demo of scripts/demo: setup.exe under Wine with a sample CD in q:.

    demo.py [--setup PATH] [--answerer PATH] [--keep]

Makes a throwaway Wine prefix (Windows 10) and the sample CD folder
(tools/make_cd.py, tag "demo"), maps the CD folder's parent as drive q:, a
CD-ROM drive whose files are read-only as on a pressed disc, and runs
setup.exe through answerer.exe, which prints each box as it appears.
With a display ($DISPLAY) the person at it answers the boxes; without one
the demo runs under Xvfb and answers Yes and OK itself. It ends with what
the run left: the fonts of the program's set registered in the system font
list, the files added to the Fonts folder (read-only copies, as Windows
copies them from a CD), and setup.exe's exit code.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import run_wine  # noqa: E402  (it puts tools/ on the path)
import make_cd  # noqa: E402

KEY = run_wine.KEYS["nt"]
DRIVE_TYPES = {run_wine.DRIVE_FIXED: "fixed", run_wine.DRIVE_CDROM: "CD-ROM"}


def text(data):
    return data.decode("cp932", errors="replace")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--setup", default=os.path.join(run_wine.ROOT, "build", "win32", "setup.exe"))
    parser.add_argument("--answerer",
                        default=os.path.join(run_wine.ROOT, "build", "win32", "answerer.exe"))
    parser.add_argument("--keep", action="store_true", help="keep the prefix and the CD")
    args = parser.parse_args()
    display = os.environ.get("DISPLAY")

    work = tempfile.mkdtemp(prefix="quillset-demo-")
    prefix = os.path.join(work, "prefix")
    env = run_wine.wine_env(prefix)
    try:
        print("Making the sample CD: q:\\CM-TrueType with "
              f"{len(make_cd.default_names())} fonts ...", flush=True)
        cd = os.path.join(work, "cd")
        make_cd.main([os.path.join(cd, "CM-TrueType"), "--tag", "demo"])
        run_wine.press(cd)

        print("Making a Wine prefix (about half a minute) ...", flush=True)
        run_wine.make_prefix(prefix)
        run_wine.set_version(prefix, "win10")
        run_wine.set_cdrom_drives(prefix, ["q"])
        os.symlink(cd, os.path.join(prefix, "dosdevices", "q:"))
        fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
        os.makedirs(fonts, exist_ok=True)
        before = {n.lower() for n in os.listdir(fonts)}

        e2e = os.path.join(prefix, "drive_c", "demo")
        os.makedirs(e2e)
        shutil.copy(args.setup, os.path.join(e2e, "setup.exe"))
        shutil.copy(args.answerer, os.path.join(e2e, "answerer.exe"))
        h = run_wine.hexs
        with open(os.path.join(e2e, "control.txt"), "w") as f:
            f.write("\n".join([
                "transcript " + h(b"C:\\demo\\transcript.txt"),
                "setup " + h(b"C:\\demo\\setup.exe"),
                "key " + h(KEY.encode()),
                "otherwise " + ("none" if display else "yes"),
                "timeout " + ("3600" if display else "600"),
            ]) + "\n")

        script = (f'"{run_wine.WINE}" "C:\\\\demo\\\\answerer.exe" "C:\\\\demo\\\\control.txt"; '
                  f'"{run_wine.WINESERVER}" -w')
        if display:
            print("Starting setup.exe: answer its boxes on your display.", flush=True)
            env["DISPLAY"] = display
            command = ["sh", "-c", script]
        else:
            print("Starting setup.exe under Xvfb; the demo answers Yes and OK.", flush=True)
            command = ["xvfb-run", "-a", "sh", "-c", script]
        process = subprocess.Popen(command, env=env, cwd=os.path.join(prefix, "drive_c"),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        # Print each box as the transcript shows it.
        transcript = os.path.join(e2e, "transcript.txt")
        shown = 0
        while True:
            done = process.poll() is not None
            lines = []
            if os.path.exists(transcript):
                with open(transcript, "rb") as f:
                    lines = f.read().decode("ascii", errors="replace").split("\n")
            boxes = [line for line in lines if line.startswith("box ")]
            for line in boxes[shown:]:
                box = run_wine.parse_transcript(line)["boxes"][0]
                print(f"\n[{box['wcaption'] or text(box['caption'])}]")
                print(box["wtext"] or text(box["text"]))
                answer = box["answer"]
                print(f"  -> {answer if answer != 'none' else 'answered at the display'}",
                      flush=True)
            shown = len(boxes)
            if done:
                break
            time.sleep(0.5)

        t = run_wine.parse_transcript(open(transcript, "rb").read().decode("ascii")
                                      if os.path.exists(transcript) else "")
        own = {run_wine.fold(n.encode() + b" (TrueType)") for n in run_wine.OWN_SET}
        registered = sorted(v[0] for k, v in t["values"].items() if k in own)
        added = sorted(v[0] for k, v in t["files"].items()
                       if text(v[0]).lower() not in before)
        print("\nSummary")
        for error in t["errors"]:
            print(f"  problem: {error}")
        print(f"  fonts registered in HKLM\\{KEY}: {len(registered)} of "
              f"{len(run_wine.OWN_SET)}"
              + (f" ({text(registered[0])} ... {text(registered[-1])})" if registered else ""))
        readonly = [n for n in added
                    if t["files"][run_wine.fold(n)][1] & run_wine.FILE_ATTRIBUTE_READONLY]
        print(f"  files added to the Fonts folder: {len(added)}, {len(readonly)} of them "
              "read-only" + (f" ({text(added[0])} ... {text(added[-1])})" if added else ""))
        drives = ", ".join(f"{letter}: {DRIVE_TYPES.get(kind, kind)}"
                           for letter, kind in sorted(t["drives"].items()))
        print(f"  drives: {drives}; Windows {'.'.join(map(str, t['windows'][1:3]))}"
              f" build {t['windows'][3]}, code page {t['codepage']}" if t["windows"]
              else f"  drives: {drives}")
        print(f"  exit code of setup.exe: {t['exit']}")
        return 0 if t["end"] else 1
    finally:
        subprocess.run([run_wine.WINESERVER, "-k"], env=env, stderr=subprocess.DEVNULL)
        if args.keep:
            print(f"  kept in {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
