/*
 * Where Windows keeps fonts: the Fonts folder, the system font list key
 * under HKEY_LOCAL_MACHINE, and the probe that tells whether a font set is
 * registered there. Everything is asked of the platform anew at each call.
 */
#ifndef FONTS_FONT_STORE_H
#define FONTS_FONT_STORE_H

#include "fonts/font_sets.h"

#define NT_FONTS_KEY_PATH "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
#define WINDOWS_FONTS_KEY_PATH "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts"

/* Size of the buffers that hold a font value name. */
#define FONT_VALUE_NAME_SIZE 128

/* 1 on the Windows NT family, 0 on 95/98 and when the version query fails. */
int IsNtPlatform(void);

/* Writes the Fonts folder path into a MAX_PATH buffer. Nonzero when it did;
 * 0 when the folder cannot be located (the buffer is then not to be used). */
int FontsFolder(char *path);

/* The system font list key path for the platform of the moment. */
const char *FontsKeyPath(void);

/* Forms "<name> (TrueType)" in a FONT_VALUE_NAME_SIZE buffer. 0 when the
 * name is too long to fit, and nothing is written. */
int FormatFontValueName(char *valueName, const char *name);

/* 1 when the set's marker font is registered, else 0; a probe that cannot
 * look (no Fonts folder, the key cannot be read) also gives 0. */
int IsFontSetInstalled(const FontSet *set);

#endif
