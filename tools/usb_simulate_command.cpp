// meterlink-cli simulate --usb SOCKET: plays the meter's USB cable on a
// Unix-domain socket, for the program started with METERLINK_HID=sim:SOCKET.
// The cable is a HID device "USB to Serial" with 9-byte input reports (report
// ID 0, a count byte, up to 7 meter bytes) sent every few milliseconds: data
// reports while a frame goes through, idle reports (count 0) between frames.
// Like the real adapter it passes the meter's bytes on only once its serial
// speed has been set to 2400 baud with the feature report.

#include "usb_simulate_command.h"

#include "bridge_simulate_command.h"
#include "meter_scenario.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#define METERLINK_HAVE_UNIX_SOCKETS 1
#include "frame_pacer.h"
#include "sim_socket_listener.h"
#include "links/sim_cable_wire.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <deque>
#include <memory>
#endif

namespace {

void usbUsage(std::ostream& out) {
    out << "usage: meterlink-cli simulate --usb SOCKET [--rate N] [--count N] [--scenario FILE]\n"
           "                                [--report-ms N]\n"
           "       meterlink-cli simulate --usb SOCKET --meter MODEL [--bridge cp2110|ch9329]\n"
           "                                [--scenario FILE]\n"
           "Plays the meter's USB cable on the Unix-domain socket SOCKET, prints SOCKET on\n"
           "the first line once it listens, and runs until interrupted (SIGINT or SIGTERM).\n"
           "Start the program with METERLINK_HID=sim:SOCKET to use it.\n"
           "\n"
           "  --rate N        frames per second (default 3, the meter's pace)\n"
           "  --count N       stop after N frames (idle reports go on for 1 s more)\n"
           "  --scenario FILE the readings to play (see meterlink-cli simulate --help)\n"
           "  --report-ms N   milliseconds between input reports (default 10, 1..1000)\n"
           "\n"
           "The meter's bytes flow only after the feature report for 2400 baud\n"
           "(00 60 09 00 00 03 00 00 00 00); any other speed stops them.\n"
           "\n"
           "With --meter, a model on the UT-D09 cable: that cable's bridge with the meter\n"
           "behind it, answering polls and commands (see simulate --usb --meter M --help).\n"
           "  --meter MODEL   a model on the UT-D09 cable (UT61E+, UT61D+, ...)\n"
           "  --bridge B      cp2110 (default) or ch9329\n";
}

struct Options {
    std::string socket;
    double rate = 3.0;
    long long count = 0;
    std::string scenario;
    long long reportMs = 10;
};

// Whole text as a number within [low, high].
template <class T>
bool parseNumber(const char* text, T low, T high, T& out) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(v >= static_cast<double>(low)) ||
        !(v <= static_cast<double>(high)))
        return false;
    if (static_cast<double>(static_cast<T>(v)) != v) return false;   // whole numbers for whole types
    out = static_cast<T>(v);
    return true;
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg != "--usb" && arg != "--scenario" && arg != "--rate" && arg != "--count" && arg != "--report-ms") {
            std::cerr << "meterlink-cli simulate: unknown argument '" << arg << "'\n";
            return false;
        }
        if (i + 1 >= argc) {
            std::cerr << "meterlink-cli simulate: " << arg << " needs a value\n";
            return false;
        }
        const char* value = argv[++i];
        bool ok = true;
        if (arg == "--usb") o.socket = value;
        else if (arg == "--scenario") o.scenario = value;
        else if (arg == "--rate") ok = parseNumber(value, 0.001, 1000.0, o.rate) && o.rate > 0;
        else if (arg == "--count") ok = parseNumber(value, 1LL, 1000000000000LL, o.count);
        else ok = parseNumber(value, 1LL, 1000LL, o.reportMs);
        if (!ok) {
            std::cerr << "meterlink-cli simulate: bad value '" << value << "' for " << arg << '\n';
            return false;
        }
    }
    if (o.socket.empty()) {
        std::cerr << "meterlink-cli simulate: --usb needs a socket path\n";
        return false;
    }
    return true;
}

#ifdef METERLINK_HAVE_UNIX_SOCKETS

constexpr std::size_t kReportBytes = 9;          // report ID, count byte, 7 meter bytes
constexpr std::size_t kMeterBytesPerReport = 7;
constexpr std::size_t kMaxQueuedOutput = 64 * 1024;
const std::array<std::uint8_t, 10> kFeature2400{0x00, 0x60, 0x09, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

// One connection from the program: one open handle of the cable.
struct Client {
    int fd = -1;
    simcable::MessageReader reader;
    std::vector<std::uint8_t> out;   // not yet taken by the socket
    bool subscribed = false;
    bool closed = false;

    ~Client() {
        if (fd >= 0) ::close(fd);
    }

    void queue(const std::vector<std::uint8_t>& message) {
        out.insert(out.end(), message.begin(), message.end());
        flush();
    }

    void flush() {
        while (!out.empty() && !closed) {
            const ssize_t n = ::send(fd, out.data(), out.size(), kSendFlags);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            if (n <= 0) {
                closed = true;
                return;
            }
            out.erase(out.begin(), out.begin() + n);
        }
    }
};

class UsbCable {
public:
    UsbCable(const Options& options, std::vector<meterlink::ScenarioStep> steps)
        : options_(options), player_(std::move(steps)) {
        info_.vendorId = 0xFFFF;
        info_.productId = 0x0001;
        info_.version = 0x0100;
        info_.inputReportLength = kReportBytes;
        info_.session = static_cast<std::uint32_t>(::getpid()) ^
                        static_cast<std::uint32_t>(meterlink::monotonicNow().tv_nsec);
        info_.product = "USB to Serial";
        info_.languages = {0x0409};
    }

    ~UsbCable() {
        if (listener_ >= 0) {
            ::close(listener_);
            ::unlink(options_.socket.c_str());
        }
    }

    bool listen(std::string& error) {
        listener_ = listenOnSimSocket(options_.socket, error);
        return listener_ >= 0;
    }

    int run(const meterlink::StopSignals& signals) {
        const long long reportPeriod = options_.reportMs * 1000000LL;
        const long long framePeriod = static_cast<long long>(1e9 / options_.rate);
        timespec nextReport = meterlink::monotonicNow();
        timespec nextFrame = nextReport;
        long long framesSent = 0;
        long long idleAfterLast = 0;
        for (;;) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener_, &readable);
            int maxFd = listener_;
            for (const auto& c : clients_) {
                FD_SET(c->fd, &readable);
                maxFd = std::max(maxFd, c->fd);
            }
            if (!signals.waitReadable(readable, maxFd, nextReport)) return 0;
            if (FD_ISSET(listener_, &readable)) accept();
            for (auto& c : clients_)
                if (FD_ISSET(c->fd, &readable)) receive(*c);
            clients_.erase(std::remove_if(clients_.begin(), clients_.end(), [](const auto& c) { return c->closed; }),
                           clients_.end());

            if (meterlink::nanosecondsUntil(nextReport) > 0) continue;
            nextReport = meterlink::addNanoseconds(nextReport, reportPeriod);
            // A late wake-up sends one report, not a burst to catch up.
            if (meterlink::nanosecondsUntil(nextReport) < 0) nextReport = meterlink::monotonicNow();

            if (pending_.empty() && lastWasIdle_ && passesBytes_ && meterlink::nanosecondsUntil(nextFrame) <= 0 &&
                (options_.count == 0 || framesSent < options_.count)) {
                const meterlink::WireFrame frame = player_.next();
                pending_.assign(frame.begin(), frame.end());
                ++framesSent;
                nextFrame = meterlink::addNanoseconds(nextFrame, framePeriod);
                if (meterlink::nanosecondsUntil(nextFrame) < 0) nextFrame = meterlink::monotonicNow();
            }
            sendReport();
            if (options_.count > 0 && framesSent >= options_.count && pending_.empty() &&
                ++idleAfterLast * options_.reportMs >= 1000)
                return 0;
        }
    }

private:
    void accept() {
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd < 0) return;
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        auto client = std::make_unique<Client>();
        client->fd = fd;
        clients_.push_back(std::move(client));
    }

    void receive(Client& c) {
        std::uint8_t chunk[512];
        const ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            c.closed = true;
            return;
        }
        if (n < 0) return;
        c.reader.append(chunk, static_cast<std::size_t>(n));
        simcable::Message m;
        while (c.reader.next(m)) answer(c, m);
        if (c.reader.broken()) c.closed = true;
    }

    void answer(Client& c, const simcable::Message& m) {
        switch (m.type) {
        case simcable::kInfoRequest: c.queue(simcable::encode(simcable::kInfo, simcable::encodeInfo(info_))); break;
        case simcable::kSubscribe: c.subscribed = true; break;
        case simcable::kFeature: {
            const bool wellFormed = m.payload.size() == kFeature2400.size() && m.payload[0] == 0;
            if (wellFormed) setSpeed(m.payload);
            c.queue(simcable::encode(simcable::kFeatureAck, {static_cast<std::uint8_t>(wellFormed ? 1 : 0)}));
            break;
        }
        default: break;
        }
    }

    void setSpeed(const std::vector<std::uint8_t>& report) {
        const bool is2400 = std::equal(report.begin(), report.end(), kFeature2400.begin());
        if (is2400 != passesBytes_)
            std::cerr << "meterlink-cli simulate: adapter set to "
                      << (is2400 ? "2400 baud: the meter's bytes flow\n" : "another speed: the meter's bytes stop\n");
        passesBytes_ = is2400;
        if (!is2400) pending_.clear();
    }

    void sendReport() {
        std::vector<std::uint8_t> report(kReportBytes, 0);
        const std::size_t n = std::min(pending_.size(), kMeterBytesPerReport);
        report[1] = static_cast<std::uint8_t>(0xF0 | n);
        std::copy_n(pending_.begin(), n, report.begin() + 2);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
        lastWasIdle_ = n == 0;
        const std::vector<std::uint8_t> message = simcable::encode(simcable::kInputReport, report);
        for (auto& c : clients_) {
            // A reader that does not keep up loses reports, as a full system queue would drop them.
            if (c->subscribed && c->out.size() < kMaxQueuedOutput) c->queue(message);
        }
    }

    const Options& options_;
    meterlink::ScenarioPlayer player_;
    simcable::CableInfo info_;
    int listener_ = -1;
    std::vector<std::unique_ptr<Client>> clients_;
    std::deque<std::uint8_t> pending_;   // meter bytes not yet reported
    bool lastWasIdle_ = true;
    bool passesBytes_ = false;
};

#endif  // METERLINK_HAVE_UNIX_SOCKETS

}  // namespace

int runUsbSimulate(int argc, char** argv) {
    // A model on the UT-D09 cable plays that cable and its polled meter.
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--meter") != 0 || std::strncmp(argv[i + 1], "--", 2) == 0) continue;
        const meterlink::MeterModel* meter = meterlink::findMeter(argv[i + 1]);
        if (meter && meter->cable == meterlink::Cable::UtD09) return runBridgeSimulate(argc, argv, *meter);
        std::cerr << "meterlink-cli simulate: --usb --meter takes a model on the UT-D09 cable, not '" << argv[i + 1]
                  << "'\n";
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            usbUsage(std::cout);
            return 0;
        }
    }
    Options options;
    if (!parseOptions(argc, argv, options)) {
        usbUsage(std::cerr);
        return 2;
    }
#ifdef METERLINK_HAVE_UNIX_SOCKETS
    std::vector<meterlink::ScenarioStep> steps;
    std::string error;
    if (options.scenario.empty()) {
        steps = meterlink::builtInScenario();
    } else if (!meterlink::loadScenario(options.scenario, steps, error)) {
        std::cerr << "meterlink-cli simulate: " << error << '\n';
        return 2;
    }
    const meterlink::StopSignals signals;
    // A program that goes away mid-write must not end the simulator.
    std::signal(SIGPIPE, SIG_IGN);
    UsbCable cable(options, std::move(steps));
    if (!cable.listen(error)) {
        std::cerr << "meterlink-cli simulate: " << error << '\n';
        return 1;
    }
    std::cout << options.socket << std::endl;   // flushed: a script waits for this line
    return cable.run(signals);
#else
    std::cerr << "meterlink-cli simulate: --usb needs Unix-domain sockets, which this system lacks\n";
    return 2;
#endif
}
