#include <gtest/gtest.h>

#include "common/RegistryAccess.h"
#include "common/WinInfo.h"
#include "support/TestEnv.h"

using namespace setup;
using plat::RegRoot;

namespace {

class RegistryAccess : public testenv::FreshEnv {
  protected:
    void SetUp() override {
        FreshEnv::SetUp();
        SetApplicationKey("SETUP.EXE");
    }
};

} // namespace

TEST(RegistryNotation, EveryRootLetter) {
    SetApplicationKey("SETUP.EXE");
    EXPECT_EQ(ApplicationKey(), "Qorv\\Setup.exe\\");
    struct Case {
        const char* path;
        RegRoot root;
        const char* key;
    } cases[] = {
        {"A\\X", RegRoot::CurrentUser, "\\Software\\Qorv\\Tarvel.Exe\\Projects\\Proj\\X"},
        {"C\\.txt", RegRoot::ClassesRoot, "\\.txt"},
        {"E\\X", RegRoot::CurrentUser, "\\Software\\Qorv\\X"},
        {"F\\", RegRoot::CurrentUser,
         "\\Software\\Microsoft\\Windows\\Currentversion\\Explorer\\Shell Folders\\"},
        {"H\\X", RegRoot::LocalMachine, "\\Software\\Qorv\\Tarvel.Exe\\X"},
        {"K\\X", RegRoot::LocalMachine, "\\Software\\Classes\\X"},
        {"M\\SYSTEM", RegRoot::LocalMachine, "\\SYSTEM"},
        {"P\\X", RegRoot::LocalMachine, "\\Software\\Qorv\\Tarvel.Exe\\Projects\\Proj\\X"},
        {"r\\Installs\\", RegRoot::LocalMachine, "\\Software\\Qorv\\Installs\\"},
        {"U\\Software\\X", RegRoot::CurrentUser, "\\Software\\X"},
        {"v\\Uninstall", RegRoot::LocalMachine,
         "\\Software\\Microsoft\\Windows\\Currentversion\\Uninstall"},
        {"Z\\.txt", RegRoot::CurrentUser, "\\Software\\Classes\\.txt"},
        {"Q\\X", RegRoot::CurrentUser, "\\X"},
        {"Settings", RegRoot::CurrentUser, "\\Software\\Qorv\\Setup.exe\\Settings"},
        {"S", RegRoot::CurrentUser, "\\Software\\Qorv\\Setup.exe\\S"},
        {"", RegRoot::CurrentUser, "\\Software\\Qorv\\Setup.exe\\"},
    };
    for (const Case& c : cases) {
        RegRoot root = RegRoot::ClassesRoot;
        std::string key;
        DecodeRegistryPath(c.path, root, key, "Proj");
        EXPECT_EQ(root, c.root) << c.path;
        EXPECT_EQ(key, c.key) << c.path;
    }
}

TEST_F(RegistryAccess, RoundTripsThroughTheNotation) {
    WriteRegistryString("U\\Software\\SetupTest\\Strings", "Name", "M\xFCller");
    EXPECT_EQ(ReadRegistryString("U\\Software\\SetupTest\\Strings", "Name", "def"), "M\xFCller");
    // A trailing backslash is retried without it.
    EXPECT_EQ(ReadRegistryString("u\\Software\\SetupTest\\Strings\\", "Name", "def"), "M\xFCller");
    // Missing key, missing value and an empty value give the default.
    EXPECT_EQ(ReadRegistryString("U\\Software\\SetupTest\\Nothing", "Name", "def"), "def");
    EXPECT_EQ(ReadRegistryString("U\\Software\\SetupTest\\Strings", "Other", "def"), "def");
    WriteRegistryString("U\\Software\\SetupTest\\Strings", "Empty", "");
    EXPECT_EQ(ReadRegistryString("U\\Software\\SetupTest\\Strings", "Empty", "def"), "def");

    WriteRegistryInteger("R\\SetupTest", "Count", -2);
    EXPECT_EQ(ReadRegistryInteger("R\\SetupTest", "Count", 7), -2);
    EXPECT_EQ(ReadRegistryInteger("R\\SetupTest", "Missing", 7), 7);
    // A text is not an integer.
    EXPECT_EQ(ReadRegistryInteger("U\\Software\\SetupTest\\Strings", "Name", 7), 7);

    // Unrooted paths lie below the application key.
    WriteRegistryString("Settings", "Dir", "C:\\X");
    EXPECT_EQ(ReadRegistryString("U\\Software\\Qorv\\Setup.exe\\Settings", "Dir", ""), "C:\\X");
}

TEST_F(RegistryAccess, ShortNameSwitch) {
    WriteRegistryInteger("M\\SYSTEM\\CurrentControlSet\\Control\\FileSystem",
                         "NtfsDisable8dot3NameCreation", 1);
    EXPECT_FALSE(ShortNamesEnabled());
    EnableShortNames();
    EXPECT_TRUE(ShortNamesEnabled());
}

TEST_F(RegistryAccess, WindowsVersionIsAKnownCode) {
    const int v = WindowsVersion();
    EXPECT_TRUE(v == 1 || v == 3 || v == 4 || (v >= 6 && v <= 17)) << v;
    EXPECT_FALSE(SysErrorText(2).empty());
    EXPECT_FALSE(SysErrorText(0xDEADBEEF).empty());
}

TEST_F(RegistryAccess, ReadingANumberCreatesNoKey) {
    // A read leaves the registry as it was: a missing key gives the default.
    EXPECT_EQ(7, ReadRegistryInteger("U\\Software\\Qorv\\NieAngelegt", "Zahl", 7));
    EXPECT_FALSE(plat::regKeyExists(RegRoot::CurrentUser, "Software\\Qorv\\NieAngelegt"));
}
