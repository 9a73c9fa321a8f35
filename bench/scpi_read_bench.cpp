// scpi_read_bench: READ? round trips to the SCPI server on localhost, as a
// script in a loop makes them. The server runs in this process's event loop
// (as in the window or meterlink-cli log); one client on another thread
// sends "READ?\n" and waits for the reply, 10,000 times after 500 to warm
// up. Prints the median and the 99th percentile. Target: p99 under 5 ms.
// Prints PASS or FAIL and exits 0 either way: these are measurements.

#include "serve/scpi_board.h"
#include "serve/scpi_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kQueries = 10000;
constexpr int kWarmUp = 500;
constexpr double kTargetP99Ms = 5.0;

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

// Round-trip times in ms, or empty when the connection failed.
std::vector<double> client(quint16 port) {
    std::vector<double> ms;
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return ms;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const std::string q = "READ?\n";
    char buffer[256];
    for (int i = 0; i < kWarmUp + kQueries; ++i) {
        auto start = Clock::now();
        if (::send(fd, q.data(), q.size(), MSG_NOSIGNAL) != ssize_t(q.size())) break;
        // Replies are short: read until the newline.
        bool done = false;
        while (!done) {
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                ::close(fd);
                return ms;
            }
            done = buffer[n - 1] == '\n';
        }
        if (i >= kWarmUp) ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    ::close(fd);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace meterlink;
    ScpiBoard board(1, std::chrono::hours(1));
    ScpiReading r;
    r.hasValue = true;
    r.value = 5.123;
    r.function = "DC";
    r.unit = "V";
    board.setLatest(1, r);
    ScpiServer server(board, "MeterLink,Bench,0,bench");
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "scpi_read_bench: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    const quint16 port = server.port();
    auto result = std::async(std::launch::async, [port]() {
        std::vector<double> ms = client(port);
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
        return ms;
    });
    app.exec();
    std::vector<double> ms = result.get();
    if (ms.size() != std::size_t(kQueries)) {
        std::fprintf(stderr, "scpi_read_bench: %zu of %d queries answered\n", ms.size(), kQueries);
        return 1;
    }
    const double median = percentile(ms, 0.5);
    const double p99 = percentile(ms, 0.99);
    std::printf("READ? round trip over %d queries: median %.3f ms, p99 %.3f ms, max %.3f ms (target p99 < %.0f ms) %s\n",
                kQueries, median, p99, percentile(ms, 1.0), kTargetP99Ms, p99 < kTargetP99Ms ? "PASS" : "FAIL");
    return 0;
}
