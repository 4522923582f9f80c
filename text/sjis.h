/*
 * Searching Shift-JIS (code page 932) byte strings for a single-byte
 * character. The second byte of a double-byte character may equal an ASCII
 * character, the backslash among them, so it is never compared.
 */
#ifndef TEXT_SJIS_H
#define TEXT_SJIS_H

/* 1 for a lead byte (0x81-0x9F, 0xE0-0xFC), else 0. Only the low eight bits
 * of `byte` count. The ranges are fixed, not taken from the system. */
int IsLeadByte(int byte);

/* Position of the first / last occurrence of `byte` as a character of the
 * zero-terminated string, or -1. */
int FindCharFirst(const char *string, int byte);
int FindCharLast(const char *string, int byte);

#endif
