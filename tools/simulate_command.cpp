// meterlink-cli simulate: plays a meter on a pseudo-terminal so the program
// (or anything else that reads a serial port) can be tried without hardware.

#include "simulate_command.h"

#include "protocol/frame_builder.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#define METERLINK_HAVE_PTY 1
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#if __has_include(<pty.h>)
#include <pty.h>
#elif __has_include(<util.h>)
#include <util.h>
#elif __has_include(<libutil.h>)
#include <libutil.h>
#endif
#endif

namespace {

using meterlink::DisplaySpec;

void simulateUsage(std::ostream& out) {
    out << "usage: meterlink-cli simulate [--rate N] [--count N] [--scenario FILE]\n"
           "Opens a pseudo-terminal, prints the path of its port side on the first line\n"
           "and streams meter frames on it until interrupted (SIGINT or SIGTERM).\n"
           "\n"
           "  --rate N        frames per second (default 3, the meter's pace)\n"
           "  --count N       stop after N frames (giving a reader up to 2 s to take them)\n"
           "  --scenario FILE play the readings of FILE, one frame per line, looped,\n"
           "                  instead of the built-in tour of every function\n"
           "\n"
           "A scenario line is: FUNCTION [PREFIX] VALUE [FLAG...]\n"
           "  FUNCTION  DCV ACV DCA ACA OHM CTN DIODE CAP TEMPC TEMPF FREQ DUTY\n"
           "  PREFIX    n u m k M\n"
           "  VALUE     up to four digits with an optional sign and decimal point\n"
           "            (5.999, -12.34, 0612), or OL / -OL for overload\n"
           "  FLAG      manual hold rel max min bat, or p=0..3 for the decimal mark\n"
           "Blank lines and lines starting with '#' are skipped. Examples:\n"
           "  DCV 5.999\n"
           "  DCV m 123.4 hold\n"
           "  OHM k OL\n"
           "  CAP u 1.234 manual\n";
}

bool parsePositive(const char* text, double& out) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(v > 0)) return false;
    out = v;
    return true;
}

bool parseCount(const char* text, long long& out) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < 1) return false;
    out = v;
    return true;
}

#ifdef METERLINK_HAVE_PTY

// How a step's value moves from frame to frame.
enum class Drift {
    None,   // held: the display is frozen (hold, overload)
    Walk,   // wanders a few counts around the base value
    Up,     // maximum: only ever rises
    Down,   // minimum: only ever falls
};

struct Step {
    DisplaySpec spec;
    int frames = 1;        // how many frames the step lasts
    Drift drift = Drift::None;
    int span = 0;          // furthest the value may move from its base, in counts
};

// The built-in tour: every function, each prefix a function uses, the three
// decimal marks, overload of both signs and every annunciator.
struct TourEntry {
    const char* line;
    Drift drift;
    int span;
};

constexpr TourEntry kTour[] = {
    {"DCV 1.234", Drift::Walk, 4},
    {"DCV 12.34", Drift::Walk, 4},
    {"DCV 123.4", Drift::Walk, 4},
    {"DCV -4.567", Drift::Walk, 4},
    {"DCV m 345.6", Drift::Walk, 6},
    {"DCV OL", Drift::None, 0},
    {"DCV -OL", Drift::None, 0},
    {"ACV 230.1", Drift::Walk, 8},
    {"ACV m 512.3", Drift::Walk, 6},
    {"DCA u 123.4", Drift::Walk, 5},
    {"DCA m 45.67", Drift::Walk, 5},
    {"DCA 1.234", Drift::Walk, 3},
    {"ACA u 256.0", Drift::Walk, 5},
    {"ACA m 12.34", Drift::Walk, 5},
    {"ACA 2.345", Drift::Walk, 3},
    {"OHM 123.4", Drift::Walk, 3},
    {"OHM k 4.702", Drift::Walk, 3},
    {"OHM M 1.000", Drift::Walk, 2},
    {"OHM k OL", Drift::None, 0},
    {"CTN 12.3", Drift::Walk, 2},
    {"DIODE 0.612", Drift::Walk, 2},
    {"CAP n 47.12", Drift::Walk, 4},
    {"CAP u 1.234", Drift::Walk, 3},
    {"TEMPC 23.5", Drift::Walk, 2},
    {"TEMPF 74.3", Drift::Walk, 3},
    {"FREQ 50.00", Drift::Walk, 2},
    {"FREQ k 1.000", Drift::Walk, 3},
    {"FREQ M 1.234", Drift::Walk, 3},
    {"DUTY 50.0", Drift::Walk, 3},
    {"DCV 5.000 hold", Drift::None, 0},
    {"DCV 0.012 rel", Drift::Walk, 5},
    {"DCV 3.300 max", Drift::Up, 20},
    {"DCV 3.100 min", Drift::Down, 20},
    {"DCV 4.980 bat", Drift::Walk, 4},
    {"DCV 12.00 manual", Drift::Walk, 4},
    {"OHM k 10.00 manual", Drift::Walk, 4},
};

constexpr int kFramesPerTourStep = 4;

std::vector<Step> builtInScenario() {
    std::vector<Step> steps;
    for (const TourEntry& e : kTour) {
        Step s;
        std::string error;
        if (!meterlink::parseDisplaySpec(e.line, s.spec, error)) {
            // The table above is ours; a bad line is a programming error.
            std::cerr << "meterlink-cli simulate: built-in line '" << e.line << "': " << error << '\n';
            std::abort();
        }
        s.frames = kFramesPerTourStep;
        s.drift = s.spec.overload ? Drift::None : e.drift;
        s.span = e.span;
        steps.push_back(s);
    }
    return steps;
}

// One reading per non-blank, non-comment line. Reports file:line on the first bad line.
bool loadScenario(const std::string& path, std::vector<Step>& steps) {
    std::ifstream in(path);
    if (!in) {
        std::cerr << "meterlink-cli simulate: " << path << ": " << std::strerror(errno) << '\n';
        return false;
    }
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();   // files written on Windows
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        Step s;
        std::string error;
        if (!meterlink::parseDisplaySpec(line, s.spec, error)) {
            std::cerr << path << ':' << lineNo << ": " << error << '\n';
            return false;
        }
        steps.push_back(s);
    }
    if (in.bad()) {
        std::cerr << "meterlink-cli simulate: " << path << ": read error\n";
        return false;
    }
    if (steps.empty()) {
        std::cerr << path << ": no readings\n";
        return false;
    }
    return true;
}

// Plays the steps in a loop, moving each value a little on every frame.
class ScenarioPlayer {
public:
    explicit ScenarioPlayer(std::vector<Step> steps) : steps_(std::move(steps)) {}

    meterlink::WireFrame next() {
        const Step& step = steps_[index_];
        DisplaySpec spec = step.spec;
        spec.count = driftedCount(step);
        if (++frameInStep_ >= step.frames) {
            frameInStep_ = 0;
            offset_ = 0;
            index_ = (index_ + 1) % steps_.size();
        }
        return meterlink::encodeFrame(meterlink::fieldsFor(spec));
    }

private:
    int driftedCount(const Step& step) {
        if (frameInStep_ > 0 && step.drift != Drift::None) {
            const int move = std::uniform_int_distribution<int>(0, 2)(random_);   // 0, 1 or 2 counts
            switch (step.drift) {
            case Drift::Walk: offset_ += move - 1; break;
            case Drift::Up: offset_ += move; break;
            case Drift::Down: offset_ -= move; break;
            case Drift::None: break;
            }
            offset_ = std::clamp(offset_, -step.span, step.span);
        }
        const int base = step.spec.count;
        // Stay on the base value's side of zero and inside four digits, so a
        // drift never changes what the reading means.
        const int low = base < 0 ? -9999 : 0;
        const int high = base < 0 ? 0 : 9999;
        return std::clamp(base + offset_, low, high);
    }

    std::vector<Step> steps_;
    std::size_t index_ = 0;
    int frameInStep_ = 0;
    int offset_ = 0;
    std::minstd_rand random_{20240607u};
};

volatile sig_atomic_t gStop = 0;

extern "C" void onStopSignal(int) { gStop = 1; }

struct Options {
    double rate = 3.0;
    long long count = 0;   // 0: no limit
    std::string scenario;
};

// Owns the pty pair. The port side stays open here too, so writes never fail
// with EIO while no reader has it open; the bytes wait in its input queue.
class PtyPair {
public:
    ~PtyPair() {
        if (master_ >= 0) ::close(master_);
        if (slave_ >= 0) ::close(slave_);
    }

    bool open(std::string& error) {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
            error = std::string("openpty: ") + std::strerror(errno);
            return false;
        }
        // Raw, so the CR of each frame reaches the reader as CR, not as LF.
        termios tio{};
        if (::tcgetattr(slave_, &tio) != 0) {
            error = std::string("tcgetattr: ") + std::strerror(errno);
            return false;
        }
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B2400);
        ::cfsetospeed(&tio, B2400);
        if (::tcsetattr(slave_, TCSANOW, &tio) != 0) {
            error = std::string("tcsetattr: ") + std::strerror(errno);
            return false;
        }
        // A full queue (nobody reading) must drop frames, never stall the pace.
        const int flags = ::fcntl(master_, F_GETFL);
        if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
            error = std::string("fcntl: ") + std::strerror(errno);
            return false;
        }
        const char* name = ::ttyname(slave_);
        if (!name) {
            error = std::string("ttyname: ") + std::strerror(errno);
            return false;
        }
        path_ = name;
        return true;
    }

    const std::string& path() const { return path_; }

    // A frame that a full queue cuts short or refuses is kept and finished
    // first on the next call; frames that come while it still waits are
    // dropped whole. So the stream stays frame-aligned.
    void send(const std::uint8_t* data, std::size_t size) {
        if (!flushPending()) return;   // still backed up: this frame is dropped
        const ssize_t n = ::write(master_, data, size);
        const std::size_t written = n > 0 ? static_cast<std::size_t>(n) : 0;
        if (written < size) pending_.assign(data + written, data + size);
    }

    // Bytes written but not yet taken by a reader of the port side.
    int unread() const {
        int n = 0;
        return ::ioctl(slave_, FIONREAD, &n) == 0 ? n : 0;
    }

private:
    bool flushPending() {
        while (!pending_.empty()) {
            const ssize_t n = ::write(master_, pending_.data(), pending_.size());
            if (n <= 0) return false;
            pending_.erase(pending_.begin(), pending_.begin() + n);
        }
        return true;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::vector<std::uint8_t> pending_;
};

timespec monotonicNow() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

timespec addNanoseconds(timespec t, long long ns) {
    constexpr long long kSecond = 1000000000LL;
    const long long total = t.tv_nsec + ns;
    t.tv_sec += static_cast<time_t>(total / kSecond);
    t.tv_nsec = static_cast<long>(total % kSecond);
    return t;
}

long long nanosecondsUntil(const timespec& t) {
    const timespec now = monotonicNow();
    return (static_cast<long long>(t.tv_sec) - now.tv_sec) * 1000000000LL + (t.tv_nsec - now.tv_nsec);
}

// Sleeps until the monotonic deadline; returns false as soon as a stop signal
// arrives. The signals are blocked outside pselect, so none slips in between
// the check and the wait.
bool sleepUntil(const timespec& deadline, const sigset_t& waitMask) {
    for (;;) {
        if (gStop) return false;
        const long long ns = nanosecondsUntil(deadline);
        if (ns <= 0) return true;
        const timespec wait{static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
        ::pselect(0, nullptr, nullptr, nullptr, &wait, &waitMask);
    }
}

int simulate(const Options& options) {
    std::vector<Step> steps;
    if (options.scenario.empty()) {
        steps = builtInScenario();
    } else if (!loadScenario(options.scenario, steps)) {
        return 2;
    }

    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);

    PtyPair pty;
    std::string error;
    if (!pty.open(error)) {
        std::cerr << "meterlink-cli simulate: " << error << '\n';
        return 1;
    }
    std::cout << pty.path() << std::endl;   // flushed: a script waits for this line

    // A reader that is there from the start gets the first frame too: the
    // program only accepts a frame that follows an LF.
    const std::uint8_t lf = 0x0A;
    pty.send(&lf, 1);

    ScenarioPlayer player(std::move(steps));
    const long long period = static_cast<long long>(1e9 / options.rate);
    timespec deadline = monotonicNow();
    long long sent = 0;
    while (!gStop) {
        const meterlink::WireFrame frame = player.next();
        pty.send(frame.data(), frame.size());
        ++sent;
        if (options.count > 0 && sent >= options.count) {
            // Give a connected reader a moment to take the last frames: closing
            // the pty hangs up its port side and discards what is queued there.
            // Bytes just written may not be counted as queued yet, hence the
            // sleep before each look.
            const timespec giveUp = addNanoseconds(monotonicNow(), 2000000000LL);
            do {
                if (!sleepUntil(addNanoseconds(monotonicNow(), 10000000LL), waitMask)) break;
            } while (pty.unread() > 0 && nanosecondsUntil(giveUp) > 0);
            break;
        }
        // Deadlines advance by whole periods from the start, so a late wake-up
        // does not push every later frame back.
        deadline = addNanoseconds(deadline, period);
        if (!sleepUntil(deadline, waitMask)) break;
    }
    return 0;
}

#endif  // METERLINK_HAVE_PTY

}  // namespace

int runSimulate(int argc, char** argv) {
    double rate = 3.0;
    long long count = 0;
    std::string scenario;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            simulateUsage(std::cout);
            return 0;
        }
        if (arg != "--rate" && arg != "--count" && arg != "--scenario") {
            std::cerr << "meterlink-cli simulate: unknown argument '" << arg << "'\n";
            simulateUsage(std::cerr);
            return 2;
        }
        if (i + 1 >= argc) {
            std::cerr << "meterlink-cli simulate: " << arg << " needs a value\n";
            return 2;
        }
        const char* value = argv[++i];
        if (arg == "--rate") {
            if (!parsePositive(value, rate) || rate > 1000) {
                std::cerr << "meterlink-cli simulate: --rate wants frames per second, more than 0 and at most 1000\n";
                return 2;
            }
        } else if (arg == "--count") {
            if (!parseCount(value, count)) {
                std::cerr << "meterlink-cli simulate: --count wants a whole number of frames, at least 1\n";
                return 2;
            }
        } else {
            scenario = value;
        }
    }
#ifdef METERLINK_HAVE_PTY
    Options options;
    options.rate = rate;
    options.count = count;
    options.scenario = scenario;
    return simulate(options);
#else
    (void)rate;
    (void)count;
    std::cerr << "meterlink-cli simulate: needs pseudo-terminals, which this system lacks\n";
    return 2;
#endif
}
