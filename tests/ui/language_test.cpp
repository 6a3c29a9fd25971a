// The language file: texts by control name and string id, German fallback.
#include "ui/Language.h"

#include <cstdlib>

#include "support/TestEnv.h"

namespace {

class LanguageTest : public testenv::FreshEnv {
  protected:
    void TearDown() override {
        setup::LoadLanguageFile({});
        FreshEnv::TearDown();
    }
};

TEST_F(LanguageTest, TextsComeFromTheFileWithGermanFallback) {
    const std::string file = scratch_ + "Setup.ENU";
    testenv::WriteFile(file, "; English texts\r\n"
                             "[Strings]\r\n"
                             "65200=Copying files:\r\n"
                             "65231='Setup completed.'\r\n"
                             "65205=\r\n"
                             "[tformsubproj]\r\n"
                             "BitBtnInstallNow=install now\r\n"
                             "SpeedButtonAboutProj.Hint=About the project\r\n"
                             "BitBtnInstallNow=second entry is ignored\r\n"
                             "MemoHint=line one\\rline two\\\\x\\q\r\n");
    setup::LoadLanguageFile(file);
    EXPECT_EQ(setup::StringText(65200, "Kopieren von Dateien:"), "Copying files:");
    EXPECT_EQ(setup::StringText(65231, "x"), "Setup completed.");
    // An empty value counts as missing; so does an id the file lacks.
    EXPECT_EQ(setup::StringText(65205, "Datei"), "Datei");
    EXPECT_EQ(setup::StringText(65206, "Dateien"), "Dateien");
    // Form and control names ignore case; the first entry of a key counts.
    EXPECT_EQ(setup::FormText("TFormSubProj", "bitbtninstallnow", "jetzt installieren"),
              "install now");
    EXPECT_EQ(setup::FormText("TFormSubProj", "SpeedButtonAboutProj.Hint", "x"),
              "About the project");
    EXPECT_EQ(setup::FormText("TFormSubProj", "MemoHint", ""), "line one\rline two\\x\\q");
    EXPECT_EQ(setup::FormText("TAbout", "BitBtnInstallNow", "OK"), "OK");

    // Loading another (here: missing) file drops the previous language.
    setup::LoadLanguageFile(scratch_ + "Setup.FRA");
    EXPECT_EQ(setup::StringText(65200, "Kopieren von Dateien:"), "Kopieren von Dateien:");
    EXPECT_EQ(setup::FormText("TFormSubProj", "BitBtnInstallNow", "jetzt"), "jetzt");
}

TEST_F(LanguageTest, FileNameFollowsTheForcedLanguage) {
#ifdef _WIN32
    _putenv_s("SETUP_LANG", "ENU");
#else
    setenv("SETUP_LANG", "ENU", 1);
#endif
    EXPECT_EQ(setup::LanguageFileName("C:\\Prog"), "C:\\Prog\\Setup.ENU");
    EXPECT_EQ(setup::LanguageFileName("C:\\Prog\\"), "C:\\Prog\\Setup.ENU");
#ifdef _WIN32
    _putenv_s("SETUP_LANG", "");
#else
    unsetenv("SETUP_LANG");
    // Without the variable the locale decides.
    setenv("LC_ALL", "de_AT.UTF-8", 1);
    EXPECT_EQ(setup::LanguageFileName("C:\\P"), "C:\\P\\Setup.DEA");
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(setup::LanguageFileName("C:\\P"), "");
    unsetenv("LC_ALL");
#endif
}

} // namespace
