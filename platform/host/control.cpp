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

const std::set<std::string> &FailableCalls()
{
    static const std::set<std::string> names = {
        "RegCreateKeyExA", "RegQueryValueExA", "RegSetValueExA",
        "RegDeleteValueA", "RegCloseKey", "GetVersionExA",
        "SHGetSpecialFolderLocation", "SHGetPathFromIDListA", "SHGetMalloc",
        "MessageBoxA", "FindFirstFileA", "FindNextFileA", "FindClose",
        "CopyFileA", "SetFileAttributesA", "DeleteFileA", "AddFontResourceA",
        "RemoveFontResourceA", "SendMessageA", "HeapAlloc",
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

void Journal(std::string line)
{
    Machine().journal.push_back(std::move(line));
}

bool ShouldFail(const char *function)
{
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
    if (!FailableCalls().count(function))
        Abort("FailCall: no failure is defined for \"" + function + "\"");
    Machine().failures[function] = FailureRule{times, skip};
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
}

int OpenKeyCount()
{
    return static_cast<int>(Machine().openKeys.size());
}

int OpenSearchCount()
{
    return static_cast<int>(Machine().searches.size());
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
