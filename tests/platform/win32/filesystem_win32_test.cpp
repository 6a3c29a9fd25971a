// The Win32 file system backend on the real API (under Wine in our runs).
#include "platform/FileSystem.h"
#include "platform/Time.h"
#include "platform/win32/WindowsSupport.h"
#include "support/TestEnv.h"

#include <set>

namespace {

using testenv::FreshEnv;

class Win32FileSystem : public FreshEnv {
  protected:
    std::string path(const std::string& name) const { return scratch_ + name; }

    void makeFile(const std::string& name, const std::string& bytes) {
        testenv::WriteFile(path(name), bytes);
    }

    std::set<std::string> list(const std::string& pattern) {
        std::set<std::string> names;
        plat::DirSearch search;
        for (bool ok = search.first(path(pattern)); ok; ok = search.next())
            if (search.entry().name != "." && search.entry().name != "..")
                names.insert(search.entry().name);
        return names;
    }
};

// "Grüße ÄÖÜ ß €.txt": the euro sign is 0x80 in Windows-1252 but U+20AC on disk.
const std::string kUmlautName = "Gr\xFC\xDF"
                                "e \xC4\xD6\xDC \xDF \x80.txt";

TEST_F(Win32FileSystem, Windows1252NamesRoundTripThroughTheDisk) {
    plat::File f;
    ASSERT_TRUE(f.open(path(kUmlautName), plat::OpenMode::CreateNew)) << f.lastError();
    ASSERT_EQ(f.write("abc", 3), 3);
    f.close();

    // Stored as the right Unicode characters, not as the raw bytes.
    std::wstring wide =
        plat::win::widen(scratch_) + L"Gr\u00FC\u00DFe \u00C4\u00D6\u00DC \u00DF \u20AC.txt";
    EXPECT_NE(::GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_EQ(list("*.*"), std::set<std::string>{kUmlautName});
    auto entry = plat::statPath(path(kUmlautName));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, kUmlautName);
    EXPECT_EQ(entry->size, 3u);
    // Case is matched the Windows way, also for accented letters.
    auto stored = plat::longPathName(path("gr\xFC\xDF"
                                          "e \xE4\xF6\xFC \xDF \x80.TXT"));
    ASSERT_TRUE(stored);
    EXPECT_TRUE(plat::fileExists(*stored));
    EXPECT_EQ(testenv::ReadFile(path(kUmlautName)), "abc");
}

TEST_F(Win32FileSystem, NamesWithoutAWindows1252FormAreFoundByTheirShortName) {
    // A Greek name cannot be written in Windows-1252; "?" would name nothing.
    std::wstring wide = plat::win::widen(scratch_) + L"\u03A9mega file.txt";
    plat::win::FileHandle created(::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(created);
    created.reset();

    std::set<std::string> names = list("*");
    ASSERT_EQ(names.size(), 1u);
    const std::string name = *names.begin();
    EXPECT_EQ(name.find('?'), std::string::npos) << name;
    EXPECT_TRUE(plat::fileExists(path(name))) << name;
    plat::File f;
    EXPECT_TRUE(f.open(path(name), plat::OpenMode::Read)) << f.lastError();
    auto stored = plat::longPathName(path(name));
    ASSERT_TRUE(stored);
    EXPECT_TRUE(plat::fileExists(*stored)) << *stored;
}

TEST_F(Win32FileSystem, SearchMatchesWildcardsAndReportsSizesAndKinds) {
    makeFile("a.txt", "12345");
    makeFile("b.TXT", "");
    makeFile("noext", "x");
    ASSERT_TRUE(plat::createFolder(path("sub")));

    EXPECT_EQ(list("*.*"), (std::set<std::string>{"a.txt", "b.TXT", "noext", "sub"}));
    EXPECT_EQ(list("*.txt"), (std::set<std::string>{"a.txt", "b.TXT"}));
    EXPECT_EQ(list("?.txt"), (std::set<std::string>{"a.txt", "b.TXT"}));

    plat::DirSearch search;
    ASSERT_TRUE(search.first(path("a.txt")));
    EXPECT_EQ(search.entry().size, 5u);
    EXPECT_FALSE(search.entry().attributes & plat::kAttrDirectory);
    EXPECT_FALSE(search.next());
    ASSERT_TRUE(search.first(path("sub")));
    EXPECT_TRUE(search.entry().attributes & plat::kAttrDirectory);

    EXPECT_FALSE(search.first(path("*.none")));
    EXPECT_EQ(search.lastError(), plat::kErrFileNotFound);
    EXPECT_FALSE(search.first(path("missing\\*.*")));
    EXPECT_EQ(search.lastError(), plat::kErrPathNotFound);
    EXPECT_FALSE(plat::statPath(path("missing.txt")));
    EXPECT_EQ(plat::lastError(), plat::kErrFileNotFound);
}

TEST_F(Win32FileSystem, OpenModesFollowWindowsSemantics) {
    plat::File f;
    EXPECT_FALSE(f.open(path("none.txt"), plat::OpenMode::Read));
    EXPECT_EQ(f.lastError(), plat::kErrFileNotFound);
    EXPECT_EQ(plat::lastError(), plat::kErrFileNotFound);
    EXPECT_FALSE(f.open(path("none\\x.txt"), plat::OpenMode::CreateAlways));
    EXPECT_EQ(f.lastError(), plat::kErrPathNotFound);
    EXPECT_FALSE(f.isOpen());

    makeFile("data.bin", "0123456789");
    EXPECT_FALSE(f.open(path("data.bin"), plat::OpenMode::CreateNew));
    EXPECT_EQ(f.lastError(), plat::kErrFileExists);

    // Write keeps the contents; reads and writes share one position.
    ASSERT_TRUE(f.open(path("data.bin"), plat::OpenMode::Write));
    EXPECT_EQ(f.size(), 10u);
    ASSERT_TRUE(f.seek(8));
    EXPECT_EQ(f.write("XYZ", 3), 3);
    EXPECT_EQ(f.size(), 11u);
    ASSERT_TRUE(f.seek(0));
    char buffer[32] = {};
    EXPECT_EQ(f.read(buffer, sizeof buffer), 11);
    EXPECT_EQ(std::string(buffer, 11), "01234567XYZ");
    EXPECT_EQ(f.read(buffer, sizeof buffer), 0);
    EXPECT_TRUE(f.flush());

    // A reader lets a writer in and vice versa; two writers exclude each other.
    plat::File reader;
    EXPECT_TRUE(reader.open(path("data.bin"), plat::OpenMode::Read)) << reader.lastError();
    plat::File second;
    EXPECT_FALSE(second.open(path("data.bin"), plat::OpenMode::Write));
    EXPECT_EQ(second.lastError(), plat::kErrSharingViolation);
    f.close();
    EXPECT_TRUE(second.open(path("data.bin"), plat::OpenMode::Write)) << second.lastError();

    // CreateAlways truncates; a moved file keeps its handle.
    second.close();
    ASSERT_TRUE(f.open(path("data.bin"), plat::OpenMode::CreateAlways));
    plat::File moved(std::move(f));
    EXPECT_TRUE(moved.isOpen());
    EXPECT_EQ(moved.size(), 0u);
    EXPECT_EQ(moved.write("", 0), 0);
    EXPECT_EQ(f.read(buffer, 1), -1); // NOLINT(bugprone-use-after-move): moved-from is closed
}

TEST_F(Win32FileSystem, TimesAndAttributesAreStoredAndReadBack) {
    makeFile("t.txt", "x");
    auto when = plat::localToFileTime({2004, 2, 29, 13, 45, 30, 0});
    auto created = plat::localToFileTime({1999, 12, 31, 23, 59, 58, 0});
    ASSERT_TRUE(when && created);
    // (Creation times are not checked: Wine on a Linux file system keeps none.)

    plat::File f;
    ASSERT_TRUE(f.open(path("t.txt"), plat::OpenMode::Write));
    ASSERT_TRUE(f.setTimes(created, std::nullopt, when));
    EXPECT_EQ(f.writeTime(), when);
    // Only the times given change.
    ASSERT_TRUE(f.setTimes(std::nullopt, std::nullopt, *when + 20'000'000));
    f.close();

    auto entry = plat::statPath(path("t.txt"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->writeTime, *when + 20'000'000);
    plat::DirSearch search;
    ASSERT_TRUE(search.first(path("t.txt")));
    EXPECT_EQ(search.entry().writeTime, *when + 20'000'000);
    auto local = plat::fileTimeToLocal(entry->writeTime);
    ASSERT_TRUE(local);
    EXPECT_EQ(local->second, 32);

    ASSERT_TRUE(plat::setAttributes(path("t.txt"), plat::kAttrReadOnly | plat::kAttrHidden));
    EXPECT_EQ(plat::getAttributes(path("t.txt")).value_or(0) &
                  (plat::kAttrReadOnly | plat::kAttrHidden | plat::kAttrDirectory),
              plat::kAttrReadOnly | plat::kAttrHidden);
    // A read-only file can still be read.
    EXPECT_TRUE(f.open(path("t.txt"), plat::OpenMode::Read));
    f.close();
    ASSERT_TRUE(plat::setAttributes(path("t.txt"), plat::kAttrNormal));
    EXPECT_TRUE(plat::deleteFile(path("t.txt")));
    EXPECT_FALSE(plat::getAttributes(path("t.txt")));
    EXPECT_FALSE(plat::deleteFile(path("t.txt")));
    EXPECT_EQ(plat::lastError(), plat::kErrFileNotFound);
}

TEST_F(Win32FileSystem, MoveReplacesOnlyWhenAsked) {
    makeFile("new.txt", "new");
    makeFile("old.txt", "old");
    EXPECT_FALSE(plat::moveFile(path("new.txt"), path("old.txt"), false));
    EXPECT_EQ(plat::lastError(), plat::kErrAlreadyExists);
    EXPECT_EQ(testenv::ReadFile(path("old.txt")), "old");

    ASSERT_TRUE(plat::moveFile(path("new.txt"), path("old.txt"), true));
    EXPECT_EQ(testenv::ReadFile(path("old.txt")), "new");
    EXPECT_FALSE(plat::fileExists(path("new.txt")));

    // Folders move too, with their contents.
    ASSERT_TRUE(plat::createFolder(path("d1")));
    makeFile("d1\\f.txt", "f");
    ASSERT_TRUE(plat::moveFile(path("d1"), path("d2"), false));
    EXPECT_TRUE(plat::folderExists(path("d2")));
    EXPECT_TRUE(plat::fileExists(path("d2\\f.txt")));
    EXPECT_FALSE(plat::folderExists(path("d2\\f.txt")));
}

TEST_F(Win32FileSystem, FoldersAndFreeSpace) {
    EXPECT_TRUE(plat::createFolder(path("x")));
    EXPECT_FALSE(plat::createFolder(path("x")));
    EXPECT_EQ(plat::lastError(), plat::kErrAlreadyExists);
    EXPECT_FALSE(plat::createFolder(path("y\\z")));
    EXPECT_EQ(plat::lastError(), plat::kErrPathNotFound);
    makeFile("x\\f", "");
    EXPECT_FALSE(plat::removeFolder(path("x")));
    EXPECT_TRUE(plat::deleteFile(path("x\\f")));
    EXPECT_TRUE(plat::removeFolder(path("x")));

    auto free = plat::freeSpace(scratch_);
    ASSERT_TRUE(free);
    EXPECT_GT(*free, 0u);
    // A target folder that does not exist yet is measured on its drive.
    auto planned = plat::freeSpace(path("not\\yet\\there"));
    ASSERT_TRUE(planned);
    EXPECT_NEAR(static_cast<double>(*planned), static_cast<double>(*free), 64.0 * 1024 * 1024);
    EXPECT_TRUE(plat::freeSpace(scratch_.substr(0, 3)));
}

} // namespace
