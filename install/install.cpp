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
        if (CopyFileA(source, destination, TRUE) ||
            FilesHaveSameBytes(source, destination))
            RegisterFont(name, AddFontResourceA(destination) != 0);
    }
    HeapFree(GetProcessHeap(), 0, source);
}
