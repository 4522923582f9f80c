#include "setup/sequence.h"

#include "fonts/font_sets.h"
#include "fonts/font_store.h"
#include "fonts/removal.h"
#include "install/media.h"
#include "platform/reg_key.h"
#include "platform/win32.h"
#include "setup/message_box.h"
#include "setup/messages.h"

#define QUESTION_FLAGS (MB_YESNO | MB_ICONQUESTION | MB_TOPMOST)
#define NOTICE_FLAGS (MB_OK | MB_TOPMOST)

/* On Windows NT, changing the system font list needs full access to its
 * key. The 95/98 family has no such rights: nothing is opened there. */
static int MayChangeFontList(void)
{
    if (!IsNtPlatform())
        return 1;
    RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, NT_FONTS_KEY_PATH, NULL);
    if (!key)
        return 0;
    CloseRegKey(key);
    return 1;
}

int SetupSequence(void)
{
    if (!MayChangeFontList()) {
        ShowMessageBox(NeedAdminMessage, MB_OK | MB_ICONERROR);
        return EXIT_STOPPED;
    }

    if (IsFontSetInstalled(&LegacyFontSetA) == 1) {
        if (ShowMessageBox(RemoveLegacyQuestion, QUESTION_FLAGS) != IDYES) {
            ShowMessageBox(LegacyKeptNotice, NOTICE_FLAGS);
            return EXIT_STOPPED;
        }
        /* The first set's marker is what makes a run look at both sets,
         * so it is the very last value removed: the companion set goes
         * first, and the marker stays while any of that set is left. */
        RemoveFontSet(&LegacyFontSetB, 1);
        RemoveFontSet(&LegacyFontSetA, !IsFontSetInstalled(&LegacyFontSetB));
    }

    if (IsFontSetInstalled(&NewFontSet)) {
        /* An earlier installation is replaced without asking. */
        RemoveFontSet(&NewFontSet, 1);
        FindDistributionFolder();
    } else if (ShowMessageBox(InstallQuestion, QUESTION_FLAGS) == IDYES) {
        FindDistributionFolder();
    }

    ShowMessageBox(FinishedNotice, NOTICE_FLAGS);
    return EXIT_FINISHED;
}
