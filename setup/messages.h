/*
 * The caption and the texts of the setup's message boxes, as the Shift-JIS
 * (code page 932) bytes that MessageBoxA takes. Lines are joined by a single
 * line feed, with none at the end.
 */
#ifndef SETUP_MESSAGES_H
#define SETUP_MESSAGES_H

extern const char SetupTitle[];
extern const char NeedAdminMessage[];
extern const char RemoveLegacyQuestion[];
extern const char LegacyKeptNotice[];
extern const char InstallQuestion[];
extern const char FinishedNotice[];

#endif
