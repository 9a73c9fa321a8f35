#pragma once
// Blocking loopback clients for the SCPI server's tests. They run on their
// own threads while the test's thread runs the server's event loop.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <future>
#include <string>

namespace meterlink::test {

inline int connectTo(quint16 port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    timeval timeout{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    return fd;
}

inline bool sendAll(int fd, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += std::size_t(n);
    }
    return true;
}

// One reply line without its newline; empty when the server closed or the
// read timed out.
inline std::string readLine(int fd) {
    std::string line;
    char c;
    while (::recv(fd, &c, 1, 0) == 1) {
        if (c == '\n') return line;
        line += c;
    }
    return {};
}

inline std::string query(int fd, const std::string& q) { return sendAll(fd, q + "\n") ? readLine(fd) : std::string(); }

// True when the server has closed the connection (EOF or reset).
inline bool closedByServer(int fd) {
    char buffer[4096];
    for (;;) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0) return true;
        if (n < 0) return errno == ECONNRESET;
    }
}

// Runs the event loop until the future is ready.
template <typename T>
T whileServing(std::future<T>& future, std::chrono::seconds limit = std::chrono::seconds(60)) {
    QElapsedTimer clock;
    clock.start();
    while (future.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready &&
           clock.elapsed() < std::chrono::milliseconds(limit).count())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return future.get();
}

}  // namespace meterlink::test
