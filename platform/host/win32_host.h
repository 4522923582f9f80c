/*
 * Host declarations of the Win32 subset the program calls.
 *
 * Written from the documented API: the same names, argument types and
 * constant values as the Windows SDK, with Windows' sizes kept on a 64-bit
 * host (DWORD, LONG, UINT and BOOL are 32 bits; handles are pointers).
 * platform/host/ implements these against an emulated registry, file
 * system, font table and user; tests steer it through host/control.h.
 */
#ifndef PLATFORM_HOST_WIN32_HOST_H
#define PLATFORM_HOST_WIN32_HOST_H

#include <stddef.h>
#include <stdint.h>

#define WINAPI
#define CALLBACK

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int32_t BOOL;
typedef uint32_t UINT;
typedef char CHAR;
typedef uint16_t WCHAR; /* UTF-16, as on Windows */
typedef int32_t HRESULT;
typedef DWORD REGSAM;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef size_t SIZE_T;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef DWORD_PTR *PDWORD_PTR;

typedef void *HANDLE;
typedef void *LPVOID;
typedef struct HKEY__ *HKEY;
typedef HKEY *PHKEY;
typedef struct HWND__ *HWND;
typedef struct HINSTANCE__ *HINSTANCE;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef BYTE *LPBYTE;
typedef DWORD *LPDWORD;
typedef struct _SECURITY_ATTRIBUTES *LPSECURITY_ATTRIBUTES;
typedef struct _OVERLAPPED *LPOVERLAPPED;
typedef struct _ITEMIDLIST ITEMIDLIST;
typedef ITEMIDLIST *LPITEMIDLIST;
typedef const ITEMIDLIST *LPCITEMIDLIST;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

/* Errors */
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_NOT_SAME_DEVICE 17L
#define ERROR_NOT_READY 21L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_TIMEOUT 1460L

#define S_OK ((HRESULT)0)
#define E_FAIL ((HRESULT)0x80004005)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

/* Registry */
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002u)
#define HKEY_USERS ((HKEY)(ULONG_PTR)0x80000003u)

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

LONG RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD reserved, LPSTR keyClass,
                     DWORD options, REGSAM access,
                     LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition);
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type,
                      LPBYTE data, LPDWORD count);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                    const BYTE *data, DWORD count);
LONG RegDeleteValueA(HKEY key, LPCSTR name);
LONG RegCloseKey(HKEY key);

/* Version */
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *LPOSVERSIONINFOA;

BOOL GetVersionExA(LPOSVERSIONINFOA info);

/* Shell */
#define CSIDL_FONTS 0x0014

/* The shell's task allocator, reduced to the two calls that free an item
 * list. On Windows it is a COM interface; callers use it the same way. */
struct IMalloc {
    void Free(void *block);
    ULONG Release();
};

HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST *list);
BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path);
HRESULT SHGetMalloc(IMalloc **allocator);

/* Message boxes */
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_YESNO 0x00000004u
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_TOPMOST 0x00040000u

#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

/* Code pages */
#define CP_ACP 0

UINT GetACP(void);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length,
                        LPWSTR wide, int capacity);

/* Windows and messages */
#define HWND_BROADCAST ((HWND)(ULONG_PTR)0xffff)
#define WM_FONTCHANGE 0x001D

#define SMTO_NORMAL 0x0000
#define SMTO_BLOCK 0x0001
#define SMTO_ABORTIFHUNG 0x0002

LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam, UINT flags, UINT timeout,
                            PDWORD_PTR result);

/* Drives and files */
#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4
#define DRIVE_CDROM 5
#define DRIVE_RAMDISK 6

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define OPEN_EXISTING 3

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME;

typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

UINT GetDriveTypeA(LPCSTR root);

/* Whether the system asks the user, in a box of its own, to insert a disc
 * when a file is looked for on a drive without one. */
#define SEM_FAILCRITICALERRORS 0x0001
UINT SetErrorMode(UINT mode);
HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found);
BOOL FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA found);
BOOL FindClose(HANDLE search);
BOOL CopyFileA(LPCSTR source, LPCSTR destination, BOOL failIfExists);
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);
BOOL DeleteFileA(LPCSTR path);
/* Renames within one drive; fails when `to` exists. */
BOOL MoveFileA(LPCSTR from, LPCSTR to);
DWORD GetFileAttributesA(LPCSTR path);
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share,
                   LPSECURITY_ATTRIBUTES security, DWORD creation,
                   DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read,
              LPOVERLAPPED overlapped);
BOOL CloseHandle(HANDLE handle);

/* The calling thread's last error, as the failing call set it. */
DWORD GetLastError(void);

/* Font resources */
int AddFontResourceA(LPCSTR file);
BOOL RemoveFontResourceA(LPCSTR file);

/* Strings: "%s" is the only conversion the program formats with. */
int wsprintfA(LPSTR buffer, LPCSTR format, ...);
int lstrlenA(LPCSTR text);
LPSTR lstrcpyA(LPSTR destination, LPCSTR source);
LPSTR lstrcatA(LPSTR destination, LPCSTR source);

/* Heap */
#define HEAP_ZERO_MEMORY 0x00000008

HANDLE GetProcessHeap(void);
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);

/* The entry point, which the program defines and host tests call. */
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine,
                   int show);

#endif
