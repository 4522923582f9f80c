/*
 * The one header through which the program reaches Win32.
 *
 * Built for Windows it is the real SDK; built on Linux it is the host
 * emulation's own declarations of exactly the subset the program calls,
 * with the same names, types and constant values.
 */
#ifndef PLATFORM_WIN32_H
#define PLATFORM_WIN32_H

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#else
#include "host/win32_host.h"
#endif

#endif
