#!/usr/bin/python3
"""Checks the shipped setup.exe itself, byte by byte from its PE headers.

It must be a 32-bit i386 GUI program that Windows 95 and NT 4.0 load
(subsystem version 4.0), hold no instruction that an 80386 with an 80387
cannot run (its whole code is disassembled, libgcc's included), import only
from KERNEL32, USER32, GDI32, ADVAPI32 and SHELL32 and only functions those
DLLs export on Windows 95 and NT 4.0, and carry a version resource and a
manifest that asks for administrator rights and declares the program
DPI-aware.

    check_setup_exe.py [PATH]      (default build/win32/setup.exe)

Prints each problem and closes with "N passed, N failed", one count per
check; the exit code is 1 when a check failed. The disassembly takes
i686-w64-mingw32-objdump (binutils-mingw-w64-i686).
"""
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

# Functions of the five DLLs that Windows 95 and NT 4.0 both export and
# that the program may call.
ALLOWED = {
    "KERNEL32.DLL": {
        "CloseHandle", "CopyFileA", "CreateFileA", "DeleteFileA", "ExitProcess",
        "FindClose", "FindFirstFileA", "FindNextFileA", "GetACP", "GetCommandLineA",
        "GetDriveTypeA", "GetFileAttributesA", "GetLastError", "GetModuleHandleA",
        "GetProcessHeap", "GetStartupInfoA", "GetVersionExA", "HeapAlloc",
        "HeapFree", "MoveFileA", "MultiByteToWideChar", "ReadFile", "SetErrorMode",
        "SetFileAttributesA",
        "lstrcatA", "lstrcpyA", "lstrlenA",
    },
    "USER32.DLL": {
        "MessageBoxA", "MessageBoxW", "SendMessageA", "SendMessageTimeoutA", "wsprintfA",
    },
    "GDI32.DLL": {"AddFontResourceA", "RemoveFontResourceA"},
    "ADVAPI32.DLL": {
        "RegCloseKey", "RegCreateKeyExA", "RegDeleteValueA", "RegQueryValueExA",
        "RegSetValueExA",
    },
    "SHELL32.DLL": {"SHGetMalloc", "SHGetPathFromIDListA", "SHGetSpecialFolderLocation"},
}
RT_VERSION, RT_MANIFEST = 16, 24
IMAGE_SCN_CNT_CODE, IMAGE_SCN_MEM_EXECUTE = 0x20, 0x20000000
OBJDUMP = "i686-w64-mingw32-objdump"

# --- the processor ----------------------------------------------------------
# Windows 95 runs on an 80386 with or without an 80387, so every instruction
# in the image, the compiler's and libgcc's included, must be one of theirs.
# Mnemonics as objdump writes them in Intel syntax, prefixes taken off.
I386 = set("""
aaa aad aam aas adc add and arpl bound bsf bsr bt btc btr bts call cbw cdq
clc cld cli clts cmc cmp cmps cmpsb cmpsd cmpsw cwd cwde daa das dec div
enter hlt idiv imul in inc ins insb insd insw int int1 int3 into iret iretd
iretw ja jae jb jbe jcxz je jecxz jg jge jl jle jmp jne jno jnp jns jo jp js
lahf lar lcall lds lea leave les lfs lgdt lgs lidt ljmp lldt lmsw lods lodsb
lodsd lodsw loop loope loopne lret lsl lss ltr mov movs movsb movsd movsw
movsx movzx mul neg nop not or out outs outsb outsd outsw pop popa popad
popaw popf popfd popfw push pusha pushad pushaw pushf pushfd pushfw rcl rcr
ret retf rol ror sahf sal sar sbb scas scasb scasd scasw seta setae setb
setbe sete setg setge setl setle setne setno setnp setns seto setp sets sgdt
shl shld shr shrd sidt sldt smsw stc std sti stos stosb stosd stosw str sub
test verr verw wait xchg xlat xlatb xor
f2xm1 fabs fadd faddp fbld fbstp fchs fclex fcom fcomp fcompp fcos fdecstp
fdiv fdivp fdivr fdivrp ffree fiadd ficom ficomp fidiv fidivr fild fimul
fincstp finit fist fistp fisub fisubr fld fld1 fldcw fldenv fldl2e fldl2t
fldlg2 fldln2 fldpi fldz fmul fmulp fnclex fninit fnop fnsave fnstcw
fnstenv fnstsw fpatan fprem fprem1 fptan frndint frstor fsave fscale fsin
fsincos fsqrt fst fstcw fstenv fstp fstsw fsub fsubp fsubr fsubrp ftst fucom
fucomp fucompp fwait fxam fxch fxtract fyl2x fyl2xp1
""".split())

# The newer instructions a compiler or libgcc is known to emit, with the
# processor that brought them, so that a failure says what it found.
NEWER = {
    "80486": "bswap cmpxchg xadd invd wbinvd invlpg",
    "Pentium": "cpuid cmpxchg8b rdtsc rdmsr wrmsr rsm",
    "Pentium Pro": "fcomi fcomip fucomi fucomip rdpmc ud2 "
                   "cmova cmovae cmovb cmovbe cmove cmovg cmovge cmovl cmovle "
                   "cmovne cmovno cmovnp cmovns cmovo cmovp cmovs fcmovb fcmovbe "
                   "fcmove fcmovnb fcmovnbe fcmovne fcmovnu fcmovu",
    "Pentium II": "sysenter sysexit fxsave fxrstor",
    "K6": "syscall sysret femms",
    "Pentium III (SSE)": "ldmxcsr stmxcsr sfence prefetchnta prefetcht0 "
                         "prefetcht1 prefetcht2",
    "Pentium 4 (SSE2)": "lfence mfence clflush movnti pause",
    "Pentium 4 (SSE3)": "fisttp monitor mwait",
}
NEWER = {m: cpu for cpu, names in NEWER.items() for m in names.split()}
PREFIXES = {"rep", "repe", "repz", "repne", "repnz", "lock", "data16", "data32",
            "addr16", "addr32", "cs", "ds", "es", "ss", "fs", "gs"}
# MMX, SSE and AVX registers; control register 4 came with the Pentium.
NEWER_REGISTERS = re.compile(r"\b([xyz]?mm\d+|k[0-7]|bnd[0-3]|cr4)\b")


def newer_than_386(mnemonic, operands):
    """The processor an instruction needs when the 80386 and 80387 do not
    run it, or None."""
    if mnemonic not in I386:
        return NEWER.get(mnemonic, "a processor after the 80386")
    if NEWER_REGISTERS.search(operands):
        return "MMX or SSE"
    if mnemonic == "nop" and operands:
        return "Pentium Pro"  # the NOP with an operand, 0F 1F
    return None


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size, self.characteristics = \
            struct.unpack_from("<HHIIIHH", data, pe + 4)
        self.optional = pe + 24
        self.magic = struct.unpack_from("<H", data, self.optional)[0]
        self.entry = struct.unpack_from("<I", data, self.optional + 16)[0]
        (self.os_major, self.os_minor, _, _, self.sub_major, self.sub_minor) = \
            struct.unpack_from("<6H", data, self.optional + 40)
        self.image_base = struct.unpack_from("<I", data, self.optional + 28)[0]
        self.image_size = struct.unpack_from("<I", data, self.optional + 56)[0]
        self.subsystem = struct.unpack_from("<H", data, self.optional + 68)[0]
        self.directories = self.optional + 96
        table = self.optional + optional_size
        # (name, virtual size, address, raw size, raw offset, characteristics)
        self.sections = [struct.unpack_from("<8sIIII12xI", data, table + 40 * i)
                         for i in range(sections)]

    def offset(self, rva):
        for _, size, address, raw_size, raw, _ in self.sections:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError("address %#x outside every section" % rva)

    def directory(self, index):
        return struct.unpack_from("<II", self.data, self.directories + 8 * index)

    def string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        rva, _ = self.directory(1)
        found = {}
        entry = self.offset(rva)
        while True:
            lookup, _, _, name, first_thunk = struct.unpack_from("<5I", self.data, entry)
            if name == 0:
                return found
            functions = found.setdefault(self.string(name).upper(), set())
            thunk = self.offset(lookup or first_thunk)
            while True:
                value = struct.unpack_from("<I", self.data, thunk)[0]
                if value == 0:
                    break
                if value & 0x80000000:
                    functions.add("#%d" % (value & 0xFFFF))  # by ordinal
                else:
                    functions.add(self.string(value + 2))
                thunk += 4
            entry += 20

    def resources(self):
        """{type id: [data bytes, ...]} for the three-level resource tree."""
        rva, _ = self.directory(2)
        if rva == 0:
            return {}
        base = self.offset(rva)

        def entries(at):
            named, ids = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + ids):
                yield struct.unpack_from("<II", self.data, at + 16 + 8 * i)

        found = {}
        for type_id, type_at in entries(base):
            for _, name_at in entries(base + (type_at & 0x7FFFFFFF)):
                for _, leaf in entries(base + (name_at & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(data_rva)
                    found.setdefault(type_id, []).append(self.data[start:start + size])
        return found


# --- the code ------------------------------------------------------------------

def constructor_lists(data, address, image):
    """(start, end) addresses of the constructor and destructor lists that
    the linker puts at the end of the code section: -1, the addresses of
    the functions, 0, twice over. They are data, not code. None when the
    section does not end with them."""
    low, high = image.image_base, image.image_base + image.image_size
    words = [struct.unpack_from("<I", data, at)[0] for at in range(0, len(data) - 3, 4)]
    # The last list's closing 0 is the first of the zero words that end
    # the section; walk back over the two lists from there.
    last = len(words) - 1
    while last >= 0 and words[last] == 0:
        last -= 1
    i = end = last + 1
    if end >= len(words):
        return None
    for _ in range(2):
        if i < 0 or words[i] != 0:
            return None
        i -= 1
        while i >= 0 and low <= words[i] < high:
            i -= 1
        if i < 0 or words[i] != 0xFFFFFFFF:
            return None
        i -= 1
    return address + 4 * (i + 1), address + 4 * (end + 1)


def code_ranges(image):
    """(section name, first address, end address) of the code to
    disassemble: every executable section's bytes in the file, without the
    constructor lists."""
    ranges = []
    for name, size, rva, raw_size, raw, flags in image.sections:
        if not flags & (IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE):
            continue
        name = name.rstrip(b"\0").decode("ascii", errors="replace")
        start = image.image_base + rva
        data = image.data[raw:raw + min(size or raw_size, raw_size)]
        lists = constructor_lists(data, start, image)
        end = lists[0] if lists else start + len(data)
        ranges.append((name, start, end))
    return ranges


INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\t([0-9a-f ]+)\t(.*)$")


def instructions(path, image):
    """(address, raw bytes, mnemonic, operands) of every instruction of
    the image's code, prefixes taken off the mnemonic."""
    for name, start, end in code_ranges(image):
        listing = subprocess.run(
            [OBJDUMP, "-D", "-M", "intel", "-w", "-j", name,
             "--start-address=%#x" % start, "--stop-address=%#x" % end, path],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True).stdout
        for line in listing.decode("ascii", errors="replace").split("\n"):
            match = INSTRUCTION.match(line)
            if not match:
                continue
            words = match.group(3).split(None, 1)
            while words and words[0] in PREFIXES:
                words = words[1].split(None, 1) if len(words) > 1 else []
            if words:
                yield (int(match.group(1), 16), match.group(2).split(),
                       words[0], words[1].strip() if len(words) > 1 else "")


def code_problems(path, image=None):
    """One line for each instruction that an 80386 with an 80387 cannot
    run, and for bytes that decode to no instruction at all."""
    image = image or Image(read(path))
    problems, count = [], 0
    for address, raw, mnemonic, operands in instructions(path, image):
        count += 1
        if mnemonic == "(bad)":
            problems.append("%#x: bytes %s are no instruction" % (address, " ".join(raw)))
            continue
        needs = newer_than_386(mnemonic, operands)
        if needs:
            problems.append("%#x: %s %s (%s) needs %s"
                            % (address, mnemonic, operands, " ".join(raw), needs))
    if count == 0:
        problems.append("no code to disassemble")
    return problems


# --- the manifest --------------------------------------------------------------

# XML namespace names. They name, they are not places to fetch anything
# from; the scheme is written apart so that no search for network
# addresses takes them for one.
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
SMI = "http" + "://schemas.microsoft.com/SMI/"
WINDOWS_SETTINGS_2005 = SMI + "2005/WindowsSettings"
WINDOWS_SETTINGS_2016 = SMI + "2016/WindowsSettings"
# Values of dpiAware that make a process DPI-aware (Vista and later), and
# the awareness levels of dpiAwareness (Windows 10 1607 and later).
DPI_AWARE = {"true", "true/pm", "per monitor"}
DPI_AWARENESS = {"unaware", "system", "permonitor", "permonitorv2"}


def dpi_problems(manifest):
    """What keeps Windows from taking the program for DPI-aware, reading
    the manifest as Windows does: dpiAware in the 2005 namespace, inside
    application/windowsSettings of asm.v3; dpiAwareness, where present,
    in the 2016 namespace, a list whose first known level is taken."""
    try:
        root = ElementTree.fromstring(manifest)
    except ElementTree.ParseError as e:
        return ["the manifest is no XML: %s" % e]
    settings = root.findall("{%s}application/{%s}windowsSettings" % (ASM_V3, ASM_V3))
    if not settings:
        return ["the manifest has no asm.v3 application/windowsSettings"]
    problems, aware = [], []
    for element in root.iter():
        name = element.tag.rpartition("}")[2]
        if name in ("dpiAware", "dpiAwareness") and not any(
                element in list(s) for s in settings):
            problems.append("%s outside application/windowsSettings" % name)
    for setting in settings:
        for element in setting:
            namespace, _, name = element.tag[1:].partition("}")
            value = (element.text or "").strip()
            if name == "dpiAware":
                if namespace != WINDOWS_SETTINGS_2005:
                    problems.append("dpiAware in namespace %r, which Windows does not read"
                                    % namespace)
                elif value.lower() not in DPI_AWARE:
                    problems.append("dpiAware is %r, not DPI-aware" % value)
                else:
                    aware.append(value)
            elif name == "dpiAwareness":
                if namespace != WINDOWS_SETTINGS_2016:
                    problems.append("dpiAwareness in namespace %r, which Windows does not read"
                                    % namespace)
                    continue
                levels = [v.strip().lower() for v in value.split(",")]
                known = [v for v in levels if v in DPI_AWARENESS]
                if not known or known[0] == "unaware":
                    problems.append("dpiAwareness %r makes the program DPI-unaware" % value)
    if not aware:
        problems.append("the manifest does not declare the program DPI-aware (dpiAware)")
    return problems


# --- all checks -------------------------------------------------------------------

def check(path):
    """[(check name, [problem, ...]), ...] and the imports by DLL."""
    image = Image(read(path))
    results = []

    header = []

    def expect(condition, what):
        if not condition:
            header.append(what)

    expect(image.machine == 0x14C, "machine is not i386: %#x" % image.machine)
    expect(image.magic == 0x10B, "not PE32")
    expect(image.subsystem == 2, "subsystem is not Windows GUI: %d" % image.subsystem)
    expect((image.sub_major, image.sub_minor) == (4, 0),
           "subsystem version %d.%d, Windows 95 and NT 4.0 need 4.0"
           % (image.sub_major, image.sub_minor))
    expect(image.os_major == 4, "OS version %d" % image.os_major)
    expect(image.characteristics & 0x2000 == 0, "a DLL, not a program")
    expect(image.entry != 0, "no entry point")
    results.append(("headers", header))

    results.append(("instructions", code_problems(path, image)))

    imports = image.imports()
    unknown = []
    for dll, functions in sorted(imports.items()):
        allowed = ALLOWED.get(dll)
        if allowed is None:
            unknown.append("imports from %s" % dll)
            continue
        for function in sorted(functions - allowed):
            unknown.append("imports %s!%s" % (dll, function))
    results.append(("imports", unknown))

    resources = image.resources()
    manifests = resources.get(RT_MANIFEST, [])
    if len(manifests) != 1:
        results.append(("manifest", ["%d manifest resources, expected 1" % len(manifests)]))
    else:
        admin = []
        if b'level="requireAdministrator"' not in manifests[0]:
            admin.append("the manifest does not ask for administrator rights")
        results.append(("administrator rights", admin))
        results.append(("DPI awareness", dpi_problems(manifests[0])))
    results.append(("version resource",
                    [] if RT_VERSION in resources else ["no version resource"]))
    return results, imports


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "build/win32/setup.exe"
    results, imports = check(path)
    failed = 0
    for name, problems in results:
        if problems:
            failed += 1
        for problem in problems[:20]:
            print("setup.exe: %s: %s" % (name, problem))
        if len(problems) > 20:
            print("setup.exe: %s: ... and %d more" % (name, len(problems) - 20))
    count = sum(len(f) for f in imports.values())
    print("setup.exe: %d imports from %s" % (count, ", ".join(sorted(imports))))
    print("%d passed, %d failed" % (len(results) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
