// The copier on folders: CopyFiles and CopyTree with their reports and
// questions, the "All" answer across files and for the run, ForceFolders, and
// the counters fed to the window.
#include "files/filehandler_fixture.h"

#include <algorithm>

#include "common/Error.h"

namespace setup::copiertest {
namespace {

using FileHandlerTreeTest = CopierTest;

TEST_F(FileHandlerTreeTest, AllAnswerReachesLaterFilesThroughTheRunsDecisions) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        Make(src_ + name, "new", T0);
        Make(dst_ + name, "old", T0 + 100 * Sec);
    }
    Make(src_ + "d.txt", "new", T0);
    Make(dst_ + "d.txt", "old", T0 + 100 * Sec);
    CopyDecisions run([this](const CopyQuestion& q) { return Reply(q); });
    fh_.OnQuestion = [&run](const CopyQuestion& q) { return run.Decide(q); };
    run.StartRun();
    EXPECT_EQ(run.DefaultMode(), CopyMode::CompareAsk);
    Replies({CopyAnswer::CopyAll});
    int count = 0;
    EXPECT_EQ(fh_.CopyFiles(src_, dst_, "?.txt", 0, true, count, run.DefaultMode()),
              CopyResult::Done);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(asked_.size(), 1u);
    EXPECT_EQ(run.DefaultMode(), CopyMode::Copy);
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        EXPECT_EQ(testenv::ReadFile(dst_ + name), "new");

    // A later call with the run's mode copies without comparing.
    Make(dst_ + "a.txt", "older", T0 + 200 * Sec);
    EXPECT_EQ(fh_.CopyFiles(src_, dst_, "a.txt", 0, true, count, run.DefaultMode()),
              CopyResult::Done);
    EXPECT_EQ(testenv::ReadFile(dst_ + "a.txt"), "new");
    EXPECT_EQ(asked_.size(), 1u);
    // An entry with a mode of its own compares; FileOverride numbers other
    // than 0 compare and copy without asking.
    EXPECT_EQ(run.ModeForOverride(0), CopyMode::Copy);
    for (int fileOverride : {1, 2, 3, -1})
        EXPECT_EQ(run.ModeForOverride(fileOverride), CopyMode::CompareCopy) << fileOverride;

    // The next run asks again.
    run.StartRun();
    EXPECT_EQ(run.ModeForOverride(0), CopyMode::CompareAsk);
    Make(dst_ + "a.txt", "older", T0 + 200 * Sec);
    Replies({CopyAnswer::Skip});
    EXPECT_EQ(fh_.CopyFiles(src_, dst_, "a.txt", 0, true, count, run.DefaultMode()),
              CopyResult::Done);
    EXPECT_EQ(testenv::ReadFile(dst_ + "a.txt"), "older");
    EXPECT_EQ(asked_.size(), 2u);
    EXPECT_EQ(run.DefaultMode(), CopyMode::CompareAsk);
    EXPECT_TRUE(Prompts().empty());
}

TEST_F(FileHandlerTreeTest, AllAnswerInATreeReachesLaterFoldersOnlyThroughTheRun) {
    // Each folder of a walk starts from the mode given to the walk: "All" in
    // one folder covers its other files, the next folder asks again, and the
    // run's mode is Copy from then on.
    for (const char* name : {"a.txt", "b.txt", "sub\\c.txt"}) {
        Make(src_ + name, "new", T0);
        Make(dst_ + name, "old", T0 + 100 * Sec);
    }
    CopyDecisions run([this](const CopyQuestion& q) { return Reply(q); });
    fh_.OnQuestion = [&run](const CopyQuestion& q) { return run.Decide(q); };
    Replies({CopyAnswer::CopyAll, CopyAnswer::Skip});
    int count = 0;
    EXPECT_EQ(fh_.CopyTree(src_, dst_, "*.txt", 0, true, count, run.DefaultMode()),
              CopyResult::Done);
    ASSERT_EQ(asked_.size(), 2u);
    EXPECT_EQ(asked_[1].dest.rfind(dst_ + "sub\\", 0), 0u) << asked_[1].dest;
    EXPECT_EQ(testenv::ReadFile(dst_ + "a.txt"), "new");
    EXPECT_EQ(testenv::ReadFile(dst_ + "b.txt"), "new");
    EXPECT_EQ(fh_.FilesCopied, 2);
    EXPECT_EQ(fh_.FilesSkipped, 1);
    EXPECT_EQ(run.DefaultMode(), CopyMode::Copy);
}

TEST_F(FileHandlerTreeTest, CancelStopsTheFolder) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        Make(src_ + name, "new", T0);
        Make(dst_ + name, "old", T0 + 100 * Sec);
    }
    Replies({CopyAnswer::Cancel});
    int count = 0;
    EXPECT_EQ(fh_.CopyFiles(src_, dst_, "*.txt", 0, true, count, CopyMode::CompareAsk),
              CopyResult::Abort);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(asked_.size(), 1u);
    EXPECT_EQ(fh_.FilesSkipped, 1);
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        EXPECT_EQ(testenv::ReadFile(dst_ + name), "old");

    // The abort flag stops before the first file.
    AbortRequested = true;
    EXPECT_EQ(fh_.CopyFiles(src_, dst_, "*.txt", 0, true, count, CopyMode::Copy),
              CopyResult::Abort);
    EXPECT_EQ(fh_.FilesCopied, 0);
}

TEST_F(FileHandlerTreeTest, MissingAndFailedFilesAreReported) {
    int count = 0;
    testenv::WriteFile(src_ + "x.txt", "x");
    EXPECT_EQ(fh_.CopyFiles(src_, dst_, "*.dll", 0, false, count, CopyMode::CompareAsk),
              CopyResult::Done);
    EXPECT_TRUE(asked_.empty());
    EXPECT_FALSE(plat::folderExists(dst_));
    // Asked about when reportMissing: Skip goes on (NotCopied), Cancel aborts.
    Replies({CopyAnswer::Skip, CopyAnswer::Cancel});
    EXPECT_EQ(fh_.CopyFiles(src_, dst_, "*.dll", 0, true, count, CopyMode::CompareAsk),
              CopyResult::NotCopied);
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].kind, CopyQuestion::Kind::NothingFound);
    EXPECT_EQ(asked_[0].source, src_);
    EXPECT_EQ(asked_[0].dest, dst_);
    EXPECT_EQ(asked_[0].mask, "*.dll");
    EXPECT_EQ(fh_.CopyFiles(src_, dst_, "*.dll", 0, true, count, CopyMode::CompareAsk),
              CopyResult::Abort);
    EXPECT_EQ(asked_.size(), 2u);
    EXPECT_FALSE(plat::folderExists(dst_));
    EXPECT_TRUE(Prompts().empty());

    // A file that cannot be copied is reported; the others go on.
    testenv::WriteFile(src_ + "y.txt", "y");
    testenv::WriteFile(dst_ + "x.txt", "old");
    ASSERT_TRUE(plat::setAttributes(dst_ + "x.txt", plat::kAttrReadOnly));
    EXPECT_EQ(fh_.CopyFiles(src_, dst_, "*.txt", 0, true, count, CopyMode::Copy),
              CopyResult::NotCopied);
    const auto prompts = Prompts();
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0], Logged("Info", "from: " + src_ + "\rto: " + dst_ + "\rx.txt not copied",
                                 "OK (default)"));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(testenv::ReadFile(dst_ + "y.txt"), "y");
    ASSERT_TRUE(plat::setAttributes(dst_ + "x.txt", plat::kAttrNormal));
}

TEST_F(FileHandlerTreeTest, CopyTreeWalksSortedSubfoldersAndCreatesFolders) {
    for (const char* path : {"top.txt", "b\\one.txt", "a\\two.txt", "a\\deep\\three.txt",
                             "C\\four.txt", "b\\skip.bin", ".hidden\\five.txt"})
        Make(src_ + path, path, T0);
    testenv::WriteFile(src_ + "empty\\none.bin", "");
    int count = 0;
    EXPECT_EQ(fh_.CopyTree(src_, scratch_ + "out", "*.txt", 0, true, count, CopyMode::CompareAsk),
              CopyResult::Done);
    EXPECT_EQ(count, 5);
    const std::string out = scratch_ + "out\\";
    const std::vector<std::string> expected = {
        "folder " + scratch_ + "out", "done3 " + out + "top.txt",
        "folder " + out + "a",        "done3 " + out + "a\\two.txt",
        "folder " + out + "a\\deep",  "done3 " + out + "a\\deep\\three.txt",
        "folder " + out + "b",        "done3 " + out + "b\\one.txt",
        "folder " + out + "C",        "done3 " + out + "C\\four.txt",
    };
    EXPECT_EQ(events_, expected);
    EXPECT_EQ(testenv::ReadFile(out + "a\\deep\\three.txt"), "a\\deep\\three.txt");
    EXPECT_FALSE(plat::folderExists(out + "empty"));

    // Again: everything is identical now; with nothing copied at all a
    // report-missing walk gives 1, without a message.
    count = 0;
    EXPECT_EQ(fh_.CopyTree(src_, out, "*.txt", 0, true, count, CopyMode::CompareAsk),
              CopyResult::Done);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(fh_.FilesSkipped, 5);
    EXPECT_EQ(fh_.CopyTree(src_, out, "*.xyz", 0, true, count, CopyMode::CompareAsk),
              CopyResult::NotCopied);
    EXPECT_EQ(fh_.CopyTree(src_, out, "*.xyz", 0, false, count, CopyMode::CompareAsk),
              CopyResult::Done);
    EXPECT_TRUE(Prompts().empty());
}

TEST_F(FileHandlerTreeTest, ForceFoldersCreatesParentsFirstAndRaisesOnFailure) {
    ASSERT_TRUE(fh_.ForceFolders(scratch_ + "p"));
    events_.clear();
    EXPECT_TRUE(fh_.ForceFolders(scratch_ + "p\\q\\r\\"));
    EXPECT_EQ(events_, (std::vector<std::string>{"folder " + scratch_ + "p\\q",
                                                 "folder " + scratch_ + "p\\q\\r"}));
    EXPECT_TRUE(plat::folderExists(scratch_ + "p\\q\\r"));
    EXPECT_TRUE(fh_.ForceFolders(scratch_ + "p\\q"));
    EXPECT_TRUE(fh_.ForceFolders("C:"));
    EXPECT_EQ(events_.size(), 2u);

    testenv::WriteFile(scratch_ + "file", "x");
    try {
        fh_.ForceFolders(scratch_ + "file\\sub");
        FAIL() << "no error for a folder below a file";
    } catch (const SetupError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(scratch_ + "file\rkann nicht angelegt werden (", 0),
                  0u)
            << e.what();
    }
    EXPECT_TRUE(ForceFoldersShared(scratch_ + "s\\t"));
    EXPECT_TRUE(plat::folderExists(scratch_ + "s\\t"));

    // A network path: the server and its share are no folders to create.
    events_.clear();
    try {
        fh_.ForceFolders("\\\\nobody.invalid\\share\\x\\y");
        FAIL() << "no error for a share that is not there";
    } catch (const SetupError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(
                      "\\\\nobody.invalid\\share\\x\rkann nicht angelegt werden (", 0),
                  0u)
            << e.what();
    }
    EXPECT_TRUE(events_.empty());
}

TEST_F(FileHandlerTreeTest, CountersAndProgress) {
    std::vector<int64_t> processed;
    fh_.OnProgress = [&] { processed.push_back(fh_.ProcessedBytes()); };
    Make(src_ + "a.bin", std::string(3000, 'a'), T0);
    Make(src_ + "b.bin", std::string(500, 'b'), T0);
    fh_.CountSkipped(src_ + "*.bin", dst_);
    EXPECT_EQ(fh_.FilesSkipped, 2);
    EXPECT_EQ(fh_.BytesSkipped, 3500);
    // One decision for each file, under its own destination name.
    std::vector<std::string> skipped = events_;
    std::sort(skipped.begin(), skipped.end());
    EXPECT_EQ(skipped,
              (std::vector<std::string>{"done2 " + dst_ + "a.bin", "done2 " + dst_ + "b.bin"}));
    ASSERT_EQ(processed.size(), 2u);
    EXPECT_EQ(processed[0], events_[0] == "done2 " + dst_ + "a.bin" ? 3000 : 500);
    processed.erase(processed.begin());
    fh_.AddCopied(3, 100);
    EXPECT_EQ(fh_.FilesCopied, 3);
    fh_.DownloadWorkBegin(1000);
    fh_.DownloadWork(400);
    fh_.DownloadWork(1000);
    fh_.DownloadWorkBegin(50);
    fh_.DownloadWork(50);
    EXPECT_EQ(fh_.BytesDownloaded, 1050);
    EXPECT_EQ(processed, (std::vector<int64_t>{3500, 3600, 4000, 4600, 4650}));

    events_.clear();
    EXPECT_EQ(fh_.MissingSources, 0);
    fh_.CountSkipped(src_ + "*.none", dst_);
    EXPECT_EQ(Prompts().back(),
              Logged("Info", "Nicht gefunden:\r" + src_ + "*.none", "OK (default)"));
    // Nothing to name: no decision, but the missing source is counted.
    EXPECT_TRUE(events_.empty());
    EXPECT_EQ(fh_.MissingSources, 1);

    // The shared copier reports to the given handler only during the call.
    int calls = 0;
    EXPECT_EQ(
        CopyFileShared(src_ + "a.bin", dst_ + "a.bin", 0, CopyMode::CompareAsk, [&] { ++calls; }),
        CopyResult::NotCopied);
    ASSERT_TRUE(ForceFoldersShared(dst_));
    EXPECT_EQ(
        CopyFileShared(src_ + "a.bin", dst_ + "a.bin", 0, CopyMode::CompareAsk, [&] { ++calls; }),
        CopyResult::Done);
    EXPECT_GE(calls, 2);
    EXPECT_FALSE(SharedFileHandler().OnProgress);

    fh_.ResetCounters();
    EXPECT_EQ(processed.back(), 0);
    EXPECT_EQ(fh_.FilesSkipped + fh_.FilesCopied + fh_.MissingSources, 0);
}

} // namespace
} // namespace setup::copiertest
