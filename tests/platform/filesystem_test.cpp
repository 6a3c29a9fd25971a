// File system services as Windows provides them; runs on both backends.
#include <algorithm>
#include <set>
#include <vector>

#include "platform/FileSystem.h"
#include "support/TestEnv.h"

namespace {

using namespace plat;

class FileSystemTest : public testenv::FreshEnv {
  protected:
    std::string path(const std::string& name) const { return scratch_ + name; }

    std::set<std::string> search(const std::string& pattern) {
        std::set<std::string> names;
        DirSearch s;
        if (!s.first(path(pattern))) return names;
        do {
            if (s.entry().name != "." && s.entry().name != "..") names.insert(s.entry().name);
        } while (s.next());
        return names;
    }
};

TEST_F(FileSystemTest, WritesReadsAndReportsMissingFilesAndFolders) {
    File f;
    ASSERT_TRUE(f.open(path("data.bin"), OpenMode::CreateNew));
    const std::string bytes = "0123456789";
    EXPECT_EQ(f.write(bytes.data(), bytes.size()), 10);
    ASSERT_TRUE(f.seek(4));
    char buffer[16] = {};
    EXPECT_EQ(f.read(buffer, sizeof buffer), 6);
    EXPECT_EQ(std::string(buffer, 6), "456789");
    EXPECT_EQ(f.size(), 10u);
    f.close();

    File again;
    EXPECT_FALSE(again.open(path("DATA.BIN"), OpenMode::CreateNew));
    EXPECT_EQ(again.lastError(), kErrFileExists);
    EXPECT_FALSE(again.open(path("missing.bin"), OpenMode::Read));
    EXPECT_EQ(again.lastError(), kErrFileNotFound);
    EXPECT_FALSE(again.open(path("nofolder\\x.bin"), OpenMode::CreateAlways));
    EXPECT_EQ(again.lastError(), kErrPathNotFound);
    EXPECT_FALSE(statPath(path("nofolder\\x.bin")));
    EXPECT_EQ(lastError(), kErrPathNotFound);

    // CreateAlways truncates; Write keeps the contents.
    ASSERT_TRUE(again.open(path("data.bin"), OpenMode::Write));
    EXPECT_EQ(again.size(), 10u);
    ASSERT_TRUE(again.open(path("data.bin"), OpenMode::CreateAlways));
    EXPECT_EQ(again.size(), 0u);
}

TEST_F(FileSystemTest, NamesMatchWithoutRegardToCaseAndKeepTheirOwn) {
    ASSERT_TRUE(createFolder(path("Sub Folder")));
    testenv::WriteFile(path("Sub Folder\\Read Me.TXT"), "x");
    EXPECT_TRUE(fileExists(path("sub folder\\read me.txt")));
    EXPECT_TRUE(folderExists(path("SUB FOLDER")));
    EXPECT_FALSE(fileExists(path("SUB FOLDER")));
    EXPECT_FALSE(folderExists(path("sub folder\\read me.txt")));

    const std::optional<std::string> longName = longPathName(path("SUB FOLDER\\READ ME.txt"));
    ASSERT_TRUE(longName);
    EXPECT_TRUE(longName->ends_with("\\Sub Folder\\Read Me.TXT")) << *longName;
    const std::optional<DirEntry> entry = statPath(path("sub folder\\READ ME.TXT"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, "Read Me.TXT");
    EXPECT_EQ(entry->size, 1u);

    // Windows-1252 letters beyond ASCII fold too.
    testenv::WriteFile(path("\xC4rger.txt"), "y");
    EXPECT_TRUE(fileExists(path("\xE4RGER.TXT")));
    EXPECT_EQ(search("*rger.txt"), std::set<std::string>{"\xC4rger.txt"});
    // "/" separates like "\", "." and ".." are resolved.
    EXPECT_TRUE(fileExists(scratch_ + "Sub Folder/./x/../Read Me.TXT"));
}

TEST_F(FileSystemTest, WildcardSearchFollowsWindowsRules) {
    for (const char* name : {"a.txt", "B.TXT", "noext", "c.text", "ab.txt"})
        testenv::WriteFile(path(name), "");
    ASSERT_TRUE(createFolder(path("dir")));
    using Names = std::set<std::string>;
    EXPECT_EQ(search("*.txt"), (Names{"a.txt", "B.TXT", "ab.txt"}));
    EXPECT_EQ(search("?.TXT"), (Names{"a.txt", "B.TXT"}));
    EXPECT_EQ(search("*.*"), (Names{"a.txt", "B.TXT", "noext", "c.text", "ab.txt", "dir"}));
    EXPECT_EQ(search("*"), search("*.*"));
    EXPECT_EQ(search("noext.*"), (Names{"noext"}));
    EXPECT_EQ(search("b.txt"), (Names{"B.TXT"}));

    DirSearch s;
    EXPECT_FALSE(s.first(path("*.none")));
    EXPECT_EQ(s.lastError(), kErrFileNotFound);
    EXPECT_FALSE(s.first(path("nofolder\\*.*")));
    EXPECT_EQ(s.lastError(), kErrPathNotFound);

    ASSERT_TRUE(s.first(path("dir")));
    EXPECT_TRUE(s.entry().attributes & kAttrDirectory);
}

TEST_F(FileSystemTest, ReadOnlyFilesRefuseChanges) {
    testenv::WriteFile(path("ro.txt"), "keep");
    testenv::WriteFile(path("other.txt"), "other");
    ASSERT_TRUE(setAttributes(path("ro.txt"), kAttrReadOnly));
    EXPECT_TRUE(*getAttributes(path("RO.TXT")) & kAttrReadOnly);

    File f;
    EXPECT_FALSE(f.open(path("ro.txt"), OpenMode::Write));
    EXPECT_EQ(f.lastError(), kErrAccessDenied);
    EXPECT_FALSE(f.open(path("ro.txt"), OpenMode::CreateAlways));
    EXPECT_EQ(f.lastError(), kErrAccessDenied);
    EXPECT_TRUE(f.open(path("ro.txt"), OpenMode::Read));
    f.close();
    EXPECT_FALSE(deleteFile(path("ro.txt")));
    EXPECT_EQ(lastError(), kErrAccessDenied);
    EXPECT_FALSE(moveFile(path("other.txt"), path("ro.txt"), true));
    EXPECT_EQ(lastError(), kErrAccessDenied);
    EXPECT_EQ(testenv::ReadFile(path("ro.txt")), "keep");

    ASSERT_TRUE(setAttributes(path("ro.txt"), kAttrNormal));
    EXPECT_TRUE(deleteFile(path("ro.txt")));
    EXPECT_FALSE(fileExists(path("ro.txt")));
    EXPECT_FALSE(deleteFile(path("ro.txt")));
    EXPECT_EQ(lastError(), kErrFileNotFound);
}

TEST_F(FileSystemTest, AttributesAndTimesRoundTrip) {
    testenv::WriteFile(path("f.txt"), "abc");
    EXPECT_EQ(*getAttributes(path("f.txt")) & ~kAttrNormal, kAttrArchive);
    ASSERT_TRUE(setAttributes(path("f.txt"), kAttrHidden | kAttrSystem));
    // Wine keeps archive where Windows clears it.
    EXPECT_EQ(*getAttributes(path("f.txt")) & ~kAttrArchive, kAttrHidden | kAttrSystem);
    ASSERT_TRUE(setAttributes(path("f.txt"), kAttrArchive | kAttrReadOnly));
    EXPECT_EQ(*getAttributes(path("f.txt")), kAttrArchive | kAttrReadOnly);
    ASSERT_TRUE(setAttributes(path("f.txt"), kAttrNormal));
    EXPECT_FALSE(getAttributes(path("none.txt")));
    EXPECT_EQ(lastError(), kErrFileNotFound);

    // 2001-02-03 04:05:06.7890123 UTC, a time with every 100 ns digit in use.
    const FileTime when = 126256215067890123ULL;
    File f;
    ASSERT_TRUE(f.open(path("f.txt"), OpenMode::Write));
    ASSERT_TRUE(f.setTimes(std::nullopt, std::nullopt, when));
    EXPECT_EQ(f.writeTime(), when);
    f.close();
    EXPECT_EQ(statPath(path("f.txt"))->writeTime, when);
}

TEST_F(FileSystemTest, MovesRenamesAndFolders) {
    testenv::WriteFile(path("a.txt"), "A");
    testenv::WriteFile(path("b.txt"), "B");
    EXPECT_FALSE(moveFile(path("a.txt"), path("B.TXT"), false));
    EXPECT_EQ(lastError(), kErrAlreadyExists);
    ASSERT_TRUE(moveFile(path("a.txt"), path("b.txt"), true));
    EXPECT_FALSE(fileExists(path("a.txt")));
    EXPECT_EQ(testenv::ReadFile(path("b.txt")), "A");
    // A rename that changes only the case.
    ASSERT_TRUE(moveFile(path("b.txt"), path("B.Txt"), false));
    EXPECT_EQ(statPath(path("b.txt"))->name, "B.Txt");
    EXPECT_FALSE(moveFile(path("gone.txt"), path("c.txt"), false));
    EXPECT_EQ(lastError(), kErrFileNotFound);

    ASSERT_TRUE(createFolder(path("New")));
    EXPECT_FALSE(createFolder(path("NEW")));
    EXPECT_EQ(lastError(), kErrAlreadyExists);
    EXPECT_FALSE(createFolder(path("x\\y")));
    EXPECT_EQ(lastError(), kErrPathNotFound);
    ASSERT_TRUE(moveFile(path("B.Txt"), path("new\\moved.txt"), false));
    EXPECT_FALSE(removeFolder(path("New")));
    ASSERT_TRUE(deleteFile(path("NEW\\MOVED.TXT")));
    EXPECT_TRUE(removeFolder(path("new")));
    EXPECT_FALSE(folderExists(path("New")));

    const std::optional<uint64_t> free = freeSpace(scratch_);
    ASSERT_TRUE(free);
    EXPECT_GT(*free, 0u);
}

TEST_F(FileSystemTest, BlockCopiesTakeLargeStepsAndStayInsideTheBuffer) {
    // 3 MiB and 5 bytes of a pattern that shows shifted or repeated blocks.
    std::string bytes((3u << 20) + 5, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 4096) & 0xFF);
    testenv::WriteFile(path("src.bin"), bytes);

    File in, out;
    ASSERT_TRUE(in.open(path("src.bin"), OpenMode::Read));
    ASSERT_TRUE(out.open(path("dst.bin"), OpenMode::CreateNew));
    // The reservation is room only: the file keeps its size.
    out.reserve(bytes.size());
    EXPECT_EQ(out.size(), 0u);
    // A step larger than the buffer never writes past the buffer's end (the
    // sanitizers see it): copied through it, a step is one buffer full.
    constexpr uint64_t bufferSize = 64 * 1024;
    std::vector<char> buffer(bufferSize);
    uint64_t total = 0;
    int steps = 0;
    for (;;) {
        const int64_t n = out.copyFrom(in, 8u << 20, buffer.data(), bufferSize);
        ASSERT_GE(n, 0);
        if (n == 0) break;
        total += static_cast<uint64_t>(n);
        ++steps;
    }
    EXPECT_EQ(total, bytes.size());
    EXPECT_GE(steps, 1);
    EXPECT_EQ(out.copyFrom(in, 8u << 20, buffer.data(), bufferSize), 0); // still the end
    out.close();
    EXPECT_EQ(testenv::ReadFile(path("dst.bin")), bytes);
}

} // namespace
