#include "text/path.h"

#include "platform/win32.h"

int JoinPath(char *out, int capacity, const char *folder, const char *name)
{
    const int folderLength = lstrlenA(folder);
    const int needsSeparator =
        folderLength == 0 || folder[folderLength - 1] != '\\';
    const int length = folderLength + needsSeparator + lstrlenA(name);

    if (length + 1 > capacity)
        return 0;
    lstrcpyA(out, folder);
    if (needsSeparator)
        lstrcatA(out, "\\");
    lstrcatA(out, name);
    return 1;
}
