// Superfluous files with real folders: UNUSED.TXT, the "old" side folders,
// cf.txt, the question and the marker file "$MissingList.txt".
#include "engine/EngineTestEnv.h"
#include "engine/ScriptInstall.h"
#include "engine/Steps.h"

#include "common/Ansi.h"
#include "common/Answers.h"
#include "common/FileInfo.h"
#include "script/Ini.h"
#include "platform/FileSystem.h"

#include <cstdlib>
#include <optional>

namespace {

using enginetest::EngineEnv;
using setup::TFileHandler;
using setup::TScriptInstall;

const std::string Question = "In den Verzeichnissen des Projekts befanden sich Dateien,\r"
                             "die nicht (mehr) zum Projekt geh\xF6ren.\r"
                             "Diese Dateien sind wohl verzichtbar.\r\r"
                             "Ausgesondertes zeigen?\r(";

#ifndef _WIN32
// Hides the desktop from the shell's verbs for the lifetime of the guard.
class NoDesktop {
  public:
    NoDesktop() {
        for (size_t i = 0; i < 2; ++i) {
            if (const char* value = std::getenv(names_[i])) saved_[i] = value;
            unsetenv(names_[i]);
        }
    }
    ~NoDesktop() {
        for (size_t i = 0; i < 2; ++i)
            if (saved_[i]) setenv(names_[i], saved_[i]->c_str(), 1);
    }
    NoDesktop(const NoDesktop&) = delete;
    NoDesktop& operator=(const NoDesktop&) = delete;

  private:
    const char* names_[2] = {"DISPLAY", "WAYLAND_DISPLAY"};
    std::optional<std::string> saved_[2];
};
#endif

class SuperfluousFilesTest : public EngineEnv {
  protected:
    void Load(const std::string& projectKeys, const std::string& sections) {
        medium_ = scratch_ + "medium\\";
        target_ = scratch_ + "target\\";
        testenv::WriteFile(medium_ + "install.ins",
                           "[Project]\r\nName=H8Unused\r\n" + projectKeys + sections);
        engine_.LoadScript(medium_ + "install.ins");
        engine_.BuildPartList();
        engine_.SetTargetDir(target_);
        engine_.Context().projectFiles = std::make_unique<setup::TProjectFileList>();
        engine_.OnStatus = [this](TScriptInstall&, const std::string& name,
                                  const std::string& detail) {
            statuses_.push_back(name + " | " + detail);
        };
    }
    // Upper-case full path below the target, as UNUSED.TXT lists it.
    std::string Up(const std::string& rel) const { return setup::AnsiUpperCase(target_ + rel); }
    bool Shown(const std::string& text) {
        return Log().find(setup::AnswerMatchText(text)) != std::string::npos;
    }
    static bool Exists(const std::string& path) { return plat::fileExists(path); }
    static std::string Read(const std::string& path) { return testenv::ReadFile(path); }

    TFileHandler copier_;
    TScriptInstall engine_{nullptr, copier_};
    std::string medium_;
    std::string target_;
    std::vector<std::string> statuses_;
};

TEST_F(SuperfluousFilesTest, NothingToDo) {
    Load("", "[Teil]\r\nFile1=*.*\r\n");
    testenv::WriteFile(medium_ + "prog\\app.exe", "app");
    ASSERT_TRUE(
        setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", "prog\\"), true));
    testenv::WriteFile(target_ + "prog\\stray.bak", "s");

    // Without DelExt: no list, no question.
    setup::FindSuperfluousFiles(engine_.Context());
    EXPECT_FALSE(Exists(target_ + "UNUSED.TXT"));
    EXPECT_FALSE(Exists(target_ + "cf.txt"));

    // With DelExt and nothing superfluous: an empty list, no side folder.
    Load("DelExt=.BAK\r\n", "[Teil]\r\nFile1=*.*\r\n");
    plat::deleteFile(target_ + "prog\\stray.bak");
    ASSERT_TRUE(
        setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", "prog\\"), true));
    setup::FindSuperfluousFiles(engine_.Context());
    EXPECT_EQ("", Read(target_ + "UNUSED.TXT"));
    EXPECT_EQ(Up("prog\\app.exe") + "\r\n", Read(target_ + "cf.txt"));
    EXPECT_FALSE(plat::folderExists(target_ + "old"));
    EXPECT_TRUE(LogLines("MSG ").empty()) << Log();
    EXPECT_EQ(0, engine_.Context().counters.superfluous);
    EXPECT_EQ((std::vector<std::string>{"\xDC"
                                        "berfl\xFCssige Dateien mit folgenden Extensionen "
                                        "ermitteln: | .BAK"}),
              statuses_);
}

TEST_F(SuperfluousFilesTest, ListsAndSetsAside) {
    Load("DelExt=.BAK.TMP\r\n", "[Teil]\r\nFile1=*.exe\r\nHold1=keep.bak\r\n"
                                "[Doku]\r\nFile1=*.txt\r\n");
    testenv::WriteFile(medium_ + "prog\\app.exe", "app");
    testenv::WriteFile(medium_ + "prog\\doc\\a.txt", "a");
    testenv::WriteFile(target_ + "prog\\keep.bak", "held");
    for (const char* name : {"Readme.txt", "old.bak", "noext", "x.dcu", "y.~pa", "z.dsk", "w.dsm",
                             "v.opt", "u.&&&", "t.$$$", "sub\\deep.bak"})
        testenv::WriteFile(target_ + "prog\\" + name, name);
    testenv::WriteFile(target_ + "prog\\doc\\old.tmp", "tmp");
    testenv::WriteFile(target_ + "other\\stray.bak", "not searched");
    ASSERT_TRUE(
        setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", "prog\\"), true));
    ASSERT_TRUE(
        setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Doku", "prog\\doc\\"), true));
#ifdef _WIN32
    Answers("zeigen => No\nzeigen => No\n"); // no Explorer window in the tests
#else
    NoDesktop noDesktop; // Yes is only logged, no file manager starts
#endif

    setup::FindSuperfluousFiles(engine_.Context());
    // Folders in the order they received project files, names sorted.
    EXPECT_EQ(Up("prog\\NOEXT") + "\r\n" + Up("prog\\OLD.BAK") + "\r\n" + Up("prog\\README.TXT") +
                  "\r\n" + Up("prog\\doc\\OLD.TMP") + "\r\n",
              Read(target_ + "UNUSED.TXT"));
    const std::string old = target_ + "old\\";
    EXPECT_EQ("old.bak", Read(old + "PROG\\OLD.BAK"));
    EXPECT_EQ("noext", Read(old + "PROG\\NOEXT")) << "no extension: always moved";
    EXPECT_EQ("tmp", Read(old + "PROG\\DOC\\OLD.TMP"));
    EXPECT_FALSE(Exists(target_ + "prog\\old.bak"));
    EXPECT_EQ("Readme.txt", Read(target_ + "prog\\Readme.txt")) << "listed only";
    EXPECT_TRUE(Exists(target_ + "prog\\sub\\deep.bak"));
    EXPECT_TRUE(Exists(target_ + "other\\stray.bak"));
    EXPECT_EQ(3, engine_.Context().counters.superfluous);
    EXPECT_TRUE(Shown(Question + setup::LongPathName(target_) + "old\\)"));
    EXPECT_EQ(Up("prog\\app.exe") + "\r\n" + target_ + "prog\\keep.bak\r\n" +
                  Up("prog\\doc\\a.txt") + "\r\n",
              Read(target_ + "cf.txt"));
#ifndef _WIN32
    EXPECT_EQ(
        1u,
        LogLines("SHELL explore | " + setup::LongPathName(target_) + "old\\ |  | refused").size())
        << Log();
#endif

    // The next search finds "old" taken and uses "old1".
    testenv::WriteFile(target_ + "prog\\later.bak", "later");
    setup::FindSuperfluousFiles(engine_.Context());
    EXPECT_EQ("later", Read(target_ + "old1\\PROG\\LATER.BAK"));
    EXPECT_EQ(Up("prog\\LATER.BAK") + "\r\n" + Up("prog\\README.TXT") + "\r\n",
              Read(target_ + "UNUSED.TXT"));
    EXPECT_EQ(1, engine_.Context().counters.superfluous);
}

TEST_F(SuperfluousFilesTest, FilesStayWhereTheyCannotBeMoved) {
    const std::string outside = scratch_ + "outside\\";
    Load("DelExt=.BAK\r\n", "[Aussen]\r\nTDIR=" + outside +
                                "\r\nFile1=*.exe\r\n[Teil]\r\nFile1=*.exe\r\nHold1=old\r\n");
    testenv::WriteFile(medium_ + "app.exe", "app");
    testenv::WriteFile(target_ + "old", "a file named like the side folder");
    ASSERT_TRUE(setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Aussen", ""), true));
    ASSERT_TRUE(setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", ""), true));
    testenv::WriteFile(outside + "stray.bak", "outside");
    testenv::WriteFile(target_ + "in.bak", "inside");
    Answers("zeigen => No\nzeigen => No\n");

    setup::FindSuperfluousFiles(engine_.Context());
    const std::string list = Read(target_ + "UNUSED.TXT");
    EXPECT_NE(std::string::npos, list.find(setup::AnsiUpperCase(outside + "stray.bak"))) << list;
    EXPECT_EQ("outside", Read(outside + "stray.bak")) << "outside the installation folder";
    EXPECT_EQ("inside", Read(target_ + "old1\\IN.BAK"));
    EXPECT_EQ("a file named like the side folder", Read(target_ + "old"));
    EXPECT_EQ(1, engine_.Context().counters.superfluous);

    // A list naming a file that is gone, and (on Windows) one that is in use:
    // nothing is deleted, what cannot be moved stays.
    testenv::WriteFile(target_ + "busy.bak", "busy");
    testenv::WriteFile(target_ + "list.txt", Up("gone.bak") + "\r\n" + Up("busy.bak") + "\r\n");
    plat::File busy;
#ifdef _WIN32
    ASSERT_TRUE(busy.open(target_ + "busy.bak", plat::OpenMode::Read));
#endif
    setup::SetAsideUnused(engine_.Context(), target_ + "list.txt");
    busy.close();
#ifdef _WIN32
    EXPECT_EQ("busy", Read(target_ + "busy.bak"));
    EXPECT_EQ(0, engine_.Context().counters.superfluous);
#else
    EXPECT_EQ("busy", Read(target_ + "old2\\BUSY.BAK"));
    EXPECT_EQ(1, engine_.Context().counters.superfluous);
#endif
    EXPECT_FALSE(Exists(target_ + "gone.bak"));
}

TEST_F(SuperfluousFilesTest, FilesTheProjectKeepsAreNotSuperfluous) {
    // An install-once file the user edited, and a macro file newer than the
    // project's that the user chose to keep: both stay where they are.
    Load("DelExt=.INI\r\n", "[Teil]\r\nFile1=demo.ini\r\nFileOverride1=2\r\n"
                            "FileMacro1=conf.ini\r\n");
    testenv::WriteFile(medium_ + "demo.ini", "shipped");
    testenv::WriteFile(medium_ + "conf.ini", "macro");
    testenv::WriteFile(target_ + "demo.ini", "edited by the user");
    testenv::WriteFile(target_ + "conf.ini", "kept");
    ASSERT_TRUE(setup::SetFileDate(medium_ + "conf.ini", 0x52210000)); // 2021-01-01
    ASSERT_TRUE(setup::SetFileDate(target_ + "conf.ini", 0x5A210000)); // 2025-01-01
    Answers("Trotzdem kopieren => No\nzeigen => No\n");
    ASSERT_TRUE(setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", ""), true));

    setup::FindSuperfluousFiles(engine_.Context());
    EXPECT_EQ("edited by the user", Read(target_ + "demo.ini"));
    EXPECT_EQ("kept", Read(target_ + "conf.ini"));
    EXPECT_EQ("", Read(target_ + "UNUSED.TXT"));
    EXPECT_EQ(0, engine_.Context().counters.superfluous);
    EXPECT_FALSE(plat::folderExists(target_ + "old"));
}

TEST_F(SuperfluousFilesTest, MissingListMarkerSilencesNotFound) {
    Load("", "[Teil]\r\nFile1=fehlt.txt\r\nFile2=bin\\*.dll\r\n");
    testenv::WriteFile(medium_ + "$MissingList.txt", "");
    engine_.LoadScript(medium_ + "install.ins");
    EXPECT_FALSE(engine_.Context().reportMissing);
    EXPECT_TRUE(setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", ""), true));
    EXPECT_TRUE(LogLines("MSG ").empty()) << Log();
}

// The name a folder holds for path, in its own case.
std::string NameInFolder(const std::string& path) {
    plat::DirSearch search;
    return search.first(path) ? search.entry().name : std::string("<none>");
}

TEST_F(SuperfluousFilesTest, FilesOutsideTheInstallationFolderAreOnlyListed) {
    // Another product beside the installation, reached through ".." by a
    // part's folder and by a hold file.
    Load("DelExt=.BAK\r\n", "[Teil]\r\nFile1=*.exe\r\nHold1=..\\Other\\readme.txt\r\n"
                            "[Daneben]\r\nTDIR=" +
                                scratch_ + "target\\..\\Sib\r\nFile1=*.dll\r\n");
    testenv::WriteFile(medium_ + "app.exe", "app");
    testenv::WriteFile(medium_ + "lib.dll", "lib");
    testenv::WriteFile(scratch_ + "Other\\readme.txt", "theirs");
    testenv::WriteFile(scratch_ + "Other\\Data.Bak", "their backup");
    testenv::WriteFile(scratch_ + "Sib\\Their.bak", "their backup too");
    testenv::WriteFile(target_ + "Mixed.Bak", "ours");
    engine_.Context().record = std::make_unique<setup::TIni>(target_ + "Deinst.ins");
    copier_.OnFolderCreated = [this](const std::string& folder) {
        engine_.RecordCreatedFolder(folder);
    };
    engine_.Context().pathCounter = 1;
    ASSERT_TRUE(setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", ""), true));
    ASSERT_TRUE(setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Daneben", ""), true));
    Answers("zeigen => No\n");

    setup::FindSuperfluousFiles(engine_.Context());
    const std::string list = Read(target_ + "UNUSED.TXT");
    EXPECT_NE(std::string::npos, list.find(setup::AnsiUpperCase(scratch_ + "Other\\Data.Bak")))
        << list;
    EXPECT_NE(std::string::npos, list.find(setup::AnsiUpperCase(scratch_ + "Sib\\Their.bak")))
        << list;
    EXPECT_EQ(std::string::npos, list.find("..")) << list;
    EXPECT_EQ("their backup", Read(scratch_ + "Other\\Data.Bak"));
    EXPECT_EQ("their backup too", Read(scratch_ + "Sib\\Their.bak"));
    EXPECT_FALSE(plat::folderExists(target_ + "OTHER"));
    EXPECT_FALSE(plat::folderExists(target_ + "old\\OTHER"));
    // Ours is moved and keeps its name as it was written.
    EXPECT_EQ("ours", Read(target_ + "old\\Mixed.Bak"));
    EXPECT_EQ("Mixed.Bak", NameInFolder(target_ + "old\\mixed.bak"));
    EXPECT_EQ(1, engine_.Context().counters.superfluous);
    const setup::TSection_i& folders =
        engine_.Context().record->Section(engine_.Context().record->FindSection("Pathes"));
    ASSERT_GT(folders.Count(), 0);
    for (int i = 0; i < folders.Count(); ++i)
        EXPECT_EQ(std::string_view::npos, folders.Value(i).find("..")) << folders.Value(i);
}

} // namespace
