// Paths that name the same file in different spellings, and device names.
#include <gtest/gtest.h>

#include "common/PathNormal.h"

using namespace setup;

TEST(PathNormal, SpellingsOfOnePathBecomeOne) {
    struct Case {
        const char* path;
        const char* normal;
    } cases[] = {
        {"C:\\T\\old\\..\\OTHER\\x.bak", "C:\\T\\OTHER\\x.bak"},
        {"C:/T//sub/./a.txt", "C:\\T\\sub\\a.txt"},
        {"C:\\T\\..\\..\\..\\x", "C:\\x"}, // never above the root
        {"C:\\T\\sub. \\a.txt. ", "C:\\T\\sub\\a.txt"},
        {"C:\\T\\", "C:\\T\\"},
        {"C:\\T\\sub\\..\\", "C:\\T\\"},
        {"C:\\..\\", "C:\\"},
        {"\\\\server\\\\share\\a\\..\\b", "\\\\server\\share\\b"},
        {"\\\\server\\share\\..\\..\\x", "\\\\server\\share\\x"},
        {"\\T\\..\\U", "\\U"},
        {"a\\..\\..\\b", "..\\b"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormalPath(c.path), c.normal) << c.path;
}

TEST(PathNormal, InsideAFolder) {
    EXPECT_TRUE(PathInsideFolder("c:\\t\\SUB\\a.bak", "C:\\T\\"));
    EXPECT_TRUE(PathInsideFolder("C:\\T\\x\\..\\a.bak", "C:\\T"));
    EXPECT_FALSE(PathInsideFolder("C:\\T\\..\\Other\\a.bak", "C:\\T\\"));
    EXPECT_FALSE(PathInsideFolder("C:\\T2\\a.bak", "C:\\T\\"));
    EXPECT_FALSE(PathInsideFolder("C:\\T\\", "C:\\T\\"));
    EXPECT_FALSE(PathInsideFolder("C:\\T\\.", "C:\\T\\"));
}

TEST(PathNormal, DeviceNames) {
    for (const char* device : {"NUL", "con", "Com1", "LPT9", "nul.txt", "COM1 .log", "C:\\T\\aux",
                               "CONIN$", "\\\\?\\C:\\x.txt", "\\\\.\\pipe\\x", "//./COM2"})
        EXPECT_TRUE(NamesDevice(device)) << device;
    for (const char* file :
         {"NULL", "console.txt", "COM0", "COM10", "LPT", "a\\CONx", "C:\\T\\", "nul\\x.txt"})
        EXPECT_FALSE(NamesDevice(file)) << file;
}
