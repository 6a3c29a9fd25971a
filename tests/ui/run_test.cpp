// Whole installation runs through the installer window's controller: the
// engine's steps, its questions, sub-projects, Cancel and bad input.
#include "ui/UiTestEnv.h"

#include "common/Ansi.h"
#include "common/Error.h"
#include "common/FileInfo.h"
#include "script/Ini.h"
#include "platform/FileSystem.h"

namespace {

using enginetest::EngineEnv;
using setup::TInstallerController;
using uitest::TestView;

class RunTest : public EngineEnv {
  protected:
    void SetUp() override {
        EngineEnv::SetUp();
        source_ = scratch_ + "medium\\";
        target_ = scratch_ + "Ziel\\Demo";
    }

    // A project of two parts with files in sub-folders, a memo and talk 2.
    void WriteDemo(const std::string& extraProject = "", const std::string& extraParts = "") {
        testenv::WriteFile(source_ + "bin\\demo.bat", "@echo Demo\r\n");
        testenv::WriteFile(source_ + "bin\\demo.cfg", "farbe=blau\r\n");
        testenv::WriteFile(source_ + "doc\\liesmich.txt", "Zum Lesen.\r\n");
        testenv::WriteFile(source_ + "install.ins",
                           "[Project]\r\nName=Demo\r\nHeadLine=Demo-Projekt\r\n"
                           "Memo=Ein Beispiel\r\nPart1=Programm\r\nPart2=Doku\r\n" +
                               extraProject +
                               "[Headline]\r\nDoku=Dokumentation\r\n"
                               "[Programm]\r\nDir=bin\r\nFile1=*.*\r\n"
                               "[Doku]\r\nDir=doc\r\nFile1=*.txt\r\n" +
                               extraParts);
    }

    // Creates the main window as the program start does and presses install.
    void Run(TInstallerController& window, TestView& view) {
        (void)view;
        window.TalkDefault = 2;
        window.CreateEngine();
        window.LoadScript(source_ + "install.ins");
        window.ConfirmCancel = false;
        window.FillFromScript(true);
        window.SetTargetFolder(target_);
        window.InstallNowClick();
    }

    std::vector<std::string> StatusNames() {
        std::vector<std::string> names;
        for (const std::string& line : LogLines("STATUS")) {
            const std::string name = line.substr(7, line.find(" | ") - 7);
            if (names.empty() || names.back() != name) names.push_back(name);
        }
        return names;
    }

    std::string source_;
    std::string target_;
};

TEST_F(RunTest, InstallsTheProjectAndRecordsIt) {
    WriteDemo();
    TInstallerController window;
    TestView view(window);
    Run(window, view);
    ASSERT_TRUE(window.Installed);

    const std::string target = target_ + "\\";
    for (const char* file : {"bin\\demo.bat", "bin\\demo.cfg", "doc\\liesmich.txt"}) {
        EXPECT_EQ(testenv::ReadFile(source_ + file), testenv::ReadFile(target + file)) << file;
        const auto copied = plat::statPath(target + file);
        const auto original = plat::statPath(source_ + file);
        ASSERT_TRUE(copied && original) << file;
        EXPECT_EQ(original->writeTime, copied->writeTime) << file;
    }

    // Every folder the run created, parents first, in Deinst.ins.
    // The start-menu group is among them when this run was the first to make it.
    auto recordedFolders = [&] {
        setup::TIni deinst(target + "Deinst.ins");
        std::vector<std::string> folders;
        for (int n = 1;; ++n) {
            const std::string folder = deinst.ReadString("Pathes", "P" + std::to_string(n), "");
            if (folder.empty()) break;
            if (folder != window.Engine().Context().groupList.at(0)) folders.push_back(folder);
        }
        return folders;
    };
    EXPECT_EQ(
        (std::vector<std::string>{scratch_ + "Ziel", target_, target + "bin", target + "doc"}),
        recordedFolders());

    EXPECT_EQ(target,
              RegistryString(plat::RegRoot::LocalMachine, "Software\\Qorv\\Installs", "Demo"));
    const std::vector<std::string> names = StatusNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ((std::vector<std::string>{"Init", "CheckDiskSpace", "CopyWinFiles",
                                        "CopyWinSystemFiles", "CopyWinSystem32Files", "ExecProgs",
                                        "Fonts", "MakeGroup", "Programm", "PROGRAMM",
                                        "Dokumentation", "DOKU", "EndInstall", " ", "Ready"}),
              names);
    EXPECT_EQ("STATUS Init", LogLines("STATUS")[0]);
    EXPECT_EQ("TARGET " + target, LogLines("TARGET").at(0));

    // talk 2: the copied files replace the hint, the statistics are shown and
    // the window waits for OK.
    EXPECT_NE(std::string::npos, window.HintText().find("kopiert wurden:\r\n"));
    EXPECT_NE(std::string::npos,
              window.HintText().find(setup::AnsiUpperCase(target) + "BIN\\DEMO.BAT\r\n"));
    EXPECT_TRUE(window.OkVisible());
    EXPECT_FALSE(window.InstallNowVisible());
    EXPECT_EQ(setup::ModalNone, window.ModalResult());
    EXPECT_NE(std::string::npos,
              Log().find("MSG Info | Kopieren von Dateien:\\r\\r3 Dateien aktualisiert\\r -> OK"));

    // A second run into the same folder finds the files up to date.
    TInstallerController again;
    TestView againView(again);
    Run(again, againView);
    EXPECT_TRUE(again.Installed);
    EXPECT_EQ(3, again.Engine().Context().counters.unchanged);
    EXPECT_EQ(0, again.Engine().Context().counters.updated);
    EXPECT_NE(std::string::npos, Log().find("3 Dateien bzgl. Aktualit\xC3\xA4t gepr\xC3\xBC"
                                            "ft und nicht ge\xC3\xA4ndert"));
    // Deinst.ins keeps the earlier entries; nothing new was created.
    EXPECT_EQ(
        (std::vector<std::string>{scratch_ + "Ziel", target_, target + "bin", target + "doc"}),
        recordedFolders());

    // A later run that creates a folder adds it after the earlier records.
    testenv::WriteFile(source_ + "extra\\neu.txt", "neu\r\n");
    WriteDemo("Part3=Extra\r\n", "[Extra]\r\nDir=extra\r\nFile1=*.txt\r\n");
    TInstallerController third;
    TestView thirdView(third);
    Run(third, thirdView);
    EXPECT_TRUE(third.Installed);
    EXPECT_EQ("neu\r\n", testenv::ReadFile(target + "extra\\neu.txt"));
    EXPECT_EQ((std::vector<std::string>{scratch_ + "Ziel", target_, target + "bin", target + "doc",
                                        target + "extra"}),
              recordedFolders());
}

TEST_F(RunTest, KeptAndDeclinedFilesAreLoggedAndListedUnderTheirOwnNames) {
    // kestrel.ini is the user's once installed (FileOverride 2); the language
    // part is chosen in the first run and declined in the second.
    testenv::WriteFile(source_ + "lang\\tlh.lng", "tlh");
    testenv::WriteFile(source_ + "lang\\frage.txt", "Sprachen installieren?\r\n");
    testenv::WriteFile(source_ + "bin\\demo.bat", "@echo Demo\r\n");
    testenv::WriteFile(source_ + "bin\\kestrel.ini", "farbe=blau\r\n");
    testenv::WriteFile(source_ + "install.ins",
                       "[Project]\r\nName=Demo\r\nDelExt=.INI.LNG\r\nPart1=Sprache\r\n"
                       "Part2=Programm\r\n"
                       "[Sprache]\r\nDir=lang\r\nCond=frage.txt\r\nFile1=*.lng\r\n"
                       "[Programm]\r\nDir=bin\r\nFile1=*.bat\r\nFile2=kestrel.ini\r\n"
                       "FileOverride2=2\r\n");
    const std::string target = target_ + "\\";
    Answers("Sprachen installieren? => Yes\n");
    TInstallerController first;
    TestView firstView(first);
    Run(first, firstView);
    ASSERT_TRUE(first.Installed);
    testenv::WriteFile(target + "bin\\kestrel.ini", "farbe=rot\r\n");

    setup::ClearAnswers();
    Answers("Sprachen installieren? => No\n");
    const size_t before = LogLines("FILE").size();
    TInstallerController second;
    TestView secondView(second);
    Run(second, secondView);
    ASSERT_TRUE(second.Installed);
    EXPECT_EQ(setup::RunInstalled, second.RunExitStatus());

    std::vector<std::string> files = LogLines("FILE");
    files.erase(files.begin(), files.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ((std::vector<std::string>{"FILE 2 | " + target + "lang\\tlh.lng",
                                        "FILE 2 | " + target + "bin\\demo.bat",
                                        "FILE 2 | " + target + "bin\\kestrel.ini"}),
              files);
    // Each file once in the project's list: neither the kept configuration
    // nor the declined part's file is set aside.
    const std::string up = setup::AnsiUpperCase(target);
    EXPECT_EQ(up + "LANG\\TLH.LNG\r\n" + up + "BIN\\DEMO.BAT\r\n" + up + "BIN\\KESTREL.INI\r\n",
              testenv::ReadFile(target + "cf.txt"));
    EXPECT_EQ("farbe=rot\r\n", testenv::ReadFile(target + "bin\\kestrel.ini"));
    EXPECT_TRUE(plat::fileExists(target + "lang\\tlh.lng"));
    EXPECT_FALSE(plat::folderExists(target + "old"));
    EXPECT_TRUE(LogLines("MOVE").empty());
}

TEST_F(RunTest, FailedAndCancelledFilesAreCountedAndReported) {
    // Three files are copied, two cannot replace their read-only
    // destinations, one copy is cancelled at the overwrite question, and a
    // stray backup is set aside.
    for (const char* name : {"a.txt", "b.txt", "c.txt", "ro1.dat", "ro2.dat"})
        testenv::WriteFile(source_ + "bin\\" + name, name);
    testenv::WriteFile(source_ + "extra\\neuer.txt", "aus dem Paket");
    testenv::WriteFile(source_ + "install.ins",
                       "[Project]\r\nName=Demo\r\nDelExt=.BAK\r\nPart1=Programm\r\nPart2=Extra\r\n"
                       "[Programm]\r\nDir=bin\r\nFile1=*.*\r\n"
                       "[Extra]\r\nDir=extra\r\nFile1=neuer.txt\r\n");
    const std::string target = target_ + "\\";
    for (const char* name : {"ro1.dat", "ro2.dat"}) {
        testenv::WriteFile(target + "bin\\" + name, "alt");
        ASSERT_TRUE(setup::SetFileDate(target + "bin\\" + name, 0x42210000));
        ASSERT_TRUE(plat::setAttributes(target + "bin\\" + name, plat::kAttrReadOnly));
    }
    testenv::WriteFile(target + "bin\\stray.bak", "weg damit");
    testenv::WriteFile(target + "extra\\neuer.txt", "vom Benutzer");
    ASSERT_TRUE(setup::SetFileDate(target + "extra\\neuer.txt", 0x7A210000));
    Answers("j\xC3\xBCnger => Cancel\nzeigen => No\n");

    TInstallerController window;
    TestView view(window);
    Run(window, view);
    ASSERT_TRUE(window.Installed);
    EXPECT_EQ("Kopieren von Dateien:\r\r2 x gescheitert\r"
              "1 x durch Benutzereingriff abgebrochen\r3 Dateien aktualisiert\r"
              "1 \xFC"
              "berfl\xFCssige Datei ausgesondert\r",
              window.StatisticsText());
    EXPECT_EQ(setup::RunIncomplete, window.RunExitStatus());
    EXPECT_EQ(1u, LogLines("FILE 0 | " + target + "bin\\ro1.dat").size());
    EXPECT_EQ(1u, LogLines("FILE 0 | " + target + "bin\\ro2.dat").size());
    EXPECT_EQ(1u, LogLines("FILE 1 | " + target + "extra\\neuer.txt").size());
    EXPECT_EQ("vom Benutzer", testenv::ReadFile(target + "extra\\neuer.txt"));
    EXPECT_EQ("alt", testenv::ReadFile(target + "bin\\ro1.dat"));
    const std::string up = setup::AnsiUpperCase(target);
    EXPECT_EQ(std::vector<std::string>{"MOVE " + up + "BIN\\STRAY.BAK | " + target +
                                       "old\\BIN\\stray.bak"},
              LogLines("MOVE"));
    EXPECT_EQ("weg damit", testenv::ReadFile(target + "old\\BIN\\STRAY.BAK"));
    for (const char* name : {"ro1.dat", "ro2.dat"})
        plat::setAttributes(target + "bin\\" + name, plat::kAttrNormal);
}

TEST_F(RunTest, ExitStatusTellsWhetherSomethingWasLeftOut) {
    testenv::WriteFile(source_ + "aus\\frage.txt", "Auch das?\r\n");
    testenv::WriteFile(source_ + "sub\\sub.ins", "[Project]\r\nName=ZusatzTeilweise\r\nPath=" +
                                                     scratch_ + "Zusatz\r\nFont1=fehlt.ttf\r\n");
    struct Case {
        const char* what;
        std::string project;
        std::string parts;
        int status;
    };
    const Case cases[] = {
        {"everything installed", "", "", setup::RunInstalled},
        {"a font not installed", "Font1=fehlt.ttf\r\n", "", setup::RunIncomplete},
        {"a declined part's source not found", "Part3=Aus\r\n",
         "[Aus]\r\nDir=aus\r\nCond=frage.txt\r\nFile1=fehlt.txt\r\n", setup::RunIncomplete},
        {"a condition file not found", "Part3=Aus\r\n",
         "[Aus]\r\nDir=aus\r\nCond=keine.txt\r\nFile1=frage.txt\r\n", setup::RunIncomplete},
        {"an optional sub-project not found", "Part3=Sub\r\n",
         "[Sub]\r\nInstall=fehlt.ins\r\nfak=1\r\n", setup::RunIncomplete},
        {"a sub-project that left something out", "Part3=Sub\r\n",
         "[Sub]\r\nInstall=sub\\sub.ins\r\n", setup::RunIncomplete},
        {"a failed download", "Part3=Web\r\n",
         "[Web]\r\nDir=web\r\nURLDir1=http://127.0.0.1:9/\r\n", setup::RunIncomplete},
    };
    Answers("Auch das? => No\n");
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteDemo(c.project, c.parts);
        target_ = scratch_ + "Ziel" + std::to_string(++n);
        TInstallerController window;
        TestView view(window);
        Run(window, view);
        EXPECT_TRUE(window.Installed);
        EXPECT_EQ(c.status, window.RunExitStatus());
        // The project's own files are there in every case.
        EXPECT_TRUE(plat::fileExists(target_ + "\\doc\\liesmich.txt"));
    }
}

TEST_F(RunTest, TalkLevelsDecideTheReport) {
    WriteDemo("talk=1\r\n");
    TInstallerController window;
    TestView view(window);
    Run(window, view);
    EXPECT_EQ(std::vector<int>{setup::ModalOk}, view.closedWith);
    EXPECT_EQ(1u, LogLines("MSG Info | Setup erfolgreich beendet.").size());

    // talk 0 and a failed run: closed with 2, no message.
    testenv::WriteFile(source_ + "install.ins", "[Project]\r\nName=X\r\ntalk=0\r\nPart1=Fehlt\r\n");
    TInstallerController failing;
    TestView failingView(failing);
    Run(failing, failingView);
    EXPECT_FALSE(failing.Installed);
    EXPECT_EQ(std::vector<int>{setup::ModalCancel}, failingView.closedWith);
}

TEST_F(RunTest, FailedPartQuestion) {
    // The first part's file is missing: the section is incomplete, "Weiter?"
    // is answered No, the part fails and the run asks whether to go on.
    WriteDemo();
    testenv::WriteFile(source_ + "install.ins",
                       "[Project]\r\nName=Demo\r\nPart1=Kaputt\r\nPart2=Doku\r\n"
                       "[Kaputt]\r\nDir=bin\r\nFile1=fehlt.dll\r\n"
                       "[Doku]\r\nDir=doc\r\nFile1=*.txt\r\n");
    Answers("Weiter? => No\nIm Teil Kaputt ist ein Fehler aufgetreten. => Yes\n");
    TInstallerController window;
    TestView view(window);
    Run(window, view);
    EXPECT_TRUE(window.Installed);
    EXPECT_TRUE(plat::fileExists(target_ + "\\doc\\liesmich.txt"));
    EXPECT_EQ(1u, LogLines("MSG WarnOkCancel | KAPUTT: Anwendung nicht vollst\xC3\xA4ndig "
                           "installiert! -> OK (default)")
                      .size());
    // The run went on without the failed part: installed, but not everything.
    EXPECT_EQ(setup::RunIncomplete, window.RunExitStatus());

    // Answered No: the run ends there.
    setup::ClearAnswers();
    Answers("Weiter? => No\n");
    target_ = scratch_ + "Ziel2";
    TInstallerController second;
    TestView secondView(second);
    Run(second, secondView);
    EXPECT_FALSE(second.Installed);
    EXPECT_EQ(setup::RunNotInstalled, second.RunExitStatus());
    EXPECT_FALSE(plat::fileExists(target_ + "\\doc\\liesmich.txt"));
    EXPECT_EQ(1u, LogLines("MSG AskYesNoDefaultNo | Im Teil Kaputt ist ein Fehler "
                           "aufgetreten.\\rSoll dennoch fortgesetzt werden? -> No (default)")
                      .size());
}

TEST_F(RunTest, RequiredSubProjectCancelled) {
    WriteDemo("", "[Programm]\r\nInstall=sub\\sub.ins\r\nAbortText=Ohne Zusatz geht es nicht.\r\n");
    testenv::WriteFile(source_ + "sub\\sub.ins", "[Project]\r\nName=Zusatz\r\nPath=C:\\Zusatz\r\n");
    TInstallerController window;
    TestView view(window);
    // The nested window is cancelled by its person (it asks first).
    view.subWindow = [](TInstallerController& sub) {
        TestView subView(sub);
        sub.CancelClick();
        return sub.ModalResult();
    };
    Answers("Installation wirklich abbrechen? => Yes\n");
    Run(window, view);
    EXPECT_EQ(std::vector<std::string>{"Zusatz"}, view.subCaptions);
    EXPECT_FALSE(window.Installed);
    EXPECT_EQ(1u, LogLines("MSG Info | Ohne Zusatz geht es nicht. -> OK (default)").size());
    EXPECT_EQ(1u, LogLines("MSG AskYesNoDefaultNo | Im Teil Programm ist ein Fehler").size());
    // The abort request stopped the run before the second part.
    EXPECT_FALSE(plat::fileExists(target_ + "\\doc\\liesmich.txt"));

    // Installed by its nested window, the sub-project counts as done.
    TInstallerController ok;
    TestView okView(ok);
    target_ = scratch_ + "Ziel3";
    Run(ok, okView);
    EXPECT_TRUE(ok.Installed);
    EXPECT_TRUE(plat::folderExists("C:\\Zusatz"));
}

TEST_F(RunTest, MarkedSubProjectScripts) {
    WriteDemo("", "[Programm]\r\nInstall=sub\\sub.ins\r\n");
    // UTF-8 with its mark: installed like a Windows-1252 script.
    testenv::WriteFile(source_ + "sub\\sub.ins", "\xEF\xBB\xBF[Project]\r\nName=Zus\xC3\xA4tze\r\n"
                                                 "Path=C:\\Zusatz\r\n");
    TInstallerController window;
    TestView view(window);
    view.subWindow = [](TInstallerController& sub) {
        TestView subView(sub);
        sub.InstallNowClick();
        sub.OkClick();
        return sub.ModalResult();
    };
    Run(window, view);
    EXPECT_EQ(std::vector<std::string>{"Zus\xE4tze"}, view.subCaptions);
    EXPECT_TRUE(window.Installed);

    // A character without a Windows-1252 form: no window, the part fails.
    testenv::WriteFile(source_ + "sub\\sub.ins", "\xEF\xBB\xBF[Project]\r\nName=Zus\xC3\xA4tze\r\n"
                                                 "Path=C:\\Zusatz \xE2\x86\x92\r\n");
    TInstallerController second;
    TestView secondView(second);
    secondView.subWindow = view.subWindow;
    target_ = scratch_ + "Ziel2";
    Run(second, secondView);
    EXPECT_TRUE(secondView.subCaptions.empty());
    EXPECT_FALSE(second.Installed);
    EXPECT_EQ(1u, LogLines("MSG Info | Das Installationsscript " + source_ +
                           "sub\\sub.ins kann nicht gelesen werden:\\r\\nZeile 3: das Zeichen "
                           "U+2192 hat keine Windows-1252-Form. -> OK (default)")
                      .size())
        << Log();
}

TEST_F(RunTest, CancelDuringAPart) {
    WriteDemo();
    TInstallerController window;
    TestView view(window);
    view.onStatus = [](TInstallerController& w) {
        if (w.StatusText() == "Programm") w.CancelClick();
    };
    Run(window, view);
    EXPECT_FALSE(window.Installed);
    EXPECT_FALSE(plat::fileExists(target_ + "\\bin\\demo.bat"));
    EXPECT_FALSE(plat::fileExists(target_ + "\\doc\\liesmich.txt"));
    EXPECT_TRUE(window.InstallNowEnabled());
    EXPECT_FALSE(window.Running);
}

TEST_F(RunTest, BadInput) {
    // A sub-script that does not exist: reported, the part fails, and the
    // default answer ends the run.
    WriteDemo("", "[Doku]\r\nInstall=nirgends.ins\r\n");
    TInstallerController window;
    TestView view(window);
    Run(window, view);
    EXPECT_FALSE(window.Installed);
    EXPECT_TRUE(view.subCaptions.empty());
    EXPECT_EQ(1u, LogLines("MSG Info | Installationsscript nicht gefunden.\\r\\n" + source_ +
                           "nirgends.ins")
                      .size());

    // A part list naming a section that does not exist.
    testenv::WriteFile(source_ + "install.ins", "[Project]\r\nName=X\r\nPart1=Geister\r\n");
    TInstallerController ghost;
    TestView ghostView(ghost);
    Run(ghost, ghostView);
    EXPECT_FALSE(ghost.Installed);
    EXPECT_EQ(1u, LogLines("MSG Info | Der Teil Geister ist im Installationsscript nicht "
                           "beschrieben:\\rdie Sektion [Geister] fehlt.")
                      .size());

    // A target folder that cannot be created: the error reaches the caller,
    // the window is usable again, nothing is written.
    WriteDemo();
    testenv::WriteFile(scratch_ + "Datei", "im Weg");
    target_ = scratch_ + "Datei\\Demo";
    TInstallerController blocked;
    TestView blockedView(blocked);
    EXPECT_THROW(Run(blocked, blockedView), setup::SetupError);
    EXPECT_FALSE(blocked.Installed);
    EXPECT_FALSE(blocked.Running);
    EXPECT_TRUE(blocked.InstallNowEnabled());
    EXPECT_EQ("im Weg", testenv::ReadFile(scratch_ + "Datei"));
    EXPECT_EQ(scratch_ + "Ziel\\Demo\\",
              RegistryString(plat::RegRoot::LocalMachine, "Software\\Qorv\\Installs", "Demo"));
}

TEST_F(RunTest, SubProjectThatInstallsItselfIsRefused) {
    // Directly: the script names itself, in another spelling.
    WriteDemo("", "[Doku]\r\nInstall=.\\INSTALL.INS\r\n");
    {
        TInstallerController window;
        TestView view(window);
        Run(window, view);
        EXPECT_TRUE(view.subCaptions.empty());
        EXPECT_EQ(1u, LogLines("MSG Info | Das Installationsscript wird schon installiert:\\r\\n" +
                               source_ + ".\\INSTALL.INS")
                          .size())
            << Log();
    }
    // Through a sub-project that installs the first script again.
    WriteDemo("", "[Doku]\r\nInstall=sub\\b.ins\r\n");
    testenv::WriteFile(source_ + "sub\\b.ins", "[Project]\r\nName=B\r\nPath=" + scratch_ +
                                                   "B\r\nPart1=Zurueck\r\n"
                                                   "[Zurueck]\r\nInstall=..\\install.ins\r\n");
    {
        TInstallerController window;
        TestView view(window);
        Run(window, view);
        EXPECT_EQ(std::vector<std::string>{"B"}, view.subCaptions);
        EXPECT_EQ(1u, LogLines("MSG Info | Das Installationsscript wird schon installiert:\\r\\n" +
                               source_ + "sub\\..\\install.ins")
                          .size())
            << Log();
    }
    // A chain that never repeats a script ends at its depth limit.
    WriteDemo("", "[Doku]\r\nInstall=k1.ins\r\n");
    for (int i = 1; i <= 30; ++i) {
        const std::string n = std::to_string(i);
        testenv::WriteFile(source_ + "k" + n + ".ins",
                           "[Project]\r\nName=K" + n + "\r\nPath=" + scratch_ + "K" + n +
                               "\r\nPart1=Weiter\r\n[Weiter]\r\nInstall=k" + std::to_string(i + 1) +
                               ".ins\r\n");
    }
    TInstallerController window;
    TestView view(window);
    Run(window, view);
    // Each window shows the next one: k16 is the last to open.
    EXPECT_EQ(std::vector<std::string>{"K1"}, view.subCaptions);
    EXPECT_EQ(1u,
              LogLines("MSG Info | Zu viele ineinander geschachtelte Installationsscripte:\\r\\n" +
                       source_ + "k17.ins")
                  .size())
        << Log();
}

// "All" answers the questions of its own run: not those of a sub-project,
// which is a run of its own, and a sub-project's "All" stays in it.
TEST_F(RunTest, AllStaysInTheRunItWasGivenIn) {
    auto newer = [&](const std::string& path) {
        testenv::WriteFile(path, "vom Benutzer");
        ASSERT_TRUE(setup::SetFileDate(path, 0x7A210000)); // 2041
    };
    auto asked = [&](const std::string& name) {
        size_t n = 0;
        for (const std::string& line : LogLines("MSG AskOverwrite | "))
            n += line.find(name) != std::string::npos;
        return n;
    };
    WriteDemo();
    testenv::WriteFile(source_ + "install.ins",
                       "[Project]\r\nName=Demo\r\nPart1=Programm\r\nPart2=Zusatz\r\n"
                       "Part3=Doku\r\n[Programm]\r\nDir=bin\r\nFile1=*.*\r\n"
                       "[Zusatz]\r\nInstall=sub\\sub.ins\r\n[Doku]\r\nDir=doc\r\nFile1=*.txt\r\n");
    testenv::WriteFile(source_ + "sub\\s.txt", "neu");
    // A name of its own: under Wine the registry keeps the folders that
    // earlier tests installed other sub-projects into.
    testenv::WriteFile(source_ + "sub\\sub.ins",
                       "[Project]\r\nName=SetupAllSub\r\nPath=" + scratch_ +
                           "Zusatz\r\nPart1=S\r\n[S]\r\nFile1=s.txt\r\n");
    auto run = [&](const std::string& folder) {
        target_ = scratch_ + folder;
        newer(target_ + "\\bin\\demo.bat");
        newer(target_ + "\\doc\\liesmich.txt");
        newer(scratch_ + "Zusatz\\s.txt");
        TInstallerController window;
        TestView view(window);
        view.subWindow = [](TInstallerController& sub) {
            TestView subView(sub);
            sub.InstallNowClick();
            sub.OkClick();
            return sub.ModalResult();
        };
        Run(window, view);
        EXPECT_TRUE(window.Installed) << Log();
    };

    // The project's "All" to its first question: the sub-project still asks
    // (No), and the project's last part is copied without a question.
    Answers("s.txt => No\nAll\n");
    run("Eins");
    EXPECT_EQ(1u, asked("demo.bat")) << Log();
    EXPECT_EQ(1u, asked("s.txt")) << Log();
    EXPECT_EQ(0u, asked("liesmich.txt")) << Log();
    EXPECT_EQ("Zum Lesen.\r\n", testenv::ReadFile(target_ + "\\doc\\liesmich.txt"));
    EXPECT_EQ("vom Benutzer", testenv::ReadFile(scratch_ + "Zusatz\\s.txt"));

    // "All" in the sub-project: the project's later part is asked about.
    Answers("s.txt => All\ndemo.bat => No\nliesmich.txt => No\n");
    run("Zwei");
    EXPECT_EQ(2u, asked("demo.bat")) << Log();
    EXPECT_EQ(2u, asked("s.txt")) << Log();
    EXPECT_EQ(1u, asked("liesmich.txt")) << Log();
    EXPECT_EQ("vom Benutzer", testenv::ReadFile(target_ + "\\doc\\liesmich.txt"));
    EXPECT_EQ("neu", testenv::ReadFile(scratch_ + "Zusatz\\s.txt"));
}

} // namespace
