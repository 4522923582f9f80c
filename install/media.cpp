/* This file holds Japanese text: it is compiled to code page 932. */
#include "install/media.h"

#include "install/install.h"
#include "platform/win32.h"
#include "setup/message_box.h"

const char InsertDiscPrompt[] =
    "Quillset for Windows Fernbookの\n"
    "CD-ROMを挿入してください。";

#define DISTRIBUTION_FOLDER "CM-TrueType"

/* A prompt that the platform cannot show answers 0. Taken like OK it would
 * scan and prompt forever, so this many failures in a row count as Cancel. */
#define PROMPT_FAILURES_AS_CANCEL 3

/* Scans z: down to a: and writes the first root that holds the folder,
 * as a path, into `folder`. 1 when found. */
static int ProbeDrives(char *folder)
{
    char root[4];
    char probe[MAX_PATH];
    WIN32_FIND_DATAA found;

    wsprintfA(root, "a:\\");
    for (char letter = 'z'; letter >= 'a'; letter--) {
        root[0] = letter;
        /* DRIVE_UNKNOWN is probed too: only a missing drive is skipped. */
        if (GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR)
            continue;
        wsprintfA(probe, "%s" DISTRIBUTION_FOLDER, root);
        HANDLE search = FindFirstFileA(probe, &found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        FindClose(search);
        wsprintfA(folder, "%s" DISTRIBUTION_FOLDER, root);
        return 1;
    }
    return 0;
}

/*
 * A floppy or CD-ROM drive without a disc would make Windows ask for one in
 * a box of its own at the probe, stopping the scan until the user answers
 * it. The scan passes over such a drive instead: critical errors fail the
 * call while it runs, and the process's mode is given back afterwards.
 */
static int ScanDrives(char *folder)
{
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    const int found = ProbeDrives(folder);
    SetErrorMode(previous);
    return found;
}

void FindDistributionFolder(void)
{
    char folder[MAX_PATH];
    int failedPrompts = 0;

    folder[0] = 0;
    while (!ScanDrives(folder)) {
        const int answer =
            ShowMessageBox(InsertDiscPrompt, MB_OKCANCEL);
        if (answer == IDCANCEL)
            return;
        failedPrompts = answer == 0 ? failedPrompts + 1 : 0;
        if (failedPrompts >= PROMPT_FAILURES_AS_CANCEL)
            return;
    }
    InstallFontFolder(folder);
}
