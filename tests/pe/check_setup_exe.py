#!/usr/bin/python3
"""Checks the shipped setup.exe itself, byte by byte from its PE headers.

It must be a 32-bit i386 GUI program that Windows 95 and NT 4.0 load
(subsystem version 4.0), import only from KERNEL32, USER32, GDI32, ADVAPI32
and SHELL32 and only functions those DLLs export on Windows 95 and NT 4.0,
and carry a manifest asking for administrator rights and a version resource.
"""
import struct
import sys

# Functions of the five DLLs that Windows 95 and NT 4.0 both export and
# that the program may call.
ALLOWED = {
    "KERNEL32.DLL": {
        "CloseHandle", "CopyFileA", "CreateFileA", "DeleteFileA", "ExitProcess",
        "FindClose", "FindFirstFileA", "FindNextFileA", "GetACP", "GetCommandLineA",
        "GetDriveTypeA", "GetFileAttributesA", "GetLastError", "GetModuleHandleA",
        "GetProcessHeap", "GetStartupInfoA", "GetVersionExA", "HeapAlloc",
        "HeapFree", "MultiByteToWideChar", "ReadFile", "SetFileAttributesA",
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
        self.subsystem = struct.unpack_from("<H", data, self.optional + 68)[0]
        self.directories = self.optional + 96
        table = self.optional + optional_size
        self.sections = [struct.unpack_from("<8sIIII", data, table + 40 * i)
                         for i in range(sections)]

    def offset(self, rva):
        for _, size, address, raw_size, raw in self.sections:
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


def check(path):
    image = Image(open(path, "rb").read())
    problems = []

    def expect(condition, what):
        if not condition:
            problems.append(what)

    expect(image.machine == 0x14C, "machine is not i386: %#x" % image.machine)
    expect(image.magic == 0x10B, "not PE32")
    expect(image.subsystem == 2, "subsystem is not Windows GUI: %d" % image.subsystem)
    expect((image.sub_major, image.sub_minor) == (4, 0),
           "subsystem version %d.%d, Windows 95 and NT 4.0 need 4.0"
           % (image.sub_major, image.sub_minor))
    expect(image.os_major == 4, "OS version %d" % image.os_major)
    expect(image.characteristics & 0x2000 == 0, "a DLL, not a program")
    expect(image.entry != 0, "no entry point")

    imports = image.imports()
    for dll, functions in sorted(imports.items()):
        allowed = ALLOWED.get(dll)
        if allowed is None:
            problems.append("imports from %s" % dll)
            continue
        for function in sorted(functions - allowed):
            problems.append("imports %s!%s" % (dll, function))

    resources = image.resources()
    manifests = resources.get(RT_MANIFEST, [])
    expect(len(manifests) == 1, "no manifest resource")
    if manifests:
        expect(b'level="requireAdministrator"' in manifests[0],
               "the manifest does not ask for administrator rights")
    expect(RT_VERSION in resources, "no version resource")
    return problems, imports


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "build/win32/setup.exe"
    problems, imports = check(path)
    for problem in problems:
        print("setup.exe: " + problem)
    count = sum(len(f) for f in imports.values())
    print("setup.exe: %d imports from %s" % (count, ", ".join(sorted(imports))))
    print("%d passed, %d failed" % (0 if problems else 1, 1 if problems else 0))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
