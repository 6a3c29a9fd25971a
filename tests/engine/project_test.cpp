// The project: loading a script, the part list, the folders, the default
// target folder and the file result counters.
#include "engine/EngineTestEnv.h"
#include "engine/ScriptInstall.h"
#include "engine/Steps.h"

#include "common/Text.h"

namespace {

using enginetest::EngineEnv;
using setup::TFileHandler;
using setup::TScriptInstall;

class ProjectTest : public EngineEnv {
  protected:
    std::string WriteScript(const std::string& text, const std::string& name = "install.ins") {
        const std::string path = scratch_ + name;
        testenv::WriteFile(path, text);
        return path;
    }
    TFileHandler copier_;
    TScriptInstall engine_{nullptr, copier_};
};

TEST_F(ProjectTest, PartListStopsAtTheFirstGap) {
    engine_.LoadScript(WriteScript("[Project]\r\nName=P\r\nPart1=Base\r\nPart2=Docs\r\n"
                                   "Part4=Never\r\n"));
    ASSERT_TRUE(engine_.BuildPartList());
    EXPECT_EQ((std::vector<std::string>{"Base", "Docs"}), engine_.Parts());

    // A first part key that expands to nothing ends the list at once.
    TScriptInstall other(nullptr, copier_);
    other.LoadScript(WriteScript("[Project]\r\nPart1=%\xA7M\\Software\\NoSuchKey\\x%\r\n"
                                 "Part2=Base\r\n",
                                 "other.ins"));
    other.BuildPartList();
    EXPECT_TRUE(other.Parts().empty());
}

TEST_F(ProjectTest, AScriptWithUnixLineEndsIsPointedOut) {
    engine_.LoadScript(WriteScript("[Project]\r\nName=P\nline feed inside\r\n"));
    EXPECT_TRUE(LogLines("MSG").empty());
    const std::string path = WriteScript("[Project]\nName=P\nPart1=Base\n", "unix.ins");
    engine_.LoadScript(path);
    EXPECT_EQ("", engine_.Context().projectName) << "read as one line";
    const auto messages = LogLines("MSG");
    ASSERT_EQ(1u, messages.size());
    EXPECT_NE(std::string::npos, messages[0].find("Zeilenenden ohne CR")) << messages[0];
}

TEST_F(ProjectTest, FoldersAndNames) {
    const std::string path = WriteScript("[Project]\r\nName=Demo\r\nIPath=files\r\n"
                                         "Path=D:\\Apps\\Demo\r\n");
    engine_.LoadScript(path);
    EXPECT_EQ(path, engine_.GetScriptPath());
    EXPECT_EQ(scratch_ + "files\\", engine_.Context().installRoot);
    EXPECT_EQ("Demo", engine_.Context().projectName);
    EXPECT_EQ("Demo", engine_.GetHeadLine());
    EXPECT_EQ("D:\\Apps\\Demo\\", engine_.TargetDir());
    EXPECT_EQ("Group= (untitled)", engine_.GroupName());
    EXPECT_EQ(100000, engine_.GetProjectBytes());
    engine_.BuildPartList();
    EXPECT_EQ("files\\", engine_.IPath());

    engine_.SetTargetDir("");
    EXPECT_EQ("\\", engine_.TargetDir());

    // Without a script the accessors give their defaults.
    TScriptInstall empty(nullptr, copier_);
    EXPECT_EQ("", empty.GetScriptPath());
    EXPECT_EQ(0, empty.GetProjectBytes());
    EXPECT_FALSE(empty.GetNeed83());
}

TEST_F(ProjectTest, PreviousInstallationIsTheDefaultTarget) {
    SetRegistryString(plat::RegRoot::LocalMachine, "Software\\Qorv\\Installs", "Vorher",
                      "E:\\Old\\Vorher\\");
    engine_.LoadScript(WriteScript("[Project]\r\nName=Vorher\r\nPath=D:\\New\r\n"));
    EXPECT_EQ("E:\\Old\\Vorher\\", engine_.TargetDir());
    // fromTarvel: the viewer's folder of the project wins.
    SetRegistryString(plat::RegRoot::LocalMachine,
                      "Software\\Qorv\\Tarvel.exe\\Projects\\Vorher\\dir", "",
                      "F:\\Viewer\\Vorher");
    engine_.LoadScript(WriteScript("[Project]\r\nName=Vorher\r\nfromTarvel=1\r\n"));
    EXPECT_EQ("F:\\Viewer\\Vorher\\", engine_.TargetDir());
}

TEST_F(ProjectTest, FileResultsAreCountedAndListed) {
    engine_.Context().projectFiles = std::make_unique<setup::TProjectFileList>();
    const char* names[] = {"c:\\a\\f\xE4il.txt", "c:\\a\\cancel", "c:\\a\\same", "c:\\a\\new",
                           "c:\\a\\four"};
    for (uint8_t result = 0; result <= 4; ++result) {
        copier_.DestName = names[result];
        engine_.CountFileResult(copier_, static_cast<setup::FileKind>(result));
    }
    copier_.DestName.clear();
    engine_.CountFileResult(copier_, setup::FileKind::Copied); // counted, but no name to list
    EXPECT_EQ(1, engine_.Context().counters.failed);
    EXPECT_EQ(1, engine_.Context().counters.cancelled);
    EXPECT_EQ(1, engine_.Context().counters.unchanged);
    EXPECT_EQ(2, engine_.Context().counters.updated);
    ASSERT_EQ(5u, engine_.Context().projectFiles->size());
    EXPECT_EQ("C:\\A\\F\xC4IL.TXT", (*engine_.Context().projectFiles)[0].name);
    EXPECT_EQ(4, (*engine_.Context().projectFiles)[4].result);
}

TEST_F(ProjectTest, ConditionTextPlaceholders) {
    testenv::WriteFile(scratch_ + "part\\data\\a.cab", std::string(1000, 'a'));
    testenv::WriteFile(scratch_ + "part\\data\\b.cab", std::string(1048, 'b'));
    testenv::WriteFile(scratch_ + "part\\ask.txt",
                       "Gr\xF6\xDF"
                       "e: %FSIZE data\\*.cab%\r\nnichts: %fsize  none\\*.x%\r\n"
                       "frei: %diskfree%\r\n100%% %Hello% %offen");
    engine_.LoadScript(WriteScript("[Project]\r\nName=P\r\n[PART]\r\nCond=ask.txt\r\n"));
    engine_.SetTargetDir("C:\\Target");
    Answers("HELLO => No\n");
    EXPECT_FALSE(setup::CheckCondition(engine_.Context(), scratch_ + "part\\", "PART", 'c'));
    const std::string log = Log();
    const std::string expected = "MSG AskYesNoUntitled | Gr\xC3\xB6\xC3\x9F"
                                 "e: " +
                                 setup::FormatSize(false, 2048) +
                                 "\\r\\nnichts: " + setup::FormatSize(false, 0) + "\\r\\nfrei: ";
    EXPECT_NE(std::string::npos, log.find(expected)) << log;
    EXPECT_NE(std::string::npos, log.find("\\r\\n100%% HELLO %offen\\r\\n -> No (answers)")) << log;
    EXPECT_EQ(std::string::npos, log.find("DISKFREE")) << log;

    // The default answer Yes installs the part.
    EXPECT_TRUE(setup::CheckCondition(engine_.Context(), scratch_ + "part\\", "PART", 'C'));
}

TEST_F(ProjectTest, BadConditionFiles) {
    testenv::WriteFile(scratch_ + "binary.dat", std::string("MZ\x90\0\x03\0\0\0\xFF\xFF", 10));
    engine_.LoadScript(WriteScript("[Project]\r\nName=P\r\n[BIN]\r\nCond=binary.dat\r\n"
                                   "[MISSING]\r\nCond=nope.txt\r\n[NONE]\r\nDir=x\r\n"));
    EXPECT_FALSE(setup::CheckCondition(engine_.Context(), scratch_, "BIN", 'C'));
    EXPECT_FALSE(setup::CheckCondition(engine_.Context(), scratch_, "MISSING", 'C'));
    EXPECT_TRUE(setup::CheckCondition(engine_.Context(), scratch_, "NONE", 'C'));
    const auto messages = LogLines("MSG");
    ASSERT_EQ(2u, messages.size());
    EXPECT_NE(std::string::npos, messages[0].find("binary.dat\\rist keine Textdatei"));
    EXPECT_NE(std::string::npos, messages[1].find("nope.txt\\rnot found."));
}

TEST_F(ProjectTest, MarkedConditionFiles) {
    // UTF-16 LE with its mark: "Karten (€)?" and a line without a Windows-1252 form.
    const auto utf16 = [](const std::u16string& text) {
        std::string bytes = "\xFF\xFE";
        for (const char16_t unit : text) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        return bytes;
    };
    testenv::WriteFile(scratch_ + "frage.txt", utf16(u"Karten (\u20AC)?\r\nGr\u00F6\u00DFe"));
    testenv::WriteFile(scratch_ + "pfeil.txt", utf16(u"Gut?\r\nA \u2192 B"));
    engine_.LoadScript(WriteScript("[Project]\r\nName=P\r\n[A]\r\nCond=frage.txt\r\n"
                                   "[B]\r\nCond=pfeil.txt\r\n"));
    Answers("Karten => No\n");
    EXPECT_FALSE(setup::CheckCondition(engine_.Context(), scratch_, "A", 'C'));
    EXPECT_FALSE(setup::CheckCondition(engine_.Context(), scratch_, "B", 'C'));
    const auto messages = LogLines("MSG");
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ(messages[0], "MSG AskYesNoUntitled | Karten (\xE2\x82\xAC)?\\r\\nGr\xC3\xB6\xC3\x9F"
                           "e\\r\\n -> No (answers)");
    EXPECT_NE(std::string::npos,
              messages[1].find("pfeil.txt\\rZeile 2: das Zeichen U+2192 hat keine "
                               "Windows-1252-Form: der Teil B wird nicht installiert."))
        << messages[1];
}

TEST_F(ProjectTest, DiskSpaceMessage) {
    // The largest need a script can state is far below the free space of the
    // test machine's disk. A network target whose space the system does not
    // tell cannot be tested and is not refused; a drive that does not exist
    // has no space.
    engine_.LoadScript(WriteScript("[Project]\r\nName=P\r\nBytes=2147483647\r\n"));
    engine_.SetTargetDir(scratch_ + "t");
    EXPECT_TRUE(setup::CheckDiskSpace(engine_.Context()));
    engine_.SetTargetDir("\\\\nobody.invalid\\share\\x");
    EXPECT_TRUE(setup::CheckDiskSpace(engine_.Context()));
    EXPECT_TRUE(LogLines("MSG").empty());
    engine_.SetTargetDir("Q:\\x");
    EXPECT_FALSE(setup::CheckDiskSpace(engine_.Context()));
    const auto messages = LogLines("MSG");
    ASSERT_EQ(1u, messages.size());
    EXPECT_NE(std::string::npos,
              messages[0].find("Auf dem Laufwerk Q: ist nicht gen\xC3\xBCgend\\rSpeicherplatz "
                               "vorhanden.\\rben\xC3\xB6tigt: " +
                               setup::FormatSize(false, 2147483647) +
                               "\\rnoch frei: " + setup::FormatSize(false, 0)))
        << messages[0];
}

} // namespace
