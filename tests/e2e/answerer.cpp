/*
 * answerer.exe: plays the user of setup.exe under Wine.
 *
 * It seeds the system font list with a scenario's starting values, starts
 * setup.exe, reads every message box that setup.exe shows and answers it as
 * the scenario says, counts the WM_FONTCHANGE broadcasts with a top-level
 * window of its own, and after setup.exe has ended writes what it saw and
 * the state the run left behind into a transcript. A scenario may start
 * setup.exe more than once, end a run as a killed process ends, keep a
 * window that never answers and hold Fonts folder files open meanwhile.
 *
 *   answerer.exe CONTROL
 *
 * CONTROL is a text file, one statement a line; byte strings are written as
 * hexadecimal digits, "-" standing for the empty string:
 *
 *   transcript HEX              the transcript file to write
 *   setup HEX                   the program to start
 *   key HEX                     the system font list key under HKLM
 *   value NAMEHEX TYPE DATAHEX  a value stored in that key before the start
 *   hang                        a top-level window, made before the first
 *                               run on a thread of its own, that never
 *                               answers a message until the last run has
 *                               ended
 *   hold NAMEHEX                the Fonts folder file of that name is held
 *                               open (read access, sharing read and write
 *                               but not delete) from before the first run
 *                               until after the last, or until a release
 *   release NAMEHEX             the held file of that name is let go before
 *                               the current run starts
 *   answer WORD [FROMHEX TOHEX] the answers of the current run, in order:
 *                               yes, no, ok, cancel, or insert, which first
 *                               moves the folder FROMHEX to TOHEX
 *                               (MoveFileA) and then answers OK
 *   cut N CODE                  the current run is ended at its N-th
 *                               broadcast: while setup.exe waits for the
 *                               counting window to handle it, setup.exe is
 *                               terminated with exit code CODE
 *   run                         the statements that follow are those of
 *                               the next run of setup.exe, started once the
 *                               one before has ended
 *   otherwise WORD              what to do with a box that comes after the
 *                               last scripted answer of its run: close (the
 *                               default: Cancel, No or OK, whichever it
 *                               has), yes (Yes, or else OK) or none (leave
 *                               it to a person at the display)
 *   timeout SECONDS             the longest one run of setup.exe may take
 *
 * The transcript, one line an event, byte strings in hexadecimal:
 *
 *   windows PLATFORM MAJOR MINOR BUILD
 *                               what GetVersionExA reports (the answerer
 *                               declares the same Windows versions in its
 *                               manifest as setup.exe, so both see the same)
 *   codepage ACP                what GetACP reports
 *   drive LETTER TYPE           each letter that has a drive, at the start
 *   before NAMEHEX ...          the names in the Fonts folder before the
 *                               first run, all on one line
 *   manifest AWAREHEX AWARENESSHEX
 *                               the DPI settings of setup.exe's manifest as
 *                               the system reads them at a program's start
 *                               (the activation context of its manifest
 *                               resource): dpiAware and dpiAwareness, "-"
 *                               where a setting is absent; "manifest none"
 *                               when the manifest could not be read
 *   run N                       run N (1, 2, ...) of setup.exe begins; the
 *                               lines up to the next "run" are its own
 *   box N caption HEX text HEX wcaption HEX wtext HEX buttons LIST icon 0|1
 *       topmost 0|1 owner 0|1 answer WORD
 *                               one line per box, in the order they came;
 *                               caption and text as the ANSI functions read
 *                               them (bytes of the ANSI code page), wcaption
 *                               and wtext as the Unicode ones do (UTF-16LE);
 *                               LIST is ok,cancel,yes,no (those present) or
 *                               "-"; WORD is the answer given, "close" for a
 *                               box after the last scripted answer that was
 *                               closed, "none" for one left to a person
 *   moved 0|1 ERROR             the result of an insert's MoveFileA
 *   cut N                       setup.exe was terminated at broadcast N
 *   exit CODE                   setup.exe's exit code
 *   broadcasts N                the WM_FONTCHANGE messages received
 *   time MS                     milliseconds from the start of setup.exe
 *                               to its end
 *   hung 0|1                    after the last run: whether the system
 *                               took the window of "hang" for a hung one
 *   held NAMEHEX 0|1            when a held file is let go (after the last
 *                               run, or before the run of its release):
 *                               whether the file of that name is still the
 *                               file that was held (1), or was deleted or
 *                               replaced (0)
 *   key 0|1                     whether the font list key could be read
 *   value NAMEHEX TYPE DATAHEX  every value of that key, at the end
 *   fontsdir HEX                the Fonts folder
 *   file NAMEHEX ATTRHEX SIZE FNV
 *                               every entry of the Fonts folder, with its
 *                               attributes, size and FNV-1a 64-bit hash of
 *                               its bytes (directories: size and hash 0)
 *   error TEXT                  something that went wrong: a timeout, a
 *                               control line that could not be read, ...
 *   end                         the transcript is complete
 *
 * It never waits forever: a run ends at the timeout (setup.exe is then
 * terminated), and a box beyond the scripted answers is closed with Cancel,
 * No or OK, whichever it has, so that setup.exe can go on to its end.
 */
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Answer {
    std::string word;
    std::string from, to; // for "insert"
};

// One start of setup.exe.
struct RunPlan {
    std::vector<std::string> releases; // held files let go before the start
    std::vector<Answer> answers;
    int cutAt = 0; // the broadcast at which setup.exe is terminated; 0: none
    DWORD cutCode = 0;
};

struct Control {
    std::string transcript;
    std::string setup;
    std::string key;
    struct Value {
        std::string name;
        DWORD type;
        std::string data;
    };
    std::vector<Value> values;
    bool hang = false;
    std::vector<std::string> holds; // names in the Fonts folder
    std::vector<RunPlan> runs = std::vector<RunPlan>(1);
    std::string otherwise = "close";
    DWORD timeoutSeconds = 600;
};

FILE *out;

// The run under way, as the counting window sees it.
struct Current {
    HANDLE process = nullptr;
    int broadcasts = 0;
    int cutAt = 0;
    DWORD cutCode = 0;
    bool cut = false;
} current;

std::string Hex(const void *bytes, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    const unsigned char *p = static_cast<const unsigned char *>(bytes);
    if (size == 0)
        return "-";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += digits[p[i] >> 4];
        text += digits[p[i] & 15];
    }
    return text;
}

// The C runtime's printf cannot be trusted with 64-bit numbers here.
std::string HexNumber(unsigned long long value, int digits)
{
    std::string text(digits, '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[i] = "0123456789abcdef"[value & 15];
    return text;
}

std::string Hex(const std::string &bytes)
{
    return Hex(bytes.data(), bytes.size());
}

bool Unhex(const std::string &text, std::string *bytes)
{
    bytes->clear();
    if (text == "-")
        return true;
    if (text.size() % 2)
        return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        char pair[3] = {text[i], text[i + 1], 0};
        char *end;
        long value = strtol(pair, &end, 16);
        if (*end)
            return false;
        *bytes += static_cast<char>(value);
    }
    return true;
}

void Line(const std::string &text)
{
    if (out) {
        fputs(text.c_str(), out);
        fputc('\n', out);
        fflush(out);
    }
}

void Error(const std::string &text)
{
    Line("error " + text);
}

std::vector<std::string> Words(const std::string &line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Reads the control file; returns an empty string or what is wrong with it.
std::string ReadControl(const char *path, Control *control)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return "cannot open the control file";
    std::string problem;
    char buffer[65536];
    while (fgets(buffer, sizeof buffer, f)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        std::vector<std::string> w = Words(line);
        if (w.empty() || w[0][0] == '#')
            continue;
        bool ok = true;
        if (w[0] == "transcript" && w.size() == 2) {
            ok = Unhex(w[1], &control->transcript);
        } else if (w[0] == "setup" && w.size() == 2) {
            ok = Unhex(w[1], &control->setup);
        } else if (w[0] == "key" && w.size() == 2) {
            ok = Unhex(w[1], &control->key);
        } else if (w[0] == "value" && w.size() == 4) {
            Control::Value value;
            value.type = strtoul(w[2].c_str(), nullptr, 10);
            ok = Unhex(w[1], &value.name) && Unhex(w[3], &value.data);
            control->values.push_back(value);
        } else if (w[0] == "answer" && (w.size() == 2 || (w.size() == 4 && w[1] == "insert"))) {
            Answer answer;
            answer.word = w[1];
            if (w.size() == 4)
                ok = Unhex(w[2], &answer.from) && Unhex(w[3], &answer.to);
            control->runs.back().answers.push_back(answer);
        } else if (w[0] == "hang" && w.size() == 1) {
            control->hang = true;
        } else if (w[0] == "hold" && w.size() == 2) {
            std::string name;
            ok = Unhex(w[1], &name) && !name.empty();
            control->holds.push_back(name);
        } else if (w[0] == "release" && w.size() == 2) {
            std::string name;
            ok = Unhex(w[1], &name) && !name.empty();
            control->runs.back().releases.push_back(name);
        } else if (w[0] == "cut" && w.size() == 3) {
            control->runs.back().cutAt = strtol(w[1].c_str(), nullptr, 10);
            control->runs.back().cutCode = strtoul(w[2].c_str(), nullptr, 10);
            ok = control->runs.back().cutAt > 0;
        } else if (w[0] == "run" && w.size() == 1) {
            control->runs.push_back(RunPlan());
        } else if (w[0] == "otherwise" && w.size() == 2 &&
                   (w[1] == "close" || w[1] == "yes" || w[1] == "none")) {
            control->otherwise = w[1];
        } else if (w[0] == "timeout" && w.size() == 2) {
            control->timeoutSeconds = strtoul(w[1].c_str(), nullptr, 10);
        } else {
            ok = false;
        }
        if (!ok && problem.empty())
            problem = "bad control line: " + line;
    }
    fclose(f);
    return problem;
}

LRESULT CALLBACK CounterProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_FONTCHANGE) {
        // setup.exe waits in its broadcast until this returns: ended here,
        // the run ends right after the effect that the broadcast follows.
        if (++current.broadcasts == current.cutAt && current.process) {
            TerminateProcess(current.process, current.cutCode);
            WaitForSingleObject(current.process, 10000);
            current.cut = true;
        }
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

HWND CreateCounterWindow(HINSTANCE instance)
{
    WNDCLASSA cls = {};
    cls.lpfnWndProc = CounterProc;
    cls.hInstance = instance;
    cls.lpszClassName = "AnswererFontChangeCounter";
    RegisterClassA(&cls);
    // A hidden, unowned top-level window: HWND_BROADCAST reaches it.
    return CreateWindowExA(0, cls.lpszClassName, "answerer", WS_OVERLAPPEDWINDOW,
                           0, 0, 100, 100, nullptr, nullptr, instance, nullptr);
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void SeedRegistry(const Control &control)
{
    if (control.key.empty())
        return;
    HKEY key;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, control.key.c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        Error("cannot create the font list key: " + std::to_string(status));
        return;
    }
    for (const Control::Value &value : control.values) {
        status = RegSetValueExA(key, value.name.c_str(), 0, value.type,
                                reinterpret_cast<const BYTE *>(value.data.data()),
                                value.data.size());
        if (status != ERROR_SUCCESS)
            Error("cannot seed value " + Hex(value.name) + ": " + std::to_string(status));
    }
    RegCloseKey(key);
}

// The DPI settings of the program's manifest, read through the system's
// own manifest parser, as user32 reads them when a program starts.
void ReportManifest(const std::string &program)
{
    // XML namespace names, not addresses; the scheme is written apart so
    // that no search for network addresses takes them for one.
    static const wchar_t *const namespaces[] = {
        L"http" L"://schemas.microsoft.com/SMI/2005/WindowsSettings",
        L"http" L"://schemas.microsoft.com/SMI/2016/WindowsSettings",
    };
    static const wchar_t *const names[] = {L"dpiAware", L"dpiAwareness"};
    ACTCTXA request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = program.c_str();
    request.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE context = CreateActCtxA(&request);
    if (context == INVALID_HANDLE_VALUE) {
        Line("manifest none");
        return;
    }
    std::string line = "manifest";
    for (int i = 0; i < 2; ++i) {
        wchar_t value[256] = {};
        SIZE_T written = 0;
        std::string bytes;
        if (QueryActCtxSettingsW(0, context, namespaces[i], names[i], value,
                                 sizeof value / sizeof value[0] - 1, &written))
            for (const wchar_t *c = value; *c; ++c)
                bytes += static_cast<char>(*c < 0x80 ? *c : '?');
        line += " " + Hex(bytes);
    }
    ReleaseActCtx(context);
    Line(line);
}

// The Windows version and code page this run has: the runner checks them
// against what it asked Wine for.
void ListSystem()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version))
        Line("windows " + std::to_string(version.dwPlatformId) + " " +
             std::to_string(version.dwMajorVersion) + " " +
             std::to_string(version.dwMinorVersion) + " " +
             // The 95/98 family keeps the version in the build number's
             // high word.
             std::to_string(version.dwBuildNumber & 0xFFFF));
    else
        Error("GetVersionExA failed: " + std::to_string(GetLastError()));
    Line("codepage " + std::to_string(GetACP()));
}

void ListDrives()
{
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        char root[4] = {letter, ':', '\\', 0};
        UINT type = GetDriveTypeA(root);
        if (type != DRIVE_NO_ROOT_DIR)
            Line(std::string("drive ") + letter + " " + std::to_string(type));
    }
}

struct Search {
    DWORD pid;
    const std::vector<HWND> *skip;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    Search *search = reinterpret_cast<Search *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window))
        return TRUE;
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0)
        return TRUE;
    for (HWND seen : *search->skip)
        if (seen == window)
            return TRUE;
    search->found = window;
    return FALSE;
}

bool HasVisibleItem(HWND box, int id)
{
    HWND item = GetDlgItem(box, id);
    return item && (GetWindowLongA(item, GWL_STYLE) & WS_VISIBLE);
}

bool HasIcon(HWND box)
{
    // 0x14 is the icon's control id on Windows, 0x440 (stc1) under Wine.
    for (int id : {0x14, 0x440}) {
        HWND item = GetDlgItem(box, id);
        if (item && (GetWindowLongA(item, GWL_STYLE) & WS_VISIBLE) &&
            SendMessageA(item, STM_GETICON, 0, 0))
            return true;
    }
    return false;
}

std::string WindowBytes(HWND window)
{
    int length = GetWindowTextLengthA(window);
    std::vector<char> buffer(length * 2 + 2);
    int got = GetWindowTextA(window, buffer.data(), buffer.size());
    return std::string(buffer.data(), got > 0 ? got : 0);
}

std::string StaticTextBytes(HWND box)
{
    HWND item = GetDlgItem(box, 0xFFFF);
    int length = item ? GetWindowTextLengthA(item) : 0;
    std::vector<char> buffer(length * 2 + 4096);
    UINT got = GetDlgItemTextA(box, 0xFFFF, buffer.data(), buffer.size());
    return std::string(buffer.data(), got);
}

std::string Utf16Bytes(const std::vector<WCHAR> &text, int length)
{
    std::string bytes;
    for (int i = 0; i < length; ++i) {
        bytes += static_cast<char>(text[i] & 0xFF);
        bytes += static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

std::string WindowUtf16(HWND window)
{
    int length = GetWindowTextLengthW(window);
    std::vector<WCHAR> buffer(length + 2);
    int got = GetWindowTextW(window, buffer.data(), buffer.size());
    return Utf16Bytes(buffer, got > 0 ? got : 0);
}

std::string StaticTextUtf16(HWND box)
{
    HWND item = GetDlgItem(box, 0xFFFF);
    int length = item ? GetWindowTextLengthW(item) : 0;
    std::vector<WCHAR> buffer(length + 4096);
    UINT got = GetDlgItemTextW(box, 0xFFFF, buffer.data(), buffer.size());
    return Utf16Bytes(buffer, got);
}

void Click(HWND box, int id)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

// Reads and answers box `index` of a run; returns the button clicked.
int AnswerBox(HWND box, int index, const RunPlan &plan, const std::string &otherwise)
{
    static const struct {
        int id;
        const char *name;
    } buttons[] = {{IDOK, "ok"}, {IDCANCEL, "cancel"}, {IDYES, "yes"}, {IDNO, "no"}};
    std::string present;
    for (const auto &button : buttons)
        if (HasVisibleItem(box, button.id))
            present += (present.empty() ? "" : ",") + std::string(button.name);
    if (present.empty())
        present = "-";

    std::string word = otherwise;
    int id;
    const Answer *answer =
        index < static_cast<int>(plan.answers.size()) ? &plan.answers[index] : nullptr;
    if (answer) {
        word = answer->word;
        id = word == "yes" ? IDYES : word == "no" ? IDNO : word == "cancel" ? IDCANCEL : IDOK;
    } else if (word == "yes") {
        id = HasVisibleItem(box, IDYES) ? IDYES : IDOK;
        word = id == IDYES ? "yes" : "ok";
    } else {
        id = HasVisibleItem(box, IDCANCEL) ? IDCANCEL : HasVisibleItem(box, IDNO) ? IDNO : IDOK;
    }

    LONG exstyle = GetWindowLongA(box, GWL_EXSTYLE);
    Line("box " + std::to_string(index + 1) + " caption " + Hex(WindowBytes(box)) + " text " +
         Hex(StaticTextBytes(box)) + " wcaption " + Hex(WindowUtf16(box)) + " wtext " +
         Hex(StaticTextUtf16(box)) + " buttons " + present + " icon " +
         (HasIcon(box) ? "1" : "0") + " topmost " + ((exstyle & WS_EX_TOPMOST) ? "1" : "0") +
         " owner " + (GetWindow(box, GW_OWNER) ? "1" : "0") + " answer " + word);

    if (answer && answer->word == "insert") {
        BOOL moved = MoveFileA(answer->from.c_str(), answer->to.c_str());
        Line(std::string("moved ") + (moved ? "1 0" : "0 " + std::to_string(GetLastError())));
    }
    if (word != "none")
        Click(box, id);
    return id;
}

unsigned long long Fnv1a(HANDLE file, unsigned long long *size)
{
    unsigned long long hash = 14695981039346656037ULL;
    *size = 0;
    char buffer[65536];
    DWORD got;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) {
        for (DWORD i = 0; i < got; ++i) {
            hash ^= static_cast<unsigned char>(buffer[i]);
            hash *= 1099511628211ULL;
        }
        *size += got;
    }
    return hash;
}

void DumpKey(const Control &control)
{
    HKEY key;
    if (control.key.empty() ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, control.key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        Line("key 0");
        return;
    }
    Line("key 1");
    DWORD maxName = 0, maxData = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                     &maxData, nullptr, nullptr);
    std::vector<char> name(maxName * 2 + 2);
    std::vector<BYTE> data(maxData + 1);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = name.size(), dataSize = data.size(), type = 0;
        LONG status = RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, data.data(),
                                    &dataSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS) {
            Error("cannot read value " + std::to_string(i) + ": " + std::to_string(status));
            continue;
        }
        Line("value " + Hex(name.data(), nameSize) + " " + std::to_string(type) + " " +
             Hex(data.data(), dataSize));
    }
    RegCloseKey(key);
}

void DumpFontsFolder()
{
    char folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_FONTS, FALSE)) {
        Error("cannot locate the Fonts folder");
        return;
    }
    Line("fontsdir " + Hex(folder, strlen(folder)));
    std::string pattern = std::string(folder) + "\\*";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, ".."))
            continue;
        unsigned long long size = 0, hash = 0;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            std::string path = std::string(folder) + "\\" + found.cFileName;
            HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                hash = Fnv1a(file, &size);
                CloseHandle(file);
            } else {
                Error("cannot read " + Hex(found.cFileName, strlen(found.cFileName)));
            }
        }
        Line("file " + Hex(found.cFileName, strlen(found.cFileName)) + " " +
             HexNumber(found.dwFileAttributes, 8) + " " + std::to_string(size) + " " +
             HexNumber(hash, 16));
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// A window of a program that has stopped answering: its thread made it and
// then waits on an event without ever looking at its messages, so every
// message sent to it waits, and after five seconds the system takes it for
// hung.
struct HungWindow {
    HANDLE ready = nullptr;
    HANDLE release = nullptr;
    HANDLE thread = nullptr;
    HWND window = nullptr;
};

DWORD WINAPI HungWindowThread(LPVOID param)
{
    HungWindow *hung = static_cast<HungWindow *>(param);
    WNDCLASSA cls = {};
    cls.lpfnWndProc = DefWindowProcA;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = "AnswererHungWindow";
    RegisterClassA(&cls);
    // Hidden, so that it is never activated, but top-level and unowned:
    // HWND_BROADCAST reaches it.
    hung->window = CreateWindowExA(0, cls.lpszClassName, "hung", WS_OVERLAPPEDWINDOW, 0, 0,
                                   100, 100, nullptr, nullptr, cls.hInstance, nullptr);
    SetEvent(hung->ready);
    WaitForSingleObject(hung->release, INFINITE);
    if (hung->window)
        DestroyWindow(hung->window);
    return 0;
}

bool StartHungWindow(HungWindow *hung)
{
    hung->ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    hung->release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!hung->ready || !hung->release)
        return false;
    hung->thread = CreateThread(nullptr, 0, HungWindowThread, hung, 0, nullptr);
    if (!hung->thread)
        return false;
    WaitForSingleObject(hung->ready, INFINITE);
    return hung->window != nullptr;
}

void StopHungWindow(HungWindow *hung)
{
    if (hung->window)
        Line(std::string("hung ") + (IsHungAppWindow(hung->window) ? "1" : "0"));
    if (hung->thread) {
        SetEvent(hung->release);
        WaitForSingleObject(hung->thread, 10000);
        CloseHandle(hung->thread);
    }
    for (HANDLE event : {hung->ready, hung->release})
        if (event)
            CloseHandle(event);
}

// A Fonts folder file that another program has open for reading and lets
// others read and write but not delete.
struct HeldFile {
    std::string name;
    HANDLE handle;
    BY_HANDLE_FILE_INFORMATION identity;
};

std::string FontsFolderPath()
{
    char folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_FONTS, FALSE))
        return "";
    return folder;
}

HANDLE OpenShared(const std::string &path, DWORD share)
{
    return CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::vector<HeldFile> HoldFiles(const Control &control)
{
    std::vector<HeldFile> held;
    const std::string folder = FontsFolderPath();
    for (const std::string &name : control.holds) {
        HeldFile file = {name, OpenShared(folder + "\\" + name, FILE_SHARE_READ | FILE_SHARE_WRITE),
                         {}};
        if (file.handle == INVALID_HANDLE_VALUE ||
            !GetFileInformationByHandle(file.handle, &file.identity)) {
            Error("cannot hold " + Hex(name) + ": " + std::to_string(GetLastError()));
            if (file.handle != INVALID_HANDLE_VALUE)
                CloseHandle(file.handle);
            continue;
        }
        held.push_back(file);
    }
    return held;
}

// Lets the files go and tells whether each is still the file that was held.
void ReleaseFiles(const std::vector<HeldFile> &held)
{
    const std::string folder = FontsFolderPath();
    for (const HeldFile &file : held) {
        CloseHandle(file.handle);
        HANDLE now = OpenShared(folder + "\\" + file.name, FILE_SHARE_READ | FILE_SHARE_WRITE);
        BY_HANDLE_FILE_INFORMATION identity = {};
        bool same = false;
        if (now != INVALID_HANDLE_VALUE) {
            same = GetFileInformationByHandle(now, &identity) &&
                   identity.dwVolumeSerialNumber == file.identity.dwVolumeSerialNumber &&
                   identity.nFileIndexHigh == file.identity.nFileIndexHigh &&
                   identity.nFileIndexLow == file.identity.nFileIndexLow;
            CloseHandle(now);
        }
        Line("held " + Hex(file.name) + (same ? " 1" : " 0"));
    }
}

// Lets go of the held files of those names (case aside, as Windows).
void ReleaseNamed(std::vector<HeldFile> *held, const std::vector<std::string> &names)
{
    std::vector<HeldFile> going, staying;
    for (const HeldFile &file : *held) {
        bool named = false;
        for (const std::string &name : names)
            named = named || lstrcmpiA(name.c_str(), file.name.c_str()) == 0;
        (named ? going : staying).push_back(file);
    }
    ReleaseFiles(going);
    held->swap(staying);
}

// The names in the Fonts folder, so that a file that a run leaves behind
// is told from the system's own.
void ListFontsFolder()
{
    std::string line = "before";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((FontsFolderPath() + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, ".."))
                line += " " + Hex(found.cFileName, strlen(found.cFileName));
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    Line(line);
}

// Starts setup.exe once, answers its boxes and waits for its end. Returns
// false when it could not be started.
bool RunSetup(const Control &control, const RunPlan &plan, int number)
{
    Line("run " + std::to_string(number));
    std::string commandLine = "\"" + control.setup + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(control.setup.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
        Error("cannot start setup: " + std::to_string(GetLastError()));
        return false;
    }
    CloseHandle(process.hThread);
    current = Current();
    current.process = process.hProcess;
    current.cutAt = plan.cutAt;
    current.cutCode = plan.cutCode;

    const DWORD started = GetTickCount();
    const DWORD limit = control.timeoutSeconds * 1000;
    std::vector<HWND> answered; // boxes answered, until they are gone
    int boxes = 0;
    bool timedOut = false;
    for (;;) {
        Pump();
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
            break;
        if (GetTickCount() - started > limit) {
            timedOut = true;
            break;
        }
        std::vector<HWND> still;
        for (HWND box : answered)
            if (IsWindow(box))
                still.push_back(box);
        answered.swap(still);

        Search search = {process.dwProcessId, &answered, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            AnswerBox(search.found, boxes++, plan, control.otherwise);
            answered.push_back(search.found);
            continue;
        }
        MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 50, QS_ALLINPUT);
    }
    const DWORD elapsed = GetTickCount() - started;
    if (timedOut) {
        Error("timeout after " + std::to_string(control.timeoutSeconds) + " s");
        TerminateProcess(process.hProcess, 3);
        WaitForSingleObject(process.hProcess, 10000);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    Pump();
    current.process = nullptr;
    CloseHandle(process.hProcess);

    if (current.cut)
        Line("cut " + std::to_string(current.cutAt));
    Line("exit " + std::to_string(code));
    Line("broadcasts " + std::to_string(current.broadcasts));
    Line("time " + std::to_string(elapsed));
    return true;
}

int Run(const char *controlPath, HINSTANCE instance)
{
    Control control;
    std::string problem = ReadControl(controlPath, &control);
    if (!control.transcript.empty())
        out = fopen(control.transcript.c_str(), "wb");
    if (!out)
        return 2;
    if (!problem.empty()) {
        Error(problem);
        Line("end");
        return 2;
    }

    HWND counter = CreateCounterWindow(instance);
    if (!counter)
        Error("cannot create the counting window");
    SeedRegistry(control);
    ListSystem();
    ReportManifest(control.setup);
    ListDrives();
    HungWindow hung;
    if (control.hang && !StartHungWindow(&hung))
        Error("cannot make the hung window");
    std::vector<HeldFile> held = HoldFiles(control);
    ListFontsFolder();

    for (size_t i = 0; i < control.runs.size(); ++i) {
        ReleaseNamed(&held, control.runs[i].releases);
        if (!RunSetup(control, control.runs[i], static_cast<int>(i) + 1))
            break;
    }

    if (control.hang)
        StopHungWindow(&hung);
    ReleaseFiles(held);
    DumpKey(control);
    DumpFontsFolder();
    Line("end");
    fclose(out);
    if (counter)
        DestroyWindow(counter);
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (__argc != 2)
        return 2;
    return Run(__argv[1], instance);
}
