#include <gtest/gtest.h>

#include <cstring>

#include "install/media.h"
#include "setup/messages.h"
#include "test_data.h"

namespace {

/* The program's bytes against the texts converted by iconv. */
TEST(Messages, AreTheShiftJisBytesOfTheTexts)
{
    const struct {
        const char *name;
        const char *bytes;
        size_t length;
    } texts[] = {
        {"SetupTitle", SetupTitle, 20},
        {"NeedAdminMessage", NeedAdminMessage, 42},
        {"RemoveLegacyQuestion", RemoveLegacyQuestion, 580},
        {"LegacyKeptNotice", LegacyKeptNotice, 495},
        {"InstallQuestion", InstallQuestion, 91},
        {"FinishedNotice", FinishedNotice, 18},
        {"InsertDiscPrompt", InsertDiscPrompt, 58},
    };
    for (const auto &t : texts) {
        const std::string expected = MessageBytes(t.name);
        EXPECT_EQ(expected.size(), t.length) << t.name << " test data";
        EXPECT_EQ(std::string(t.bytes), expected) << t.name;
        EXPECT_EQ(std::strchr(t.bytes, '\r'), nullptr) << t.name;
        EXPECT_NE(t.bytes[std::strlen(t.bytes) - 1], '\n') << t.name;
    }
}

} // namespace
