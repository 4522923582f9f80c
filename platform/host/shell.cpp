/*
 * The system's version, the shell's Fonts folder and its task allocator.
 */
#include <algorithm>
#include <cstring>

#include "state.h"

using namespace host::detail;

namespace {

constexpr HRESULT kInvalidArgument = static_cast<HRESULT>(0x80070057); /* E_INVALIDARG */

struct VersionNumbers {
    DWORD major, minor, build;
    const char *servicePack;
};

/* What each family reports: Windows XP SP3, Windows 98 SE, Win32s. */
VersionNumbers VersionOf(DWORD platformId)
{
    switch (platformId) {
    case VER_PLATFORM_WIN32_NT:
        return {5, 1, 2600, "Service Pack 3"};
    case VER_PLATFORM_WIN32_WINDOWS:
        /* Windows 9x keeps the version in the build number's high word. */
        return {4, 10, 0x040A08AE, " A "};
    default:
        return {3, 10, 0, ""};
    }
}

IMalloc theTaskAllocator;

} // namespace

BOOL GetVersionExA(LPOSVERSIONINFOA info)
{
    Journal("GetVersionExA()");
    if (ShouldFail("GetVersionExA"))
        return FALSE;
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD platformId = Machine().platformId;
    const VersionNumbers version = VersionOf(platformId);
    info->dwMajorVersion = version.major;
    info->dwMinorVersion = version.minor;
    info->dwBuildNumber = version.build;
    info->dwPlatformId = platformId;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    std::strcpy(info->szCSDVersion, version.servicePack);
    return TRUE;
}

HRESULT SHGetSpecialFolderLocation(HWND, int folder, LPITEMIDLIST *list)
{
    Journal("SHGetSpecialFolderLocation(" + Hex(static_cast<UINT>(folder)) + ")");
    if (!list)
        return kInvalidArgument;
    *list = nullptr;
    if (ShouldFail("SHGetSpecialFolderLocation") || folder != CSIDL_FONTS)
        return E_FAIL;
    auto created = std::make_unique<ITEMIDLIST>(ITEMIDLIST{folder});
    *list = created.get();
    Machine().itemLists[created.get()] = std::move(created);
    return S_OK;
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path)
{
    Journal("SHGetPathFromIDListA()");
    if (ShouldFail("SHGetPathFromIDListA") || !path || !Machine().itemLists.count(list))
        return FALSE;
    const std::string &folder = Machine().fontsFolder;
    const size_t length = std::min<size_t>(folder.size(), MAX_PATH - 1);
    std::memcpy(path, folder.data(), length);
    path[length] = '\0';
    return TRUE;
}

HRESULT SHGetMalloc(IMalloc **allocator)
{
    if (!allocator)
        return kInvalidArgument;
    if (ShouldFail("SHGetMalloc")) {
        *allocator = nullptr;
        return E_FAIL;
    }
    *allocator = &theTaskAllocator;
    return S_OK;
}

void IMalloc::Free(void *block)
{
    if (!block)
        return;
    auto &lists = Machine().itemLists;
    if (!lists.erase(static_cast<const ITEMIDLIST *>(block)))
        Abort("IMalloc::Free of a block the shell did not give out");
}

ULONG IMalloc::Release()
{
    /* The shell's allocator lives as long as the process. */
    return 1;
}
