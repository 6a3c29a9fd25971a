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

} // namespace
