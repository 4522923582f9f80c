#!/usr/bin/python3
"""The bench of scripts/bench: what setup.exe costs, on disk and under Wine.

    bench.py [--build DIR] [--runs N]

It reports; it is not a test, and it has no limits to pass. It prints
setup.exe's size, sections and imports, and then, for each measure, the
median time under Wine of N runs (5 by default) of three programs, each run
in a fresh copy of one template prefix:

  setup   setup.exe, its boxes answered by answerer.exe
  empty   empty.exe, which starts and ends (tests/bench/empty.cpp)
  floor   the floor program of the measure, which makes exactly the Win32
          calls the work cannot do without (tests/bench/floor.cpp)

and the ratio (setup - empty) / (floor - empty): what the program costs
beyond its unavoidable work, 1 being none. The measures:

  install    a fresh install of the 140 fonts of the sample CD in q:
  reinstall  the 140 fonts installed before: their removal, then their
             installation from the CD
  remove     both older sets registered (65 and 89 fonts): their removal;
             the user then declines the installation

The prefix, drives and answerer are tests/e2e/run_wine.py's; every run is
described as a scenario of its own and its end is judged as the scenarios'
are, so a run that did not do the work is reported, never timed. The time
of a run is answerer.exe's, from the start of the program to the moment it
sees it end, in milliseconds: the prefix copy, Wine's start and the reading of
the state afterwards are not in it.
"""
import argparse
import os
import shutil
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "tests", "pe"))

import check_setup_exe  # noqa: E402
import run_wine  # noqa: E402

PROGRAMS = ("setup", "empty", "floor")
OWN, OLDER_A, OLDER_B = (run_wine.FONT_SETS[n] for n in
                         ("NewFontSet", "LegacyFontSetA", "LegacyFontSetB"))


def older_sets(statement=""):
    """Both older sets' values and files, as the start (statement "") or,
    with "expect ", as the end a run must leave."""
    lines = []
    for name in OLDER_A + OLDER_B:
        lines.append(f'{statement}value "{name} (TrueType)" sz "{name}.ttf"')
        lines.append(f'{statement}file{"" if statement else " fonts"} "{name}.ttf" font older')
    return lines


def older_sets_registered():
    return older_sets()


def older_sets_kept():
    return older_sets("expect ")


# Per measure: its starting system, and per program the boxes, the number
# of broadcasts and the end the run must leave, in the scenario language
# of tests/scenarios/README.md. The empty program leaves all as it was.
MEASURES = [
    ("install", "a fresh install of 140 fonts", ["cd q bench"], {
        "setup": ["box InstallQuestion yes", "box FinishedNotice ok", "exit 0",
                  "broadcasts 140", "expect set bench"],
        "floor": ["exit 0", "broadcasts 140", "expect set bench"],
        "empty": ["exit 0", "broadcasts 0"],
    }),
    ("reinstall", "140 fonts removed, then installed", ["installed old", "cd q bench"], {
        "setup": ["box FinishedNotice ok", "exit 0", "broadcasts 280", "expect set bench"],
        "floor": ["exit 0", "broadcasts 280", "expect set bench"],
        "empty": ["exit 0", "broadcasts 0", "expect set old"],
    }),
    ("remove", "both older sets removed, 154 fonts",
     older_sets_registered() + ["cd q bench"], {
         "setup": ["box RemoveLegacyQuestion yes", "box InstallQuestion no",
                   "box FinishedNotice ok", "exit 0", "broadcasts 154"],
         "floor": ["exit 0", "broadcasts 154"],
         "empty": ["exit 0", "broadcasts 0"] + older_sets_kept(),
     }),
]


def image_report(path):
    data = check_setup_exe.read(path)
    image = check_setup_exe.Image(data)
    lines = [f"setup.exe: {len(data)} bytes ({path})", "  sections:"]
    for name, size, rva, raw_size, _, flags in image.sections:
        kind = "code" if flags & check_setup_exe.IMAGE_SCN_MEM_EXECUTE else "data"
        name = name.rstrip(b"\0").decode("ascii", errors="replace")
        lines.append(f"    {name:8} {size:6} bytes in memory, "
                     f"{raw_size:6} in the file  ({kind})")
    imports = image.imports()
    lines.append(f"  imports: {sum(len(f) for f in imports.values())} functions")
    for dll in sorted(imports):
        lines.append(f"    {dll} ({len(imports[dll])}): {', '.join(sorted(imports[dll]))}")
    return lines


def run(measure, program, exe, args, template, workroot):
    """The seconds of one run, or the reason it does not count."""
    name, _, start, ends = measure
    work = tempfile.mkdtemp(prefix=f"{name}-{program}-", dir=workroot)
    try:
        path = os.path.join(work, f"{name}-{program}.scn")
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(["family nt"] + start + ends[program]) + "\n")
        scenario = run_wine.Scenario(path)
        prefix = run_wine.lay_out(scenario, run_wine.DEFAULT_VERSIONS["nt"], template, work,
                                  exe, args.answerer, run_wine.SETUP_TIMEOUT)
        text, log = run_wine.run_answerer(prefix, run_wine.SETUP_TIMEOUT + 30)
        if text is None:
            return None, "no transcript: " + " / ".join(log.strip().split("\n")[-3:])
        transcript = run_wine.parse_transcript(text)
        diffs = run_wine.compare(scenario, transcript)
        if diffs:
            return None, diffs[0] + (f" (and {len(diffs) - 1} more)" if len(diffs) > 1 else "")
        if len(transcript["runs"]) != 1 or transcript["runs"][0]["time"] is None:
            return None, "the transcript holds no time"
        return transcript["runs"][0]["time"] / 1000, None
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "win32"))
    parser.add_argument("--runs", type=int, default=5, help="runs per program and measure")
    args = parser.parse_args()
    args.answerer = os.path.join(args.build, "answerer.exe")
    exes = {"setup": os.path.join(args.build, "setup.exe"),
            "empty": os.path.join(args.build, "bench", "empty.exe")}
    for name, _, _, _ in MEASURES:
        exes["floor", name] = os.path.join(args.build, "bench", f"floor_{name}.exe")
    for path in [args.answerer] + list(exes.values()):
        if not os.path.isfile(path):
            raise SystemExit(f"bench: {path} is missing; build with cmake --workflow --preset win32")

    began = time.monotonic()
    print("\n".join(image_report(exes["setup"])), flush=True)

    workroot = tempfile.mkdtemp(prefix="bench-")
    times = {}
    failures = []
    try:
        template = os.path.join(workroot, "template")
        run_wine.make_prefix(template)
        print(f"\nUnder Wine ({run_wine.WINEARCH} prefix, Windows NT family): "
              f"{args.runs} run(s) of each program per measure, each in a fresh prefix copy;",
              flush=True)
        print("the template prefix was made in "
              f"{time.monotonic() - began:.0f} s.", flush=True)
        # Round by round, so that a slow spell of the machine falls on all
        # programs alike rather than on one.
        for round_ in range(args.runs):
            for measure in MEASURES:
                for program in PROGRAMS:
                    exe = exes["floor", measure[0]] if program == "floor" else exes[program]
                    seconds, why = run(measure, program, exe, args, template, workroot)
                    if why:
                        failures.append(f"{measure[0]} {program} run {round_ + 1}: {why}")
                    else:
                        times.setdefault((measure[0], program), []).append(seconds)
            print(f"  round {round_ + 1} of {args.runs} done "
                  f"({time.monotonic() - began:.0f} s)", flush=True)
    finally:
        shutil.rmtree(workroot, ignore_errors=True)

    print("\nMedian seconds of a run (fastest - slowest in brackets):")
    print(f"  {'measure':48} {'setup':>19} {'empty':>19} {'floor':>19}   ratio")
    for name, what, _, _ in MEASURES:
        cells, medians = [], {}
        for program in PROGRAMS:
            got = times.get((name, program), [])
            if got:
                medians[program] = statistics.median(got)
                cells.append(f"{medians[program]:6.3f} ({min(got):.2f}-{max(got):.2f})")
            else:
                cells.append("-")
        ratio = "-"
        if len(medians) == 3 and medians["floor"] > medians["empty"]:
            ratio = "%.2f" % ((medians["setup"] - medians["empty"]) /
                              (medians["floor"] - medians["empty"]))
        print(f"  {name + ': ' + what:48} " + " ".join(f"{c:>19}" for c in cells) + f"   {ratio}")
    print("  ratio = (setup - empty) / (floor - empty); 1 means nothing beyond the "
          "unavoidable calls")
    for failure in failures:
        print("not counted: " + failure)
    print(f"\nbench took {time.monotonic() - began:.0f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
