// The folder chooser's preselected folder for a start path, on real folders.
#include "support/TestEnv.h"

#include "platform/FileSystem.h"
#include "ui/FolderPath.h"

namespace {

class FolderPathTest : public testenv::FreshEnv {};

TEST_F(FolderPathTest, NearestExistingFolderStepsUpToAnExistingAncestor) {
    using setup::NearestExistingFolder;
    const std::string base = scratch_ + "Ziel";
    ASSERT_TRUE(plat::createFolder(base));
    EXPECT_EQ(base, NearestExistingFolder(base));
    EXPECT_EQ(base + "\\", NearestExistingFolder(base + "\\"));
    EXPECT_EQ(base, NearestExistingFolder(base + "\\neu"));
    EXPECT_EQ(base, NearestExistingFolder(base + "\\neu\\tiefer\\"));
    // A file is not a folder: its folder is chosen.
    testenv::WriteFile(base + "\\datei.txt", "x");
    EXPECT_EQ(base, NearestExistingFolder(base + "\\datei.txt"));
    // Stepping up ends at the drive root, never at "C:" (the drive's current folder).
    EXPECT_EQ("C:\\", NearestExistingFolder("C:\\gibt es nicht\\auch nicht"));
    EXPECT_EQ("", NearestExistingFolder("Q:\\fehlt"));
    EXPECT_EQ("", NearestExistingFolder("relativ\\fehlt"));
    EXPECT_EQ("", NearestExistingFolder(""));
}

} // namespace
