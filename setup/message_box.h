/*
 * The one way the program shows a message box: no owner window, the
 * caption SetupTitle, the given flags, the button pressed as the result
 * (0 when the box could not be shown).
 */
#ifndef SETUP_MESSAGE_BOX_H
#define SETUP_MESSAGE_BOX_H

#include "platform/win32.h"

/* `text` is a Shift-JIS (code page 932) byte string. */
int ShowMessageBox(const char *text, UINT flags);

#endif
