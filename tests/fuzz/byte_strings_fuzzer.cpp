/*
 * libFuzzer target for the code that takes byte strings from outside: the
 * Shift-JIS search, registered data handed to set removal, and file names
 * handed to installation. Runs on the host emulation, under ASan.
 *
 * The first input byte picks the case; the rest is the string, stored as
 * it comes (with or without a terminating zero, any length).
 */
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fonts/removal.h"
#include "install/install.h"
#include "platform/host/control.h"
#include "text/sjis.h"

#define NT_KEY "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
#define FONTS_DIR "C:\\WINDOWS\\FONTS"

static void Require(bool condition, const char *what, const std::string &detail)
{
    if (condition)
        return;
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

static void RequireNothingLeft()
{
    Require(host::OpenKeyCount() == 0, "key left open", "");
    Require(host::OpenSearchCount() == 0, "search left open", "");
    Require(host::OpenFileCount() == 0, "file left open", "");
    Require(host::LiveHeapBlocks() == 0, "heap block left", "");
    Require(host::LiveItemLists() == 0, "item list left", "");
}

static void SearchCase(const std::string &text)
{
    const std::string string = text.c_str(); /* up to the first zero */
    for (int sought : {0x5C, 0x2E, 0x95}) {
        const int first = FindCharFirst(string.c_str(), sought);
        const int last = FindCharLast(string.c_str(), sought);
        Require(first >= -1 && first < (int)string.size(), "first out of range", string);
        Require((first < 0) == (last < 0) && first <= last, "first and last disagree", string);
        if (first >= 0) {
            Require((unsigned char)string[first] == (unsigned char)sought, "first wrong", string);
            Require((unsigned char)string[last] == (unsigned char)sought, "last wrong", string);
        }
    }
}

/* Whatever the registered data says, no file outside the Fonts folder is
 * touched, and no attribute of a folder is reset. */
static void RemovalCase(const std::string &data)
{
    host::Reset();
    host::PutRegValue(NT_KEY, "cmvtt10 (TrueType)", REG_SZ, data);
    RemoveFontSet(&NewFontSet, 1);
    for (const std::string &line : host::JournalOf({"SetFileAttributesA", "DeleteFileA"})) {
        const size_t open = line.find('(');
        std::string path = line.substr(open + 1, line.size() - open - 2);
        if (line.compare(0, 18, "SetFileAttributesA") == 0)
            path = path.substr(0, path.rfind(", "));
        const std::string folder = FONTS_DIR "\\";
        Require(path.compare(0, folder.size(), folder) == 0, "outside the Fonts folder", line);
        const std::string name = path.substr(folder.size());
        Require(FindCharFirst(name.c_str(), '\\') < 0 && name.find_first_of("/:") == std::string::npos,
                "a path below the Fonts folder", line);
        Require(name.find_first_not_of(". ") != std::string::npos, "the folder itself", line);
    }
    Require(host::RegValues(NT_KEY).empty(), "value not removed", data);
    RequireNothingLeft();
}

/* Any name: what is registered fits its buffers and names the copy. */
static void InstallCase(const std::string &text)
{
    host::Reset();
    const std::string name = text.c_str();
    InstallFontFile("q:\\CM-TrueType", name.c_str());
    for (const host::RegValue &value : host::RegValues(NT_KEY)) {
        Require(value.name.size() <= 127 && value.data.size() <= 128, "too long", name);
        Require(value.data.size() >= 5 &&
                    value.data.compare(value.data.size() - 5, 5, std::string(".ttf\0", 5)) == 0,
                "data without .ttf", value.data);
    }
    RequireNothingLeft();
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string text((const char *)data + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        SearchCase(text);
        break;
    case 1:
        RemovalCase(text);
        break;
    default:
        InstallCase(text);
        break;
    }
    return 0;
}
