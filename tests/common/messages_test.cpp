#include "common/Log.h"
#include "common/Messages.h"

#include "support/TestEnv.h"

#include <sstream>
#include <vector>

namespace {

using namespace setup;

class MessagesTest : public testenv::FreshEnv {
  protected:
    void SetUp() override {
        FreshEnv::SetUp();
        SetUnattended(true);
        ClearAnswers();
        SetMessageHost({});
        ASSERT_TRUE(log::Open(testenv::Native(scratch_ + "msg.log")));
    }
    void TearDown() override {
        log::Close();
        ClearAnswers();
        SetUnattended(false);
        SetMessageHost({});
        FreshEnv::TearDown();
    }
    void answers(const std::string& rules) {
        testenv::WriteFile(scratch_ + "answers.txt", rules);
        std::string error;
        ASSERT_TRUE(LoadAnswers(testenv::Native(scratch_ + "answers.txt"), error)) << error;
    }
    std::vector<std::string> logLines() {
        std::istringstream in(testenv::ReadFile(scratch_ + "msg.log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
};

TEST_F(MessagesTest, PrefixesAndCaptions) {
    SetMessageHost({[] { return Owner{42}; },
                    [](Owner owner) {
                        return owner == 42 ? std::string("Installation") : std::string(300, 'T');
                    }});
    // No owner: the active form and its title; "!" switches to the stop icon.
    PreparedBox box = PrepareMessageBox(ActiveForm, "!Fehler", MbOk | MbIconInformation, true);
    EXPECT_TRUE(box.shown);
    EXPECT_EQ(box.owner, 42u);
    EXPECT_EQ(box.text, "Fehler");
    EXPECT_EQ(box.caption, "Installation");
    EXPECT_EQ(box.flags, MbOk | MbIconHand);

    // "$tag " is dropped before "!" is looked at; long titles are cut.
    box = PrepareMessageBox(7, "$diag !x y", MbYesNo | MbIconQuestion | MbDefButton2, true);
    EXPECT_EQ(box.text, "x y");
    EXPECT_EQ(box.caption, std::string(253, 'T'));
    EXPECT_EQ(box.flags, MbYesNo | MbIconHand | MbDefButton2);

    // 0xFFFF: no owner, "???"; untitled boxes never borrow the active form.
    box = PrepareMessageBox(NoOwner, "Text", MbOk, true);
    EXPECT_EQ(box.owner, 0u);
    EXPECT_EQ(box.caption, "???");
    box = PrepareMessageBox(ActiveForm, "Text", MbOk, false);
    EXPECT_EQ(box.owner, 0u);
    EXPECT_EQ(box.caption, "");

    // A lone "$tag" shows nothing, returns 0 and is not logged.
    EXPECT_FALSE(PrepareMessageBox(ActiveForm, "$tag", MbOk, true).shown);
    EXPECT_EQ(InfoMessage(ActiveForm, "$tag"), 0);
    EXPECT_EQ(LastAnswerSource(), AnswerSource::None);
    EXPECT_TRUE(logLines().empty());
}

TEST_F(MessagesTest, UnattendedDefaultsPerKindAreLogged) {
    EXPECT_EQ(InfoMessage(ActiveForm, "Fertig."), IdOk);
    EXPECT_EQ(AskYesNo(ActiveForm, "Weiter?"), IdYes);
    EXPECT_EQ(AskYesNoDefaultNo(ActiveForm, "Abbrechen?"), IdNo);
    EXPECT_EQ(WarnOkCancel(NoOwner, "Achtung"), IdOk);
    EXPECT_EQ(AskYesNoUntitled(ActiveForm, "Frage"), IdYes);
    EXPECT_EQ(PlainMessage("Installationsscript nicht gefunden.\r\nC:\\x.ins"), IdOk);
    EXPECT_EQ(AskOverwrite("Datei ersetzen?", true), IdYes);
    EXPECT_EQ(AskIgnoreCancel("Fehler beim Lesen"), IdCancel);
    EXPECT_EQ(ReportNotCopied("C:\\a.dll"), IdOk);
    EXPECT_EQ(ShowMessageBox(ActiveForm, "$t Roh", MbYesNo | MbDefButton2), IdNo);
    EXPECT_EQ(ShowUntitledMessageBox(ActiveForm, "Roh", MbOkCancel), IdOk);
    EXPECT_EQ(LastAnswerSource(), AnswerSource::Default);
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{
                  "MSG Info | Fertig. -> OK (default)",
                  "MSG AskYesNo | Weiter? -> Yes (default)",
                  "MSG AskYesNoDefaultNo | Abbrechen? -> No (default)",
                  "MSG WarnOkCancel | Achtung -> OK (default)",
                  "MSG AskYesNoUntitled | Frage -> Yes (default)",
                  "MSG Plain | Installationsscript nicht gefunden.\\r\\nC:\\x.ins -> OK "
                  "(default)",
                  "MSG AskOverwrite | Datei ersetzen? -> Yes (default)",
                  "MSG AskIgnoreCancel | Fehler beim Lesen -> Cancel (default)",
                  "MSG ReportNotCopied | C:\\a.dll nicht kopiert! -> OK (default)",
                  "MSG Plain | Roh -> No (default)",
                  "MSG Plain | Roh -> OK (default)",
              }));
}

TEST_F(MessagesTest, AnswersAreUsedUpInOrderAndOnlyForOfferedButtons) {
    answers("# Antworten\n"
            "Weiter => All\n"
            "Weiter => No\n"
            "Zeile 1\\rZeile 2 => Cancel\n"
            "\xC3\xBC"
            "berschreiben => Retry\n"
            "Ignore\n");
    // "All" is not offered by a yes/no box: the rule stays for AskOverwrite.
    EXPECT_EQ(AskYesNo(ActiveForm, "Weiter?"), IdNo);
    EXPECT_EQ(AskYesNo(ActiveForm, "Weiter?"), IdYes); // rule used up: default
    EXPECT_EQ(AskOverwrite("Weiter mit der n\xE4"
                           "chsten Datei?",
                           false),
              IdAll);
    // The text is matched after the CR became "\r"; a raw LF does not match it.
    EXPECT_EQ(WarnOkCancel(ActiveForm, "Zeile 1\nZeile 2"), IdOk);
    EXPECT_EQ(WarnOkCancel(ActiveForm, "Zeile 1\rZeile 2"), IdCancel);
    // Retry only when the overwrite prompt offers it.
    EXPECT_EQ(AskOverwrite("Datei \xFC"
                           "berschreiben?",
                           false),
              IdYes);
    EXPECT_EQ(AskOverwrite("Datei \xFC"
                           "berschreiben?",
                           true),
              IdRetry);
    EXPECT_EQ(LastAnswerSource(), AnswerSource::Answers);
    // The catch-all rule answers the first box that offers Ignore.
    EXPECT_EQ(InfoMessage(ActiveForm, "Info"), IdOk);
    EXPECT_EQ(AskIgnoreCancel("Lesefehler"), IdIgnore);

    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "MSG AskYesNo | Weiter? -> No (answers)");
    EXPECT_EQ(lines[1], "MSG AskYesNo | Weiter? -> Yes (default)");
    EXPECT_EQ(lines[2], "MSG AskOverwrite | Weiter mit der n\xC3\xA4"
                        "chsten Datei? -> All (answers)");
    EXPECT_EQ(lines[4], "MSG WarnOkCancel | Zeile 1\\rZeile 2 -> Cancel (answers)");
    EXPECT_EQ(lines[8], "MSG AskIgnoreCancel | Lesefehler -> Ignore (answers)");
}

TEST_F(MessagesTest, RulesThatAnsweredNothingAreLogged) {
    answers("Weiter => No\n"
            "# Kommentar\n"
            "  Nie gezeigt => Yes  \n"
            "\xC3\xBC"
            "berschreiben => All\n"
            "Cancel\n");
    EXPECT_EQ(AskYesNo(ActiveForm, "Weiter?"), IdNo);
    EXPECT_EQ(WarnOkCancel(ActiveForm, "Achtung"), IdCancel);
    LogUnusedAnswers();
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 4u);
    // As written (trimmed), in the file's order, with the text converted.
    EXPECT_EQ(lines[2], "ANSWERS unused | Nie gezeigt => Yes");
    EXPECT_EQ(lines[3], "ANSWERS unused | \xC3\xBC"
                        "berschreiben => All");

    // Nothing loaded: nothing to log.
    ClearAnswers();
    LogUnusedAnswers();
    EXPECT_EQ(logLines().size(), 4u);
}

#ifndef _WIN32
TEST_F(MessagesTest, UnattendedBoxesAreWrittenToStandardErrorWithTheirAnswer) {
    answers("Weiter => No\n");
    testing::internal::CaptureStderr();
    AskYesNo(ActiveForm, "Weiter?");
    InfoMessage(ActiveForm, "Nicht gefunden:\rC:\\Quelle\\a.dll");
    PlainMessage("Zeile 1\r\nZeile 2 \xFC");
    SetUnattended(false);
    answers("Frage => Yes\n");
    AskYesNo(ActiveForm, "Frage"); // answered, but somebody may be at the screen
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "AskYesNo: Weiter? -> No (answers)\n"
              "Info: Nicht gefunden:\n  C:\\Quelle\\a.dll -> OK (default)\n"
              "Plain: Zeile 1\n  Zeile 2 \xC3\xBC -> OK (default)\n");
}
#endif

TEST_F(MessagesTest, AnswersApplyWithoutUnattendedAndAbortFlagIsReported) {
    SetUnattended(false);
    answers("Frage => No\n");
    EXPECT_EQ(AskYesNo(ActiveForm, "Eine Frage"), IdNo);
    EXPECT_EQ(LastAnswerSource(), AnswerSource::Answers);

    AbortRequested = true;
    EXPECT_TRUE(CheckAbort());
    AbortRequested = false;
    EXPECT_FALSE(CheckAbort());
}

} // namespace
