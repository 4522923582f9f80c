/*
 * The machine record, its reset, the failure switch and the journal.
 */
#include <algorithm>
#include <set>

#include "state.h"

namespace host::detail {

namespace {

/* A new machine: Windows NT with drive c: holding the Fonts folder. */
void Install(State &machine)
{
    Drive &systemDrive = machine.drives['c'];
    systemDrive.type = DRIVE_FIXED;
    auto windows = std::make_unique<FileNode>();
    windows->isDirectory = true;
    auto fonts = std::make_unique<FileNode>();
    fonts->isDirectory = true;
    windows->children["FONTS"] = std::move(fonts);
    systemDrive.root.children["WINDOWS"] = std::move(windows);
}

const std::set<std::string> &FailableNames()
{
    static const std::set<std::string> names = {
        "RegCreateKeyExA", "RegQueryValueExA", "RegSetValueExA",
        "RegDeleteValueA", "RegCloseKey", "GetVersionExA",
        "SHGetSpecialFolderLocation", "SHGetPathFromIDListA", "SHGetMalloc",
        "MessageBoxA", "MessageBoxW", "MultiByteToWideChar", "FindFirstFileA",
        "FindNextFileA", "FindClose", "CopyFileA", "SetFileAttributesA",
        "DeleteFileA", "MoveFileA", "GetFileAttributesA", "CreateFileA", "ReadFile",
        "CloseHandle", "AddFontResourceA", "RemoveFontResourceA",
        "SendMessageTimeoutA", "HeapAlloc",
    };
    return names;
}

} // namespace

State &Machine()
{
    static State machine = [] {
        State fresh;
        Install(fresh);
        return fresh;
    }();
    return machine;
}

void CutPoint()
{
    State &machine = Machine();
    const bool cut =
        (machine.cutAfterEffects >= 0 && machine.effects >= machine.cutAfterEffects) ||
        (machine.cutAfterBroadcasts >= 0 && machine.broadcasts >= machine.cutAfterBroadcasts);
    if (cut) {
        machine.cutAfterEffects = machine.cutAfterBroadcasts = -1;
        throw host::RunCut();
    }
}

void Journal(std::string line)
{
    CutPoint();
    Machine().journal.push_back(std::move(line));
}

void Effect()
{
    ++Machine().effects;
}

bool ShouldFail(const char *function)
{
    if (!FailableNames().count(function))
        Abort(std::string("ShouldFail: \"") + function + "\" is not a failable call");
    ++Machine().calls[function];
    auto &failures = Machine().failures;
    const auto rule = failures.find(function);
    if (rule == failures.end())
        return false;
    if (rule->second.skip > 0) {
        --rule->second.skip;
        return false;
    }
    if (rule->second.times == 0)
        return false;
    if (rule->second.times > 0)
        --rule->second.times;
    return true;
}

void SetLastError(DWORD error)
{
    Machine().lastError = error;
}

} // namespace host::detail

DWORD GetLastError(void)
{
    return host::detail::Machine().lastError;
}

namespace host {

using namespace detail;

void Reset()
{
    State &machine = Machine();
    machine = State();
    Install(machine);
}

void FailCall(const std::string &function, int times, int skip)
{
    if (!FailableNames().count(function))
        Abort("FailCall: no failure is defined for \"" + function + "\"");
    Machine().failures[function] = FailureRule{times, skip};
}

std::vector<std::string> FailableCalls()
{
    return std::vector<std::string>(FailableNames().begin(), FailableNames().end());
}

std::map<std::string, int> CallCounts()
{
    return Machine().calls;
}

void CutAfterEffects(int n)
{
    Machine().cutAfterEffects = n;
}

void CutAfterBroadcasts(int n)
{
    Machine().cutAfterBroadcasts = n;
}

int EffectCount()
{
    return Machine().effects;
}

void EndProcess()
{
    State &machine = Machine();
    machine.openKeys.clear();
    machine.searches.clear();
    machine.openFiles.clear();
    machine.heapBlocks.clear();
    machine.itemLists.clear();
    machine.answers.clear();
    machine.failures.clear();
    machine.cutAfterEffects = machine.cutAfterBroadcasts = -1;
}

void SetCodePage(UINT codePage)
{
    Machine().codePage = codePage;
}

void HangWindow(bool hung)
{
    Machine().hungWindow = hung;
}

void SetPlatform(DWORD platformId)
{
    Machine().platformId = platformId;
}

void SetFontsFolder(const std::string &path)
{
    Machine().fontsFolder = path;
}

void QueueAnswer(int result)
{
    Machine().answers.push_back(result);
}

void OnBox(std::function<void(const Box &)> hook)
{
    Machine().onBox = std::move(hook);
}

const std::vector<Box> &Boxes()
{
    return Machine().boxes;
}

const std::vector<std::string> &Journal()
{
    return Machine().journal;
}

std::vector<std::string> JournalOf(const std::vector<std::string> &functions)
{
    std::vector<std::string> lines;
    for (const std::string &line : Machine().journal) {
        const std::string function = line.substr(0, line.find('('));
        if (std::find(functions.begin(), functions.end(), function) != functions.end())
            lines.push_back(line);
    }
    return lines;
}

void ClearJournal()
{
    Machine().journal.clear();
    Machine().calls.clear();
    Machine().effects = 0;
}

int OpenKeyCount()
{
    return static_cast<int>(Machine().openKeys.size());
}

int OpenSearchCount()
{
    return static_cast<int>(Machine().searches.size());
}

int OpenFileCount()
{
    return static_cast<int>(Machine().openFiles.size());
}

int BroadcastCount()
{
    return Machine().broadcasts;
}

std::vector<std::string> LoadedFonts()
{
    return Machine().loadedFonts;
}

int LiveHeapBlocks()
{
    return static_cast<int>(Machine().heapBlocks.size());
}

int LiveItemLists()
{
    return static_cast<int>(Machine().itemLists.size());
}

} // namespace host
