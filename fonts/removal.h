/*
 * Taking a registered font set out of the system: per registered font, the
 * loaded font, its file in the Fonts folder, its value in the system font
 * list, and one WM_FONTCHANGE broadcast.
 */
#ifndef FONTS_REMOVAL_H
#define FONTS_REMOVAL_H

#include "fonts/font_sets.h"

/* Does nothing unless the set's marker is registered. The marker's font
 * goes after every other font of the set, and only when `markerMayGo` and
 * none of them is left registered. Reports nothing. */
void RemoveFontSet(const FontSet *set, int markerMayGo);

#endif
