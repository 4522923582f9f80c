/*
 * The scenarios of tests/scenarios/, run on the host emulation. The same
 * files run under Wine with the Windows build (tests/e2e/run_wine.py).
 */
#include <algorithm>
#include <dirent.h>
#include <map>
#include <set>
#include <sstream>

#include "host_fixture.h"
#include "scenario.h"
#include "test_data.h"

namespace {

/* A scenario under one family on a Windows of one ANSI code page: 932, or
 * 1252 (an English Windows) for a scenario whose names are all ASCII. */
struct ScenarioRun {
    std::string file;
    std::string family;
    UINT codePage;
};

std::vector<ScenarioRun> AllRuns()
{
    std::vector<std::string> files;
    const std::string folder = std::string(SOURCE_ROOT) + "/tests/scenarios";
    if (DIR *dir = opendir(folder.c_str())) {
        while (dirent *entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.substr(name.size() - 4) == ".scn")
                files.push_back(name);
        }
        closedir(dir);
    }
    std::sort(files.begin(), files.end());
    std::vector<ScenarioRun> runs;
    for (const std::string &file : files) {
        Scenario scenario;
        std::string error;
        if (!ParseScenario(file, ReadSourceFile("tests/scenarios/" + file), &scenario, &error)) {
            runs.push_back({file, "unreadable", 932});
            continue;
        }
        for (const std::string &family : scenario.families)
            runs.push_back({file, family, 932});
        if (AsciiNames(scenario))
            for (const std::string &family : scenario.families)
                runs.push_back({file, family, 1252});
    }
    return runs;
}

std::string Lower(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return text;
}

std::string Printable(const std::string &bytes)
{
    std::ostringstream out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\')
            out << c;
        else
            out << "\\x" << std::hex << (c < 0x10 ? "0" : "") << (int)c << std::dec;
    }
    return out.str();
}

const char PlainText[] = "plain text, not a font\r\n";

std::string Content(const ScenarioFile &file, const std::string &name)
{
    return file.font ? host::FontBytes(FixtureStem(name) + " " + file.tag) : PlainText;
}

std::string MediaPath(const ScenarioFile &file)
{
    return std::string(1, file.drive) + ":\\" + file.path;
}

/* Files on a CD-ROM drive are read-only, as on a pressed disc. */
bool OnCdrom(const Scenario &s, const ScenarioFile &file)
{
    return file.drive &&
           std::find(s.cdromDrives.begin(), s.cdromDrives.end(), file.drive) != s.cdromDrives.end();
}

int Answer(const std::string &answer)
{
    static const std::map<std::string, int> answers = {
        {"yes", IDYES}, {"no", IDNO},     {"ok", IDOK},
        {"cancel", IDCANCEL}, {"insert", IDOK}, {"fail", 0}};
    return answers.at(answer);
}

void Arrange(const Scenario &s, const std::string &family, UINT codePage)
{
    host::Reset();
    host::SetCodePage(codePage);
    const bool nt = family == "nt";
    host::SetPlatform(nt ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS);
    const std::string key = nt ? NT_KEY : WIN9X_KEY;
    if (s.rightsRefused)
        host::DenyRegAccess(NT_KEY, host::Deny::Write);
    for (const ScenarioValue &v : s.values)
        host::PutRegValue(key, v.name, v.type, v.data);
    for (char drive : s.drives)
        host::SetDriveType(drive, DRIVE_FIXED);
    for (char drive : s.cdromDrives)
        host::SetDriveType(drive, DRIVE_CDROM);
    for (char drive : s.emptyDrives)
        host::RemoveDisc(drive);
    for (const auto &dir : s.directories)
        host::PutDirectory(std::string(1, dir.first) + ":\\" + dir.second);
    for (const ScenarioFile &f : s.files) {
        const DWORD attributes = f.readOnly || OnCdrom(s, f) ? FILE_ATTRIBUTE_READONLY
                                                             : FILE_ATTRIBUTE_ARCHIVE;
        if (f.drive == 0)
            host::PutFile(FONTS_DIR "\\" + f.path, Content(f, f.path), attributes);
        else if (!f.later)
            host::PutFile(MediaPath(f), Content(f, f.path.substr(f.path.rfind('\\') + 1)),
                          attributes);
    }
    for (const std::string &name : s.heldFiles)
        host::HoldFile(FONTS_DIR "\\" + name);
    host::HangWindow(s.hungWindow);
}

bool Released(const Scenario &s, const std::string &held)
{
    for (const SetupRun &run : s.runs)
        for (const std::string &name : run.releases)
            if (Lower(name) == Lower(held))
                return true;
    return false;
}

/* The user of one run: its answers, and the awaited disc, which appears
 * while its "insert" box is up. `firstBox` is the number of boxes the
 * runs before have shown. */
void PrepareRun(const Scenario &s, const SetupRun &run, size_t firstBox)
{
    for (const ScenarioBox &box : run.boxes)
        host::QueueAnswer(Answer(box.answer));
    host::OnBox([&s, &run, firstBox](const host::Box &) {
        const size_t index = host::Boxes().size() - 1 - firstBox;
        if (index >= run.boxes.size() || run.boxes[index].answer != "insert")
            return;
        for (const ScenarioFile &f : s.files)
            if (f.drive && f.later)
                host::PutFile(MediaPath(f), Content(f, f.path.substr(f.path.rfind('\\') + 1)),
                              OnCdrom(s, f) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_ARCHIVE);
    });
}

/* Watched names, lower case: every font of the three sets and whatever the
 * scenario names. */
std::set<std::string> WatchedValues(const Scenario &s)
{
    std::set<std::string> watched;
    for (const auto &set : FontSetsData())
        for (const std::string &name : set.second.names)
            watched.insert(Lower(name + " (TrueType)"));
    for (const auto *list : {&s.values, &s.expectedValues})
        for (const ScenarioValue &v : *list)
            watched.insert(Lower(v.name));
    return watched;
}

std::set<std::string> WatchedFiles(const Scenario &s)
{
    std::set<std::string> watched;
    for (const auto &set : FontSetsData())
        for (const std::string &name : set.second.names)
            watched.insert(Lower(name + ".ttf"));
    for (const auto *list : {&s.files, &s.expectedFiles})
        for (const ScenarioFile &f : *list)
            if (f.drive == 0)
                watched.insert(Lower(f.path));
    for (const std::string &name : s.heldFiles)
        watched.insert(Lower(name));
    return watched;
}

/* The boxes of one run: those shown after the first `firstBox`. */
void CheckBoxes(const SetupRun &run, size_t firstBox, UINT codePage)
{
    const std::vector<host::Box> boxes(host::Boxes().begin() + firstBox, host::Boxes().end());
    std::ostringstream shown;
    for (const host::Box &box : boxes) {
        std::string name = "unknown";
        for (const auto &m : MessagesData())
            if (MessageBytes(m.first) == box.text)
                name = m.first;
        shown << name << " ";
    }
    ASSERT_EQ(boxes.size(), run.boxes.size()) << "boxes shown: " << shown.str();
    for (size_t i = 0; i < boxes.size(); i++) {
        const std::string &name = run.boxes[i].name;
        EXPECT_EQ(boxes[i].text, MessageBytes(name)) << "box " << i << " should be " << name
                                                     << "; shown: " << shown.str();
        EXPECT_EQ(boxes[i].caption, MessageBytes("SetupTitle")) << "box " << i;
        EXPECT_EQ(boxes[i].flags, MessagesData().at(name).flags) << "box " << i;
        EXPECT_EQ(boxes[i].owner, nullptr) << "box " << i;
        /* Where the code page is not 932 the bytes would read as other
         * characters in MessageBoxA. */
        EXPECT_EQ(boxes[i].unicode, codePage != 932) << "box " << i;
    }
}

void CheckValues(const Scenario &s, const std::string &key)
{
    const auto watched = WatchedValues(s);
    std::map<std::string, host::RegValue> actual;
    for (const host::RegValue &v : host::RegValues(key))
        if (watched.count(Lower(v.name)))
            actual[Lower(v.name)] = v;
    for (const ScenarioValue &expected : s.expectedValues) {
        const auto found = actual.find(Lower(expected.name));
        if (found == actual.end()) {
            ADD_FAILURE() << "value missing: " << Printable(expected.name);
            continue;
        }
        EXPECT_EQ(found->second.type, expected.type) << Printable(expected.name);
        EXPECT_EQ(Printable(found->second.data), Printable(expected.data))
            << Printable(expected.name);
        actual.erase(found);
    }
    for (const auto &left : actual)
        ADD_FAILURE() << "value not expected: " << Printable(left.second.name) << " = "
                      << Printable(left.second.data);
}

/* The Fonts folder's names, lower case. */
std::set<std::string> FontsFolderNames()
{
    std::set<std::string> names;
    for (const std::string &name : host::ListDirectory(FONTS_DIR))
        names.insert(Lower(name));
    return names;
}

/* `before`: the names before the first run. Every file that was not there
 * is watched too: a run must leave nothing of its own behind (a scratch
 * copy, say) that the scenario does not expect. */
void CheckFiles(const Scenario &s, const std::set<std::string> &before)
{
    auto watched = WatchedFiles(s);
    for (const std::string &name : FontsFolderNames())
        if (!before.count(name))
            watched.insert(name);
    std::map<std::string, std::string> actual; /* lower case -> stored name */
    for (const std::string &name : host::ListDirectory(FONTS_DIR))
        if (watched.count(Lower(name)))
            actual[Lower(name)] = name;
    for (const ScenarioFile &expected : s.expectedFiles) {
        const auto found = actual.find(Lower(expected.path));
        if (found == actual.end()) {
            ADD_FAILURE() << "file missing: " << Printable(expected.path);
            continue;
        }
        EXPECT_TRUE(host::FileBytes(FONTS_DIR "\\" + found->second) ==
                    Content(expected, expected.path))
            << "content of " << Printable(expected.path);
        const DWORD attributes = host::FileAttributes(FONTS_DIR "\\" + found->second);
        EXPECT_EQ((attributes & FILE_ATTRIBUTE_READONLY) != 0, expected.readOnly)
            << Printable(expected.path) << " attributes " << attributes;
        actual.erase(found);
    }
    for (const auto &left : actual)
        ADD_FAILURE() << "file not expected: " << Printable(left.second);
}

class ScenarioTest : public HostTest,
                     public ::testing::WithParamInterface<ScenarioRun> {};

TEST_P(ScenarioTest, OnTheHost)
{
    const ScenarioRun &run = GetParam();
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(run.file, ReadSourceFile("tests/scenarios/" + run.file), &s,
                              &error))
        << error;
    Arrange(s, run.family, run.codePage);
    const std::set<std::string> before = FontsFolderNames();

    /* Each start of setup.exe on the system the one before left. A run
     * that fails makes those after it meaningless. */
    for (size_t i = 0; i < s.runs.size() && !HasFailure(); i++) {
        SCOPED_TRACE("run " + std::to_string(i + 1));
        const SetupRun &setupRun = s.runs[i];
        const size_t firstBox = host::Boxes().size();
        const int firstBroadcast = host::BroadcastCount();
        for (const std::string &name : setupRun.releases)
            host::ReleaseFile(FONTS_DIR "\\" + name);
        PrepareRun(s, setupRun, firstBox);
        /* The emulation counts broadcasts from the reset on. */
        host::CutAfterBroadcasts(setupRun.cutAfter ? firstBroadcast + setupRun.cutAfter : -1);
        bool cut = false;
        int exitCode = -1;
        try {
            exitCode = WinMain(nullptr, nullptr, nullptr, 0);
        } catch (const host::RunCut &) {
            /* What the killed process held goes with it. */
            host::EndProcess();
            cut = true;
        }
        host::CutAfterBroadcasts(-1);
        host::OnBox(nullptr);
        const int broadcasts = host::BroadcastCount() - firstBroadcast;
        CheckBoxes(setupRun, firstBox, run.codePage);
        if (setupRun.cutAfter) {
            EXPECT_TRUE(cut) << "not cut: exit code " << exitCode << " after " << broadcasts
                             << " broadcasts";
            EXPECT_EQ(broadcasts, setupRun.cutAfter);
            continue;
        }
        EXPECT_FALSE(cut);
        EXPECT_EQ(exitCode, setupRun.exitCode);
        if (setupRun.broadcasts >= 0) {
            EXPECT_EQ(broadcasts, setupRun.broadcasts);
        }
    }
    for (const std::string &name : s.heldFiles)
        if (!Released(s, name))
            host::ReleaseFile(FONTS_DIR "\\" + name);
    host::HangWindow(false);
    CheckValues(s, run.family == "nt" ? NT_KEY : WIN9X_KEY);
    CheckFiles(s, before);
}

std::string RunName(const ::testing::TestParamInfo<ScenarioRun> &info)
{
    std::string name = info.param.file.substr(0, info.param.file.size() - 4) + "_" +
                       info.param.family +
                       (info.param.codePage == 932 ? "" : "_cp" + std::to_string(info.param.codePage));
    for (char &c : name)
        if (!isalnum((unsigned char)c))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioTest, ::testing::ValuesIn(AllRuns()), RunName);

/* The runs of a scenario as the reader takes them, and what it refuses:
 * a scenario that a runner misreads would prove nothing. */
TEST(ScenarioReader, RunsAndTheirEnds)
{
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario("x", "window hung\nheld \"a.ttf\"\ncd q disc first 2\n"
                                   "box InstallQuestion yes\ncut broadcasts 1\nrerun\n"
                                   "release \"A.TTF\"\nbox FinishedNotice ok\nexit 0\n"
                                   "broadcasts 2\nexpect set disc first 2\n",
                              &s, &error))
        << error;
    EXPECT_TRUE(s.hungWindow);
    ASSERT_EQ(s.runs.size(), 2u);
    EXPECT_EQ(s.runs[0].boxes.size(), 1u);
    EXPECT_EQ(s.runs[0].cutAfter, 1);
    EXPECT_EQ(s.runs[1].releases, std::vector<std::string>{"A.TTF"});
    EXPECT_EQ(s.runs[1].exitCode, 0);
    EXPECT_EQ(s.runs[1].broadcasts, 2);
    EXPECT_EQ(s.files.size(), 2u);
    EXPECT_EQ(s.expectedFiles.size(), 2u);

    static const struct {
        const char *text;
        const char *reason;
    } refused[] = {
        {"exit 0\ncut broadcasts 2\n", "not both"},
        {"cut broadcasts 2\nrerun\n", "run 2 needs"},
        {"cut broadcasts 2\nbroadcasts 2\nrerun\nexit 0\n", "is cut"},
        {"cut broadcasts 0\nrerun\nexit 0\n", "after a broadcast"},
        {"held \"a.ttf\"\nrelease \"a.ttf\"\nexit 0\n", "later run"},
        {"held \"a.ttf\"\nexit 0\nrerun\nrelease \"b.ttf\"\nexit 0\n", "later run"},
        {"cd q disc first 2 soon\nexit 0\n", "cd LETTER"},
    };
    for (const auto &r : refused) {
        EXPECT_FALSE(ParseScenario("x", r.text, &s, &error)) << r.text;
        EXPECT_NE(error.find(r.reason), std::string::npos) << r.text << ": " << error;
    }
}

} // namespace
