/*
 * Telling every top-level window that the system's fonts have changed.
 */
#ifndef PLATFORM_BROADCAST_H
#define PLATFORM_BROADCAST_H

/* Sends WM_FONTCHANGE to all top-level windows and waits for each that
 * answers; a window whose thread has stopped answering costs a bounded
 * time, not the run. The result is not reported. */
void BroadcastFontChange(void);

#endif
