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
