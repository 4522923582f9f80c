/*
 * Every host test starts on a new emulated machine and ends by checking
 * that the program released what it acquired: registry keys, file
 * searches, open files, heap blocks and the shell's item lists.
 */
#ifndef TESTS_UNIT_HOST_FIXTURE_H
#define TESTS_UNIT_HOST_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/control.h"

#define NT_KEY "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
#define WIN9X_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts"
#define FONTS_DIR "C:\\WINDOWS\\FONTS"

class HostTest : public ::testing::Test {
protected:
    void SetUp() override { host::Reset(); }
    void TearDown() override
    {
        EXPECT_EQ(host::OpenKeyCount(), 0) << "registry key left open";
        EXPECT_EQ(host::OpenSearchCount(), 0) << "file search left open";
        EXPECT_EQ(host::OpenFileCount(), 0) << "file left open";
        EXPECT_EQ(host::LiveHeapBlocks(), 0) << "heap block not freed";
        EXPECT_EQ(host::LiveItemLists(), 0) << "item list not freed";
    }
};

/* A registered font: "<name> (TrueType)" = data, REG_SZ with its zero. */
inline void RegisterFont(const std::string &key, const std::string &name,
                         const std::string &data)
{
    host::PutRegString(key, name + " (TrueType)", data);
}

inline bool IsRegistered(const std::string &key, const std::string &name)
{
    host::RegValue value;
    return host::GetRegValue(key, name + " (TrueType)", &value);
}

#endif
