#include <gtest/gtest.h>

#include "common/FileInfo.h"
#include "common/Effects.h"
#include "common/FileLists.h"
#include "common/Messages.h"
#include "platform/FileSystem.h"
#include "support/TestEnv.h"

using namespace setup;

namespace {

int32_t Dos(int y, int mo, int d) {
    return static_cast<int32_t>((uint32_t(y - 1980) << 25) | (uint32_t(mo) << 21) |
                                (uint32_t(d) << 16) | (12u << 11));
}

std::vector<std::string> Names(const TFileList& list) {
    std::vector<std::string> names;
    for (const FileListEntry& e : list)
        names.push_back(e.name);
    return names;
}

class FileLists : public testenv::FreshEnv {
  protected:
    void SetUp() override {
        FreshEnv::SetUp();
        AbortRequested = false;
    }
    void TearDown() override {
        AbortRequested = false;
        FreshEnv::TearDown();
    }
    void File(const std::string& name, const std::string& bytes, int32_t date,
              uint32_t attributes = 0) {
        testenv::WriteFile(scratch_ + name, bytes);
        ASSERT_TRUE(SetFileDate(scratch_ + name, date));
        if (attributes) {
            ASSERT_TRUE(plat::setAttributes(scratch_ + name, attributes));
        }
    }
};

} // namespace

TEST_F(FileLists, ListsFilesSortedWithInformation) {
    File("b.txt", "12345", Dos(2020, 1, 1));
    File("A.txt", "1", Dos(2021, 1, 1));
    File("hidden.txt", "", Dos(2021, 1, 1), plat::kAttrHidden);
    File("ro.txt", "", Dos(2021, 1, 1), plat::kAttrReadOnly);
    File("sys.txt", "", Dos(2021, 1, 1), plat::kAttrSystem);
    File("\xE4pfel.txt", "", Dos(2021, 1, 1));
    File("Sub\\inner.txt", "", Dos(2021, 1, 1));

    const TFileList list = CreateFileList(scratch_ + "*.*", false, true);
    EXPECT_EQ(Names(list),
              (std::vector<std::string>{"A.txt", "b.txt", "hidden.txt", "ro.txt", "\xE4pfel.txt"}));
    ASSERT_TRUE(list[1].info.has_value());
    EXPECT_EQ(list[1].info->Size, 5u);
    EXPECT_EQ(list[1].info->Time, Dos(2020, 1, 1));
    EXPECT_EQ(list.IndexOf("B.TXT"), 1u);
    EXPECT_FALSE(list.IndexOf("sys.txt").has_value());

    const TFileList upper = CreateFileList(scratch_ + "*.txt", true, false);
    EXPECT_EQ(upper[4].name, "\xC4PFEL.TXT");
    EXPECT_FALSE(upper[0].info.has_value());

    TFileList newer;
    ListFiles(scratch_ + "*.txt", "dir\\", newer, Dos(2020, 6, 1), false, false);
    newer.Sort();
    EXPECT_EQ(Names(newer), (std::vector<std::string>{"dir\\A.txt", "dir\\hidden.txt",
                                                      "dir\\ro.txt", "dir\\\xE4pfel.txt"}));
    plat::setAttributes(scratch_ + "ro.txt", plat::kAttrNormal);
}

TEST_F(FileLists, SubfoldersOnly) {
    File("Zeta\\x", "", Dos(2021, 1, 1));
    File("alpha\\x", "", Dos(2021, 1, 1));
    File("file.txt", "", Dos(2021, 1, 1));
    EXPECT_EQ(Names(CreateSubfolderList(scratch_)), (std::vector<std::string>{"alpha", "Zeta"}));
    EXPECT_TRUE(CreateSubfolderList(scratch_ + "alpha\\").Empty());
}

TEST_F(FileLists, DeleteMatchingFilesKeepsNewerOnes) {
    File("old.tmp", "", Dos(2018, 1, 1));
    File("new.tmp", "", Dos(2022, 1, 1));
    File("ro.tmp", "", Dos(2018, 1, 1), plat::kAttrReadOnly);
    File("keep.txt", "", Dos(2018, 1, 1));
    const std::string folder = scratch_.substr(0, scratch_.size() - 1);

    EXPECT_EQ(DeleteMatchingFiles(DirectEffects(), folder, "*.tmp", false, Dos(2020, 1, 1)), 0);
    EXPECT_FALSE(plat::fileExists(scratch_ + "old.tmp"));
    EXPECT_TRUE(plat::fileExists(scratch_ + "new.tmp"));
    EXPECT_TRUE(plat::fileExists(scratch_ + "keep.txt"));

    EXPECT_EQ(DeleteMatchingFiles(DirectEffects(), folder, "ro.tmp", true, Dos(2020, 1, 1)), 0);
    EXPECT_FALSE(plat::fileExists(scratch_ + "ro.tmp"));

    EXPECT_EQ(DeleteMatchingFiles(DirectEffects(), folder, "*.none", false, Dos(2020, 1, 1)), 1);
    AbortRequested = true;
    EXPECT_EQ(DeleteMatchingFiles(DirectEffects(), folder, "*.*", false, Dos(2030, 1, 1)), 2);
    EXPECT_TRUE(plat::fileExists(scratch_ + "keep.txt"));
}
