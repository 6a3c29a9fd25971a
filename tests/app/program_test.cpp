#include "app/Program.h"
#include "common/Messages.h"

#include "support/TestEnv.h"

namespace {

class ProgramTest : public testenv::FreshEnv {
  protected:
    void TearDown() override {
        setup::SetUnattended(false);
        setup::ClearAnswers();
        FreshEnv::TearDown();
    }
    int run(const std::string& scriptWindowsPath, const std::string& extra = "--unattended") {
        return setup::RunProgram(
            {testenv::Native(scriptWindowsPath), extra, "--log=" + testenv::Native(log())});
    }
    std::string log() const { return scratch_ + "run.log"; }
};

TEST_F(ProgramTest, CaptionFallsBackToTheProjectNameAndNothingIsInstalled) {
    testenv::WriteFile(scratch_ + "p.ins", "[Project]\r\nName=Projekt \xC4\r\nVersion=2\r\n");
    EXPECT_EQ(run(scratch_ + "p.ins"), setup::ExitNotInstalled);
    const std::string text = testenv::ReadFile(log());
    EXPECT_NE(text.find("\nCAPTION Projekt \xC3\x84\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nRESULT 2 | 1\n"), std::string::npos) << text;
}

TEST_F(ProgramTest, MissingScriptAndBadAnswersEndWithStatusTwo) {
    EXPECT_EQ(run(scratch_ + "fehlt.ins"), setup::ExitBadStart);
    EXPECT_NE(testenv::ReadFile(log()).find("nicht gefunden.\\r\\n"), std::string::npos);

    testenv::WriteFile(scratch_ + "p.ins", "[Project]\r\nName=P\r\n");
    testenv::WriteFile(scratch_ + "a.txt", "Frage => Jein\n");
    EXPECT_EQ(run(scratch_ + "p.ins", "--answers=" + testenv::Native(scratch_ + "a.txt")),
              setup::ExitBadStart);
    EXPECT_EQ(testenv::ReadFile(log()).find("CAPTION"), std::string::npos);
}

TEST_F(ProgramTest, ScriptsWithoutProjectOrWindows1252FormEndWithStatusTwo) {
    // UTF-16 BE with its mark is read like Windows-1252.
    const std::u16string utf16 = u"\uFEFF[Project]\r\nName=Gr\u00FC\u00DFe\r\n";
    std::string bytes;
    for (const char16_t unit : utf16) {
        bytes += static_cast<char>(unit >> 8);
        bytes += static_cast<char>(unit & 0xFF);
    }
    testenv::WriteFile(scratch_ + "u16.ins", bytes);
    EXPECT_EQ(run(scratch_ + "u16.ins"), setup::ExitNotInstalled);
    EXPECT_NE(testenv::ReadFile(log()).find("\nCAPTION Gr\xC3\xBC\xC3\x9F"
                                            "e\n"),
              std::string::npos);

    testenv::WriteFile(scratch_ + "leer.ins", "[Projekt]\r\nName=P\r\n");
    EXPECT_EQ(run(scratch_ + "leer.ins"), setup::ExitBadStart);
    std::string text = testenv::ReadFile(log());
    EXPECT_NE(text.find("leer.ins hat keinen Abschnitt [Project]: es wird nichts installiert. -> "
                        "OK (default)\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("CAPTION"), std::string::npos) << text;
    EXPECT_NE(text.find("\nRESULT 0 | 2\n"), std::string::npos) << text;

    // Unix line ends hide the section: the message says why.
    testenv::WriteFile(scratch_ + "lf.ins", "; Kommentar\n[Project]\nName=P\n");
    EXPECT_EQ(run(scratch_ + "lf.ins"), setup::ExitBadStart);
    EXPECT_NE(testenv::ReadFile(log()).find("ohne CR (LF, Unix-Format)"), std::string::npos);

    testenv::WriteFile(scratch_ + "pfeil.ins", "\xEF\xBB\xBF[Project]\r\nName=\xE2\x86\x92\r\n");
    EXPECT_EQ(run(scratch_ + "pfeil.ins"), setup::ExitBadStart);
    text = testenv::ReadFile(log());
    EXPECT_NE(text.find("pfeil.ins kann nicht gelesen werden:\\r\\nZeile 2: das Zeichen U+2192 "
                        "hat keine Windows-1252-Form. -> OK (default)\n"),
              std::string::npos)
        << text;
}

} // namespace
