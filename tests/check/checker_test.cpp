// The checker on real script files, for what the corpus of broken scripts
// does not show: orphaned numbered keys, stray lines, sub-projects that name
// each other, part folders leading out of the target, line-end mixtures.
#include <gtest/gtest.h>

#include <algorithm>

#include "check/Checker.h"
#include "check/Encoding.h"
#include "support/TestEnv.h"

namespace setup::check {
namespace {

std::string Crlf(const std::string& lines) {
    std::string out;
    for (const char c : lines) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

const char* const kProject = "[Project]\nName=T\nPath=C:\\T\nGroup=T\nPart1=P\n\n";

class CheckerTest : public testenv::FreshEnv {
  protected:
    // Writes install.ins (LF written as CR LF) and a file prog\a.txt, then checks.
    std::vector<Finding> Check(const std::string& text) {
        testenv::WriteFile(scratch_ + "prog\\a.txt", "a\r\n");
        testenv::WriteFile(scratch_ + "install.ins", Crlf(text));
        return CheckScript(scratch_ + "install.ins", options_);
    }
    static std::string Codes(const std::vector<Finding>& findings) {
        std::string out;
        for (const Finding& f : findings)
            out += std::to_string(f.line) + ":" + std::string(CodeName(f.code)) + " ";
        return out;
    }
    Options options_;
};

TEST_F(CheckerTest, CleanScriptHasNoFindings) {
    EXPECT_EQ("", Codes(Check(std::string(kProject) + "[P]\nDir=prog\nFile1=a.txt\nIcon=-\n")));
}

TEST_F(CheckerTest, MissingScriptIsAnError) {
    const auto findings = CheckScript(scratch_ + "fehlt.ins", options_);
    ASSERT_EQ(1u, findings.size());
    EXPECT_EQ(Code::MissingSource, findings[0].code);
    EXPECT_EQ(2, Summarize(findings).ExitStatus());
}

TEST_F(CheckerTest, ScriptWithoutProjectIsAnError) {
    EXPECT_EQ("0:missing-part ", Codes(Check("[Projekt]\nName=T\n")).substr(0, 15));
}

TEST_F(CheckerTest, FollowingKeyWithoutItsLeader) {
    EXPECT_EQ(
        "10:numbering-gap ",
        Codes(Check(std::string(kProject) + "[P]\nDir=prog\nFile1=a.txt\nFileN2=b.txt\nIcon=-\n")));
}

TEST_F(CheckerTest, StrayLinesAreReported) {
    // A key before the first header and a line without "=" are read by nothing.
    EXPECT_EQ("1:unknown-key 10:unknown-key ",
              Codes(Check(std::string("Name=X\n") + kProject +
                          "[P]\nDir=prog\nFile1 a.txt\nFile1=a.txt\nIcon=-\n")));
}

TEST_F(CheckerTest, PartFoldersMustStayInTheTarget) {
    EXPECT_EQ("8:unsafe-target ",
              Codes(Check(std::string(kProject) + "[P]\nDir=\\prog\nIcon=-\n")));
    EXPECT_EQ("8:unsafe-target ",
              Codes(Check(std::string(kProject) + "[P]\nDir=..\\..\\x\nIcon=-\n")));
    EXPECT_EQ("9:unsafe-target ",
              Codes(Check(std::string(kProject) + "[P]\nDir=prog\nTDir=rel\\x\nIcon=-\n")));
    EXPECT_EQ("", Codes(Check(std::string(kProject) + "[P]\nDir=prog\nTDir=..\nIcon=-\n")));
    EXPECT_EQ("",
              Codes(Check(std::string(kProject) + "[P]\nDir=prog\nTDir=%WDIR%Fonts\nIcon=-\n")));
}

TEST_F(CheckerTest, DirHasNoTargetFolderYet) {
    EXPECT_EQ("8:unknown-variable ",
              Codes(Check(std::string(kProject) + "[P]\nDir=%DIR%prog\nIcon=-\n")));
}

TEST_F(CheckerTest, ZDriveOnlyWhereItIsTheLinuxRoot) {
    const std::string script = "[Project]\nName=T\nPath=Z:\\tmp\\T\nGroup=T\n";
    EXPECT_EQ("", Codes(Check(script)));
    options_.zDriveUnsafe = true;
    EXPECT_EQ("3:unsafe-target ", Codes(Check(script)));
}

TEST_F(CheckerTest, ShortcutValues) {
    EXPECT_EQ("10:bad-value 12:bad-value ",
              Codes(Check(std::string(kProject) +
                          "[P]\nDir=prog\nFile1=a.txt\nGroupReg=Software\\T\nExecute=a.txt\n"
                          "IconNr=eins\n")));
    // The default program is the part's name + .EXE: reported on the header.
    EXPECT_EQ("7:missing-source ",
              Codes(Check(std::string(kProject) + "[P]\nDir=prog\nFile1=a.txt\n")));
    // Installed under a new name, or in a sub-folder of a " /s" entry.
    EXPECT_EQ("", Codes(Check(std::string(kProject) +
                              "[P]\nDir=prog\nFile1=a.txt\nFileN1=b.exe\nExecute=b.exe\n")));
    EXPECT_EQ("", Codes(Check(std::string(kProject) +
                              "[P]\nDir=prog\nFile1=*.txt /s\nExecute=sub\\x.txt\n")));
}

TEST_F(CheckerTest, SubProjectsThatNameEachOtherAreCheckedOnce) {
    testenv::WriteFile(scratch_ + "b\\install.ins",
                       Crlf("[Project]\nName=B\nPath=C:\\B\nGroup=B\nVerison=1\nPart1=Q\n\n"
                            "[Q]\nInstall=..\\install.ins\n"));
    const auto findings = Check(std::string(kProject) + "[P]\nInstall=b\\install.ins\n");
    ASSERT_EQ(1u, findings.size()) << Codes(findings);
    EXPECT_EQ(Code::UnknownKey, findings[0].code);
    EXPECT_NE(std::string::npos, findings[0].file.find("b\\install.ins"));
    EXPECT_NE(std::string::npos, findings[0].text.find("Version"));
}

TEST_F(CheckerTest, FindingsAfterABrokenSubProjectNameTheirOwnFile) {
    // The sub-project script ends its check early (LF line ends); the main
    // script's later findings still name the main script.
    testenv::WriteFile(scratch_ + "b\\install.ins", "[Project]\nName=B\n");
    const auto findings =
        Check("[Project]\nName=T\nPath=C:\\T\nGroup=T\nPart1=P\nPart2=Q\n\n"
              "[P]\nInstall=b\\install.ins\n[Q]\nDir=prog\nFile1=a.txt\nfak=no\nIcon=-\n");
    ASSERT_EQ(2u, findings.size()) << Codes(findings);
    EXPECT_EQ(Code::BadValue, findings[1].code);
    EXPECT_EQ(scratch_ + "install.ins", findings[1].file);
    EXPECT_EQ(Code::Encoding, findings[0].code);
}

TEST_F(CheckerTest, FindingsComeInFileOrder) {
    const auto findings =
        Check(std::string(kProject) + "[P]\nDir=prog\nFile1=a.txt\nfak=no\nIcon=-\n[X]\nA=1\n");
    EXPECT_EQ("10:bad-value 12:unknown-section ", Codes(findings));
    EXPECT_EQ(1, Summarize(findings).errors);
    EXPECT_EQ(1, Summarize(findings).warnings);
}

TEST(CheckEncoding, LineEnds) {
    bool fatal = false;
    EXPECT_TRUE(EncodingFindings("a\r\nb\r\n", TextKind::Script, fatal).empty());
    auto f = EncodingFindings("a\nb\n", TextKind::Script, fatal);
    ASSERT_EQ(1u, f.size());
    EXPECT_TRUE(fatal);
    EXPECT_EQ(Severity::Error, f[0].severity);
    // A condition or macro file reads LF line ends: only a warning.
    f = EncodingFindings("a\nb\n", TextKind::LineFile, fatal);
    ASSERT_EQ(1u, f.size());
    EXPECT_FALSE(fatal);
    EXPECT_EQ(Severity::Warning, f[0].severity);
    f = EncodingFindings("a\r\nb\nc\r\n", TextKind::Script, fatal);
    ASSERT_EQ(1u, f.size());
    EXPECT_EQ(0u, f[0].line);
    EXPECT_FALSE(fatal);
}

TEST(CheckEncoding, Utf8AndMarks) {
    bool fatal = false;
    // Windows-1252 umlauts are no UTF-8: no finding.
    EXPECT_TRUE(EncodingFindings("Pr\xFC"
                                 "fung\r\n",
                                 TextKind::Script, fatal)
                    .empty());
    auto f = EncodingFindings("a\r\nb\r\nPr\xC3\xBC"
                              "fung\r\n",
                              TextKind::Script, fatal);
    ASSERT_EQ(1u, f.size());
    EXPECT_EQ(3u, f[0].line);
    // One byte that is no UTF-8 makes the whole file Windows-1252.
    EXPECT_TRUE(EncodingFindings("Pr\xC3\xBC"
                                 "f\r\n\xFC\r\n",
                                 TextKind::Script, fatal)
                    .empty());
    f = EncodingFindings("\xEF\xBB\xBFPr\xC3\xBC"
                         "f\r\n",
                         TextKind::Script, fatal);
    ASSERT_EQ(1u, f.size());
    EXPECT_EQ(0u, f[0].line);
    f = EncodingFindings(std::string("\xFF\xFEP\0", 4), TextKind::Script, fatal);
    ASSERT_EQ(1u, f.size());
}

} // namespace
} // namespace setup::check
