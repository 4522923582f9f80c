#include "platform/broadcast.h"

#include "platform/win32.h"

/* The longest wait for one window, in milliseconds. A window that is busy
 * for longer is still told; only the wait for its answer ends. */
#define WINDOW_TIMEOUT 5000

/*
 * A plain SendMessage to HWND_BROADCAST returns only when every top-level
 * window has handled the message, so one hung program would stop the
 * setup for good. With SMTO_ABORTIFHUNG a window that Windows already
 * takes for hung (no messages read for five seconds) is not waited for at
 * all, so a hung window costs about one timeout in the whole run, not one
 * per font.
 */
void BroadcastFontChange(void)
{
    DWORD_PTR result;
    SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG,
                        WINDOW_TIMEOUT, &result);
}
