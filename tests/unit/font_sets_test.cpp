#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "fonts/font_sets.h"
#include "test_data.h"

namespace {

const struct {
    const char *name;
    const FontSet *set;
    size_t count;
} Sets[] = {
    {"NewFontSet", &NewFontSet, 140},
    {"LegacyFontSetA", &LegacyFontSetA, 65},
    {"LegacyFontSetB", &LegacyFontSetB, 89},
};

TEST(FontSets, EqualTheListsNameForName)
{
    for (const auto &s : Sets) {
        const FontSetData &expected = FontSetsData().at(s.name);
        ASSERT_EQ(expected.names.size(), s.count) << s.name << " test data";
        ASSERT_EQ((size_t)s.set->count, s.count) << s.name;
        for (size_t i = 0; i < s.count; i++)
            EXPECT_EQ(s.set->names[i], expected.names[i]) << s.name << " " << i;
        EXPECT_EQ(s.set->names[s.set->marker], expected.marker) << s.name;
    }
}

TEST(FontSets, AscendingWithoutRepeatsAndWellFormed)
{
    for (const auto &s : Sets) {
        for (int i = 0; i < s.set->count; i++) {
            const char *name = s.set->names[i];
            const size_t length = std::strlen(name);
            EXPECT_TRUE(length >= 4 && length <= 8) << name;
            EXPECT_TRUE(std::all_of(name, name + length, [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       (c >= '0' && c <= '9');
            })) << name;
            if (i > 0) {
                EXPECT_LT(std::strcmp(s.set->names[i - 1], name), 0)
                    << s.name << " at " << i;
            }
        }
    }
}

/* The system font list ignores case: a marker found in another set, in any
 * case, would make that set look registered. */
TEST(FontSets, EachMarkerBelongsToItsOwnSetOnly)
{
    for (const auto &owner : Sets) {
        const char *marker = owner.set->names[owner.set->marker];
        for (const auto &other : Sets) {
            if (other.set == owner.set)
                continue;
            for (int i = 0; i < other.set->count; i++) {
                EXPECT_NE(strcasecmp(marker, other.set->names[i]), 0)
                    << marker << " in " << other.name;
            }
        }
    }
    for (int a = 0; a < LegacyFontSetA.count; a++) {
        for (int b = 0; b < LegacyFontSetB.count; b++) {
            EXPECT_STRNE(LegacyFontSetA.names[a], LegacyFontSetB.names[b]);
        }
    }
}

} // namespace
