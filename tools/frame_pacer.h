#pragma once
// The meter's pace for the simulators: frames on absolute monotonic
// deadlines, so a late wake-up does not push every later frame back, and a
// wait that SIGINT or SIGTERM ends at once. POSIX only.

#include <csignal>
#include <ctime>

#include <sys/select.h>

namespace meterlink {

// Installs the stop handler for SIGINT and SIGTERM and blocks both outside
// the waits below, so that no signal slips in between a check and a wait.
class StopSignals {
public:
    StopSignals();
    bool stopped() const;
    // Sleeps until the monotonic deadline; false as soon as a stop signal arrives.
    bool sleepUntil(const timespec& deadline) const;
    // Sleeps for the given time; false as soon as a stop signal arrives.
    bool sleepFor(long long nanoseconds) const;
    // Waits until a descriptor of readable (all below maxFd + 1) can be read
    // or the deadline passes; readable keeps the ready ones. False as soon as
    // a stop signal arrives.
    bool waitReadable(fd_set& readable, int maxFd, const timespec& deadline) const;

private:
    sigset_t waitMask_{};
};

timespec monotonicNow();
timespec addNanoseconds(timespec t, long long ns);
long long nanosecondsUntil(const timespec& t);

// Deadlines advance by whole periods from the start.
class FramePacer {
public:
    explicit FramePacer(double framesPerSecond);
    // Waits for the next frame's deadline; false when a stop signal came.
    bool waitNext(const StopSignals& signals);

private:
    long long period_;
    timespec deadline_;
};

}  // namespace meterlink
