#include "setup/message_box.h"

#include "setup/messages.h"

#define JAPANESE_CODE_PAGE 932

/* In UTF-16 units, the terminating zero included. The longest text, 580
 * bytes of Shift-JIS, takes fewer units than it has bytes. */
#define WIDE_TEXT_SIZE 1024
#define WIDE_CAPTION_SIZE 64

/*
 * MessageBoxA reads its texts in the system's ANSI code page. Where that is
 * not Shift-JIS (an English or German Windows), the texts are converted
 * from code page 932 and shown with MessageBoxW, so they read as Japanese
 * wherever a Japanese font exists. Where the system has no table for code
 * page 932, the bytes go to MessageBoxA as they are.
 */
int ShowMessageBox(const char *text, UINT flags)
{
    if (GetACP() != JAPANESE_CODE_PAGE) {
        WCHAR wideText[WIDE_TEXT_SIZE];
        WCHAR wideCaption[WIDE_CAPTION_SIZE];
        if (MultiByteToWideChar(JAPANESE_CODE_PAGE, 0, text, -1, wideText,
                                WIDE_TEXT_SIZE) > 0 &&
            MultiByteToWideChar(JAPANESE_CODE_PAGE, 0, SetupTitle, -1,
                                wideCaption, WIDE_CAPTION_SIZE) > 0)
            return MessageBoxW(NULL, wideText, wideCaption, flags);
    }
    return MessageBoxA(NULL, text, SetupTitle, flags);
}
