#include "fonts/removal.h"

#include "fonts/font_store.h"
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

static void DeleteFontFile(const char *folder, char *data)
{
    char path[MAX_PATH];
    if (FindCharFirst(data, '.') < 0) {
        /* No room for the extension: the file is passed over. */
        if (lstrlenA(data) + 4 + 1 > MAX_PATH)
            return;
        lstrcatA(data, ".ttf");
    }
    if (!JoinPath(path, sizeof path, folder, data))
        return;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
}

static void RemoveRegisteredFont(RegKeyHandle *key, const char *folder,
                                 const char *name)
{
    char valueName[FONT_VALUE_NAME_SIZE];
    char data[MAX_PATH];

    if (!FormatFontValueName(valueName, name))
        return;
    if (!ReadRegString(data, sizeof data, key, valueName))
        return;

    DeleteRegValue(key, valueName);
    /* Unloaded by the registered file name, before any extension is added. */
    RemoveFontResourceA(data);

    if (NamesFileInFontsFolder(data)) {
        if (lstrlenA(folder) == 0)
            return;
        DeleteFontFile(folder, data);
    }
    SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}

void RemoveFontSet(const FontSet *set)
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
    for (int i = 0; i < set->count; i++)
        RemoveRegisteredFont(key, folder, set->names[i]);
    CloseRegKey(key);
}
