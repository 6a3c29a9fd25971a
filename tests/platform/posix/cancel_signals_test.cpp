// Ctrl-C, SIGTERM and SIGHUP as Cancel: the first signal of a run sets the
// abort flag and the program goes on; a second one, or one outside a run,
// ends the process with status 1. Cases that end the process run in a child.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "platform/CancelSignals.h"

namespace {

constexpr plat::CancelSignalTexts kTexts{"[interrupt cancels]", "[signal cancels]", "[ends]"};

struct ChildResult {
    int status = -1; // exit status, -1 when not exited normally
    std::string err; // what the child wrote to standard error
};

// Runs body in a child whose standard error is captured; the child exits 0
// when body returns.
ChildResult InChild(const std::function<void()>& body) {
    int pipeFds[2];
    EXPECT_EQ(0, pipe(pipeFds));
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDERR_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        body();
        _exit(0);
    }
    close(pipeFds[1]);
    ChildResult result;
    char buffer[256];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        result.err.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    return result;
}

TEST(CancelSignals, FirstSignalOfARunSetsTheFlagAndTheSecondEndsTheProgram) {
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        const ChildResult r = InChild([number] {
            std::atomic<bool> abort{false};
            plat::CancelSignals signals(abort, kTexts);
            const plat::CancelSignals::Run run;
            raise(number);
            if (!abort) _exit(2);
            raise(number);
            _exit(3); // not reached: the second signal ends the process
        });
        EXPECT_EQ(1, r.status) << "signal " << number;
        const std::string first = number == SIGINT ? "[interrupt cancels]" : "[signal cancels]";
        EXPECT_EQ(first + "[ends]", r.err) << "signal " << number;
    }
}

TEST(CancelSignals, SignalOutsideARunEndsTheProgram) {
    const ChildResult r = InChild([] {
        std::atomic<bool> abort{false};
        plat::CancelSignals signals(abort, kTexts);
        { const plat::CancelSignals::Run run; }
        raise(SIGTERM);
        _exit(3);
    });
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("[ends]", r.err);
}

TEST(CancelSignals, NestedRunKeepsTheCountAndANewRunStartsAfresh) {
    const ChildResult r = InChild([] {
        std::atomic<bool> abort{false};
        plat::CancelSignals signals(abort, kTexts);
        {
            const plat::CancelSignals::Run outer;
            raise(SIGINT);
            abort = false;
        }
        // The next run gets its own first signal.
        const plat::CancelSignals::Run outer;
        raise(SIGINT);
        if (!abort) _exit(2);
        // A sub-project's run inside it: the count goes on.
        const plat::CancelSignals::Run inner;
        raise(SIGHUP);
        _exit(3);
    });
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("[interrupt cancels][interrupt cancels][ends]", r.err);
}

TEST(CancelSignals, PreviousHandlersComeBack) {
    const ChildResult r = InChild([] {
        signal(SIGHUP, SIG_IGN);
        {
            std::atomic<bool> abort{false};
            plat::CancelSignals signals(abort, kTexts);
        }
        raise(SIGHUP); // ignored again
        struct sigaction now {};
        sigaction(SIGINT, nullptr, &now);
        if (now.sa_handler != SIG_DFL) _exit(4);
    });
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
}

} // namespace
