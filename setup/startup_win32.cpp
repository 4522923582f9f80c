/*
 * The Windows start-up, in place of a C runtime's: it hands WinMain the
 * arguments Windows would and ends the process with WinMain's result. The
 * program links no C library, so the two memory routines the compiler may
 * call for block copies and clears are here too.
 */
#include "platform/win32.h"

/* Skips the program's own name, quoted or not, and the blanks after it. */
static LPSTR ArgumentsAfterProgramName(LPSTR line)
{
    if (*line == '"') {
        line++;
        while (*line && *line != '"')
            line++;
        if (*line == '"')
            line++;
    } else {
        while (*line && *line != ' ' && *line != '\t')
            line++;
    }
    while (*line == ' ' || *line == '\t')
        line++;
    return line;
}

extern "C" void WinMainStartup(void)
{
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW)
                         ? startup.wShowWindow
                         : SW_SHOWDEFAULT;
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL,
                              ArgumentsAfterProgramName(GetCommandLineA()),
                              show));
}

/* Plain loops the optimiser must not turn back into calls of themselves. */
extern "C" __attribute__((optimize("no-tree-loop-distribute-patterns"))) void *
memset(void *block, int value, size_t size)
{
    unsigned char *bytes = (unsigned char *)block;
    while (size--)
        *bytes++ = (unsigned char)value;
    return block;
}

extern "C" __attribute__((optimize("no-tree-loop-distribute-patterns"))) void *
memcpy(void *target, const void *source, size_t size)
{
    unsigned char *to = (unsigned char *)target;
    const unsigned char *from = (const unsigned char *)source;
    while (size--)
        *to++ = *from++;
    return target;
}
