#include "platform/reg_key.h"

/* Each rule that matches anywhere in the mode adds its rights. */
struct ModeRule {
    const char *text;
    DWORD rights;
};

static const ModeRule ModeRules[] = {
    {"r", KEY_READ},
    {"w", KEY_WRITE},
    {"l", KEY_CREATE_LINK},
    {"a", KEY_ALL_ACCESS},
    {"r+", KEY_READ | KEY_WRITE},
    {"w+", KEY_READ | KEY_WRITE},
    {"l+", KEY_ALL_ACCESS},
};

static int ContainsText(const char *string, const char *text)
{
    for (; *string; string++) {
        int i = 0;
        while (text[i] && string[i] == text[i])
            i++;
        if (!text[i])
            return 1;
    }
    return 0;
}

static DWORD AccessFromMode(const char *mode)
{
    if (!mode)
        return KEY_ALL_ACCESS;
    DWORD access = 0;
    for (const ModeRule &rule : ModeRules) {
        if (ContainsText(mode, rule.text))
            access |= rule.rights;
    }
    return access;
}

RegKeyHandle *OpenRegKey(HKEY root, const char *path, const char *mode)
{
    if (!root)
        return NULL;
    const DWORD access = AccessFromMode(mode);
    if (access == 0)
        return NULL;

    CHAR noClass[] = "";
    HKEY key = NULL;
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, path, 0, noClass, REG_OPTION_NON_VOLATILE,
                        access, NULL, &key, &disposition) != ERROR_SUCCESS)
        return NULL;

    RegKeyHandle *handle = (RegKeyHandle *)HeapAlloc(GetProcessHeap(), 0,
                                                     sizeof(RegKeyHandle));
    if (!handle) {
        /* The key was opened for this handle alone: it must not outlive
         * the failed open. */
        RegCloseKey(key);
        return NULL;
    }
    handle->key = key;
    handle->disposition = disposition;
    return handle;
}

int CloseRegKey(RegKeyHandle *handle)
{
    if (!handle)
        return 1;
    if (RegCloseKey(handle->key) != ERROR_SUCCESS)
        return 0;
    HeapFree(GetProcessHeap(), 0, handle);
    return 1;
}

int DeleteRegValue(RegKeyHandle *handle, const char *name)
{
    if (!handle || !name)
        return 0;
    return RegDeleteValueA(handle->key, name) == ERROR_SUCCESS;
}

int QueryRegValue(RegKeyHandle *handle, const char *name, DWORD typeMask,
                  BYTE *buffer, DWORD capacity)
{
    if (!handle || !name)
        return 0;
    DWORD type = REG_NONE;
    DWORD count = capacity;
    if (RegQueryValueExA(handle->key, name, NULL, &type, buffer, &count) !=
        ERROR_SUCCESS)
        return 0;
    return (type & typeMask) != 0;
}

/*
 * The registry keeps a string's bytes as they were stored, with or without
 * a terminating zero. The buffer is cleared first, so data shorter than the
 * capacity always ends in a zero; data that fills the capacity without
 * ending in one cannot be held as a string and is refused, rather than cut
 * into another name.
 */
char *ReadRegString(char *buffer, DWORD capacity, RegKeyHandle *handle,
                    const char *name)
{
    if (!buffer || !handle || capacity == 0)
        return NULL;
    for (DWORD i = 0; i < capacity; i++)
        buffer[i] = 0;
    if (!QueryRegValue(handle, name, REG_SZ, (BYTE *)buffer, capacity))
        return NULL;
    if (buffer[capacity - 1] != 0)
        return NULL;
    return buffer;
}

int SetRegValue(RegKeyHandle *handle, const char *name, DWORD type,
                const BYTE *data, DWORD count)
{
    if (!name)
        type = REG_SZ;
    return RegSetValueExA(handle->key, name, 0, type, data, count) ==
           ERROR_SUCCESS;
}

int WriteRegString(const char *text, RegKeyHandle *handle, const char *name)
{
    if (!handle || !text)
        return -1;
    const int count = lstrlenA(text) + 1;
    if (!SetRegValue(handle, name, REG_SZ, (const BYTE *)text, (DWORD)count))
        return -1;
    return count;
}
