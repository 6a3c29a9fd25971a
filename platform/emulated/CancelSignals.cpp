// Ctrl-C, SIGTERM and SIGHUP as Cancel: sigaction handlers that touch only
// lock-free atomics and write(2).
#include "platform/CancelSignals.h"

#include <signal.h>
#include <unistd.h>

#include <iterator>

namespace plat {
namespace {

constexpr int kCancelSignals[] = {SIGINT, SIGTERM, SIGHUP};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the signal handler may only touch lock-free atomics");

std::atomic<bool>* g_abortFlag = nullptr;
CancelSignalTexts g_texts;
std::atomic<bool> g_running{false};
std::atomic<int> g_interrupts{0};
struct sigaction g_previous[std::size(kCancelSignals)];

void say(std::string_view text) {
    (void)!write(STDERR_FILENO, text.data(), text.size());
}

void onCancelSignal(int number) {
    const int count = g_interrupts.fetch_add(1) + 1;
    if (g_running.load() && count == 1) {
        g_abortFlag->store(true);
        say(number == SIGINT ? g_texts.interruptCancels : g_texts.signalCancels);
        return;
    }
    say(g_texts.programEnds);
    _exit(1);
}

} // namespace

CancelSignals::CancelSignals(std::atomic<bool>& abortFlag, const CancelSignalTexts& texts) {
    g_abortFlag = &abortFlag;
    g_texts = texts;
    g_running = false;
    g_interrupts = 0;
    struct sigaction action {};
    action.sa_handler = onCancelSignal;
    // One handler at a time: a SIGTERM arriving during a Ctrl-C waits for it.
    sigemptyset(&action.sa_mask);
    for (int number : kCancelSignals)
        sigaddset(&action.sa_mask, number);
    for (size_t i = 0; i < std::size(kCancelSignals); ++i)
        sigaction(kCancelSignals[i], &action, &g_previous[i]);
    signal(SIGXFSZ, SIG_IGN);
}

CancelSignals::~CancelSignals() {
    for (size_t i = 0; i < std::size(kCancelSignals); ++i)
        sigaction(kCancelSignals[i], &g_previous[i], nullptr);
}

CancelSignals::Run::Run() : outer_(g_running.load()) {
    if (!outer_) g_interrupts = 0;
    g_running = true;
}

CancelSignals::Run::~Run() {
    g_running = outer_;
}

} // namespace plat
