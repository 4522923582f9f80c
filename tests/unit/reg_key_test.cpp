#include "host_fixture.h"
#include "platform/reg_key.h"

namespace {

#define TEST_KEY "Software\\Quillset\\Test"

using RegKeyTest = HostTest;

std::vector<std::string> Opens()
{
    return host::JournalOf({"RegCreateKeyExA"});
}

TEST_F(RegKeyTest, ModeStringGivesAccessMask)
{
    const struct {
        const char *mode;
        const char *open; /* the journal line, or null: no call at all */
    } cases[] = {
        {nullptr, "RegCreateKeyExA(HKLM\\" TEST_KEY ", 0xf003f)"},
        {"", nullptr},
        {"R", nullptr},
        {"xyz+", nullptr},
        {"r", "RegCreateKeyExA(HKLM\\" TEST_KEY ", 0x20019)"},
        {"w", "RegCreateKeyExA(HKLM\\" TEST_KEY ", 0x20006)"},
        {"rw", "RegCreateKeyExA(HKLM\\" TEST_KEY ", 0x2001f)"},
        {"r+", "RegCreateKeyExA(HKLM\\" TEST_KEY ", 0x2001f)"},
        {"w+", "RegCreateKeyExA(HKLM\\" TEST_KEY ", 0x2001f)"},
        {"l+", "RegCreateKeyExA(HKLM\\" TEST_KEY ", 0xf003f)"},
        {"rl", "RegCreateKeyExA(HKLM\\" TEST_KEY ", 0x20039)"},
        {"a", "RegCreateKeyExA(HKLM\\" TEST_KEY ", 0xf003f)"},
    };
    for (const auto &c : cases) {
        host::ClearJournal();
        RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, c.mode);
        const std::string mode = c.mode ? c.mode : "(null)";
        if (c.open) {
            ASSERT_NE(key, nullptr) << mode;
            EXPECT_EQ(Opens(), std::vector<std::string>{c.open}) << mode;
        } else {
            EXPECT_EQ(key, nullptr) << mode;
            EXPECT_TRUE(host::Journal().empty()) << mode;
        }
        EXPECT_EQ(CloseRegKey(key), 1) << mode;
    }
}

TEST_F(RegKeyTest, OpenCreatesMissingKeyAndRecordsDisposition)
{
    RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, "r");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->disposition, (DWORD)REG_CREATED_NEW_KEY);
    EXPECT_TRUE(host::RegKeyExists(TEST_KEY));
    CloseRegKey(key);

    key = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, nullptr);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->disposition, (DWORD)REG_OPENED_EXISTING_KEY);
    CloseRegKey(key);
}

TEST_F(RegKeyTest, OpenFailures)
{
    EXPECT_EQ(OpenRegKey(nullptr, TEST_KEY, nullptr), nullptr);
    EXPECT_TRUE(host::Journal().empty());

    host::DenyRegAccess(TEST_KEY, host::Deny::Write);
    EXPECT_EQ(OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, nullptr), nullptr);
    RegKeyHandle *readable = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, "r");
    EXPECT_NE(readable, nullptr);
    CloseRegKey(readable);

    /* A record that cannot be allocated fails the open and does not keep
     * the key it opened. */
    host::FailCall("HeapAlloc", 1);
    EXPECT_EQ(OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, "r"), nullptr);
    EXPECT_EQ(host::OpenKeyCount(), 0);
}

TEST_F(RegKeyTest, NullHandleAndNullNameCallNothing)
{
    char buffer[MAX_PATH];
    EXPECT_EQ(CloseRegKey(nullptr), 1);
    EXPECT_EQ(DeleteRegValue(nullptr, "x"), 0);
    EXPECT_EQ(QueryRegValue(nullptr, "x", REG_SZ, (BYTE *)buffer, sizeof buffer), 0);
    EXPECT_EQ(ReadRegString(buffer, sizeof buffer, nullptr, "x"), nullptr);
    EXPECT_EQ(WriteRegString("x", nullptr, "x"), -1);
    EXPECT_TRUE(host::Journal().empty());

    RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, nullptr);
    ASSERT_NE(key, nullptr);
    host::ClearJournal();
    EXPECT_EQ(DeleteRegValue(key, nullptr), 0);
    EXPECT_EQ(QueryRegValue(key, nullptr, REG_SZ, (BYTE *)buffer, sizeof buffer), 0);
    EXPECT_EQ(ReadRegString(buffer, sizeof buffer, key, nullptr), nullptr);
    EXPECT_EQ(ReadRegString(nullptr, sizeof buffer, key, "x"), nullptr);
    EXPECT_TRUE(host::Journal().empty());
    CloseRegKey(key);
}

TEST_F(RegKeyTest, StringReadIsABitTestOnTheStoredType)
{
    const struct {
        DWORD type;
        bool read;
    } cases[] = {
        {REG_NONE, false},      {REG_SZ, true},        {REG_EXPAND_SZ, false},
        {REG_BINARY, true},     {REG_DWORD, false},    {5, true},
        {6, false},             {REG_MULTI_SZ, true},
    };
    for (const auto &c : cases) {
        host::PutRegValue(TEST_KEY, "v", c.type, std::string("abc\0", 4));
        RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, "r");
        char buffer[MAX_PATH];
        char *read = ReadRegString(buffer, sizeof buffer, key, "v");
        EXPECT_EQ(read != nullptr, c.read) << "type " << c.type;
        if (read) {
            EXPECT_STREQ(read, "abc");
        }
        CloseRegKey(key);
    }
}

TEST_F(RegKeyTest, StringReadWithinCapacity)
{
    const struct {
        const char *what;
        std::string stored;
        DWORD capacity;
        const char *expected; /* null: refused */
    } cases[] = {
        {"fits with its zero", std::string("cmr10.ttf\0", 10), 10, "cmr10.ttf"},
        {"one byte too long", std::string("cmr10.ttf\0", 10), 9, nullptr},
        {"stored without a zero", "cmr10.ttf", MAX_PATH, "cmr10.ttf"},
        {"no zero, fills the capacity", "cmr10.ttf", 9, nullptr},
        {"empty string", std::string("\0", 1), MAX_PATH, ""},
        {"no data at all", "", MAX_PATH, ""},
    };
    for (const auto &c : cases) {
        host::PutRegValue(TEST_KEY, "v", REG_SZ, c.stored);
        RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, "r");
        char buffer[MAX_PATH + 1];
        for (char &b : buffer)
            b = 'x';
        char *read = ReadRegString(buffer, c.capacity, key, "v");
        if (c.expected) {
            EXPECT_STREQ(read, c.expected) << c.what;
        } else {
            EXPECT_EQ(read, nullptr) << c.what;
        }
        EXPECT_EQ(buffer[c.capacity], 'x') << c.what << ": wrote past capacity";
        CloseRegKey(key);
    }

    RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, "r");
    char buffer[MAX_PATH];
    EXPECT_EQ(ReadRegString(buffer, sizeof buffer, key, "missing"), nullptr);
    CloseRegKey(key);
}

TEST_F(RegKeyTest, QueryWithMask)
{
    host::PutRegValue(TEST_KEY, "d", REG_DWORD, std::string("\x2A\0\0\0", 4));
    RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, "r");
    BYTE buffer[4] = {0};
    EXPECT_EQ(QueryRegValue(key, "d", REG_DWORD, buffer, sizeof buffer), 1);
    EXPECT_EQ(buffer[0], 0x2A);
    EXPECT_EQ(QueryRegValue(key, "d", REG_SZ, buffer, sizeof buffer), 0);
    EXPECT_EQ(QueryRegValue(key, "d", REG_DWORD, buffer, 3), 0);
    CloseRegKey(key);
}

TEST_F(RegKeyTest, WriteStringStoresItsZero)
{
    RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, nullptr);
    EXPECT_EQ(WriteRegString("cmr10.ttf", key, "cmr10 (TrueType)"), 10);
    host::RegValue value;
    ASSERT_TRUE(host::GetRegValue(TEST_KEY, "cmr10 (TrueType)", &value));
    EXPECT_EQ(value.type, (DWORD)REG_SZ);
    EXPECT_EQ(value.data, std::string("cmr10.ttf\0", 10));

    host::FailCall("RegSetValueExA", 1);
    EXPECT_EQ(WriteRegString("cmr9.ttf", key, "cmr9 (TrueType)"), -1);

    /* A handle opened for reading only cannot write. */
    RegKeyHandle *reader = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, "r");
    EXPECT_EQ(WriteRegString("cmr9.ttf", reader, "cmr9 (TrueType)"), -1);
    EXPECT_FALSE(host::GetRegValue(TEST_KEY, "cmr9 (TrueType)", &value));
    CloseRegKey(reader);
    CloseRegKey(key);
}

TEST_F(RegKeyTest, DefaultValueIsAlwaysAString)
{
    RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, nullptr);
    const BYTE data[] = {1, 2, 3};
    EXPECT_EQ(SetRegValue(key, nullptr, REG_BINARY, data, sizeof data), 1);
    EXPECT_EQ(SetRegValue(key, "named", REG_BINARY, data, sizeof data), 1);
    host::RegValue value;
    ASSERT_TRUE(host::GetRegValue(TEST_KEY, "", &value));
    EXPECT_EQ(value.type, (DWORD)REG_SZ);
    ASSERT_TRUE(host::GetRegValue(TEST_KEY, "named", &value));
    EXPECT_EQ(value.type, (DWORD)REG_BINARY);
    CloseRegKey(key);
}

TEST_F(RegKeyTest, DeleteValue)
{
    host::PutRegString(TEST_KEY, "v", "x");
    RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, nullptr);
    EXPECT_EQ(DeleteRegValue(key, "V"), 1); /* names ignore case */
    EXPECT_EQ(DeleteRegValue(key, "v"), 0);
    CloseRegKey(key);
}

TEST_F(RegKeyTest, RefusedCloseKeepsTheHandleOpen)
{
    RegKeyHandle *key = OpenRegKey(HKEY_LOCAL_MACHINE, TEST_KEY, "r");
    host::FailCall("RegCloseKey", 1);
    EXPECT_EQ(CloseRegKey(key), 0);
    EXPECT_EQ(host::OpenKeyCount(), 1);
    EXPECT_EQ(key->disposition, (DWORD)REG_CREATED_NEW_KEY); /* still valid */
    EXPECT_EQ(CloseRegKey(key), 1);
}

} // namespace
