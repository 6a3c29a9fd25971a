// The emulated Windows of the Linux build: root layout, registry.reg, paths,
// attributes, version and the terminal prompt.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/Dialogs.h"
#include "platform/Emulation.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "platform/Time.h"
#include "support/TestEnv.h"

namespace {

using namespace plat;
namespace fs = std::filesystem;

std::string slurp(const std::string& linuxPath) {
    std::ifstream in(linuxPath, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void spit(const std::string& linuxPath, const std::string& bytes) {
    std::ofstream out(linuxPath, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string queryString(RegRoot root, const std::string& path, const std::string& name) {
    RegKey key;
    std::string value;
    if (key.open(root, path, RegAccess::Read) != kErrSuccess) return "<no key>";
    if (key.queryString(name, value) != kErrSuccess) return "<no value>";
    return value;
}

class EmulationTest : public testenv::FreshEnv {
  protected:
    std::string root() const { return emulationRoot(); }
    std::string registryFile() const { return root() + "/registry.reg"; }

    // Replaces the root by one that has only the given registry.reg.
    void useExistingRoot(const std::string& registry) {
        const std::string dir = std::getenv("SETUP_ROOT");
        fs::remove_all(dir);
        fs::create_directories(dir);
        spit(dir + "/registry.reg", registry);
        resetEmulation();
    }
};

TEST_F(EmulationTest, NewRootIsLaidOutLikeAFreshWindows) {
    const std::string base = root();
    EXPECT_EQ(base, std::getenv("SETUP_ROOT"));
    for (const char* folder : {"Windows/System32", "Windows/Fonts", "Program Files",
                               "Users/User/AppData/Roaming/Microsoft/Windows/Start Menu/Programs",
                               "ProgramData/Microsoft/Windows/Start Menu/Programs"})
        EXPECT_TRUE(fs::is_directory(base + "/drive_c/" + folder)) << folder;
    EXPECT_TRUE(folderExists(windowsDirectory()));
    EXPECT_TRUE(folderExists(systemDirectory()));

    const std::string cv = "Software\\Microsoft\\Windows\\CurrentVersion";
    const std::string sf = cv + "\\Explorer\\Shell Folders";
    const std::string userMenu =
        "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
    const std::string commonMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
    EXPECT_EQ(queryString(RegRoot::LocalMachine, cv, "ProgramFilesDir"), "C:\\Program Files");
    EXPECT_EQ(queryString(RegRoot::CurrentUser, sf, "Start Menu"), userMenu);
    EXPECT_EQ(queryString(RegRoot::CurrentUser, sf, "Programs"), userMenu + "\\Programs");
    EXPECT_EQ(queryString(RegRoot::LocalMachine, sf, "Common Start Menu"), commonMenu);
    EXPECT_EQ(queryString(RegRoot::LocalMachine, sf, "Common Programs"), commonMenu + "\\Programs");

    const std::string text = slurp(registryFile());
    EXPECT_EQ(text.rfind("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft", 0), 0u);
    EXPECT_NE(text.find("\"ProgramFilesDir\"=\"C:\\\\Program Files\"\r\n"), std::string::npos);
    std::string problem;
    EXPECT_FALSE(emulationProblem(problem)) << problem;
}

TEST_F(EmulationTest, ExistingRootKeepsItsRegistryAsWritten) {
    // Hand-written: LF line ends, other value kinds, a continuation line.
    const std::string original =
        "REGEDIT4\n\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion]\n"
        "\"CurrentVersion\"=\"5.1\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Demo]\n"
        "\"Bin\"=hex:01,02,ff,\\\n  10\n"
        "\"Expand\"=hex(2):25,57,49,4e,25,00\n"
        "\"Multi\"=hex(7):61,00,62,00,00\n";
    useExistingRoot(original);
    EXPECT_EQ(queryString(RegRoot::CurrentUser, "Software\\Demo", "Expand"), "%WIN%");
    EXPECT_TRUE(fs::is_directory(root() + "/drive_c/Windows/System32"));
    EXPECT_FALSE(fs::exists(root() + "/drive_c/Program Files"));
    EXPECT_EQ(queryString(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                          "ProgramFilesDir"),
              "<no key>");
    EXPECT_EQ(slurp(registryFile()), original);

    RegKey key;
    ASSERT_EQ(key.open(RegRoot::CurrentUser, "Software\\Demo", RegAccess::All), kErrSuccess);
    EXPECT_EQ(key.valueType("bin"), RegType::Binary);
    EXPECT_EQ(key.valueType("Expand"), RegType::ExpandString);
    ASSERT_EQ(key.setDword("New", 31), kErrSuccess);
    const std::string written = slurp(registryFile());
    EXPECT_NE(written.find("\"Bin\"=hex:01,02,ff,\\\r\n  10\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("\"Multi\"=hex(7):61,00,62,00,00\r\n"), std::string::npos);
    EXPECT_NE(written.find("\"New\"=dword:0000001f\r\n"), std::string::npos);
}

TEST_F(EmulationTest, RegistryFileIsPlainRegedit4) {
    RegKey key;
    ASSERT_EQ(key.open(RegRoot::ClassesRoot, ".abc", RegAccess::All, true), kErrSuccess);
    ASSERT_EQ(key.setString("", "ABC \"File\""), kErrSuccess);
    ASSERT_EQ(key.open(RegRoot::LocalMachine, "Software\\Qorv\\Installs", RegAccess::All, true),
              kErrSuccess);
    ASSERT_EQ(key.setString("Path", "C:\\Pro\xE4gramme\\"), kErrSuccess);
    ASSERT_EQ(key.setDword("Count", 0x1f), kErrSuccess);
    ASSERT_EQ(key.setString("Lines", "a\r\nb"), kErrSuccess);

    const std::string text = slurp(registryFile());
    EXPECT_NE(
        text.find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\.abc]\r\n@=\"ABC \\\"File\\\"\"\r\n"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Qorv\\Installs]\r\n"
                        "\"Path\"=\"C:\\\\Pro\xE4gramme\\\\\"\r\n"
                        "\"Count\"=dword:0000001f\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("HKEY_CLASSES_ROOT"), std::string::npos);
    // Every line ends with CR LF; line breaks inside a value do not break the file.
    for (size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
        EXPECT_EQ(text[i - 1], '\r');

    // Another process (here: a fresh start) reads the same values back.
    resetEmulation();
    EXPECT_EQ(queryString(RegRoot::LocalMachine, "software\\qorv\\installs", "lines"), "a\r\nb");
    EXPECT_EQ(queryString(RegRoot::ClassesRoot, ".ABC", ""), "ABC \"File\"");
}

TEST_F(EmulationTest, ChangesByAnotherProcessAreReadBeforeWriting) {
    RegKey key;
    ASSERT_EQ(key.open(RegRoot::CurrentUser, "Software\\Shared", RegAccess::All, true),
              kErrSuccess);
    ASSERT_EQ(key.setString("Mine", "1"), kErrSuccess);
    // Another program rewrites the file in between.
    std::string text = slurp(registryFile());
    text += "[HKEY_CURRENT_USER\\Software\\Shared]\r\n\"Theirs\"=\"2\"\r\n\r\n";
    spit(registryFile() + ".new", text);
    fs::rename(registryFile() + ".new", registryFile());

    ASSERT_EQ(key.setString("Mine", "3"), kErrSuccess);
    resetEmulation();
    EXPECT_EQ(queryString(RegRoot::CurrentUser, "Software\\Shared", "Theirs"), "2");
    EXPECT_EQ(queryString(RegRoot::CurrentUser, "Software\\Shared", "Mine"), "3");
}

TEST_F(EmulationTest, GarbageRegistryIsReportedAndNeverOverwritten) {
    const std::string garbage = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n"
                                "\"ok\"=\"1\"\r\nthis is not a value\r\n";
    useExistingRoot(garbage);
    std::string message;
    ASSERT_TRUE(emulationProblem(message));
    EXPECT_NE(message.find(registryFile()), std::string::npos) << message;
    EXPECT_NE(message.find("Zeile 5"), std::string::npos) << message;

    RegKey key;
    EXPECT_EQ(key.open(RegRoot::CurrentUser, "Software\\A", RegAccess::Read), 1009u);
    EXPECT_EQ(key.open(RegRoot::CurrentUser, "Software\\B", RegAccess::All, true), 1009u);
    EXPECT_FALSE(regKeyExists(RegRoot::CurrentUser, "Software"));
    OsVersion version;
    EXPECT_TRUE(getOsVersion(version)); // the defaults
    EXPECT_EQ(slurp(registryFile()), garbage);

    // Mended by hand, it is used again.
    spit(registryFile(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n\"ok\"=\"1\"\r\n");
    EXPECT_FALSE(emulationProblem(message));
    EXPECT_EQ(queryString(RegRoot::CurrentUser, "Software\\A", "ok"), "1");

    for (const char* bad : {"not a registry\r\n", "REGEDIT4\r\n\"x\"=\"outside a key\"\r\n",
                            "REGEDIT4\r\n[HKEY_NOWHERE\\A]\r\n",
                            "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=dword:xyz\r\n",
                            "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"open\r\n"}) {
        useExistingRoot(bad);
        EXPECT_TRUE(emulationProblem(message)) << bad;
        EXPECT_EQ(slurp(registryFile()), bad);
    }
}

// registry.reg is never written in a form it cannot be read back from.
TEST_F(EmulationTest, NamesTheFileCannotHoldAreRefused) {
    RegKey key;
    EXPECT_EQ(key.open(RegRoot::LocalMachine, "Software\\A]\n[HKEY_LOCAL_MACHINE\\Software\\Evil",
                       RegAccess::All, true),
              87u);
    EXPECT_EQ(key.open(RegRoot::LocalMachine, "Software\\Bell\a", RegAccess::All, true), 87u);
    EXPECT_FALSE(regKeyExists(RegRoot::LocalMachine, "Software\\A]"));
    ASSERT_EQ(key.open(RegRoot::LocalMachine, "Software\\Odd]\tName\"", RegAccess::All, true),
              kErrSuccess);
    ASSERT_EQ(key.setString("line\r\nbreak\\n", "1"), kErrSuccess);
    ASSERT_EQ(key.setString("\"quoted\"", "2"), kErrSuccess);
    EXPECT_EQ(key.setString("bell\a", "3"), 87u);
    EXPECT_EQ(key.setDword(std::string("nul\0", 4), 4), 87u);

    resetEmulation();
    std::string message;
    EXPECT_FALSE(emulationProblem(message)) << message;
    EXPECT_EQ(queryString(RegRoot::LocalMachine, "Software\\Odd]\tName\"", "line\r\nbreak\\n"),
              "1");
    EXPECT_EQ(queryString(RegRoot::LocalMachine, "Software\\Odd]\tName\"", "\"quoted\""), "2");
    EXPECT_EQ(queryString(RegRoot::LocalMachine, "Software\\Evil", ""), "<no key>");
}

// Keys as deep as Windows allows work; deeper ones and longer names are
// refused, also in registry.reg, where nothing walks the depth recursively.
TEST_F(EmulationTest, KeyDepthAndNameLengthHaveWindowsLimits) {
    std::string deepest = "a";
    for (int i = 1; i < 512; ++i)
        deepest += "\\a";
    RegKey key;
    ASSERT_EQ(key.open(RegRoot::CurrentUser, deepest, RegAccess::All, true), kErrSuccess);
    ASSERT_EQ(key.setString("v", "deep"), kErrSuccess);
    EXPECT_EQ(key.open(RegRoot::CurrentUser, deepest + "\\a", RegAccess::All, true), 87u);
    EXPECT_EQ(
        key.open(RegRoot::CurrentUser, "Software\\" + std::string(256, 'n'), RegAccess::All, true),
        87u);
    ASSERT_EQ(
        key.open(RegRoot::CurrentUser, "Software\\" + std::string(255, 'n'), RegAccess::All, true),
        kErrSuccess);
    resetEmulation();
    EXPECT_EQ(queryString(RegRoot::CurrentUser, deepest, "v"), "deep");

    std::string huge = "a";
    for (int i = 1; i < 100000; ++i)
        huge += "\\a";
    EXPECT_EQ(key.open(RegRoot::CurrentUser, huge, RegAccess::All, true), 87u);
    EXPECT_EQ(key.open(RegRoot::CurrentUser, huge, RegAccess::Read), kErrFileNotFound);

    for (const std::string& bad :
         {"REGEDIT4\r\n[HKEY_CURRENT_USER\\" + huge + "]\r\n\"v\"=\"1\"\r\n",
          "REGEDIT4\r\n[HKEY_CURRENT_USER\\" + std::string(256, 'n') + "]\r\n"}) {
        useExistingRoot(bad);
        std::string message;
        EXPECT_TRUE(emulationProblem(message));
        EXPECT_NE(message.find("Zeile 2"), std::string::npos) << message;
    }
}

TEST_F(EmulationTest, VersionComesFromTheEmulatedRegistry) {
    OsVersion v;
    ASSERT_TRUE(getOsVersion(v));
    EXPECT_EQ(v.platformId, 2u);
    EXPECT_EQ(v.major, 6u);
    EXPECT_EQ(v.minor, 1u);
    EXPECT_FALSE(isWow64Process());

    RegKey nt;
    ASSERT_EQ(nt.open(RegRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                      RegAccess::All, true),
              kErrSuccess);
    ASSERT_EQ(nt.setString("CurrentVersion", "5.1"), kErrSuccess);
    ASSERT_EQ(nt.setDword("Wow64", 1), kErrSuccess);
    ASSERT_TRUE(getOsVersion(v));
    EXPECT_EQ(v.major, 5u);
    EXPECT_EQ(v.minor, 1u);
    EXPECT_TRUE(isWow64Process());

    RegKey old;
    ASSERT_EQ(old.open(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                       RegAccess::All),
              kErrSuccess);
    ASSERT_EQ(old.setString("CurrentVersion", "4.10"), kErrSuccess);
    ASSERT_TRUE(getOsVersion(v));
    EXPECT_EQ(v.platformId, 1u);
    EXPECT_EQ(v.major, 4u);
    EXPECT_EQ(v.minor, 10u);
    EXPECT_FALSE(isWow64Process());
}

TEST_F(EmulationTest, DrivesMapOntoTheRootAndLinux) {
    EXPECT_EQ(testenv::Native("C:\\Windows"), root() + "/drive_c/Windows");
    EXPECT_EQ(testenv::Native("c:/windows/SYSTEM32"), root() + "/drive_c/Windows/System32");
    EXPECT_EQ(testenv::Native("C:\\Windows\\..\\..\\New Folder\\x.txt"),
              root() + "/drive_c/New Folder/x.txt");
    EXPECT_EQ(testenv::Native("Z:\\tmp"), "/tmp");
    EXPECT_EQ(testenv::Native("Z:\\"), "/");
    EXPECT_TRUE(folderExists("Z:\\TMP"));

    EXPECT_FALSE(folderExists("D:\\"));
    EXPECT_FALSE(createFolder("D:\\x"));
    EXPECT_EQ(lastError(), kErrPathNotFound);
    fs::create_directories(root() + "/drive_d");
    EXPECT_TRUE(createFolder("d:\\Data"));
    EXPECT_TRUE(fs::is_directory(root() + "/drive_d/Data"));
    EXPECT_FALSE(createFolder("C:\\bad|name"));

    EXPECT_EQ(toWindowsPath("/home/a/x.ins"), "Z:\\home\\a\\x.ins");
    const std::string cwd = fs::current_path().string();
    EXPECT_EQ(toWindowsPath("sub/../x.ins"), toWindowsPath(cwd + "/x.ins"));
    EXPECT_EQ(toWindowsPath("/tmp/\xC3\xA4.ins"), "Z:\\tmp\\\xE4.ins");
    const std::string program = programPath();
    EXPECT_EQ(program.rfind("Z:\\", 0), 0u) << program;
    EXPECT_TRUE(fileExists(program));
}

TEST_F(EmulationTest, ZIsReadOnly) {
    // A folder of the Linux file system outside the root, reached as Z:.
    const std::string outside = fs::temp_directory_path() / ("setup-z-" + std::to_string(getpid()));
    fs::create_directories(outside + "/sub");
    spit(outside + "/old.txt", "old");
    const std::string z = toWindowsPath(outside) + "\\";
    ASSERT_EQ(z.rfind("Z:\\", 0), 0u) << z;

    // Reading stays.
    File in;
    ASSERT_TRUE(in.open(z + "old.txt", OpenMode::Read));
    char buffer[8];
    EXPECT_EQ(in.read(buffer, sizeof buffer), 3);
    EXPECT_FALSE(in.setTimes(std::nullopt, std::nullopt, FileTime{130000000000000000}));
    EXPECT_EQ(in.lastError(), kErrAccessDenied);
    in.close();
    EXPECT_TRUE(fileExists(z + "OLD.TXT"));
    EXPECT_TRUE(readOnlyDrive(z + "old.txt"));
    EXPECT_FALSE(readOnlyDrive("C:\\Windows"));

    // Every change fails with a denied access, and nothing changes on disk.
    auto denied = [](bool ok) { return !ok && lastError() == kErrAccessDenied; };
    for (OpenMode mode : {OpenMode::Write, OpenMode::CreateAlways, OpenMode::CreateNew}) {
        File out;
        EXPECT_TRUE(denied(out.open(z + "old.txt", mode)));
        EXPECT_TRUE(denied(out.open(z + "new.txt", mode)));
    }
    EXPECT_TRUE(denied(deleteFile(z + "old.txt")));
    EXPECT_TRUE(denied(moveFile(z + "old.txt", z + "moved.txt", false)));
    EXPECT_TRUE(denied(moveFile(z + "old.txt", "C:\\moved.txt", false)));
    spit(root() + "/drive_c/in.txt", "in");
    EXPECT_TRUE(denied(moveFile("C:\\in.txt", z + "in.txt", false)));
    EXPECT_TRUE(denied(setAttributes(z + "old.txt", kAttrReadOnly)));
    EXPECT_TRUE(denied(createFolder(z + "new")));
    EXPECT_TRUE(denied(removeFolder(z + "sub")));
    // A path without a drive is on the current folder's drive, here Z:.
    const fs::path before = fs::current_path();
    fs::current_path(outside);
    EXPECT_TRUE(denied(deleteFile("\\" + outside.substr(1) + "\\old.txt")));
    EXPECT_TRUE(denied(createFolder("rel")));
    fs::current_path(before);

    EXPECT_EQ(slurp(outside + "/old.txt"), "old");
    EXPECT_TRUE(fs::exists(outside + "/sub"));
    for (const char* name : {"/new.txt", "/moved.txt", "/in.txt", "/new", "/rel"})
        EXPECT_FALSE(fs::exists(outside + name)) << name;
    EXPECT_TRUE(fs::exists(root() + "/drive_c/in.txt"));
    fs::remove_all(outside);
}

TEST_F(EmulationTest, LinuxPathsInsideTheRootNameTheirDrive) {
    EXPECT_EQ(toWindowsPath(root() + "/drive_c/Apps/X"), "C:\\Apps\\X");
    EXPECT_EQ(toWindowsPath(root() + "/drive_c"), "C:\\");
    EXPECT_EQ(
        toWindowsPath(root() + "/drive_d/Data"), "Z:" + [&] {
            std::string z;
            for (char c : root() + "/drive_d/Data")
                z += c == '/' ? '\\' : c;
            return z;
        }()); // no drive D: yet
    fs::create_directories(root() + "/drive_d");
    EXPECT_EQ(toWindowsPath(root() + "/drive_d/Data"), "D:\\Data");
    EXPECT_EQ(toWindowsPath(root() + "/drive_cx/a").rfind("Z:\\", 0), 0u);
    EXPECT_EQ(toWindowsPath("D:\\Data"), "D:\\Data"); // already a Windows path
}

TEST_F(EmulationTest, CaseLookupsSeeChangesOfOtherPrograms) {
    const std::string dir = testenv::Native(scratch_);
    EXPECT_FALSE(fileExists(scratch_ + "A.TXT")); // the folder is listed now
    spit(dir + "/a.txt", "1");                    // another program, at once
    EXPECT_TRUE(fileExists(scratch_ + "A.TXT"));
    fs::rename(dir + "/a.txt", dir + "/b.txt");
    EXPECT_FALSE(fileExists(scratch_ + "A.TXT"));
    EXPECT_TRUE(fileExists(scratch_ + "B.TXT"));
    // The folder itself replaced by another of the same name.
    fs::rename(dir, dir + ".old");
    fs::create_directories(dir);
    spit(dir + "/c.txt", "2");
    EXPECT_FALSE(fileExists(scratch_ + "B.TXT"));
    EXPECT_TRUE(fileExists(scratch_ + "C.TXT"));
    // Changes of this program keep the listing right.
    File f;
    ASSERT_TRUE(f.open(scratch_ + "New.txt", OpenMode::CreateNew));
    f.close();
    EXPECT_TRUE(fileExists(scratch_ + "NEW.TXT"));
    ASSERT_TRUE(moveFile(scratch_ + "new.txt", scratch_ + "Renamed.txt", false));
    EXPECT_FALSE(fileExists(scratch_ + "NEW.TXT"));
    EXPECT_TRUE(fileExists(scratch_ + "RENAMED.TXT"));
    ASSERT_TRUE(deleteFile(scratch_ + "renamed.TXT"));
    EXPECT_FALSE(fileExists(scratch_ + "RENAMED.TXT"));
}

// The listing takes this program's changes at once and recognises their
// events when it reads them later; another program's change in between, even
// of the same name, still makes it read the folder again.
TEST_F(EmulationTest, CaseLookupsTellOwnChangesFromOthersReadLater) {
    const std::string dir = testenv::Native(scratch_);
    EXPECT_FALSE(fileExists(scratch_ + "NEW.TXT")); // the folder is listed now
    File f;
    ASSERT_TRUE(f.open(scratch_ + "New.txt", OpenMode::CreateNew));
    f.close();
    fs::remove(dir + "/New.txt"); // another program, before any lookup
    EXPECT_FALSE(fileExists(scratch_ + "NEW.TXT"));

    ASSERT_TRUE(f.open(scratch_ + "Old.txt", OpenMode::CreateNew));
    f.close();
    ASSERT_TRUE(moveFile(scratch_ + "OLD.TXT", scratch_ + "Moved.txt", false));
    spit(dir + "/old.TXT", "again"); // the old name made anew by another program
    EXPECT_TRUE(fileExists(scratch_ + "OLD.txt"));
    EXPECT_TRUE(fileExists(scratch_ + "MOVED.TXT"));
    ASSERT_TRUE(deleteFile(scratch_ + "moved.txt"));
    EXPECT_FALSE(fileExists(scratch_ + "MOVED.TXT"));
    spit(dir + "/Moved.txt", "back");
    EXPECT_TRUE(fileExists(scratch_ + "moved.TXT"));

    // Many changes of this program in a row keep the listing right.
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(f.open(scratch_ + "f" + std::to_string(i) + ".tmp", OpenMode::CreateNew));
        f.close();
        ASSERT_TRUE(moveFile(scratch_ + "F" + std::to_string(i) + ".TMP",
                             scratch_ + "g" + std::to_string(i) + ".dat", true));
    }
    EXPECT_FALSE(fileExists(scratch_ + "F7.TMP"));
    EXPECT_TRUE(fileExists(scratch_ + "G299.DAT"));
    size_t onDisk = 0;
    for (const auto& entry : fs::directory_iterator(dir))
        onDisk += entry.path().filename().string().starts_with("g");
    EXPECT_EQ(onDisk, 300u);
}

// A forked child reads change events of its own: what it reads is not lost
// to the parent, whose listings then still see the child's changes.
TEST_F(EmulationTest, CaseLookupsOfAForkedChildLeaveTheParentsListingsRight) {
    EXPECT_FALSE(fileExists(scratch_ + "CHILD.TXT")); // the folder is listed now
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        File f;
        const bool made = f.open(scratch_ + "Child.txt", OpenMode::CreateNew);
        f.close();
        _exit(made && fileExists(scratch_ + "CHILD.txt") ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fileExists(scratch_ + "child.TXT"));
    EXPECT_TRUE(fileExists(scratch_ + "Child.txt"));
}

TEST_F(EmulationTest, LookupsInAnotherCaseReportTheFileFound) {
    const std::string dir = testenv::Native(scratch_);
    fs::create_directories(dir + "/Dir/Sub");
    spit(dir + "/Dir/Sub/file.txt", "12345");
    spit(dir + "/Dir/plain", "1");
    const std::string mixed = scratch_ + "DIR\\sub\\FILE.TXT";
    const std::optional<DirEntry> entry = statPath(mixed);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, "file.txt");
    EXPECT_EQ(entry->size, 5u);
    EXPECT_TRUE(fileExists(mixed));
    EXPECT_FALSE(folderExists(mixed));
    EXPECT_TRUE(folderExists(scratch_ + "dir\\SUB"));
    // A file in the middle of a path is no folder.
    EXPECT_FALSE(fileExists(scratch_ + "dir\\PLAIN\\file.txt"));
    EXPECT_FALSE(statPath(scratch_ + "DIR\\PLAIN\\x"));
    File f;
    ASSERT_TRUE(f.open(mixed, OpenMode::Read));
    EXPECT_EQ(f.size(), 5u);
}

TEST_F(EmulationTest, BlockCopiesFromFilesOfUnknownSizeGoThroughTheBuffer) {
    // /proc reports no size: the kernel copy gives nothing and the buffer,
    // never more than it holds, carries the text.
    File in, out;
    ASSERT_TRUE(in.open("Z:\\proc\\self\\status", OpenMode::Read));
    ASSERT_TRUE(out.open(scratch_ + "status.txt", OpenMode::CreateNew));
    char buffer[16 + 1] = {};
    int64_t total = 0;
    for (int64_t n; (n = out.copyFrom(in, 1u << 20, buffer, 16)) != 0; total += n)
        ASSERT_TRUE(n > 0 && n <= 16) << n;
    EXPECT_EQ(buffer[16], '\0');
    out.close();
    const std::string text = slurp(testenv::Native(scratch_ + "status.txt"));
    EXPECT_EQ(static_cast<int64_t>(text.size()), total);
    EXPECT_EQ(text.rfind("Name:", 0), 0u) << text;
}

TEST_F(EmulationTest, RegistryChangesAreInPlaceBeforeTheyAreFlushed) {
    RegKey key;
    ASSERT_EQ(key.open(RegRoot::CurrentUser, "Software\\Flush", RegAccess::All, true), kErrSuccess);
    ASSERT_EQ(key.setString("A", "1"), kErrSuccess);
    EXPECT_NE(slurp(registryFile()).find("\"A\"=\"1\""), std::string::npos);
    for (const auto& e : fs::directory_iterator(root()))
        EXPECT_EQ(e.path().filename().string().rfind("registry.reg.", 0), std::string::npos)
            << e.path();
    flushRegistry();
    flushRegistry(); // nothing left to flush
    resetEmulation();
    EXPECT_EQ(queryString(RegRoot::CurrentUser, "Software\\Flush", "A"), "1");
}

TEST_F(EmulationTest, AttributesLiveBesideTheUnixPermissions) {
    const std::string file = scratch_ + "a.txt";
    testenv::WriteFile(file, "x");
    ASSERT_TRUE(setAttributes(file, kAttrHidden | kAttrReadOnly));
    struct stat st;
    ASSERT_EQ(stat(testenv::Native(file).c_str(), &st), 0);
    EXPECT_FALSE(st.st_mode & S_IWUSR);
    ASSERT_TRUE(setAttributes(file, kAttrHidden));
    EXPECT_EQ(*getAttributes(file), kAttrHidden);
    // A write sets archive again, as Windows does.
    File f;
    ASSERT_TRUE(f.open(file, OpenMode::Write));
    EXPECT_EQ(*getAttributes(file), kAttrHidden | kAttrArchive);
    f.close();
    // CreateAlways does not replace a hidden file.
    EXPECT_FALSE(f.open(file, OpenMode::CreateAlways));
    EXPECT_EQ(f.lastError(), kErrAccessDenied);
    // A folder marked read-only stays usable.
    ASSERT_TRUE(setAttributes(scratch_, kAttrReadOnly));
    EXPECT_EQ(*getAttributes(scratch_), kAttrDirectory | kAttrReadOnly);
    EXPECT_TRUE(createFolder(scratch_ + "inner"));
}

// The attribute record of a file whose status has settled is read once; any
// later change, by this program or another, is seen at the next look.
TEST_F(EmulationTest, AttributesOfSettledFilesFollowEveryChange) {
    const std::string file = scratch_ + "old.txt";
    testenv::WriteFile(file, "x");
    std::this_thread::sleep_for(std::chrono::milliseconds(2100)); // settled
    EXPECT_EQ(*getAttributes(file), kAttrArchive);
    const std::string native = testenv::Native(file);
    ASSERT_EQ(setxattr(native.c_str(), "user.setup.attributes", "2", 1, 0), 0); // another program
    EXPECT_EQ(*getAttributes(file), kAttrHidden);
    DirSearch search;
    ASSERT_TRUE(search.first(scratch_ + "*.txt"));
    EXPECT_EQ(search.entry().attributes, kAttrHidden);
    ASSERT_TRUE(setAttributes(file, kAttrSystem));
    EXPECT_EQ(statPath(file)->attributes, kAttrSystem);
    ASSERT_EQ(removexattr(native.c_str(), "user.setup.attributes"), 0);
    EXPECT_EQ(*getAttributes(file), kAttrArchive);
}

TEST_F(EmulationTest, LocalTimeFollowsTz) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    DateTime summer{2020, 7, 1, 12, 30, 15, 250};
    const std::optional<FileTime> t = localToFileTime(summer);
    ASSERT_TRUE(t);
    // 2020-07-01 10:30:15.250 UTC
    EXPECT_EQ(*t, 132380730152500000ULL);
    const std::optional<DateTime> back = fileTimeToLocal(*t);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->hour, 12);
    EXPECT_EQ(back->millisecond, 250);
    EXPECT_FALSE(localToFileTime(DateTime{2021, 2, 29, 0, 0, 0, 0}));
    EXPECT_FALSE(localToFileTime(DateTime{2021, 13, 1, 0, 0, 0, 0}));
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST_F(EmulationTest, TerminalPromptReadsTheChoice) {
    const std::string input = testenv::Native(scratch_ + "input.txt");
    const int savedIn = dup(STDIN_FILENO);
    const int savedErr = dup(STDERR_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDERR_FILENO);
    auto answer = [&](const std::string& typed, auto&& show) {
        spit(input, typed);
        const int fd = open(input.c_str(), O_RDONLY);
        dup2(fd, STDIN_FILENO);
        close(fd);
        clearerr(stdin);
        return show();
    };
    auto yesNoCancel = [] { return messageBox(0, "Weiter?", "Setup", 3); };
    EXPECT_EQ(answer("2\n", yesNoCancel), kIdNo);
    EXPECT_EQ(answer("j\n", yesNoCancel), kIdYes);
    EXPECT_EQ(answer("\n", [] { return messageBox(0, "x", "y", 4 | 0x100); }), kIdNo);
    EXPECT_EQ(answer("", yesNoCancel), kIdCancel);
    EXPECT_EQ(answer("?\nnein\n", yesNoCancel), kIdNo);
    const std::vector<DialogButton> buttons{{"&Ja", kIdYes}, {"A&lle", kIdAll}, {"&Nein", kIdNo}};
    EXPECT_EQ(answer("l\n", [&] { return buttonDialog("t", "x", true, buttons, kIdCancel); }),
              kIdAll);
    EXPECT_EQ(answer("", [&] { return buttonDialog("t", "x", true, buttons, kIdCancel); }),
              kIdCancel);
    dup2(savedIn, STDIN_FILENO);
    dup2(savedErr, STDERR_FILENO);
    close(savedIn);
    close(savedErr);
    close(devNull);
    clearerr(stdin);
}

} // namespace
