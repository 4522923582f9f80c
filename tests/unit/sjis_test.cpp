#include <gtest/gtest.h>

#include <string>

#include "text/sjis.h"

namespace {

struct SearchCase {
    const char *what;
    std::string bytes;
    char sought;
    int first;
    int last;
};

const SearchCase SearchCases[] = {
    {"empty string", "", '.', -1, -1},
    {"plain dots", "a.b.c", '.', 1, 3},
    {"0x5C as second byte only", "\x95\x5C", '\\', -1, -1},
    {"0x5C after a double-byte character", "\x95\x5C\x5C", '\\', 2, 2},
    {"lead byte as second byte", "\x81\x81\x2E", '.', 2, 2},
    {"half-width katakana is single", "\xB1\x5C", '\\', 1, 1},
    {"lead byte last, sought itself", "a\x95", '\x95', 1, 1},
    {"lead byte last, zero not read", "a\x95", '\\', -1, -1},
    {"so (0x83 0x5C) in a file name", "\x83\x5C\x83\x74\x83\x67.ttf", '\\',
     -1, -1},
    {"dot after so", "\x83\x5C\x83\x74\x83\x67.ttf", '.', 6, 6},
    {"match does not start a second byte", "\x95\x95\x95.", '\x95', 0, 2},
    {"several backslashes", "a\\b\\c", '\\', 1, 3},
};

TEST(ShiftJisSearch, FindsCharactersNotSecondBytes)
{
    for (const SearchCase &c : SearchCases) {
        EXPECT_EQ(FindCharFirst(c.bytes.c_str(), c.sought), c.first) << c.what;
        EXPECT_EQ(FindCharLast(c.bytes.c_str(), c.sought), c.last) << c.what;
    }
}

TEST(ShiftJisSearch, LeadByteRanges)
{
    const struct {
        int byte;
        int lead;
    } cases[] = {
        {0x00, 0}, {0x5C, 0}, {0x80, 0}, {0x81, 1}, {0x9F, 1}, {0xA0, 0},
        {0xDF, 0}, {0xE0, 1}, {0xFC, 1}, {0xFD, 0}, {0xFF, 0},
        /* only the low eight bits count */
        {0x181, 1}, {-0x7F, 1}, {0x180, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsLeadByte(c.byte), c.lead) << std::hex << c.byte;
}

} // namespace
