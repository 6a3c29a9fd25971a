// The decisions the copier does not take itself: how an existing destination
// is treated (CopyMode), the questions it needs answered while it copies
// (CopyQuestion, answered by a callback the run supplies), and the run's
// "All" answer (CopyDecisions), which outlives the copy it was given for.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/FileSystem.h"

namespace setup {

// How an existing destination is treated.
enum class CopyMode : uint8_t {
    AskAlways,   // ask before every copy, without comparing
    Copy,        // copy without comparing or asking
    Keep,        // never copy; the file counts as skipped
    CompareAsk,  // compare: copy an older destination, skip an identical one,
                 // ask before a newer one or one of another size
    CompareCopy, // compare: skip an identical destination, copy any other
};

// The mode a copy-mode number stands for: 0 ask always, 1 copy, 2 keep,
// 3 and 4 compare and ask, 5 and 7 and above copy, 6 compare and copy.
CopyMode CopyModeFromNumber(int32_t number);

// A question of the copier, with what the messages about it show.
struct CopyQuestion {
    enum class Kind : uint8_t {
        AskAlways,     // mode AskAlways: replace dest?
        DestNewer,     // compared: dest is newer than source; replace it?
        DestOtherSize, // compared: dest has the same time, another size; replace it?
        Placeholder,   // source is a placeholder whose file differs from dest: go on?
        NothingFound,  // nothing in source (a folder) matches mask: go on?
    };
    Kind kind = Kind::AskAlways;
    std::string source; // the source file (NothingFound: its folder)
    std::string dest;   // the destination file (NothingFound: its folder)
    std::string mask;   // NothingFound only
    plat::FileTime sourceTime = 0;
    plat::FileTime destTime = 0;
    uint64_t sourceSize = 0;
    uint64_t destSize = 0;
};

// Copy: replace the destination. Skip: go on without this file (keep the
// destination, leave the placeholder, report the missing files). CopyAll:
// Copy, and the caller's mode becomes Copy. Cancel: stop.
enum class CopyAnswer : uint8_t { Copy, Skip, CopyAll, Cancel };

using CopyDecider = std::function<CopyAnswer(const CopyQuestion&)>;

// The answer when nobody can be asked, as the default button of the message
// would give it: Copy for the overwrite questions, Cancel for a placeholder,
// Skip when nothing was found.
CopyAnswer DefaultCopyAnswer(const CopyQuestion& question);

// The decisions of one run. Copy entries without a mode of their own use
// DefaultMode: CompareAsk when the run starts, Copy once any question of the
// run was answered with CopyAll.
class CopyDecisions {
  public:
    explicit CopyDecisions(CopyDecider ask = {});

    // A new run: an "All" of an earlier run no longer counts.
    void StartRun();
    CopyMode DefaultMode() const;
    // The mode of a copy entry's FileOverride number: 0 DefaultMode, any
    // other CompareCopy.
    CopyMode ModeForOverride(int32_t fileOverride) const;

    // Asks (DefaultCopyAnswer without an asker) and remembers a CopyAll
    // given to an overwrite question.
    CopyAnswer Decide(const CopyQuestion& question);

  private:
    CopyDecider ask_;
    bool all_ = false;
};

} // namespace setup
