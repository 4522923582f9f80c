/*
 * The tests' own copies of the program's data, kept in tests/data/ and read
 * at run time: the three font sets and the message texts in UTF-8.
 */
#ifndef TESTS_UNIT_TEST_DATA_H
#define TESTS_UNIT_TEST_DATA_H

#include <map>
#include <string>
#include <vector>

struct FontSetData {
    std::string marker;
    std::vector<std::string> names;
};

/* "NewFontSet", "LegacyFontSetA", "LegacyFontSetB" */
const std::map<std::string, FontSetData> &FontSetsData();

struct MessageData {
    std::vector<std::string> lines; /* UTF-8 */
    unsigned flags;
};

/* By name: "SetupTitle", "NeedAdminMessage", ... */
const std::map<std::string, MessageData> &MessagesData();

/* UTF-8 text converted to code page 932 by iconv; throws when it cannot. */
std::string ToCodePage932(const std::string &utf8);

/* The text converted to code page 932 by iconv, lines joined by "\n". */
std::string MessageBytes(const std::string &name);

std::string ReadSourceFile(const std::string &relativePath);

#endif
