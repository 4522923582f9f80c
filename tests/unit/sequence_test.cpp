#include "host_fixture.h"
#include "test_data.h"

namespace {

using SequenceTest = HostTest;

/* What the machine holds before the run. */
struct Start {
    bool nt = true;
    bool rightsRefused = false;
    bool olderSet = false; /* ASCGRP and CMR10 of the older vendor */
    bool ownSet = false;   /* cmvtt10 and cmr12 of an earlier installation */
    bool disc = true;      /* q:\CM-TrueType with cmvtt10, cmr10, cmr12 */
};

/* What the run leaves: boxes, exit code, and the state of both sets. */
struct Road {
    const char *what;
    Start start;
    std::vector<int> answers;
    std::vector<std::string> boxes;
    int exitCode;
    bool olderSetLeft;
    bool ownSetFromDisc; /* else: own set as it was at the start */
};

const char *KeyPath(bool nt) { return nt ? NT_KEY : WIN9X_KEY; }

void Arrange(const Start &start)
{
    host::Reset();
    host::SetPlatform(start.nt ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS);
    const char *key = KeyPath(start.nt);
    if (start.rightsRefused)
        host::DenyRegAccess(NT_KEY, host::Deny::Write);
    if (start.olderSet) {
        RegisterFont(key, "ASCGRP", "ASCGRP.TTF");
        RegisterFont(key, "CMR10", "CMR10.TTF");
        RegisterFont(key, "WNCYB10", "WNCYB10.TTF");
        host::PutFile(FONTS_DIR "\\ASCGRP.TTF", host::FontBytes("older"));
        host::PutFile(FONTS_DIR "\\CMR10.TTF", host::FontBytes("older"));
        host::PutFile(FONTS_DIR "\\WNCYB10.TTF", host::FontBytes("older"));
    }
    if (start.ownSet) {
        RegisterFont(key, "cmvtt10", "cmvtt10.ttf");
        RegisterFont(key, "cmr12", "cmr12.ttf");
        host::PutFile(FONTS_DIR "\\cmvtt10.ttf", host::FontBytes("earlier"));
        host::PutFile(FONTS_DIR "\\cmr12.ttf", host::FontBytes("earlier"));
    }
    if (start.disc) {
        host::SetDriveType('q', DRIVE_CDROM);
        for (const char *name : {"cmvtt10", "cmr10", "cmr12"})
            host::PutFile(std::string("q:\\CM-TrueType\\") + name + ".ttf",
                          host::FontBytes(std::string(name) + " disc"));
    }
}

void ExpectBoxes(const std::vector<std::string> &names, const std::string &what)
{
    const auto &boxes = host::Boxes();
    ASSERT_EQ(boxes.size(), names.size()) << what;
    for (size_t i = 0; i < names.size(); i++) {
        const host::Box &box = boxes[i];
        EXPECT_EQ(box.text, MessageBytes(names[i])) << what << ": box " << i;
        EXPECT_EQ(box.caption, MessageBytes("SetupTitle")) << what;
        EXPECT_EQ(box.flags, MessagesData().at(names[i]).flags) << what << ": " << names[i];
        EXPECT_EQ(box.owner, nullptr) << what;
    }
}

/* The own set as the disc gives it, or as an earlier run left it. */
void ExpectOwnSet(const Road &road, const char *key)
{
    const bool fromDisc = road.ownSetFromDisc;
    const bool earlier = road.start.ownSet && !fromDisc;
    for (const char *name : {"cmvtt10", "cmr12"}) {
        const std::string file = std::string(FONTS_DIR "\\") + name + ".ttf";
        EXPECT_EQ(IsRegistered(key, name), fromDisc || earlier) << road.what << " " << name;
        if (fromDisc) {
            EXPECT_EQ(host::FileBytes(file), host::FontBytes(std::string(name) + " disc"))
                << road.what;
        } else if (earlier) {
            EXPECT_EQ(host::FileBytes(file), host::FontBytes("earlier")) << road.what;
        } else {
            EXPECT_FALSE(host::Exists(file)) << road.what;
        }
    }
}

const std::vector<std::string> NoEffects = {};

TEST_F(SequenceTest, EveryRoad)
{
    Start refused;
    refused.rightsRefused = true;
    refused.olderSet = refused.ownSet = true;
    Start older;
    older.olderSet = true;
    Start olderAndOwn = older;
    olderAndOwn.ownSet = true;
    Start own;
    own.ownSet = true;
    const Start none;

    const std::vector<Road> roads = {
        {"rights refused", refused, {}, {"NeedAdminMessage"}, 1, true, false},
        {"older set kept", older, {IDNO}, {"RemoveLegacyQuestion", "LegacyKeptNotice"}, 1, true, false},
        {"older set removed, own set replaced", olderAndOwn, {IDYES},
         {"RemoveLegacyQuestion", "FinishedNotice"}, 0, false, true},
        {"older set removed, own set installed", older, {IDYES, IDYES},
         {"RemoveLegacyQuestion", "InstallQuestion", "FinishedNotice"}, 0, false, true},
        {"older set removed, install declined", older, {IDYES, IDNO},
         {"RemoveLegacyQuestion", "InstallQuestion", "FinishedNotice"}, 0, false, false},
        {"own set replaced without asking", own, {}, {"FinishedNotice"}, 0, false, true},
        {"own set installed", none, {IDYES}, {"InstallQuestion", "FinishedNotice"}, 0, false, true},
        {"install declined", none, {IDNO}, {"InstallQuestion", "FinishedNotice"}, 0, false, false},
    };

    for (const bool nt : {true, false}) {
        for (Road road : roads) {
            if (road.start.rightsRefused && !nt)
                continue; /* the 95/98 family has no rights check */
            road.start.nt = nt;
            const std::string what = std::string(road.what) + (nt ? " (NT)" : " (95/98)");
            Arrange(road.start);
            for (int answer : road.answers)
                host::QueueAnswer(answer);
            host::ClearJournal();

            EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), road.exitCode) << what;
            ExpectBoxes(road.boxes, what);
            const char *key = KeyPath(nt);
            EXPECT_EQ(IsRegistered(key, "ASCGRP"), road.olderSetLeft) << what;
            EXPECT_EQ(IsRegistered(key, "WNCYB10"), road.olderSetLeft) << what;
            EXPECT_EQ(host::Exists(FONTS_DIR "\\ASCGRP.TTF"), road.olderSetLeft) << what;
            ExpectOwnSet(road, key);
            if (road.exitCode == 1) {
                EXPECT_EQ(host::JournalOf({"RegSetValueExA", "RegDeleteValueA", "CopyFileA",
                                           "DeleteFileA", "SendMessageTimeoutA"}),
                          NoEffects)
                    << what << ": a stopped run changed something";
            }
        }
    }
}

TEST_F(SequenceTest, OlderSetQuestionFailingCountsAsNo)
{
    Start older;
    older.olderSet = true;
    Arrange(older);
    host::FailCall("MessageBoxA", 1);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 1);
    EXPECT_EQ(host::JournalOf({"MessageBoxA"}),
              (std::vector<std::string>{"MessageBoxA(0x40024)", "MessageBoxA(0x40000)"}));
    ExpectBoxes({"LegacyKeptNotice"}, "failed question");
    EXPECT_TRUE(IsRegistered(NT_KEY, "ASCGRP"));
}

TEST_F(SequenceTest, RightsCheck)
{
    /* On NT it opens the NT key for full access and closes it at once. */
    Arrange(Start());
    host::QueueAnswer(IDNO);
    WinMain(nullptr, nullptr, nullptr, 0);
    const auto opens = host::JournalOf({"RegCreateKeyExA", "RegCloseKey"});
    ASSERT_GE(opens.size(), 2u);
    EXPECT_EQ(opens[0], "RegCreateKeyExA(HKLM\\" NT_KEY ", 0xf003f)");
    EXPECT_EQ(opens[1], "RegCloseKey()");

    /* A missing key is created by the check and stays. */
    EXPECT_TRUE(host::RegKeyExists(NT_KEY));

    /* On 95/98 no key is opened before the first probe, whatever the
     * rights, and no rights box is shown. */
    Start nineX;
    nineX.nt = false;
    Arrange(nineX);
    host::DenyRegAccess(NT_KEY, host::Deny::All);
    host::DenyRegAccess(WIN9X_KEY, host::Deny::Write);
    host::QueueAnswer(IDNO);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    ExpectBoxes({"InstallQuestion", "FinishedNotice"}, "95/98 with rights refused");
    for (const std::string &open : host::JournalOf({"RegCreateKeyExA"})) {
        EXPECT_EQ(open, "RegCreateKeyExA(HKLM\\" WIN9X_KEY ", 0x20019)");
    }
}

TEST_F(SequenceTest, ProbeThatCannotLookCountsAsNotRegistered)
{
    Start both;
    both.olderSet = both.ownSet = true;
    Arrange(both);
    host::FailCall("SHGetSpecialFolderLocation");
    host::QueueAnswer(IDYES);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    ExpectBoxes({"InstallQuestion", "FinishedNotice"}, "no Fonts folder");
    /* Nothing could be removed or copied without the Fonts folder. */
    EXPECT_TRUE(IsRegistered(NT_KEY, "ASCGRP"));
    EXPECT_TRUE(IsRegistered(NT_KEY, "cmvtt10"));
}

TEST_F(SequenceTest, CompanionSetAloneIsNotAsked)
{
    Arrange(Start());
    RegisterFont(NT_KEY, "WNCYB10", "WNCYB10.TTF");
    host::QueueAnswer(IDNO);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    ExpectBoxes({"InstallQuestion", "FinishedNotice"}, "companion set alone");
    EXPECT_TRUE(IsRegistered(NT_KEY, "WNCYB10"));
}

TEST_F(SequenceTest, CancelledDiscLeavesTheOwnSetRemoved)
{
    Start own;
    own.ownSet = true;
    own.disc = false;
    Arrange(own);
    host::QueueAnswer(IDCANCEL);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    ExpectBoxes({"InsertDiscPrompt", "FinishedNotice"}, "cancelled disc");
    EXPECT_FALSE(IsRegistered(NT_KEY, "cmvtt10"));
    EXPECT_FALSE(host::Exists(FONTS_DIR "\\cmvtt10.ttf"));
}

TEST_F(SequenceTest, CommandLineChangesNothing)
{
    std::vector<std::vector<std::string>> journals;
    char empty[] = "";
    char arguments[] = "/uninstall /S -q C:\\other";
    for (char *line : {(char *)nullptr, empty, arguments}) {
        Arrange(Start());
        host::QueueAnswer(IDYES);
        EXPECT_EQ(WinMain((HINSTANCE)0x400000, nullptr, line, 10), 0);
        journals.push_back(host::Journal());
    }
    EXPECT_EQ(journals[0], journals[1]);
    EXPECT_EQ(journals[0], journals[2]);
}

/*
 * Where the ANSI code page is not Shift-JIS, every box, the disc prompt
 * included, goes through MessageBoxW with the same texts; where the
 * conversion is not to be had, through MessageBoxA as before.
 */
TEST_F(SequenceTest, BoxesOnAWindowsThatIsNotJapanese)
{
    const struct {
        const char *what;
        UINT codePage;
        bool conversionFails;
        bool unicode;
    } cases[] = {
        {"Japanese Windows", 932, false, false},
        {"English Windows", 1252, false, true},
        {"German Windows without the table for 932", 1252, true, false},
    };
    for (const auto &c : cases) {
        Start noDisc;
        noDisc.disc = false;
        Arrange(noDisc);
        host::SetCodePage(c.codePage);
        if (c.conversionFails)
            host::FailCall("MultiByteToWideChar");
        for (int answer : {IDYES, IDCANCEL, IDOK})
            host::QueueAnswer(answer);
        EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0) << c.what;
        ExpectBoxes({"InstallQuestion", "InsertDiscPrompt", "FinishedNotice"}, c.what);
        for (const host::Box &box : host::Boxes())
            EXPECT_EQ(box.unicode, c.unicode) << c.what;
        const char *shown = c.unicode ? "MessageBoxW" : "MessageBoxA";
        EXPECT_EQ(host::JournalOf({"MessageBoxA", "MessageBoxW"}),
                  (std::vector<std::string>{std::string(shown) + "(0x40024)",
                                            std::string(shown) + "(0x1)",
                                            std::string(shown) + "(0x40000)"}))
            << c.what;
    }
}

/*
 * The older sets go companion first, each set's marker last, and the first
 * set's marker, which makes a run look at both, is the very last value
 * removed. A file held open keeps its value, and so every marker that
 * stands for it, until a later run, once the file is free, finishes.
 */
TEST_F(SequenceTest, OlderSetsGoCompanionFirstAndTheFirstMarkerLast)
{
    Start older;
    older.olderSet = true;
    Arrange(older);
    RegisterFont(NT_KEY, "EUFM10", "EUFM10.TTF");
    host::PutFile(FONTS_DIR "\\EUFM10.TTF", host::FontBytes("older"));
    host::QueueAnswer(IDYES);
    host::QueueAnswer(IDNO);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(host::JournalOf({"RegDeleteValueA"}),
              (std::vector<std::string>{
                  "RegDeleteValueA(EUFM10 (TrueType))", "RegDeleteValueA(WNCYB10 (TrueType))",
                  "RegDeleteValueA(CMR10 (TrueType))", "RegDeleteValueA(ASCGRP (TrueType))"}));

    Arrange(older);
    RegisterFont(NT_KEY, "EUFM10", "EUFM10.TTF");
    host::PutFile(FONTS_DIR "\\EUFM10.TTF", host::FontBytes("older"));
    host::HoldFile(FONTS_DIR "\\EUFM10.TTF");
    host::QueueAnswer(IDYES);
    host::QueueAnswer(IDNO);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(host::JournalOf({"RegDeleteValueA"}),
              std::vector<std::string>{"RegDeleteValueA(CMR10 (TrueType))"});
    for (const char *name : {"EUFM10", "WNCYB10", "ASCGRP"})
        EXPECT_TRUE(IsRegistered(NT_KEY, name)) << name;

    host::ReleaseFile(FONTS_DIR "\\EUFM10.TTF");
    host::QueueAnswer(IDYES);
    host::QueueAnswer(IDNO);
    host::QueueAnswer(IDOK);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    EXPECT_TRUE(host::RegValues(NT_KEY).empty());
    EXPECT_TRUE(host::ListDirectory(FONTS_DIR).empty());
}

} // namespace
