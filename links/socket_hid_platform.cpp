#include "links/socket_hid_platform.h"

#include "links/rescan_hid_watch.h"
#include "links/sim_cable_wire.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kAnswerTimeoutMs = 1000;

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;   // a vanished simulator must not kill us with SIGPIPE
#else
constexpr int kSendFlags = 0;
#endif

#ifdef SOCK_CLOEXEC
constexpr int kSocketType = SOCK_STREAM | SOCK_CLOEXEC;   // not inherited by programs we start
#else
constexpr int kSocketType = SOCK_STREAM;
#endif

std::uint32_t lastError(int fallback = EIO) {
    return static_cast<std::uint32_t>(errno != 0 ? errno : fallback);
}

// One connection to the simulator: one open handle.
class Connection {
public:
    ~Connection() {
        if (fd_ >= 0) ::close(fd_);
    }

    bool connect(const std::string& path, std::uint32_t& error) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof address.sun_path) {
            error = ENAMETOOLONG;
            return false;
        }
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        fd_ = ::socket(AF_UNIX, kSocketType, 0);
        if (fd_ < 0 || ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            error = lastError();
            return false;
        }
#ifdef SO_NOSIGPIPE
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
        return true;
    }

    bool send(std::uint8_t type, const std::uint8_t* data = nullptr, std::size_t size = 0) {
        const std::vector<std::uint8_t> bytes = simcable::encode(type, data, size);
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, kSendFlags);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Waits up to timeoutMs for a message of the given type, dropping others.
    // Returns 1 when one came, 0 on time-out, -1 when the connection failed.
    int receive(std::uint8_t type, simcable::Message& message, int timeoutMs, std::uint32_t& error) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            while (reader_.next(message))
                if (message.type == type) return 1;
            if (reader_.broken()) {
                error = EPROTO;
                return -1;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd p{fd_, POLLIN, 0};
            errno = 0;
            const int ready = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, left)));
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0) {
                error = lastError();
                return -1;
            }
            if (ready == 0) return 0;
            std::uint8_t chunk[512];
            errno = 0;
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error = n == 0 ? static_cast<std::uint32_t>(ECONNRESET) : lastError();
                return -1;
            }
            reader_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    bool askInfo(simcable::CableInfo& info, std::uint32_t& error) {
        simcable::Message reply;
        if (!send(simcable::kInfoRequest)) {
            error = lastError(ECONNRESET);
            return false;
        }
        const int got = receive(simcable::kInfo, reply, kAnswerTimeoutMs, error);
        if (got == 0) error = ETIMEDOUT;
        if (got <= 0) return false;
        if (!simcable::decodeInfo(reply.payload, info)) {
            error = EPROTO;
            return false;
        }
        return true;
    }

private:
    int fd_ = -1;
    simcable::MessageReader reader_;
};

std::string identityOf(const std::string& path, const simcable::CableInfo& info) {
    return "sim:" + path + "#" + std::to_string(info.session);
}

std::u16string utf16(const std::string& utf8, std::size_t maxChars) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toStdU16String().substr(0, maxChars - 1);
}

class SocketHandle : public HidHandle {
public:
    SocketHandle(std::unique_ptr<Connection> connection, simcable::CableInfo info, HidAccess access)
        : connection_(std::move(connection)), info_(std::move(info)), access_(access) {}

    bool canWrite() const override { return access_ == HidAccess::ReadWrite; }

    bool getAttributes(HidAttributes& a) override {
        a = {info_.vendorId, info_.productId, info_.version};
        return true;
    }
    bool getProductString(std::u16string& text, std::size_t maxChars) override {
        text = utf16(info_.product, maxChars);
        return true;
    }
    bool getSerialNumberString(std::u16string& text, std::size_t maxChars) override {
        text = utf16(info_.serial, maxChars);
        return true;
    }
    bool getLanguageList(std::vector<std::uint16_t>& words) override {
        fillLanguageList(info_.languages, words);
        return true;
    }
    std::size_t inputReportLength() override { return info_.inputReportLength; }

    bool sendFeatureReport(const std::uint8_t* data, std::size_t size) override {
        if (!connection_->send(simcable::kFeature, data, size)) return false;
        simcable::Message ack;
        std::uint32_t error = 0;
        return connection_->receive(simcable::kFeatureAck, ack, kAnswerTimeoutMs, error) == 1 &&
               ack.payload.size() == 1 && ack.payload[0] == 1;
    }

    bool writeOutputReport(const std::uint8_t* data, std::size_t size) override {
        return access_ == HidAccess::ReadWrite && connection_->send(simcable::kOutputReport, data, size);
    }

    HidReadResult read(std::uint8_t* data, std::size_t size, int timeoutMs) override {
        simcable::Message report;
        std::uint32_t error = 0;
        const int got = connection_->receive(simcable::kInputReport, report, timeoutMs, error);
        if (got < 0) return {-1, error};
        if (got == 0) return {};
        const std::size_t n = std::min(size, report.payload.size());
        std::copy_n(report.payload.begin(), n, data);
        return {static_cast<int>(n), 0};
    }

private:
    std::unique_ptr<Connection> connection_;
    simcable::CableInfo info_;
    HidAccess access_;
};

}  // namespace

SocketHidPlatform::SocketHidPlatform(std::string socketPath) : socketPath_(std::move(socketPath)) {}

QString SocketHidPlatform::name() const {
    return QStringLiteral("sim:") + QString::fromStdString(socketPath_);
}

std::vector<THidPnPInfo> SocketHidPlatform::listInterfaces() {
    Connection connection;
    std::uint32_t error = 0;
    simcable::CableInfo info;
    if (!connection.connect(socketPath_, error) || !connection.askInfo(info, error)) return {};
    return {{socketPath_, identityOf(socketPath_, info)}};
}

std::unique_ptr<HidHandle> SocketHidPlatform::open(const THidPnPInfo& pnp, HidAccess access, std::uint32_t* error) {
    std::uint32_t code = 0;
    auto connection = std::make_unique<Connection>();
    simcable::CableInfo info;
    const bool opened = connection->connect(pnp.DevicePath, code) && connection->askInfo(info, code);
    // Another run of the simulator behind the same socket is another device.
    if (opened && identityOf(pnp.DevicePath, info) != pnp.DevInst) code = ENODEV;
    else if (opened && access == HidAccess::Read && !connection->send(simcable::kSubscribe)) code = ECONNRESET;
    else if (opened) return std::make_unique<SocketHandle>(std::move(connection), std::move(info), access);
    if (error) *error = code;
    return nullptr;
}

std::unique_ptr<HidChangeWatch> SocketHidPlatform::watchChanges(std::function<void()> onChange) {
    return std::make_unique<RescanHidWatch>(std::move(onChange));
}
