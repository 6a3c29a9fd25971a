// The restore point around a run of the installer window: asked for by
// RestorePoint, ended also when the run fails with an error. Here the System
// Restore service is missing (the emulated Windows has none; on Windows a
// library that does not exist is named), so its stand-in answers.
#include "common/Error.h"
#include "platform/Cp1252.h"
#include "platform/RestorePoint.h"
#include "system/RestorePoint.h"
#include "ui/UiTestEnv.h"

namespace {

using setup::TInstallerController;

class RestorePointTest : public enginetest::EngineEnv {
  protected:
    void SetUp() override {
        EngineEnv::SetUp();
        plat::setRestorePointLibraryForTests(scratch_ + "none\\srclient.dll");
        testenv::WriteFile(scratch_ + "medium\\a.txt", "A");
    }
    void TearDown() override {
        plat::setRestorePointLibraryForTests("");
        EngineEnv::TearDown();
    }

    // Runs the project as the program start does, into target.
    void Run(TInstallerController& window, const std::string& project, const std::string& target) {
        testenv::WriteFile(scratch_ + "medium\\install.ins",
                           "[Project]\r\nName=Punkt\r\nPart1=Teil\r\n" + project +
                               "[Teil]\r\nFile1=a.txt\r\n");
        window.CreateEngine();
        window.LoadScript(scratch_ + "medium\\install.ins");
        window.ConfirmCancel = false;
        window.FillFromScript(true);
        window.SetTargetFolder(target);
        window.InstallNowClick();
    }
    // The status texts in the order shown (Windows-1252), repeats left out.
    std::vector<std::string> Statuses() {
        std::vector<std::string> names;
        for (const std::string& line : LogLines("STATUS ")) {
            const std::string name = plat::utf8ToCp1252(line.substr(7, line.find(" | ") - 7));
            if (names.empty() || names.back() != name) names.push_back(name);
        }
        return names;
    }
};

TEST_F(RestorePointTest, BracketsTheRunOnlyWhenAskedFor) {
    {
        TInstallerController window;
        uitest::TestView view(window);
        Run(window, "RestorePoint=1\r\n", scratch_ + "Ziel");
        EXPECT_TRUE(window.Installed);
        const std::vector<std::string> statuses = Statuses();
        ASSERT_GE(statuses.size(), 3u);
        EXPECT_EQ(setup::texts::RestorePointBegin, statuses.front());
        EXPECT_EQ("Init", statuses[1]);
        EXPECT_EQ(setup::texts::RestorePointEnd, statuses.back());
    }
    setup::log::Close();
    ASSERT_TRUE(setup::log::Open(logPath_));
    TInstallerController window;
    uitest::TestView view(window);
    Run(window, "RestorePoint=0\r\n", scratch_ + "Ziel2");
    EXPECT_TRUE(window.Installed);
    for (const std::string& status : Statuses())
        EXPECT_EQ(std::string::npos, status.find("Systemwiederherstellungspunkt")) << status;
}

TEST_F(RestorePointTest, EndsAlsoWhenTheRunFails) {
    testenv::WriteFile(scratch_ + "Datei", "im Weg");
    TInstallerController window;
    uitest::TestView view(window);
    EXPECT_THROW(Run(window, "RestorePoint=1\r\n", scratch_ + "Datei\\Ziel"), setup::SetupError);
    EXPECT_FALSE(window.Installed);
    EXPECT_EQ(setup::texts::RestorePointEnd, Statuses().back());
}

TEST_F(RestorePointTest, WithoutTheServiceEverythingSucceeds) {
    int64_t sequence = -1;
    EXPECT_EQ(0u, setup::BeginRestorePoint("Punkt", sequence));
    EXPECT_EQ(0, sequence);
    EXPECT_EQ(0u, setup::EndRestorePoint(sequence));
}

} // namespace
