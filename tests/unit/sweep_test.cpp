/*
 * Sweeps over whole runs of the program: every failure the platform can
 * report, a run killed after each of its effects, and every font file held
 * open by another program. Whatever the run meets, it ends on the road it
 * takes, releases what it acquired, touches nothing outside the Fonts
 * folder, overwrites nothing in it, and leaves a state from which one more
 * normal run ends exactly as an uninterrupted run does.
 */
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include "host_fixture.h"
#include "test_data.h"

namespace {

/* ---- The machine a run starts on ---- */

struct Start {
    const char *what;
    DWORD platform;
    UINT codePage;
    bool earlier; /* both older sets and an earlier installation of the own set */
};

const char *Key(const Start &start)
{
    return start.platform == VER_PLATFORM_WIN32_NT ? NT_KEY : WIN9X_KEY;
}

struct Font {
    const char *name; /* the font's name in its set */
    const char *data; /* what its value holds */
    const char *file; /* its file, or null for data naming a path of its own */
};

/* Both older sets, in the three shapes their data comes in. */
const Font OlderFonts[] = {
    {"ASCGRP", "ASCGRP.TTF", FONTS_DIR "\\ASCGRP.TTF"},    /* marker of the first set */
    {"CMMI10", "CMMI10", FONTS_DIR "\\CMMI10.ttf"},        /* no extension */
    {"CMR10", "CMR10.TTF", FONTS_DIR "\\CMR10.TTF"},       /* the own set's cmr10 too */
    {"LOGO10", "D:\\TEX\\FONTS\\LOGO10.TTF", nullptr},     /* a path of its own */
    {"WNCYB10", "WNCYB10.TTF", FONTS_DIR "\\WNCYB10.TTF"}, /* marker of the companion */
    {"EUFM10", "EUFM10", FONTS_DIR "\\EUFM10.ttf"},
    {"MSAM10", "D:\\TEX\\FONTS\\MSAM10.TTF", nullptr},
};

/* An earlier installation of the own set, names the older sets lack. */
const char *const EarlierFonts[] = {"cmb10", "cmu10", "cmvtt10"};

/* The disc: a few fonts, cmr10 among them. */
const char *const DiscFonts[] = {"cmb10", "cmr10", "cmu10", "cmvtt10"};

void Arrange(const Start &start)
{
    host::Reset();
    host::SetPlatform(start.platform);
    host::SetCodePage(start.codePage);
    const char *key = Key(start);
    host::SetDriveType('q', DRIVE_CDROM);
    for (const char *name : DiscFonts)
        host::PutFile(std::string("q:\\CM-TrueType\\") + name + ".ttf",
                      host::FontBytes(std::string(name) + " disc"));
    host::PutFile("D:\\TEX\\FONTS\\LOGO10.TTF", host::FontBytes("LOGO10 older"));
    host::PutFile("D:\\TEX\\FONTS\\MSAM10.TTF", host::FontBytes("MSAM10 older"));
    if (start.earlier) {
        for (const Font &font : OlderFonts) {
            RegisterFont(key, font.name, font.data);
            if (font.file)
                host::PutFile(font.file, host::FontBytes(std::string(font.name) + " older"),
                              font.name[1] == 'M' ? FILE_ATTRIBUTE_READONLY
                                                  : FILE_ATTRIBUTE_ARCHIVE);
        }
        for (const char *name : EarlierFonts) {
            RegisterFont(key, name, std::string(name) + ".ttf");
            host::PutFile(FONTS_DIR "\\" + std::string(name) + ".ttf",
                          host::FontBytes(std::string(name) + " earlier"));
        }
        /* A running system has loaded its registered fonts, each by the
         * data of its value. */
        for (const Font &font : OlderFonts)
            AddFontResourceA(font.data);
        for (const char *name : EarlierFonts)
            AddFontResourceA((FONTS_DIR "\\" + std::string(name) + ".ttf").c_str());
    }
    host::ClearJournal();
}

/* Every answer Yes (OK to a notice, which the program does not read). */
void AnswerYes()
{
    for (int i = 0; i < 16; i++)
        host::QueueAnswer(IDYES);
}

/* The exit code of the road the boxes shown belong to. */
int RoadExitCode()
{
    for (const host::Box &box : host::Boxes())
        if (box.text == MessageBytes("NeedAdminMessage") ||
            box.text == MessageBytes("LegacyKeptNotice"))
            return 1;
    return 0;
}

/* ---- What a run leaves ---- */

std::string Lower(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return text;
}

void ListFiles(const std::string &folder, std::map<std::string, std::string> *files)
{
    for (const std::string &name : host::ListDirectory(folder)) {
        const std::string path = folder + (folder.back() == '\\' ? "" : "\\") + name;
        if (host::IsDirectory(path))
            ListFiles(path, files);
        else
            (*files)[Lower(path)] =
                host::FileBytes(path) + "|" + std::to_string(host::FileAttributes(path));
    }
}

struct State {
    std::map<std::string, std::string> values;     /* lower-case name -> type, data */
    std::map<std::string, std::string> fontsFiles; /* lower-case path -> bytes, attributes */
    std::map<std::string, std::string> otherFiles;
    std::set<std::string> loaded; /* fonts loaded whose files exist */

    bool operator==(const State &other) const
    {
        return values == other.values && fontsFiles == other.fontsFiles &&
               otherFiles == other.otherFiles && loaded == other.loaded;
    }
};

std::string Show(const std::map<std::string, std::string> &entries)
{
    std::string text;
    for (const auto &entry : entries)
        text += " " + entry.first;
    return text;
}

std::string Difference(const State &got, const State &want)
{
    std::ostringstream out;
    if (got.values != want.values)
        out << "values:" << Show(got.values) << " instead of" << Show(want.values) << "; ";
    if (got.fontsFiles != want.fontsFiles)
        out << "Fonts folder:" << Show(got.fontsFiles) << " instead of" << Show(want.fontsFiles)
            << "; ";
    if (got.otherFiles != want.otherFiles)
        out << "files outside the Fonts folder changed; ";
    if (got.loaded != want.loaded)
        out << got.loaded.size() << " fonts loaded instead of " << want.loaded.size() << "; ";
    return out.str();
}

State Capture(const Start &start)
{
    State state;
    for (const host::RegValue &value : host::RegValues(Key(start)))
        state.values[Lower(value.name)] = std::to_string(value.type) + ":" + value.data;
    std::map<std::string, std::string> all;
    for (const char *drive : {"C:\\", "D:\\", "q:\\"})
        ListFiles(drive, &all);
    const std::string fonts = Lower(FONTS_DIR "\\");
    for (const auto &file : all)
        (file.first.rfind(fonts, 0) == 0 ? state.fontsFiles : state.otherFiles)
            .insert(file);
    /* Fonts loaded from the Fonts folder. One whose unload failed and
     * whose value is gone lasts only until the restart: loaded from a path
     * of its own (the value of such data goes, as the program has always
     * done), or on 95/98 from a file that was deleted all the same. */
    for (const std::string &font : host::LoadedFonts())
        if (host::Exists(font) && Lower(font).rfind(fonts, 0) == 0)
            state.loaded.insert(Lower(font));
    return state;
}

/* ---- One run and its checks ---- */

/* Runs the program as a process; -1 when the run was cut. */
int RunProgram()
{
    try {
        return WinMain(nullptr, nullptr, nullptr, 0);
    } catch (const host::RunCut &) {
        return -1;
    }
}

/* What a failed close leaves by the layer's contract: the one handle whose
 * close was refused, and for a key its record. */
struct Leftovers {
    int keys = 0, searches = 0, files = 0, heap = 0;
};

Leftovers AllowedLeftovers(const std::string &failed)
{
    Leftovers allowed;
    if (failed == "RegCloseKey")
        allowed.keys = allowed.heap = 1;
    if (failed == "FindClose")
        allowed.searches = 1;
    if (failed == "CloseHandle")
        allowed.files = 1;
    return allowed;
}

/* The checks every run that was not cut must pass; "" when it did. */
std::string CheckRun(int exitCode, const State &before, const State &after,
                     const std::string &failed)
{
    std::ostringstream out;
    if (exitCode != RoadExitCode())
        out << "exit code " << exitCode << " on a road that ends with " << RoadExitCode() << "; ";
    const Leftovers allowed = AllowedLeftovers(failed);
    if (host::OpenKeyCount() != allowed.keys)
        out << host::OpenKeyCount() << " keys left open; ";
    if (host::OpenSearchCount() != allowed.searches)
        out << host::OpenSearchCount() << " searches left open; ";
    if (host::OpenFileCount() != allowed.files)
        out << host::OpenFileCount() << " files left open; ";
    if (host::LiveHeapBlocks() != allowed.heap)
        out << host::LiveHeapBlocks() << " heap blocks left; ";
    if (host::LiveItemLists() != 0)
        out << host::LiveItemLists() << " item lists left; ";
    if (after.otherFiles != before.otherFiles)
        out << "a file outside the Fonts folder changed; ";
    for (const std::string &copy : host::JournalOf({"CopyFileA"}))
        if (copy.size() < 4 || copy.substr(copy.size() - 4) != ", 1)")
            out << "a copy that may overwrite: " << copy << "; ";
    /* A file that is there before and after with other bytes must have
     * been deleted in between, never written over. */
    const auto deletions = host::JournalOf({"DeleteFileA"});
    for (const auto &file : before.fontsFiles) {
        const auto now = after.fontsFiles.find(file.first);
        if (now == after.fontsFiles.end() || now->second == file.second)
            continue;
        bool deleted = false;
        for (const std::string &line : deletions)
            deleted = deleted || Lower(line) == "deletefilea(" + file.first + ")";
        if (!deleted)
            out << file.first << " changed without being deleted; ";
    }
    return out.str();
}

/* The end of one uninterrupted run from the start. */
struct Reference {
    State end;
    std::map<std::string, int> calls;
    int effects;
};

Reference Uninterrupted(const Start &start)
{
    Arrange(start);
    AnswerYes();
    const int exitCode = RunProgram();
    EXPECT_EQ(exitCode, 0) << start.what;
    Reference reference{Capture(start), host::CallCounts(), host::EffectCount()};
    /* What the uninterrupted run must leave: the disc's fonts installed,
     * nothing of the older sets but the files on their own paths. */
    for (const char *name : DiscFonts) {
        EXPECT_TRUE(IsRegistered(Key(start), name)) << start.what << " " << name;
        EXPECT_EQ(host::FileBytes(FONTS_DIR "\\" + std::string(name) + ".ttf"),
                  host::FontBytes(std::string(name) + " disc"))
            << start.what;
    }
    EXPECT_EQ(reference.end.values.size(), std::size(DiscFonts)) << start.what;
    EXPECT_EQ(reference.end.fontsFiles.size(), std::size(DiscFonts)) << start.what;
    EXPECT_EQ(reference.end.loaded.size(), std::size(DiscFonts)) << start.what;
    EXPECT_TRUE(host::Exists("D:\\TEX\\FONTS\\LOGO10.TTF")) << start.what;
    return reference;
}

/* After a disturbed run: the process is gone, then one normal run. */
std::string FinishWithANormalRun(const Start &start, const Reference &reference)
{
    host::EndProcess();
    host::ClearJournal();
    AnswerYes();
    const int exitCode = RunProgram();
    std::string problems;
    if (exitCode != 0)
        problems += "the normal run ended with " + std::to_string(exitCode) + "; ";
    const State end = Capture(start);
    if (!(end == reference.end))
        problems += "the normal run did not finish the job: " + Difference(end, reference.end);
    return problems;
}

const Start Starts[] = {
    {"NT, older sets and an earlier installation", VER_PLATFORM_WIN32_NT, 932, true},
    {"95/98, older sets and an earlier installation", VER_PLATFORM_WIN32_WINDOWS, 932, true},
    {"NT, fresh install", VER_PLATFORM_WIN32_NT, 932, false},
    {"95/98, fresh install", VER_PLATFORM_WIN32_WINDOWS, 932, false},
    {"NT in code page 1252, older sets and an earlier installation", VER_PLATFORM_WIN32_NT,
     1252, true},
};

class Sweep : public HostTest {
protected:
    void Report(const std::string &what, const std::string &problems)
    {
        if (!problems.empty() && failures_.size() < 20)
            failures_.push_back(what + ": " + problems);
        if (!problems.empty())
            ++failed_;
        ++runs_;
    }

    void TearDown() override
    {
        std::string all;
        for (const std::string &failure : failures_)
            all += "\n  " + failure;
        std::printf("[  SWEEP   ] %d runs, %d failed\n", runs_, failed_);
        EXPECT_EQ(failed_, 0) << failed_ << " of " << runs_ << " runs failed:" << all;
        host::Reset();
        HostTest::TearDown();
    }

private:
    std::vector<std::string> failures_;
    int failed_ = 0;
    int runs_ = 0;
};

/* Every platform call that can fail, at every occurrence of it in the
 * uninterrupted run, fails once. */
TEST_F(Sweep, EveryFailureOfEveryCall)
{
    for (const Start &start : Starts) {
        const Reference reference = Uninterrupted(start);
        ASSERT_GT(reference.calls.size(), 10u) << start.what;
        for (const auto &[call, count] : reference.calls) {
            for (int k = 0; k < count; k++) {
                Arrange(start);
                const State before = Capture(start);
                host::FailCall(call, 1, k);
                AnswerYes();
                const int exitCode = RunProgram();
                std::string problems = CheckRun(exitCode, before, Capture(start), call);
                problems += FinishWithANormalRun(start, reference);
                Report(std::string(start.what) + ", " + call + " #" + std::to_string(k + 1),
                       problems);
            }
        }
    }
}

/* The run is killed after each of its effects in turn, from before the
 * first to after the last. */
TEST_F(Sweep, ARunKilledAfterAnyEffect)
{
    for (const Start &start : Starts) {
        const Reference reference = Uninterrupted(start);
        ASSERT_GT(reference.effects, 10) << start.what;
        for (int n = 0; n <= reference.effects; n++) {
            Arrange(start);
            host::CutAfterEffects(n);
            AnswerYes();
            RunProgram();
            Report(std::string(start.what) + ", killed after effect " + std::to_string(n),
                   FinishWithANormalRun(start, reference));
        }
    }
}

/* Each font file of the starting system in turn is held open by another
 * program for the whole run, and released before the next. */
TEST_F(Sweep, AFontFileHeldOpenDuringTheRun)
{
    for (const Start &start : Starts) {
        if (!start.earlier)
            continue;
        const Reference reference = Uninterrupted(start);
        Arrange(start);
        const State initial = Capture(start);
        for (const auto &file : initial.fontsFiles) {
            Arrange(start);
            const State before = Capture(start);
            host::HoldFile(file.first);
            AnswerYes();
            const int exitCode = RunProgram();
            std::string problems = CheckRun(exitCode, before, Capture(start), "");
            host::ReleaseFile(file.first);
            problems += FinishWithANormalRun(start, reference);
            Report(std::string(start.what) + ", " + file.first + " held", problems);
        }
    }
}

} // namespace
