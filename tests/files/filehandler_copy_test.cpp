// The copier on single files: the mode table against prepared destinations,
// the prompt texts, placeholders, the stamp of the copy, and failed copies
// that must leave the previous destination as it was.
#include "files/filehandler_fixture.h"

#include <algorithm>

#include "common/FileInfo.h"
#include "common/Text.h"
#include "platform/Process.h"

namespace setup::copiertest {
namespace {

using FileHandlerCopyTest = CopierTest;

enum class Dest { Missing, Same, Newer, Older, OtherSize, Empty, FatNewer };

TEST_F(FileHandlerCopyTest, ModeTableAgainstPreparedDestinations) {
    struct Case {
        CopyMode mode;
        Dest dest;
        const char* answers;
        bool copied;
        const char* prompt; // a part of the one prompt shown, or null for none
    };
    const Case cases[] = {
        {3, Dest::Missing, "", true, nullptr},
        {3, Dest::Same, "", false, nullptr},
        {4, Dest::Newer, "No", false, "\rist j\xFCnger!\r\r"},
        {3, Dest::Newer, "Yes", true, "\rist j\xFCnger!\r\r"},
        {3, Dest::Older, "", true, nullptr},
        {3, Dest::OtherSize, "No", false,
         "\rhat eine andere Dateigr\xF6\xDF"
         "e.\r\r"},
        {3, Dest::Empty, "", true, nullptr},
        {3, Dest::FatNewer, "", true, nullptr},
        {6, Dest::Newer, "", true, nullptr},
        {6, Dest::OtherSize, "", true, nullptr},
        {6, Dest::Same, "", false, nullptr},
        {2, Dest::Older, "", false, nullptr},
        {1, Dest::Newer, "", true, nullptr},
        {5, Dest::Same, "", true, nullptr},
        {7, Dest::Newer, "", true, nullptr},
        {200, Dest::Newer, "", true, nullptr},
        {0, Dest::Missing, "No", false, "f.dat j\xFCnger!\rTrotzdem kopieren?"},
        {0, Dest::Same, "Yes", true, "f.dat j\xFCnger!\rTrotzdem kopieren?"},
    };
    const plat::FileTime ts = T0 + Sec; // an odd second
    const std::string source(1500, 's');
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("case " + std::to_string(n) + ", mode " + std::to_string(c.mode));
        const std::string from = src_ + std::to_string(n) + "\\f.dat";
        const std::string to = dst_ + std::to_string(n) + "\\f.dat";
        ++n;
        Make(from, source, ts);
        ASSERT_TRUE(fh_.ForceFolders(dst_ + std::to_string(n - 1)));
        std::string old;
        switch (c.dest) {
        case Dest::Missing:
            break;
        case Dest::Same:
            Make(to, old = std::string(1500, 'd'), ts);
            break;
        case Dest::Newer:
            Make(to, old = std::string(1500, 'd'), ts + 100 * Sec);
            break;
        case Dest::Older:
            Make(to, old = std::string(1500, 'd'), ts - 100 * Sec);
            break;
        case Dest::OtherSize:
            Make(to, old = std::string(2000, 'd'), ts);
            break;
        case Dest::Empty:
            Make(to, old, ts + 100 * Sec);
            break;
        case Dest::FatNewer:
            Make(to, old = std::string(1500, 'd'), T0 + 2 * Sec);
            break;
        }
        if (c.dest != Dest::Missing) {
            ASSERT_TRUE(plat::setAttributes(to, plat::kAttrNormal));
        }
        Answers(c.answers);
        const size_t promptsBefore = Prompts().size();
        const auto before = std::make_pair(fh_.FilesCopied, fh_.FilesSkipped);
        events_.clear();

        CopyMode mode = c.mode;
        EXPECT_EQ(fh_.CopyFile(from, to, 0, mode), CopyDone);

        const auto prompts = Prompts();
        ASSERT_EQ(prompts.size() - promptsBefore, c.prompt ? 1u : 0u);
        if (c.prompt) {
            EXPECT_NE(prompts.back().find(AnswerMatchText(c.prompt)), std::string::npos)
                << prompts.back();
        }
        ASSERT_EQ(events_.size(), 1u);
        EXPECT_EQ(events_[0], (c.copied ? "done3 " : "done2 ") + to);
        EXPECT_EQ(fh_.FilesCopied - before.first, c.copied ? 1 : 0);
        EXPECT_EQ(fh_.FilesSkipped - before.second, c.copied ? 0 : 1);
        EXPECT_EQ(fh_.CurrentBytes, 0);
        if (c.copied) {
            EXPECT_EQ(testenv::ReadFile(to), source);
            EXPECT_EQ(Entry(to).writeTime, ts);
        } else if (c.dest != Dest::Missing) {
            EXPECT_EQ(testenv::ReadFile(to), old);
        }
        if (c.dest != Dest::Missing || c.copied) {
            EXPECT_EQ(Entry(to).attributes, plat::kAttrArchive);
        }
        EXPECT_EQ(Names(dst_ + std::to_string(n - 1) + "\\").size(),
                  (c.dest != Dest::Missing || c.copied) ? 1u : 0u);
    }
    EXPECT_EQ(fh_.BytesCopied, 1500 * fh_.FilesCopied);
    EXPECT_EQ(fh_.BytesSkipped, 1500 * fh_.FilesSkipped);
    EXPECT_EQ(DefaultCopyMode, 4);
}

TEST_F(FileHandlerCopyTest, OverwritePromptTextAndAnswers) {
    const std::string from = src_ + "a.txt", to = dst_ + "a.txt";
    Make(from, std::string(1500, 's'), T0);
    Make(to, std::string(1234567, 'd'), T0 + 60 * Sec);
    const std::string text = to + "\rist j\xFCnger!\r\rSoll die vorhandene Datei vom\r  " +
                             FormatFileTime(T0 + 60 * Sec) +
                             " (1.234.567 Bytes)\rdurch diejenige vom\r  " + FormatFileTime(T0) +
                             " (1.500 Bytes)\r\xFC"
                             "berschrieben werden?";

    // Cancel: abort, counted as skipped, destination kept, reported as cancelled.
    Answers("Cancel");
    CopyMode mode = 3;
    events_.clear();
    EXPECT_EQ(fh_.CopyFile(from, to, 0, mode), CopyAbort);
    EXPECT_EQ(events_, std::vector<std::string>{"done1 " + to});
    EXPECT_EQ(Prompts().back(), Logged("AskOverwrite", text, "Cancel (answers)"));
    EXPECT_EQ(fh_.FilesSkipped, 1);
    EXPECT_EQ(fh_.BytesSkipped, 1500);
    EXPECT_EQ(testenv::ReadFile(to).size(), 1234567u);

    // Retry is offered only when the compare tool exists; then the prompt
    // comes again after the tool was started.
    Answers("Retry\nNo");
    EXPECT_EQ(fh_.CopyFile(from, to, 0, mode), CopyDone);
    EXPECT_EQ(Prompts().size(), 2u);
    testenv::WriteFile(CompareToolPath, "not a program");
    Answers("Retry\nNo");
    EXPECT_EQ(fh_.CopyFile(from, to, 0, mode), CopyDone);
    const auto prompts = Prompts();
    ASSERT_EQ(prompts.size(), 4u);
    EXPECT_EQ(prompts[2], Logged("AskOverwrite", text, "Retry (answers)"));
    EXPECT_EQ(prompts[3], Logged("AskOverwrite", text, "No (answers)"));
    EXPECT_TRUE(plat::deleteFile(CompareToolPath));

    // All: this copy and the caller's mode and DefaultCopyMode become 1.
    Answers("All");
    EXPECT_EQ(fh_.CopyFile(from, to, 0, mode), CopyDone);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(DefaultCopyMode, 1);
    EXPECT_EQ(testenv::ReadFile(to), std::string(1500, 's'));
}

TEST_F(FileHandlerCopyTest, PlaceholdersAreNeverCopied) {
    const std::string from = src_ + "big.bin";
    Make(from, Placeholder(5000), T0 + Sec);
    EXPECT_TRUE(IsPlaceholderFile(from));
    Make(src_ + "dummy.txt", "DUMMY$#X" + std::string(16, '$'), T0);
    EXPECT_FALSE(IsPlaceholderFile(src_ + "dummy.txt"));
    Make(src_ + "long.bin", Placeholder(5000) + "x", T0);
    EXPECT_FALSE(IsPlaceholderFile(src_ + "long.bin"));

    const std::string matching = dst_ + "match.bin", other = dst_ + "other.bin";
    const std::string fat = dst_ + "fat.bin";
    Make(matching, std::string(5000, 'd'), T0 + Sec);
    Make(other, std::string(4000, 'd'), T0 + Sec);
    Make(fat, std::string(5000, 'd'), T0 + 2 * Sec);

    for (CopyMode m : {1, 5, 7}) {
        CopyMode mode = m;
        EXPECT_EQ(fh_.CopyFile(from, other, 0, mode), CopyNotCopied) << int(m);
    }
    Answers("Yes");
    CopyMode mode = 0;
    EXPECT_EQ(fh_.CopyFile(from, dst_ + "new.bin", 0, mode), CopyNotCopied);
    EXPECT_FALSE(plat::fileExists(dst_ + "new.bin"));
    EXPECT_EQ(fh_.FilesSkipped, 0);

    // A destination of the recorded size and time (or on the FAT step after
    // it) is identical: skipped with the recorded size.
    for (CopyMode m : {3, 4, 6}) {
        mode = m;
        EXPECT_EQ(fh_.CopyFile(from, matching, 0, mode), CopyDone);
        EXPECT_EQ(fh_.CopyFile(from, fat, 0, mode), CopyDone);
    }
    EXPECT_EQ(fh_.FilesSkipped, 6);
    EXPECT_EQ(fh_.BytesSkipped, 6 * 5000);
    EXPECT_TRUE(Prompts().size() == 1);

    // Otherwise the placeholder dialog: Ignore skips with result 1, Cancel aborts.
    const std::string text = other + "\rvom " + FormatFileTime(T0 + Sec) +
                             "\rkann nicht aktualisiert werden, weil\r" + from + "\rvom " +
                             FormatFileTime(T0 + Sec) + "\rlediglich eine Platzhalterdatei ist.";
    Answers("Ignore\nCancel");
    mode = 3;
    events_.clear();
    EXPECT_EQ(fh_.CopyFile(from, other, 0, mode), CopyNotCopied);
    EXPECT_EQ(Prompts().back(), Logged("AskIgnoreCancel", text, "Ignore (answers)"));
    EXPECT_EQ(fh_.FilesSkipped, 7);
    EXPECT_EQ(fh_.CopyFile(from, other, 0, mode), CopyAbort);
    // Not updated (failed), then cancelled.
    EXPECT_EQ(events_, (std::vector<std::string>{"done0 " + other, "done1 " + other}));
    EXPECT_EQ(fh_.FilesSkipped, 7);
    EXPECT_EQ(fh_.CurrentBytes, 0);
    mode = 2;
    EXPECT_EQ(fh_.CopyFile(from, other, 0, mode), CopyDone);
    EXPECT_EQ(testenv::ReadFile(other), std::string(4000, 'd'));
    EXPECT_EQ(fh_.FilesCopied, 0);
}

TEST_F(FileHandlerCopyTest, CopyGetsSourceTimeAndOnlyTheArchiveBit) {
    const std::string from = src_ + "r.txt";
    Make(from, "content", T0 + Sec);
    ASSERT_TRUE(plat::setAttributes(from, plat::kAttrReadOnly | plat::kAttrHidden));
    EXPECT_EQ(fh_.CopyOneFile(from, dst_ + "r.txt", 0, 3), CopyNotCopied); // no folder yet
    ASSERT_TRUE(fh_.ForceFolders(dst_));

    EXPECT_EQ(fh_.CopyOneFile(from, dst_ + "r.txt", 0, 3), CopyDone);
    plat::DirEntry e = Entry(dst_ + "r.txt");
    EXPECT_EQ(e.writeTime, T0 + Sec);
    EXPECT_EQ(e.attributes, plat::kAttrArchive);

    // A later minimum time (a DOS date, local time) wins over the source's.
    const int32_t later = FileTimeToDosDate(T0 + 3600 * Sec);
    EXPECT_EQ(fh_.CopyOneFile(from, dst_ + "m.txt", later, 1), CopyDone);
    EXPECT_EQ(Entry(dst_ + "m.txt").writeTime, DosTimeToFileTime(later).first);
    EXPECT_EQ(fh_.CopyOneFile(from, dst_ + "n.txt", FileTimeToDosDate(T0 - 3600 * Sec), 1),
              CopyDone);
    EXPECT_EQ(Entry(dst_ + "n.txt").writeTime, T0 + Sec);

    // A replaced hidden file stays hidden.
    ASSERT_TRUE(plat::setAttributes(dst_ + "n.txt", plat::kAttrHidden));
    EXPECT_EQ(fh_.CopyOneFile(from, dst_ + "n.txt", 0, 1), CopyDone);
    EXPECT_EQ(Entry(dst_ + "n.txt").attributes, plat::kAttrHidden | plat::kAttrArchive);
    ASSERT_TRUE(plat::setAttributes(dst_ + "n.txt", plat::kAttrNormal));
    ASSERT_TRUE(plat::setAttributes(from, plat::kAttrNormal));
}

TEST_F(FileHandlerCopyTest, SkippedFatCopyGetsTheExactTime) {
    // Mode 2 keeps a FAT copy (same size, time on the 2-second step) but
    // corrects its time so that later comparisons see it as identical.
    Make(src_ + "f", "12345", T0 + Sec);
    Make(dst_ + "f", "abcde", T0 + 2 * Sec);
    Make(dst_ + "g", "abcdef", T0 + 2 * Sec);
    EXPECT_EQ(fh_.CopyOneFile(src_ + "f", dst_ + "f", 0, 2), CopyDone);
    EXPECT_EQ(fh_.CopyOneFile(src_ + "f", dst_ + "g", 0, 2), CopyDone);
    EXPECT_EQ(Entry(dst_ + "f").writeTime, T0 + Sec);
    EXPECT_EQ(Entry(dst_ + "g").writeTime, T0 + 2 * Sec);
    EXPECT_EQ(testenv::ReadFile(dst_ + "f"), "abcde");
}

// Failed copies: the previous destination stays byte for byte, and no
// temporary file is left.
TEST_F(FileHandlerCopyTest, AbortBetweenBlocksKeepsThePreviousFile) {
    std::string big(5 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 + i / 4096);
    Make(src_ + "big.bin", big, T0);
    Make(dst_ + "big.bin", "previous version", T0 - 100 * Sec);
    std::vector<int64_t> progress;
    fh_.OnProgress = [&] {
        progress.push_back(fh_.CurrentBytes);
        if (fh_.CurrentBytes >= 2 * 1048577) AbortRequested = true;
    };
    EXPECT_EQ(fh_.CopyOneFile(src_ + "big.bin", dst_ + "big.bin", 0, 1), CopyAbort);
    EXPECT_EQ(events_, std::vector<std::string>{"done1 " + dst_ + "big.bin"});
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress[0], 1048577);
    EXPECT_EQ(progress[1], 2 * 1048577);
    EXPECT_EQ(testenv::ReadFile(dst_ + "big.bin"), "previous version");
    EXPECT_EQ(Entry(dst_ + "big.bin").writeTime, T0 - 100 * Sec);
    EXPECT_EQ(Names(dst_), std::vector<std::string>{"big.bin"});
    EXPECT_EQ(fh_.FilesCopied + fh_.FilesSkipped, 0);
    EXPECT_EQ(fh_.ProcessedBytes(), 0);

    AbortRequested = false;
    progress.clear();
    fh_.OnProgress = [&] { progress.push_back(fh_.CurrentBytes); };
    EXPECT_EQ(fh_.CopyOneFile(src_ + "big.bin", dst_ + "big.bin", 0, 1), CopyDone);
    EXPECT_EQ(progress.size(), 7u); // six blocks, then the file's end
    EXPECT_TRUE(testenv::ReadFile(dst_ + "big.bin") == big);
    EXPECT_EQ(fh_.BytesCopied, static_cast<int64_t>(big.size()));
}

TEST_F(FileHandlerCopyTest, LargeFilesMoveInStepsThatKeepProgressGoing) {
    std::string big(40 * 1024 * 1024 + 3, '\0');
    for (size_t i = 0; i < big.size(); i += 512)
        big[i] = static_cast<char>(i / 512);
    Make(src_ + "large.bin", big, T0);
    ASSERT_TRUE(fh_.ForceFolders(dst_));
    std::vector<int64_t> progress;
    fh_.OnProgress = [&] { progress.push_back(fh_.CurrentBytes); };
    ASSERT_EQ(fh_.CopyOneFile(src_ + "large.bin", dst_ + "large.bin", 0, 1), CopyDone);
    EXPECT_TRUE(testenv::ReadFile(dst_ + "large.bin") == big);
    EXPECT_EQ(Entry(dst_ + "large.bin").size, big.size());
    EXPECT_EQ(Names(dst_), std::vector<std::string>{"large.bin"});
    // Progress never jumps by more than 16 MiB and never goes back; the last
    // event comes with the whole file.
    ASSERT_GE(progress.size(), 4u);
    for (size_t i = 1; i + 1 < progress.size(); ++i) {
        EXPECT_GT(progress[i], progress[i - 1]);
        EXPECT_LE(progress[i] - progress[i - 1], int64_t{16} << 20);
    }
    EXPECT_EQ(fh_.BytesCopied, static_cast<int64_t>(big.size()));
}

TEST_F(FileHandlerCopyTest, ReadOnlyDestinationIsNotReplaced) {
    Make(src_ + "a.txt", "new", T0 + 100 * Sec);
    Make(dst_ + "a.txt", "old", T0);
    ASSERT_TRUE(plat::setAttributes(dst_ + "a.txt", plat::kAttrReadOnly));
    for (CopyMode mode : {1, 3}) {
        EXPECT_EQ(fh_.CopyOneFile(src_ + "a.txt", dst_ + "a.txt", 0, mode), CopyNotCopied);
        EXPECT_EQ(testenv::ReadFile(dst_ + "a.txt"), "old");
        EXPECT_EQ(Names(dst_), std::vector<std::string>{"a.txt"});
    }
    EXPECT_EQ(fh_.FilesCopied + fh_.FilesSkipped, 0);
    ASSERT_TRUE(plat::setAttributes(dst_ + "a.txt", plat::kAttrNormal));
    // A missing source is not copied either, without a message.
    EXPECT_EQ(fh_.CopyOneFile(src_ + "none", dst_ + "a.txt", 0, 1), CopyNotCopied);
    EXPECT_TRUE(Prompts().empty());
    // Each attempt is reported as failed, under the destination's name.
    EXPECT_EQ(events_, std::vector<std::string>(3, "done0 " + dst_ + "a.txt"));
}

} // namespace
// Temporary copies of a killed run are removed from the folder the copier
// works in, also when it has nothing to copy there; those of a running
// process (another Setup on the same root) and other files stay.
TEST_F(FileHandlerCopyTest, TemporaryFilesOfEndedRunsAreRemoved) {
    const std::string own = std::to_string(plat::currentProcessId());
    Make(src_ + "a.txt", "same", T0);
    Make(dst_ + "a.txt", "same", T0);
    for (const char* name : {"~setup2147483000_7.tmp", "~setup2147483001_8.dl"})
        Make(dst_ + name, "partial", T0);
    for (const std::string& name :
         {"~setup" + own + "_9.tmp", std::string("~setupnotes.tmp"), std::string("~setup12_x.tmp")})
        Make(dst_ + name, "kept", T0);
    EXPECT_EQ(fh_.CopyOneFile(src_ + "a.txt", dst_ + "a.txt", 0, 1), CopyDone);
    std::vector<std::string> names = Names(dst_);
    std::vector<std::string> kept{"a.txt", "~setup12_x.tmp", "~setup" + own + "_9.tmp",
                                  "~setupnotes.tmp"};
    std::sort(names.begin(), names.end());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(names, kept);
}

} // namespace setup::copiertest
