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

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    State &machine = Machine();
    Journal("MessageBoxA(" + Hex(type) + ")");
    if (ShouldFail("MessageBoxA"))
        return 0;

    /* Windows captions a box given no caption "Error". */
    host::Box box{owner, text ? text : "", caption ? caption : "Error", type, 0};
    machine.boxes.push_back(box);
    const size_t index = machine.boxes.size() - 1;
    if (machine.onBox) {
        /* A copy: the hook may replace itself or show another box. */
        const auto hook = machine.onBox;
        hook(box);
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

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Journal("SendMessageA(" + Hex(reinterpret_cast<ULONG_PTR>(window)) + ", " +
            Hex(message) + ", " + std::to_string(wParam) + ", " +
            std::to_string(lParam) + ")");
    if (ShouldFail("SendMessageA"))
        return 0;
    if (window == HWND_BROADCAST && message == WM_FONTCHANGE)
        ++Machine().broadcasts;
    return 0;
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
