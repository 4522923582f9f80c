#include "fonts/removal.h"

#include "fonts/font_store.h"
#include "platform/broadcast.h"
#include "platform/reg_key.h"
#include "platform/win32.h"
#include "text/path.h"
#include "text/sjis.h"

/* A plain byte search: right for bytes that no Shift-JIS character holds. */
static int ContainsByte(const char *data, char byte)
{
    for (; *data; data++) {
        if (*data == byte)
            return 1;
    }
    return 0;
}

/*
 * Whether registered data names a file of the Fonts folder. Data holding a
 * backslash is a path of its own, and so is data holding a slash or a colon,
 * which Windows reads as a separator and a drive prefix: such a file stays
 * where it is. A slash or colon is never the second byte of a Shift-JIS
 * character, so they are searched byte by byte: a broken pair cannot hide
 * one. Data of nothing but dots and blanks names the Fonts folder itself or
 * its parent, and is left alone too.
 */
static int NamesFileInFontsFolder(const char *data)
{
    if (FindCharFirst(data, '\\') >= 0 || ContainsByte(data, '/') ||
        ContainsByte(data, ':'))
        return 0;
    if (data[0] == 0)
        return 1; /* becomes ".ttf" */
    for (const char *c = data; *c; c++) {
        if (*c != '.' && *c != ' ')
            return 1;
    }
    return 0;
}

/* Whether the file is gone: a failed deletion of a file that is missing
 * leaves nothing behind, one held open or refused leaves the file. */
static int FileIsMissing(const char *path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return 0;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

/* Deletes the registered file from the Fonts folder. 1 when no such file
 * is left afterwards: deleted, missing, or a name too long for any file. */
static int DeleteFontFile(const char *folder, char *data)
{
    char path[MAX_PATH];
    if (FindCharFirst(data, '.') < 0) {
        /* No room for the extension: no file can have that name. */
        if (lstrlenA(data) + 4 + 1 > MAX_PATH)
            return 1;
        lstrcatA(data, ".ttf");
    }
    if (!JoinPath(path, sizeof path, folder, data))
        return 1;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path) || FileIsMissing(path);
}

/*
 * One registered font, in the order that lets a run stopped anywhere be
 * finished by the next: unloaded, its file deleted, and only then its
 * value. While the file is still there (held open by a program, refused)
 * the value stays, so that the font remains registered and a later run
 * tries again.
 */
static void RemoveRegisteredFont(RegKeyHandle *key, const char *folder,
                                 const char *name)
{
    char valueName[FONT_VALUE_NAME_SIZE];
    char data[MAX_PATH];

    if (!FormatFontValueName(valueName, name))
        return;
    if (!ReadRegString(data, sizeof data, key, valueName))
        return;

    /* Unloaded by the registered file name, before any extension is added. */
    RemoveFontResourceA(data);
    int fileGone = 1;
    if (NamesFileInFontsFolder(data)) {
        if (lstrlenA(folder) == 0)
            return;
        fileGone = DeleteFontFile(folder, data);
    }
    if (fileGone)
        DeleteRegValue(key, valueName);
    BroadcastFontChange();
}

/* Whether a font of the set other than its marker is still registered. */
static int OthersRegistered(RegKeyHandle *key, const FontSet *set)
{
    char valueName[FONT_VALUE_NAME_SIZE];
    char data[MAX_PATH];

    for (int i = 0; i < set->count; i++) {
        if (i != set->marker && FormatFontValueName(valueName, set->names[i]) &&
            ReadRegString(data, sizeof data, key, valueName))
            return 1;
    }
    return 0;
}

void RemoveFontSet(const FontSet *set, int markerMayGo)
{
    /* The set's own marker decides, even when the caller has just asked. */
    if (!IsFontSetInstalled(set))
        return;

    char folder[MAX_PATH];
    if (!FontsFolder(folder))
        return;

    RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, FontsKeyPath(), NULL);
    if (!key)
        return;
    for (int i = 0; i < set->count; i++) {
        if (i != set->marker)
            RemoveRegisteredFont(key, folder, set->names[i]);
    }
    /* The marker tells later runs that the set is there: it goes last, and
     * only when nothing else of the set is left to remove. */
    if (markerMayGo && !OthersRegistered(key, set))
        RemoveRegisteredFont(key, folder, set->names[set->marker]);
    CloseRegKey(key);
}
