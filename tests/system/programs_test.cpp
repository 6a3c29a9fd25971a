// Programs of the script: Exec# started during the run, and the [CheckRun]
// test before it, with a real child process started from a copied program.
#include <chrono>
#include <filesystem>
#include <thread>

#include "common/Ansi.h"
#include "common/Paths.h"
#include "engine/EngineTestEnv.h"
#include "engine/ScriptInstall.h"
#include "platform/System.h"
#include "system/Programs.h"

namespace {

using setup::IsProgramRunning;

class ProgramsTest : public enginetest::EngineEnv {
  protected:
    void SetUp() override {
        EngineEnv::SetUp();
        tool_ = scratch_ + "bin\\Tool.exe";
        stop_ = scratch_ + "stop";
        CopyTool(tool_);
        engine_.Context().runPrograms = true;
    }
    void TearDown() override {
        StopTool();
        setup::SetMessageHost({});
        EngineEnv::TearDown();
    }

    // The program of the test build, copied into the scratch folder so that
    // its path is one no other process has.
    static void CopyTool(const std::string& path) {
        const std::string child = setup::ExtractFilePath(plat::programPath()) + PROGRAM_CHILD_NAME;
        std::filesystem::create_directories(testenv::Native(setup::ExtractFilePath(path)));
        std::filesystem::copy_file(testenv::Native(child), testenv::Native(path));
    }
    void Load(const std::string& text) {
        const std::string path = scratch_ + "install.ins";
        testenv::WriteFile(path, "[Project]\r\nName=Progs\r\n" + text);
        engine_.LoadScript(path);
    }
    // Polls until the tool is (or is no longer) among the running programs.
    bool WaitForTool(bool running) {
        for (int i = 0; i < 500; ++i) {
            if (IsProgramRunning(tool_) == running) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    void StartTool() {
        Load("Exec1=bin\\Tool.exe " + stop_ + "\r\n");
        ASSERT_TRUE(setup::ExecProgs(engine_.Context()));
        ASSERT_TRUE(WaitForTool(true));
    }
    void StopTool() {
        testenv::WriteFile(stop_, "");
        EXPECT_TRUE(WaitForTool(false));
    }
    // The person ends the tool while the question is shown: the message
    // layer asks the window for its title just before the box appears.
    void EndToolWhenAsked() {
        setup::SetMessageHost({[] { return setup::Owner{0x200}; },
                               [this](setup::Owner) {
                                   StopTool();
                                   return std::string("Progs");
                               }});
    }
    size_t Questions() { return LogLines("MSG AskYesNo | Die Datei").size(); }

    std::string tool_;
    std::string stop_;
    setup::TFileHandler copier_;
    setup::TScriptInstall engine_{nullptr, copier_};
};

TEST_F(ProgramsTest, ExecStartsEachProgramAndGoesOnPastAMissingOne) {
    Load("Exec1=missing\\none.exe\r\nExec2=bin\\Tool.exe " + stop_ + "\r\nExec4=bin\\Tool.exe\r\n");
    EXPECT_TRUE(setup::ExecProgs(engine_.Context()));
    EXPECT_TRUE(WaitForTool(true));
    EXPECT_EQ(
        (std::vector<std::string>{"EXEC " + scratch_ + "missing\\none.exe | not started",
                                  "EXEC " + scratch_ + "bin\\Tool.exe " + stop_ + " | started"}),
        LogLines("EXEC"));
}

TEST_F(ProgramsTest, AnUnquotedProgramPathWithBlanksIsFound) {
    const std::string folder = scratch_ + "Meine Dateien\\";
    tool_ = folder + "bin\\Tool.exe";
    CopyTool(tool_);
    testenv::WriteFile(folder + "install.ins",
                       "[Project]\r\nName=Progs\r\nExec1=bin\\Tool.exe " + stop_ + "\r\n");
    engine_.LoadScript(folder + "install.ins");
    EXPECT_TRUE(setup::ExecProgs(engine_.Context()));
    EXPECT_TRUE(WaitForTool(true));
}

TEST_F(ProgramsTest, RetryAfterTheProgramEndedTestsTheListAgain) {
    StartTool();
    // The listed path in other letter case, through a registry variable.
    SetRegistryString(plat::RegRoot::CurrentUser, "Software\\ProgsTest", "Bin",
                      setup::AnsiUpperCase(scratch_ + "bin"));
    Load("[CheckRun]\r\n1=%\xA7U\\Software\\ProgsTest\\Bin%\\TOOL.EXE\r\n");
    Answers("Erneut versuchen? => Yes\n");
    EndToolWhenAsked();
    EXPECT_TRUE(engine_.CheckRun());
    ASSERT_EQ(1u, Questions());
    EXPECT_NE(std::string::npos, Log().find("Die Datei TOOL.EXE\\rwird im Moment benutzt"));
}

TEST_F(ProgramsTest, NoGivesUpAndNobodyAtTheScreenGivesUpAfterAFewTries) {
    StartTool();
    Load("[CheckRun]\r\n1=" + tool_ + "\r\n");
    Answers("Erneut versuchen? => No\n");
    EXPECT_FALSE(engine_.CheckRun());
    EXPECT_EQ(1u, Questions());

    // The default button (Yes) cannot end the program: the test does not
    // go on for ever.
    EXPECT_FALSE(engine_.CheckRun());
    EXPECT_EQ(5u, Questions());
}

TEST_F(ProgramsTest, OnlyTheListUpToItsFirstGapCounts) {
    StartTool();
    Load("[CheckRun]\r\n1=" + scratch_ + "bin\\Other.exe\r\n3=" + tool_ + "\r\n");
    EXPECT_TRUE(engine_.CheckRun());
    Load("");
    EXPECT_TRUE(engine_.CheckRun());
    EXPECT_EQ(0u, Questions());
}

// Text from registry values adds no commands to a batch file's line (under
// Wine the real command interpreter runs it); a quoted full program path is
// started as it is.
TEST_F(ProgramsTest, ValuesAddNoCommandsToBatchFiles) {
    const std::string injected = scratch_ + "e10.txt";
    const std::string ran = scratch_ + "ran.txt";
    SetRegistryString(plat::RegRoot::CurrentUser, "Software\\ProgsTest", "Arg",
                      "x&echo y> " + injected);
    SetRegistryString(plat::RegRoot::CurrentUser, "Software\\ProgsTest", "Pct", "a%PATH%b");
    SetRegistryString(plat::RegRoot::CurrentUser, "Software\\ProgsTest", "Quote", "a\" & \"b");
    testenv::WriteFile(scratch_ + "run.bat", "@echo ran> " + ran + "\r\n");
    const std::string arg = "%\xA7U\\Software\\ProgsTest\\Arg%";
    Load("Exec1=run.bat " + arg + "\r\nExec2=run.bat \"" + arg + "\" & rem %%\r\n" +
         "Exec3=RUN.CMD. %\xA7U\\Software\\ProgsTest\\Pct%\r\n" +
         "Exec4=run.bat %\xA7U\\Software\\ProgsTest\\Quote%\r\n" + "Exec5=bin\\none.exe " + arg +
         "\r\n" + "Exec6=\"" + tool_ + "\" " + stop_ + "\r\n");
    EXPECT_TRUE(setup::ExecProgs(engine_.Context()));
#ifdef _WIN32
    // The batch file ran, and never the command that came with the value.
    for (int i = 0; i < 500 && !plat::fileExists(ran); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(plat::fileExists(ran));
    for (int i = 0; i < 50 && !plat::fileExists(injected); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(plat::fileExists(injected));
#endif

    auto lines = LogLines("EXEC");
    ASSERT_EQ(6u, lines.size()) << Log();
    for (std::string& line : lines)
        line.erase(line.rfind(" | "));
    const std::string escaped = "x^&echo y^> " + injected;
    EXPECT_EQ((std::vector<std::string>{"EXEC " + scratch_ + "run.bat " + escaped,
                                        "EXEC " + scratch_ + "run.bat \"x&echo y> " + injected +
                                            "\" & rem %",
                                        "EXEC RUN.CMD. a%PATH%b", "EXEC run.bat a\" & \"b",
                                        "EXEC " + scratch_ + "bin\\none.exe x&echo y> " + injected,
                                        "EXEC \"" + tool_ + "\" " + stop_}),
              lines);
    EXPECT_EQ(1u, LogLines("EXEC \"" + tool_ + "\" " + stop_ + " | started").size()) << Log();
    const auto messages = LogLines("MSG");
    ASSERT_EQ(2u, messages.size()) << Log();
    EXPECT_NE(std::string::npos, messages[0].find("Exec3=RUN.CMD. a%PATH%b\\rnicht ausgef"));
    EXPECT_NE(std::string::npos, messages[1].find("Exec4=run.bat"));
    EXPECT_TRUE(WaitForTool(true));
}

} // namespace
