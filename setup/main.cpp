#include "platform/win32.h"
#include "setup/sequence.h"

/* The program takes no arguments: all four are ignored. */
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine,
                   int show)
{
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    return SetupSequence();
}
