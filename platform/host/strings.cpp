/*
 * The string functions of user32 and kernel32 the program uses.
 */
#include <cstdarg>
#include <cstring>

#include "state.h"

using namespace host::detail;

namespace {

/* wsprintfA writes at most 1024 bytes, the terminating zero included. */
constexpr size_t kFormatLimit = 1024;

} // namespace

int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    if (!buffer || !format)
        Abort("wsprintfA without a buffer or a format");
    std::string out;
    va_list arguments;
    va_start(arguments, format);
    for (const char *at = format; *at; ++at) {
        if (*at != '%') {
            out += *at;
            continue;
        }
        ++at;
        if (*at == '%') {
            out += '%';
        } else if (*at == 's') {
            const char *text = va_arg(arguments, const char *);
            out += text ? text : "(null)";
        } else {
            va_end(arguments);
            Abort(std::string("wsprintfA: the program formats only %s, not in \"") +
                  format + "\"");
        }
    }
    va_end(arguments);
    if (out.size() > kFormatLimit - 1)
        out.resize(kFormatLimit - 1);
    std::memcpy(buffer, out.c_str(), out.size() + 1);
    return static_cast<int>(out.size());
}

int lstrlenA(LPCSTR text)
{
    return text ? static_cast<int>(std::strlen(text)) : 0;
}

LPSTR lstrcpyA(LPSTR destination, LPCSTR source)
{
    if (!destination || !source)
        return nullptr;
    return std::strcpy(destination, source);
}

LPSTR lstrcatA(LPSTR destination, LPCSTR source)
{
    if (!destination || !source)
        return nullptr;
    return std::strcat(destination, source);
}
