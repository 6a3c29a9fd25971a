// The Fonts step with real fonts (Debian's fonts-dejavu-core) on the emulated
// Windows, and under Wine on its GDI and registry.
#include <memory>

#include "common/WinInfo.h"
#include "script/Ini.h"
#include "engine/ScriptInstall.h"
#include "system/Fonts.h"
#include "system/FontsTestEnv.h"

namespace {

using fontstest::kDejaVu;
using fontstest::kNtFonts;
using plat::RegRoot;

class FontsTest : public fontstest::FontsEnv {
  protected:
    void Load(const std::string& project) {
        testenv::WriteFile(scratch_ + "install.ins", "[Project]\r\nName=FontTest\r\n" + project);
        engine_.LoadScript(scratch_ + "install.ins");
        engine_.Context().installRoot = scratch_;
        engine_.Context().record = std::make_unique<setup::TIni>(scratch_ + "Deinst.ins");
    }
    std::string Record(const std::string& key) {
        return engine_.Context().record->ReadString("Fonts", key, "");
    }
    // Selects the Windows version of the emulated registry.
    static void EmulateVersion(const std::string& key, const std::string& version,
                               const std::string& product) {
        SetRegistryString(RegRoot::LocalMachine, key, "CurrentVersion", version);
        SetRegistryString(RegRoot::LocalMachine, key, "ProductName", product);
    }

    setup::TScriptInstall engine_{nullptr, copier_};
};

TEST_F(FontsTest, InstallsListedFontsUpToTheFirstGap) {
    Load("");
    EXPECT_TRUE(setup::InstallFonts(engine_.Context()));
    EXPECT_EQ(-1, engine_.Context().record->FindSection("Fonts"));

    Source("DejaVuSansMono.ttf");
    Source("DejaVuSerif.ttf");
    Load("Font1=DejaVuSansMono.ttf\r\nFontName1=SetupTest Mono\r\n"
         "Font3=DejaVuSerif.ttf\r\nFontName3=SetupTest Serif\r\n");
    EXPECT_TRUE(setup::InstallFonts(engine_.Context()));
    EXPECT_EQ("SetupTest Mono", Record("FO1"));
    EXPECT_EQ("", Record("FO2"));
    EXPECT_EQ(testenv::ReadFile(scratch_ + "DejaVuSansMono.ttf"),
              testenv::ReadFile(fonts_ + "DejaVuSansMono.ttf"));
    EXPECT_FALSE(plat::fileExists(fonts_ + "DejaVuSerif.ttf"));
    EXPECT_EQ(1, copier_.FilesCopied);
    const int version = setup::WindowsVersion();
    if (version >= setup::Win2000) {
        EXPECT_EQ("DejaVuSansMono.ttf",
                  RegistryString(RegRoot::LocalMachine, kNtFonts, "SetupTest Mono (TrueType)"));
        EXPECT_EQ("<no value>",
                  RegistryString(RegRoot::LocalMachine, kNtFonts, "SetupTest Serif (TrueType)"));
    }
    if (version >= setup::WinVista) {
        EXPECT_FALSE(plat::fileExists(fonts_ + "SetupTest Mono.FOT"));
    }
    EXPECT_TRUE(LogLines("MSG").empty()) << Log();
}

TEST_F(FontsTest, MissingFontIsReportedAndCancelStopsTheRun) {
    Source("DejaVuSans-Bold.ttf");
    Load("Font1=fehlt.ttf\r\nFontName1=SetupTest Fehlt\r\n"
         "Font2=DejaVuSans-Bold.ttf\r\nFontName2=SetupTest Bold\r\n");
    Answers("nicht installiert => Cancel\r\n");
    EXPECT_FALSE(setup::InstallFonts(engine_.Context()));
    EXPECT_TRUE(setup::AbortRequested);
    // The step goes on, but the copier stops after the Cancel.
    const auto boxes = LogLines("MSG");
    ASSERT_EQ(2u, boxes.size()) << Log();
    EXPECT_EQ("MSG WarnOkCancel | Font fehlt.ttf nicht installiert! -> Cancel (answers)", boxes[0]);
    EXPECT_EQ(0u, boxes[1].find("MSG WarnOkCancel | Font DejaVuSans-Bold.ttf nicht installiert!"));
    // Each record is written before its attempt.
    EXPECT_EQ("SetupTest Fehlt", Record("FO1"));
    EXPECT_EQ("SetupTest Bold", Record("FO2"));
    EXPECT_FALSE(plat::fileExists(fonts_ + "DejaVuSans-Bold.ttf"));

    // Without Cancel the next font is installed.
    setup::AbortRequested = false;
    Load("Font1=fehlt.ttf\r\nFont2=DejaVuSans-Bold.ttf\r\nFontName2=SetupTest Bold\r\n");
    EXPECT_FALSE(setup::InstallFonts(engine_.Context()));
    EXPECT_FALSE(setup::AbortRequested);
    EXPECT_TRUE(plat::fileExists(fonts_ + "DejaVuSans-Bold.ttf"));
}

TEST_F(FontsTest, SameDateOrOneHourApartIsLeftAlone) {
    const std::string source = Source("DejaVuSansCondensed.ttf");
    testenv::WriteFile(fonts_ + "DejaVuSansCondensed.ttf", "alt");
    for (const int32_t date : {0x5A210000, 0x5A210000 + (1 << 11)}) {
        ASSERT_TRUE(setup::SetFileDate(fonts_ + "DejaVuSansCondensed.ttf", date));
        EXPECT_TRUE(setup::InstallFontFile(source, "SetupTest Same", &messages_, setup::FontTrace,
                                           &copier_));
    }
    EXPECT_EQ(2, copier_.FilesSkipped);
    // Each decision is logged under the font's own path in the Fonts folder.
    EXPECT_EQ(2u, LogLines("FILE 2 | " + fonts_ + "DejaVuSansCondensed.ttf").size()) << Log();
    EXPECT_EQ(2u, LogLines("FILE").size());
    EXPECT_EQ("alt", testenv::ReadFile(fonts_ + "DejaVuSansCondensed.ttf"));
    EXPECT_TRUE(LogLines("REG").empty());
    ASSERT_EQ(4u, messages_.size());
    EXPECT_EQ(source + " vom 01.01.25 00:00:00", messages_[0]);
    EXPECT_EQ(fonts_ + "DejaVuSansCondensed.ttf vom 01.01.25 01:00:00 ist vorhanden.",
              messages_[3]);
}

TEST_F(FontsTest, ReplacedOldFontIsLoggedAsDeleted) {
    const std::string target = fonts_ + "DejaVuSans-ExtraLight.ttf";
    const std::string source = Source("DejaVuSans-ExtraLight.ttf");
    testenv::WriteFile(target, "alte Schrift");
    ASSERT_TRUE(setup::SetFileDate(target, 0x52210000));
    EXPECT_TRUE(
        setup::InstallFontFile(source, "SetupTest Light", &messages_, setup::FontError, &copier_));
    EXPECT_EQ(testenv::ReadFile(source), testenv::ReadFile(target));
    // The old file stepped aside under a free name and was deleted under it.
    const auto deleted = LogLines("DELETE " + fonts_ + "DejaVuSans-ExtraLight");
    ASSERT_EQ(1u, deleted.size()) << Log();
    EXPECT_FALSE(plat::fileExists(deleted[0].substr(7)));
    EXPECT_EQ(std::vector<std::string>{"FILE 3 | " + target}, LogLines("FILE"));
}

TEST_F(FontsTest, FontThatCannotBeDeletedStepsAsideUnderAFreeName) {
    const std::string target = fonts_ + "DejaVuSans-Oblique.ttf";
    placed_ = {"DejaVuSans-Oblique0.ttf", "DejaVuSans-Oblique1.ttf"};
    int32_t date = 0x5A210000;
    for (const char* old : {"eins", "zwei"}) {
        const std::string source = Source("DejaVuSans-Oblique.ttf", date += 0x200000);
        testenv::WriteFile(target, old);
        ASSERT_TRUE(setup::SetFileDate(target, 0x52210000));
        ASSERT_TRUE(plat::setAttributes(target, plat::kAttrReadOnly));
        EXPECT_TRUE(setup::InstallFontFile(source, "SetupTest Oblique", &messages_, setup::FontNote,
                                           &copier_));
    }
    EXPECT_EQ("eins", testenv::ReadFile(fonts_ + "DejaVuSans-Oblique0.ttf"));
    EXPECT_EQ("zwei", testenv::ReadFile(fonts_ + "DejaVuSans-Oblique1.ttf"));
    EXPECT_EQ(testenv::ReadFile(kDejaVu + "DejaVuSans-Oblique.ttf"), testenv::ReadFile(target));
    bool told = false;
    for (const std::string& m : messages_)
        told = told || m == target + " umbenannt in \r\n" + fonts_ + "DejaVuSans-Oblique1.ttf";
    EXPECT_TRUE(told);
}

TEST_F(FontsTest, FailedCopyKeepsTheOldFont) {
    // A placeholder file is never copied: the copier asks, and is told to
    // go on without it.
    Answers("Platzhalterdatei => Ignore\r\n");
    const std::string source = scratch_ + "Platzhalter.ttf";
    testenv::WriteFile(source, std::string("DUMMY$#$") + std::string(16, '\0'));
    const std::string target = fonts_ + "Platzhalter.ttf";
    placed_.push_back("Platzhalter.ttf");
    testenv::WriteFile(target, "alte Schrift");
    ASSERT_TRUE(setup::SetFileDate(target, 0x52210000));
    EXPECT_FALSE(
        setup::InstallFontFile(source, "SetupTest Dummy", &messages_, setup::FontError, &copier_));
    EXPECT_EQ("alte Schrift", testenv::ReadFile(target));
    EXPECT_FALSE(plat::fileExists(fonts_ + "Platzhalter0.ttf"));
    ASSERT_EQ(1u, messages_.size());
    EXPECT_EQ(target + " konnte nicht kopiert werden.", messages_[0]);
}

TEST_F(FontsTest, FileThatOnlyPretendsToBeAFontIsNotRegistered) {
    std::string fake = testenv::ReadFile(kDejaVu + "DejaVuSerif-Bold.ttf").substr(0, 4096);
    const std::string source = scratch_ + "Falsch.ttf";
    testenv::WriteFile(source, fake);
    placed_.push_back("Falsch.ttf");
    Load("Font1=Falsch.ttf\r\n");
    EXPECT_FALSE(setup::InstallFonts(engine_.Context()));
    // Without FontName the file's name stands in.
    EXPECT_EQ("Falsch", Record("FO1"));
    EXPECT_NE("Falsch.ttf", RegistryString(RegRoot::LocalMachine, kNtFonts, "Falsch (TrueType)"));
    EXPECT_EQ(1u, LogLines("MSG WarnOkCancel | Font Falsch.ttf nicht installiert!").size());
    EXPECT_EQ(0, plat::addFontResource(source));
    EXPECT_EQ("", plat::fontResourceName(source));
}

TEST_F(FontsTest, FileThatIsNoFontLeavesTheFontsFolderAsItWas) {
    // Nothing there before: nothing stays.
    const std::string junk = "kein Font, nur Text";
    testenv::WriteFile(scratch_ + "Muell.ttf", junk);
    ASSERT_TRUE(setup::SetFileDate(scratch_ + "Muell.ttf", 0x5A210000));
    placed_ = {"Muell.ttf", "Muell0.ttf", "SetupTest Muell.FOT"};
    Load("Font1=Muell.ttf\r\nFontName1=SetupTest Muell\r\n");
    EXPECT_FALSE(setup::InstallFonts(engine_.Context()));
    EXPECT_EQ(1u, LogLines("MSG WarnOkCancel | Font Muell.ttf nicht installiert!").size()) << Log();
    EXPECT_FALSE(plat::fileExists(fonts_ + "Muell.ttf"));
    EXPECT_FALSE(plat::fileExists(fonts_ + "SetupTest Muell.FOT"));

    // An older real font of that name gets its place back.
    const std::string old = testenv::ReadFile(kDejaVu + "DejaVuSans.ttf");
    testenv::WriteFile(fonts_ + "Muell.ttf", old);
    ASSERT_TRUE(setup::SetFileDate(fonts_ + "Muell.ttf", 0x52210000));
    EXPECT_FALSE(setup::InstallFontFile(scratch_ + "Muell.ttf", "SetupTest Muell", &messages_,
                                        setup::FontError, &copier_));
    EXPECT_EQ(old, testenv::ReadFile(fonts_ + "Muell.ttf"));
    EXPECT_EQ(0x52210000, setup::FileDosDate(fonts_ + "Muell.ttf"));
    EXPECT_FALSE(plat::fileExists(fonts_ + "Muell0.ttf"));
    ASSERT_EQ(1u, messages_.size());
    EXPECT_EQ(fonts_ + "Muell.ttf konnte nicht hinzugef\xFCgt werden", messages_[0]);
}

TEST_F(FontsTest, FontSetAsideByAnInterruptedRunGetsItsNameBack) {
    if (setup::WindowsVersion() < setup::WinNt4) GTEST_SKIP() << "fonts registered elsewhere";
    // A run ended after the font had stepped aside and before its copy: the
    // registry names the file, and only the set-aside ones are there (the
    // newest is the one set aside last).
    placed_ = {"SetupKill.ttf", "SetupKill0.ttf", "SetupKill1.ttf", "SetupKillX.ttf"};
    SetRegistryString(RegRoot::LocalMachine, kNtFonts, "SetupTest Kill (TrueType)",
                      "SetupKill.ttf");
    testenv::WriteFile(fonts_ + "SetupKill0.ttf", "eins");
    ASSERT_TRUE(setup::SetFileDate(fonts_ + "SetupKill0.ttf", 0x50210000));
    testenv::WriteFile(fonts_ + "SetupKill1.ttf", "zwei");
    ASSERT_TRUE(setup::SetFileDate(fonts_ + "SetupKill1.ttf", 0x54210000));
    testenv::WriteFile(fonts_ + "SetupKillX.ttf", "kein Teil der Reihe");
    ASSERT_TRUE(setup::SetFileDate(fonts_ + "SetupKillX.ttf", 0x58210000));
    testenv::WriteFile(scratch_ + "SetupKill.ttf", "neu");
    ASSERT_TRUE(setup::SetFileDate(scratch_ + "SetupKill.ttf", 0x54210000));

    // The same date as the font put back: nothing more to do.
    EXPECT_TRUE(setup::InstallFontFile(scratch_ + "SetupKill.ttf", "SetupTest Kill", &messages_,
                                       setup::FontNote, &copier_));
    EXPECT_EQ("zwei", testenv::ReadFile(fonts_ + "SetupKill.ttf"));
    EXPECT_FALSE(plat::fileExists(fonts_ + "SetupKill1.ttf"));
    EXPECT_EQ("eins", testenv::ReadFile(fonts_ + "SetupKill0.ttf"));
    EXPECT_EQ("kein Teil der Reihe", testenv::ReadFile(fonts_ + "SetupKillX.ttf"));
    ASSERT_FALSE(messages_.empty());
    EXPECT_EQ(fonts_ + "SetupKill1.ttf umbenannt in \r\n" + fonts_ + "SetupKill.ttf", messages_[0]);
    EXPECT_EQ(1, copier_.FilesSkipped);

    // A font registered under another file name is not this one's.
    plat::deleteFile(fonts_ + "SetupKill.ttf");
    SetRegistryString(RegRoot::LocalMachine, kNtFonts, "SetupTest Kill (TrueType)", "Andere.ttf");
    messages_.clear();
    setup::InstallFontFile(scratch_ + "SetupKill.ttf", "SetupTest Kill", &messages_,
                           setup::FontNote, &copier_);
    EXPECT_EQ("eins", testenv::ReadFile(fonts_ + "SetupKill0.ttf"));
    for (const std::string& m : messages_)
        EXPECT_EQ(std::string::npos, m.find("umbenannt")) << m;
}

#ifndef _WIN32
// The emulated Windows takes its version from its registry; under Wine the
// version is fixed per program (WineXpKeepsTheFotFile covers that build).
TEST_F(FontsTest, OlderWindowsKeepFotFilesAndTheirOwnRegistryPlaces) {
    EmulateVersion("Software\\Microsoft\\Windows NT\\CurrentVersion", "5.1",
                   "Microsoft Windows XP");
    ASSERT_EQ(setup::WinXp, setup::WindowsVersion());
    Source("DejaVuSerifCondensed.ttf");
    testenv::WriteFile(fonts_ + "SetupTest XP Standard.FOT", "alt");
    Load("Font1=DejaVuSerifCondensed.ttf\r\nFontName1=SetupTest XP\r\n");
    EXPECT_TRUE(setup::InstallFonts(engine_.Context()));
    EXPECT_EQ("DejaVuSerifCondensed.ttf",
              RegistryString(RegRoot::LocalMachine, kNtFonts, "SetupTest XP (TrueType)"));
    EXPECT_TRUE(plat::fileExists(fonts_ + "SetupTest XP.FOT"));
    EXPECT_FALSE(plat::fileExists(fonts_ + "SetupTest XP Standard.FOT"));
    EXPECT_EQ(std::vector<std::string>{"DELETE " + fonts_ + "SetupTest XP Standard.FOT"},
              LogLines("DELETE"));

    // Windows 98: the ".FOT" file is what the font table gets.
    EmulateVersion("Software\\Microsoft\\Windows\\CurrentVersion", "4.10", "Windows 98");
    ASSERT_EQ(setup::Win98, setup::WindowsVersion());
    const std::string source = Source("DejaVuSerifCondensed.ttf", 0x5B210000);
    EXPECT_TRUE(
        setup::InstallFontFile(source, "SetupTest XP", &messages_, setup::FontTrace, &copier_));
    EXPECT_EQ("DejaVuSerifCondensed.ttf",
              RegistryString(RegRoot::LocalMachine,
                             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts",
                             "SetupTest XP (TrueType)"));
    EXPECT_EQ(fonts_ + "SetupTest XP.FOTScalableFontResource Created", messages_.back());
}
#endif

TEST_F(FontsTest, FontNamesComeFromTheNameTable) {
    EXPECT_EQ("DejaVu Sans Mono Bold", plat::fontResourceName(kDejaVu + "DejaVuSansMono-Bold.ttf"));
    EXPECT_EQ("DejaVu Serif Condensed Italic",
              setup::RegisteredFontName(kDejaVu + "DejaVuSerifCondensed-Italic.ttf", ""));
}

} // namespace
