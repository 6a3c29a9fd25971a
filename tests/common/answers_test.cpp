#include "common/Answers.h"
#include "common/Messages.h"

#include "platform/FileSystem.h"
#include "support/TestEnv.h"

namespace {

using setup::AnswerRules;

TEST(AnswerRulesTest, ParsesRulesCommentsAndLineEnds) {
    AnswerRules rules;
    std::string error;
    ASSERT_TRUE(rules.Parse("\xEF\xBB\xBF# Kommentar\r\n"
                            "\r\n"
                            "  Weiter? => no  \r\n"
                            "a => b => yes\n"
                            "RETRY\n"
                            "   # eingerückt\n"
                            "=> Ignore",
                            error))
        << error;
    EXPECT_EQ(rules.Remaining(), 4u);
    // First matching rule in file order; the last "=>" separates the button.
    EXPECT_EQ(rules.Take("Weiter? ", {setup::IdYes, setup::IdNo}), setup::IdNo);
    EXPECT_EQ(rules.Take("x a => b y", {setup::IdYes, setup::IdNo}), setup::IdYes);
    // Rules without text match anything, in order.
    EXPECT_EQ(rules.Take("egal", {setup::IdRetry, setup::IdIgnore}), setup::IdRetry);
    EXPECT_EQ(rules.Take("egal", {setup::IdRetry, setup::IdIgnore}), setup::IdIgnore);
    EXPECT_EQ(rules.Take("egal", {setup::IdRetry, setup::IdIgnore}), 0);
}

TEST(AnswerRulesTest, BadLineNamesItsNumberAndKeepsOldRules) {
    AnswerRules rules;
    std::string error;
    ASSERT_TRUE(rules.Parse("OK\n", error));
    EXPECT_FALSE(rules.Parse("# eins\nYes\nWeiter => Vielleicht\nNo\n", error));
    EXPECT_NE(error.find("Zeile 3"), std::string::npos) << error;
    EXPECT_NE(error.find("Vielleicht"), std::string::npos) << error;
    EXPECT_FALSE(rules.Parse("Text ohne Pfeil\n", error));
    EXPECT_FALSE(rules.Parse("Text =>\n", error));
    EXPECT_EQ(rules.Remaining(), 1u);
}

TEST(AnswerRulesTest, MatchesWindows1252TextAsUtf8WithEscapedLineBreaks) {
    AnswerRules rules;
    std::string error;
    ASSERT_TRUE(rules.Parse("Datei \xC3\xBC\x62\x65rschreiben?\\rJa => All\n", error)) << error;
    EXPECT_EQ(setup::AnswerMatchText("a\r\nb\xFC"), "a\\r\\nb\xC3\xBC");
    EXPECT_EQ(rules.Take("Datei \xFC"
                         "berschreiben?\nJa",
                         {setup::IdAll}),
              0);
    EXPECT_EQ(rules.Take("Datei \xFC"
                         "berschreiben?\rJa",
                         {setup::IdAll}),
              setup::IdAll);
}

TEST(AnswerRulesTest, StarredRulesAnswerEveryMatchAndCountOnceUsed) {
    AnswerRules rules;
    std::string error;
    ASSERT_TRUE(rules.Parse("Weiter? => No *\nj\xC3\xBCnger => All\t*\nOK *\n", error)) << error;
    EXPECT_EQ(rules.Remaining(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(rules.Take("Weiter?", {setup::IdYes, setup::IdNo}), setup::IdNo) << i;
    EXPECT_EQ(rules.Remaining(), 2u);
    // A starred rule that does not match lets the next rules answer.
    EXPECT_EQ(rules.Take("x.dll ist j\xFCnger", {setup::IdYes, setup::IdAll}), setup::IdAll);
    EXPECT_EQ(rules.Take("y.dll ist j\xFCnger", {setup::IdYes, setup::IdAll}), setup::IdAll);
    // "OK *" without text answers every box that offers OK.
    EXPECT_EQ(rules.Take("a", {setup::IdOk}), setup::IdOk);
    EXPECT_EQ(rules.Take("b", {setup::IdOk}), setup::IdOk);
    EXPECT_EQ(rules.Remaining(), 0u);
    // "*" without a blank before it is part of the button name.
    AnswerRules strict;
    EXPECT_FALSE(strict.Parse("Fertig => OK*\n", error));
    EXPECT_NE(error.find("OK*"), std::string::npos) << error;
}

class LoadAnswersTest : public testenv::FreshEnv {};

TEST_F(LoadAnswersTest, ErrorsNameTheFile) {
    std::string error;
    const std::string missing = testenv::Native(scratch_ + "fehlt.txt");
    EXPECT_FALSE(setup::LoadAnswers(missing, error));
    EXPECT_NE(error.find(missing), std::string::npos) << error;

    testenv::WriteFile(scratch_ + "bad.txt", "Yes\nNein\n");
    const std::string bad = testenv::Native(scratch_ + "bad.txt");
    EXPECT_FALSE(setup::LoadAnswers(bad, error));
    EXPECT_NE(error.find(bad + ", Zeile 2"), std::string::npos) << error;
    setup::ClearAnswers();
}

TEST_F(LoadAnswersTest, OnlySmallTextFilesAreRead) {
    std::string error;
    ASSERT_TRUE(plat::createFolder(scratch_ + "ordner"));
    EXPECT_FALSE(setup::LoadAnswers(testenv::Native(scratch_ + "ordner"), error));
    EXPECT_NE(error.find("ist ein Ordner"), std::string::npos) << error;

    testenv::WriteFile(scratch_ + "gross.txt", std::string(1024 * 1024 + 1, '#'));
    EXPECT_FALSE(setup::LoadAnswers(testenv::Native(scratch_ + "gross.txt"), error));
    EXPECT_NE(error.find("zu gro\xDF"), std::string::npos) << error;
    testenv::WriteFile(scratch_ + "genug.txt", std::string(1024 * 1024 - 4, '#') + "\nOK\n");
    EXPECT_TRUE(setup::LoadAnswers(testenv::Native(scratch_ + "genug.txt"), error)) << error;

    testenv::WriteFile(scratch_ + "bin.txt", std::string("OK\n\0\x01", 5));
    EXPECT_FALSE(setup::LoadAnswers(testenv::Native(scratch_ + "bin.txt"), error));
    EXPECT_NE(error.find("keine Textdatei"), std::string::npos) << error;
    setup::ClearAnswers();
}

} // namespace
