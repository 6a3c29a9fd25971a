// Ctrl-C, SIGTERM and SIGHUP as the Cancel button of the Linux terminal front
// end (the Windows program is cancelled through its window). The handler does
// only async-signal-safe work: it sets a lock-free flag and writes a fixed
// text to standard error, or ends the process at once.
#pragma once

#include <atomic>
#include <string_view>

namespace plat {

// What the handler writes to standard error; the texts must outlive the
// CancelSignals object (string literals).
struct CancelSignalTexts {
    std::string_view interruptCancels; // the first Ctrl-C of a run
    std::string_view signalCancels;    // the first SIGTERM or SIGHUP of a run
    std::string_view programEnds;      // a second signal, or one outside a run
};

// Catches Ctrl-C, SIGTERM and SIGHUP while it lives and puts the previous
// handlers back when it ends. The first signal during a run sets abortFlag
// (the run ends as cancelled, its temporary files removed); a second one, or
// one outside a run, ends the process with status 1. It also ignores SIGXFSZ
// from then on: a write beyond the file-size limit (ulimit -f) fails like one
// on a full disk, reported and the previous file kept, instead of ending the
// program. One object at a time.
class CancelSignals {
  public:
    CancelSignals(std::atomic<bool>& abortFlag, const CancelSignalTexts& texts);
    ~CancelSignals();
    CancelSignals(const CancelSignals&) = delete;
    CancelSignals& operator=(const CancelSignals&) = delete;

    // The span of one run. Runs nest (a sub-project runs inside its caller's
    // run): only the outermost one starts the count of signals afresh.
    class Run {
      public:
        Run();
        ~Run();
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;

      private:
        bool outer_;
    };
};

} // namespace plat
