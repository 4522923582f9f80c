/*
 * Finding the distribution folder CM-TrueType in the root of a drive, the
 * highest letter first, and asking for the disc until it is found or the
 * user gives up.
 */
#ifndef INSTALL_MEDIA_H
#define INSTALL_MEDIA_H

/* The insert-disc prompt, Shift-JIS. */
extern const char InsertDiscPrompt[];

/* Installs the fonts of the folder once found; returns after that, or when
 * the user cancels the prompt. */
void FindDistributionFolder(void);

#endif
