// The start-menu group and the shortcut of a part: where the group lies,
// how the keys of a part become the shortcut, on both backends.
#include "engine/EngineTestEnv.h"
#include "engine/ScriptInstall.h"
#include "system/Shortcuts.h"
#include "platform/FileSystem.h"

namespace {

using plat::RegRoot;

const std::string ShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                 "Shell Folders";

class ShortcutsTest : public enginetest::EngineEnv {
  protected:
    // The start-menu folders point into the scratch folder; under Wine the
    // prefix's own values come back afterwards.
    void SetUp() override {
        EngineEnv::SetUp();
        Redirect(RegRoot::LocalMachine, "Common Programs", "Common\\Programs");
        Redirect(RegRoot::CurrentUser, "Programs", "User\\Programs");
        Redirect(RegRoot::CurrentUser, "Common Start Menu", "Start");
        partTarget_ = scratch_ + "App\\";
    }
    void TearDown() override {
        for (const auto& [root, name, value] : saved_) {
            plat::RegKey key;
            key.open(root, ShellFolders, plat::RegAccess::All, true);
            if (value)
                key.setString(name, *value);
            else
                key.deleteValue(name);
        }
        EngineEnv::TearDown();
    }
    void Redirect(RegRoot root, const std::string& name, const std::string& folder) {
        plat::RegKey key;
        ASSERT_EQ(0u, key.open(root, ShellFolders, plat::RegAccess::All, true));
        std::string old;
        if (key.queryString(name, old) == 0)
            saved_.emplace_back(root, name, old);
        else
            saved_.emplace_back(root, name, std::nullopt);
        ASSERT_EQ(0u, key.setString(name, scratch_ + folder));
    }
    void Load(const std::string& text) {
        const std::string path = scratch_ + "install.ins";
        testenv::WriteFile(path, text);
        engine_.LoadScript(path);
    }
    // The LINK lines, fields after the tag.
    std::vector<std::string> Links() {
        std::vector<std::string> lines = LogLines("LINK ");
        for (std::string& line : lines)
            line.erase(0, 5);
        return lines;
    }

    std::vector<std::tuple<RegRoot, std::string, std::optional<std::string>>> saved_;
    std::string partTarget_;
    setup::TFileHandler copier_;
    setup::TScriptInstall engine_{nullptr, copier_};
};

TEST_F(ShortcutsTest, PartKeysBecomeTheShortcut) {
    Load("[Project]\r\nName=Links\r\n"
         "[VIEWER]\r\n"
         "[NOTE]\r\nExecute=\\notepad.exe\r\nIconNr=2\r\nParm=%DIR%readme.txt\r\n"
         "[DOC]\r\nName=Docs\\Manual\r\nIconNr=x\r\nIcon=doc.ico\r\nDefDir=C:\\Work\r\n"
         "[NONE]\r\nIcon=-\r\nGroup=Never\r\n"
         "[SPACE]\r\nExecute=My Tool.exe\r\n"
         "[OWN]\r\nGroup=Extra\r\nExecute=" +
         scratch_ + "Tools\\x.exe\r\n");
    // The shell may refuse a target that does not exist (Wine does).
    for (const char* file : {"App\\VIEWER.EXE", "App\\DOC.EXE", "App\\My Tool.exe", "Tools\\x.exe"})
        testenv::WriteFile(scratch_ + file, "MZ");
    const std::string group = setup::MakeGroup(engine_.Context(), engine_.GroupName());
    const std::string expected = scratch_ + "Common\\Programs\\Group= (untitled)\\";
    ASSERT_EQ(expected, group);
    EXPECT_TRUE(plat::folderExists(group));

    for (const char* part : {"VIEWER", "NOTE", "DOC", "NONE", "SPACE", "OWN"})
        EXPECT_TRUE(setup::AddShortcut(
            engine_.Context(), enginetest::PartAt(engine_.Context(), part, partTarget_), group));

    EXPECT_TRUE(plat::fileExists(group + "VIEWER.LNK"));
    EXPECT_TRUE(plat::fileExists(group + "Docs\\Manual.LNK"));
    EXPECT_FALSE(plat::folderExists(scratch_ + "Common\\Programs\\Never"));
    const auto links = Links();
    ASSERT_EQ(5u, links.size());
    const std::string app = partTarget_;
    EXPECT_EQ(group + "VIEWER.LNK | " + app + "VIEWER.EXE |  | " + app + " | " + app +
                  "VIEWER.EXE | 0",
              links[0]);
    EXPECT_EQ(group + "NOTE.LNK | notepad.exe | " + app + "readme.txt | " + app +
                  " | notepad.exe | 2",
              links[1]);
    EXPECT_EQ(group + "Docs\\Manual.LNK | " + app + "DOC.EXE |  | C:\\Work | " + app +
                  "doc.ico | 0",
              links[2]);
    // A target with a blank is one program, not a program and arguments.
    EXPECT_EQ(group + "SPACE.LNK | " + app + "My Tool.exe |  | " + app + " | " + app +
                  "My Tool.exe | 0",
              links[3]);
    const std::string extra = scratch_ + "Common\\Programs\\Extra\\";
    EXPECT_EQ(extra + "OWN.LNK | " + scratch_ + "Tools\\x.exe |  | " + app + " | " + scratch_ +
                  "Tools\\x.exe | 0",
              links[4]);
    EXPECT_TRUE(LogLines("MSG").empty()) << Log();
    EXPECT_EQ((std::vector<std::string>{expected.substr(0, expected.size() - 1),
                                        extra.substr(0, extra.size() - 1)}),
              engine_.Context().groupList);
}

TEST_F(ShortcutsTest, GroupBelowTheStartMenuAndLongTargets) {
    const std::string target = scratch_ + std::string(200 - scratch_.size(), 'a') + ".exe";
    const std::string cut = target.substr(0, 145);
    testenv::WriteFile(cut, "MZ");
    Load("[Project]\r\nName=Links\r\nGroup=Suite\r\nParentGroup=\\Tools\r\n"
         "[LONG]\r\nExecute=" +
         target + "\r\n");
    const std::string group = setup::MakeGroup(engine_.Context(), engine_.GroupName());
    EXPECT_EQ(scratch_ + "Start\\Tools\\Suite\\", group);
    EXPECT_TRUE(plat::folderExists(group));

    setup::AddShortcut(engine_.Context(),
                       enginetest::PartAt(engine_.Context(), "LONG", partTarget_), group);
    const auto links = Links();
    ASSERT_EQ(1u, links.size());
    EXPECT_EQ(0u, links[0].find(group + "LONG.LNK | " + cut + " | ")) << links[0];
}

// Names and groups that would leave the programs folder are refused, each
// with a message naming it; nothing is written outside.
TEST_F(ShortcutsTest, ShortcutsStayInsideTheirFolders) {
    Load("[Project]\r\nName=Links\r\nGroup=Grp\r\n"
         "[UP]\r\nName=..\\..\\..\\..\\..\\..\\..\\..\\evil1\r\n"
         "[DRIVE]\r\nName=C:\\evil2\r\n"
         "[DESK]\r\nName=..\\..\\users\\Public\\Desktop\\evil4\r\n"
         "[GROUPUP]\r\nGroup=..\\..\\..\\..\\evilgrp\r\nName=g\r\n"
         "[SUB]\r\nName=Tools/./Sub\\..\\Fine \r\n"
         "[OWNSUB]\r\nGroup=Extra\\..\\Other\r\nName=ok\r\n");
    testenv::WriteFile(partTarget_ + "SUB.EXE", "MZ");
    testenv::WriteFile(partTarget_ + "OWNSUB.EXE", "MZ");
    const std::string group = setup::MakeGroup(engine_.Context(), engine_.GroupName());
    ASSERT_EQ(scratch_ + "Common\\Programs\\Grp\\", group);
    for (const char* part : {"UP", "DRIVE", "DESK", "GROUPUP", "SUB", "OWNSUB"})
        EXPECT_TRUE(setup::AddShortcut(
            engine_.Context(), enginetest::PartAt(engine_.Context(), part, partTarget_), group));

    const auto links = Links();
    ASSERT_EQ(2u, links.size()) << Log();
    EXPECT_EQ(0u, links[0].find(group + "Tools\\Fine.LNK | ")) << links[0];
    EXPECT_EQ(0u, links[1].find(scratch_ + "Common\\Programs\\Other\\ok.LNK | ")) << links[1];
    const auto messages = LogLines("MSG");
    ASSERT_EQ(5u, messages.size()) << Log();
    EXPECT_NE(std::string::npos, messages[0].find("Die Verkn\xC3\xBCpfung ..\\..\\..\\"));
    EXPECT_NE(std::string::npos,
              messages[1].find("Die Verkn\xC3\xBCpfung C:\\evil2\\rliegt nicht"));
    EXPECT_NE(std::string::npos, messages[2].find("Desktop\\evil4\\rliegt nicht im Ordner"));
    EXPECT_NE(std::string::npos, messages[3].find("Die Programmgruppe ..\\..\\..\\..\\evilgrp"));
    EXPECT_NE(std::string::npos, messages[4].find("Die Verkn\xC3\xBCpfung g\\rhat keine"));
    // Nothing above the programs folder.
    for (const char* name :
         {"evil1.LNK", "evilgrp", "Common\\evil4.LNK", "Common\\Programs\\Grp\\C:"})
        EXPECT_FALSE(plat::getAttributes(scratch_ + name)) << name;
    EXPECT_FALSE(plat::getAttributes("C:\\evil1.LNK"));
    EXPECT_FALSE(plat::getAttributes("C:\\evilgrp"));
}

} // namespace
