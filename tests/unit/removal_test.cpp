#include <algorithm>

#include "fonts/removal.h"
#include "fonts/font_store.h"
#include "host_fixture.h"

namespace {

using RemovalTest = HostTest;

const std::vector<std::string> Effects = {
    "RegDeleteValueA", "RemoveFontResourceA", "SetFileAttributesA",
    "DeleteFileA", "SendMessageA"};

const std::string Broadcast = "SendMessageA(0xffff, 0x1d, 0, 0)";

std::vector<std::string> RemoveAndJournal(const FontSet *set)
{
    host::ClearJournal();
    RemoveFontSet(set);
    return host::JournalOf(Effects);
}

/* What one registered font costs, in order. */
std::vector<std::string> FontRemoved(const std::string &valueName,
                                     const std::string &data,
                                     const std::string &deletedPath)
{
    std::vector<std::string> effects = {
        "RegDeleteValueA(" + valueName + ")",
        "RemoveFontResourceA(" + data + ")"};
    if (!deletedPath.empty()) {
        effects.push_back("SetFileAttributesA(" + deletedPath + ", 0x80)");
        effects.push_back("DeleteFileA(" + deletedPath + ")");
    }
    effects.push_back(Broadcast);
    return effects;
}

TEST_F(RemovalTest, EachRegisteredFontIsTakenOutInOrder)
{
    RegisterFont(NT_KEY, "cmr10", "cmr10.ttf");
    RegisterFont(NT_KEY, "cmvtt10", "cmvtt10.ttf");
    host::PutFile(FONTS_DIR "\\cmr10.ttf", host::FontBytes("old"));
    host::PutFile(FONTS_DIR "\\cmvtt10.ttf", host::FontBytes("old"));
    ASSERT_EQ(AddFontResourceA(FONTS_DIR "\\cmr10.ttf"), 1);

    std::vector<std::string> expected =
        FontRemoved("cmr10 (TrueType)", "cmr10.ttf", FONTS_DIR "\\cmr10.ttf");
    const auto marker = FontRemoved("cmvtt10 (TrueType)", "cmvtt10.ttf",
                                    FONTS_DIR "\\cmvtt10.ttf");
    expected.insert(expected.end(), marker.begin(), marker.end());
    EXPECT_EQ(RemoveAndJournal(&NewFontSet), expected);

    EXPECT_TRUE(host::RegValues(NT_KEY).empty());
    EXPECT_TRUE(host::ListDirectory(FONTS_DIR).empty());
    EXPECT_TRUE(host::LoadedFonts().empty());
    EXPECT_EQ(IsFontSetInstalled(&NewFontSet), 0);
}

TEST_F(RemovalTest, DataShapes)
{
    const struct {
        const char *what;
        std::string data;
        std::string deleted; /* the file deleted, or "" */
    } cases[] = {
        {"file name", "cmvtt10.ttf", FONTS_DIR "\\cmvtt10.ttf"},
        {"no extension", "CMVTT10", FONTS_DIR "\\CMVTT10.ttf"},
        {"dot anywhere", "cm.vtt10", FONTS_DIR "\\cm.vtt10"},
        {"full path elsewhere", "D:\\TEX\\FONTS\\CMVTT10.TTF", ""},
        {"relative path", "..\\system32\\x.dll", ""},
        {"slash is a separator", "../system32/x.dll", ""},
        {"drive prefix", "C:x.dll", ""},
        {"slash after a broken pair", "\x9F/x.dll", ""},
        {"colon after a broken pair", "\x81:x.dll", ""},
        {"dots alone", "..", ""},
        {"dots and blanks", ". .", ""},
        {"Shift-JIS 0x5C second byte", "\x83\x5C\x83\x74\x83\x67.ttf",
         FONTS_DIR "\\\x83\x5C\x83\x74\x83\x67.ttf"},
        {"Shift-JIS without extension", "\x83\x5C",
         FONTS_DIR "\\\x83\x5C.ttf"},
        {"empty data", "", FONTS_DIR "\\.ttf"},
    };
    for (const auto &c : cases) {
        host::Reset();
        RegisterFont(NT_KEY, "cmvtt10", c.data);
        EXPECT_EQ(RemoveAndJournal(&NewFontSet),
                  FontRemoved("cmvtt10 (TrueType)", c.data, c.deleted))
            << c.what;
    }
}

TEST_F(RemovalTest, FilesInTheFontsFolder)
{
    const struct {
        const char *what;
        std::string folder;
        DWORD attributes;
        bool present;
        std::string path;
    } cases[] = {
        {"read-only file", FONTS_DIR, FILE_ATTRIBUTE_READONLY, true,
         FONTS_DIR "\\cmvtt10.ttf"},
        {"hidden system file", FONTS_DIR,
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, true,
         FONTS_DIR "\\cmvtt10.ttf"},
        {"folder ending in a backslash", "C:\\WINNT\\FONTS\\",
         FILE_ATTRIBUTE_ARCHIVE, true, "C:\\WINNT\\FONTS\\cmvtt10.ttf"},
        {"missing file", FONTS_DIR, 0, false, FONTS_DIR "\\cmvtt10.ttf"},
    };
    for (const auto &c : cases) {
        host::Reset();
        host::SetFontsFolder(c.folder);
        host::PutDirectory(c.folder);
        RegisterFont(NT_KEY, "cmvtt10", "cmvtt10.ttf");
        if (c.present)
            host::PutFile(c.path, host::FontBytes("old"), c.attributes);
        EXPECT_EQ(RemoveAndJournal(&NewFontSet),
                  FontRemoved("cmvtt10 (TrueType)", "cmvtt10.ttf", c.path))
            << c.what;
        EXPECT_FALSE(host::Exists(c.path)) << c.what;
        EXPECT_FALSE(IsRegistered(NT_KEY, "cmvtt10")) << c.what;
    }
}

TEST_F(RemovalTest, NamesWithoutValuePassSilently)
{
    RegisterFont(NT_KEY, "cmb10", "cmb10.ttf"); /* first of the set */
    RegisterFont(NT_KEY, "cmvtt10", "cmvtt10.ttf");
    RegisterFont(NT_KEY, "msbm9", "msbm9.ttf"); /* last of the set */
    host::PutRegValue(NT_KEY, "cmr10 (TrueType)", REG_DWORD, "\1\0\0\0");
    RegisterFont(NT_KEY, "unrelated", "unrelated.ttf");

    const auto effects = RemoveAndJournal(&NewFontSet);
    EXPECT_EQ(std::count(effects.begin(), effects.end(), Broadcast), 3);
    EXPECT_EQ(effects.front(), "RegDeleteValueA(cmb10 (TrueType))");
    EXPECT_EQ(effects.back(), Broadcast);
    EXPECT_FALSE(IsRegistered(NT_KEY, "msbm9"));
    /* A value that cannot be read as a string is passed over. */
    EXPECT_TRUE(IsRegistered(NT_KEY, "cmr10"));
    EXPECT_TRUE(IsRegistered(NT_KEY, "unrelated"));
}

TEST_F(RemovalTest, NothingWithoutTheMarker)
{
    for (int i = 0; i < LegacyFontSetB.count; i++) {
        if (i != LegacyFontSetB.marker)
            RegisterFont(NT_KEY, LegacyFontSetB.names[i], "x.ttf");
    }
    EXPECT_TRUE(RemoveAndJournal(&LegacyFontSetB).empty());
    EXPECT_EQ(host::RegValues(NT_KEY).size(), (size_t)LegacyFontSetB.count - 1);
}

TEST_F(RemovalTest, GatesEndTheCallBeforeAnything)
{
    const struct {
        const char *what;
        std::function<void()> arrange;
    } gates[] = {
        {"full access refused",
         [] { host::DenyRegAccess(NT_KEY, host::Deny::Write); }},
        {"Fonts folder lost after the probe",
         [] { host::FailCall("SHGetPathFromIDListA", 1, 1); }},
    };
    for (const auto &g : gates) {
        host::Reset();
        RegisterFont(NT_KEY, "cmvtt10", "cmvtt10.ttf");
        host::PutFile(FONTS_DIR "\\cmvtt10.ttf", host::FontBytes("old"));
        g.arrange();
        EXPECT_TRUE(RemoveAndJournal(&NewFontSet).empty()) << g.what;
        EXPECT_TRUE(IsRegistered(NT_KEY, "cmvtt10")) << g.what;
    }
}

/* The system font list ignores case: the older set's CMR10 is the own set's
 * cmr10 too. */
TEST_F(RemovalTest, OlderSetTakesTheLowerCaseValueOfTheSameName)
{
    RegisterFont(NT_KEY, "ASCGRP", "ASCGRP.TTF");
    RegisterFont(NT_KEY, "cmr10", "cmr10.ttf");
    host::PutFile(FONTS_DIR "\\cmr10.ttf", host::FontBytes("mine"));
    RemoveFontSet(&LegacyFontSetA);
    EXPECT_TRUE(host::RegValues(NT_KEY).empty());
    EXPECT_FALSE(host::Exists(FONTS_DIR "\\cmr10.ttf"));
}

TEST_F(RemovalTest, FailuresInsideTheWalkDoNotStopIt)
{
    RegisterFont(NT_KEY, "cmr10", "cmr10.ttf");
    RegisterFont(NT_KEY, "cmvtt10", "cmvtt10.ttf");
    host::PutFile(FONTS_DIR "\\cmr10.ttf", host::FontBytes("a"));
    host::PutFile(FONTS_DIR "\\cmvtt10.ttf", host::FontBytes("b"));
    for (const char *call : {"RegDeleteValueA", "RemoveFontResourceA",
                             "SetFileAttributesA", "SendMessageA"})
        host::FailCall(call, 1);

    const auto effects = RemoveAndJournal(&NewFontSet);
    EXPECT_EQ(effects.size(), 10u);
    EXPECT_FALSE(host::Exists(FONTS_DIR "\\cmr10.ttf"));
    EXPECT_FALSE(host::Exists(FONTS_DIR "\\cmvtt10.ttf"));
    EXPECT_TRUE(IsRegistered(NT_KEY, "cmr10")); /* its delete failed */
    EXPECT_FALSE(IsRegistered(NT_KEY, "cmvtt10"));
}

TEST_F(RemovalTest, EmptyFontsFolderPathDeletesNoFileAndSendsNothing)
{
    host::SetFontsFolder("");
    RegisterFont(NT_KEY, "cmvtt10", "cmvtt10.ttf");
    RegisterFont(NT_KEY, "cmr10", "D:\\cmr10.ttf");
    EXPECT_EQ(RemoveAndJournal(&NewFontSet),
              (std::vector<std::string>{
                  "RegDeleteValueA(cmr10 (TrueType))",
                  "RemoveFontResourceA(D:\\cmr10.ttf)", Broadcast,
                  "RegDeleteValueA(cmvtt10 (TrueType))",
                  "RemoveFontResourceA(cmvtt10.ttf)"}));
}

/* Names that do not fit the 260-byte path are unloaded and unregistered,
 * but their file is passed over: nothing is cut or overrun. */
TEST_F(RemovalTest, LongDataOverrunsNothing)
{
    const std::string noRoomForExtension(256, 'a');
    const std::string pathTooLong = std::string(243, 'b') + ".ttf";
    const struct {
        const char *what;
        std::string data;
    } cases[] = {
        {"256 bytes, no dot", noRoomForExtension},
        {"joined path over 259 bytes", pathTooLong},
    };
    for (const auto &c : cases) {
        host::Reset();
        RegisterFont(NT_KEY, "cmvtt10", c.data);
        EXPECT_EQ(RemoveAndJournal(&NewFontSet),
                  FontRemoved("cmvtt10 (TrueType)", c.data, ""))
            << c.what;
    }
    /* The longest that fits: 16 + 1 + 242 = 259 bytes. */
    host::Reset();
    const std::string fits = std::string(238, 'c') + ".ttf";
    RegisterFont(NT_KEY, "cmvtt10", fits);
    EXPECT_EQ(RemoveAndJournal(&NewFontSet),
              FontRemoved("cmvtt10 (TrueType)", fits, FONTS_DIR "\\" + fits));
}

} // namespace
