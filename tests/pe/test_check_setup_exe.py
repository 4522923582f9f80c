"""The check of the built program against small programs made here, each
with one fault it must find, and manifests that Windows would not take for
DPI-aware.

    /usr/bin/python3 -m unittest discover -s tests/pe -p 'test_*.py'
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import check_setup_exe as check  # noqa: E402

CC = "i686-w64-mingw32-gcc"

# A program without C runtime around one function; "%s" is its body.
PROGRAM = """
unsigned __stdcall ExitProcess(unsigned);
volatile unsigned input = 5, other = 7;
long long wide = 1234567;
void start(void)
{
    unsigned v = input, w = other;
    %s
    ExitProcess(v);
}
"""

# (what, body, compiler options, the instruction the check must report or
# None for a clean program)
PROGRAMS = [
    ("plain i386 code", "v = v < w ? v : w;", ["-march=i386"], None),
    # libgcc's 64-bit division comes in, built for the i686 but clean.
    ("libgcc's division", "v = (unsigned)(wide / (long long)w);", ["-march=i386"], None),
    # A frame beyond 4 KB calls libgcc's stack probe.
    ("libgcc's stack probe",
     "volatile char big[8192]; big[w] = 1; v = big[v];", ["-march=i386"], None),
    ("a byte swap", '__asm__ volatile("bswap %0" : "+r"(v));', ["-march=i386"], "bswap"),
    ("a compare-exchange", '__asm__ volatile("lock cmpxchg %1, %0" : "+m"(w) : "r"(v) : "eax");',
     ["-march=i386"], "cmpxchg"),
    ("cpuid", '__asm__ volatile("cpuid" : "+a"(v) : : "ebx", "ecx", "edx");',
     ["-march=i386"], "cpuid"),
    ("rdtsc", '__asm__ volatile("rdtsc" : "=a"(v) : : "edx");', ["-march=i386"], "rdtsc"),
    ("a conditional move from -march=i686", "v = v < w ? v : w;", ["-march=i686"], "cmov"),
    ("SSE2 from -msse2", "v = (unsigned)((double)v * 1.5);",
     ["-march=pentium4", "-msse2", "-mfpmath=sse"], "xmm"),
    ("the NOP with an operand", '__asm__ volatile(".byte 0x0f, 0x1f, 0x00");', ["-march=i386"],
     "nop DWORD PTR"),
    ("ud2", '__asm__ volatile("ud2");', ["-march=i386"], "ud2"),
]


@unittest.skipUnless(shutil.which(CC) and shutil.which(check.OBJDUMP),
                     "needs the mingw-w64 i686 cross compiler and binutils")
class Instructions(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="pe-check-")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def build(self, body, options):
        source = os.path.join(self.work, "program.c")
        program = os.path.join(self.work, "program.exe")
        with open(source, "w") as f:
            f.write(PROGRAM % body)
        subprocess.run([CC, "-Os", *options, "-nostdlib", "-e", "_start", "-o", program,
                        source, "-lkernel32", "-lgcc"], check=True)
        return program

    def test_programs(self):
        for what, body, options, expected in PROGRAMS:
            with self.subTest(what):
                problems = check.code_problems(self.build(body, options))
                if expected is None:
                    self.assertEqual(problems, [])
                else:
                    self.assertTrue(problems, "no instruction found")
                    self.assertTrue(any(expected in p for p in problems), problems)

    def test_bytes_that_decode_to_nothing(self):
        problems = check.code_problems(
            self.build('__asm__ volatile(".byte 0xff, 0xff");', ["-march=i386"]))
        self.assertTrue(any("are no instruction" in p for p in problems), problems)


# A manifest whose windowsSettings hold SETTINGS.
MANIFEST = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <application xmlns="urn:schemas-microsoft-com:asm.v3">
    <windowsSettings>%s</windowsSettings>
  </application>
</assembly>"""
AWARE = '<dpiAware xmlns="%s">%%s</dpiAware>' % check.WINDOWS_SETTINGS_2005
AWARENESS = '<dpiAwareness xmlns="%s">%%s</dpiAwareness>' % check.WINDOWS_SETTINGS_2016

# (what, manifest, a word of the problem expected or None)
MANIFESTS = [
    ("system-aware", MANIFEST % (AWARE % "true"), None),
    ("per-monitor", MANIFEST % (AWARE % "true/pm"), None),
    ("both settings", MANIFEST % (AWARE % "true" + AWARENESS % "PerMonitorV2, System"), None),
    ("dpiAware false", MANIFEST % (AWARE % "false"), "not DPI-aware"),
    ("dpiAware missing", MANIFEST % "", "does not declare"),
    ("dpiAware in the asm.v3 namespace", MANIFEST % "<dpiAware>true</dpiAware>", "namespace"),
    ("dpiAware in the 2016 namespace",
     MANIFEST % ('<dpiAware xmlns="%s">true</dpiAware>' % check.WINDOWS_SETTINGS_2016),
     "namespace"),
    ("dpiAwareness unaware",
     MANIFEST % (AWARE % "true" + AWARENESS % "unaware"), "DPI-unaware"),
    ("dpiAwareness without a known level",
     MANIFEST % (AWARE % "true" + AWARENESS % "sharp"), "DPI-unaware"),
    ("windowsSettings outside application",
     MANIFEST.replace('<application xmlns="urn:schemas-microsoft-com:asm.v3">', "<x>")
     .replace("</application>", "</x>") % (AWARE % "true"), "no asm.v3"),
    ("not XML", "<assembly>", "no XML"),
]


class DpiAwareness(unittest.TestCase):
    def test_manifests(self):
        for what, manifest, expected in MANIFESTS:
            with self.subTest(what):
                problems = check.dpi_problems(manifest.encode())
                if expected is None:
                    self.assertEqual(problems, [])
                else:
                    self.assertTrue(any(expected in p for p in problems), problems)


if __name__ == "__main__":
    unittest.main()
