// meterlink-cli simulate: plays a meter on a pseudo-terminal so the program
// (or anything else that reads a serial port) can be tried without hardware.

#include "simulate_command.h"

#include "meter_scenario.h"
#include "usb_simulate_command.h"
#include "protocol/frame_builder.h"
#include "protocol/meters/family_frame_builder.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#define METERLINK_HAVE_PTY 1
#include "frame_pacer.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
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

void simulateUsage(std::ostream& out) {
    out << "usage: meterlink-cli simulate [--meter MODEL] [--rate N] [--count N] [--scenario FILE]\n"
           "Opens a pseudo-terminal, prints the path of its port side on the first line\n"
           "and streams meter frames on it until interrupted (SIGINT or SIGTERM).\n"
           "Like a meter it sends whether anyone reads or not: frames no reader takes\n"
           "within a second are dropped, so a reader that comes late gets the newest\n"
           "frame and then each frame as it is sent, not a backlog.\n"
           "\n"
           "  --meter MODEL   play that meter: its protocol's frames at its line settings\n"
           "                  (default the shipped meter; meterlink-cli meters lists them).\n"
           "                  Readings the meter cannot show are skipped. A meter that\n"
           "                  speaks only when asked (Fluke) answers each request instead,\n"
           "                  and --rate does not apply; --count counts its answers.\n"
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

struct Options {
    double rate = 3.0;
    long long count = 0;   // 0: no limit
    std::string scenario;
    const meterlink::MeterModel* meter = &meterlink::defaultMeter();
};

speed_t speedFor(int baud) {
    struct Speed { int baud; speed_t code; };
    static constexpr Speed kSpeeds[] = {{600, B600}, {1200, B1200}, {2400, B2400}, {4800, B4800},
                                        {9600, B9600}, {19200, B19200}, {115200, B115200}};
    for (const Speed& s : kSpeeds)
        if (s.baud == baud) return s.code;
    return B2400;
}

// Owns the pty pair. The port side stays open here too, so writes never fail
// with EIO while no reader has it open; the bytes wait in its input queue,
// until ReaderWatch below finds that nobody takes them.
class PtyPair {
public:
    ~PtyPair() {
        if (master_ >= 0) ::close(master_);
        if (slave_ >= 0) ::close(slave_);
    }

    bool open(const meterlink::LineSettings& line, std::string& error) {
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
        // The meter's own line settings, as a reader of a real port would see them.
        ::cfsetispeed(&tio, speedFor(line.baud));
        ::cfsetospeed(&tio, speedFor(line.baud));
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
        tio.c_cflag |= line.dataBits == 7 ? CS7 : CS8;
        if (line.parity != meterlink::Parity::None) tio.c_cflag |= PARENB;
        if (line.parity == meterlink::Parity::Odd) tio.c_cflag |= PARODD;
        if (line.stopBits == 2) tio.c_cflag |= CSTOPB;
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
    // Returns the bytes that entered the queue.
    std::size_t send(const std::uint8_t* data, std::size_t size) {
        std::size_t queued = 0;
        if (!flushPending(queued)) return queued;   // still backed up: this frame is dropped
        const ssize_t n = ::write(master_, data, size);
        const std::size_t written = n > 0 ? static_cast<std::size_t>(n) : 0;
        if (written < size) pending_.assign(data + written, data + size);
        return queued + written;
    }

    // Drops every byte no reader has taken, and what waits to be written.
    void dropUnread() {
        ::tcflush(slave_, TCIFLUSH);
        pending_.clear();
    }

    // A polling reader's requests ("D") are taken and let go: the simulated
    // meter sends at its own pace either way, and they must not fill the queue.
    void discardRequests() {
        char buf[64];
        while (::read(master_, buf, sizeof buf) > 0) {
        }
    }

    // What a reader has sent since the last call (a polled meter's requests).
    void takeRequests(std::string& into) {
        char buf[64];
        ssize_t n;
        while ((n = ::read(master_, buf, sizeof buf)) > 0) into.append(buf, static_cast<std::size_t>(n));
    }

    // Bytes written but not yet taken by a reader of the port side.
    int unread() const {
        int n = 0;
        return ::ioctl(slave_, FIONREAD, &n) == 0 ? n : 0;
    }

private:
    bool flushPending(std::size_t& queued) {
        while (!pending_.empty()) {
            const ssize_t n = ::write(master_, pending_.data(), pending_.size());
            if (n <= 0) return false;
            queued += static_cast<std::size_t>(n);
            pending_.erase(pending_.begin(), pending_.begin() + n);
        }
        return true;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::vector<std::uint8_t> pending_;
};

// A meter sends whether anyone listens or not; a reader that comes late must
// not be handed frames that waited in the queue, all at one time of arrival.
// So frames are queued only while a reader takes them: when nothing was taken
// for a while, what waits is dropped and only the newest frame stays queued.
// The first second counts as taken, so a reader that opens the port as soon as
// its path is printed gets the stream from its first frame.
class ReaderWatch {
public:
    static constexpr long long kPatienceNs = 1000000000LL;

    explicit ReaderWatch(timespec start) : lastTaken_(start) {}

    // Before a frame is written: whether the bytes waiting are stale and are
    // to be dropped. unread: the bytes the queue holds now.
    bool stale(int unread, const timespec& now) {
        if (unread < expected_ || unread == 0) lastTaken_ = now;   // a reader took bytes
        return unread > 0 && elapsedNs(lastTaken_, now) > kPatienceNs;
    }
    // After the write: the bytes the queue holds if nobody reads.
    void written(int unreadBefore, std::size_t added) { expected_ = unreadBefore + static_cast<int>(added); }

private:
    static long long elapsedNs(const timespec& from, const timespec& to) {
        return (to.tv_sec - from.tv_sec) * 1000000000LL + (to.tv_nsec - from.tv_nsec);
    }

    timespec lastTaken_;
    int expected_ = 0;
};

// A meter that speaks only when asked: each request line (ended by CR) is
// answered as the meter answers it, "QM" with the scenario's next reading.
int answerPolls(const Options& options, PtyPair& pty, meterlink::ScenarioPlayer& player,
                const meterlink::StopSignals& signals) {
    const meterlink::MeterModel& m = *options.meter;
    const bool named = m.has(meterlink::kQmAnswerNamesCommand);
    std::string identity = named ? "0\rID,FLUKE " : "0\rFLUKE ";
    identity.append(m.model);
    identity += ",V1.00,0000000001\r";
    std::string requests;
    long long answered = 0;
    while (!signals.stopped()) {
        pty.takeRequests(requests);
        std::size_t cr;
        while ((cr = requests.find('\r')) != std::string::npos) {
            std::string command = requests.substr(0, cr);
            requests.erase(0, cr + 1);
            command.erase(0, command.find_first_not_of("\n "));
            for (char& c : command) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (command == "QM") {
                meterlink::FamilyFrame frame;
                for (std::size_t tries = 0; frame.size == 0 && tries < 1000; ++tries)
                    frame = meterlink::encodeFamilyFrame(m, player.nextSpec());
                if (frame.size == 0) {
                    std::cerr << "meterlink-cli simulate: " << meterlink::meterName(m)
                              << " can show none of the scenario's readings\n";
                    return 2;
                }
                pty.send(frame.bytes.data(), frame.size);
                ++answered;
            } else if (command == "ID") {
                pty.send(reinterpret_cast<const std::uint8_t*>(identity.data()), identity.size());
            } else if (!command.empty()) {
                const std::uint8_t syntaxError[] = {'1', '\r'};
                pty.send(syntaxError, sizeof syntaxError);
            }
            if (options.count > 0 && answered >= options.count) {
                const timespec giveUp = meterlink::addNanoseconds(meterlink::monotonicNow(), 2000000000LL);
                do {
                    if (!signals.sleepFor(10000000LL)) break;
                } while (pty.unread() > 0 && meterlink::nanosecondsUntil(giveUp) > 0);
                return 0;
            }
        }
        if (requests.size() > 256) requests.clear();   // no meter takes such a line
        if (!signals.sleepFor(2000000LL)) break;
    }
    return 0;
}

int simulate(const Options& options) {
    std::vector<meterlink::ScenarioStep> steps;
    if (options.scenario.empty()) {
        steps = meterlink::builtInScenario();
    } else {
        std::string error;
        if (!meterlink::loadScenario(options.scenario, steps, error)) {
            std::cerr << "meterlink-cli simulate: " << error << '\n';
            return 2;
        }
    }

    const meterlink::StopSignals signals;
    PtyPair pty;
    std::string error;
    if (!pty.open(options.meter->line, error)) {
        std::cerr << "meterlink-cli simulate: " << error << '\n';
        return 1;
    }
    std::cout << pty.path() << std::endl;   // flushed: a script waits for this line

    if (options.meter->protocol == meterlink::MeterProtocol::FlukeQm) {
        meterlink::ScenarioPlayer polled(std::move(steps));
        return answerPolls(options, pty, polled, signals);
    }

    // A reader that is there from the start gets the first frame too: the
    // program only accepts a frame that follows an LF.
    const bool shipped = options.meter->protocol == meterlink::MeterProtocol::Fs9922;
    const std::uint8_t lf = 0x0A;
    ReaderWatch reader(meterlink::monotonicNow());
    int unread = 0;
    std::size_t queued = shipped ? pty.send(&lf, 1) : 0;

    meterlink::ScenarioPlayer player(std::move(steps));
    meterlink::FramePacer pacer(options.rate);
    long long sent = 0;
    while (!signals.stopped()) {
        if (reader.stale(unread, meterlink::monotonicNow())) {
            pty.dropUnread();
            unread = 0;
            // The frame after the drop is whole, but the shipped meter's
            // decoder takes a frame only after an LF.
            queued = shipped ? pty.send(&lf, 1) : 0;
        }
        if (shipped) {
            const meterlink::WireFrame frame = player.next();
            queued += pty.send(frame.data(), frame.size());
        } else {
            // Readings this meter cannot show (a function it lacks) are skipped.
            meterlink::FamilyFrame frame;
            for (std::size_t tries = 0; frame.size == 0 && tries < 1000; ++tries)
                frame = meterlink::encodeFamilyFrame(*options.meter, player.nextSpec());
            if (frame.size == 0) {
                std::cerr << "meterlink-cli simulate: " << meterlink::meterName(*options.meter)
                          << " can show none of the scenario's readings\n";
                return 2;
            }
            queued += pty.send(frame.bytes.data(), frame.size);
            pty.discardRequests();
        }
        reader.written(unread, queued);
        queued = 0;
        ++sent;
        if (options.count > 0 && sent >= options.count) {
            // Give a connected reader a moment to take the last frames: closing
            // the pty hangs up its port side and discards what is queued there.
            // Bytes just written may not be counted as queued yet, hence the
            // sleep before each look.
            const timespec giveUp = meterlink::addNanoseconds(meterlink::monotonicNow(), 2000000000LL);
            do {
                if (!signals.sleepFor(10000000LL)) break;
            } while (pty.unread() > 0 && meterlink::nanosecondsUntil(giveUp) > 0);
            break;
        }
        if (!pacer.waitNext(signals)) break;
        unread = pty.unread();
    }
    return 0;
}

#endif  // METERLINK_HAVE_PTY

}  // namespace

int runSimulate(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--usb") == 0) return runUsbSimulate(argc, argv);
    double rate = 3.0;
    long long count = 0;
    std::string scenario;
    const meterlink::MeterModel* meter = &meterlink::defaultMeter();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            simulateUsage(std::cout);
            return 0;
        }
        if (arg != "--rate" && arg != "--count" && arg != "--scenario" && arg != "--meter") {
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
        } else if (arg == "--meter") {
            meter = meterlink::findMeter(value);
            if (!meter) {
                std::cerr << "meterlink-cli simulate: unknown meter '" << value
                          << "'; meterlink-cli meters lists them\n";
                return 2;
            }
        } else {
            scenario = value;
        }
    }
#ifdef METERLINK_HAVE_PTY
    Options options;
    options.meter = meter;
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
