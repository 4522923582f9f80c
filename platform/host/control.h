/*
 * The test bench's handle on the host emulation.
 *
 * Tests reset the emulated machine, lay out its registry, drives and Fonts
 * folder, script the user's answers, make any platform call fail, and read
 * back the journal of calls and the state the program left. The program's
 * own code never includes this header.
 *
 * Paths given here are Windows paths ("C:\\WINDOWS\\FONTS\\cmr10.ttf");
 * registry paths are below HKEY_LOCAL_MACHINE. Names compare without regard
 * to ASCII letter case, as on Windows.
 */
#ifndef PLATFORM_HOST_CONTROL_H
#define PLATFORM_HOST_CONTROL_H

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "win32_host.h"

namespace host {

/* Everything back to a new machine: Windows NT, an empty registry, drive c:
 * (fixed) holding the Fonts folder C:\WINDOWS\FONTS, no other drive, no
 * scripted answers, no failures, an empty journal. */
void Reset();

/* ---- Failures ----
 * The next `times` calls of the named function (after `skip` calls that
 * succeed) fail the way Windows reports a failure of that call; times < 0
 * means every call from then on. Names are the Win32 names of FailableCalls(). */
void FailCall(const std::string &function, int times = -1, int skip = 0);
/* The calls that can be made to fail, by name. */
std::vector<std::string> FailableCalls();
/* How often each failable call was made since the reset or ClearJournal,
 * by name. */
std::map<std::string, int> CallCounts();

/* ---- Killed runs ----
 * A run can end as a killed process ends: after its n-th effect (a change
 * of the registry, a file, the loaded fonts, or a broadcast), or after its
 * n-th WM_FONTCHANGE broadcast, the next platform call throws RunCut
 * instead of doing anything. n < 0 disarms. EndProcess then releases what
 * the process held (keys, searches, open files, heap, item lists), as
 * Windows does; the registry, files and loaded fonts stay as they are. */
struct RunCut {};
void CutAfterEffects(int n);
void CutAfterBroadcasts(int n);
int EffectCount(); /* effects since the reset or ClearJournal */
void EndProcess();

/* ---- Platform ---- */
void SetPlatform(DWORD platformId); /* VER_PLATFORM_WIN32_NT by default */
void SetFontsFolder(const std::string &path); /* C:\WINDOWS\FONTS by default */
/* The ANSI code page GetACP reports: 932 by default, 1252 for an English
 * Windows. */
void SetCodePage(UINT codePage);

/* ---- Registry (below HKEY_LOCAL_MACHINE) ---- */
struct RegValue {
    std::string name;
    DWORD type;
    std::string data; /* the stored bytes, exactly */
};

void PutRegValue(const std::string &keyPath, const std::string &name,
                 DWORD type, const std::string &data);
/* REG_SZ with the text and one terminating zero byte. */
void PutRegString(const std::string &keyPath, const std::string &name,
                  const std::string &text);
bool GetRegValue(const std::string &keyPath, const std::string &name,
                 RegValue *value);
std::vector<RegValue> RegValues(const std::string &keyPath);
bool RegKeyExists(const std::string &keyPath);

enum class Deny { Write, All };
/* Opens of this key and the keys below it that ask for more than read
 * access (Deny::Write) or for anything (Deny::All) fail with
 * ERROR_ACCESS_DENIED; creating a key there fails too. */
void DenyRegAccess(const std::string &keyPath, Deny deny);

int OpenKeyCount(); /* keys opened by RegCreateKeyExA and not yet closed */

/* ---- Drives and files ---- */
void SetDriveType(char letter, UINT type); /* DRIVE_NO_ROOT_DIR removes it */
/* A removable or CD-ROM drive with no disc in it: a search on it fails
 * with ERROR_NOT_READY, and unless the program's error mode has
 * SEM_FAILCRITICALERRORS, Windows first asks for the disc in a box of its
 * own (recorded among Boxes with the caption "Windows - No Disk", answered
 * Cancel). */
void RemoveDisc(char letter);
void PutFile(const std::string &path, const std::string &bytes,
             DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
void PutDirectory(const std::string &path);
bool Exists(const std::string &path);
bool IsDirectory(const std::string &path);
std::string FileBytes(const std::string &path);
DWORD FileAttributes(const std::string &path); /* 0 when absent */
/* The names in a folder, as stored, in the order FindFirstFileA gives them. */
std::vector<std::string> ListDirectory(const std::string &path);
void RemoveEntry(const std::string &path); /* a file, or a folder with all below */
/* Moves a file or folder within one drive. */
void MoveEntry(const std::string &from, const std::string &to);

int OpenSearchCount(); /* searches begun by FindFirstFileA and not closed */
int OpenFileCount();   /* files opened by CreateFileA and not closed */

/* Another program holds the file open without FILE_SHARE_DELETE (reading
 * and writing shared): DeleteFileA fails with ERROR_SHARING_VIOLATION and
 * the file stays. A font loaded by AddFontResourceA holds its file in the
 * same way on Windows NT, until RemoveFontResourceA. */
void HoldFile(const std::string &path);
void ReleaseFile(const std::string &path);

/* A file that AddFontResourceA accepts: the TrueType header, then `tag`. */
std::string FontBytes(const std::string &tag);

/* ---- Fonts loaded in the running system ---- */
/* Full paths of the loaded font files, in the order they were loaded. */
std::vector<std::string> LoadedFonts();
int BroadcastCount(); /* WM_FONTCHANGE sent to HWND_BROADCAST */
/* A top-level window whose thread has stopped answering messages: a timed
 * broadcast still reaches the other windows and reports ERROR_TIMEOUT. */
void HangWindow(bool hung);

/* ---- The user ---- */
struct Box {
    HWND owner;
    std::string text;    /* code page 932 bytes, also for MessageBoxW */
    std::string caption; /* the same */
    UINT flags;
    int result;
    bool unicode; /* shown by MessageBoxW */
};

/* Answers for the coming message boxes, in order. With none left a box
 * returns 0, as a box the platform cannot show. */
void QueueAnswer(int result);
/* Called when a box appears, before it is answered: a test makes the
 * world change while the user looks at it (a disc inserted). */
void OnBox(std::function<void(const Box &)> hook);
const std::vector<Box> &Boxes();

/* ---- Journal ---- */
/* One line per platform call with an effect or a question, in order, such as
 * "RegDeleteValueA(cmr10 (TrueType))" or
 * "SendMessageTimeoutA(0xffff, 0x1d, 0, 0, 0x2, 5000)".
 * The string functions and the heap are not journaled. */
const std::vector<std::string> &Journal();
/* The journal lines of the named functions only, in order. */
std::vector<std::string> JournalOf(const std::vector<std::string> &functions);
/* Also starts the counts of calls (CallCounts) and effects (EffectCount)
 * afresh. */
void ClearJournal();

int LiveHeapBlocks(); /* HeapAlloc blocks not yet freed */
int LiveItemLists();  /* item lists from SHGetSpecialFolderLocation not freed */

} // namespace host

#endif
