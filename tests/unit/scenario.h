/*
 * The scenario files of tests/scenarios/ (their README gives the format),
 * read into plain records for the host runner.
 */
#ifndef TESTS_UNIT_SCENARIO_H
#define TESTS_UNIT_SCENARIO_H

#include <cstdint>
#include <string>
#include <vector>

struct ScenarioValue {
    std::string name; /* code page 932 bytes */
    uint32_t type;
    std::string data; /* exactly as stored */
};

struct ScenarioFile {
    char drive;       /* 0: the Fonts folder */
    std::string path; /* below the drive's root, or the name in the Fonts folder */
    bool font;        /* else the plain text fixture */
    std::string tag;
    bool readOnly;    /* as laid out, or as expected at the end */
    bool later; /* appears when a box is answered "insert" */
};

struct ScenarioBox {
    std::string name;   /* NeedAdminMessage, ... */
    std::string answer; /* yes, no, ok, cancel, insert, fail */
};

/* One start of setup.exe: the boxes it shows and how it ends. */
struct SetupRun {
    std::vector<ScenarioBox> boxes;
    int exitCode = -1;
    int broadcasts = -1; /* -1: not checked */
    int cutAfter = 0;    /* ended right after this broadcast; 0: runs to its end */
    std::vector<std::string> releases; /* held files let go before the start */
};

struct Scenario {
    std::string name;
    std::vector<std::string> families = {"nt"};
    bool hostOnly = false;
    bool rightsRefused = false;
    std::vector<ScenarioValue> values;
    std::vector<ScenarioFile> files;
    std::vector<std::pair<char, std::string>> directories;
    std::vector<char> drives;      /* drives that exist, media included */
    std::vector<char> cdromDrives; /* CD-ROM drives: their files are read-only */
    std::vector<char> emptyDrives; /* CD-ROM drives without a disc */
    bool hungWindow = false;
    std::vector<std::string> heldFiles; /* names in the Fonts folder */
    std::vector<SetupRun> runs = std::vector<SetupRun>(1);
    std::vector<ScenarioValue> expectedValues;
    std::vector<ScenarioFile> expectedFiles; /* in the Fonts folder */
};

/* Reads one scenario; on a malformed line returns false with the reason. */
bool ParseScenario(const std::string &name, const std::string &text,
                   Scenario *scenario, std::string *error);

/* Whether every name and value the scenario writes or expects is ASCII:
 * only those read the same on a Windows whose code page is not 932. */
bool AsciiNames(const Scenario &scenario);

/* The stem a fixture font of that file name is made from: up to the last
 * dot, unless there is none. */
std::string FixtureStem(const std::string &fileName);

#endif
