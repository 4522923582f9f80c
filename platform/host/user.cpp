/*
 * The user and the running system: message boxes answered from a queue,
 * the font table of the session, and broadcast messages.
 */
#include "state.h"

using namespace host::detail;

namespace {

const std::string kTrueTypeHeader("\x00\x01\x00\x00", 4);
const std::string kAppleTrueTypeHeader("true", 4);

bool IsBareName(const std::string &file)
{
    return file.find_first_of("\\:") == std::string::npos;
}

/* GDI finds a font file given by its bare name in the Fonts folder. */
std::string FontPath(const std::string &file)
{
    return IsBareName(file) ? JoinPath(Machine().fontsFolder, file) : file;
}

} // namespace

namespace {

int ShowBox(const host::Box &shown)
{
    State &machine = Machine();
    machine.boxes.push_back(shown);
    const size_t index = machine.boxes.size() - 1;
    if (machine.onBox) {
        /* A copy: the hook may replace itself or show another box. */
        const auto hook = machine.onBox;
        hook(shown);
    }
    int answer = 0;
    if (!machine.answers.empty()) {
        answer = machine.answers.front();
        machine.answers.erase(machine.answers.begin());
    }
    if (index < machine.boxes.size())
        machine.boxes[index].result = answer;
    return answer;
}

} // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    Journal("MessageBoxA(" + Hex(type) + ")");
    if (ShouldFail("MessageBoxA"))
        return 0;
    /* Windows captions a box given no caption "Error". */
    return ShowBox(host::Box{owner, text ? text : "", caption ? caption : "Error", type, 0, false});
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    Journal("MessageBoxW(" + Hex(type) + ")");
    if (ShouldFail("MessageBoxW"))
        return 0;
    static const WCHAR kNone[] = {0};
    static const WCHAR kError[] = {'E', 'r', 'r', 'o', 'r', 0};
    host::Box box{owner, "", "", type, 0, true};
    if (!WideToCodePage932(text ? text : kNone, &box.text) ||
        !WideToCodePage932(caption ? caption : kError, &box.caption))
        Abort("MessageBoxW: a text with no code page 932 form");
    return ShowBox(box);
}

LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeout, PDWORD_PTR result)
{
    Journal("SendMessageTimeoutA(" + Hex(reinterpret_cast<ULONG_PTR>(window)) + ", " +
            Hex(message) + ", " + std::to_string(wParam) + ", " + std::to_string(lParam) + ", " +
            Hex(flags) + ", " + std::to_string(timeout) + ")");
    if (result)
        *result = 0;
    if (ShouldFail("SendMessageTimeoutA")) {
        SetLastError(ERROR_TIMEOUT);
        return 0;
    }
    if (window == HWND_BROADCAST && message == WM_FONTCHANGE) {
        ++Machine().broadcasts;
        Effect();
    }
    if (Machine().hungWindow) {
        /* The others were told; the hung one made the call time out. */
        SetLastError(ERROR_TIMEOUT);
        return 0;
    }
    return 1;
}

int AddFontResourceA(LPCSTR file)
{
    Journal("AddFontResourceA(" + Printable(file) + ")");
    if (ShouldFail("AddFontResourceA") || !file)
        return 0;
    const std::string path = FontPath(file);
    const Location where = Locate(path.c_str());
    if (!where.entry || where.entry->isDirectory)
        return 0;
    const std::string header = where.entry->bytes.substr(0, 4);
    if (header != kTrueTypeHeader && header != kAppleTrueTypeHeader)
        return 0;
    Machine().loadedFonts.push_back(path);
    Effect();
    return 1; /* the number of fonts the file added */
}

BOOL RemoveFontResourceA(LPCSTR file)
{
    Journal("RemoveFontResourceA(" + Printable(file) + ")");
    if (ShouldFail("RemoveFontResourceA") || !file)
        return FALSE;
    /* One canonical spelling stands for the file, whether it is still
     * there or was deleted after loading. */
    const std::string wanted = CanonicalPath(FontPath(file));
    auto &loaded = Machine().loadedFonts;
    for (auto font = loaded.rbegin(); font != loaded.rend(); ++font) {
        if (CanonicalPath(*font) == wanted) {
            loaded.erase(std::next(font).base());
            Effect();
            return TRUE;
        }
    }
    return FALSE;
}

namespace host {

std::string FontBytes(const std::string &tag)
{
    return kTrueTypeHeader + tag;
}

} // namespace host
