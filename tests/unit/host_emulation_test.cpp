/*
 * The host emulation behaves like Windows where the program can tell.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/host/control.h"
#include "platform/win32.h"

namespace {

const char kFontsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

class HostEmulation : public ::testing::Test {
protected:
    void SetUp() override { host::Reset(); }

    static LONG Open(const char *path, REGSAM access, HKEY *key,
                     DWORD *disposition = nullptr)
    {
        return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr,
                               REG_OPTION_NON_VOLATILE, access, nullptr, key,
                               disposition);
    }

    static LONG SetString(HKEY key, const char *name, const std::string &text)
    {
        return RegSetValueExA(key, name, 0, REG_SZ,
                              reinterpret_cast<const BYTE *>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1));
    }

    /* Every name a search finds, in order; the search is closed. */
    static std::vector<std::string> Find(const std::string &pattern)
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do
            names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        EXPECT_TRUE(FindClose(search));
        return names;
    }
};

/* ---- Registry ---- */

TEST_F(HostEmulation, CreatingAKeyMakesEveryLevelAndReopensItWhateverTheCase)
{
    HKEY created = nullptr;
    HKEY reopened = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(Open(kFontsKey, KEY_ALL_ACCESS, &created, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    ASSERT_EQ(Open("SOFTWARE\\microsoft\\WINDOWS NT\\currentversion\\FONTS",
                   KEY_READ, &reopened, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

    EXPECT_NE(created, reopened);
    EXPECT_NE(created, HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(host::RegKeyExists("Software\\Microsoft"));
    EXPECT_EQ(host::OpenKeyCount(), 2);
    EXPECT_EQ(RegCloseKey(created), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(reopened), ERROR_SUCCESS);
    EXPECT_EQ(host::OpenKeyCount(), 0);
}

TEST_F(HostEmulation, ValueNamesFoldOnlySingleByteAsciiLetters)
{
    struct Case {
        const char *stored;
        const char *asked;
        bool same;
    };
    const Case cases[] = {
        {"cmr10 (TrueType)", "CMR10 (truetype)", true},
        /* Shift-JIS pairs whose trail bytes are 'S' and 's': two
         * different characters. */
        {"\x83\x53 (TrueType)", "\x83\x73 (TrueType)", false},
        {"\x83\x53 (TrueType)", "\x83\x53 (TRUETYPE)", true},
        {"a\xe9", "A\xc9", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.asked);
        host::Reset();
        host::PutRegString(kFontsKey, c.stored, "old");
        HKEY key = nullptr;
        ASSERT_EQ(Open(kFontsKey, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
        EXPECT_EQ(RegQueryValueExA(key, c.asked, nullptr, nullptr, nullptr, nullptr),
                  c.same ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);

        ASSERT_EQ(SetString(key, c.asked, "new"), ERROR_SUCCESS);
        const std::vector<host::RegValue> values = host::RegValues(kFontsKey);
        ASSERT_EQ(values.size(), c.same ? 1u : 2u);
        /* An overwritten value keeps the name it was created with. */
        EXPECT_EQ(values[0].name, c.stored);
        EXPECT_EQ(values[0].data, c.same ? std::string("new", 4) : std::string("old", 4));
        RegCloseKey(key);
    }
}

TEST_F(HostEmulation, QueryCopiesTheExactStoredBytesOrReportsTheSize)
{
    /* Stored without a terminating zero, as a careless writer might. */
    host::PutRegValue(kFontsKey, "raw", REG_SZ, "cmr10");
    HKEY key = nullptr;
    ASSERT_EQ(Open(kFontsKey, KEY_READ, &key), ERROR_SUCCESS);

    struct Case {
        const char *name;
        bool giveBuffer;
        DWORD room;
        LONG result;
        DWORD countAfter;
        std::string bufferAfter;
    };
    const Case cases[] = {
        {"RAW", true, 16, ERROR_SUCCESS, 5, "cmr10###"},
        {"raw", true, 5, ERROR_SUCCESS, 5, "cmr10###"},
        {"raw", true, 4, ERROR_MORE_DATA, 5, "########"},
        {"raw", false, 0, ERROR_SUCCESS, 5, "########"},
        {"missing", true, 16, ERROR_FILE_NOT_FOUND, 16, "########"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " in " + std::to_string(c.room));
        char buffer[9] = "########";
        DWORD type = 99;
        DWORD count = c.room;
        EXPECT_EQ(RegQueryValueExA(key, c.name, nullptr, &type,
                                   c.giveBuffer ? reinterpret_cast<BYTE *>(buffer) : nullptr,
                                   &count),
                  c.result);
        EXPECT_EQ(count, c.countAfter);
        EXPECT_EQ(std::string(buffer), c.bufferAfter);
        EXPECT_EQ(type, c.result == ERROR_FILE_NOT_FOUND ? 99u : REG_SZ);
    }
    RegCloseKey(key);
}

TEST_F(HostEmulation, EachHandleAllowsOnlyWhatItWasOpenedFor)
{
    host::PutRegString(kFontsKey, "v", "x");
    struct Case {
        REGSAM access;
        LONG query, set, remove;
    };
    const Case cases[] = {
        {KEY_READ, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {KEY_WRITE, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_SUCCESS},
        {KEY_ALL_ACCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.access);
        host::PutRegString(kFontsKey, "v", "x");
        HKEY key = nullptr;
        ASSERT_EQ(Open(kFontsKey, c.access, &key), ERROR_SUCCESS);
        DWORD count = 0;
        EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &count), c.query);
        EXPECT_EQ(SetString(key, "w", "y"), c.set);
        EXPECT_EQ(RegDeleteValueA(key, "v"), c.remove);
        EXPECT_EQ(host::GetRegValue(kFontsKey, "v", nullptr), c.remove != ERROR_SUCCESS);
        RegCloseKey(key);
    }
}

TEST_F(HostEmulation, DenyRulesCoverTheKeyAndEverythingBelowIt)
{
    struct Case {
        host::Deny deny;
        const char *path;
        REGSAM access;
        LONG result;
    };
    const Case cases[] = {
        {host::Deny::Write, "Soft\\Fonts", KEY_READ, ERROR_SUCCESS},
        {host::Deny::Write, "soft\\FONTS", KEY_ALL_ACCESS, ERROR_ACCESS_DENIED},
        {host::Deny::Write, "Soft\\Fonts\\Sub", KEY_SET_VALUE, ERROR_ACCESS_DENIED},
        {host::Deny::Write, "Soft\\Fonts\\Sub", KEY_QUERY_VALUE, ERROR_SUCCESS},
        {host::Deny::Write, "Soft", KEY_ALL_ACCESS, ERROR_SUCCESS},
        /* Creating a key below a denied one fails, even to read it. */
        {host::Deny::Write, "Soft\\Fonts\\New", KEY_READ, ERROR_ACCESS_DENIED},
        {host::Deny::Write, "Soft\\Fonts\\Sub\\New\\Deeper", KEY_READ, ERROR_ACCESS_DENIED},
        {host::Deny::All, "Soft\\Fonts", KEY_READ, ERROR_ACCESS_DENIED},
        {host::Deny::All, "Soft\\Fonts\\Sub", KEY_QUERY_VALUE, ERROR_ACCESS_DENIED},
        {host::Deny::All, "Soft\\Other", KEY_ALL_ACCESS, ERROR_SUCCESS},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.path) + (c.deny == host::Deny::All ? " all" : " write"));
        host::Reset();
        host::PutRegString("Soft\\Fonts\\Sub", "v", "x");
        host::DenyRegAccess("SOFT\\fonts", c.deny);
        HKEY key = nullptr;
        EXPECT_EQ(Open(c.path, c.access, &key), c.result);
        EXPECT_EQ(host::OpenKeyCount(), c.result == ERROR_SUCCESS ? 1 : 0);
        EXPECT_FALSE(host::RegKeyExists("Soft\\Fonts\\New"));
        EXPECT_FALSE(host::RegKeyExists("Soft\\Fonts\\Sub\\New"));
    }
}

TEST_F(HostEmulation, AClosedOrMadeUpHandleIsInvalid)
{
    HKEY key = nullptr;
    ASSERT_EQ(Open(kFontsKey, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    int unrelated = 0;
    for (HKEY handle : {key, reinterpret_cast<HKEY>(&unrelated)}) {
        DWORD count = 0;
        EXPECT_EQ(RegQueryValueExA(handle, "v", nullptr, nullptr, nullptr, &count),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(SetString(handle, "v", "x"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteValueA(handle, "v"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCloseKey(handle), ERROR_INVALID_HANDLE);
    }
    EXPECT_FALSE(host::GetRegValue(kFontsKey, "v", nullptr));
}

TEST_F(HostEmulation, DeletingAMissingValueReportsFileNotFound)
{
    host::PutRegString(kFontsKey, "cmr10 (TrueType)", "cmr10.ttf");
    HKEY key = nullptr;
    ASSERT_EQ(Open(kFontsKey, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "CMR10 (TRUETYPE)"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "cmr10 (TrueType)"), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(host::RegValues(kFontsKey).empty());
    RegCloseKey(key);
}

/* ---- The failure switch ---- */

TEST_F(HostEmulation, FailureSwitchSkipsThenFailsTheGivenNumberOfTimes)
{
    struct Case {
        int times, skip;
        std::vector<BOOL> results;
    };
    const Case cases[] = {
        {1, 0, {FALSE, TRUE, TRUE, TRUE}},
        {2, 1, {TRUE, FALSE, FALSE, TRUE}},
        {-1, 2, {TRUE, TRUE, FALSE, FALSE}},
        {0, 0, {TRUE, TRUE, TRUE, TRUE}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.times) + " after " + std::to_string(c.skip));
        host::Reset();
        host::FailCall("GetVersionExA", c.times, c.skip);
        for (BOOL expected : c.results) {
            OSVERSIONINFOA info;
            std::memset(&info, 0x5a, sizeof info);
            info.dwOSVersionInfoSize = sizeof info;
            EXPECT_EQ(GetVersionExA(&info), expected);
            /* A failed call leaves the record as it was. */
            EXPECT_EQ(info.dwPlatformId,
                      expected ? static_cast<DWORD>(VER_PLATFORM_WIN32_NT) : 0x5a5a5a5au);
        }
        EXPECT_EQ(host::JournalOf({"GetVersionExA"}).size(), c.results.size());
    }
}

TEST_F(HostEmulation, AFailedCallHasNoEffect)
{
    host::PutRegString(kFontsKey, "v", "x");
    host::PutFile("C:\\WINDOWS\\FONTS\\old.ttf", host::FontBytes("old"));
    host::FailCall("RegCreateKeyExA", 1);
    host::FailCall("RegCloseKey", 1);
    host::FailCall("DeleteFileA", 1);
    host::FailCall("MessageBoxA", 1);

    HKEY key = nullptr;
    EXPECT_NE(Open("Soft\\New", KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_FALSE(host::RegKeyExists("Soft"));

    ASSERT_EQ(Open(kFontsKey, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_NE(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(host::OpenKeyCount(), 1);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\FONTS\\old.ttf"));
    EXPECT_TRUE(host::Exists("C:\\WINDOWS\\FONTS\\old.ttf"));

    /* The failed box takes no answer and shows nothing. */
    host::QueueAnswer(IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "title", MB_YESNO), 0);
    EXPECT_TRUE(host::Boxes().empty());
    EXPECT_EQ(MessageBoxA(nullptr, "text", "title", MB_YESNO), IDYES);
}

/* ---- Files ---- */

TEST_F(HostEmulation, PathsIgnoreAsciiCaseAndPutFileMakesTheDrive)
{
    EXPECT_EQ(GetDriveTypeA("d:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    host::PutFile("D:\\CM-TrueType\\cmr10.ttf", host::FontBytes("disc"));
    EXPECT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_EQ(GetDriveTypeA("d:\\"), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_EQ(GetDriveTypeA("d:"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    EXPECT_TRUE(host::Exists("d:\\cm-truetype\\CMR10.TTF"));
    EXPECT_EQ(host::ListDirectory("d:\\CM-TRUETYPE\\"), std::vector<std::string>{"cmr10.ttf"});

    host::SetDriveType('D', DRIVE_CDROM);
    EXPECT_EQ(GetDriveTypeA("d:\\"), static_cast<UINT>(DRIVE_CDROM));
    host::SetDriveType('d', DRIVE_NO_ROOT_DIR);
    EXPECT_FALSE(host::Exists("D:\\CM-TrueType\\cmr10.ttf"));
}

TEST_F(HostEmulation, FindFirstFileMatchesPatternsAndListsInNtfsOrder)
{
    const std::string folder = "D:\\CM-TrueType\\";
    for (const char *name : {"CMR10.TTF", "a.b.ttf", ".ttf", "_under.ttf", "cmr10.ttfx",
                             "readme", "\x83\x53.ttf", "\x83\x73.ttf"})
        host::PutFile(folder + name, "x");
    host::PutDirectory(folder + "x.ttf");

    struct Case {
        std::string pattern;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        /* Upper-case order puts '_' after the letters, and a Shift-JIS
         * character after every ASCII one. */
        {"*.ttf", {".ttf", "a.b.ttf", "CMR10.TTF", "x.ttf", "_under.ttf",
                   "\x83\x53.ttf", "\x83\x73.ttf"}},
        {"cmr10.TTF", {"CMR10.TTF"}},
        {"c?R10.ttf", {"CMR10.TTF"}},
        {"X.TTF", {"x.ttf"}},
        {"README", {"readme"}},
        {"*.*", {".ttf", "a.b.ttf", "CMR10.TTF", "cmr10.ttfx", "readme", "x.ttf",
                 "_under.ttf", "\x83\x53.ttf", "\x83\x73.ttf"}},
        {"\x83\x73.*", {"\x83\x73.ttf"}},
        {"none.ttf", {}},
        {"Nowhere\\*.ttf", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(Find(folder + c.pattern), c.names);
    }
    for (const char *unsearchable : {"D:\\", "D:", "E:\\*", "D:\\CM-TrueType\\"})
        EXPECT_TRUE(Find(unsearchable).empty()) << unsearchable;
    EXPECT_EQ(host::OpenSearchCount(), 0);
}

TEST_F(HostEmulation, FindDataDescribesTheEntryAndSearchesStayOpenUntilClosed)
{
    host::PutFile("C:\\Fonts\\a.ttf", "12345", FILE_ATTRIBUTE_READONLY);
    host::PutFile("C:\\Fonts\\b.ttf", "", 0);
    host::PutDirectory("C:\\Fonts\\c.ttf");

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("c:\\fonts\\*.ttf", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(host::OpenSearchCount(), 1);
    EXPECT_STREQ(found.cFileName, "a.ttf");
    EXPECT_EQ(found.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(found.nFileSizeLow, 5u);
    ASSERT_TRUE(FindNextFileA(search, &found));
    EXPECT_EQ(found.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(FindNextFileA(search, &found));
    EXPECT_EQ(found.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(FindNextFileA(search, &found));
    EXPECT_EQ(host::OpenSearchCount(), 1);

    EXPECT_TRUE(FindClose(search));
    EXPECT_EQ(host::OpenSearchCount(), 0);
    EXPECT_FALSE(FindClose(search));
    EXPECT_FALSE(FindNextFileA(search, &found));
}

TEST_F(HostEmulation, PathsSplitOnlyAtRealBackslashes)
{
    /* The second byte of U+8868 in Shift-JIS is a backslash. */
    const std::string folder = "C:\\\x95\x5c";
    host::PutFile(folder + "\\cmr10.ttf", "x");
    EXPECT_EQ(host::ListDirectory("C:\\"),
              (std::vector<std::string>{"WINDOWS", "\x95\x5c"}));
    EXPECT_EQ(Find(folder + "\\*.ttf"), std::vector<std::string>{"cmr10.ttf"});
    EXPECT_EQ(Find(folder), std::vector<std::string>{"\x95\x5c"});
}

TEST_F(HostEmulation, CopyFileHonoursFailIfExistsAndReadOnlyDestinations)
{
    const char source[] = "D:\\CM-TrueType\\CMR10.TTF";
    const char destination[] = "C:\\WINDOWS\\FONTS\\cmr10.ttf";
    struct Case {
        const char *existing; /* bytes at the destination, or null */
        DWORD existingAttributes;
        BOOL failIfExists;
        BOOL result;
    };
    const Case cases[] = {
        {nullptr, 0, TRUE, TRUE},
        {"old", FILE_ATTRIBUTE_ARCHIVE, TRUE, FALSE},
        {"old", FILE_ATTRIBUTE_ARCHIVE, FALSE, TRUE},
        {"old", FILE_ATTRIBUTE_READONLY, FALSE, FALSE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.existing ? c.existing : "none") + " " +
                     std::to_string(c.failIfExists));
        host::Reset();
        host::PutFile(source, host::FontBytes("disc"), FILE_ATTRIBUTE_READONLY);
        if (c.existing)
            host::PutFile("C:\\WINDOWS\\FONTS\\CMR10.ttf", c.existing, c.existingAttributes);

        EXPECT_EQ(CopyFileA(source, destination, c.failIfExists), c.result);
        EXPECT_EQ(host::FileBytes(destination),
                  c.result ? host::FontBytes("disc") : std::string(c.existing));
        EXPECT_EQ(host::ListDirectory("C:\\WINDOWS\\FONTS"),
                  std::vector<std::string>{c.existing ? "CMR10.ttf" : "cmr10.ttf"});
        if (c.result) {
            EXPECT_EQ(host::FileAttributes(destination),
                      static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
        }
    }
}

TEST_F(HostEmulation, CopyFileNeedsASourceFileAndADestinationFolder)
{
    host::PutFile("D:\\disc\\cmr10.ttf", "x");
    EXPECT_FALSE(CopyFileA("D:\\disc\\missing.ttf", "C:\\WINDOWS\\FONTS\\a.ttf", TRUE));
    EXPECT_FALSE(CopyFileA("D:\\disc", "C:\\WINDOWS\\FONTS\\a.ttf", TRUE));
    EXPECT_FALSE(CopyFileA("D:\\disc\\cmr10.ttf", "C:\\NOWHERE\\a.ttf", TRUE));
    EXPECT_FALSE(CopyFileA("D:\\disc\\cmr10.ttf", "C:\\WINDOWS\\FONTS", FALSE));
    EXPECT_TRUE(host::ListDirectory("C:\\WINDOWS\\FONTS").empty());
}

TEST_F(HostEmulation, ReadOnlyBlocksDeleteFileUntilTheAttributeIsCleared)
{
    const char path[] = "C:\\WINDOWS\\FONTS\\cmr10.ttf";
    host::PutFile(path, "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);

    EXPECT_FALSE(DeleteFileA(path));
    EXPECT_TRUE(host::Exists(path));
    EXPECT_TRUE(SetFileAttributesA("c:\\windows\\fonts\\CMR10.TTF", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(host::FileAttributes(path), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileA(path));
    EXPECT_FALSE(host::Exists(path));

    EXPECT_FALSE(DeleteFileA(path));
    EXPECT_FALSE(SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\FONTS"));
    EXPECT_TRUE(host::IsDirectory("C:\\WINDOWS\\FONTS"));
}

/* ---- Fonts ---- */

TEST_F(HostEmulation, AddFontResourceLoadsOnlyTrueTypeFiles)
{
    struct Case {
        std::string bytes;
        int result;
    };
    const Case cases[] = {
        {host::FontBytes("cmr10"), 1},
        {std::string("true", 4) + "rest", 1},
        {std::string("\x00\x01\x00", 3), 0},
        {"plain text, not a font\r\n", 0},
        {"", 0},
    };
    for (const Case &c : cases) {
        host::Reset();
        host::PutFile("C:\\WINDOWS\\FONTS\\cmr10.ttf", c.bytes);
        EXPECT_EQ(AddFontResourceA("C:\\WINDOWS\\FONTS\\cmr10.ttf"), c.result);
        EXPECT_EQ(host::LoadedFonts().size(), static_cast<size_t>(c.result));
    }
    EXPECT_EQ(AddFontResourceA("C:\\WINDOWS\\FONTS\\missing.ttf"), 0);
    EXPECT_EQ(AddFontResourceA("C:\\WINDOWS\\FONTS"), 0);
}

TEST_F(HostEmulation, RemoveFontResourceFindsABareNameInTheFontsFolder)
{
    /* On 95/98 the file of a loaded font can be deleted. */
    host::SetPlatform(VER_PLATFORM_WIN32_WINDOWS);
    const std::string font = "C:\\WINDOWS\\FONTS\\cmr10.ttf";
    host::PutFile(font, host::FontBytes("cmr10"));
    host::PutFile("D:\\disc\\cmr10.ttf", host::FontBytes("disc"));
    ASSERT_EQ(AddFontResourceA(font.c_str()), 1);
    ASSERT_EQ(AddFontResourceA("D:\\disc\\cmr10.ttf"), 1);
    ASSERT_EQ(AddFontResourceA(font.c_str()), 1);

    /* Loaded twice, so it takes two removals; the disc's copy stays. */
    EXPECT_TRUE(RemoveFontResourceA("CMR10.TTF"));
    EXPECT_EQ(host::LoadedFonts(), (std::vector<std::string>{font, "D:\\disc\\cmr10.ttf"}));
    ASSERT_TRUE(DeleteFileA(font.c_str()));
    EXPECT_TRUE(RemoveFontResourceA("cmr10.ttf"));
    EXPECT_FALSE(RemoveFontResourceA("cmr10.ttf"));
    EXPECT_EQ(host::LoadedFonts(), std::vector<std::string>{"D:\\disc\\cmr10.ttf"});

    EXPECT_TRUE(RemoveFontResourceA("d:\\DISC\\CMR10.ttf"));
    EXPECT_TRUE(host::LoadedFonts().empty());
}

/* ---- Files held open, and reading them ---- */

TEST_F(HostEmulation, AHeldFileCannotBeDeletedUntilReleased)
{
    const std::string file = "C:\\WINDOWS\\FONTS\\cmr10.ttf";
    const struct {
        const char *what;
        DWORD platform;
        std::function<void()> hold, release;
    } cases[] = {
        {"another program", VER_PLATFORM_WIN32_NT, [&] { host::HoldFile(file); },
         [&] { host::ReleaseFile(file); }},
        {"another program on 95/98", VER_PLATFORM_WIN32_WINDOWS,
         [&] { host::HoldFile(file); }, [&] { host::ReleaseFile(file); }},
        {"a font loaded on NT", VER_PLATFORM_WIN32_NT,
         [&] { AddFontResourceA("cmr10.ttf"); }, [&] { RemoveFontResourceA(file.c_str()); }},
    };
    for (const auto &c : cases) {
        host::Reset();
        host::SetPlatform(c.platform);
        host::PutFile(file, host::FontBytes("a"));
        c.hold();
        EXPECT_FALSE(DeleteFileA("c:\\windows\\fonts\\CMR10.TTF")) << c.what;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION) << c.what;
        EXPECT_NE(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << c.what;
        EXPECT_FALSE(CopyFileA(file.c_str(), file.c_str(), FALSE)) << c.what;
        c.release();
        EXPECT_TRUE(DeleteFileA(file.c_str())) << c.what;
        EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << c.what;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND) << c.what;
    }
}

TEST_F(HostEmulation, ADriveWithoutADiscAsksForOneUnlessTheProgramFailsCriticalErrors)
{
    WIN32_FIND_DATAA found;
    host::SetDriveType('a', DRIVE_REMOVABLE);
    host::RemoveDisc('a');
    EXPECT_EQ(GetDriveTypeA("a:\\"), (UINT)DRIVE_REMOVABLE);
    EXPECT_EQ(FindFirstFileA("a:\\CM-TrueType", &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_READY);
    ASSERT_EQ(host::Boxes().size(), 1u);
    EXPECT_EQ(host::Boxes()[0].caption, "Windows - No Disk");

    EXPECT_EQ(SetErrorMode(SEM_FAILCRITICALERRORS), 0u);
    EXPECT_EQ(FindFirstFileA("a:\\CM-TrueType", &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_READY);
    EXPECT_EQ(host::Boxes().size(), 1u);
    EXPECT_EQ(SetErrorMode(0), (UINT)SEM_FAILCRITICALERRORS);
}

TEST_F(HostEmulation, MoveFileRenamesButNeverOverAFile)
{
    const std::string from = "C:\\WINDOWS\\FONTS\\a.part", to = "C:\\WINDOWS\\FONTS\\a.ttf";
    host::PutFile(from, "new", FILE_ATTRIBUTE_READONLY);
    host::PutFile(to, "old");
    EXPECT_FALSE(MoveFileA(from.c_str(), to.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_EQ(host::FileBytes(to), "old");
    host::RemoveEntry(to);
    EXPECT_FALSE(MoveFileA(from.c_str(), "D:\\a.ttf"));
    EXPECT_TRUE(MoveFileA(from.c_str(), to.c_str())); /* read-only files can be renamed */
    EXPECT_EQ(host::FileBytes(to), "new");
    EXPECT_FALSE(host::Exists(from));
    host::HoldFile(to);
    EXPECT_FALSE(MoveFileA(to.c_str(), from.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    host::ReleaseFile(to);
}

TEST_F(HostEmulation, CreateFileReadsInChunksAndSharesWithHolders)
{
    const std::string file = "C:\\WINDOWS\\FONTS\\a.ttf";
    host::PutFile(file, "0123456789");
    host::HoldFile(file);
    HANDLE refused = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(refused, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);

    HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    host::ReleaseFile(file);
    /* Opened without FILE_SHARE_DELETE, the program holds it itself. */
    EXPECT_FALSE(DeleteFileA(file.c_str()));
    char buffer[4];
    std::string read;
    DWORD got = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got)
        read.append(buffer, got);
    EXPECT_EQ(read, "0123456789");
    EXPECT_EQ(host::OpenFileCount(), 1);
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_TRUE(DeleteFileA(file.c_str()));

    for (const char *path : {"C:\\WINDOWS\\FONTS\\none.ttf", "C:\\WINDOWS\\FONTS"})
        EXPECT_EQ(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr),
                  INVALID_HANDLE_VALUE)
            << path;
}

/* ---- Killed runs ---- */

TEST_F(HostEmulation, ACutRunEndsBeforeTheCallAfterItsLastEffect)
{
    host::PutFile("D:\\a.ttf", host::FontBytes("a"));
    /* A copy is two effects: the file made, part of it written; the rest. */
    host::CutAfterEffects(3);
    EXPECT_TRUE(CopyFileA("D:\\a.ttf", "C:\\WINDOWS\\FONTS\\a.ttf", TRUE));
    EXPECT_EQ(GetDriveTypeA("d:\\"), (UINT)DRIVE_FIXED); /* a question, no effect */
    EXPECT_FALSE(CopyFileA("D:\\a.ttf", "C:\\WINDOWS\\FONTS\\a.ttf", TRUE)); /* nothing done */
    EXPECT_EQ(AddFontResourceA("C:\\WINDOWS\\FONTS\\a.ttf"), 1);
    EXPECT_THROW(RemoveFontResourceA("a.ttf"), host::RunCut);
    EXPECT_EQ(host::EffectCount(), 3);
    EXPECT_EQ(host::LoadedFonts().size(), 1u);
    /* Disarmed once it has cut. */
    EXPECT_TRUE(RemoveFontResourceA("a.ttf"));

    /* Killed during a copy: the new file is there, cut short. */
    host::Reset();
    host::PutFile("D:\\a.ttf", host::FontBytes("abcdefgh"));
    host::CutAfterEffects(1);
    EXPECT_THROW(CopyFileA("D:\\a.ttf", "C:\\WINDOWS\\FONTS\\a.ttf", TRUE), host::RunCut);
    EXPECT_EQ(host::FileBytes("C:\\WINDOWS\\FONTS\\a.ttf"),
              host::FontBytes("abcdefgh").substr(0, 6));

    host::Reset();
    host::CutAfterBroadcasts(1);
    SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    EXPECT_THROW(GetDriveTypeA("c:\\"), host::RunCut);
    EXPECT_EQ(host::BroadcastCount(), 1);
}

TEST_F(HostEmulation, AHungWindowMakesATimedBroadcastTimeOut)
{
    DWORD_PTR result = 7;
    EXPECT_NE(SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000,
                                  &result),
              0);
    host::HangWindow(true);
    EXPECT_EQ(SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000,
                                  &result),
              0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_TIMEOUT);
    EXPECT_EQ(host::BroadcastCount(), 2);
}

/* ---- Code pages ---- */

TEST_F(HostEmulation, MultiByteToWideCharConvertsCodePage932)
{
    const char text[] = "\x83\x5C\x83\x74\x83\x67 a"; /* ソフト a */
    const WCHAR expected[] = {0x30BD, 0x30D5, 0x30C8, ' ', 'a', 0};
    EXPECT_EQ(MultiByteToWideChar(932, 0, text, -1, nullptr, 0), 6);
    WCHAR wide[6];
    ASSERT_EQ(MultiByteToWideChar(932, 0, text, -1, wide, 6), 6);
    EXPECT_TRUE(std::equal(wide, wide + 6, expected));
    EXPECT_EQ(MultiByteToWideChar(932, 0, text, -1, wide, 5), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(MultiByteToWideChar(932, 0, text, 2, wide, 6), 1);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, text, -1, wide, 6), 0);

    EXPECT_EQ(GetACP(), 932u);
    host::SetCodePage(1252);
    EXPECT_EQ(GetACP(), 1252u);
}

TEST_F(HostEmulation, MessageBoxWRecordsItsTextsInCodePage932)
{
    const WCHAR text[] = {0x6B63, 0x5E38, 0}; /* 正常 */
    const WCHAR caption[] = {'Q', 0};
    host::QueueAnswer(IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, text, caption, MB_OK), IDOK);
    ASSERT_EQ(host::Boxes().size(), 1u);
    EXPECT_EQ(host::Boxes()[0].text, "\x90\xb3\x8f\xed");
    EXPECT_EQ(host::Boxes()[0].caption, "Q");
    EXPECT_TRUE(host::Boxes()[0].unicode);
}

/* ---- Strings ---- */

TEST_F(HostEmulation, WsprintfFormatsStringsAndStopsAt1023Bytes)
{
    struct Case {
        const char *format;
        const char *argument;
        std::string expected;
    };
    const std::string long_text(2000, 'a');
    const Case cases[] = {
        {"%s (TrueType)", "cmr10", "cmr10 (TrueType)"},
        {"100%% %s", nullptr, "100% (null)"},
        {"%s", long_text.c_str(), std::string(1023, 'a')},
        {"x%s", long_text.c_str(), "x" + std::string(1022, 'a')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format);
        std::vector<char> buffer(1100, '#');
        EXPECT_EQ(wsprintfA(buffer.data(), c.format, c.argument),
                  static_cast<int>(c.expected.size()));
        EXPECT_EQ(std::string(buffer.data()), c.expected);
        EXPECT_EQ(buffer[c.expected.size() + 1], '#');
    }
}

/* ---- The user, the shell and the journal ---- */

TEST_F(HostEmulation, MessageBoxShowsTheHookTheBoxBeforeItIsAnswered)
{
    host::QueueAnswer(IDOK);
    int hookCalls = 0;
    host::OnBox([&](const host::Box &box) {
        ++hookCalls;
        EXPECT_EQ(box.text, "insert the disc");
        /* The disc arrives while the box is up. */
        host::PutFile("E:\\CM-TrueType\\cmr10.ttf", "x");
    });
    EXPECT_EQ(MessageBoxA(nullptr, "insert the disc", "Setup", MB_OKCANCEL), IDOK);
    EXPECT_TRUE(host::Exists("E:\\CM-TrueType\\cmr10.ttf"));
    EXPECT_EQ(MessageBoxA(nullptr, "insert the disc", nullptr, MB_OK), 0);

    ASSERT_EQ(host::Boxes().size(), 2u);
    EXPECT_EQ(hookCalls, 2);
    EXPECT_EQ(host::Boxes()[0].caption, "Setup");
    EXPECT_EQ(host::Boxes()[0].flags, MB_OKCANCEL);
    EXPECT_EQ(host::Boxes()[0].result, IDOK);
    EXPECT_EQ(host::Boxes()[1].result, 0);
}

TEST_F(HostEmulation, TheShellGivesTheFontsFolderThroughAnItemList)
{
    for (const std::string folder : {"C:\\WINDOWS\\FONTS", "D:\\WINNT\\Fonts", ""}) {
        host::Reset();
        if (folder != "C:\\WINDOWS\\FONTS")
            host::SetFontsFolder(folder);
        LPITEMIDLIST list = nullptr;
        ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_FONTS, &list), S_OK);
        EXPECT_EQ(host::LiveItemLists(), 1);
        char path[MAX_PATH] = "#";
        EXPECT_TRUE(SHGetPathFromIDListA(list, path));
        EXPECT_EQ(std::string(path), folder);

        IMalloc *allocator = nullptr;
        ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
        allocator->Free(list);
        allocator->Release();
        EXPECT_EQ(host::LiveItemLists(), 0);
    }

    LPITEMIDLIST list = nullptr;
    host::FailCall("SHGetSpecialFolderLocation", 1);
    EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_FONTS, &list), E_FAIL);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, 0x0005, &list), E_FAIL);
    EXPECT_EQ(host::LiveItemLists(), 0);
}

TEST_F(HostEmulation, TheJournalNamesEveryCallWithItsArguments)
{
    host::PutFile("D:\\CM\\a.ttf", host::FontBytes("a"));
    HKEY key = nullptr;
    Open("Soft", KEY_ALL_ACCESS, &key);
    HKEY sub = nullptr;
    RegCreateKeyExA(key, "Fonts", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr);
    RegQueryValueExA(sub, nullptr, nullptr, nullptr, nullptr, nullptr);
    SetString(key, "a (TrueType)", "a.ttf");
    RegDeleteValueA(key, "gone");
    RegCloseKey(key);
    host::FailCall("CopyFileA", 1);
    CopyFileA("D:\\CM\\a.ttf", "C:\\WINDOWS\\FONTS\\a.ttf", TRUE);
    SetFileAttributesA("C:\\WINDOWS\\FONTS\\a.ttf", FILE_ATTRIBUTE_NORMAL);
    AddFontResourceA("C:\\WINDOWS\\FONTS\\a.ttf");
    RemoveFontResourceA("a.ttf");
    SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    MessageBoxA(nullptr, "t", "c", MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
    GetDriveTypeA("d:\\");

    const std::vector<std::string> expected = {
        "RegCreateKeyExA(HKLM\\Soft, 0xf003f)",
        "RegCreateKeyExA(HKLM\\Soft\\Fonts, 0x20019)",
        "RegQueryValueExA(NULL)",
        "RegSetValueExA(a (TrueType), 1, 6)",
        "RegDeleteValueA(gone)",
        "RegCloseKey()",
        "CopyFileA(D:\\CM\\a.ttf, C:\\WINDOWS\\FONTS\\a.ttf, 1)",
        "SetFileAttributesA(C:\\WINDOWS\\FONTS\\a.ttf, 0x80)",
        "AddFontResourceA(C:\\WINDOWS\\FONTS\\a.ttf)",
        "RemoveFontResourceA(a.ttf)",
        "SendMessageTimeoutA(0xffff, 0x1d, 0, 0, 0x2, 5000)",
        "MessageBoxA(0x40024)",
        "GetDriveTypeA(d:\\)",
    };
    EXPECT_EQ(host::Journal(), expected);
    EXPECT_EQ(host::JournalOf({"RegCloseKey", "SendMessageTimeoutA"}),
              (std::vector<std::string>{"RegCloseKey()",
                                        "SendMessageTimeoutA(0xffff, 0x1d, 0, 0, 0x2, 5000)"}));
    EXPECT_EQ(host::BroadcastCount(), 1);
}

} // namespace
