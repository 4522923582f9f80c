/*
 * Taking a registered font set out of the system: per registered font, its
 * value in the system font list, the loaded font, its file in the Fonts
 * folder, and one WM_FONTCHANGE broadcast.
 */
#ifndef FONTS_REMOVAL_H
#define FONTS_REMOVAL_H

#include "fonts/font_sets.h"

/* Does nothing unless the set's marker is registered. Reports nothing. */
void RemoveFontSet(const FontSet *set);

#endif
