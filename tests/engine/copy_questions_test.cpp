// The copier's questions as the engine asks them: the texts, buttons and
// defaults of the overwrite, placeholder and missing-file messages, the
// compare program of the overwrite message, and the "All" answer, which lasts
// for the rest of one run and no longer.
#include "engine/EngineTestEnv.h"
#include "engine/CopyQuestions.h"
#include "engine/ScriptInstall.h"

#include "common/Answers.h"
#include "common/FileInfo.h"
#include "files/FileHandler.h"
#include "platform/FileSystem.h"

namespace {

using enginetest::EngineEnv;
using setup::CopyAnswer;
using setup::CopyMode;
using setup::CopyQuestion;
using setup::CopyResult;

constexpr plat::FileTime Sec = 10'000'000;
// 2020-06-15 12:00:00 UTC, an even second.
constexpr plat::FileTime T0 = 132366960000000000ULL;

class CopyQuestionsTest : public EngineEnv {
  protected:
    void SetUp() override {
        EngineEnv::SetUp();
        src_ = scratch_ + "src\\";
        dst_ = scratch_ + "dst\\";
    }
    static void Make(const std::string& path, const std::string& bytes, plat::FileTime t) {
        testenv::WriteFile(path, bytes);
        ASSERT_EQ(setup::SetFileTimes(path, t), 0u) << path;
    }
    // How a message appears in the log.
    static std::string Logged(const std::string& kind, const std::string& text,
                              const std::string& answer) {
        return "MSG " + kind + " | " + setup::AnswerMatchText(text) + " -> " + answer;
    }
    std::vector<std::string> Messages() { return LogLines("MSG "); }

    setup::TFileHandler copier_;
    setup::TScriptInstall engine_{nullptr, copier_};
    std::string src_, dst_;
};

TEST_F(CopyQuestionsTest, OverwriteMessageTextAndAnswers) {
    const std::string from = src_ + "a.txt", to = dst_ + "a.txt";
    Make(from, std::string(1500, 's'), T0);
    Make(to, std::string(1234567, 'd'), T0 + 60 * Sec);
    const std::string text = to + "\rist j\xFCnger!\r\rSoll die vorhandene Datei vom\r  " +
                             setup::FormatFileTime(T0 + 60 * Sec) +
                             " (1.234.567 Bytes)\rdurch diejenige vom\r  " +
                             setup::FormatFileTime(T0) +
                             " (1.500 Bytes)\r\xFC"
                             "berschrieben werden?";

    // Cancel: abort, counted as skipped, destination kept, reported as cancelled.
    Answers("Cancel");
    CopyMode mode = CopyMode::CompareAsk;
    EXPECT_EQ(copier_.CopyFile(from, to, 0, mode), CopyResult::Abort);
    EXPECT_EQ(Messages().back(), Logged("AskOverwrite", text, "Cancel (answers)"));
    EXPECT_EQ(LogLines("FILE").back(), "FILE 1 | " + to);
    EXPECT_EQ(copier_.FilesSkipped, 1);
    EXPECT_EQ(testenv::ReadFile(to).size(), 1234567u);

    // Retry is offered only when the compare tool exists; then the message
    // comes again after the tool was started.
    Answers("Retry\nNo");
    EXPECT_EQ(copier_.CopyFile(from, to, 0, mode), CopyResult::Done);
    EXPECT_EQ(Messages().size(), 2u);
    testenv::WriteFile(setup::CompareToolPath, "not a program");
    Answers("Retry\nNo");
    EXPECT_EQ(copier_.CopyFile(from, to, 0, mode), CopyResult::Done);
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[2], Logged("AskOverwrite", text, "Retry (answers)"));
    EXPECT_EQ(messages[3], Logged("AskOverwrite", text, "No (answers)"));
    EXPECT_TRUE(plat::deleteFile(setup::CompareToolPath));
    // Started without the tool there: it is said to be missing.
    setup::LaunchCompareTool(from, to);
    EXPECT_EQ(Messages().back(),
              Logged("Info", setup::CompareToolPath + "\rnicht gefunden.", "OK (default)"));

    // All: this copy; the caller's mode and the run's default become Copy.
    EXPECT_EQ(engine_.Context().decisions.DefaultMode(), CopyMode::CompareAsk);
    Answers("All");
    EXPECT_EQ(copier_.CopyFile(from, to, 0, mode), CopyResult::Done);
    EXPECT_EQ(mode, CopyMode::Copy);
    EXPECT_EQ(engine_.Context().decisions.DefaultMode(), CopyMode::Copy);
    EXPECT_EQ(testenv::ReadFile(to), std::string(1500, 's'));

    // Unattended without a rule: the default button Yes replaces.
    Make(to, "other size", T0);
    mode = CopyMode::CompareAsk;
    EXPECT_EQ(copier_.CopyFile(from, to, 0, mode), CopyResult::Done);
    EXPECT_EQ(Messages().back(),
              Logged("AskOverwrite",
                     to +
                         "\rhat eine andere Dateigr\xF6\xDF"
                         "e.\r\rSoll die vorhandene Datei vom\r  " +
                         setup::FormatFileTime(T0) + " (10 Bytes)\rdurch diejenige vom\r  " +
                         setup::FormatFileTime(T0) +
                         " (1.500 Bytes)\r\xFC"
                         "berschrieben werden?",
                     "Yes (default)"));
    EXPECT_EQ(testenv::ReadFile(to), std::string(1500, 's'));

    // Mode AskAlways: the short question, without comparing.
    Answers("No");
    mode = CopyMode::AskAlways;
    EXPECT_EQ(copier_.CopyFile(from, to, 0, mode), CopyResult::Done);
    EXPECT_EQ(Messages().back(),
              Logged("AskOverwrite", to + " j\xFCnger!\rTrotzdem kopieren?", "No (answers)"));
    EXPECT_EQ(LogLines("FILE").back(), "FILE 2 | " + to);
}

TEST_F(CopyQuestionsTest, PlaceholderAndNothingFoundMessages) {
    const std::string from = src_ + "big.bin", other = dst_ + "other.bin";
    std::string placeholder = "DUMMY$#$" + std::string(8, 'x');
    for (int i = 0; i < 8; ++i)
        placeholder += static_cast<char>(i == 0 ? 0x88 : i == 1 ? 0x13 : 0); // 5000
    Make(from, placeholder, T0 + Sec);
    Make(other, std::string(4000, 'd'), T0 + Sec);
    const std::string text = other + "\rvom " + setup::FormatFileTime(T0 + Sec) +
                             "\rkann nicht aktualisiert werden, weil\r" + from + "\rvom " +
                             setup::FormatFileTime(T0 + Sec) +
                             "\rlediglich eine Platzhalterdatei ist.";

    // Ignore goes on without the file (not copied), Cancel aborts; the
    // default is Cancel.
    Answers("Ignore\nCancel");
    CopyMode mode = CopyMode::CompareAsk;
    EXPECT_EQ(copier_.CopyFile(from, other, 0, mode), CopyResult::NotCopied);
    EXPECT_EQ(copier_.CopyFile(from, other, 0, mode), CopyResult::Abort);
    EXPECT_EQ(copier_.CopyFile(from, other, 0, mode), CopyResult::Abort);
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], Logged("AskIgnoreCancel", text, "Ignore (answers)"));
    EXPECT_EQ(messages[1], Logged("AskIgnoreCancel", text, "Cancel (answers)"));
    EXPECT_EQ(messages[2], Logged("AskIgnoreCancel", text, "Cancel (default)"));
    EXPECT_EQ(testenv::ReadFile(other), std::string(4000, 'd'));

    // Nothing to copy where something was expected: OK goes on (not copied).
    Answers("OK");
    int count = 0;
    EXPECT_EQ(copier_.CopyFiles(src_, dst_, "*.dll", 0, true, count, CopyMode::CompareAsk),
              CopyResult::NotCopied);
    EXPECT_EQ(
        Messages().back(),
        Logged("ReportNotCopied", "from: " + src_ + "\r*.dll nicht kopiert!", "OK (answers)"));
    EXPECT_EQ(Messages().size(), 4u);
    // "All" is not among their buttons: the run's mode stays.
    EXPECT_EQ(engine_.Context().decisions.DefaultMode(), CopyMode::CompareAsk);
}

TEST_F(CopyQuestionsTest, AllLastsForTheRestOfTheRunOnly) {
    testenv::WriteFile(scratch_ + "install.ins",
                       "[Project]\r\nName=SetupCopyAll\r\nGroup=SetupCopyAll\r\nPart1=A\r\n"
                       "IPath=src\r\n[A]\r\nFile1=a.txt\r\nFile2=b.txt\r\nIcon=-\r\n");
    const std::string target = scratch_ + "Ziel\\";
    for (const char* name : {"a.txt", "b.txt"})
        Make(src_ + name, "new", T0);
    auto mine = [&] {
        for (const char* name : {"a.txt", "b.txt"})
            Make(target + name, "mine", T0 + 100 * Sec);
    };
    auto asked = [&] {
        size_t n = 0;
        for (const std::string& line : Messages())
            n += line.rfind("MSG AskOverwrite | ", 0) == 0;
        return n;
    };
    engine_.LoadScript(scratch_ + "install.ins");
    engine_.SetTargetDir(target);
    mine();

    // All to the first question: the second file is replaced without one.
    Answers("All");
    ASSERT_TRUE(engine_.RunInstallation(nullptr)) << Log();
    EXPECT_EQ(asked(), 1u) << Log();
    EXPECT_EQ(testenv::ReadFile(target + "a.txt"), "new");
    EXPECT_EQ(testenv::ReadFile(target + "b.txt"), "new");

    // The next run of the same engine (the script is read anew) asks again.
    mine();
    engine_.LoadScript(scratch_ + "install.ins");
    engine_.SetTargetDir(target);
    Answers("No\nNo");
    engine_.RunInstallation(nullptr);
    EXPECT_EQ(asked(), 3u) << Log();
    EXPECT_EQ(testenv::ReadFile(target + "a.txt"), "mine");
    EXPECT_EQ(testenv::ReadFile(target + "b.txt"), "mine");
}

TEST_F(CopyQuestionsTest, EachEngineAsksForItsOwnRunAndGivesTheCopierBack) {
    Make(src_ + "a.txt", "new", T0);
    auto newer = [&] { Make(dst_ + "a.txt", "mine", T0 + 100 * Sec); };
    auto copy = [&] {
        CopyMode mode = CopyMode::CompareAsk;
        return copier_.CopyFile(src_ + "a.txt", dst_ + "a.txt", 0, mode);
    };
    {
        // A second engine on the same copier takes its questions while it lives.
        setup::TScriptInstall inner(nullptr, copier_);
        newer();
        Answers("All");
        EXPECT_EQ(copy(), CopyResult::Done);
        EXPECT_EQ(inner.Context().decisions.DefaultMode(), CopyMode::Copy);
        EXPECT_EQ(engine_.Context().decisions.DefaultMode(), CopyMode::CompareAsk);
    }
    newer();
    Answers("All");
    EXPECT_EQ(copy(), CopyResult::Done);
    EXPECT_EQ(engine_.Context().decisions.DefaultMode(), CopyMode::Copy);
    EXPECT_EQ(Messages().size(), 2u);

    // Without any engine the copier asks no one: the default answers.
    setup::TFileHandler alone;
    {
        setup::TScriptInstall passing(nullptr, alone);
        EXPECT_TRUE(alone.OnQuestion);
    }
    EXPECT_FALSE(alone.OnQuestion);
}

} // namespace
