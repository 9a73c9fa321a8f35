#pragma once
// A meter on a pseudo-terminal, played from the test's event loop: one that
// streams its frames unasked, one that answers each request byte with a
// frame, or one that stays silent. The prober opens the port side by path.

#include "protocol/meters/family_frame_builder.h"

#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <memory>
#include <string>

class FakeMeterPty {
public:
    enum class Kind { Streams, Answers, Silent };

    FakeMeterPty(const meterlink::MeterModel& model, Kind kind, char request = 'D') : model_(model), request_(request) {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
        termios t{};
        for (int fd : {master_, slave_})
            if (::tcgetattr(fd, &t) == 0) {
                ::cfmakeraw(&t);
                ::tcsetattr(fd, TCSANOW, &t);
            }
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        path_ = name;
        if (kind == Kind::Streams) {
            timer_ = std::make_unique<QTimer>();
            QObject::connect(timer_.get(), &QTimer::timeout, [this] { sendFrame(); });
            timer_->start(50);
        }
        // Every byte sent to the meter is counted; only a polled one answers.
        answers_ = kind == Kind::Answers;
        notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { take(); });
    }
    ~FakeMeterPty() {
        notifier_.reset();
        timer_.reset();
        if (master_ >= 0) ::close(master_);
        if (slave_ >= 0) ::close(slave_);
    }

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    int requests() const { return requests_; }
    int bytesReceived() const { return received_; }
    int sent() const { return sent_; }

private:
    void sendFrame() {
        meterlink::DisplaySpec spec;
        spec.count = 1234 + sent_ % 10;
        spec.pointAfter = 1;
        const meterlink::FamilyFrame f = meterlink::encodeFamilyFrame(model_, spec);
        if (::write(master_, f.bytes.data(), f.size) > 0) ++sent_;
    }
    void take() {
        char buf[64];
        ssize_t n;
        while ((n = ::read(master_, buf, sizeof buf)) > 0) {
            received_ += static_cast<int>(n);
            for (ssize_t i = 0; i < n; ++i)
                if (buf[i] == request_) {
                    ++requests_;
                    if (answers_) sendFrame();
                }
        }
    }

    const meterlink::MeterModel& model_;
    char request_;
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::unique_ptr<QTimer> timer_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool answers_ = false;
    int requests_ = 0;
    int received_ = 0;
    int sent_ = 0;
};
