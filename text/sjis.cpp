#include "text/sjis.h"

#include "platform/win32.h"

int IsLeadByte(int byte)
{
    const unsigned value = (unsigned)byte & 0xFFu;
    return (value >= 0x81 && value <= 0x9F) || (value >= 0xE0 && value <= 0xFC);
}

/*
 * One walk serves both searches. The sought byte is compared before the
 * lead-byte test, so a match never makes the byte after it a second byte.
 * A lead byte in the last position ends the walk: the terminating zero is
 * never taken for its second byte.
 */
static int FindChar(const char *string, int byte, int wantLast)
{
    const unsigned char sought = (unsigned char)byte;
    const int length = lstrlenA(string);
    int found = -1;
    int secondByte = 0;

    for (int i = 0; i < length; i++) {
        const unsigned char c = (unsigned char)string[i];
        if (secondByte) {
            secondByte = 0;
        } else if (c == sought) {
            if (!wantLast)
                return i;
            found = i;
        } else if (IsLeadByte(c)) {
            secondByte = 1;
        }
    }
    return found;
}

int FindCharFirst(const char *string, int byte)
{
    return FindChar(string, byte, 0);
}

int FindCharLast(const char *string, int byte)
{
    return FindChar(string, byte, 1);
}
