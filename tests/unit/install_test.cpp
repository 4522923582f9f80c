#include <functional>

#include "host_fixture.h"
#include "install/install.h"

namespace {

using InstallTest = HostTest;

const std::string Broadcast = "SendMessageTimeoutA(0xffff, 0x1d, 0, 0, 0x2, 5000)";

TEST_F(InstallTest, OneFontFromTheDistributionFolder)
{
    host::PutFile("q:\\CM-TrueType\\cmr10.ttf", host::FontBytes("disc"));
    InstallFontFolder("q:\\CM-TrueType");

    EXPECT_EQ(host::JournalOf({"FindFirstFileA", "CopyFileA", "MoveFileA", "AddFontResourceA",
                               "RegCreateKeyExA", "RegSetValueExA",
                               "SendMessageTimeoutA", "RegCloseKey"}),
              (std::vector<std::string>{
                  "FindFirstFileA(q:\\CM-TrueType\\*.ttf)",
                  "CopyFileA(q:\\CM-TrueType\\cmr10.ttf, " FONTS_DIR "\\cmr10.ttf.part, 1)",
                  "MoveFileA(" FONTS_DIR "\\cmr10.ttf.part, " FONTS_DIR "\\cmr10.ttf)",
                  "AddFontResourceA(" FONTS_DIR "\\cmr10.ttf)",
                  "RegCreateKeyExA(HKLM\\" NT_KEY ", 0xf003f)",
                  "RegSetValueExA(cmr10 (TrueType), 1, 10)",
                  Broadcast,
                  "RegCloseKey()",
              }));
    host::RegValue value;
    ASSERT_TRUE(host::GetRegValue(NT_KEY, "cmr10 (TrueType)", &value));
    EXPECT_EQ(value.data, std::string("cmr10.ttf\0", 10));
    EXPECT_EQ(host::FileBytes(FONTS_DIR "\\cmr10.ttf"), host::FontBytes("disc"));
    EXPECT_EQ(host::LoadedFonts(), std::vector<std::string>{FONTS_DIR "\\cmr10.ttf"});
}

TEST_F(InstallTest, PatternAndSourcePath)
{
    const struct {
        const char *folder;
        const char *pattern;
        const char *source;
    } cases[] = {
        {"q:\\CM-TrueType", "q:\\CM-TrueType\\*.ttf", "q:\\CM-TrueType\\cmr10.ttf"},
        {"e:\\fonts\\", "e:\\fonts\\*.ttf", "e:\\fonts\\cmr10.ttf"},
        {"e:\\", "e:\\*.ttf", "e:\\cmr10.ttf"},
    };
    for (const auto &c : cases) {
        host::Reset();
        host::PutFile(c.source, host::FontBytes("x"));
        InstallFontFolder(c.folder);
        EXPECT_EQ(host::JournalOf({"FindFirstFileA", "CopyFileA"}),
                  (std::vector<std::string>{
                      std::string("FindFirstFileA(") + c.pattern + ")",
                      std::string("CopyFileA(") + c.source + ", " FONTS_DIR "\\cmr10.ttf.part, 1)"}))
            << c.folder;
    }
}

/* The destination always takes a backslash, even after one. */
TEST_F(InstallTest, DestinationAlwaysTakesABackslash)
{
    host::SetFontsFolder("C:\\FONTS\\");
    host::PutDirectory("C:\\FONTS");
    host::PutFile("q:\\CM-TrueType\\cmr10.ttf", host::FontBytes("x"));
    InstallFontFolder("q:\\CM-TrueType");
    EXPECT_EQ(host::JournalOf({"CopyFileA", "MoveFileA"}),
              (std::vector<std::string>{
                  "CopyFileA(q:\\CM-TrueType\\cmr10.ttf, C:\\FONTS\\\\cmr10.ttf.part, 1)",
                  "MoveFileA(C:\\FONTS\\\\cmr10.ttf.part, C:\\FONTS\\\\cmr10.ttf)"}));
}

TEST_F(InstallTest, ValueNameAndDataFromTheStem)
{
    const struct {
        const char *file;
        const char *valueName;
        const char *data;
    } cases[] = {
        {"cmr10.ttf", "cmr10 (TrueType)", "cmr10.ttf"},
        {"CMR10.TTF", "CMR10 (TrueType)", "CMR10.ttf"},
        {"cm.extra.ttf", "cm.extra (TrueType)", "cm.extra.ttf"},
        {".ttf", ".ttf (TrueType)", ".ttf.ttf"},
        {"\x83\x5C\x83\x74\x83\x67.ttf", "\x83\x5C\x83\x74\x83\x67 (TrueType)",
         "\x83\x5C\x83\x74\x83\x67.ttf"},
    };
    for (const auto &c : cases) {
        host::Reset();
        host::PutFile(std::string("q:\\CM-TrueType\\") + c.file, host::FontBytes("x"));
        InstallFontFolder("q:\\CM-TrueType");
        const auto values = host::RegValues(NT_KEY);
        ASSERT_EQ(values.size(), 1u) << c.file;
        EXPECT_EQ(values[0].name, c.valueName);
        EXPECT_EQ(values[0].type, (DWORD)REG_SZ);
        EXPECT_EQ(values[0].data, std::string(c.data) + '\0');
        /* The copy keeps the file's own name. */
        EXPECT_EQ(host::ListDirectory(FONTS_DIR), std::vector<std::string>{c.file});
    }
}

TEST_F(InstallTest, ExistingFileIsNeitherOverwrittenNorRegistered)
{
    host::PutFile(FONTS_DIR "\\CMR10.TTF", host::FontBytes("theirs"));
    host::PutFile("q:\\CM-TrueType\\cmr10.ttf", host::FontBytes("disc"));
    host::PutFile("q:\\CM-TrueType\\cmr12.ttf", host::FontBytes("disc"));
    InstallFontFolder("q:\\CM-TrueType");

    EXPECT_EQ(host::FileBytes(FONTS_DIR "\\cmr10.ttf"), host::FontBytes("theirs"));
    EXPECT_FALSE(IsRegistered(NT_KEY, "cmr10"));
    EXPECT_TRUE(IsRegistered(NT_KEY, "cmr12"));
    EXPECT_EQ(host::BroadcastCount(), 1);
    EXPECT_EQ(host::JournalOf({"AddFontResourceA"}),
              std::vector<std::string>{"AddFontResourceA(" FONTS_DIR "\\cmr12.ttf)"});
}

TEST_F(InstallTest, CopyThatDoesNotLoadStaysUnregistered)
{
    host::PutFile("q:\\CM-TrueType\\broken.ttf", "not a font");
    InstallFontFolder("q:\\CM-TrueType");
    EXPECT_TRUE(host::Exists(FONTS_DIR "\\broken.ttf"));
    EXPECT_TRUE(host::RegValues(NT_KEY).empty());
    EXPECT_EQ(host::BroadcastCount(), 0);
    EXPECT_EQ(host::JournalOf({"RegCreateKeyExA", "RegCloseKey"}),
              (std::vector<std::string>{"RegCreateKeyExA(HKLM\\" NT_KEY ", 0xf003f)",
                                        "RegCloseKey()"}));
}

TEST_F(InstallTest, FolderNamedLikeAFontIsPassedOver)
{
    host::PutDirectory("q:\\CM-TrueType\\x.ttf");
    host::PutFile("q:\\CM-TrueType\\y.ttf", host::FontBytes("y"));
    host::PutFile("q:\\CM-TrueType\\readme.txt", "text");
    InstallFontFolder("q:\\CM-TrueType");
    EXPECT_EQ(host::JournalOf({"CopyFileA"}).size(), 2u);
    EXPECT_EQ(host::ListDirectory(FONTS_DIR), std::vector<std::string>{"y.ttf"});
    EXPECT_EQ(host::RegValues(NT_KEY).size(), 1u);
}

/* Each font: its write, then its broadcast, before the next file. */
TEST_F(InstallTest, EveryLoadedFontIsWrittenThenAnnounced)
{
    for (const char *name : {"a.ttf", "b.ttf", "c.ttf"})
        host::PutFile(std::string("q:\\CM-TrueType\\") + name, host::FontBytes(name));
    InstallFontFolder("q:\\CM-TrueType");
    EXPECT_EQ(host::JournalOf({"CopyFileA", "RegSetValueExA", "SendMessageTimeoutA"}),
              (std::vector<std::string>{
                  "CopyFileA(q:\\CM-TrueType\\a.ttf, " FONTS_DIR "\\a.ttf.part, 1)",
                  "RegSetValueExA(a (TrueType), 1, 6)", Broadcast,
                  "CopyFileA(q:\\CM-TrueType\\b.ttf, " FONTS_DIR "\\b.ttf.part, 1)",
                  "RegSetValueExA(b (TrueType), 1, 6)", Broadcast,
                  "CopyFileA(q:\\CM-TrueType\\c.ttf, " FONTS_DIR "\\c.ttf.part, 1)",
                  "RegSetValueExA(c (TrueType), 1, 6)", Broadcast,
              }));
}

TEST_F(InstallTest, FailuresSkipOnlyTheirFile)
{
    const struct {
        const char *what;
        std::function<void()> arrange;
        size_t registered;
        int broadcasts;
    } cases[] = {
        {"no match", [] { host::RemoveEntry("q:\\CM-TrueType\\a.ttf");
                          host::RemoveEntry("q:\\CM-TrueType\\b.ttf"); }, 0, 0},
        {"search fails", [] { host::FailCall("FindFirstFileA"); }, 0, 0},
        {"Fonts folder not locatable once",
         [] { host::FailCall("SHGetSpecialFolderLocation", 1); }, 1, 1},
        {"copy fails once", [] { host::FailCall("CopyFileA", 1); }, 1, 1},
        {"load fails once", [] { host::FailCall("AddFontResourceA", 1); }, 1, 1},
        {"key cannot be opened once", [] { host::FailCall("RegCreateKeyExA", 1); }, 1, 2},
        {"value cannot be written once", [] { host::FailCall("RegSetValueExA", 1); }, 1, 2},
        {"source path cannot be allocated once", [] { host::FailCall("HeapAlloc", 1); }, 1, 1},
        {"full access refused", [] { host::DenyRegAccess(NT_KEY, host::Deny::Write); }, 0, 2},
    };
    for (const auto &c : cases) {
        host::Reset();
        host::PutFile("q:\\CM-TrueType\\a.ttf", host::FontBytes("a"));
        host::PutFile("q:\\CM-TrueType\\b.ttf", host::FontBytes("b"));
        c.arrange();
        InstallFontFolder("q:\\CM-TrueType");
        EXPECT_EQ(host::RegValues(NT_KEY).size(), c.registered) << c.what;
        EXPECT_EQ(host::BroadcastCount(), c.broadcasts) << c.what;
        EXPECT_EQ(host::OpenKeyCount(), 0) << c.what;
        EXPECT_EQ(host::LiveHeapBlocks(), 0) << c.what;
    }
}

TEST_F(InstallTest, EmptyFolderSearchesNothing)
{
    InstallFontFolder("");
    InstallFontFile("", "cmr10.ttf");
    EXPECT_TRUE(host::Journal().empty());
}

/* Names beyond the 128-byte stem and value-name buffers or the 260-byte
 * destination are passed over before anything is copied. */
TEST_F(InstallTest, LongNamesArePassedOver)
{
    const struct {
        const char *what;
        std::string name;
        bool installed;
    } cases[] = {
        {"stem of 116 bytes: value name of 127", std::string(116, 's') + ".ttf", true},
        {"stem of 117 bytes", std::string(117, 's') + ".ttf", false},
        {"name of 127 bytes, stem fits", "a." + std::string(125, 'n'), true},
        {"name of 128 bytes", "a." + std::string(126, 'n'), false},
        {"no dot, 117 bytes", std::string(117, 'x'), false},
    };
    for (const auto &c : cases) {
        host::Reset();
        InstallFontFile("q:\\CM-TrueType", c.name.c_str());
        /* The source does not exist: only whether a copy was tried matters. */
        EXPECT_EQ(host::JournalOf({"CopyFileA"}).size(), c.installed ? 1u : 0u)
            << c.what;
    }
}

TEST_F(InstallTest, DestinationBeyondThePathLimitIsPassedOver)
{
    /* A Fonts folder of 200 bytes leaves 58 bytes for a name. */
    host::SetFontsFolder("C:\\" + std::string(197, 'f'));
    for (const auto &c : std::vector<std::pair<size_t, size_t>>{{58, 1}, {59, 0}}) {
        host::ClearJournal();
        const std::string name = std::string(c.first - 4, 'n') + ".ttf";
        InstallFontFile("q:\\CM-TrueType", name.c_str());
        EXPECT_EQ(host::JournalOf({"CopyFileA"}).size(), c.second) << c.first;
    }
}

/*
 * A file of the same name already in the Fonts folder is never
 * overwritten. When it holds exactly the disc's bytes it is a copy of
 * ours, left unregistered by an earlier run, and is registered as if just
 * copied; with any other bytes it stays as it is, unregistered.
 */
TEST_F(InstallTest, ALeftoverCopyOfTheDiscsFileIsRegistered)
{
    const std::string disc = host::FontBytes("disc");
    const struct {
        const char *what;
        std::string present;
        std::function<void()> arrange;
        bool registered;
    } cases[] = {
        {"the disc's bytes", disc, [] {}, true},
        {"the disc's bytes, held open by a program", disc,
         [] { host::HoldFile(FONTS_DIR "\\cmr10.ttf"); }, true},
        {"the disc's bytes, read-only", disc,
         [] { SetFileAttributesA(FONTS_DIR "\\cmr10.ttf", FILE_ATTRIBUTE_READONLY); }, true},
        {"one byte more", disc + "x", [] {}, false},
        {"one byte less", disc.substr(0, disc.size() - 1), [] {}, false},
        {"the same length, one byte other", host::FontBytes("disk"), [] {}, false},
        {"empty", "", [] {}, false},
        {"the disc's bytes, unreadable", disc, [] { host::FailCall("CreateFileA", 1, 1); },
         false},
        {"the disc's bytes, a read fails", disc, [] { host::FailCall("ReadFile", 1, 1); },
         false},
        {"the disc's bytes, no memory to compare", disc, [] { host::FailCall("HeapAlloc", 1, 1); },
         false},
    };
    for (const auto &c : cases) {
        host::Reset();
        host::PutFile("q:\\CM-TrueType\\cmr10.ttf", disc);
        host::PutFile(FONTS_DIR "\\cmr10.ttf", c.present);
        c.arrange();
        InstallFontFolder("q:\\CM-TrueType");
        EXPECT_EQ(IsRegistered(NT_KEY, "cmr10"), c.registered) << c.what;
        EXPECT_EQ(host::BroadcastCount(), c.registered ? 1 : 0) << c.what;
        EXPECT_EQ(host::LoadedFonts().size(), c.registered ? 1u : 0u) << c.what;
        EXPECT_EQ(host::FileBytes(FONTS_DIR "\\cmr10.ttf"), c.present) << c.what;
        EXPECT_EQ(host::OpenFileCount(), 0) << c.what;
        EXPECT_EQ(host::LiveHeapBlocks(), 0) << c.what;
    }
}

/* Larger than one chunk of the comparison, differing only at the end. */
TEST_F(InstallTest, ALongCopyIsComparedToItsLastByte)
{
    const std::string disc = host::FontBytes(std::string(40000, 'f') + "a");
    host::PutFile("q:\\CM-TrueType\\cmr10.ttf", disc);
    host::PutFile(FONTS_DIR "\\cmr10.ttf", disc.substr(0, disc.size() - 1) + "b");
    host::PutFile("q:\\CM-TrueType\\cmr12.ttf", disc);
    host::PutFile(FONTS_DIR "\\cmr12.ttf", disc);
    InstallFontFolder("q:\\CM-TrueType");
    EXPECT_FALSE(IsRegistered(NT_KEY, "cmr10"));
    EXPECT_TRUE(IsRegistered(NT_KEY, "cmr12"));
}

/*
 * The copy is made under a scratch name and renamed, so that a run killed
 * during it leaves no part of a file under a font's name. A scratch file
 * of such a run, read-only as a copy from a CD is, is replaced; a rename
 * that fails leaves no scratch file behind.
 */
TEST_F(InstallTest, TheCopyIsMadeUnderAScratchNameAndRenamed)
{
    const std::string scratch = FONTS_DIR "\\cmr10.ttf.part";
    const std::string disc = host::FontBytes("disc");
    const struct {
        const char *what;
        std::function<void()> arrange;
        bool installed;
    } cases[] = {
        {"a scratch file of a killed run", [&] {
             host::PutFile(scratch, disc.substr(0, 3), FILE_ATTRIBUTE_READONLY);
         }, true},
        {"the rename fails", [] { host::FailCall("MoveFileA", 1); }, false},
        {"the scratch copy fails", [] { host::FailCall("CopyFileA", 1); }, false},
    };
    for (const auto &c : cases) {
        host::Reset();
        host::PutFile("q:\\CM-TrueType\\cmr10.ttf", disc);
        c.arrange();
        InstallFontFolder("q:\\CM-TrueType");
        EXPECT_EQ(IsRegistered(NT_KEY, "cmr10"), c.installed) << c.what;
        EXPECT_EQ(host::Exists(FONTS_DIR "\\cmr10.ttf"), c.installed) << c.what;
        if (c.installed) {
            EXPECT_EQ(host::FileBytes(FONTS_DIR "\\cmr10.ttf"), disc) << c.what;
        }
        EXPECT_FALSE(host::Exists(scratch)) << c.what;
    }
}

/* A name with no room for the scratch suffix is copied to its name at
 * once: 140 + 1 + 114 = 255 bytes, and ".part" would pass 259. */
TEST_F(InstallTest, ALongNameIsCopiedDirectly)
{
    const std::string folder = "C:\\" + std::string(137, 'f');
    host::SetFontsFolder(folder);
    host::PutDirectory(folder);
    const std::string font = std::string(110, 'n') + ".ttf";
    host::PutFile("q:\\CM-TrueType\\" + font, host::FontBytes("disc"));
    InstallFontFolder("q:\\CM-TrueType");
    EXPECT_EQ(host::JournalOf({"CopyFileA", "MoveFileA"}),
              std::vector<std::string>{"CopyFileA(q:\\CM-TrueType\\" + font + ", " + folder +
                                       "\\" + font + ", 1)"});
    EXPECT_EQ(host::RegValues(NT_KEY).size(), 1u);
}

} // namespace
