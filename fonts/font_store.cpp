#include "fonts/font_store.h"

#include "platform/reg_key.h"
#include "platform/win32.h"

#define VALUE_NAME_SUFFIX " (TrueType)"

int IsNtPlatform(void)
{
    OSVERSIONINFOA version;
    BYTE *bytes = (BYTE *)&version;
    for (unsigned i = 0; i < sizeof version; i++)
        bytes[i] = 0;
    version.dwOSVersionInfoSize = sizeof version;
    /* A failed query leaves the record zero: not Windows NT. */
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

/*
 * The shell's allocator is taken first: an item list that could not be
 * freed is not asked for, so a failing allocator leaves nothing behind;
 * the folder then counts as not located.
 */
int FontsFolder(char *path)
{
    IMalloc *allocator = NULL;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator)
        return 0;
    int found = 0;
    LPITEMIDLIST list = NULL;
    if (SUCCEEDED(SHGetSpecialFolderLocation(NULL, CSIDL_FONTS, &list))) {
        found = SHGetPathFromIDListA(list, path) != 0;
        if (list)
            allocator->Free(list);
    }
    allocator->Release();
    return found;
}

const char *FontsKeyPath(void)
{
    return IsNtPlatform() ? NT_FONTS_KEY_PATH : WINDOWS_FONTS_KEY_PATH;
}

int FormatFontValueName(char *valueName, const char *name)
{
    if (lstrlenA(name) + lstrlenA(VALUE_NAME_SUFFIX) + 1 > FONT_VALUE_NAME_SIZE)
        return 0;
    wsprintfA(valueName, "%s" VALUE_NAME_SUFFIX, name);
    return 1;
}

int IsFontSetInstalled(const FontSet *set)
{
    char folder[MAX_PATH];
    /* Only whether the folder can be located counts, not where it is. */
    if (!FontsFolder(folder))
        return 0;

    RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, FontsKeyPath(), "r");
    if (!key)
        return 0;

    char valueName[FONT_VALUE_NAME_SIZE];
    char data[MAX_PATH];
    const char *read = NULL;
    if (FormatFontValueName(valueName, set->names[set->marker]))
        read = ReadRegString(data, sizeof data, key, valueName);
    CloseRegKey(key);
    return read != NULL;
}
