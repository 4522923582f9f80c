/*
 * The program's only way into the registry: a key opened by path and mode
 * string, and the few operations done on it.
 *
 * Results follow stream-style conventions: 1 for success and 0 for failure;
 * the string read gives back the caller's buffer or null; the string write
 * gives the bytes stored or -1. Every operation but SetRegValue accepts a
 * null handle and then fails without calling the platform (CloseRegKey
 * reports success), so the result of a failed open may be passed on.
 */
#ifndef PLATFORM_REG_KEY_H
#define PLATFORM_REG_KEY_H

#include "platform/win32.h"

struct RegKeyHandle {
    HKEY key;          /* owned by the record */
    DWORD disposition; /* REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY */
};

/* Access from the mode string, which is searched, not parsed: "r" read,
 * "w" write, "l" create-link, "a" all, "r+"/"w+" read and write, "l+" all;
 * the rights of every match add up. A null mode is full access; a mode that
 * matches nothing gives null. A missing key is created. */
RegKeyHandle *OpenRegKey(HKEY root, const char *path, const char *mode);

/* 1 when the handle is null or closed and released; 0 when the platform
 * refused to close the key (the handle then stays open and valid). */
int CloseRegKey(RegKeyHandle *handle);

int DeleteRegValue(RegKeyHandle *handle, const char *name);

/* 1 when the value fit `capacity` bytes and its stored type has a bit in
 * common with `typeMask`. A bit test: REG_SZ passes every odd type. */
int QueryRegValue(RegKeyHandle *handle, const char *name, DWORD typeMask,
                  BYTE *buffer, DWORD capacity);

/* The buffer, holding a zero-terminated string, or null. */
char *ReadRegString(char *buffer, DWORD capacity, RegKeyHandle *handle,
                    const char *name);

/* The handle must not be null. A null name (the key's default value)
 * always stores REG_SZ. */
int SetRegValue(RegKeyHandle *handle, const char *name, DWORD type,
                const BYTE *data, DWORD count);

/* Stores the text with its terminating zero as REG_SZ; gives the number of
 * bytes stored, or -1. */
int WriteRegString(const char *text, RegKeyHandle *handle, const char *name);

#endif
