/*
 * Drives and files: an in-memory tree per drive letter, Windows paths,
 * searches, copies, attributes and deletions.
 */
#include <algorithm>
#include <cstring>

#include "state.h"

namespace host::detail {

namespace {

constexpr size_t kLongestName = 255;

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool IsDriveLetter(char c)
{
    const char lower = static_cast<char>(c | 0x20);
    return lower >= 'a' && lower <= 'z';
}

} // namespace

ParsedPath ParsePath(const char *path)
{
    ParsedPath parsed;
    parsed.error = ERROR_PATH_NOT_FOUND;
    if (!path)
        return parsed;
    const std::string_view text(path);
    /* MAX_PATH counts the terminating zero. */
    if (text.size() >= MAX_PATH || text.size() < 3 || !IsDriveLetter(text[0]) ||
        text[1] != ':' || !IsSeparator(text[2]))
        return parsed;

    const std::vector<std::string> pieces = SplitName(text.substr(3), "\\/");
    for (size_t i = 0; i < pieces.size(); ++i) {
        const std::string &piece = pieces[i];
        if (piece.size() > kLongestName) {
            parsed.error = i + 1 == pieces.size() ? ERROR_FILE_NOT_FOUND
                                                  : ERROR_PATH_NOT_FOUND;
            return parsed;
        }
        if (piece.empty() || piece == ".")
            continue;
        if (piece == "..") {
            if (!parsed.components.empty())
                parsed.components.pop_back();
            continue;
        }
        parsed.components.push_back(piece);
    }
    parsed.drive = static_cast<char>(text[0] | 0x20);
    parsed.trailingSeparator = pieces.size() > 1 && pieces.back().empty();
    parsed.error = ERROR_SUCCESS;
    return parsed;
}

Location Locate(const ParsedPath &path)
{
    Location where;
    if (!path.ok()) {
        where.error = path.error;
        return where;
    }
    const auto drive = Machine().drives.find(path.drive);
    if (drive == Machine().drives.end()) {
        where.error = ERROR_PATH_NOT_FOUND;
        return where;
    }
    where.drive = &drive->second;
    FileNode *folder = &drive->second.root;
    if (path.components.empty()) {
        where.entry = folder;
        return where;
    }
    for (size_t i = 0; i + 1 < path.components.size(); ++i) {
        const auto child = folder->children.find(path.components[i]);
        if (child == folder->children.end() || !child->second->isDirectory) {
            where.error = ERROR_PATH_NOT_FOUND;
            return where;
        }
        folder = child->second.get();
    }
    where.folder = folder;
    where.leaf = path.components.back();
    const auto entry = folder->children.find(where.leaf);
    if (entry == folder->children.end())
        where.error = ERROR_FILE_NOT_FOUND;
    else if (path.trailingSeparator && !entry->second->isDirectory)
        where.error = ERROR_PATH_NOT_FOUND;
    else
        where.entry = entry->second.get();
    return where;
}

Location Locate(const char *path)
{
    return Locate(ParsePath(path));
}

DWORD ReportedAttributes(const FileNode &entry)
{
    if (entry.isDirectory)
        return entry.attributes | FILE_ATTRIBUTE_DIRECTORY;
    return entry.attributes ? entry.attributes : FILE_ATTRIBUTE_NORMAL;
}

std::string CanonicalPath(const std::string &path)
{
    const ParsedPath parsed = ParsePath(path.c_str());
    if (!parsed.ok())
        return FoldName(path);
    std::string canonical(1, parsed.drive);
    canonical += ":";
    for (const std::string &component : parsed.components)
        canonical += "\\" + FoldName(component);
    return parsed.components.empty() ? canonical + "\\" : canonical;
}

std::string JoinPath(const std::string &folder, const std::string &name)
{
    const std::vector<std::string> pieces = SplitName(folder, "\\/");
    const bool endsWithSeparator = pieces.size() > 1 && pieces.back().empty();
    return folder + (endsWithSeparator ? "" : "\\") + name;
}

} // namespace host::detail

using namespace host::detail;

namespace {

/* The attributes SetFileAttributesA can change. */
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      0x100 /* TEMPORARY */ | 0x1000 /* OFFLINE */ |
                                      0x2000 /* NOT_CONTENT_INDEXED */;

DWORD StoredAttributes(DWORD attributes)
{
    return attributes & kSettableAttributes;
}

bool IsReadOnly(const FileNode &entry)
{
    return (entry.attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

/* A CD cannot be written. */
bool IsWritable(const Location &where)
{
    return where.drive && where.drive->type != DRIVE_CDROM;
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

void Fill(const std::string &name, const FileNode &entry, WIN32_FIND_DATAA *found)
{
    std::memset(found, 0, sizeof *found);
    found->dwFileAttributes = ReportedAttributes(entry);
    const uint64_t size = entry.bytes.size();
    found->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    found->nFileSizeLow = static_cast<DWORD>(size);
    const size_t length = std::min(name.size(), sizeof found->cFileName - 1);
    std::memcpy(found->cFileName, name.data(), length);
}

/* Whether another program, the program itself without FILE_SHARE_DELETE, or
 * (on Windows NT) a loaded font keeps the file open. */
bool IsHeld(const std::string &path)
{
    const State &machine = Machine();
    const std::string canonical = CanonicalPath(path);
    const auto held = machine.heldFiles.find(canonical);
    if (held != machine.heldFiles.end() && held->second > 0)
        return true;
    for (const auto &open : machine.openFiles)
        if (open.second->path == canonical && !(open.second->share & FILE_SHARE_DELETE))
            return true;
    if (machine.platformId == VER_PLATFORM_WIN32_NT)
        for (const std::string &font : machine.loadedFonts)
            if (CanonicalPath(font) == canonical)
                return true;
    return false;
}

ParsedPath TestPath(const std::string &path)
{
    ParsedPath parsed = ParsePath(path.c_str());
    if (!parsed.ok())
        Abort("not a path the emulation takes: \"" + path + "\"");
    return parsed;
}

/* The folder holding the path's first `depth` components, made as needed
 * (with the drive, as a fixed disk, if it has none). */
FileNode *MakeFolders(const ParsedPath &path, size_t depth)
{
    auto drive = Machine().drives.find(path.drive);
    if (drive == Machine().drives.end())
        drive = Machine().drives.emplace(path.drive, Drive()).first;
    FileNode *folder = &drive->second.root;
    for (size_t i = 0; i < depth; ++i) {
        auto &slot = folder->children[path.components[i]];
        if (!slot) {
            slot = std::make_unique<FileNode>();
            slot->isDirectory = true;
        } else if (!slot->isDirectory) {
            Abort("a file stands where a folder is wanted: " + path.components[i]);
        }
        folder = slot.get();
    }
    return folder;
}

} // namespace

UINT GetDriveTypeA(LPCSTR root)
{
    Journal("GetDriveTypeA(" + Printable(root) + ")");
    /* A null root means the current directory's drive, which is c:. */
    const std::string_view text = root ? root : "c:\\";
    if (text.size() != 3 || !IsDriveLetter(text[0]) || text[1] != ':' || text[2] != '\\')
        return DRIVE_NO_ROOT_DIR;
    const auto drive = Machine().drives.find(static_cast<char>(text[0] | 0x20));
    return drive == Machine().drives.end() ? DRIVE_NO_ROOT_DIR : drive->second.type;
}

UINT SetErrorMode(UINT mode)
{
    Journal("SetErrorMode(" + Hex(mode) + ")");
    const UINT previous = Machine().errorMode;
    Machine().errorMode = mode;
    return previous;
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found)
{
    Journal("FindFirstFileA(" + Printable(pattern) + ")");
    if (ShouldFail("FindFirstFileA")) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!pattern || !found) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const ParsedPath parsed = ParsePath(pattern);
    const Location where = Locate(parsed);
    if (where.drive && !where.drive->hasDisc) {
        if (!(Machine().errorMode & SEM_FAILCRITICALERRORS))
            Machine().boxes.push_back(host::Box{nullptr, "There is no disk in the drive.",
                                                "Windows - No Disk", MB_OKCANCEL, IDCANCEL,
                                                false});
        SetLastError(ERROR_NOT_READY);
        return INVALID_HANDLE_VALUE;
    }
    if (!where.folder) {
        /* Also a drive's root itself, which a search does not find. */
        SetLastError(where.entry ? ERROR_FILE_NOT_FOUND : where.error);
        return INVALID_HANDLE_VALUE;
    }

    auto search = std::make_unique<Search>();
    const std::string &wanted = parsed.components.back();
    if (!parsed.trailingSeparator) {
        for (const auto &[name, entry] : where.folder->children) {
            const bool matches = HasWildcards(wanted) ? MatchesPattern(wanted, name)
                                                      : SameName(wanted, name);
            if (matches) {
                Fill(name, *entry, &search->results.emplace_back());
            }
        }
    }
    if (search->results.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *found = search->results[search->next++];
    HANDLE handle = search.get();
    Machine().searches[handle] = std::move(search);
    return handle;
}

BOOL FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA found)
{
    Journal("FindNextFileA()");
    if (ShouldFail("FindNextFileA"))
        return Fail(ERROR_NO_MORE_FILES);
    const auto search = Machine().searches.find(handle);
    if (search == Machine().searches.end())
        return Fail(ERROR_INVALID_HANDLE);
    if (!found)
        return Fail(ERROR_INVALID_PARAMETER);
    Search &results = *search->second;
    if (results.next >= results.results.size())
        return Fail(ERROR_NO_MORE_FILES);
    *found = results.results[results.next++];
    return TRUE;
}

BOOL FindClose(HANDLE handle)
{
    Journal("FindClose()");
    if (ShouldFail("FindClose"))
        return Fail(ERROR_INVALID_HANDLE);
    if (!Machine().searches.erase(handle))
        return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

BOOL CopyFileA(LPCSTR source, LPCSTR destination, BOOL failIfExists)
{
    Journal("CopyFileA(" + Printable(source) + ", " + Printable(destination) + ", " +
            std::to_string(failIfExists) + ")");
    if (ShouldFail("CopyFileA"))
        return Fail(ERROR_ACCESS_DENIED);
    const Location from = Locate(source);
    if (!from.entry)
        return Fail(from.error);
    if (from.entry->isDirectory)
        return Fail(ERROR_ACCESS_DENIED);

    const ParsedPath toPath = ParsePath(destination);
    const Location to = Locate(toPath);
    if (!to.folder) {
        /* A drive's root is no file to write. */
        return Fail(to.entry ? ERROR_ACCESS_DENIED : to.error);
    }
    if (toPath.trailingSeparator && !to.entry)
        return Fail(ERROR_PATH_NOT_FOUND);
    if (!IsWritable(to))
        return Fail(ERROR_ACCESS_DENIED);
    if (to.entry) {
        if (failIfExists)
            return Fail(ERROR_FILE_EXISTS);
        if (to.entry->isDirectory || IsReadOnly(*to.entry) || to.entry == from.entry)
            return Fail(ERROR_ACCESS_DENIED);
        if (IsHeld(destination))
            return Fail(ERROR_SHARING_VIOLATION);
        /* Overwritten in place: the entry keeps its name. */
        to.entry->bytes = from.entry->bytes;
        to.entry->attributes = from.entry->attributes;
        Effect();
        return TRUE;
    }
    /* The copy is made in two steps, as on Windows: the new file first
     * holds part of the bytes, so a process killed in between leaves it
     * cut short under its name. */
    auto copy = std::make_unique<FileNode>();
    copy->bytes = from.entry->bytes.substr(0, from.entry->bytes.size() / 2);
    copy->attributes = from.entry->attributes;
    FileNode *made = copy.get();
    to.folder->children[to.leaf] = std::move(copy);
    Effect();
    CutPoint();
    made->bytes = from.entry->bytes;
    Effect();
    return TRUE;
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes)
{
    Journal("SetFileAttributesA(" + Printable(path) + ", " + Hex(attributes) + ")");
    if (ShouldFail("SetFileAttributesA"))
        return Fail(ERROR_ACCESS_DENIED);
    const Location where = Locate(path);
    if (!where.entry)
        return Fail(where.error);
    if (!IsWritable(where))
        return Fail(ERROR_ACCESS_DENIED);
    where.entry->attributes = StoredAttributes(attributes);
    Effect();
    return TRUE;
}

BOOL DeleteFileA(LPCSTR path)
{
    Journal("DeleteFileA(" + Printable(path) + ")");
    if (ShouldFail("DeleteFileA"))
        return Fail(ERROR_ACCESS_DENIED);
    const Location where = Locate(path);
    if (!where.entry)
        return Fail(where.error);
    if (where.entry->isDirectory || IsReadOnly(*where.entry) || !IsWritable(where))
        return Fail(ERROR_ACCESS_DENIED);
    if (IsHeld(path))
        return Fail(ERROR_SHARING_VIOLATION);
    where.folder->children.erase(where.leaf);
    Effect();
    return TRUE;
}

BOOL MoveFileA(LPCSTR from, LPCSTR to)
{
    Journal("MoveFileA(" + Printable(from) + ", " + Printable(to) + ")");
    if (ShouldFail("MoveFileA"))
        return Fail(ERROR_ACCESS_DENIED);
    const ParsedPath fromPath = ParsePath(from);
    const Location source = Locate(fromPath);
    if (!source.entry)
        return Fail(source.error);
    if (!source.folder)
        return Fail(ERROR_ACCESS_DENIED);
    const ParsedPath toPath = ParsePath(to);
    const Location target = Locate(toPath);
    if (!target.folder)
        return Fail(target.entry ? ERROR_ACCESS_DENIED : target.error);
    if (target.entry)
        return Fail(ERROR_ALREADY_EXISTS);
    if (fromPath.drive != toPath.drive)
        return Fail(ERROR_NOT_SAME_DEVICE);
    if (!IsWritable(source) || (!source.entry->isDirectory && IsHeld(from)))
        return Fail(source.entry->isDirectory ? ERROR_ACCESS_DENIED : ERROR_SHARING_VIOLATION);
    if (source.entry->isDirectory &&
        CanonicalPath(to).rfind(CanonicalPath(from) + "\\", 0) == 0)
        return Fail(ERROR_ACCESS_DENIED);
    auto moved = source.folder->children.extract(source.leaf);
    moved.key() = target.leaf;
    target.folder->children.insert(std::move(moved));
    Effect();
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path)
{
    Journal("GetFileAttributesA(" + Printable(path) + ")");
    if (ShouldFail("GetFileAttributesA")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_FILE_ATTRIBUTES;
    }
    const Location where = Locate(path);
    if (!where.entry) {
        SetLastError(where.error);
        return INVALID_FILE_ATTRIBUTES;
    }
    return ReportedAttributes(*where.entry);
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD creation, DWORD flags, HANDLE templateFile)
{
    Journal("CreateFileA(" + Printable(path) + ", " + Hex(access) + ", " + Hex(share) + ")");
    if (access != GENERIC_READ || creation != OPEN_EXISTING || security || flags ||
        templateFile)
        Abort("CreateFileA: the emulation opens existing files for reading only");
    if (ShouldFail("CreateFileA")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    const Location where = Locate(path);
    if (!where.entry) {
        SetLastError(where.error);
        return INVALID_HANDLE_VALUE;
    }
    if (where.entry->isDirectory) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    /* Whoever holds the file reads it: a new open must share reading. */
    if (IsHeld(path) && !(share & FILE_SHARE_READ)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    auto file = std::make_unique<OpenFile>(OpenFile{CanonicalPath(path), share});
    HANDLE handle = file.get();
    Machine().openFiles[handle] = std::move(file);
    return handle;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped)
{
    Journal("ReadFile(" + std::to_string(size) + ")");
    if (read)
        *read = 0;
    if (ShouldFail("ReadFile"))
        return Fail(ERROR_ACCESS_DENIED);
    const auto open = Machine().openFiles.find(handle);
    if (open == Machine().openFiles.end())
        return Fail(ERROR_INVALID_HANDLE);
    if (!read || overlapped || (!buffer && size))
        return Fail(ERROR_INVALID_PARAMETER);
    const Location where = Locate(open->second->path.c_str());
    if (!where.entry)
        return Fail(ERROR_ACCESS_DENIED);
    const std::string &bytes = where.entry->bytes;
    size_t &position = open->second->position;
    const size_t count = position < bytes.size() ? std::min<size_t>(size, bytes.size() - position) : 0;
    if (count)
        std::memcpy(buffer, bytes.data() + position, count);
    position += count;
    *read = static_cast<DWORD>(count);
    return TRUE;
}

BOOL CloseHandle(HANDLE handle)
{
    Journal("CloseHandle()");
    if (ShouldFail("CloseHandle"))
        return Fail(ERROR_INVALID_HANDLE);
    if (!Machine().openFiles.erase(handle))
        return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

namespace host {

void SetDriveType(char letter, UINT type)
{
    if (!IsDriveLetter(letter))
        Abort(std::string("not a drive letter: ") + letter);
    const char drive = static_cast<char>(letter | 0x20);
    if (type == DRIVE_NO_ROOT_DIR)
        Machine().drives.erase(drive);
    else
        Machine().drives[drive].type = type;
}

void RemoveDisc(char letter)
{
    const auto drive = Machine().drives.find(static_cast<char>(letter | 0x20));
    if (drive == Machine().drives.end() ||
        (drive->second.type != DRIVE_CDROM && drive->second.type != DRIVE_REMOVABLE))
        Abort(std::string("RemoveDisc: no removable or CD-ROM drive ") + letter);
    drive->second.hasDisc = false;
    drive->second.root.children.clear();
}

void PutFile(const std::string &path, const std::string &bytes, DWORD attributes)
{
    const ParsedPath parsed = TestPath(path);
    if (parsed.components.empty() || parsed.trailingSeparator)
        Abort("PutFile needs a file name: \"" + path + "\"");
    FileNode *folder = MakeFolders(parsed, parsed.components.size() - 1);
    auto &slot = folder->children[parsed.components.back()];
    if (!slot)
        slot = std::make_unique<FileNode>();
    else if (slot->isDirectory)
        Abort("PutFile over a folder: \"" + path + "\"");
    slot->bytes = bytes;
    slot->attributes = StoredAttributes(attributes);
}

void HoldFile(const std::string &path)
{
    TestPath(path);
    ++Machine().heldFiles[CanonicalPath(path)];
}

void ReleaseFile(const std::string &path)
{
    TestPath(path);
    auto &held = Machine().heldFiles;
    const auto file = held.find(CanonicalPath(path));
    if (file == held.end())
        Abort("ReleaseFile: \"" + path + "\" is not held");
    if (--file->second == 0)
        held.erase(file);
}

void PutDirectory(const std::string &path)
{
    const ParsedPath parsed = TestPath(path);
    MakeFolders(parsed, parsed.components.size());
}

bool Exists(const std::string &path)
{
    return Locate(path.c_str()).entry != nullptr;
}

bool IsDirectory(const std::string &path)
{
    const Location where = Locate(path.c_str());
    return where.entry && where.entry->isDirectory;
}

std::string FileBytes(const std::string &path)
{
    const Location where = Locate(path.c_str());
    return where.entry && !where.entry->isDirectory ? where.entry->bytes : std::string();
}

DWORD FileAttributes(const std::string &path)
{
    const Location where = Locate(path.c_str());
    return where.entry ? ReportedAttributes(*where.entry) : 0;
}

std::vector<std::string> ListDirectory(const std::string &path)
{
    std::vector<std::string> names;
    const Location where = Locate(path.c_str());
    if (where.entry && where.entry->isDirectory)
        for (const auto &child : where.entry->children)
            names.push_back(child.first);
    return names;
}

void RemoveEntry(const std::string &path)
{
    const Location where = Locate(TestPath(path));
    if (!where.entry)
        return;
    if (where.folder)
        where.folder->children.erase(where.leaf);
    else
        where.entry->children.clear();
}

void MoveEntry(const std::string &from, const std::string &to)
{
    const ParsedPath fromPath = TestPath(from);
    const ParsedPath toPath = TestPath(to);
    const Location source = Locate(fromPath);
    if (!source.entry || !source.folder)
        Abort("MoveEntry: nothing to move at \"" + from + "\"");
    if (fromPath.drive != toPath.drive)
        Abort("MoveEntry moves within one drive: \"" + from + "\" to \"" + to + "\"");
    if (toPath.components.empty() || Locate(toPath).entry)
        Abort("MoveEntry: \"" + to + "\" is taken");
    if (toPath.components.size() > fromPath.components.size() &&
        CanonicalPath(to).rfind(CanonicalPath(from) + "\\", 0) == 0)
        Abort("MoveEntry: a folder cannot move into itself");

    auto moved = source.folder->children.extract(source.leaf);
    FileNode *folder = MakeFolders(toPath, toPath.components.size() - 1);
    moved.key() = toPath.components.back();
    folder->children.insert(std::move(moved));
}

} // namespace host
