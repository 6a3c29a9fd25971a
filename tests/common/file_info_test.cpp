#include <gtest/gtest.h>

#include <cstring>

#include "common/FileInfo.h"
#include "platform/Time.h"
#include "support/TestEnv.h"
#include "version_resource.h"

using namespace setup;

namespace {

int32_t Dos(int y, int mo, int d, int h, int mi, int s) {
    return static_cast<int32_t>((uint32_t(y - 1980) << 25) | (uint32_t(mo) << 21) |
                                (uint32_t(d) << 16) | (uint32_t(h) << 11) | (uint32_t(mi) << 5) |
                                uint32_t(s / 2));
}

class FileInfo : public testenv::FreshEnv {};

} // namespace

TEST(FileDates, CompareWithTolerances) {
    const int32_t base = Dos(2020, 5, 17, 12, 30, 10);
    EXPECT_EQ(CompareFileDates(base, base), 0);
    // Exactly one hour apart (summer time shifts) counts as equal, also across a day.
    EXPECT_EQ(CompareFileDates(base, Dos(2020, 5, 17, 13, 30, 10)), 0);
    EXPECT_EQ(CompareFileDates(Dos(2020, 5, 18, 0, 0, 0), Dos(2020, 5, 17, 23, 0, 0)), 0);
    EXPECT_EQ(CompareFileDates(base, Dos(2020, 5, 17, 13, 30, 16)), -1);
    // 4 seconds within a minute: values 2 apart, equal; across a minute they are not.
    EXPECT_EQ(CompareFileDates(Dos(2020, 5, 17, 12, 30, 14), base), 0);
    EXPECT_EQ(CompareFileDates(Dos(2020, 5, 17, 12, 31, 2), Dos(2020, 5, 17, 12, 30, 58)), 1);
    EXPECT_EQ(CompareFileDates(Dos(2020, 5, 17, 12, 30, 58), Dos(2020, 5, 17, 12, 31, 2)), -1);
    EXPECT_EQ(CompareFileDates(Dos(2021, 1, 1, 0, 0, 0), base), 1);
    // A missing file (-1) is older than any file; invalid dates still compare.
    EXPECT_LT(CompareFileDates(-1, base), 0);
    EXPECT_GT(CompareFileDates(base, -1), 0);
    EXPECT_EQ(CompareFileDates(-1, -1), 0);
    EXPECT_EQ(CompareFileDates(0x7FFFFFFF, base), 1);
}

TEST_F(FileInfo, DatesAndSizesOfFiles) {
    const std::string file = scratch_ + "a.txt";
    testenv::WriteFile(file, "hello");
    const int32_t date = Dos(2019, 2, 28, 23, 59, 58);
    ASSERT_TRUE(SetFileDate(file, date));
    EXPECT_EQ(FileDosDate(file), date);
    EXPECT_EQ(FileSize64(file), 5);
    EXPECT_TRUE(CanOpenForReading(file));
    EXPECT_EQ(FileTimeText(file), "28.02.19 23:59:58,000");

    EXPECT_EQ(FileDosDate(scratch_ + "none.txt"), -1);
    EXPECT_EQ(FileSize64(scratch_ + "none.txt"), -1);
    EXPECT_FALSE(CanOpenForReading(scratch_ + "none.txt"));
    EXPECT_FALSE(SetFileDate(scratch_ + "none.txt", date));
    EXPECT_FALSE(SetFileDate(file, Dos(2019, 13, 1, 0, 0, 0)));
    EXPECT_EQ(FileTimeText(scratch_ + "none.txt"), "");
    // Folders are not files.
    EXPECT_EQ(FileTimeText(scratch_.substr(0, scratch_.size() - 1)), "");
    EXPECT_EQ(FileDosDate(scratch_.substr(0, scratch_.size() - 1)), -1);

    // Dates outside the DOS range are clamped, never "no file".
    EXPECT_EQ(FileTimeToDosDate(0), Dos(1980, 1, 1, 0, 0, 0));
    EXPECT_GT(DosDateNow(), Dos(2020, 1, 1, 0, 0, 0));
}

TEST_F(FileInfo, LongPathNameUsesStoredCase) {
    testenv::WriteFile(scratch_ + "MixedCase\\File.TXT", "x");
    const std::string longName = LongPathName(scratch_ + "mixedcase\\file.txt");
    EXPECT_EQ(longName, scratch_ + "MixedCase\\File.TXT");
    EXPECT_EQ(LongPathName(scratch_ + "missing\\file.txt"), "");
    EXPECT_EQ(LongPathName("C:"), "C:");
}

TEST_F(FileInfo, VersionInfoOfFiles) {
    std::vector<std::string> list;
    testenv::WriteFile(scratch_ + "plain.dll", "MZ not really a program");
    ReadVersionInfo(scratch_ + "plain.dll", list);
    ReadVersionInfo(scratch_ + "missing.dll", list);
    EXPECT_TRUE(list.empty());

    const std::string dll = scratch_ + "versioned.dll";
    testenv::WriteFile(dll,
                       testpe::MakeVersionedPe({{"CompanyName", "  M\xFC"
                                                                "ller GmbH "},
                                                {"FileVersion", "1.2.3"},
                                                {"LegalTradeMarks", "x = y"}},
                                               {{"ProductName", "Demo"}, {"FileVersion", "9.9"}}));
    ReadVersionInfo(dll, list);
    EXPECT_EQ(list, (std::vector<std::string>{"CompanyName=M\xFCller GmbH", "FileVersion=1.2.3",
                                              "LegalTradeMarks=x = y", "ProductName=Demo"}));
}
