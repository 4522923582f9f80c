/*
 * The emulated machine's state, shared by the host emulation's sources.
 *
 * One global record holds the registry, the drives, the loaded fonts, the
 * user's scripted answers, the failure switch and the journal. Tests never
 * include this header: they go through control.h.
 */
#ifndef PLATFORM_HOST_STATE_H
#define PLATFORM_HOST_STATE_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "control.h"
#include "win32_host.h"

namespace host::detail {

/* ---- Names ----
 * The machine's ANSI code page is 932 (Shift-JIS): a lead byte and its
 * trail byte form one character, and the trail byte may look like an ASCII
 * letter or a backslash. Names fold the case of single-byte ASCII letters
 * only; every other character compares exactly. */

/* Bytes in the character that starts at `at`: 2 for a Shift-JIS pair. */
size_t CharLength(std::string_view text, size_t at);
/* The name with its single-byte ASCII letters in upper case. */
std::string FoldName(std::string_view name);
bool SameName(std::string_view a, std::string_view b);
/* Orders names as NTFS lists them: by their folded bytes, unsigned. */
struct NameOrder {
    bool operator()(const std::string &a, const std::string &b) const;
};
/* Splits at every separator character that is not the trail of a pair. */
std::vector<std::string> SplitName(std::string_view text,
                                   std::string_view separators);
bool HasWildcards(std::string_view pattern);
/* `*` and `?` wildcards, without regard to ASCII case. */
bool MatchesPattern(std::string_view pattern, std::string_view name);

/* A zero-terminated UTF-16 text as code page 932 bytes; false when the
 * code page has no character for one of it. */
bool WideToCodePage932(const WCHAR *text, std::string *bytes);

/* "0x1d" */
std::string Hex(uint64_t value);
/* The bytes, or "NULL" for a null pointer. */
std::string Printable(const char *text);

/* A call that would crash the process on Windows, or a test that asks the
 * emulation for something it cannot be: report it and stop at once. */
[[noreturn]] void Abort(const std::string &what);

/* ---- Registry ---- */
struct RegKey {
    std::map<std::string, std::unique_ptr<RegKey>, NameOrder> subkeys;
    std::vector<RegValue> values; /* in the order they were created */

    RegKey *Find(std::string_view name);
    RegValue *FindValue(std::string_view name);
};

enum RootIndex { kClassesRoot, kCurrentUser, kLocalMachine, kUsers, kRootCount };

struct DenyRule {
    std::vector<std::string> path; /* below HKEY_LOCAL_MACHINE */
    Deny deny;
};

/* ---- Files ---- */
struct FileNode {
    bool isDirectory = false;
    /* FILE_ATTRIBUTE_* as set, without FILE_ATTRIBUTE_DIRECTORY and with 0
     * for a file that has none (which Windows reports as NORMAL). */
    DWORD attributes = 0;
    std::string bytes;
    std::map<std::string, std::unique_ptr<FileNode>, NameOrder> children;
};

struct Drive {
    Drive() { root.isDirectory = true; }

    UINT type = DRIVE_FIXED;
    bool hasDisc = true; /* false: a removable or CD-ROM drive left empty */
    FileNode root;
};

struct ParsedPath {
    DWORD error = ERROR_SUCCESS; /* the reason it is malformed, if it is */
    char drive = 0;              /* lower case */
    std::vector<std::string> components;
    bool trailingSeparator = false;

    bool ok() const { return error == ERROR_SUCCESS; }
};

/* Where a path leads: its folder, and the entry itself if it exists. */
struct Location {
    DWORD error = ERROR_SUCCESS;  /* why `entry` is null */
    Drive *drive = nullptr;
    FileNode *folder = nullptr;   /* null for a drive's root */
    FileNode *entry = nullptr;
    std::string leaf;             /* the last component as given */
};

/* Accepts "X:\a\b" (either separator, a trailing one allowed); "." and
 * ".." are resolved and empty components skipped, as Windows does. */
ParsedPath ParsePath(const char *path);
Location Locate(const ParsedPath &path);
Location Locate(const char *path);
/* The attributes Windows reports for the entry. */
DWORD ReportedAttributes(const FileNode &entry);
/* The same string for every spelling of one path, for comparisons. */
std::string CanonicalPath(const std::string &path);
/* "folder\name", with one backslash between them. */
std::string JoinPath(const std::string &folder, const std::string &name);

struct Search {
    std::vector<WIN32_FIND_DATAA> results;
    size_t next = 0;
};

/* A file the program opened with CreateFileA. */
struct OpenFile {
    std::string path; /* canonical */
    DWORD share;
    size_t position = 0;
};

/* ---- The machine ---- */
struct FailureRule {
    int times = 0; /* negative: for ever */
    int skip = 0;
};

struct State {
    std::map<std::string, FailureRule> failures;
    std::map<std::string, int> calls; /* every failable call made, by name */
    std::vector<std::string> journal;

    /* The end of a killed run: the first platform call after this many
     * effects, or broadcasts, throws RunCut (negative: never). */
    int cutAfterEffects = -1;
    int cutAfterBroadcasts = -1;
    int effects = 0;

    DWORD platformId = VER_PLATFORM_WIN32_NT;
    std::string fontsFolder = "C:\\WINDOWS\\FONTS";

    RegKey roots[kRootCount];
    std::vector<DenyRule> denyRules;
    std::map<HKEY, std::unique_ptr<HKEY__>> openKeys;

    std::map<char, Drive> drives; /* by lower-case letter; absent: no drive */
    std::map<HANDLE, std::unique_ptr<Search>> searches;
    std::map<HANDLE, std::unique_ptr<OpenFile>> openFiles;
    /* Canonical paths of files other programs hold open without
     * FILE_SHARE_DELETE, with how often each is held. */
    std::map<std::string, int> heldFiles;

    std::vector<std::string> loadedFonts;
    int broadcasts = 0;
    bool hungWindow = false;
    UINT codePage = 932;
    UINT errorMode = 0;

    std::vector<int> answers; /* queued, first at the front */
    std::function<void(const Box &)> onBox;
    std::vector<Box> boxes;

    std::map<const ITEMIDLIST *, std::unique_ptr<ITEMIDLIST>> itemLists;
    std::map<void *, std::unique_ptr<unsigned char[]>> heapBlocks;

    DWORD lastError = ERROR_SUCCESS;
};

State &Machine();

/* Every platform call journals first; a run that is to be cut ends here,
 * before the call does anything. */
void Journal(std::string line);
/* A change of the machine's lasting state: registry, files, loaded fonts,
 * broadcasts. Counted for cuts. */
void Effect();
/* Ends a run that is to be cut now, by throwing RunCut: at the start of
 * every call, and inside a copy that a killed process leaves half done. */
void CutPoint();
/* Consults the failure switch for one call of `function`. */
bool ShouldFail(const char *function);
void SetLastError(DWORD error);

} // namespace host::detail

/* What an HKEY points to: one open handle. */
struct HKEY__ {
    host::detail::RegKey *key;
    host::detail::RootIndex root;
    std::vector<std::string> path; /* below the root, for the deny rules */
    std::string shownPath;         /* "HKLM\Software\...", as opened */
    REGSAM access;
};

/* What SHGetSpecialFolderLocation hands out. */
struct _ITEMIDLIST {
    int folder;
};

#endif
