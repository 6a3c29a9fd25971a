// Windows information, process services and time conversion on the real API.
#include "platform/FileSystem.h"
#include "platform/System.h"
#include "platform/Time.h"

#include <gtest/gtest.h>

namespace {

bool endsWithNoCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i)
        if (tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) !=
            tolower(static_cast<unsigned char>(suffix[i])))
            return false;
    return true;
}

TEST(Win32System, VersionAndFolders) {
    plat::OsVersion version;
    ASSERT_TRUE(plat::getOsVersion(version));
    EXPECT_EQ(version.platformId, 2u);
    EXPECT_GE(version.major, 5u);
    EXPECT_GT(version.build, 0u);
    // These tests are a 64-bit program: never under WOW64.
    EXPECT_FALSE(plat::isWow64Process());

    std::string program = plat::programPath();
    EXPECT_TRUE(endsWithNoCase(program, "_tests.exe")) << program;
    EXPECT_TRUE(plat::fileExists(program));
    EXPECT_TRUE(plat::folderExists(plat::windowsDirectory())) << plat::windowsDirectory();
    EXPECT_TRUE(endsWithNoCase(plat::systemDirectory(), "\\system32"));
}

TEST(Win32System, ErrorTextsAndPaths) {
    std::string text = plat::sysErrorText(plat::kErrFileNotFound);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    EXPECT_EQ(plat::sysErrorText(0x2FFFFFFF), "");

    // A relative path becomes a full one; the native form is the same.
    std::string full = plat::toWindowsPath("sub\\x.ins");
    EXPECT_EQ(full.substr(1, 2), ":\\");
    EXPECT_TRUE(endsWithNoCase(full, "\\sub\\x.ins"));
    EXPECT_EQ(plat::toNativePath("C:\\a b\\c"), "C:\\a b\\c");

    plat::setArguments({"x.ins", "--dir=C:\\M\xFCller"});
    EXPECT_EQ(plat::arguments().at(1), "--dir=C:\\M\xFCller");
}

TEST(Win32System, ClockAndLocalTime) {
    plat::pumpMessages();
    uint64_t before = plat::tickCount();
    plat::sleepMs(30);
    // GetTickCount64 advances in steps of about 16 ms.
    EXPECT_GE(plat::tickCount() - before, 14u);

    plat::FileTime now = plat::now();
    auto local = plat::fileTimeToLocal(now);
    ASSERT_TRUE(local);
    EXPECT_GE(local->year, 2020);
    auto back = plat::localToFileTime(*local);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, now / 10000 * 10000); // SYSTEMTIME holds milliseconds

    EXPECT_FALSE(plat::localToFileTime({2023, 2, 29, 0, 0, 0, 0}));
    EXPECT_FALSE(plat::localToFileTime({2023, 13, 1, 0, 0, 0, 0}));
    EXPECT_FALSE(plat::localToFileTime({2023, 1, 1, 24, 0, 0, 0}));
    EXPECT_FALSE(plat::localToFileTime({-5, 1, 1, 0, 0, 0, 0}));
    EXPECT_FALSE(plat::localToFileTime({65536 + 2000, 1, 1, 0, 0, 0, 0}));
    EXPECT_TRUE(plat::localToFileTime({2024, 2, 29, 23, 59, 59, 999}));
}

} // namespace
