#include <gtest/gtest.h>

#include "common/Paths.h"
#include "support/TestEnv.h"

using namespace setup;

TEST(Paths, AddAndEnsureBackslash) {
    EXPECT_EQ(AddBackslash(""), "");
    EXPECT_EQ(AddBackslash("C:"), "C:");
    EXPECT_EQ(AddBackslash("C:\\A"), "C:\\A\\");
    EXPECT_EQ(AddBackslash("C:\\A\\"), "C:\\A\\");
    std::string p = "C:";
    EnsureBackslash(p);
    EXPECT_EQ(p, "C:\\");
    EnsureBackslash(p);
    EXPECT_EQ(p, "C:\\");
    std::string empty;
    EnsureBackslash(empty);
    EXPECT_EQ(empty, "");
}

TEST(Paths, FullFolderPathsAsWindowsReadsThem) {
    auto full = [](const std::string& path) {
        std::string out;
        return FullFolderPath(path, out) ? out : "<refused>";
    };
    // Forward slashes, repeated backslashes, "." and "..", and the trailing
    // blanks and dots of every name.
    EXPECT_EQ(full("C:/T4/sub"), "C:\\T4\\sub\\");
    EXPECT_EQ(full("C:\\T7 "), "C:\\T7\\");
    EXPECT_EQ(full("c:\\a. .\\\\b\\.\\c\\..\\d\\"), "c:\\a\\b\\d\\");
    EXPECT_EQ(full("C:\\..\\..\\x"), "C:\\x\\");
    EXPECT_EQ(full("C:\\"), "C:\\");
    EXPECT_EQ(full("\\\\127.0.0.1\\c$\\T11"), "\\\\127.0.0.1\\c$\\T11\\");
    EXPECT_EQ(full("//srv/share"), "\\\\srv\\share\\");
    // ".." never climbs above the share.
    EXPECT_EQ(full("\\\\srv\\share\\..\\..\\x"), "\\\\srv\\share\\x\\");
    // Not full paths, or names Windows refuses.
    for (const char* bad :
         {"relx", "%TEMP%\\x", "C:foo", "C:", "\\Tools\\x", "", "\\\\srv", "\\\\srv\\..\\x",
          "\\\\?\\C:\\x", "C:\\a\\C:\\b", "C:\\a|b", "C:\\a\tb"})
        EXPECT_EQ(full(bad), "<refused>") << bad;
}

TEST(Paths, FolderAndNameParts) {
    EXPECT_EQ(ExtractFilePath("C:\\A\\b.txt"), "C:\\A\\");
    EXPECT_EQ(ExtractFileName("C:\\A\\b.txt"), "b.txt");
    EXPECT_EQ(ExtractFilePath("C:\\A\\"), "C:\\A\\");
    EXPECT_EQ(ExtractFileName("C:\\A\\"), "");
    EXPECT_EQ(ExtractFilePath("b.txt"), "");
    EXPECT_EQ(ExtractFileName("b.txt"), "b.txt");
}

class PathsEnv : public testenv::FreshEnv {};

TEST_F(PathsEnv, UniqueFileNameCountsFromZero) {
    const std::string font = scratch_ + "arial.ttf";
    EXPECT_EQ(UniqueFileName(font), font);
    testenv::WriteFile(font, "x");
    EXPECT_EQ(UniqueFileName(font), scratch_ + "arial0.ttf");
    testenv::WriteFile(scratch_ + "arial0.ttf", "x");
    EXPECT_EQ(UniqueFileName(font), scratch_ + "arial1.ttf");
    // The extension is taken from the file name, not from a dotted folder.
    const std::string noExt = scratch_ + "v1.0\\README";
    testenv::WriteFile(noExt, "x");
    EXPECT_EQ(UniqueFileName(noExt), scratch_ + "v1.0\\README0");
}

TEST_F(PathsEnv, StartupFoldersEndWithBackslash) {
    InitWindowsFolder();
    InitSystemFolder();
    InitProgramPath();
    ASSERT_GE(WindowsFolder().size(), 4u);
    EXPECT_EQ(WindowsFolder().back(), '\\');
    EXPECT_EQ(WindowsFolder()[1], ':');
    EXPECT_EQ(SystemFolder().back(), '\\');
    EXPECT_EQ(SystemFolder().rfind(WindowsFolder(), 0), 0u);
    EXPECT_EQ(ProgramFolder().back(), '\\');
    EXPECT_EQ(ProgramPath().rfind(ProgramFolder(), 0), 0u);
}
