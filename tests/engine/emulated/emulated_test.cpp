// Engine behaviour that depends on the emulated Windows: its version, its
// Program Files folder and the free space of its drives.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "engine/EngineTestEnv.h"
#include "engine/ScriptInstall.h"
#include "engine/Steps.h"

#include "platform/Emulation.h"

namespace {

using enginetest::EngineEnv;
using setup::TFileHandler;
using setup::TScriptInstall;

class EmulatedTest : public EngineEnv {
  protected:
    void SetVersion(const char* version, const char* product) {
        const char* key = "Software\\Microsoft\\Windows NT\\CurrentVersion";
        SetRegistryString(plat::RegRoot::LocalMachine, key, "CurrentVersion", version);
        SetRegistryString(plat::RegRoot::LocalMachine, key, "ProductName", product);
    }
    TFileHandler copier_;
    TScriptInstall engine_{nullptr, copier_};
};

TEST_F(EmulatedTest, WinVersionAgainstTheRunningWindows) {
    SetVersion("5.1", "Microsoft Windows XP");
    EXPECT_TRUE(setup::CheckWinVersion("xp"));
    EXPECT_TRUE(setup::CheckWinVersion("2000, XP/Vista"));
    EXPECT_FALSE(setup::CheckWinVersion("2000"));
    EXPECT_TRUE(setup::CheckWinVersion(""));

    SetVersion("6.0", "Windows Vista (TM) Business");
    EXPECT_FALSE(setup::CheckWinVersion("2000"));
    EXPECT_TRUE(setup::CheckWinVersion("vista"));

    // Windows 7 is not tested: every part is installed there.
    SetVersion("6.1", "Windows 7 Professional");
    EXPECT_TRUE(setup::CheckWinVersion("2000"));
}

TEST_F(EmulatedTest, DefaultTargetFolderFromProgramFiles) {
    const std::string script = scratch_ + "install.ins";
    testenv::WriteFile(script, "[Project]\r\nName=Demo\r\n");
    engine_.LoadScript(script);
    EXPECT_EQ("C:\\Program Files\\Qorv\\XXX\\", engine_.TargetDir());

    plat::RegKey key;
    ASSERT_EQ(0u, key.open(plat::RegRoot::LocalMachine,
                           "Software\\Microsoft\\Windows\\CurrentVersion", plat::RegAccess::All));
    ASSERT_EQ(0u, key.deleteValue("ProgramFilesDir"));
    engine_.LoadScript(script);
    EXPECT_EQ("C:\\Programs\\Qorv\\XXX\\", engine_.TargetDir());
}

// Folders without a drive lie on the current folder's drive, which is Z: (the
// Linux file system) outside the root: nothing there may change, and a
// target folder there is refused before anything is written.
TEST_F(EmulatedTest, NothingOutsideTheRootChanges) {
    namespace fs = std::filesystem;
    const std::string victim = "/tmp/setup-victim-" + std::to_string(getpid());
    fs::create_directories(victim);
    testenv::WriteFile("Z:" + victim + "/keep.txt", "keep");
    std::string rooted = victim;
    for (char& c : rooted)
        if (c == '/') c = '\\';
    const fs::path before = fs::current_path();
    fs::current_path("/tmp");
    const std::string script = scratch_ + "install.ins";
    testenv::WriteFile(scratch_ + "new.txt", "new");
    testenv::WriteFile(script, "[Project]\r\nName=Victim\r\nPart1=A\r\n[A]\r\nDir=" + rooted +
                                   "\\\r\nDel1=*.*\r\nFile1=new.txt\r\nIcon=-\r\n");
    engine_.LoadScript(script);
    engine_.SetTargetDir("C:\\Apps\\Victim");
    engine_.RunInstallation(nullptr);
    EXPECT_EQ("keep", testenv::ReadFile("Z:" + victim + "/keep.txt"));
    EXPECT_FALSE(fs::exists(victim + "/new.txt"));

    engine_.LoadScript(script);
    engine_.SetTargetDir("Z:" + rooted + "\\target");
    EXPECT_FALSE(engine_.RunInstallation(nullptr));
    engine_.LoadScript(script);
    engine_.SetTargetDir("target");
    EXPECT_FALSE(engine_.RunInstallation(nullptr));
    fs::current_path(before);
    EXPECT_FALSE(fs::exists(victim + "/target"));
    EXPECT_FALSE(fs::exists("/tmp/target"));
    EXPECT_NE(
        std::string::npos,
        Log().find("\\rliegt auf einem Laufwerk, auf dem nichts ge\xC3\xA4ndert werden darf."))
        << Log();
    fs::remove_all(victim);
}

// Drive D: of the emulated Windows on a small file system of its own, so that
// the project can need exactly the free space. Needs the right to mount.
class DiskSpaceTest : public EmulatedTest {
  protected:
    void SetUp() override {
        EmulatedTest::SetUp();
        drive_ = plat::emulationRoot() + "/drive_d";
        std::filesystem::create_directories(drive_);
        mounted_ =
            std::system(("mount -t tmpfs -o size=1m tmpfs '" + drive_ + "' 2>/dev/null").c_str()) ==
            0;
    }
    void TearDown() override {
        if (mounted_) (void)std::system(("umount '" + drive_ + "'").c_str());
        EmulatedTest::TearDown();
    }
    std::string drive_;
    bool mounted_ = false;
};

TEST_F(DiskSpaceTest, BytesEqualToTheFreeSpaceFail) {
    if (!mounted_) GTEST_SKIP() << "cannot mount a small file system here";
    const std::optional<uint64_t> free = plat::freeSpace("D:\\");
    ASSERT_TRUE(free);
    const std::string script = scratch_ + "install.ins";
    testenv::WriteFile(script, "[Project]\r\nName=P\r\nBytes=" + std::to_string(*free) + "\r\n");
    engine_.LoadScript(script);
    engine_.SetTargetDir("d:\\App");
    EXPECT_FALSE(setup::CheckDiskSpace(engine_.Context()));
    EXPECT_NE(std::string::npos, Log().find("Auf dem Laufwerk D: ist nicht gen")) << Log();

    testenv::WriteFile(script,
                       "[Project]\r\nName=P\r\nBytes=" + std::to_string(*free - 1) + "\r\n");
    engine_.LoadScript(script);
    engine_.SetTargetDir("d:\\App");
    EXPECT_TRUE(setup::CheckDiskSpace(engine_.Context()));
}

} // namespace
