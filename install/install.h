/*
 * Installing the font files of a folder: each *.ttf is copied into the
 * Fonts folder without overwriting, loaded, registered in the system font
 * list and announced with WM_FONTCHANGE.
 */
#ifndef INSTALL_INSTALL_H
#define INSTALL_INSTALL_H

/* Every entry of `folder` that matches *.ttf, in the platform's order. */
void InstallFontFolder(const char *folder);

/* One entry: `name` is the bare name of a file in `folder`. */
void InstallFontFile(const char *folder, const char *name);

#endif
