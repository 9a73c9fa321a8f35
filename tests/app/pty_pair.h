#pragma once
// A pseudo-terminal standing in for a serial port: the program opens the
// slave by its path, the test plays the meter on the master.

#include <pty.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstddef>
#include <string>

class PtyPair {
public:
    PtyPair() {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            master_ = slave_ = -1;
            return;
        }
        makeRaw(master_);
        makeRaw(slave_);
        path_ = name;
    }
    ~PtyPair() {
        closeMaster();
        if (slave_ >= 0) ::close(slave_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& path() const { return path_; }

    bool write(const void* bytes, std::size_t size) {
        const auto* p = static_cast<const unsigned char*>(bytes);
        while (size > 0) {
            const ssize_t n = ::write(master_, p, size);
            if (n <= 0) return false;
            p += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    // What the program has sent to the meter so far, without waiting.
    std::string readSent() {
        std::string bytes;
        char buf[256];
        for (;;) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 0) != 1) return bytes;
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) return bytes;
            bytes.append(buf, static_cast<std::size_t>(n));
        }
    }

    // The far side goes away, as when a cable is pulled.
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    static void makeRaw(int fd) {
        termios t{};
        if (tcgetattr(fd, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd, TCSANOW, &t);
        }
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};
