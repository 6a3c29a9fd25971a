// One whole installation run: the engine calls the registry lines, the
// association, the uninstall entry, the shortcut and the [Register] section
// of each part in their order.
#include "engine/EngineTestEnv.h"
#include "engine/ScriptInstall.h"
#include "platform/FileSystem.h"

namespace {

class InstallRunTest : public enginetest::EngineEnv {};

TEST_F(InstallRunTest, PartStepsRunInOrder) {
    testenv::WriteFile(scratch_ + "src\\bin\\tool.exe", "MZ");
    testenv::WriteFile(scratch_ + "install.ins",
                       "[Project]\r\nName=SetupTestRun\r\nGroup=SetupTestRun\r\nPart1=Tool\r\n"
                       "Publisher=Qorv\r\nIPath=src\r\n"
                       "[Tool]\r\nDir=bin\r\nFile1=tool.exe\r\nExecute=tool.exe\r\n"
                       "Register1=U\\Software\\SetupTestRun\\Folder=%DIR%\r\n"
                       "Extension=setuptestrun=%DIR%tool.exe \"%1\"\r\n"
                       "UnInst=%DIR%tool.exe /remove\r\n"
                       "[Register]\r\nR1=SetupTestRun.File=Werkzeug\r\n");
    setup::TFileHandler copier;
    setup::TScriptInstall engine(nullptr, copier);
    engine.LoadScript(scratch_ + "install.ins");
    engine.SetTargetDir(scratch_ + "Ziel");
    ASSERT_TRUE(engine.RunInstallation(nullptr));

    const std::string bin = scratch_ + "Ziel\\bin\\";
    EXPECT_EQ(bin,
              RegistryString(plat::RegRoot::CurrentUser, "Software\\SetupTestRun\\Folder", ""));
    const auto reg = LogLines("REG ");
    // Install record, register line, association, six uninstall values but no
    // icon, [Register].
    ASSERT_EQ(9u, reg.size()) << Log();
    EXPECT_NE(std::string::npos, reg[1].find("SetupTestRun\\Folder"));
    EXPECT_NE(std::string::npos, reg[2].find(".setuptestrun\\shell\\open\\command |  | REG_SZ | " +
                                             bin + "tool.exe \"%1\""));
    EXPECT_NE(std::string::npos,
              reg[4].find("UninstallString | REG_SZ | " + bin + "tool.exe /remove"));
    EXPECT_NE(std::string::npos, reg[8].find("SetupTestRun.File |  | REG_SZ | Werkzeug"));

    const auto links = LogLines("LINK ");
    ASSERT_EQ(1u, links.size());
    EXPECT_NE(std::string::npos, links[0].find("\\SetupTestRun\\TOOL.LNK | " + bin + "tool.exe"));
    ASSERT_EQ(1u, engine.Context().groupList.size());
    EXPECT_TRUE(plat::fileExists(engine.Context().groupList[0] + "\\TOOL.LNK"));
    EXPECT_TRUE(LogLines("MSG").empty() || LogLines("MSG")[0].find("MSG Info | Kopieren") == 0)
        << Log();
}

// A target folder that is no full path is refused before anything is
// written; one that Windows reads as a full path is installed in its full form.
TEST_F(InstallRunTest, TargetFoldersMustBeFullPaths) {
    testenv::WriteFile(scratch_ + "a.txt", "a");
    testenv::WriteFile(scratch_ + "install.ins",
                       "[Project]\r\nName=SetupTargetTest\r\nGroup=SetupTargetTest\r\nPart1=A\r\n"
                       "[A]\r\nFile1=a.txt\r\nIcon=-\r\n");
    // Under Wine the prefix keeps the records of earlier runs.
    plat::RegKey installs;
    if (installs.open(plat::RegRoot::LocalMachine, "Software\\Qorv\\Installs",
                      plat::RegAccess::All) == 0)
        installs.deleteValue("SetupTargetTest");
    setup::TFileHandler copier;
    for (const std::string bad : {"relx", "%TEMP%\\x", "C:foo", "\\NoDrive"}) {
        setup::TScriptInstall engine(nullptr, copier);
        engine.LoadScript(scratch_ + "install.ins");
        engine.SetTargetDir(bad);
        EXPECT_FALSE(engine.RunInstallation(nullptr)) << bad;
    }
    const auto messages = LogLines("MSG Info | Der Zielordner\\rrelx\\\\rist kein vollst");
    EXPECT_EQ(1u, messages.size()) << Log();
    EXPECT_EQ(4u, LogLines("MSG").size()) << Log();
    EXPECT_TRUE(LogLines("REG").empty()) << Log();
    EXPECT_TRUE(LogLines("FOLDER").empty()) << Log();
    EXPECT_TRUE(LogLines("FILE").empty()) << Log();
    EXPECT_EQ(0u, RegistryString(plat::RegRoot::LocalMachine, "Software\\Qorv\\Installs",
                                 "SetupTargetTest")
                      .rfind("<no ", 0));

    // Forward slashes, a trailing blank: the folder Windows makes of them.
    std::string slashed = scratch_ + "T4\\sub";
    for (char& c : slashed)
        if (c == '\\') c = '/';
    for (const std::string& target : {slashed, scratch_ + "T7 "}) {
        setup::TScriptInstall engine(nullptr, copier);
        engine.LoadScript(scratch_ + "install.ins");
        engine.SetTargetDir(target);
        ASSERT_TRUE(engine.RunInstallation(nullptr)) << target << Log();
    }
    EXPECT_TRUE(plat::fileExists(scratch_ + "T4\\sub\\a.txt")) << Log();
    EXPECT_TRUE(plat::fileExists(scratch_ + "T7\\a.txt"));
    EXPECT_EQ(scratch_ + "T7\\", RegistryString(plat::RegRoot::LocalMachine,
                                                "Software\\Qorv\\Installs", "SetupTargetTest"));
    plat::DirSearch search;
    ASSERT_TRUE(search.first(scratch_ + "*"));
    do {
        EXPECT_NE("T7 ", search.entry().name);
    } while (search.next());
}

} // namespace
