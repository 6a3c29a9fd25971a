// The copy sections with real folders: the file entries of a part, deletions,
// overrides, read-only handling, macro files, hold files and the files for the
// Windows folders.
#include <algorithm>

#include "engine/EngineTestEnv.h"
#include "engine/ScriptInstall.h"
#include "engine/Steps.h"

#include "common/Ansi.h"
#include "common/Answers.h"
#include "common/FileInfo.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "platform/FileSystem.h"

namespace {

using enginetest::EngineEnv;
using setup::TFileHandler;
using setup::TScriptInstall;

// A DOS date-time at noon of the given day.
constexpr int32_t Dos(int year, int month, int day) {
    return static_cast<int32_t>(((year - 1980) << 25) | (month << 21) | (day << 16) | (12 << 11));
}

class CopySectionsTest : public EngineEnv {
  protected:
    // Writes the script into the medium folder, loads it and targets scratch\target\.
    void Load(const std::string& sections, const std::string& projectKeys = "") {
        medium_ = scratch_ + "medium\\";
        target_ = scratch_ + "target\\";
        testenv::WriteFile(medium_ + "install.ins",
                           "[Project]\r\nName=H8Copy\r\n" + projectKeys + sections);
        engine_.LoadScript(medium_ + "install.ins");
        engine_.BuildPartList();
        engine_.SetTargetDir(target_);
        engine_.Context().projectFiles = std::make_unique<setup::TProjectFileList>();
    }
    void Source(const std::string& rel, const std::string& bytes, int32_t date = Dos(2020, 5, 1)) {
        testenv::WriteFile(medium_ + rel, bytes);
        ASSERT_TRUE(setup::SetFileDate(medium_ + rel, date)) << rel;
    }
    void Existing(const std::string& path, const std::string& bytes, int32_t date) {
        testenv::WriteFile(path, bytes);
        ASSERT_TRUE(setup::SetFileDate(path, date)) << path;
    }
    // The message boxes shown so far, as the log has them.
    std::vector<std::string> Messages() { return LogLines("MSG "); }
    bool Shown(const std::string& text) {
        return Log().find(setup::AnswerMatchText(text)) != std::string::npos;
    }
    bool Listed(const std::string& path, int kind) {
        for (const auto& entry : *engine_.Context().projectFiles)
            if (entry.name == path && entry.result == kind) return true;
        return false;
    }
    static bool Exists(const std::string& path) { return plat::fileExists(path); }
    static std::string Read(const std::string& path) { return testenv::ReadFile(path); }

    TFileHandler copier_;
    TScriptInstall engine_{nullptr, copier_};
    std::string medium_;
    std::string target_;
};

TEST_F(CopySectionsTest, FileEntriesLandBelowTheTarget) {
    Load("[Teil]\r\nFile1=bin\\*.dll\r\nFile2=|fehlt\\*.xyz\r\nFile3=doc\\*.* /s\r\n"
         "File4=readme.txt\r\nFileN4=liesmich.txt\r\nFile5=nocopy.txt\r\nFileNoCopy5=1\r\n"
         "File7=gap.txt\r\nHold1=keep\\*.cfg\r\n");
    Source("prog\\bin\\a.dll", "a");
    Source("prog\\bin\\b.dll", "b");
    Source("prog\\bin\\c.txt", "c");
    Source("prog\\doc\\x.txt", "x");
    Source("prog\\doc\\sub\\deep\\z.txt", "z");
    Source("prog\\readme.txt", "r");
    Source("prog\\nocopy.txt", "n");
    Source("prog\\gap.txt", "g");
    testenv::WriteFile(target_ + "prog\\keep\\Local.cfg", "mine");

    EXPECT_TRUE(
        setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", "prog\\"), true));
    const std::string t = target_ + "prog\\";
    EXPECT_EQ("a", Read(t + "bin\\a.dll"));
    EXPECT_EQ("b", Read(t + "bin\\b.dll"));
    EXPECT_FALSE(Exists(t + "bin\\c.txt"));
    EXPECT_EQ("x", Read(t + "doc\\x.txt"));
    EXPECT_EQ("z", Read(t + "doc\\sub\\deep\\z.txt"));
    EXPECT_EQ("r", Read(t + "liesmich.txt"));
    EXPECT_FALSE(Exists(t + "readme.txt"));
    EXPECT_FALSE(Exists(t + "nocopy.txt"));
    EXPECT_FALSE(Exists(t + "gap.txt")) << "numbering ends at the first gap";
    EXPECT_TRUE(Messages().empty()) << Log();
    EXPECT_EQ(Dos(2020, 5, 1), setup::FileDosDate(t + "bin\\a.dll"));

    EXPECT_TRUE(Listed(setup::AnsiUpperCase(t + "bin\\a.dll"), 3));
    EXPECT_TRUE(Listed(t + "keep\\Local.cfg", 0)) << "hold files keep their case";
    EXPECT_EQ("Teil", engine_.Context().currentSection);
}

TEST_F(CopySectionsTest, TargetFolderForms) {
    Load("[Oben]\r\nTDIR=..\r\nFile1=o.txt\r\n"
         "[Frei]\r\nTDIR=%WDIR%h8tdir\r\nFile1=f.txt\r\n");
    Source("prog\\sub\\o.txt", "o");
    Source("prog\\f.txt", "f");

    EXPECT_TRUE(
        setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Oben", "prog\\sub\\"), true));
    EXPECT_EQ("o", Read(target_ + "prog\\o.txt"));
    EXPECT_TRUE(
        setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Frei", "prog\\"), true));
    EXPECT_EQ("f", Read(setup::WindowsFolder() + "h8tdir\\f.txt"));
    plat::deleteFile(setup::WindowsFolder() + "h8tdir\\f.txt");
    plat::removeFolder(setup::WindowsFolder() + "h8tdir");
}

TEST_F(CopySectionsTest, MissingFilesMakeTheSectionIncomplete) {
    Load("[Teil]\r\nFile1=fehlt.txt\r\nFile2=da.txt\r\n"
         "[Leer]\r\nFile1=baum\\*.* /s\r\n");
    Source("da.txt", "d");
    ASSERT_TRUE(plat::createFolder(medium_ + "baum"));
    ASSERT_TRUE(plat::createFolder(medium_ + "baum\\leer"));

    Answers("vollst => Cancel\n");
    EXPECT_FALSE(setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", ""), true));
    EXPECT_TRUE(Shown("from: " + medium_ + "\rfehlt.txt nicht kopiert!"));
    EXPECT_TRUE(Shown("Teil: Anwendung nicht vollst\xE4ndig installiert!"));
    EXPECT_TRUE(setup::AbortRequested) << "Cancel in the question stops the run";
    EXPECT_EQ("d", Read(target_ + "da.txt")) << "later entries are still copied";

    // A tree without any file: incomplete, but only the question is shown.
    setup::AbortRequested = false;
    const size_t before = Messages().size();
    EXPECT_FALSE(setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Leer", ""), true));
    const std::vector<std::string> messages = Messages();
    ASSERT_EQ(before + 1, messages.size()) << Log();
    EXPECT_NE(std::string::npos, messages.back().find("Leer: Anwendung nicht")) << Log();
    EXPECT_FALSE(setup::AbortRequested);
}

TEST_F(CopySectionsTest, OverrideAndReadOnly) {
    Load("[Teil]\r\nFile1=a.txt\r\nFileOverride1=2\r\n"
         "File2=b.txt\r\nFileOverride2=1\r\n"
         "File3=c.txt\r\nFileOverride3=1\r\nFileReadOnly3=1\r\n"
         "File4=d.txt\r\nFileOverride4=1\r\nFileReadOnly4=2\r\n");
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        Source(name, std::string("new ") + name);
    Existing(target_ + "a.txt", "mine", Dos(2010, 1, 1));
    Existing(target_ + "b.txt", "newer", Dos(2024, 1, 1));
    Existing(target_ + "c.txt", "old", Dos(2010, 1, 1));
    Existing(target_ + "d.txt", "old", Dos(2010, 1, 1));
    ASSERT_TRUE(plat::setAttributes(target_ + "c.txt", plat::kAttrReadOnly));
    ASSERT_TRUE(plat::setAttributes(target_ + "d.txt", plat::kAttrReadOnly));

    EXPECT_TRUE(setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", ""), true));
    EXPECT_EQ("mine", Read(target_ + "a.txt")) << "2: an existing file is kept";
    EXPECT_EQ(1, copier_.FilesSkipped);
    EXPECT_EQ("new b.txt", Read(target_ + "b.txt")) << "1: replaced without asking";
    EXPECT_EQ("new c.txt", Read(target_ + "c.txt"));
    EXPECT_EQ("new d.txt", Read(target_ + "d.txt"));
    EXPECT_TRUE(*plat::getAttributes(target_ + "c.txt") & plat::kAttrReadOnly);
    EXPECT_FALSE(*plat::getAttributes(target_ + "d.txt") & plat::kAttrReadOnly);
    EXPECT_TRUE(Messages().empty()) << Log();
    // The kept file is logged and listed under its own name, once.
    EXPECT_EQ("FILE 2 | " + target_ + "a.txt", LogLines("FILE").at(0));
    int listed = 0;
    for (const auto& entry : *engine_.Context().projectFiles)
        listed += setup::AnsiUpperCase(entry.name) == setup::AnsiUpperCase(target_ + "a.txt");
    EXPECT_EQ(1, listed);
    plat::setAttributes(target_ + "c.txt", plat::kAttrNormal);
}

TEST_F(CopySectionsTest, FailedAndCancelledCopiesAreCounted) {
    Load("[Teil]\r\nFile1=*.dat\r\n[Gross]\r\nFile1=big.bin\r\n");
    Source("prog\\a.dat", "a");
    Source("prog\\b.dat", "b");
    Source("prog\\c.dat", "c");
    // b.dat cannot replace its read-only destination; c.dat vanishes from
    // the medium after the folder was listed.
    Existing(target_ + "prog\\b.dat", "alt", Dos(2010, 1, 1));
    ASSERT_TRUE(plat::setAttributes(target_ + "prog\\b.dat", plat::kAttrReadOnly));
    copier_.OnFileStart = [this] {
        if (setup::EndsWith("c.dat", copier_.SourceName)) plat::deleteFile(copier_.SourceName);
    };
    EXPECT_FALSE(
        setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", "prog\\"), true));
    EXPECT_EQ((std::vector<std::string>{"FILE 3 | " + target_ + "prog\\a.dat",
                                        "FILE 0 | " + target_ + "prog\\b.dat",
                                        "FILE 0 | " + target_ + "prog\\c.dat"}),
              LogLines("FILE"));
    EXPECT_EQ(2, engine_.Context().counters.failed);
    EXPECT_EQ(1, engine_.Context().counters.updated);
    EXPECT_TRUE(Listed(setup::AnsiUpperCase(target_ + "prog\\b.dat"), 0));
    EXPECT_EQ("alt", Read(target_ + "prog\\b.dat"));
    EXPECT_TRUE(engine_.RunLeftSomethingOut());

    // The Cancel button during a copy: the file is reported as cancelled.
    copier_.OnFileStart = nullptr;
    Source("big\\big.bin", std::string(3 * TFileHandler::BufferSize, 'x'));
    copier_.OnProgress = [this] {
        if (copier_.CurrentBytes > 0) setup::AbortRequested = true;
    };
    EXPECT_FALSE(
        setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Gross", "big\\"), true));
    EXPECT_EQ("FILE 1 | " + target_ + "big\\big.bin", LogLines("FILE").back());
    EXPECT_EQ(1, engine_.Context().counters.cancelled);
    EXPECT_FALSE(Exists(target_ + "big\\big.bin"));
    plat::setAttributes(target_ + "prog\\b.dat", plat::kAttrNormal);
}

TEST_F(CopySectionsTest, DeletionLimitsAndCodeDates) {
    char limit[16]; // hexadecimal, as "$" allows
    snprintf(limit, sizeof limit, "%X", static_cast<unsigned>(Dos(2015, 1, 1)));
    Load("[Teil]\r\nDel1=*.tmp,$" + std::string(limit) +
         "\r\nDel2=*.log\r\nDel3=..\\*.*\r\nDel4=sub\\*.*\r\n"
         "File1=app.exe\r\nCode1=3,ref.dat\r\n");
    Source("app.exe", "app", Dos(2020, 5, 1));
    Existing(target_ + "old.tmp", "o", Dos(2010, 1, 1));
    Existing(target_ + "new.tmp", "n", Dos(2020, 1, 1));
    Existing(target_ + "a.log", "l", Dos(2024, 1, 1));
    Existing(target_ + "ref.dat", "r", Dos(2001, 2, 3));
    Existing(target_ + "sub\\inner.txt", "i", Dos(2001, 2, 3));
    Existing(scratch_ + "beside.txt", "b", Dos(2001, 2, 3));

    EXPECT_TRUE(setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", ""), true));
    EXPECT_FALSE(Exists(target_ + "old.tmp"));
    EXPECT_TRUE(Exists(target_ + "new.tmp")) << "newer than the limit";
    EXPECT_FALSE(Exists(target_ + "a.log")) << "no limit";
    // Patterns with a folder part never reach outside the target folder.
    EXPECT_TRUE(Exists(scratch_ + "beside.txt"));
    EXPECT_TRUE(Exists(target_ + "sub\\inner.txt"));
    EXPECT_TRUE(Exists(scratch_ + "medium\\install.ins"));
    EXPECT_TRUE(Shown("Del3=..\\*.*\rnicht ausgef\xFChrt"));
    // Code: the copy and the reference file share the reference's date.
    EXPECT_EQ("app", Read(target_ + "app.exe"));
    EXPECT_EQ(Dos(2001, 2, 3), setup::FileDosDate(target_ + "app.exe"));
    EXPECT_EQ(Dos(2001, 2, 3), setup::FileDosDate(target_ + "ref.dat"));
    EXPECT_EQ(
        (std::vector<std::string>{"DELETE " + target_ + "old.tmp", "DELETE " + target_ + "a.log"}),
        LogLines("DELETE"));
}

TEST_F(CopySectionsTest, PartNotInstalledCountsSkippedButCopiesMacroFiles) {
    Load("[Teil]\r\nFile1=*.dll\r\nFile2=fehlt.x\r\nFileMacro1=conf.ini\r\n");
    Source("prog\\a.dll", "a");
    Source("prog\\b.dll", "b");
    Source("prog\\conf.ini", "Ziel=%DIR%\r\n");
    ASSERT_TRUE(plat::createFolder(target_));
    ASSERT_TRUE(plat::createFolder(target_ + "prog"));

    EXPECT_TRUE(
        setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", "prog\\"), false));
    EXPECT_EQ(2, copier_.FilesSkipped);
    EXPECT_FALSE(Exists(target_ + "prog\\a.dll"));
    EXPECT_TRUE(Shown("Nicht gefunden:\r" + medium_ + "prog\\fehlt.x"));
    // Each file of the declined part is logged under its own name; the
    // missing one counts as left out.
    std::vector<std::string> files = LogLines("FILE 2");
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::string>{"FILE 2 | " + target_ + "prog\\a.dll",
                                        "FILE 2 | " + target_ + "prog\\b.dll"}),
              files);
    EXPECT_TRUE(engine_.RunLeftSomethingOut());
    EXPECT_EQ("Ziel=" + target_ + "\r\n", Read(target_ + "prog\\conf.ini"));
}

TEST_F(CopySectionsTest, MacroFiles) {
    std::string longLine(100000, 'x');
    longLine[50000] = '\0';
    longLine[60000] = '\x1A';
    longLine[70000] = '\xFF';
    Load("[Teil]\r\nFileMacro1=conf.ini\r\nFileMacro2=alt.ini\r\n"
         "FileMacro3=neu.ini\r\nFileMacroN3=anders.ini\r\nFileMacroOverride3=1\r\n"
         "FileMacro4=lang.bin\r\n");
    Source("conf.ini", "Pfad=%DIR%\nRoh=%DIR_%|%_DIR_%|%DRIVE%\r100%%\r\n\r\nEnde");
    Source("alt.ini", "neu", Dos(2020, 1, 1));
    Source("neu.ini", "neu", Dos(2020, 1, 1));
    Source("lang.bin", longLine + "\n%DIR%");
    Existing(target_ + "alt.ini", "eigen", Dos(2024, 1, 1));
    Existing(target_ + "anders.ini", "eigen", Dos(2024, 1, 1));

    EXPECT_TRUE(setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", ""), true));
    std::string bare = target_;
    bare.pop_back();
    EXPECT_EQ("Pfad=" + target_ + "\r\nRoh=" + bare + "|" + bare.substr(2) + "|" +
                  bare.substr(0, 1) + "\r\n100%\r\n\r\nEnde\r\n",
              Read(target_ + "conf.ini"));
    // A newer destination is kept unless the script says otherwise.
    EXPECT_TRUE(Shown(target_ + "alt.ini ist j\xFCnger.\rTrotzdem kopieren? -> No"));
    EXPECT_EQ("eigen", Read(target_ + "alt.ini"));
    EXPECT_EQ("neu\r\n", Read(target_ + "anders.ini"));
    EXPECT_EQ(longLine + "\r\n" + target_ + "\r\n", Read(target_ + "lang.bin"));
    EXPECT_EQ(3, copier_.FilesCopied);
    // Macro files belong to the project like copied files.
    EXPECT_TRUE(Listed(setup::AnsiUpperCase(target_ + "conf.ini"), 3));
}

TEST_F(CopySectionsTest, MarkedMacroFilesAreWrittenAsWindows1252) {
    Load("[Teil]\r\nFileMacro1=utf8.ini\r\nFileMacro2=pfeil.ini\r\n");
    Source("utf8.ini", "\xEF\xBB\xBFTitel=Gr\xC3\xBC\xC3\x9F"
                       "e \xE2\x82\xAC\r\nPfad=%DIR%\r\n");
    Source("pfeil.ini", "\xEF\xBB\xBF"
                        "A=1\r\nB=\xE2\x86\x92\r\n");

    setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", ""), true);
    EXPECT_EQ("Titel=Gr\xFC\xDF"
              "e \x80\r\nPfad=" +
                  target_ + "\r\n",
              Read(target_ + "utf8.ini"));
    EXPECT_TRUE(Shown(medium_ + "pfeil.ini\rZeile 2: das Zeichen U+2192 hat keine "
                                "Windows-1252-Form."));
    EXPECT_TRUE(Shown(medium_ + "pfeil.ini ->\r" + target_ + "pfeil.ini\rgescheitert."));
    EXPECT_FALSE(Exists(target_ + "pfeil.ini"));
}

TEST_F(CopySectionsTest, BadFileEntries) {
    Load("[Teil]\r\nFile1=" + std::string(300, 'm') + "*.txt\r\nFile2=bin\r\n");
    Source("bin\\a.dll", "a");
    Answers("vollst => OK\n");

    EXPECT_FALSE(setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", ""), true));
    EXPECT_TRUE(Shown("bin nicht kopiert!")) << Log();
    EXPECT_FALSE(Exists(target_ + "bin\\a.dll")) << "a folder is not a file to copy";
    EXPECT_FALSE(plat::folderExists(target_ + "bin"));
    EXPECT_FALSE(setup::AbortRequested);
}

TEST_F(CopySectionsTest, WindowsFolders) {
    Load("", "Win1=h8win.txt\r\nWinSys1=alt.dll\r\nWin2=h8win2.txt\r\n"
             "WSys1=h8da.dll\r\nWSys2=h8neu.dll\r\nW32Sys1=h8u.dll,U\r\n");
    Source("h8win.txt", "w");
    Source("h8win2.txt", "w2");
    Source("h8da.dll", "da");
    Source("h8neu.dll", "neu");
    Source("h8u.dll", "u", Dos(2010, 1, 1));
    const std::string windows = setup::WindowsFolder();
    const std::string system32 = setup::SystemFolder();
    Existing(windows + "h8da.dll", "alt", Dos(2005, 1, 1));
    Existing(system32 + "h8u.dll", "newer", Dos(2024, 1, 1));

    EXPECT_FALSE(setup::CopyWinFiles(engine_.Context()));
    EXPECT_TRUE(Shown("WinSys#= now unsupported, use Win#= or WSys#= !"));
    EXPECT_EQ("w", Read(windows + "h8win.txt"));
    EXPECT_EQ("w2", Read(windows + "h8win2.txt")) << "the loop goes on after WinSys#";
    EXPECT_EQ("Win", engine_.Context().currentSection);

    EXPECT_TRUE(setup::CopyWinSystemFiles(engine_.Context()));
    EXPECT_EQ("da", Read(windows + "h8da.dll")) << "already in the Windows folder";
    EXPECT_EQ("neu", Read(windows + "system\\h8neu.dll"));

    // ",U": the newer copy is deleted and replaced without a question.
    const size_t before = Messages().size();
    EXPECT_TRUE(setup::CopyWinSystem32Files(engine_.Context()));
    EXPECT_EQ("u", Read(system32 + "h8u.dll"));
    EXPECT_EQ(before, Messages().size()) << Log();

    for (const std::string& path :
         {windows + "h8win.txt", windows + "h8win2.txt", windows + "h8da.dll",
          windows + "system\\h8neu.dll", system32 + "h8u.dll"})
        plat::deleteFile(path);
}

TEST_F(CopySectionsTest, ReplacedSystemFileStaysWhenTheNewCopyFails) {
    // A placeholder is never copied, and "..\\" leads out of the system
    // folder to a file of another product that has no source here.
    Load("", "W32Sys1=h8platz.dll,U\r\nW32Sys2=..\\H8Other\\h8theirs.dll,U\r\n");
    testenv::WriteFile(medium_ + "h8platz.dll", std::string("DUMMY$#$") + std::string(16, '\0'));
    const std::string system32 = setup::SystemFolder();
    const std::string theirs = setup::WindowsFolder() + "H8Other\\h8theirs.dll";
    Existing(system32 + "h8platz.dll", "in use", Dos(2010, 1, 1));
    Existing(theirs, "theirs", Dos(2010, 1, 1));
    Answers("Platzhalterdatei => Ignore\nnot copied => OK\nfrom: => OK\n");

    EXPECT_FALSE(setup::CopyWinSystem32Files(engine_.Context()));
    EXPECT_EQ("in use", Read(system32 + "h8platz.dll"));
    EXPECT_EQ("theirs", Read(theirs));
    plat::deleteFile(system32 + "h8platz.dll");
    plat::deleteFile(theirs);
}

TEST_F(CopySectionsTest, RenamedFileIntoAMissingFolderOrADeviceIsRefused) {
    Load("[Teil]\r\nFile1=a.txt\r\nFileN1=fehlt\\a.txt\r\nFile2=a.txt\r\nFileN2=NUL\r\n"
         "File3=a.txt\r\nFileN3=com1 .txt\r\nFile4=a.txt\r\nFileN4=\\\\.\\pipe\\x\r\n"
         "File5=a.txt\r\nFileN5=\\\\?\\C:\\x.txt\r\nFile6=a.txt\r\nFileN6=Konsole.txt\r\n");
    Source("a.txt", "a");
    Answers("vollst => OK\n");
    EXPECT_FALSE(setup::CopyFilesOf(engine_.Context(), engine_.Context().Part("Teil", ""), true));
    const std::string source = medium_ + "a.txt ->\r";
    EXPECT_TRUE(Shown(source + target_ + "fehlt\\a.txt\rnicht kopiert: der Ordner " + target_ +
                      "fehlt\\ fehlt."))
        << Log();
    for (const std::string name : {"NUL", "com1 .txt", "\\\\.\\pipe\\x", "\\\\?\\C:\\x.txt"}) {
        EXPECT_TRUE(Shown(source + target_ + name + "\rnicht kopiert: " + name +
                          " ist ein Ger\xE4t, keine Datei."))
            << name;
        EXPECT_EQ(1u, LogLines("FILE 0 | " + target_ + name).size()) << name;
    }
    EXPECT_EQ(1u, LogLines("FILE 0 | " + target_ + "fehlt\\a.txt").size()) << Log();
    // Only the ordinary name was written (Windows reports a device as
    // present in every folder: the folder's own list tells).
    std::vector<std::string> written;
    plat::DirSearch search;
    if (search.first(target_ + "*")) do {
            if (search.entry().name != "." && search.entry().name != "..")
                written.push_back(search.entry().name);
        } while (search.next());
    EXPECT_EQ(std::vector<std::string>{"Konsole.txt"}, written);
    EXPECT_EQ("a", Read(target_ + "Konsole.txt"));
    EXPECT_EQ(5, engine_.Context().counters.failed);
}

} // namespace
