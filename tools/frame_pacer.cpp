#include "frame_pacer.h"

#include <algorithm>
#include <cerrno>

namespace meterlink {

namespace {

volatile sig_atomic_t gStop = 0;

extern "C" void onStopSignal(int) { gStop = 1; }

constexpr long long kSecond = 1000000000LL;

}  // namespace

StopSignals::StopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &stopSignals, &waitMask_);
    sigdelset(&waitMask_, SIGINT);
    sigdelset(&waitMask_, SIGTERM);
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

bool StopSignals::stopped() const { return gStop != 0; }

bool StopSignals::sleepUntil(const timespec& deadline) const {
    for (;;) {
        if (gStop) return false;
        const long long ns = nanosecondsUntil(deadline);
        if (ns <= 0) return true;
        const timespec wait{static_cast<time_t>(ns / kSecond), static_cast<long>(ns % kSecond)};
        ::pselect(0, nullptr, nullptr, nullptr, &wait, &waitMask_);
    }
}

bool StopSignals::sleepFor(long long nanoseconds) const {
    return sleepUntil(addNanoseconds(monotonicNow(), nanoseconds));
}

bool StopSignals::waitReadable(fd_set& readable, int maxFd, const timespec& deadline) const {
    const fd_set wanted = readable;
    for (;;) {
        if (gStop) return false;
        const long long ns = std::max(0LL, nanosecondsUntil(deadline));
        const timespec wait{static_cast<time_t>(ns / kSecond), static_cast<long>(ns % kSecond)};
        readable = wanted;
        const int n = ::pselect(maxFd + 1, &readable, nullptr, nullptr, &wait, &waitMask_);
        if (n > 0) return true;
        if (n == 0 || errno != EINTR) {
            // A broken descriptor must not turn the wait into a spin.
            FD_ZERO(&readable);
            return n == 0 || sleepUntil(deadline);
        }
        // A stop signal shows as EINTR and is looked at above.
    }
}

timespec monotonicNow() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

timespec addNanoseconds(timespec t, long long ns) {
    const long long total = t.tv_nsec + ns;
    t.tv_sec += static_cast<time_t>(total / kSecond);
    t.tv_nsec = static_cast<long>(total % kSecond);
    return t;
}

long long nanosecondsUntil(const timespec& t) {
    const timespec now = monotonicNow();
    return (static_cast<long long>(t.tv_sec) - now.tv_sec) * kSecond + (t.tv_nsec - now.tv_nsec);
}

FramePacer::FramePacer(double framesPerSecond)
    : period_(static_cast<long long>(1e9 / framesPerSecond)), deadline_(monotonicNow()) {}

bool FramePacer::waitNext(const StopSignals& signals) {
    deadline_ = addNanoseconds(deadline_, period_);
    return signals.sleepUntil(deadline_);
}

}  // namespace meterlink
