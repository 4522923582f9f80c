#include "fonts/removal.h"

#include "fonts/font_store.h"
#include "platform/reg_key.h"
#include "platform/win32.h"
#include "text/path.h"
#include "text/sjis.h"

/*
 * Whether registered data names a file of the Fonts folder. Data holding a
 * backslash is a path of its own, and so is data holding a slash or a colon,
 * which Windows reads as a separator and a drive prefix: such a file stays
 * where it is. So does data of nothing but dots and blanks, which Windows
 * resolves to the Fonts folder itself or to its parent.
 */
static int NamesFileInFontsFolder(const char *data)
{
    if (FindCharFirst(data, '\\') >= 0 || FindCharFirst(data, '/') >= 0 ||
        FindCharFirst(data, ':') >= 0)
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
