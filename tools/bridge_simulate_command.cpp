// meterlink-cli simulate --meter MODEL --usb SOCKET, for a model on the
// UT-D09 cable: plays the cable on a Unix-domain socket, for the program
// started with METERLINK_HID=sim:SOCKET (or `log --usb sim:SOCKET`). The
// cable is a CP2110 (10c4:ea80) or, with --bridge ch9329, a CH9329
// (1a86:e429). Like the real cable the CP2110 passes bytes only once its
// UART is enabled and set to the meter's 9600 8N1. Behind it the meter
// answers each measurement request with what it shows and obeys the
// buttons, keeping their state (hold, range, rel, min/max, select, light).

#include "bridge_simulate_command.h"

#include "meter_scenario.h"
#include "protocol/meters/unit_abcd_meter_twin.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#define METERLINK_HAVE_UNIX_SOCKETS 1
#include "frame_pacer.h"
#include "sim_socket_listener.h"
#include "links/sim_cable_wire.h"
#include "links/uart_bridge.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <memory>
#endif

namespace {

void bridgeUsage(std::ostream& out) {
    out << "usage: meterlink-cli simulate --meter MODEL --usb SOCKET [--bridge cp2110|ch9329]\n"
           "                                [--scenario FILE]\n"
           "Plays a meter on its UT-D09 cable (a HID-to-UART bridge) on the Unix-domain\n"
           "socket SOCKET, prints SOCKET on the first line once it listens, and runs until\n"
           "interrupted (SIGINT or SIGTERM). The meter answers each measurement request\n"
           "with its reading and obeys the remote buttons, as the real one does.\n"
           "\n"
           "  --meter MODEL   a model on the UT-D09 cable (UT61E+, UT61D+, ...)\n"
           "  --bridge B      cp2110 (default; 10c4:ea80) or ch9329 (1a86:e429)\n"
           "  --scenario FILE the readings to show, one per answer, in a loop\n"
           "                  (see meterlink-cli simulate --help)\n"
           "\n"
           "The CP2110 passes bytes once its UART is enabled and set to 9600 8N1.\n";
}

struct Options {
    std::string socket;
    std::string scenario;
    meterlink::UartBridge bridge = meterlink::UartBridge::Cp2110;
};

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg != "--usb" && arg != "--scenario" && arg != "--meter" && arg != "--bridge") {
            std::cerr << "meterlink-cli simulate: unknown argument '" << arg << "'\n";
            return false;
        }
        if (i + 1 >= argc) {
            std::cerr << "meterlink-cli simulate: " << arg << " needs a value\n";
            return false;
        }
        const std::string value = argv[++i];
        if (arg == "--usb") o.socket = value;
        else if (arg == "--scenario") o.scenario = value;
        else if (arg == "--bridge") {
            if (value == "cp2110") o.bridge = meterlink::UartBridge::Cp2110;
            else if (value == "ch9329") o.bridge = meterlink::UartBridge::Ch9329;
            else {
                std::cerr << "meterlink-cli simulate: bad value '" << value << "' for --bridge\n";
                return false;
            }
        }
    }
    if (o.socket.empty()) {
        std::cerr << "meterlink-cli simulate: --usb needs a socket path\n";
        return false;
    }
    return true;
}

#ifdef METERLINK_HAVE_UNIX_SOCKETS

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif
constexpr std::size_t kMaxQueuedOutput = 64 * 1024;

struct Client {
    int fd = -1;
    simcable::MessageReader reader;
    std::vector<std::uint8_t> out;
    bool subscribed = false;
    bool closed = false;

    ~Client() {
        if (fd >= 0) ::close(fd);
    }
    void queue(const std::vector<std::uint8_t>& message) {
        if (out.size() > kMaxQueuedOutput) return;   // a reader that does not keep up loses reports
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

class BridgeCable {
public:
    BridgeCable(const Options& options, const meterlink::MeterModel& meter, std::vector<meterlink::ScenarioStep> steps)
        : options_(options), meter_(meter), player_(std::move(steps)) {
        const bool cp2110 = options.bridge == meterlink::UartBridge::Cp2110;
        info_.vendorId = cp2110 ? 0x10c4 : 0x1a86;
        info_.productId = cp2110 ? 0xea80 : 0xe429;
        info_.version = 0x0100;
        info_.inputReportLength =
            static_cast<std::uint16_t>(cp2110 ? meterlink::kCp2110MaxReportBytes : meterlink::kCh9329ReportBytes);
        info_.session = static_cast<std::uint32_t>(::getpid()) ^
                        static_cast<std::uint32_t>(meterlink::monotonicNow().tv_nsec);
        info_.product = cp2110 ? "CP2110 HID USB-to-UART Bridge" : "HID-UART";
        info_.languages = {0x0409};
        uartReady_ = !cp2110;
        meter_.setReading(player_.nextSpec());
    }

    ~BridgeCable() {
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
        for (;;) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener_, &readable);
            int maxFd = listener_;
            for (const auto& c : clients_) {
                FD_SET(c->fd, &readable);
                maxFd = std::max(maxFd, c->fd);
            }
            const timespec wake = meterlink::addNanoseconds(meterlink::monotonicNow(), 100000000LL);
            if (!signals.waitReadable(readable, maxFd, wake)) return 0;
            if (FD_ISSET(listener_, &readable)) accept();
            for (auto& c : clients_)
                if (FD_ISSET(c->fd, &readable)) receive(*c);
            for (auto& c : clients_) c->flush();
            clients_.erase(std::remove_if(clients_.begin(), clients_.end(), [](const auto& c) { return c->closed; }),
                           clients_.end());
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
            const bool ok = feature(m.payload);
            c.queue(simcable::encode(simcable::kFeatureAck, {static_cast<std::uint8_t>(ok ? 1 : 0)}));
            break;
        }
        case simcable::kOutputReport: output(m.payload); break;
        default: break;
        }
    }

    bool feature(const std::vector<std::uint8_t>& r) {
        if (options_.bridge != meterlink::UartBridge::Cp2110 || r.empty()) return false;
        if (r[0] == meterlink::kCp2110UartEnable && r.size() >= 2) enabled_ = r[1] == 1;
        else if (r[0] == meterlink::kCp2110UartConfig && r.size() >= 9)
            lineSet_ = r[1] == 0 && r[2] == 0 && r[3] == 0x25 && r[4] == 0x80 && r[5] == 0 && r[7] == 3 && r[8] == 0;
        else if (r[0] != meterlink::kCp2110PurgeFifos) return false;
        const bool ready = enabled_ && lineSet_;
        if (ready != uartReady_)
            std::cerr << "meterlink-cli simulate: "
                      << (ready ? "the UART is set to 9600 8N1: the meter's bytes flow\n"
                                : "the UART is off or set to another line: the meter's bytes stop\n");
        uartReady_ = ready;
        return true;
    }

    void output(const std::vector<std::uint8_t>& r) {
        if (r.empty() || !uartReady_) return;
        const meterlink::BridgeBytes in = meterlink::unwrapBridgeReport(options_.bridge, r[0], r.data() + 1, r.size() - 1);
        if (!in.valid) return;
        const std::size_t requests = meter_.requests();
        const std::size_t commands = meter_.commands();
        std::vector<std::uint8_t> answer;
        meter_.receive(in.data, in.size, answer);
        if (meter_.commands() != commands) std::cerr << "meterlink-cli simulate: a button was pressed\n";
        // Each answer shows the next reading of the scenario.
        if (meter_.requests() != requests) meter_.setReading(player_.nextSpec());
        meterlink::wrapBridgeBytes(options_.bridge, answer.data(), answer.size(),
                                   [&](const std::uint8_t* report, std::size_t size) {
                                       const auto message = simcable::encode(simcable::kInputReport, report, size);
                                       for (auto& c : clients_)
                                           if (c->subscribed) c->queue(message);
                                   });
    }

    const Options& options_;
    meterlink::UnitAbCdMeterTwin meter_;
    meterlink::ScenarioPlayer player_;
    simcable::CableInfo info_;
    int listener_ = -1;
    std::vector<std::unique_ptr<Client>> clients_;
    bool enabled_ = false;
    bool lineSet_ = false;
    bool uartReady_ = false;
};

#endif  // METERLINK_HAVE_UNIX_SOCKETS

}  // namespace

int runBridgeSimulate(int argc, char** argv, const meterlink::MeterModel& meter) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            bridgeUsage(std::cout);
            return 0;
        }
    }
    Options options;
    if (!parseOptions(argc, argv, options)) {
        bridgeUsage(std::cerr);
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
    std::signal(SIGPIPE, SIG_IGN);
    BridgeCable cable(options, meter, std::move(steps));
    if (!cable.listen(error)) {
        std::cerr << "meterlink-cli simulate: " << error << '\n';
        return 1;
    }
    std::cout << options.socket << std::endl;   // flushed: a script waits for this line
    return cable.run(signals);
#else
    (void)meter;
    std::cerr << "meterlink-cli simulate: --usb needs Unix-domain sockets, which this system lacks\n";
    return 2;
#endif
}
