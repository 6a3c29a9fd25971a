// The copier on single files: the mode table against prepared destinations,
// the questions it asks, placeholders, the stamp of the copy, and failed
// copies that must leave the previous destination as it was.
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
    using Kind = CopyQuestion::Kind;
    struct Case {
        int mode; // the copy-mode number
        Dest dest;
        std::optional<CopyAnswer> answer; // to the one question asked, if any
        bool copied;
        Kind asked; // the question's kind (when an answer is given)
    };
    const Case cases[] = {
        {3, Dest::Missing, {}, true, {}},
        {3, Dest::Same, {}, false, {}},
        {4, Dest::Newer, CopyAnswer::Skip, false, Kind::DestNewer},
        {3, Dest::Newer, CopyAnswer::Copy, true, Kind::DestNewer},
        {3, Dest::Older, {}, true, {}},
        {3, Dest::OtherSize, CopyAnswer::Skip, false, Kind::DestOtherSize},
        {3, Dest::Empty, {}, true, {}},
        {3, Dest::FatNewer, {}, true, {}},
        {6, Dest::Newer, {}, true, {}},
        {6, Dest::OtherSize, {}, true, {}},
        {6, Dest::Same, {}, false, {}},
        {2, Dest::Older, {}, false, {}},
        {1, Dest::Newer, {}, true, {}},
        {5, Dest::Same, {}, true, {}},
        {7, Dest::Newer, {}, true, {}},
        {200, Dest::Newer, {}, true, {}},
        {0, Dest::Missing, CopyAnswer::Skip, false, Kind::AskAlways},
        {0, Dest::Same, CopyAnswer::Copy, true, Kind::AskAlways},
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
        if (c.answer) Replies({*c.answer});
        asked_.clear();
        const auto before = std::make_pair(fh_.FilesCopied, fh_.FilesSkipped);
        const plat::DirEntry oldEntry = plat::statPath(to).value_or(plat::DirEntry{});
        events_.clear();

        CopyMode mode = CopyModeFromNumber(c.mode);
        EXPECT_EQ(fh_.CopyFile(from, to, 0, mode), CopyResult::Done);

        ASSERT_EQ(asked_.size(), c.answer ? 1u : 0u);
        if (c.answer) {
            // What the message about it shows.
            const CopyQuestion& q = asked_[0];
            EXPECT_EQ(q.kind, c.asked);
            EXPECT_EQ(q.source, from);
            EXPECT_EQ(q.dest, to);
            EXPECT_EQ(q.sourceTime, ts);
            EXPECT_EQ(q.sourceSize, 1500u);
            EXPECT_EQ(q.destTime, oldEntry.writeTime);
            EXPECT_EQ(q.destSize, old.size());
        }
        EXPECT_TRUE(Prompts().empty()) << "the copier asks no one itself";
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
}

TEST_F(FileHandlerCopyTest, OverwriteAnswers) {
    const std::string from = src_ + "a.txt", to = dst_ + "a.txt";
    Make(from, std::string(1500, 's'), T0);
    Make(to, std::string(1234567, 'd'), T0 + 60 * Sec);

    // Cancel: abort, counted as skipped, destination kept, reported as cancelled.
    Replies({CopyAnswer::Cancel});
    CopyMode mode = CopyMode::CompareAsk;
    events_.clear();
    EXPECT_EQ(fh_.CopyFile(from, to, 0, mode), CopyResult::Abort);
    EXPECT_EQ(events_, std::vector<std::string>{"done1 " + to});
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].kind, CopyQuestion::Kind::DestNewer);
    EXPECT_EQ(asked_[0].destSize, 1234567u);
    EXPECT_EQ(fh_.FilesSkipped, 1);
    EXPECT_EQ(fh_.BytesSkipped, 1500);
    EXPECT_EQ(testenv::ReadFile(to).size(), 1234567u);

    // Skip: done, the destination stays, the mode too.
    Replies({CopyAnswer::Skip});
    EXPECT_EQ(fh_.CopyFile(from, to, 0, mode), CopyResult::Done);
    EXPECT_EQ(mode, CopyMode::CompareAsk);
    EXPECT_EQ(testenv::ReadFile(to).size(), 1234567u);

    // CopyAll: this copy, and the caller's mode becomes Copy.
    Replies({CopyAnswer::CopyAll});
    EXPECT_EQ(fh_.CopyFile(from, to, 0, mode), CopyResult::Done);
    EXPECT_EQ(mode, CopyMode::Copy);
    EXPECT_EQ(testenv::ReadFile(to), std::string(1500, 's'));
    EXPECT_EQ(asked_.size(), 3u);

    // Nobody to ask: the default buttons decide (replace; a placeholder cancels).
    fh_.OnQuestion = nullptr;
    Make(to, "newer", T0 + 60 * Sec);
    mode = CopyMode::CompareAsk;
    EXPECT_EQ(fh_.CopyFile(from, to, 0, mode), CopyResult::Done);
    EXPECT_EQ(testenv::ReadFile(to), std::string(1500, 's'));
    Make(src_ + "p.bin", Placeholder(10), T0);
    EXPECT_EQ(fh_.CopyFile(src_ + "p.bin", to, 0, mode), CopyResult::Abort);
    EXPECT_EQ(testenv::ReadFile(to), std::string(1500, 's'));
    EXPECT_TRUE(Prompts().empty());
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

    for (int m : {1, 5, 7}) {
        CopyMode mode = CopyModeFromNumber(m);
        EXPECT_EQ(fh_.CopyFile(from, other, 0, mode), CopyResult::NotCopied) << m;
    }
    Replies({CopyAnswer::Copy});
    CopyMode mode = CopyMode::AskAlways;
    EXPECT_EQ(fh_.CopyFile(from, dst_ + "new.bin", 0, mode), CopyResult::NotCopied);
    EXPECT_FALSE(plat::fileExists(dst_ + "new.bin"));
    EXPECT_EQ(fh_.FilesSkipped, 0);

    // A destination of the recorded size and time (or on the FAT step after
    // it) is identical: skipped with the recorded size.
    for (int m : {3, 4, 6}) {
        mode = CopyModeFromNumber(m);
        EXPECT_EQ(fh_.CopyFile(from, matching, 0, mode), CopyResult::Done);
        EXPECT_EQ(fh_.CopyFile(from, fat, 0, mode), CopyResult::Done);
    }
    EXPECT_EQ(fh_.FilesSkipped, 6);
    EXPECT_EQ(fh_.BytesSkipped, 6 * 5000);
    EXPECT_EQ(asked_.size(), 1u);

    // Otherwise the placeholder question: Skip goes on with NotCopied,
    // Cancel aborts.
    Replies({CopyAnswer::Skip, CopyAnswer::Cancel});
    mode = CopyMode::CompareAsk;
    events_.clear();
    EXPECT_EQ(fh_.CopyFile(from, other, 0, mode), CopyResult::NotCopied);
    ASSERT_EQ(asked_.size(), 2u);
    EXPECT_EQ(asked_[1].kind, CopyQuestion::Kind::Placeholder);
    EXPECT_EQ(asked_[1].source, from);
    EXPECT_EQ(asked_[1].dest, other);
    EXPECT_EQ(asked_[1].sourceTime, T0 + Sec);
    EXPECT_EQ(asked_[1].destTime, T0 + Sec);
    EXPECT_EQ(fh_.FilesSkipped, 7);
    EXPECT_EQ(fh_.CopyFile(from, other, 0, mode), CopyResult::Abort);
    // Not updated (failed), then cancelled.
    EXPECT_EQ(events_, (std::vector<std::string>{"done0 " + other, "done1 " + other}));
    EXPECT_EQ(fh_.FilesSkipped, 7);
    EXPECT_EQ(fh_.CurrentBytes, 0);
    mode = CopyMode::Keep;
    EXPECT_EQ(fh_.CopyFile(from, other, 0, mode), CopyResult::Done);
    EXPECT_EQ(testenv::ReadFile(other), std::string(4000, 'd'));
    EXPECT_EQ(fh_.FilesCopied, 0);
    EXPECT_EQ(asked_.size(), 3u);
}

TEST_F(FileHandlerCopyTest, CopyGetsSourceTimeAndOnlyTheArchiveBit) {
    const std::string from = src_ + "r.txt";
    Make(from, "content", T0 + Sec);
    ASSERT_TRUE(plat::setAttributes(from, plat::kAttrReadOnly | plat::kAttrHidden));
    EXPECT_EQ(fh_.CopyOneFile(from, dst_ + "r.txt", 0, CopyMode::CompareAsk),
              CopyResult::NotCopied); // no folder yet
    ASSERT_TRUE(fh_.ForceFolders(dst_));

    EXPECT_EQ(fh_.CopyOneFile(from, dst_ + "r.txt", 0, CopyMode::CompareAsk), CopyResult::Done);
    plat::DirEntry e = Entry(dst_ + "r.txt");
    EXPECT_EQ(e.writeTime, T0 + Sec);
    EXPECT_EQ(e.attributes, plat::kAttrArchive);

    // A later minimum time (a DOS date, local time) wins over the source's.
    const int32_t later = FileTimeToDosDate(T0 + 3600 * Sec);
    EXPECT_EQ(fh_.CopyOneFile(from, dst_ + "m.txt", later, CopyMode::Copy), CopyResult::Done);
    EXPECT_EQ(Entry(dst_ + "m.txt").writeTime, DosTimeToFileTime(later).first);
    EXPECT_EQ(
        fh_.CopyOneFile(from, dst_ + "n.txt", FileTimeToDosDate(T0 - 3600 * Sec), CopyMode::Copy),
        CopyResult::Done);
    EXPECT_EQ(Entry(dst_ + "n.txt").writeTime, T0 + Sec);

    // A replaced hidden file stays hidden.
    ASSERT_TRUE(plat::setAttributes(dst_ + "n.txt", plat::kAttrHidden));
    EXPECT_EQ(fh_.CopyOneFile(from, dst_ + "n.txt", 0, CopyMode::Copy), CopyResult::Done);
    EXPECT_EQ(Entry(dst_ + "n.txt").attributes, plat::kAttrHidden | plat::kAttrArchive);
    ASSERT_TRUE(plat::setAttributes(dst_ + "n.txt", plat::kAttrNormal));
    ASSERT_TRUE(plat::setAttributes(from, plat::kAttrNormal));
}

TEST_F(FileHandlerCopyTest, SkippedFatCopyGetsTheExactTime) {
    // Keep leaves a FAT copy (same size, time on the 2-second step) but
    // corrects its time so that later comparisons see it as identical.
    Make(src_ + "f", "12345", T0 + Sec);
    Make(dst_ + "f", "abcde", T0 + 2 * Sec);
    Make(dst_ + "g", "abcdef", T0 + 2 * Sec);
    EXPECT_EQ(fh_.CopyOneFile(src_ + "f", dst_ + "f", 0, CopyMode::Keep), CopyResult::Done);
    EXPECT_EQ(fh_.CopyOneFile(src_ + "f", dst_ + "g", 0, CopyMode::Keep), CopyResult::Done);
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
    EXPECT_EQ(fh_.CopyOneFile(src_ + "big.bin", dst_ + "big.bin", 0, CopyMode::Copy),
              CopyResult::Abort);
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
    EXPECT_EQ(fh_.CopyOneFile(src_ + "big.bin", dst_ + "big.bin", 0, CopyMode::Copy),
              CopyResult::Done);
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
    ASSERT_EQ(fh_.CopyOneFile(src_ + "large.bin", dst_ + "large.bin", 0, CopyMode::Copy),
              CopyResult::Done);
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
    for (CopyMode mode : {CopyMode::Copy, CopyMode::CompareAsk}) {
        EXPECT_EQ(fh_.CopyOneFile(src_ + "a.txt", dst_ + "a.txt", 0, mode), CopyResult::NotCopied);
        EXPECT_EQ(testenv::ReadFile(dst_ + "a.txt"), "old");
        EXPECT_EQ(Names(dst_), std::vector<std::string>{"a.txt"});
    }
    EXPECT_EQ(fh_.FilesCopied + fh_.FilesSkipped, 0);
    ASSERT_TRUE(plat::setAttributes(dst_ + "a.txt", plat::kAttrNormal));
    // A missing source is not copied either, without a message.
    EXPECT_EQ(fh_.CopyOneFile(src_ + "none", dst_ + "a.txt", 0, CopyMode::Copy),
              CopyResult::NotCopied);
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
    EXPECT_EQ(fh_.CopyOneFile(src_ + "a.txt", dst_ + "a.txt", 0, CopyMode::Copy), CopyResult::Done);
    std::vector<std::string> names = Names(dst_);
    std::vector<std::string> kept{"a.txt", "~setup12_x.tmp", "~setup" + own + "_9.tmp",
                                  "~setupnotes.tmp"};
    std::sort(names.begin(), names.end());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(names, kept);
}

} // namespace setup::copiertest
