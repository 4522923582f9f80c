#include <cstring>

#include "fonts/font_store.h"
#include "host_fixture.h"

namespace {

using FontStoreTest = HostTest;

TEST_F(FontStoreTest, PlatformAndKeyPath)
{
    const struct {
        DWORD platform;
        bool versionFails;
        int nt;
        const char *keyPath;
    } cases[] = {
        {VER_PLATFORM_WIN32_NT, false, 1, NT_KEY},
        {VER_PLATFORM_WIN32_WINDOWS, false, 0, WIN9X_KEY},
        {VER_PLATFORM_WIN32s, false, 0, WIN9X_KEY},
        {VER_PLATFORM_WIN32_NT, true, 0, WIN9X_KEY},
    };
    for (const auto &c : cases) {
        host::Reset();
        host::SetPlatform(c.platform);
        if (c.versionFails)
            host::FailCall("GetVersionExA");
        EXPECT_EQ(IsNtPlatform(), c.nt) << c.platform;
        EXPECT_STREQ(FontsKeyPath(), c.keyPath) << c.platform;
    }
}

TEST_F(FontStoreTest, FontsFolderFromTheShell)
{
    char path[MAX_PATH];
    host::SetFontsFolder("D:\\WINNT\\Fonts");
    EXPECT_NE(FontsFolder(path), 0);
    EXPECT_STREQ(path, "D:\\WINNT\\Fonts");

    for (const char *failing : {"SHGetSpecialFolderLocation", "SHGetPathFromIDListA"}) {
        host::Reset();
        host::FailCall(failing);
        EXPECT_EQ(FontsFolder(path), 0) << failing;
    }
}

TEST_F(FontStoreTest, ValueNameFormat)
{
    char name[FONT_VALUE_NAME_SIZE];
    ASSERT_EQ(FormatFontValueName(name, "cmvtt10"), 1);
    EXPECT_STREQ(name, "cmvtt10 (TrueType)");

    const std::string longest(FONT_VALUE_NAME_SIZE - 12, 'x');
    EXPECT_EQ(FormatFontValueName(name, longest.c_str()), 1);
    EXPECT_EQ(std::strlen(name), (size_t)FONT_VALUE_NAME_SIZE - 1);
    std::strcpy(name, "untouched");
    EXPECT_EQ(FormatFontValueName(name, (longest + "x").c_str()), 0);
    EXPECT_STREQ(name, "untouched");
}

/* Only the marker decides, whatever the rest of the set. */
TEST_F(FontStoreTest, ProbeLooksAtTheMarkerOnly)
{
    for (int i = 0; i < NewFontSet.count; i++) {
        if (i != NewFontSet.marker)
            RegisterFont(NT_KEY, NewFontSet.names[i], "x.ttf");
    }
    EXPECT_EQ(IsFontSetInstalled(&NewFontSet), 0);

    host::Reset();
    RegisterFont(NT_KEY, "cmvtt10", "cmvtt10.ttf");
    EXPECT_EQ(IsFontSetInstalled(&NewFontSet), 1);
    EXPECT_EQ(IsFontSetInstalled(&LegacyFontSetA), 0);
    EXPECT_EQ(IsFontSetInstalled(&LegacyFontSetB), 0);
}

TEST_F(FontStoreTest, ProbeResults)
{
    const std::string tooLong(MAX_PATH, 'a'); /* 261 bytes with its zero */
    const struct {
        const char *what;
        std::function<void()> arrange;
        const FontSet *set;
        int expected;
    } cases[] = {
        {"marker in capitals",
         [] { host::PutRegString(NT_KEY, "CMVTT10 (TRUETYPE)", "CMVTT10.TTF"); },
         &NewFontSet, 1},
        {"older set A", [] { RegisterFont(NT_KEY, "ASCGRP", "ASCGRP.TTF"); },
         &LegacyFontSetA, 1},
        {"older set B", [] { RegisterFont(NT_KEY, "WNCYB10", "WNCYB10.TTF"); },
         &LegacyFontSetB, 1},
        {"marker data of 260 bytes with its zero",
         [] { RegisterFont(NT_KEY, "cmvtt10", std::string(MAX_PATH - 1, 'a')); },
         &NewFontSet, 1},
        {"marker data over 260 bytes",
         [&] { RegisterFont(NT_KEY, "cmvtt10", tooLong); }, &NewFontSet, 0},
        {"marker of another type",
         [] { host::PutRegValue(NT_KEY, "cmvtt10 (TrueType)", REG_EXPAND_SZ, "x"); },
         &NewFontSet, 0},
        {"Fonts folder not locatable",
         [] {
             RegisterFont(NT_KEY, "cmvtt10", "cmvtt10.ttf");
             host::FailCall("SHGetSpecialFolderLocation");
         },
         &NewFontSet, 0},
        {"read open refused",
         [] {
             RegisterFont(NT_KEY, "cmvtt10", "cmvtt10.ttf");
             host::DenyRegAccess(NT_KEY, host::Deny::All);
         },
         &NewFontSet, 0},
        {"95/98 key on the 95/98 family",
         [] {
             host::SetPlatform(VER_PLATFORM_WIN32_WINDOWS);
             RegisterFont(WIN9X_KEY, "cmvtt10", "cmvtt10.ttf");
         },
         &NewFontSet, 1},
        {"NT key is not looked at on 95/98",
         [] {
             host::SetPlatform(VER_PLATFORM_WIN32_WINDOWS);
             RegisterFont(NT_KEY, "cmvtt10", "cmvtt10.ttf");
         },
         &NewFontSet, 0},
        {"failed version query on NT reads the 95/98 key",
         [] {
             RegisterFont(WIN9X_KEY, "cmvtt10", "cmvtt10.ttf");
             host::FailCall("GetVersionExA");
         },
         &NewFontSet, 1},
    };
    for (const auto &c : cases) {
        host::Reset();
        c.arrange();
        EXPECT_EQ(IsFontSetInstalled(c.set), c.expected) << c.what;
        EXPECT_EQ(host::OpenKeyCount(), 0) << c.what;
        EXPECT_TRUE(host::JournalOf({"RegSetValueExA", "RegDeleteValueA",
                                     "DeleteFileA", "MessageBoxA"})
                        .empty())
            << c.what << ": the probe changed something";
    }
}

TEST_F(FontStoreTest, ProbeOpensForReadingOnly)
{
    RegisterFont(NT_KEY, "cmvtt10", "cmvtt10.ttf");
    host::DenyRegAccess(NT_KEY, host::Deny::Write);
    EXPECT_EQ(IsFontSetInstalled(&NewFontSet), 1);
    EXPECT_EQ(host::JournalOf({"RegCreateKeyExA"}),
              std::vector<std::string>{"RegCreateKeyExA(HKLM\\" NT_KEY ", 0x20019)"});
}

} // namespace
