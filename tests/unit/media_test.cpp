#include "host_fixture.h"
#include "install/media.h"
#include "test_data.h"

namespace {

using MediaTest = HostTest;

std::string Root(char letter) { return std::string(1, letter) + ":\\"; }

std::vector<std::string> Probes()
{
    return host::JournalOf({"GetDriveTypeA", "FindFirstFileA"});
}

/* Every probe of one full scan with no drive but c:. */
std::vector<std::string> EmptyScan()
{
    std::vector<std::string> probes;
    for (char letter = 'z'; letter >= 'a'; letter--) {
        probes.push_back("GetDriveTypeA(" + Root(letter) + ")");
        if (letter == 'c')
            probes.push_back("FindFirstFileA(c:\\CM-TrueType)");
    }
    return probes;
}

TEST_F(MediaTest, HighestLetterWinsAndLowerLettersAreNotProbed)
{
    host::PutFile("d:\\CM-TrueType\\cmr10.ttf", host::FontBytes("d"));
    host::PutFile("q:\\CM-TrueType\\cmr10.ttf", host::FontBytes("q"));
    host::SetDriveType('q', DRIVE_CDROM);
    FindDistributionFolder();

    std::vector<std::string> expected;
    for (char letter = 'z'; letter > 'q'; letter--)
        expected.push_back("GetDriveTypeA(" + Root(letter) + ")");
    expected.push_back("GetDriveTypeA(q:\\)");
    expected.push_back("FindFirstFileA(q:\\CM-TrueType)");
    expected.push_back("FindFirstFileA(q:\\CM-TrueType\\*.ttf)");
    EXPECT_EQ(Probes(), expected);
    EXPECT_EQ(host::FileBytes(FONTS_DIR "\\cmr10.ttf"), host::FontBytes("q"));
    EXPECT_TRUE(host::Boxes().empty());
}

TEST_F(MediaTest, DriveTypes)
{
    const struct {
        UINT type;
        bool probed;
    } cases[] = {
        {DRIVE_UNKNOWN, true},   {DRIVE_NO_ROOT_DIR, false}, {DRIVE_REMOVABLE, true},
        {DRIVE_FIXED, true},     {DRIVE_REMOTE, true},       {DRIVE_CDROM, true},
        {DRIVE_RAMDISK, true},
    };
    for (const auto &c : cases) {
        host::Reset();
        host::PutFile("x:\\CM-TrueType\\cmr10.ttf", host::FontBytes("x"));
        host::SetDriveType('x', c.type);
        host::QueueAnswer(IDCANCEL);
        FindDistributionFolder();
        const auto probes = host::JournalOf({"FindFirstFileA"});
        EXPECT_EQ(!probes.empty() && probes[0] == "FindFirstFileA(x:\\CM-TrueType)",
                  c.probed) << "type " << c.type;
        EXPECT_EQ(host::Exists(FONTS_DIR "\\cmr10.ttf"), c.probed) << "type " << c.type;
    }
}

TEST_F(MediaTest, PlainFileNamedLikeTheFolderIsTaken)
{
    host::PutFile("e:\\CM-TrueType", "not a folder");
    FindDistributionFolder();
    EXPECT_EQ(host::JournalOf({"FindFirstFileA"}),
              (std::vector<std::string>{"FindFirstFileA(e:\\CM-TrueType)",
                                        "FindFirstFileA(e:\\CM-TrueType\\*.ttf)"}));
    EXPECT_TRUE(host::Boxes().empty());
    EXPECT_TRUE(host::ListDirectory(FONTS_DIR).empty());
}

TEST_F(MediaTest, PromptRepeatsUntilCancel)
{
    host::QueueAnswer(IDOK);
    host::QueueAnswer(IDOK);
    host::QueueAnswer(IDCANCEL);
    FindDistributionFolder();

    ASSERT_EQ(host::Boxes().size(), 3u);
    for (const host::Box &box : host::Boxes()) {
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_EQ(box.text, MessageBytes("InsertDiscPrompt"));
        EXPECT_EQ(box.caption, MessageBytes("SetupTitle"));
        EXPECT_EQ(box.flags, (UINT)MB_OKCANCEL);
    }
    /* Each prompt follows a full scan of its own. */
    std::vector<std::string> expected;
    for (int scan = 0; scan < 3; scan++) {
        const auto one = EmptyScan();
        expected.insert(expected.end(), one.begin(), one.end());
    }
    EXPECT_EQ(Probes(), expected);
    EXPECT_TRUE(host::ListDirectory(FONTS_DIR).empty());
}

TEST_F(MediaTest, DiscInsertedWhileThePromptIsUpIsFoundAfterOk)
{
    host::SetDriveType('r', DRIVE_CDROM);
    host::QueueAnswer(IDOK);
    host::OnBox([](const host::Box &) {
        host::PutFile("r:\\CM-TrueType\\cmr10.ttf", host::FontBytes("r"));
    });
    FindDistributionFolder();
    EXPECT_EQ(host::Boxes().size(), 1u);
    EXPECT_TRUE(IsRegistered(NT_KEY, "cmr10"));
}

/* A prompt the platform cannot show must not scan and prompt forever. A box
 * that fails shows nothing, so it is counted in the journal. */
TEST_F(MediaTest, PromptThatCannotBeShownEndsTheSearch)
{
    const auto prompts = [] { return host::JournalOf({"MessageBoxA"}).size(); };
    host::FailCall("MessageBoxA");
    FindDistributionFolder();
    EXPECT_EQ(prompts(), 3u);

    /* Failures count only while they follow each other. */
    host::Reset();
    host::FailCall("MessageBoxA", 2);
    host::QueueAnswer(IDOK);
    host::QueueAnswer(IDCANCEL);
    FindDistributionFolder();
    EXPECT_EQ(prompts(), 4u);
}

/*
 * A floppy drive and a CD-ROM drive without a disc are passed over: the
 * scan fails critical errors itself, so Windows shows no box of its own
 * asking for a disc, and the process's error mode is given back after
 * each scan, before the prompt.
 */
TEST_F(MediaTest, DrivesWithoutADiscAskForNothing)
{
    host::SetDriveType('a', DRIVE_REMOVABLE);
    host::RemoveDisc('a');
    host::SetDriveType('r', DRIVE_CDROM);
    host::RemoveDisc('r');
    host::PutFile("q:\\CM-TrueType\\cmr10.ttf", host::FontBytes("q"));
    host::SetDriveType('q', DRIVE_CDROM);
    FindDistributionFolder();
    EXPECT_TRUE(host::Boxes().empty());
    EXPECT_TRUE(IsRegistered(NT_KEY, "cmr10"));
    EXPECT_EQ(host::JournalOf({"SetErrorMode"}),
              (std::vector<std::string>{"SetErrorMode(0x1)", "SetErrorMode(0x0)"}));

    host::Reset();
    host::SetDriveType('a', DRIVE_REMOVABLE);
    host::RemoveDisc('a');
    host::QueueAnswer(IDCANCEL);
    FindDistributionFolder();
    ASSERT_EQ(host::Boxes().size(), 1u);
    EXPECT_EQ(host::Boxes()[0].text, InsertDiscPrompt);
    const auto modes = host::JournalOf({"SetErrorMode", "MessageBoxA"});
    EXPECT_EQ(modes, (std::vector<std::string>{"SetErrorMode(0x1)", "SetErrorMode(0x0)",
                                               "MessageBoxA(0x1)"}));
}

} // namespace
