// The shortcut files of the emulated Windows, read back by an independent
// reader of the Shell Link format (lnkinfo of liblnk-utils).
#include "engine/EngineTestEnv.h"
#include "system/Shortcuts.h"

#include <cstdio>

namespace {

// lnkinfo's report of a link file; empty when lnkinfo cannot be run.
std::string LnkInfo(const std::string& windowsPath) {
    const std::string command = "lnkinfo '" + testenv::Native(windowsPath) + "' 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

class ShellLinkFormatTest : public enginetest::EngineEnv {};

TEST_F(ShellLinkFormatTest, LnkinfoReadsBackEveryField) {
    setup::ShortcutSpec spec;
    spec.Path = "C:\\Programme\\Gr\xFC"
                "n\\viewer.exe";
    spec.WorkingDirectory = "C:\\Programme\\Gr\xFC"
                            "n";
    spec.LinkFile = scratch_ + "Gruppe\\Betrachter.LNK";
    spec.Arguments = "/open \"C:\\Daten\\a b.txt\"";
    spec.Description = "Betrachter f\xFCr Daten";
    spec.IconFile = "C:\\Programme\\Gr\xFC"
                    "n\\icons.dll";
    spec.IconIndex = 3;
    setup::TFileHandler copier;
    copier.ForceFolders(scratch_ + "Gruppe");
    ASSERT_EQ(0, setup::CreateLinkEx(spec));

    const std::string info = LnkInfo(spec.LinkFile);
    if (info.find("not found") != std::string::npos || info.empty())
        GTEST_SKIP() << "lnkinfo not available: " << info;
    // lnkinfo prints UTF-8.
    EXPECT_NE(std::string::npos,
              info.find("Local path\t\t\t: C:\\Programme\\Gr\xC3\xBCn\\viewer.exe"))
        << info;
    EXPECT_NE(std::string::npos, info.find("Description\t\t\t: Betrachter f\xC3\xBCr Daten"))
        << info;
    EXPECT_NE(std::string::npos, info.find("Working directory\t\t: C:\\Programme\\Gr\xC3\xBCn\n"))
        << info;
    EXPECT_NE(std::string::npos,
              info.find("Command line arguments\t\t: /open \"C:\\Daten\\a b.txt\""))
        << info;
    EXPECT_NE(std::string::npos,
              info.find("Icon location\t\t\t: C:\\Programme\\Gr\xC3\xBCn\\icons.dll"))
        << info;
    EXPECT_NE(std::string::npos, info.find("Icon index\t\t\t: 3")) << info;
    EXPECT_NE(std::string::npos, info.find("Relative path")) << info;
    EXPECT_EQ(std::string::npos, info.find("Error")) << info;
}

} // namespace
