#include <algorithm>

#include "fonts/removal.h"
#include "fonts/font_store.h"
#include "host_fixture.h"

namespace {

using RemovalTest = HostTest;

const std::vector<std::string> Effects = {
    "RegDeleteValueA", "RemoveFontResourceA", "SetFileAttributesA",
    "DeleteFileA", "SendMessageTimeoutA"};

const std::string Broadcast = "SendMessageTimeoutA(0xffff, 0x1d, 0, 0, 0x2, 5000)";

std::vector<std::string> RemoveAndJournal(const FontSet *set, int markerMayGo = 1)
{
    host::ClearJournal();
    RemoveFontSet(set, markerMayGo);
    return host::JournalOf(Effects);
}

/* What one registered font costs, in order: unloaded, its file deleted,
 * then its value, unless the file stays; one broadcast. */
std::vector<std::string> FontRemoved(const std::string &valueName,
                                     const std::string &data,
                                     const std::string &deletedPath,
                                     bool fileStays = false)
{
    std::vector<std::string> effects = {"RemoveFontResourceA(" + data + ")"};
    if (!deletedPath.empty()) {
        effects.push_back("SetFileAttributesA(" + deletedPath + ", 0x80)");
        effects.push_back("DeleteFileA(" + deletedPath + ")");
    }
    if (!fileStays)
        effects.push_back("RegDeleteValueA(" + valueName + ")");
    effects.push_back(Broadcast);
    return effects;
}

std::vector<std::string> Joined(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

/* cmr10.ttf and the like, registered, with a file in the Fonts folder. */
void PutInstalledFonts(const std::string &key, std::initializer_list<const char *> names,
                       DWORD attributes = FILE_ATTRIBUTE_ARCHIVE)
{
    for (const char *name : names) {
        RegisterFont(key, name, std::string(name) + ".ttf");
        host::PutFile(FONTS_DIR "\\" + std::string(name) + ".ttf", host::FontBytes("old"),
                      attributes);
    }
}

/* Table order, but the marker (cmvtt10) after every other font of the set,
 * msbm9, the last name of the table, among them. */
TEST_F(RemovalTest, EachRegisteredFontIsTakenOutInOrderTheMarkerLast)
{
    PutInstalledFonts(NT_KEY, {"cmr10", "cmvtt10", "msbm9"});
    /* Loaded, as an installed font is: on NT that holds its file until it
     * is unloaded, which comes first. */
    ASSERT_EQ(AddFontResourceA(FONTS_DIR "\\cmr10.ttf"), 1);

    EXPECT_EQ(RemoveAndJournal(&NewFontSet),
              Joined({FontRemoved("cmr10 (TrueType)", "cmr10.ttf", FONTS_DIR "\\cmr10.ttf"),
                      FontRemoved("msbm9 (TrueType)", "msbm9.ttf", FONTS_DIR "\\msbm9.ttf"),
                      FontRemoved("cmvtt10 (TrueType)", "cmvtt10.ttf",
                                  FONTS_DIR "\\cmvtt10.ttf")}));

    EXPECT_TRUE(host::RegValues(NT_KEY).empty());
    EXPECT_TRUE(host::ListDirectory(FONTS_DIR).empty());
    EXPECT_TRUE(host::LoadedFonts().empty());
    EXPECT_EQ(IsFontSetInstalled(&NewFontSet), 0);
}

/*
 * A file that cannot be deleted keeps its value, so the font stays
 * registered and a later run tries again; the marker stays with it. Once
 * the file is free, the next removal finishes the set.
 */
TEST_F(RemovalTest, AFileThatStaysKeepsItsValueAndTheMarker)
{
    const std::string cmr10 = FONTS_DIR "\\cmr10.ttf";
    const struct {
        const char *what;
        DWORD platform;
        std::function<void()> hold, release;
    } cases[] = {
        {"held open by a program", VER_PLATFORM_WIN32_NT, [&] { host::HoldFile(cmr10); },
         [&] { host::ReleaseFile(cmr10); }},
        {"held open on 95/98", VER_PLATFORM_WIN32_WINDOWS, [&] { host::HoldFile(cmr10); },
         [&] { host::ReleaseFile(cmr10); }},
        /* Loaded twice (an earlier run was killed after loading it): one
         * unload leaves it loaded, and on NT a loaded font holds its file. */
        {"still loaded on NT", VER_PLATFORM_WIN32_NT,
         [&] {
             AddFontResourceA(cmr10.c_str());
             AddFontResourceA(cmr10.c_str());
         },
         [&] { RemoveFontResourceA(cmr10.c_str()); }},
    };
    for (const auto &c : cases) {
        host::Reset();
        host::SetPlatform(c.platform);
        const std::string key = c.platform == VER_PLATFORM_WIN32_NT ? NT_KEY : WIN9X_KEY;
        PutInstalledFonts(key, {"cmr10", "cmvtt10"}, FILE_ATTRIBUTE_READONLY);
        c.hold();

        EXPECT_EQ(RemoveAndJournal(&NewFontSet),
                  FontRemoved("cmr10 (TrueType)", "cmr10.ttf", cmr10, true))
            << c.what;
        EXPECT_TRUE(host::Exists(cmr10)) << c.what;
        EXPECT_TRUE(IsRegistered(key, "cmr10")) << c.what;
        EXPECT_TRUE(IsRegistered(key, "cmvtt10")) << c.what;
        EXPECT_TRUE(host::Exists(FONTS_DIR "\\cmvtt10.ttf")) << c.what;

        c.release();
        RemoveFontSet(&NewFontSet, 1);
        EXPECT_TRUE(host::RegValues(key).empty()) << c.what;
        EXPECT_TRUE(host::ListDirectory(FONTS_DIR).empty()) << c.what;
    }
}

/* On 95/98 a loaded font does not hold its file. */
TEST_F(RemovalTest, ALoadedFontHoldsNoFileOn9x)
{
    host::SetPlatform(VER_PLATFORM_WIN32_WINDOWS);
    PutInstalledFonts(WIN9X_KEY, {"cmvtt10"});
    AddFontResourceA(FONTS_DIR "\\cmvtt10.ttf");
    AddFontResourceA(FONTS_DIR "\\cmvtt10.ttf");
    RemoveFontSet(&NewFontSet, 1);
    EXPECT_TRUE(host::RegValues(WIN9X_KEY).empty());
    EXPECT_TRUE(host::ListDirectory(FONTS_DIR).empty());
}

/* The caller can keep the marker: every other font goes, the marker's font
 * stays whole. */
TEST_F(RemovalTest, AMarkerThatMayNotGoStays)
{
    for (const char *name : {"CMBSY5", "WNCYB10"}) {
        RegisterFont(NT_KEY, name, std::string(name) + ".TTF");
        host::PutFile(FONTS_DIR "\\" + std::string(name) + ".TTF", host::FontBytes("old"));
    }
    EXPECT_EQ(RemoveAndJournal(&LegacyFontSetB, 0),
              FontRemoved("CMBSY5 (TrueType)", "CMBSY5.TTF", FONTS_DIR "\\CMBSY5.TTF"));
    EXPECT_TRUE(IsRegistered(NT_KEY, "WNCYB10"));
    EXPECT_TRUE(host::Exists(FONTS_DIR "\\WNCYB10.TTF"));
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
    EXPECT_EQ(effects.front(), "RemoveFontResourceA(cmb10.ttf)");
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
    RemoveFontSet(&LegacyFontSetA, 1);
    EXPECT_TRUE(host::RegValues(NT_KEY).empty());
    EXPECT_FALSE(host::Exists(FONTS_DIR "\\cmr10.ttf"));
}

/* Failures of the unload, the attribute reset and the broadcast stop
 * nothing; a value that cannot be deleted stays, and so does the marker. */
TEST_F(RemovalTest, FailuresInsideTheWalkDoNotStopIt)
{
    PutInstalledFonts(NT_KEY, {"cmb10", "cmr10", "cmvtt10"});
    for (const char *call : {"RemoveFontResourceA", "SetFileAttributesA", "SendMessageTimeoutA"})
        host::FailCall(call, 1);
    RemoveFontSet(&NewFontSet, 1);
    EXPECT_TRUE(host::RegValues(NT_KEY).empty());
    EXPECT_TRUE(host::ListDirectory(FONTS_DIR).empty());

    host::Reset();
    PutInstalledFonts(NT_KEY, {"cmb10", "cmr10", "cmvtt10"});
    host::FailCall("RegDeleteValueA", 1);
    const auto effects = RemoveAndJournal(&NewFontSet);
    EXPECT_EQ(std::count(effects.begin(), effects.end(), Broadcast), 2);
    EXPECT_FALSE(host::Exists(FONTS_DIR "\\cmb10.ttf"));
    EXPECT_TRUE(IsRegistered(NT_KEY, "cmb10")); /* its delete failed */
    EXPECT_FALSE(IsRegistered(NT_KEY, "cmr10"));
    EXPECT_TRUE(IsRegistered(NT_KEY, "cmvtt10"));
    EXPECT_TRUE(host::Exists(FONTS_DIR "\\cmvtt10.ttf"));
}

/* With no Fonts folder path no file can be deleted: a value that names
 * one stays, and nothing is broadcast for it. */
TEST_F(RemovalTest, EmptyFontsFolderPathDeletesNoFileAndSendsNothing)
{
    host::SetFontsFolder("");
    RegisterFont(NT_KEY, "cmvtt10", "cmvtt10.ttf");
    RegisterFont(NT_KEY, "cmr10", "D:\\cmr10.ttf");
    EXPECT_EQ(RemoveAndJournal(&NewFontSet),
              (std::vector<std::string>{
                  "RemoveFontResourceA(D:\\cmr10.ttf)", "RegDeleteValueA(cmr10 (TrueType))",
                  Broadcast, "RemoveFontResourceA(cmvtt10.ttf)"}));
    EXPECT_TRUE(IsRegistered(NT_KEY, "cmvtt10"));
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
