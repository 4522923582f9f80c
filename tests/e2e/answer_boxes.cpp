/*
 * The user, under Wine: seeds the system font list, starts setup.exe,
 * reads and answers each of its message boxes as the scenario says, counts
 * the WM_FONTCHANGE broadcasts with a top-level window of its own, and
 * writes what it saw and what the run left as a transcript.
 *
 *   answer_boxes.exe INPUT TRANSCRIPT
 *
 * INPUT, one statement a line (bytes as lower-case hex):
 *   setup PATH                      the program to start
 *   key PATH                        the system font list key under HKLM
 *   value NAMEHEX TYPE DATAHEX      a value to store before the start
 *   answer yes|no|ok|cancel         the answers, in order
 *   answer insert FROMHEX TOHEX     move a folder into place, then OK
 *   timeout SECONDS
 *
 * TRANSCRIPT, and standard output, one line an event:
 *   box caption=HEX text=HEX buttons=ok,cancel icon=0|1 topmost=0|1 owner=0|1 answer=WORD
 *   exit CODE
 *   fontchange COUNT
 *   value NAMEHEX TYPE DATAHEX      every value of the key at the end
 *   file NAMEHEX ATTRIBUTESHEX      every entry of the Fonts folder at the end
 *   error TEXT                      a timeout, or a box nobody expected
 */
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Answer {
    std::string word;
    std::string from, to; /* for "insert" */
};

struct Input {
    std::string setup;
    std::string key;
    std::vector<std::string> values; /* "NAMEHEX TYPE DATAHEX" */
    std::vector<Answer> answers;
    DWORD timeoutSeconds = 600;
};

FILE *transcript;
int fontChanges;

std::string Hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Unhex(const std::string &hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += (char)std::stoi(hex.substr(i, 2), nullptr, 16);
    return out;
}

void Say(const std::string &line)
{
    std::fprintf(transcript, "%s\n", line.c_str());
    std::fflush(transcript);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

bool ReadInput(const char *path, Input *input)
{
    FILE *in = std::fopen(path, "rb");
    if (!in)
        return false;
    char line[8192];
    while (std::fgets(line, sizeof line, in)) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        const size_t space = text.find(' ');
        const std::string word = text.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : text.substr(space + 1);
        if (word == "setup") {
            input->setup = rest;
        } else if (word == "key") {
            input->key = rest;
        } else if (word == "value") {
            input->values.push_back(rest);
        } else if (word == "timeout") {
            input->timeoutSeconds = (DWORD)std::stoul(rest);
        } else if (word == "answer") {
            Answer answer;
            char what[32] = "", from[1024] = "", to[1024] = "";
            std::sscanf(rest.c_str(), "%31s %1023s %1023s", what, from, to);
            answer.word = what;
            answer.from = Unhex(from);
            answer.to = Unhex(to);
            input->answers.push_back(answer);
        }
    }
    std::fclose(in);
    return !input->setup.empty() && !input->key.empty();
}

bool SeedValues(const Input &input)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, input.key.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = true;
    for (const std::string &value : input.values) {
        char name[1024] = "", data[8192] = "";
        unsigned type = 0;
        std::sscanf(value.c_str(), "%1023s %u %8191s", name, &type, data);
        const std::string bytes = Unhex(data);
        ok = ok && RegSetValueExA(key, Unhex(name).c_str(), 0, type,
                                  (const BYTE *)bytes.data(), (DWORD)bytes.size()) ==
                       ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return ok;
}

LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_FONTCHANGE)
        fontChanges++;
    return DefWindowProcA(window, message, wParam, lParam);
}

/* A top-level window, so that broadcasts reach this process. */
HWND CreateListener()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ListenerProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "QuillsetFontChangeListener";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, windowClass.lpszClassName, "listener", WS_OVERLAPPED, 0, 0,
                           10, 10, nullptr, nullptr, windowClass.hInstance, nullptr);
}

void Pump()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

struct BoxSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM lParam)
{
    BoxSearch *search = (BoxSearch *)lParam;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (processId == search->processId && IsWindowVisible(window) &&
        std::strcmp(className, "#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindIcon(HWND child, LPARAM lParam)
{
    char className[64] = "";
    GetClassNameA(child, className, sizeof className);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if (_stricmp(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
        IsWindowVisible(child) && SendMessageA(child, STM_GETICON, 0, 0) != 0) {
        *(bool *)lParam = true;
        return FALSE;
    }
    return TRUE;
}

bool HasButton(HWND box, int id)
{
    HWND button = GetDlgItem(box, id);
    return button && IsWindowVisible(button);
}

/* Reads the box, answers it, and waits until it is gone. */
void AnswerBox(HWND box, const Input &input, size_t *next, HANDLE process)
{
    char caption[1024] = "";
    GetWindowTextA(box, caption, sizeof caption);
    static char text[16384];
    text[0] = 0;
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);

    static const struct {
        int id;
        const char *word;
    } buttons[] = {{IDOK, "ok"}, {IDCANCEL, "cancel"}, {IDYES, "yes"}, {IDNO, "no"}};
    std::string present;
    for (const auto &b : buttons) {
        if (HasButton(box, b.id))
            present += (present.empty() ? "" : ",") + std::string(b.word);
    }
    bool icon = false;
    EnumChildWindows(box, FindIcon, (LPARAM)&icon);
    const bool topmost = (GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    const bool owner = GetWindow(box, GW_OWNER) != nullptr;

    std::string word = "unexpected";
    int click = 0;
    if (*next < input.answers.size()) {
        const Answer &answer = input.answers[(*next)++];
        word = answer.word;
        if (answer.word == "insert") {
            if (!MoveFileA(answer.from.c_str(), answer.to.c_str()))
                Say("error the disc could not be inserted: " + std::to_string(GetLastError()));
            click = IDOK;
        }
        for (const auto &b : buttons) {
            if (answer.word == b.word)
                click = b.id;
        }
        if (click && !HasButton(box, click)) {
            Say("error box has no button for " + answer.word);
            click = 0;
        }
    }
    /* A box nobody expected is closed, so that the run ends and fails. */
    for (int fallback : {IDCANCEL, IDNO, IDOK}) {
        if (!click && HasButton(box, fallback))
            click = fallback;
    }

    Say("box caption=" + Hex(caption) + " text=" + Hex(text) + " buttons=" + present +
        " icon=" + (icon ? "1" : "0") + " topmost=" + (topmost ? "1" : "0") +
        " owner=" + (owner ? "1" : "0") + " answer=" + word);

    PostMessageA(box, WM_COMMAND, MAKEWPARAM(click, BN_CLICKED),
                 (LPARAM)GetDlgItem(box, click));
    while (IsWindow(box) && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        MsgWaitForMultipleObjects(1, &process, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
}

void DumpValues(const std::string &keyPath)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; index++) {
        char name[16384];
        static BYTE data[65536];
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS)
            break;
        Say("value " + Hex(std::string(name, nameSize)) + " " + std::to_string(type) + " " +
            Hex(std::string((const char *)data, dataSize)));
    }
    RegCloseKey(key);
}

void DumpFontsFolder()
{
    char folder[MAX_PATH];
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_FONTS, FALSE))
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(folder) + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        char attributes[16];
        std::snprintf(attributes, sizeof attributes, "%lx", found.dwFileAttributes);
        Say("file " + Hex(name) + " " + attributes);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: answer_boxes INPUT TRANSCRIPT\n");
        return 2;
    }
    Input input;
    if (!ReadInput(argv[1], &input)) {
        std::fprintf(stderr, "answer_boxes: cannot read %s\n", argv[1]);
        return 2;
    }
    transcript = std::fopen(argv[2], "wb");
    if (!transcript)
        return 2;
    if (!SeedValues(input))
        Say("error the starting values could not be stored");

    HWND listener = CreateListener();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + input.setup + "\"";
    if (!CreateProcessA(input.setup.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
        Say("error setup could not be started: " + std::to_string(GetLastError()));
        return 1;
    }

    const DWORD deadline = GetTickCount() + input.timeoutSeconds * 1000;
    size_t next = 0;
    bool timedOut = false;
    while (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        if ((LONG)(GetTickCount() - deadline) > 0) {
            Say("error timeout: setup is still running");
            TerminateProcess(process.hProcess, 255);
            timedOut = true;
            break;
        }
        MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 100, QS_ALLINPUT);
        Pump();
        BoxSearch search = {process.dwProcessId, nullptr};
        EnumWindows(FindBox, (LPARAM)&search);
        if (search.found)
            AnswerBox(search.found, input, &next, process.hProcess);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    Pump();

    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    if (!timedOut)
        Say("exit " + std::to_string(code));
    Say("fontchange " + std::to_string(fontChanges));
    DumpValues(input.key);
    DumpFontsFolder();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    DestroyWindow(listener);
    std::fclose(transcript);
    return 0;
}
