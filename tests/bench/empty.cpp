/*
 * The empty program of the bench (scripts/bench): it starts and ends, and
 * does nothing else. What a run of it costs under Wine, process start and
 * end, is what every program pays before it does any work.
 */
#include "platform/win32.h"

extern "C" void EmptyStartup(void)
{
    ExitProcess(0);
}
