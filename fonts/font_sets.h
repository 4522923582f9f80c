/*
 * The three font sets the program knows: its own, and the two older sets of
 * another vendor's TeX system that register TrueType fonts under the same
 * TeX font names. One name of each set, its marker, stands for the whole
 * set: a set counts as registered when its marker is.
 */
#ifndef FONTS_FONT_SETS_H
#define FONTS_FONT_SETS_H

struct FontSet {
    const char *const *names; /* TeX font names, no extension */
    int count;
    int marker; /* index of the marker name */
};

extern const FontSet NewFontSet;     /* the Mireva fonts this program installs */
extern const FontSet LegacyFontSetA; /* the older vendor set, marker ASCGRP */
extern const FontSet LegacyFontSetB; /* its companion set, marker WNCYB10 */

#endif
