#include "install/file_compare.h"

#include "platform/win32.h"

/* Bytes read from each file at a time. */
#define CHUNK_SIZE 16384

/* Read access that leaves the file to whoever else has it open, on every
 * Windows: FILE_SHARE_DELETE is refused by Windows 95. */
static HANDLE OpenForReading(const char *path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       NULL, OPEN_EXISTING, 0, NULL);
}

static int SameChunk(const BYTE *first, const BYTE *second, DWORD size)
{
    for (DWORD i = 0; i < size; i++) {
        if (first[i] != second[i])
            return 0;
    }
    return 1;
}

/* Reads both to their ends. A disk file reads in full chunks until its
 * last, so chunks of different sizes mean files of different lengths. */
static int SameContent(HANDLE first, HANDLE second, BYTE *buffers)
{
    BYTE *firstChunk = buffers;
    BYTE *secondChunk = buffers + CHUNK_SIZE;
    for (;;) {
        DWORD firstRead, secondRead;
        if (!ReadFile(first, firstChunk, CHUNK_SIZE, &firstRead, NULL) ||
            !ReadFile(second, secondChunk, CHUNK_SIZE, &secondRead, NULL))
            return 0;
        if (firstRead != secondRead ||
            !SameChunk(firstChunk, secondChunk, firstRead))
            return 0;
        if (firstRead == 0)
            return 1;
    }
}

int FilesHaveSameBytes(const char *first, const char *second)
{
    int same = 0;
    HANDLE firstFile = OpenForReading(first);
    if (firstFile == INVALID_HANDLE_VALUE)
        return 0;
    HANDLE secondFile = OpenForReading(second);
    if (secondFile != INVALID_HANDLE_VALUE) {
        BYTE *buffers =
            (BYTE *)HeapAlloc(GetProcessHeap(), 0, 2 * CHUNK_SIZE);
        if (buffers) {
            same = SameContent(firstFile, secondFile, buffers);
            HeapFree(GetProcessHeap(), 0, buffers);
        }
        CloseHandle(secondFile);
    }
    CloseHandle(firstFile);
    return same;
}
