/*
 * The ANSI code page and the conversion from code page 932 to UTF-16, with
 * glibc's iconv tables.
 */
#include <cerrno>
#include <iconv.h>

#include "state.h"

namespace host::detail {

namespace {

/* The whole input converted, or false on a byte sequence the table lacks. */
bool Convert(const char *from, const char *to, const std::string &in, std::string *out)
{
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1))
        Abort(std::string("iconv has no table from ") + from + " to " + to);
    out->assign(in.size() * 4 + 4, '\0');
    char *inBytes = const_cast<char *>(in.data());
    size_t inLeft = in.size();
    char *outBytes = &(*out)[0];
    size_t outLeft = out->size();
    const size_t done = iconv(converter, &inBytes, &inLeft, &outBytes, &outLeft);
    iconv_close(converter);
    if (done == static_cast<size_t>(-1))
        return false;
    out->resize(out->size() - outLeft);
    return true;
}

} // namespace

bool WideToCodePage932(const WCHAR *text, std::string *bytes)
{
    std::string utf16;
    for (; *text; ++text) {
        utf16 += static_cast<char>(*text & 0xFF);
        utf16 += static_cast<char>(*text >> 8);
    }
    return Convert("UTF-16LE", "CP932", utf16, bytes);
}

} // namespace host::detail

using namespace host::detail;

UINT GetACP(void)
{
    Journal("GetACP()");
    return Machine().codePage;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                        int capacity)
{
    Journal("MultiByteToWideChar(" + std::to_string(codePage) + ", " + std::to_string(length) +
            ", " + std::to_string(capacity) + ")");
    if (ShouldFail("MultiByteToWideChar")) {
        /* As on a Windows without the table for that code page. */
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (codePage == CP_ACP)
        codePage = Machine().codePage;
    if (codePage != 932 || flags || !text || length < -1 || capacity < 0 ||
        (capacity && !wide)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    /* A length of -1 converts the terminating zero too. */
    const std::string in = length < 0 ? std::string(text, std::char_traits<char>::length(text) + 1)
                                      : std::string(text, static_cast<size_t>(length));
    std::string utf16;
    if (!Convert("CP932", "UTF-16LE", in, &utf16)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    const int units = static_cast<int>(utf16.size() / 2);
    if (capacity == 0)
        return units;
    if (units > capacity) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (int i = 0; i < units; ++i)
        wide[i] = static_cast<WCHAR>(static_cast<unsigned char>(utf16[2 * i]) |
                                     static_cast<unsigned char>(utf16[2 * i + 1]) << 8);
    return units;
}
