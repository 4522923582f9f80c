/*
 * The floor program of the bench (scripts/bench): the Win32 calls that a
 * run of setup.exe cannot do without for the work the bench measures, and
 * no other. setup.exe's time beyond the empty program's, against this
 * program's, shows what the setup costs beyond its unavoidable work.
 *
 * One program per measure, chosen when it is built (FLOOR_WORK):
 *
 *   install   every font of the program's own set, from q:\CM-TrueType
 *             into the Fonts folder: CopyFileA (failing if the file
 *             exists), AddFontResourceA, the font list key opened, the
 *             REG_SZ value written, the key closed, WM_FONTCHANGE broadcast
 *   reinstall every font of the own set removed (RemoveFontResourceA by
 *             the registered file name, SetFileAttributesA and DeleteFileA
 *             of its file, RegDeleteValueA, a broadcast; the key open for
 *             the whole set), then the installation above
 *   remove    the same removal for both older sets
 *
 * The Fonts folder is asked of the shell once, as setup.exe must; the
 * names are the program's own tables (fonts/font_sets.cpp). The paths are
 * put together here, without Win32: nothing but the work is called. The
 * bench runs it on the Windows NT family, so the key is the NT one.
 */
#include "fonts/font_sets.h"
#include "platform/win32.h"

#define FLOOR_INSTALL 1
#define FLOOR_REINSTALL 2
#define FLOOR_REMOVE 3
#if FLOOR_WORK != FLOOR_INSTALL && FLOOR_WORK != FLOOR_REINSTALL && FLOOR_WORK != FLOOR_REMOVE
#error FLOOR_WORK is one of FLOOR_INSTALL, FLOOR_REINSTALL, FLOOR_REMOVE
#endif

static const char DiscFolder[] = "q:\\CM-TrueType\\";
static const char FontsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

/* Appends text to the string in a buffer of size bytes; 0 when it does
 * not fit, and the buffer then holds what fitted. */
static int Append(char *buffer, int size, const char *text)
{
    int length = 0;
    while (length < size && buffer[length])
        length++;
    while (*text && length + 1 < size)
        buffer[length++] = *text++;
    if (length < size)
        buffer[length] = 0;
    return *text == 0;
}

static int Join(char *buffer, int size, const char *a, const char *b, const char *c)
{
    buffer[0] = 0;
    return Append(buffer, size, a) && Append(buffer, size, b) && Append(buffer, size, c);
}

static int Length(const char *text)
{
    int length = 0;
    while (text[length])
        length++;
    return length;
}

static int FontsFolder(char *path)
{
    LPITEMIDLIST list;
    if (FAILED(SHGetSpecialFolderLocation(NULL, CSIDL_FONTS, &list)))
        return 0;
    const int found = SHGetPathFromIDListA(list, path) != 0;
    IMalloc *allocator;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
        allocator->Free(list);
        allocator->Release();
    }
    return found;
}

static void BroadcastFontChange(void)
{
    SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000, NULL);
}

static void Install(const char *fonts)
{
    for (int i = 0; i < NewFontSet.count; i++) {
        const char *name = NewFontSet.names[i];
        char source[MAX_PATH], target[MAX_PATH], value[128], data[128];
        if (!Join(source, sizeof source, DiscFolder, name, ".ttf") ||
            !Join(target, sizeof target, fonts, "\\", name) ||
            !Append(target, sizeof target, ".ttf") ||
            !Join(value, sizeof value, name, " (TrueType)", "") ||
            !Join(data, sizeof data, name, ".ttf", ""))
            continue;
        if (!CopyFileA(source, target, TRUE) || !AddFontResourceA(target))
            continue;
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, FontsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                            &key, NULL) == ERROR_SUCCESS) {
            RegSetValueExA(key, value, 0, REG_SZ, (const BYTE *)data, Length(data) + 1);
            RegCloseKey(key);
        }
        BroadcastFontChange();
    }
}

static void Remove(const FontSet *set, const char *fonts)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, FontsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < set->count; i++) {
        const char *name = set->names[i];
        char file[MAX_PATH], value[128], data[128];
        if (!Join(file, sizeof file, fonts, "\\", name) || !Append(file, sizeof file, ".ttf") ||
            !Join(value, sizeof value, name, " (TrueType)", "") ||
            !Join(data, sizeof data, name, ".ttf", ""))
            continue;
        RemoveFontResourceA(data);
        SetFileAttributesA(file, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file);
        RegDeleteValueA(key, value);
        BroadcastFontChange();
    }
    RegCloseKey(key);
}

extern "C" void FloorStartup(void)
{
    char fonts[MAX_PATH];
    if (!FontsFolder(fonts))
        ExitProcess(1);
    if (FLOOR_WORK == FLOOR_REINSTALL)
        Remove(&NewFontSet, fonts);
    if (FLOOR_WORK == FLOOR_REMOVE) {
        Remove(&LegacyFontSetB, fonts);
        Remove(&LegacyFontSetA, fonts);
    }
    if (FLOOR_WORK == FLOOR_INSTALL || FLOOR_WORK == FLOOR_REINSTALL)
        Install(fonts);
    ExitProcess(0);
}
