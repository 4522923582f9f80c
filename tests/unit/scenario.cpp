#include "scenario.h"

#include <cctype>
#include <sstream>
#include <stdexcept>

#include "test_data.h"

namespace {

/* Splits a line into words; a quoted word becomes its code page 932 bytes,
 * marked by a leading '"' so that a string is never taken for a keyword. */
std::vector<std::string> Words(const std::string &line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            i++;
            continue;
        }
        if (line[i] != '"') {
            const size_t end = line.find_first_of(" \t", i);
            words.push_back(line.substr(i, end - i));
            i = end == std::string::npos ? line.size() : end;
            continue;
        }
        std::string bytes, text;
        for (i++;; i++) {
            if (i >= line.size())
                throw std::runtime_error("unterminated string");
            const char c = line[i];
            if (c == '"')
                break;
            if (c != '\\') {
                text += c;
                continue;
            }
            bytes += ToCodePage932(text);
            text.clear();
            const char next = i + 1 < line.size() ? line[i + 1] : 0;
            if (next == 'x' && i + 3 < line.size()) {
                bytes += (char)std::stoi(line.substr(i + 2, 2), nullptr, 16);
                i += 3;
            } else if (next == '\\' || next == '"') {
                bytes += next;
                i++;
            } else {
                throw std::runtime_error("unknown escape");
            }
        }
        i++;
        words.push_back("\"" + bytes + ToCodePage932(text));
    }
    return words;
}

std::string Str(const std::vector<std::string> &words, size_t index)
{
    if (index >= words.size() || words[index].empty() || words[index][0] != '"')
        throw std::runtime_error("string expected at word " + std::to_string(index + 1));
    return words[index].substr(1);
}

std::string Word(const std::vector<std::string> &words, size_t index)
{
    if (index >= words.size())
        throw std::runtime_error("missing word " + std::to_string(index + 1));
    return words[index];
}

char Letter(const std::vector<std::string> &words, size_t index)
{
    const std::string word = Word(words, index);
    if (word.size() != 1 || word[0] < 'a' || word[0] > 'z')
        throw std::runtime_error("drive letter expected: " + word);
    return word[0];
}

/* `sz STRING` or `raw TYPE STRING` from `index` on. */
ScenarioValue ValueFrom(const std::vector<std::string> &words, size_t index)
{
    ScenarioValue value;
    value.name = Str(words, index);
    const std::string kind = Word(words, index + 1);
    if (kind == "sz") {
        value.type = 1;
        value.data = Str(words, index + 2) + std::string(1, '\0');
    } else if (kind == "raw") {
        value.type = (uint32_t)std::stoul(Word(words, index + 2));
        value.data = Str(words, index + 3);
    } else {
        throw std::runtime_error("sz or raw expected: " + kind);
    }
    return value;
}

/* `font TAG [readonly]` or `text [readonly]` from `index` on. */
void ContentFrom(const std::vector<std::string> &words, size_t index, ScenarioFile *file)
{
    const std::string kind = Word(words, index);
    file->font = kind == "font";
    if (!file->font && kind != "text")
        throw std::runtime_error("font or text expected: " + kind);
    if (file->font)
        file->tag = Word(words, ++index);
    file->readOnly = index + 1 < words.size() && words[index + 1] == "readonly";
}

bool FoldedEqual(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i]))
            return false;
    return true;
}

const std::vector<std::string> &OwnSetNames()
{
    return FontSetsData().at("NewFontSet").names;
}

/* The own set's names, or the first N of them after `first N` at `index`;
 * `index` moves past those words. */
std::vector<std::string> OwnNamesFrom(const std::vector<std::string> &words, size_t *index)
{
    std::vector<std::string> names = OwnSetNames();
    if (*index < words.size() && words[*index] == "first") {
        const size_t count = std::stoul(Word(words, *index + 1));
        if (count < names.size())
            names.resize(count);
        *index += 2;
    }
    return names;
}

/* The own set's names from `index` on ([first N]), and an optional last
 * word `readonly`; anything else is refused with `usage`. */
std::vector<std::string> OwnSetFrom(const std::vector<std::string> &words, size_t index,
                                    const char *usage, bool *readOnly)
{
    const auto names = OwnNamesFrom(words, &index);
    *readOnly = index < words.size() && words[index] == "readonly";
    if (index + (*readOnly ? 1 : 0) != words.size())
        throw std::runtime_error(usage);
    return names;
}

void Statement(const std::vector<std::string> &w, Scenario *s)
{
    const std::string keyword = w[0];
    if (keyword == "family") {
        const std::string family = Word(w, 1);
        if (family == "both")
            s->families = {"nt", "9x"};
        else if (family == "nt" || family == "9x")
            s->families = {family};
        else
            throw std::runtime_error("unknown family " + family);
    } else if (keyword == "only" && Word(w, 1) == "host") {
        s->hostOnly = true;
    } else if (keyword == "rights" && Word(w, 1) == "refused") {
        s->rightsRefused = true;
    } else if (keyword == "value") {
        s->values.push_back(ValueFrom(w, 1));
    } else if (keyword == "file") {
        ScenarioFile file{};
        const std::string where = Word(w, 1);
        file.drive = where == "fonts" ? 0 : Letter(w, 1);
        file.path = Str(w, 2);
        ContentFrom(w, 3, &file);
        s->files.push_back(file);
        if (file.drive)
            s->drives.push_back(file.drive);
    } else if (keyword == "dir") {
        s->directories.push_back({Letter(w, 1), Str(w, 2)});
        s->drives.push_back(Letter(w, 1));
    } else if (keyword == "drive") {
        s->drives.push_back(Letter(w, 1));
    } else if (keyword == "cdrom") {
        const char drive = Letter(w, 1);
        const std::string state = w.size() > 2 ? Word(w, 2) : "";
        if (state != "" && state != "empty")
            throw std::runtime_error("cdrom LETTER [empty] expected");
        s->drives.push_back(drive);
        s->cdromDrives.push_back(drive);
        if (state == "empty")
            s->emptyDrives.push_back(drive);
    } else if (keyword == "cd") {
        const char drive = Letter(w, 1);
        size_t next = 3;
        const auto names = OwnNamesFrom(w, &next);
        const bool later = next < w.size() && w[next] == "later";
        if (next + (later ? 1 : 0) != w.size())
            throw std::runtime_error("cd LETTER TAG [first N] [later]");
        for (const std::string &name : names)
            s->files.push_back({drive, "CM-TrueType\\" + name + ".ttf", true,
                                Word(w, 2), false, later});
        s->drives.push_back(drive);
    } else if (keyword == "installed") {
        bool readOnly;
        const auto names = OwnSetFrom(w, 2, "installed TAG [first N] [readonly]", &readOnly);
        for (const std::string &name : names) {
            s->values.push_back({name + " (TrueType)", 1, name + ".ttf" + std::string(1, '\0')});
            s->files.push_back({0, name + ".ttf", true, Word(w, 1), readOnly, false});
        }
    } else if (keyword == "window" && Word(w, 1) == "hung") {
        s->hungWindow = true;
    } else if (keyword == "held") {
        s->heldFiles.push_back(Str(w, 1));
    } else if (keyword == "box") {
        s->runs.back().boxes.push_back({Word(w, 1), Word(w, 2)});
    } else if (keyword == "exit") {
        s->runs.back().exitCode = std::stoi(Word(w, 1));
    } else if (keyword == "broadcasts") {
        s->runs.back().broadcasts = std::stoi(Word(w, 1));
    } else if (keyword == "cut" && Word(w, 1) == "broadcasts") {
        s->runs.back().cutAfter = std::stoi(Word(w, 2));
        if (s->runs.back().cutAfter < 1)
            throw std::runtime_error("a cut comes after a broadcast");
    } else if (keyword == "release") {
        const std::string name = Str(w, 1);
        bool held = false;
        for (const std::string &h : s->heldFiles)
            held = held || FoldedEqual(h, name);
        if (s->runs.size() == 1 || !held)
            throw std::runtime_error("release a held file in a later run");
        s->runs.back().releases.push_back(name);
    } else if (keyword == "rerun") {
        s->runs.emplace_back();
    } else if (keyword == "expect" && Word(w, 1) == "value") {
        s->expectedValues.push_back(ValueFrom(w, 2));
    } else if (keyword == "expect" && Word(w, 1) == "file") {
        ScenarioFile file{};
        file.path = Str(w, 2);
        ContentFrom(w, 3, &file);
        s->expectedFiles.push_back(file);
    } else if (keyword == "expect" && Word(w, 1) == "set") {
        bool readOnly;
        const auto names = OwnSetFrom(w, 3, "expect set TAG [first N] [readonly]", &readOnly);
        for (const std::string &name : names) {
            s->expectedValues.push_back(
                {name + " (TrueType)", 1, name + ".ttf" + std::string(1, '\0')});
            s->expectedFiles.push_back({0, name + ".ttf", true, Word(w, 2), readOnly, false});
        }
    } else {
        throw std::runtime_error("unknown statement " + keyword);
    }
}

} // namespace

bool AsciiNames(const Scenario &s)
{
    std::vector<const std::string *> strings;
    for (const auto *list : {&s.values, &s.expectedValues})
        for (const ScenarioValue &v : *list) {
            strings.push_back(&v.name);
            strings.push_back(&v.data);
        }
    for (const auto *list : {&s.files, &s.expectedFiles})
        for (const ScenarioFile &f : *list)
            strings.push_back(&f.path);
    for (const auto &dir : s.directories)
        strings.push_back(&dir.second);
    for (const std::string &held : s.heldFiles)
        strings.push_back(&held);
    for (const SetupRun &run : s.runs)
        for (const std::string &released : run.releases)
            strings.push_back(&released);
    for (const std::string *text : strings)
        for (unsigned char c : *text)
            if (c >= 0x80)
                return false;
    return true;
}

std::string FixtureStem(const std::string &fileName)
{
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

bool ParseScenario(const std::string &name, const std::string &text,
                   Scenario *scenario, std::string *error)
{
    *scenario = Scenario();
    scenario->name = name;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        number++;
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        try {
            const auto words = Words(line);
            Statement(words, scenario);
        } catch (const std::exception &e) {
            *error = name + ":" + std::to_string(number) + ": " + e.what();
            return false;
        }
    }
    for (size_t i = 0; i < scenario->runs.size(); i++) {
        const SetupRun &run = scenario->runs[i];
        const std::string which = name + ": run " + std::to_string(i + 1);
        if ((run.exitCode < 0) == (run.cutAfter == 0)) {
            *error = which + " needs an exit or a cut, not both";
            return false;
        }
        if (run.cutAfter && run.broadcasts >= 0) {
            *error = which + " is cut: its broadcasts are the cut's";
            return false;
        }
    }
    for (char empty : scenario->emptyDrives) {
        bool holds = false;
        for (const ScenarioFile &file : scenario->files)
            holds = holds || file.drive == empty;
        for (const auto &dir : scenario->directories)
            holds = holds || dir.first == empty;
        if (holds) {
            *error = name + ": the empty CD-ROM drive " + std::string(1, empty) + " holds files";
            return false;
        }
    }
    return true;
}
