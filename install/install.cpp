#include "install/install.h"

#include "fonts/font_store.h"
#include "install/file_compare.h"
#include "platform/broadcast.h"
#include "platform/reg_key.h"
#include "platform/win32.h"
#include "text/path.h"
#include "text/sjis.h"

/* The stem buffer, which also receives the registry data. */
#define STEM_SIZE 128

/* Appended to a font's name in the Fonts folder while its copy is made. */
#define SCRATCH_SUFFIX ".part"

void InstallFontFolder(const char *folder)
{
    if (lstrlenA(folder) == 0)
        return;

    char pattern[MAX_PATH];
    if (!JoinPath(pattern, sizeof pattern, folder, "*.ttf"))
        return;

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        /* Every match, folders included: a folder's copy fails. */
        InstallFontFile(folder, found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

/* Length of the stem: the name up to its last dot, unless that dot is the
 * first character or there is none. */
static int StemLength(const char *name)
{
    const int dot = FindCharLast(name, '.');
    return dot > 0 ? dot : lstrlenA(name);
}

/*
 * A name whose stem, value name or registry data would not fit their
 * 128-byte buffers is passed over before anything is copied, so that no
 * font is ever left loaded without its value.
 */
static int FitsStemBuffers(const char *name)
{
    const int stem = StemLength(name);
    return lstrlenA(name) + 1 <= STEM_SIZE &&
           stem + lstrlenA(".ttf") + 1 <= STEM_SIZE &&
           stem + lstrlenA(" (TrueType)") + 1 <= FONT_VALUE_NAME_SIZE;
}

static void RegisterFont(const char *name, int loaded)
{
    char stem[STEM_SIZE];
    char valueName[FONT_VALUE_NAME_SIZE];

    /* The key is opened whether or not the font loaded. */
    RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, FontsKeyPath(), NULL);

    lstrcpyA(stem, name);
    stem[StemLength(stem)] = 0;
    FormatFontValueName(valueName, stem);
    /* Always a lower-case extension, whatever the file's own. */
    lstrcatA(stem, ".ttf");

    if (loaded) {
        WriteRegString(stem, key, valueName);
        BroadcastFontChange();
    }
    CloseRegKey(key);
}

/* Deletes a file of the program's own making, read-only or not. */
static void DeleteScratchFile(const char *path)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
}

/*
 * Copies the disc's file to its name in the Fonts folder, never over a
 * file that is there. The copy is made under a scratch name beside it and
 * then renamed, so that a run killed during the copy leaves no part of a
 * file under a font's name, where no later run could tell it from a file
 * of another program. A scratch file left by such a run is deleted first.
 * 1 when the file was copied.
 */
static int CopyFontFile(const char *source, const char *destination)
{
    char scratch[MAX_PATH];
    if (GetFileAttributesA(destination) != INVALID_FILE_ATTRIBUTES)
        return 0;
    if (lstrlenA(destination) + lstrlenA(SCRATCH_SUFFIX) + 1 > MAX_PATH)
        return CopyFileA(source, destination, TRUE) != 0;
    wsprintfA(scratch, "%s" SCRATCH_SUFFIX, destination);
    if (GetFileAttributesA(scratch) != INVALID_FILE_ATTRIBUTES)
        DeleteScratchFile(scratch);
    if (!CopyFileA(source, scratch, TRUE))
        return 0;
    if (MoveFileA(scratch, destination))
        return 1;
    DeleteScratchFile(scratch);
    return 0;
}

void InstallFontFile(const char *folder, const char *name)
{
    const int folderLength = lstrlenA(folder);
    if (folderLength == 0 || !FitsStemBuffers(name))
        return;

    const int sourceSize = folderLength + lstrlenA(name) + 2;
    char *source = (char *)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)sourceSize);
    if (!source)
        return;
    JoinPath(source, sourceSize, folder, name);

    char destination[MAX_PATH];
    /* The destination always takes a backslash, even after one. */
    if (FontsFolder(destination) &&
        lstrlenA(destination) + 1 + lstrlenA(name) + 1 <= MAX_PATH) {
        lstrcatA(destination, "\\");
        lstrcatA(destination, name);
        /* Nothing is ever overwritten. A file of that name that holds
         * exactly the disc's bytes is a copy of ours, left by an earlier
         * run that stopped before registering it or whose file could not
         * be deleted: it is registered as if just copied. */
        if (CopyFontFile(source, destination) ||
            FilesHaveSameBytes(source, destination))
            RegisterFont(name, AddFontResourceA(destination) != 0);
    }
    HeapFree(GetProcessHeap(), 0, source);
}
