#include "app/CommandLine.h"
#include "app/Program.h"
#include "app/UninstallCommand.h"

#include <gtest/gtest.h>

namespace {

using setup::CommandLine;
using setup::CommandLineSyntax;

CommandLineSyntax posix() {
    return CommandLineSyntax{false, nullptr};
}

CommandLineSyntax windows() {
    return CommandLineSyntax{true, [](const std::string& path) { return path == "/da.ins"; }};
}

CommandLine parse(const std::vector<std::string>& args, const CommandLineSyntax& syntax) {
    CommandLine out;
    std::string error;
    EXPECT_TRUE(setup::ParseCommandLine(args, syntax, out, error)) << error;
    return out;
}

std::string parseError(const std::vector<std::string>& args, const CommandLineSyntax& syntax) {
    CommandLine out;
    std::string error;
    EXPECT_FALSE(setup::ParseCommandLine(args, syntax, out, error));
    return error;
}

TEST(CommandLineTest, OptionsAnywhereAndFirstPlainArgumentIsTheScript) {
    const CommandLine a =
        parse({"--log=/tmp/l.txt", "x.ins", "--unattended", "--answers=a b.txt", "--dir=/opt/ziel"},
              posix());
    const CommandLine b =
        parse({"--dir=/opt/ziel", "--answers=a b.txt", "x.ins", "--unattended", "--log=/tmp/l.txt"},
              posix());
    for (const CommandLine& c : {a, b}) {
        EXPECT_EQ(c.script, "x.ins");
        EXPECT_TRUE(c.unattended);
        EXPECT_EQ(c.logFile, "/tmp/l.txt");
        EXPECT_EQ(c.answersFile, "a b.txt");
        EXPECT_EQ(c.targetDir, "/opt/ziel");
        EXPECT_TRUE(c.hasTargetDir);
        EXPECT_FALSE(c.help);
    }
    // A value may itself hold "=".
    EXPECT_EQ(parse({"--dir=C:\\a=b"}, posix()).targetDir, "C:\\a=b");
    EXPECT_TRUE(parse({"--help"}, posix()).help);
    EXPECT_EQ(parse({}, posix()).script, "");
}

TEST(CommandLineTest, InstallerSwitchesOnEveryPlatform) {
    for (const auto& syntax : {posix(), windows()}) {
        for (const char* quiet : {"/S", "/SILENT", "/VERYSILENT", "/SUPPRESSMSGBOXES", "/silent"})
            EXPECT_TRUE(parse({quiet}, syntax).unattended) << quiet;
        EXPECT_EQ(parse({"/D=C:\\Programme\\X"}, syntax).targetDir, "C:\\Programme\\X");
        EXPECT_EQ(parse({"/DIR=C:\\Y"}, syntax).targetDir, "C:\\Y");
        EXPECT_EQ(parse({"/LOG=C:\\l.txt"}, syntax).logFile, "C:\\l.txt");
        EXPECT_EQ(parse({"/S", "s.ins"}, syntax).script, "s.ins");
    }
}

TEST(CommandLineTest, SlashFormsAndCaseOnWindowsOnly) {
    const CommandLine c =
        parse({"/Unattended", "/LOG=l.txt", "/answers=a.txt", "/Help", "--DIR=D:\\z"}, windows());
    EXPECT_TRUE(c.unattended);
    EXPECT_TRUE(c.help);
    EXPECT_EQ(c.answersFile, "a.txt");
    EXPECT_EQ(c.targetDir, "D:\\z");
    EXPECT_TRUE(parse({"/?"}, windows()).help);
    // An existing file starting with "/" is the script; anything else is an error.
    EXPECT_EQ(parse({"/da.ins"}, windows()).script, "/da.ins");
    EXPECT_NE(parseError({"/fehlt.ins"}, windows()).find("/fehlt.ins"), std::string::npos);

    // POSIX: "/..." that is no installer switch is a path; option names keep their case.
    EXPECT_EQ(parse({"/home/a/x.ins"}, posix()).script, "/home/a/x.ins");
    EXPECT_EQ(parse({"/unattended"}, posix()).script, "/unattended");
    parseError({"--Unattended"}, posix());
}

TEST(CommandLineTest, HelpSwitchesOnEveryPlatform) {
    for (const auto& syntax : {posix(), windows()}) {
        for (const char* help : {"-h", "-?", "/?", "--help"}) {
            const CommandLine c = parse({"x.ins", help, "/S"}, syntax);
            EXPECT_TRUE(c.help) << help;
            EXPECT_EQ(c.script, "x.ins") << help; // never taken as the script
        }
    }
    EXPECT_NE(setup::UsageText().find("-h, -?, /?"), std::string::npos);
}

TEST(CommandLineTest, CheckSwitch) {
    const CommandLine c = parse({"--check", "x.ins"}, posix());
    EXPECT_TRUE(c.check);
    EXPECT_EQ(c.script, "x.ins");
    EXPECT_FALSE(parse({"x.ins"}, posix()).check);
    EXPECT_TRUE(parse({"x.ins", "/CHECK"}, windows()).check);
    EXPECT_NE(parseError({"--check=yes"}, posix()), "");
}

TEST(CommandLineTest, PlanSwitch) {
    const CommandLine c = parse({"x.ins", "--plan", "--dir=C:\\Z"}, posix());
    EXPECT_TRUE(c.plan);
    EXPECT_FALSE(c.unattended); // a plan answers as unattended by itself
    EXPECT_EQ(c.script, "x.ins");
    EXPECT_TRUE(parse({"/Plan", "x.ins"}, windows()).plan);
    EXPECT_NE(parseError({"--plan=ja"}, posix()), "");
    EXPECT_NE(setup::UsageText().find("--plan"), std::string::npos);
}

TEST(CommandLineTest, UninstallWithAndWithoutAFolder) {
    const CommandLine alone = parse({"--uninstall", "--unattended"}, posix());
    EXPECT_TRUE(alone.uninstall);
    EXPECT_EQ("", alone.uninstallFolder);
    EXPECT_TRUE(alone.script.empty());
    const CommandLine folder = parse({"--uninstall=/opt/a b"}, posix());
    EXPECT_TRUE(folder.uninstall);
    EXPECT_EQ("/opt/a b", folder.uninstallFolder);
    const CommandLine slashed = parse({"/UnInstall=C:\\Apps\\X", "/S"}, windows());
    EXPECT_TRUE(slashed.uninstall && slashed.unattended);
    EXPECT_EQ("C:\\Apps\\X", slashed.uninstallFolder);
    EXPECT_TRUE(parse({"/uninstall"}, windows()).uninstall);
    EXPECT_FALSE(parse({"x.ins"}, posix()).uninstall);
    EXPECT_NE(parseError({"--uninstall="}, posix()), "");
}

TEST(UninstallFolderTest, ProgramFolderUnlessOneIsGiven) {
    EXPECT_EQ("C:\\Prog\\", setup::UninstallFolder("", "C:\\Prog\\"));
    EXPECT_EQ("D:\\Apps\\X", setup::UninstallFolder("D:\\Apps\\X", "C:\\Prog\\"));
#ifndef _WIN32
    EXPECT_EQ("Z:\\opt\\x", setup::UninstallFolder("/opt/x", "C:\\Prog\\"));
#endif
}

TEST(CommandLineTest, ASecondScriptIsAnError) {
    for (const auto& syntax : {posix(), windows()}) {
        CommandLine out;
        std::string error;
        EXPECT_FALSE(
            setup::ParseCommandLine({"x.ins", "--unattended", "y.ins"}, syntax, out, error));
        EXPECT_NE(error.find("x.ins"), std::string::npos) << error;
        EXPECT_NE(error.find("y.ins"), std::string::npos) << error;
        EXPECT_EQ(out.script, "x.ins");
        EXPECT_TRUE(out.unattended);
    }
    // A POSIX path and an existing Windows "/" file count as scripts too.
    parseError({"x.ins", "/home/a/y.ins"}, posix());
    parseError({"/da.ins", "x.ins"}, windows());
}

TEST(CommandLineTest, ErrorsNameTheArgumentAndKeepTheSwitchesUnderstood) {
    CommandLine out;
    std::string error;
    EXPECT_FALSE(setup::ParseCommandLine({"--x", "/S", "--y"}, posix(), out, error));
    EXPECT_EQ(error, "Unbekannte Option: --x");
    EXPECT_TRUE(out.unattended); // a deployment tool's box stays unanswered otherwise
    EXPECT_NE(parseError({"--"}, posix()), "");
    EXPECT_NE(parseError({"--log"}, posix()).find("--log"), std::string::npos);
    EXPECT_NE(parseError({"--answers="}, posix()).find("--answers"), std::string::npos);
    EXPECT_NE(parseError({"/D="}, windows()).find("/D"), std::string::npos);
    EXPECT_NE(parseError({"--unattended=1"}, posix()).find("--unattended"), std::string::npos);
    EXPECT_NE(parseError({"--help=x"}, posix()), "");
}

TEST(LocateScriptTest, ProgramFolderUnlessTheParameterHasADrive) {
    const std::string folder = "C:\\Setup\\";
    EXPECT_EQ(setup::LocateScript("", folder), "C:\\Setup\\install.ins");
    EXPECT_EQ(setup::LocateScript("x.ins", folder), "C:\\Setup\\x.ins");
    EXPECT_EQ(setup::LocateScript("sub\\x.ins", folder), "C:\\Setup\\sub\\x.ins");
    EXPECT_EQ(setup::LocateScript("\\x.ins", folder), "C:\\Setup\\\\x.ins");
    EXPECT_EQ(setup::LocateScript("D:\\p\\x.ins", folder), "D:\\p\\x.ins");
    EXPECT_EQ(setup::LocateScript("Z:\\tmp\\a b.ins", folder), "Z:\\tmp\\a b.ins");
}

} // namespace
